#include "UserProfiles.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "DesktopUser.h"
#include "Handle.h"
#include "RegistryException.h"

namespace {

constexpr char kHiveFile[] = "\\NTUSER.DAT";
// A mandatory profile's hive, in place of the other.
constexpr char kMandatoryHiveFile[] = "\\NTUSER.MAN";

[[noreturn]] void Raise(LSTATUS status, const CString& path) {
  throw CRegistryException(CRegistryException::readFailed, status, "HKEY_LOCAL_MACHINE\\" + path);
}

CString Expanded(const CString& text) {
  const DWORD size = ExpandEnvironmentStringsA(text, nullptr, 0);
  if (size == 0) return text;
  std::string expanded(size, '\0');
  const DWORD length = ExpandEnvironmentStringsA(text, expanded.data(), size);
  if (length == 0 || length > size) return text;
  expanded.resize(length - 1);
  return CString(std::move(expanded));
}

// A folder named by the value `name` of `key`: text, its variables
// (%SystemDrive%) expanded. Nothing when the value is missing.
std::optional<CString> Folder(HKEY key, const CString& keyPath, const char* name) {
  DWORD type = REG_NONE;
  DWORD size = 0;
  LSTATUS status = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
  std::string text(size, '\0');
  if (status == ERROR_SUCCESS)
    status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(text.data()), &size);
  if (status == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) status = ERROR_INVALID_DATA;
  if (status != ERROR_SUCCESS) Raise(status, keyPath + "\\" + name);
  text.resize(text.find('\0') == std::string::npos ? std::min<size_t>(size, text.size()) : text.find('\0'));
  return Expanded(CString(std::move(text)));
}

UniqueKey OpenForReading(HKEY root, const CString& path) {
  HKEY key = nullptr;
  if (const LSTATUS status = RegOpenKeyExA(root, path, 0, KEY_READ, &key); status != ERROR_SUCCESS) Raise(status, path);
  return UniqueKey(key);
}

std::vector<CString> SubkeyNames(HKEY key, const CString& path) {
  std::vector<CString> names;
  for (DWORD index = 0;; ++index) {
    char name[256];  // a key name has at most 255 characters
    DWORD length = sizeof name;
    const LSTATUS status = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return names;
    if (status != ERROR_SUCCESS) Raise(status, path);
    names.emplace_back(name, static_cast<int>(length));
  }
}

// A user's SID in text form, and not a service account's. A key of another
// form is no user's own: one with ".bak" after the SID is a profile the
// system set aside.
bool IsUsersSid(const CString& name) {
  const std::string_view text = name.View();
  if (!text.starts_with("S-") || text.size() < 3) return false;
  for (const char c : text.substr(2))
    if ((c < '0' || c > '9') && c != '-') return false;
  return !IsServiceAccount(name);
}

UserProfile Profile(const CString& sid) {
  const CString path = CString(PROFILE_LIST_PATH) + "\\" + sid;
  const UniqueKey key = OpenForReading(HKEY_LOCAL_MACHINE, path);
  const auto folder = Folder(key.get(), path, "ProfileImagePath");
  if (!folder) Raise(ERROR_FILE_NOT_FOUND, path + "\\ProfileImagePath");
  const CString mandatory = *folder + kMandatoryHiveFile;
  if (GetFileAttributesA(*folder + kHiveFile) == INVALID_FILE_ATTRIBUTES &&
      GetFileAttributesA(mandatory) != INVALID_FILE_ATTRIBUTES)
    return {sid, mandatory, true};
  return {sid, *folder + kHiveFile};
}

// Windows Vista and later name the Default profile's folder; 2000 and XP
// name a folder under the one that holds every profile.
std::optional<CString> DefaultProfileFolder(HKEY list) {
  if (auto folder = Folder(list, PROFILE_LIST_PATH, "Default")) return folder;
  const auto name = Folder(list, PROFILE_LIST_PATH, "DefaultUserProfile");
  if (!name) return std::nullopt;
  const auto profiles = Folder(list, PROFILE_LIST_PATH, "ProfilesDirectory");
  if (!profiles) Raise(ERROR_FILE_NOT_FOUND, CString(PROFILE_LIST_PATH) + "\\ProfilesDirectory");
  return *profiles + "\\" + *name;
}

}  // namespace

std::vector<UserProfile> UserProfiles() {
  const UniqueKey list = OpenForReading(HKEY_LOCAL_MACHINE, PROFILE_LIST_PATH);
  std::vector<UserProfile> profiles;
  for (const CString& name : SubkeyNames(list.get(), PROFILE_LIST_PATH))
    if (IsUsersSid(name)) profiles.push_back(Profile(name));
  if (const auto folder = DefaultProfileFolder(list.get())) profiles.push_back({CString(), *folder + kHiveFile});
  return profiles;
}
