#include "ProfileHive.h"

#include <windows.h>

#include <string>
#include <utility>

#include "FileException.h"
#include "Handle.h"
#include "ProxyExceptionList.h"
#include "RegistryException.h"

namespace {

// No other run's: runs do not overlap, and a key left by one that ended
// abruptly has its process's id.
constexpr int kUnloadTries = 5;
constexpr DWORD kUnloadPauseMs = 200;

CString KeyName(int number) {
  return CString(kHiveKeyPrefix) + std::to_string(GetCurrentProcessId()).c_str() + "." + std::to_string(number).c_str();
}

}  // namespace

bool IsHiveLoaded(const CString& sid) {
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExA(HKEY_USERS, sid, 0, KEY_READ, &key);
  if (status == ERROR_FILE_NOT_FOUND) return false;
  // A key its user closed to the run (they own its access list) is there.
  if (status == ERROR_ACCESS_DENIED) return true;
  if (status != ERROR_SUCCESS)
    throw CRegistryException(CRegistryException::readFailed, status, "HKEY_USERS\\" + sid + "\\" + PROXY_OVERRIDE_PATH);
  RegCloseKey(key);
  return true;
}

namespace {

[[noreturn]] void Raise(DWORD osError, const CString& path) {
  const auto error = static_cast<LONG>(osError);
  throw CFileException(CFileException::OsErrorToCause(error), error, path);
}

}  // namespace

ProfileHive::ProfileHive(const UserProfile& profile, int number) : m_hivePath(profile.hivePath) {
  const bool user = !profile.sid.IsEmpty();
  if (user && IsHiveLoaded(profile.sid)) {
    m_key = profile.sid;
    return;
  }
  // Loading a file that is not there would make a new, empty hive.
  if (GetFileAttributesA(m_hivePath) == INVALID_FILE_ATTRIBUTES) Raise(GetLastError(), m_hivePath);
  const CString key = KeyName(number);
  const LSTATUS status = RegLoadKeyA(HKEY_USERS, key, m_hivePath);
  if (status == ERROR_SUCCESS) {
    m_key = key;
    m_loaded = true;
    m_unloadDue = true;
    return;
  }
  // Its user signed in since the look: the system holds the file, and the
  // hive is under the SID now.
  if (status == ERROR_SHARING_VIOLATION && user && IsHiveLoaded(profile.sid)) {
    m_key = profile.sid;
    return;
  }
  Raise(static_cast<DWORD>(status), m_hivePath);
}

ProxyListKey ProfileHive::ProxyList() const {
  return ProxyListKey(HKEY_USERS, m_key + "\\" + INTERNET_SETTINGS_PATH, m_loaded ? m_hivePath : CString());
}

LONG ProfileHive::Unload() { return std::exchange(m_unloadDue, false) ? UnloadHive(m_key) : ERROR_SUCCESS; }

LONG UnloadHive(const CString& key) {
  LSTATUS status = ERROR_SUCCESS;
  for (int tries = 0; tries < kUnloadTries; ++tries) {
    if (tries > 0) Sleep(kUnloadPauseMs);
    if ((status = RegUnLoadKeyA(HKEY_USERS, key)) == ERROR_SUCCESS) break;
  }
  return status;
}
