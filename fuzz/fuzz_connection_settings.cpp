// The per-connection value's bypass list for any bytes: only a form Windows
// writes has one, and a new list changes that field, its length and the
// change counter alone, every other byte kept.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ConnectionSettings.h"
#include "Reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view value(reinterpret_cast<const char*>(data), size);
  const auto bypass = BypassListOf(value);
  if (!bypass) return 0;
  FUZZ_CHECK(bypass->data() >= value.data() && bypass->data() + bypass->size() <= value.data() + value.size(),
             "the bypass list lies outside the value");
  const size_t at = static_cast<size_t>(bypass->data() - value.data());
  // The value's own list once more: the same bytes, but the counter.
  const std::string same = WithBypassList(value, *bypass);
  FUZZ_CHECK(same.size() == value.size(), "the same list changed the size");
  FUZZ_CHECK(same.substr(0, 4) == value.substr(0, 4) && same.substr(8) == value.substr(8),
             "the same list changed more than the counter");
  // Another list: before the field and after it, the value's own bytes.
  const std::string other = "*.example;" + std::string(*bypass);
  const std::string changed = WithBypassList(value, other);
  FUZZ_CHECK(BypassListOf(changed) == std::string_view(other), "the new list does not read back");
  FUZZ_CHECK(changed.substr(8, at - 4 - 8) == value.substr(8, at - 4 - 8), "a byte before the list changed");
  FUZZ_CHECK(changed.substr(at + other.size()) == value.substr(at + bypass->size()), "a byte after the list changed");
  return 0;
}
