#include "ProxyPolicy.h"

#include <windows.h>

#include "Handle.h"
#include "ProxyExceptionList.h"
#include "SystemImports.h"

namespace {

constexpr char kPerUser[] = "ProxySettingsPerUser";

// A 32-bit process on 64-bit Windows; systems before XP SP2 have no such
// question to answer, as they have no 64-bit form.
bool OnWow64() {
  const auto isWow64 = imports::IsWow64Process();
  BOOL wow64 = FALSE;
  return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

[[noreturn]] void Raise(LSTATUS status) {
  throw CRegistryException(CRegistryException::readFailed, status,
                           CString("HKEY_LOCAL_MACHINE\\") + PROXY_POLICY_PATH + "\\" + kPerUser);
}

}  // namespace

bool ProxySettingsPerMachine() {
  HKEY key = nullptr;
  LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, PROXY_POLICY_PATH, 0, KEY_QUERY_VALUE, &key);
  if (status == ERROR_FILE_NOT_FOUND) return false;
  if (status != ERROR_SUCCESS) Raise(status);
  const UniqueKey owner(key);
  DWORD type = REG_NONE;
  DWORD value = 1;
  DWORD size = sizeof value;
  status = RegQueryValueExA(key, kPerUser, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
  if (status == ERROR_FILE_NOT_FOUND) return false;
  // Longer than a DWORD: no value the policy writes.
  if (status == ERROR_MORE_DATA) return false;
  if (status != ERROR_SUCCESS) Raise(status);
  return type == REG_DWORD && size == sizeof value && value == 0;
}

std::vector<ProxyListKey> MachineProxyLists() {
  // Both builds name each view's list as the registry holds it.
  const ProxyListKey view64(HKEY_LOCAL_MACHINE, INTERNET_SETTINGS_PATH, CString(), KEY_WOW64_64KEY);
  const ProxyListKey view32(HKEY_LOCAL_MACHINE, INTERNET_SETTINGS_PATH, "HKEY_LOCAL_MACHINE\\Software\\WOW6432Node",
                            KEY_WOW64_32KEY);
  if (sizeof(void*) == 8) return {view64, view32};
  if (OnWow64()) return {view32, view64};
  return {ProxyListKey(HKEY_LOCAL_MACHINE, INTERNET_SETTINGS_PATH)};
}
