// Registry calls of ADVAPI32 over an in-memory tree, with the Windows rules
// the tool meets: names without regard to letter case, "\" separating the
// keys of a subkey path, access checked per handle and, at the open, against
// what the key's security lets the process do, raw value bytes kept as
// written, and Windows error codes.
#include <fakewin.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "RegistryTree.h"

using fakewin::tree::Folded;
using fakewin::tree::Key;
using fakewin::tree::MarkDeleted;
using fakewin::tree::Value;

namespace {

// Windows refuses a key name of more than 255 characters.
constexpr size_t kMaxKeyName = 255;

// The rights a key whose changes are denied refuses at the open.
constexpr REGSAM kChangeRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

struct OpenKey {
  std::shared_ptr<Key> key;
  REGSAM access = 0;
};

std::map<HKEY, std::unique_ptr<OpenKey>> g_open;
// Keys whose open from their root fails as the system may fail it.
std::map<std::pair<HKEY, std::string>, DWORD> g_failingOpens;

bool IsPredefined(HKEY handle) {
  return handle == HKEY_CURRENT_USER || handle == HKEY_LOCAL_MACHINE || handle == HKEY_USERS;
}

// A new user's registry: HKEY_CURRENT_USER\Software and nothing else.
std::map<HKEY, std::shared_ptr<Key>> NewUserRoots() {
  auto user = std::make_shared<Key>();
  user->subkeys[Folded("Software")] = fakewin::tree::NewKey("Software");
  return {{HKEY_CURRENT_USER, std::move(user)}};
}

std::map<HKEY, std::shared_ptr<Key>> g_roots = NewUserRoots();

size_t CharacterCount(std::string_view name) {
  size_t count = 0;
  for (size_t i = 0; i < name.size(); ++i, ++count)
    if (IsDBCSLeadByte(static_cast<BYTE>(name[i])) && i + 1 < name.size()) ++i;
  return count;
}

// The key names of a subkey path. A "\" that is the trail byte of a
// double-byte character separates nothing; empty names are skipped.
std::vector<std::string> Components(std::string_view path) {
  std::vector<std::string> names;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && i + 1 < path.size() && IsDBCSLeadByte(static_cast<BYTE>(path[i]))) {
      ++i;
    } else if (i == path.size() || path[i] == '\\') {
      if (i > start) names.push_back(std::string(path.substr(start, i - start)));
      start = i + 1;
    }
  }
  return names;
}

