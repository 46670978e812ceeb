// Raw access to values under HKEY_CURRENT_USER for the tests: a value's
// type and bytes, read and put back. Through the narrow calls text is in the
// ANSI code page; through the wide ones, exactly as the registry holds it.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <ostream>
#include <string>

#include "Handle.h"

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

  static void CreateKey(const std::string& path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    RegCloseKey(key);
  }

  static bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }

  // The value's type and raw bytes; nothing when the key or the value is missing.
  static std::optional<Stored> Value(const std::string& keyPath, const char* name, bool wide = false) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    const UniqueKey owner(key);
    const auto query = [&](DWORD* type, std::string* bytes, DWORD* size) {
      auto* data = bytes ? reinterpret_cast<LPBYTE>(bytes->data()) : nullptr;
      return wide ? RegQueryValueExW(key, Wide(name).c_str(), nullptr, type, data, size)
                  : RegQueryValueExA(key, name, nullptr, type, data, size);
    };
    Stored stored{REG_NONE, {}};
    DWORD size = 0;
    if (query(&stored.type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    stored.bytes.resize(size);
    EXPECT_EQ(query(nullptr, &stored.bytes, &size), ERROR_SUCCESS);
    stored.bytes.resize(size);
    return stored;
  }

  // Stores the raw bytes as they are, or deletes the value when there are
  // none. Non-NUL bytes follow them, or the registry would count a NUL that
  // the caller left out.
  static void SetValue(const std::string& keyPath, const char* name, const std::optional<Stored>& value,
                       bool wide = false) {
    CreateKey(keyPath);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    const UniqueKey owner(key);
    if (!value) {
      RegDeleteValueA(key, name);
      return;
    }
    const std::string guarded = value->bytes + "XX";
    const auto* data = reinterpret_cast<const BYTE*>(guarded.data());
    const auto size = static_cast<DWORD>(value->bytes.size());
    ASSERT_EQ(wide ? RegSetValueExW(key, Wide(name).c_str(), 0, value->type, data, size)
                   : RegSetValueExA(key, name, 0, value->type, data, size),
              ERROR_SUCCESS);
  }

  // A text as it is held in the registry: UTF-16 with its NUL.
  static Stored WideSz(const std::basic_string<WCHAR>& text, DWORD type = REG_SZ) {
    return {type, std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(WCHAR))};
  }
  static std::basic_string<WCHAR> Wide(const char* ascii) {
    return std::basic_string<WCHAR>(ascii, ascii + std::char_traits<char>::length(ascii));
  }

  // A text as CRegStringValue stores it.
  static Stored Sz(const std::string& text) { return {REG_SZ, text + '\0'}; }
};
