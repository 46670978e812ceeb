#include "LeftoverHives.h"

#include <windows.h>

#include <string>

#include "HivePrivileges.h"
#include "ProfileHive.h"
#include "SystemImports.h"

namespace {

constexpr ULONG kForceUnload = 1;  // REG_FORCE_UNLOAD

std::vector<CString> LeftKeys() {
  std::vector<CString> keys;
  const CString prefix(kHiveKeyPrefix);
  for (DWORD index = 0;; ++index) {
    char name[256];  // a key name has at most 255 characters
    DWORD length = sizeof name;
    if (RegEnumKeyExA(HKEY_USERS, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      return keys;
    const CString key(name, static_cast<int>(length));
    if (key.Left(prefix.GetLength()).CompareNoCase(prefix) == 0) keys.push_back(key);
  }
}

// Whoever still holds a key in it loses it: systems since Windows Server
// 2003 can, and their registry keeps the hive whole.
bool ForceUnload(const CString& key) {
  const auto unload = imports::NtUnloadKey2();
  const CString path = CString("\\Registry\\User\\") + key;
  const std::basic_string<WCHAR> name(path.GetString(), path.GetString() + path.GetLength());  // ASCII
  const auto size = static_cast<WORD>(name.size() * sizeof(WCHAR));
  const imports::NtName object{size, size, name.c_str()};
  const imports::NtAttributes target{sizeof(imports::NtAttributes), nullptr, &object, 0, nullptr, nullptr};
  return unload != nullptr && unload(&target, kForceUnload) == 0;
}

}  // namespace

std::vector<CString> UnloadLeftoverHives() {
  std::vector<CString> stayed;
  const std::vector<CString> keys = LeftKeys();
  if (keys.empty()) return stayed;
  const HivePrivileges privileges;
  for (const CString& key : keys)
    if (UnloadHive(key) != ERROR_SUCCESS && !ForceUnload(key)) stayed.push_back("HKEY_USERS\\" + key);
  return stayed;
}
