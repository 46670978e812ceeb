// A per-connection value (DefaultConnectionSettings, SavedLegacySettings) as
// Windows' Internet Options leaves it: a proxy server in use, a bypass list,
// and the bytes Windows writes after the auto-configuration URL.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct ConnectionBytes {
  uint32_t version = 0x46;
  uint32_t counter = 5;
  uint32_t flags = 3;  // direct, and the proxy server
  std::string proxy = "proxy.school.example:8080";
  std::string bypass;
  std::string autoConfigUrl;
  std::string rest = std::string("\x01\0\0\0", 4) + std::string(28, '\0');

  static ConnectionBytes With(std::string bypass) {
    ConnectionBytes value;
    value.bypass = std::move(bypass);
    return value;
  }

  std::string Bytes() const {
    std::string bytes = Dword(version) + Dword(counter) + Dword(flags);
    for (const std::string* field : {&proxy, &bypass, &autoConfigUrl})
      bytes += Dword(static_cast<uint32_t>(field->size())) + *field;
    return bytes + rest;
  }

  static std::string Dword(uint32_t value) {
    std::string bytes(4, '\0');
    for (size_t i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i) & 0xFF);
    return bytes;
  }
};
