#include "ConnectionSettings.h"

#include <cstdint>

namespace {

constexpr uint32_t kVersions[] = {0x3C, 0x46};
constexpr size_t kCounterAt = 4;
constexpr size_t kProxyServerAt = 12;  // after the version, the counter and the flags

uint32_t DwordAt(std::string_view bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 4; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

void PutDword(std::string& bytes, size_t at, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

// Where the field after the one whose length is at `at` begins; nothing when
// the length or the field runs past the end.
std::optional<size_t> After(std::string_view value, size_t at) {
  if (at > value.size() || value.size() - at < 4) return std::nullopt;
  const uint32_t length = DwordAt(value, at);
  if (value.size() - at - 4 < length) return std::nullopt;
  return at + 4 + length;
}

// Where the bypass list's length lies; nothing when the form is not known.
std::optional<size_t> BypassLengthAt(std::string_view value) {
  if (value.size() < kProxyServerAt) return std::nullopt;
  const uint32_t version = DwordAt(value, 0);
  if (version != kVersions[0] && version != kVersions[1]) return std::nullopt;
  const auto bypass = After(value, kProxyServerAt);
  const auto autoConfigUrl = bypass ? After(value, *bypass) : std::nullopt;
  if (!autoConfigUrl || !After(value, *autoConfigUrl)) return std::nullopt;
  return bypass;
}

}  // namespace

std::optional<std::string_view> BypassListOf(std::string_view value) {
  const auto at = BypassLengthAt(value);
  if (!at) return std::nullopt;
  return value.substr(*at + 4, DwordAt(value, *at));
}

std::string WithBypassList(std::string_view value, std::string_view bypass) {
  const size_t at = *BypassLengthAt(value);
  const size_t rest = at + 4 + DwordAt(value, at);
  std::string changed(value.substr(0, at + 4));
  changed += bypass;
  changed += value.substr(rest);
  PutDword(changed, at, static_cast<uint32_t>(bypass.size()));
  PutDword(changed, kCounterAt, DwordAt(value, kCounterAt) + 1);
  return changed;
}