LSTATUS FromHandle(HKEY handle, OpenKey& open) {
  if (IsPredefined(handle)) {
    open = OpenKey{fakewin::tree::Root(handle), KEY_ALL_ACCESS};
    return ERROR_SUCCESS;
  }
  const auto found = g_open.find(handle);
  if (found == g_open.end()) return ERROR_INVALID_HANDLE;
  open = *found->second;
  return open.key->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

// Follows `path` down from the key `from` stands for; with `create`, makes
// the keys that are missing. As on Windows, making one is checked against
// its parent's security, whatever access the handle was opened with.
LSTATUS Descend(const OpenKey& from, LPCSTR path, bool create, std::shared_ptr<Key>& key, DWORD& disposition,
                bool pastSecurity = false) {
  const std::string_view text = path ? path : "";
  if (!text.empty() && text.front() == '\\') return ERROR_BAD_PATHNAME;
  const std::vector<std::string> names = Components(text);
  for (const std::string& name : names)
    if (CharacterCount(name) > kMaxKeyName) return ERROR_INVALID_PARAMETER;
  key = from.key;
  disposition = REG_OPENED_EXISTING_KEY;
  for (const std::string& name : names) {
    const auto found = key->subkeys.find(Folded(name));
    if (found != key->subkeys.end()) {
      key = found->second;
      continue;
    }
    if (!create) return ERROR_FILE_NOT_FOUND;
    if (key->changesDenied && !pastSecurity) return ERROR_ACCESS_DENIED;
    key = key->subkeys[Folded(name)] = fakewin::tree::NewKey(name);
    disposition = REG_CREATED_NEW_KEY;
  }
  return ERROR_SUCCESS;
}

HKEY NewHandle(std::shared_ptr<Key> key, REGSAM access) {
  auto open = std::make_unique<OpenKey>(OpenKey{std::move(key), access});
  const auto handle = reinterpret_cast<HKEY>(open.get());
  g_open.emplace(handle, std::move(open));
  return handle;
}

// Opens or creates the subkey and hands out a new handle to it.
// 64-bit Windows shows 32-bit programs HKEY_LOCAL_MACHINE\Software from a
// key of its own, which is always there.
std::string Viewed(HKEY parent, LPCSTR subKey, REGSAM access, const OpenKey& from) {
  std::string path = subKey ? subKey : "";
  constexpr size_t kSoftware = 8;
  const bool software =
      Folded(path.substr(0, kSoftware)) == "software" && (path.size() == kSoftware || path[kSoftware] == '\\');
  if (parent != HKEY_LOCAL_MACHINE || !(access & KEY_WOW64_32KEY) || !software) return path;
  std::shared_ptr<Key> made;
  DWORD how = 0;
  Descend(from, "Software\\WOW6432Node", true, made, how);
  return "Software\\WOW6432Node" + path.substr(kSoftware);
}

// `pastSecurity`: with backup and restore semantics, the key's security not
// looked at.
LSTATUS OpenSubkey(HKEY parent, LPCSTR subKey, REGSAM access, bool create, PHKEY result, LPDWORD disposition,
                   bool pastSecurity = false) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  OpenKey from;
  if (const LSTATUS status = FromHandle(parent, from); status != ERROR_SUCCESS) return status;
  if (const auto failing = g_failingOpens.find({parent, Folded(subKey ? subKey : "")}); failing != g_failingOpens.end())
    return static_cast<LSTATUS>(failing->second);
  std::shared_ptr<Key> key;
  DWORD how = 0;
  const std::string path = Viewed(parent, subKey, access, from);
  if (const LSTATUS status = Descend(from, path.c_str(), create, key, how, pastSecurity); status != ERROR_SUCCESS)
    return status;
  if (!pastSecurity && (key->readsDenied || (key->changesDenied && (access & kChangeRights))))
    return ERROR_ACCESS_DENIED;
  *result = NewHandle(std::move(key), access);
  if (disposition) *disposition = how;
  return ERROR_SUCCESS;
}

// The key a handle stands for, when it was opened with `needed` access.
LSTATUS KeyFor(HKEY handle, REGSAM needed, std::shared_ptr<Key>& key) {
  OpenKey open;
  if (const LSTATUS status = FromHandle(handle, open); status != ERROR_SUCCESS) return status;
  if ((open.access & needed) != needed) return ERROR_ACCESS_DENIED;
  key = open.key;
  return ERROR_SUCCESS;
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Text values are held as Windows holds them, in UTF-16: the narrow calls
// convert from and to the ANSI code page.
std::string Widened(const std::string& bytes) {
  if (bytes.empty()) return bytes;
  const int length = static_cast<int>(bytes.size());
  std::u16string wide(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0)), u'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, wide.data(), static_cast<int>(wide.size()));
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

std::string Narrowed(const std::string& bytes) {
  std::u16string wide(bytes.size() / 2, u'\0');
  std::memcpy(wide.data(), bytes.data(), wide.size() * 2);
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  std::string text(
      static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr)), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), length, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
  return text;
}

std::string Narrow(LPCWSTR name) {
  if (name == nullptr) return {};
  std::u16string_view view(name);
  std::string bytes(reinterpret_cast<const char*>(view.data()), view.size() * 2);
  return Narrowed(bytes);
}

LSTATUS QueryValue(HKEY handle, const std::string& name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size,
                   bool narrow) {
  if (reserved != nullptr || (data != nullptr && size == nullptr)) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<Key> key;
  if (const LSTATUS status = KeyFor(handle, KEY_QUERY_VALUE, key); status != ERROR_SUCCESS) return status;
  const auto found = key->values.find(Folded(name));
  if (found == key->values.end()) return ERROR_FILE_NOT_FOUND;
  const Value& value = found->second;
  if (type) *type = value.type;
  if (size == nullptr) return ERROR_SUCCESS;
  const std::string bytes = narrow && IsText(value.type) ? Narrowed(value.bytes) : value.bytes;
  const auto needed = static_cast<DWORD>(bytes.size());
  const bool fits = *size >= needed;
  *size = needed;
  if (data == nullptr) return ERROR_SUCCESS;
  if (!fits) return ERROR_MORE_DATA;
  std::copy(bytes.begin(), bytes.end(), data);
  return ERROR_SUCCESS;
}

