#include "UserProfiles.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "DesktopUser.h"
#include "Handle.h"
#include "ProfileHive.h"
#include "RegistryException.h"

namespace {

constexpr char kHiveFile[] = "\\NTUSER.DAT";
// A mandatory profile's hive, in place of the other.
constexpr char kMandatoryHiveFile[] = "\\NTUSER.MAN";
// The profile's State: a temporary profile, made for a session whose own
// could not be loaded, and deleted when it ends.
constexpr DWORD kTemporaryState = 0x0800;

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

// A SID in text form: "S-" and digits and dashes. A key with ".bak" after
// the SID is a profile the system set aside.
bool IsSid(std::string_view text) {
  if (!text.starts_with("S-") || text.size() < 3) return false;
  for (const char c : text.substr(2))
    if ((c < '0' || c > '9') && c != '-') return false;
  return true;
}

bool Exists(const CString& path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

DWORD State(HKEY key) {
  DWORD state = 0;
  DWORD size = sizeof state;
  DWORD type = REG_NONE;
  if (RegQueryValueExA(key, "State", nullptr, &type, reinterpret_cast<LPBYTE>(&state), &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return 0;
  return state;
}

// A user's profile as its entry names it; an entry with nothing on disk (a
// profile deleted by hand or by a clean-up tool), set aside or temporary is
// none, and is told as such.
UserProfile Profile(const CString& name) {
  const CString path = CString(PROFILE_LIST_PATH) + "\\" + name;
  UserProfile none{name, {}, UserProfile::Kind::notOnDisk, "HKEY_LOCAL_MACHINE\\" + path};
  if (!IsSid(name.View())) return none;
  const UniqueKey key = OpenForReading(HKEY_LOCAL_MACHINE, path);
  const auto folder = Folder(key.get(), path, "ProfileImagePath");
  if (!folder || (State(key.get()) & kTemporaryState)) return none;
  // A user signed in has their hive loaded, whatever is on disk.
  if (Exists(*folder + kHiveFile) || IsHiveLoaded(name)) return {name, *folder + kHiveFile};
  if (Exists(*folder + kMandatoryHiveFile)) return {name, *folder + kMandatoryHiveFile, UserProfile::Kind::mandatory};
  return none;
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
    if (!IsServiceAccount(name)) profiles.push_back(Profile(name));
  if (const auto folder = DefaultProfileFolder(list.get())) {
    const CString hive = *folder + kHiveFile;
    const bool there = Exists(hive);
    profiles.push_back({CString(), hive, there ? UserProfile::Kind::ordinary : UserProfile::Kind::notOnDisk,
                        there ? CString() : hive});
  }
  return profiles;
}
