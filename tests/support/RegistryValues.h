// Raw access to registry values, under HKEY_CURRENT_USER unless another
// root is given, apart from the code under test: a value's type and bytes,
// read, stored and deleted. Through the narrow calls text is in the ANSI
// code page; through the wide ones, exactly as the registry holds it. What
// cannot be done raises std::runtime_error.
#pragma once

#include <windows.h>

#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "Handle.h"
#include "ProxyExceptionList.h"

class RegistryValues {
 public:
  struct Stored {
    DWORD type;
    std::string bytes;
    bool operator==(const Stored&) const = default;
    friend void PrintTo(const Stored& stored, std::ostream* out) {
      *out << "type " << stored.type << ", " << stored.bytes.size() << " bytes \"" << stored.bytes.substr(0, 80)
           << (stored.bytes.size() > 80 ? "...\"" : "\"");
    }
  };

  // The key and the name of the user's proxy exception list.
  static constexpr std::string_view kProxyPath = PROXY_OVERRIDE_PATH;
  inline static const std::string kProxyKey{kProxyPath.substr(0, kProxyPath.rfind('\\'))};
  inline static const std::string kProxyName{kProxyPath.substr(kProxyPath.rfind('\\') + 1)};

  static void CreateKey(const std::string& path) { CreateKey(HKEY_CURRENT_USER, path); }
  static void CreateKey(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    Check(RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                          nullptr),
          "create", path);
    RegCloseKey(key);
  }

  static bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }

  // The value's type and raw bytes; nothing when the key or the value is missing.
  static std::optional<Stored> Value(const std::string& keyPath, const std::string& name, bool wide = false) {
    return Value(HKEY_CURRENT_USER, keyPath, name, wide);
  }
  static std::optional<Stored> Value(HKEY root, const std::string& keyPath, const std::string& name,
                                     bool wide = false) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    const UniqueKey owner(key);
    const auto query = [&](DWORD* type, std::string* bytes, DWORD* size) {
      auto* data = bytes ? reinterpret_cast<LPBYTE>(bytes->data()) : nullptr;
      return wide ? RegQueryValueExW(key, Wide(name).c_str(), nullptr, type, data, size)
                  : RegQueryValueExA(key, name.c_str(), nullptr, type, data, size);
    };
    Stored stored{REG_NONE, {}};
    DWORD size = 0;
    if (query(&stored.type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    stored.bytes.resize(size);
    Check(query(nullptr, &stored.bytes, &size), "read", keyPath + "\\" + name);
    stored.bytes.resize(size);
    return stored;
  }

  // Stores the raw bytes as they are, making the key where it is missing, or
  // deletes the value when there are none. Non-NUL bytes follow them, or the
  // registry would count a NUL that the caller left out.
  static void SetValue(const std::string& keyPath, const std::string& name, const std::optional<Stored>& value,
                       bool wide = false) {
    SetValue(HKEY_CURRENT_USER, keyPath, name, value, wide);
  }
  static void SetValue(HKEY root, const std::string& keyPath, const std::string& name,
                       const std::optional<Stored>& value, bool wide = false) {
    CreateKey(root, keyPath);
    HKEY key = nullptr;
    Check(RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key), "open", keyPath);
    const UniqueKey owner(key);
    if (!value) {
      const LSTATUS status = RegDeleteValueA(key, name.c_str());
      if (status != ERROR_FILE_NOT_FOUND) Check(status, "delete", keyPath + "\\" + name);
      return;
    }
    const std::string guarded = value->bytes + "XX";
    const auto* data = reinterpret_cast<const BYTE*>(guarded.data());
    const auto size = static_cast<DWORD>(value->bytes.size());
    Check(wide ? RegSetValueExW(key, Wide(name).c_str(), 0, value->type, data, size)
               : RegSetValueExA(key, name.c_str(), 0, value->type, data, size),
          "write", keyPath + "\\" + name);
  }

  // A text as it is held in the registry: UTF-16 with its NUL.
  static Stored WideSz(const std::basic_string<WCHAR>& text, DWORD type = REG_SZ) {
    return {type, std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(WCHAR))};
  }
  static std::basic_string<WCHAR> Wide(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

  // A text as CRegStringValue stores it.
  static Stored Sz(const std::string& text) { return {REG_SZ, text + '\0'}; }

 private:
  static void Check(LSTATUS status, const char* what, const std::string& path) {
    if (status != ERROR_SUCCESS)
      throw std::runtime_error(std::string("cannot ") + what + " " + path + ": error " + std::to_string(status));
  }
};
