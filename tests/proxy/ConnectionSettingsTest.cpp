#include "ConnectionSettings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ConnectionBytes.h"

namespace {

uint32_t Counter(const std::string& value) {
  uint32_t counter = 0;
  for (size_t i = 8; i-- > 4;) counter = counter << 8 | static_cast<unsigned char>(value[i]);
  return counter;
}

ConnectionBytes With(std::string bypass) { return ConnectionBytes::With(std::move(bypass)); }

// Each form Windows writes gives its bypass list, and a new one changes
// that field, its length and the counter alone; any other form gives none.
TEST(ConnectionSettingsTest, TheBypassListIsTheOneFieldChanged) {
  ConnectionBytes older = With("a.test;<local>");
  older.version = 0x3C;
  ConnectionBytes empty = With("");
  empty.proxy.clear();
  ConnectionBytes script = With("a.test");
  script.flags = 5;
  script.autoConfigUrl = "http://wpad.school.example/proxy.pac";
  ConnectionBytes bare = With("a.test");
  bare.rest.clear();
  ConnectionBytes wrapped = With("a.test");
  wrapped.counter = 0xFFFFFFFF;
  ConnectionBytes unknown = With("a.test");
  unknown.version = 0x18;  // WinHTTP's own settings
  const std::string whole = With("a.test").Bytes();
  const struct {
    const char* what;
    std::string value;
    std::optional<std::string> bypass;
  } cases[] = {
      {"version 0x46", With("a.test;<local>").Bytes(), "a.test;<local>"},
      {"version 0x3C", older.Bytes(), "a.test;<local>"},
      {"empty fields", empty.Bytes(), ""},
      {"an auto-configuration URL", script.Bytes(), "a.test"},
      {"nothing after the URL", bare.Bytes(), "a.test"},
      {"the counter at its end", wrapped.Bytes(), "a.test"},
      {"another version", unknown.Bytes(), std::nullopt},
      {"the URL's length past the end", whole.substr(0, whole.size() - With("").rest.size() - 1), std::nullopt},
      {"a bypass length past the end", whole.substr(0, 12 + 4 + With("").proxy.size() + 4 + 3), std::nullopt},
      {"shorter than its header", whole.substr(0, 11), std::nullopt},
      {"nothing", "", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto bypass = BypassListOf(c.value);
    ASSERT_EQ(bypass.has_value(), c.bypass.has_value());
    if (!bypass) continue;
    EXPECT_EQ(*bypass, *c.bypass);
    const std::string changed = WithBypassList(c.value, "J;" + *c.bypass);
    EXPECT_EQ(BypassListOf(changed), "J;" + *c.bypass);
    // Back to the old list: the value as it was, but for the counter.
    std::string back = WithBypassList(changed, *c.bypass);
    EXPECT_EQ(Counter(back), Counter(c.value) + 2);
    back.replace(4, 4, c.value.substr(4, 4));
    EXPECT_EQ(back, c.value);
  }
}

}  // namespace