LSTATUS SetValue(HKEY handle, const std::string& name, DWORD type, const BYTE* data, DWORD size, bool narrow) {
  if (data == nullptr && size > 0) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<Key> key;
  if (const LSTATUS status = KeyFor(handle, KEY_SET_VALUE, key); status != ERROR_SUCCESS) return status;
  const auto* bytes = reinterpret_cast<const char*>(data);
  const std::string raw(bytes, bytes + size);
  key->values[Folded(name)] = Value{type, narrow && IsText(type) ? Widened(raw) : raw};
  return ERROR_SUCCESS;
}

bool Within(const Key& outer, const Key& key) {
  if (&outer == &key) return true;
  return std::any_of(outer.subkeys.begin(), outer.subkeys.end(),
                     [&](const auto& subkey) { return Within(*subkey.second, key); });
}

}  // namespace

namespace fakewin {

int OpenKeyCount() { return static_cast<int>(g_open.size()); }

void FailOpens(HKEY root, const char* path, DWORD error) {
  if (error == ERROR_SUCCESS)
    g_failingOpens.erase({root, tree::Folded(path)});
  else
    g_failingOpens[{root, tree::Folded(path)}] = error;
}

void ResetRegistry() {
  g_open.clear();
  g_failingOpens.clear();
  tree::DropHives();
  g_roots = NewUserRoots();
}

namespace tree {

std::string Folded(std::string_view name) {
  std::string folded;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    if (IsDBCSLeadByte(byte) && i + 1 < name.size()) {
      folded += name.substr(i++, 2);
    } else {
      folded += static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 0x20 : byte);
    }
  }
  return folded;
}

std::shared_ptr<Key>& Root(HKEY root) {
  auto& key = g_roots[root];
  if (!key) key = std::make_shared<Key>();
  return key;
}

bool HandleOpenWithin(const Key& key) {
  return std::any_of(g_open.begin(), g_open.end(), [&](const auto& open) { return Within(key, *open.second->key); });
}

void MarkDeleted(Key& key) {
  key.deleted = true;
  for (auto& [name, subkey] : key.subkeys) MarkDeleted(*subkey);
}

}  // namespace tree
void DenyChanges(HKEY root, const char* path, bool denied, bool reading) {
  OpenKey from;
  FromHandle(root, from);
  std::shared_ptr<Key> key;
  DWORD disposition = 0;
  if (Descend(from, path, true, key, disposition) != ERROR_SUCCESS) return;
  key->changesDenied = denied;
  key->readsDenied = denied && reading;
}

}  // namespace fakewin

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
  if (result) *result = nullptr;
  if (fakewin::ShouldFail("RegOpenKeyExA")) return static_cast<LSTATUS>(GetLastError());
  return OpenSubkey(key, subKey, access, false, result, nullptr);
}

LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES,
                        PHKEY result, LPDWORD disposition) {
  if (result) *result = nullptr;
  if (fakewin::ShouldFail("RegCreateKeyExA")) return static_cast<LSTATUS>(GetLastError());
  // Backup and restore semantics: with both privileges enabled, reading and
  // writing whatever the key's security says.
  if (options & REG_OPTION_BACKUP_RESTORE) {
    if (!fakewin::PrivilegeEnabled(SE_BACKUP_NAME) || !fakewin::PrivilegeEnabled(SE_RESTORE_NAME))
      return ERROR_ACCESS_DENIED;
    return OpenSubkey(key, subKey, KEY_ALL_ACCESS | (access & (KEY_WOW64_32KEY | KEY_WOW64_64KEY)), true, result,
                      disposition, true);
  }
  return OpenSubkey(key, subKey, access, true, result, disposition);
}

