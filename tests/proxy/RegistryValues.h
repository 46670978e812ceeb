// Raw access to values under HKEY_CURRENT_USER for the tests: a value's
// type and bytes exactly as stored, read and put back.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <ostream>
#include <string>

#include "Handle.h"

class RegistryValues {
 protected:
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
  static std::optional<Stored> Value(const std::string& keyPath, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    const UniqueKey owner(key);
    Stored stored{REG_NONE, {}};
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &stored.type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    stored.bytes.resize(size);
    EXPECT_EQ(RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(stored.bytes.data()), &size),
              ERROR_SUCCESS);
    stored.bytes.resize(size);
    return stored;
  }

  // Stores the raw bytes as they are, or deletes the value when there are
  // none. A non-NUL byte follows them, or the registry would count a NUL
  // that the caller left out.
  static void SetValue(const std::string& keyPath, const char* name, const std::optional<Stored>& value) {
    CreateKey(keyPath);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    const UniqueKey owner(key);
    if (!value) {
      RegDeleteValueA(key, name);
      return;
    }
    const std::string guarded = value->bytes + 'X';
    ASSERT_EQ(RegSetValueExA(key, name, 0, value->type, reinterpret_cast<const BYTE*>(guarded.data()),
                             static_cast<DWORD>(value->bytes.size())),
              ERROR_SUCCESS);
  }

  // A text as CRegStringValue stores it.
  static Stored Sz(const std::string& text) { return {REG_SZ, text + '\0'}; }
};