LSTATUS RegQueryValueExA(HKEY handle, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (fakewin::ShouldFail("RegQueryValueExA")) return static_cast<LSTATUS>(GetLastError());
  return QueryValue(handle, valueName ? valueName : "", reserved, type, data, size, true);
}

LSTATUS RegQueryValueExW(HKEY handle, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (fakewin::ShouldFail("RegQueryValueExW")) return static_cast<LSTATUS>(GetLastError());
  return QueryValue(handle, Narrow(valueName), reserved, type, data, size, false);
}

LSTATUS RegSetValueExA(HKEY handle, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size) {
  if (fakewin::ShouldFail("RegSetValueExA")) return static_cast<LSTATUS>(GetLastError());
  return SetValue(handle, valueName ? valueName : "", type, data, size, true);
}

LSTATUS RegSetValueExW(HKEY handle, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size) {
  if (fakewin::ShouldFail("RegSetValueExW")) return static_cast<LSTATUS>(GetLastError());
  return SetValue(handle, Narrow(valueName), type, data, size, false);
}

LSTATUS RegCloseKey(HKEY handle) {
  if (IsPredefined(handle)) return ERROR_SUCCESS;
  return g_open.erase(handle) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS RegEnumKeyExA(HKEY handle, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR, LPDWORD,
                      PFILETIME) {
  if (fakewin::ShouldFail("RegEnumKeyExA")) return static_cast<LSTATUS>(GetLastError());
  if (name == nullptr || nameSize == nullptr || reserved != nullptr) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<Key> key;
  if (const LSTATUS status = KeyFor(handle, KEY_ENUMERATE_SUB_KEYS, key); status != ERROR_SUCCESS) return status;
  if (index >= key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  const std::string& found = std::next(key->subkeys.begin(), index)->second->name;
  if (*nameSize <= found.size()) return ERROR_MORE_DATA;
  std::memcpy(name, found.c_str(), found.size() + 1);
  *nameSize = static_cast<DWORD>(found.size());
  return ERROR_SUCCESS;
}

LSTATUS RegDeleteTreeA(HKEY handle, LPCSTR subKey) {
  std::shared_ptr<Key> key;
  if (const LSTATUS status = KeyFor(handle, 0, key); status != ERROR_SUCCESS) return status;
  std::vector<std::string> names = Components(subKey ? subKey : "");
  if (names.empty()) {
    // Without a subkey, the key itself stays and loses its contents.
    for (auto& [name, subkey] : key->subkeys) MarkDeleted(*subkey);
    key->subkeys.clear();
    key->values.clear();
    return ERROR_SUCCESS;
  }
  for (size_t i = 0; i + 1 < names.size(); ++i) {
    const auto found = key->subkeys.find(Folded(names[i]));
    if (found == key->subkeys.end()) return ERROR_FILE_NOT_FOUND;
    key = found->second;
  }
  const auto found = key->subkeys.find(Folded(names.back()));
  if (found == key->subkeys.end()) return ERROR_FILE_NOT_FOUND;
  MarkDeleted(*found->second);
  key->subkeys.erase(found);
  return ERROR_SUCCESS;
}

LSTATUS RegDeleteKeyA(HKEY handle, LPCSTR subKey) {
  if (fakewin::ShouldFail("RegDeleteKeyA")) return static_cast<LSTATUS>(GetLastError());
  HKEY key = nullptr;
  if (const LSTATUS status = RegOpenKeyExA(handle, subKey, 0, KEY_READ, &key); status != ERROR_SUCCESS) return status;
  OpenKey open;
  FromHandle(key, open);
  const bool hasSubkeys = !open.key->subkeys.empty();
  RegCloseKey(key);
  if (hasSubkeys) return ERROR_ACCESS_DENIED;
  return RegDeleteTreeA(handle, subKey);
}

LSTATUS RegDeleteValueA(HKEY handle, LPCSTR valueName) {
  if (fakewin::ShouldFail("RegDeleteValueA")) return static_cast<LSTATUS>(GetLastError());
  std::shared_ptr<Key> key;
  if (const LSTATUS status = KeyFor(handle, KEY_SET_VALUE, key); status != ERROR_SUCCESS) return status;
  return key->values.erase(Folded(valueName ? valueName : "")) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}
