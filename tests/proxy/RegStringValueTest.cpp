#include "RegStringValue.h"

#include <vector>

#include "RegistryFixture.h"

namespace {

class RegStringValueTest : public RegistryTest {
 protected:
  const std::string m_key = std::string(kScratch) + "\\k";
  const std::string m_path = m_key + "\\v";

  static std::string Read(const std::string& path, const char* callersValue = "") {
    CString value(callersValue);
    CRegStringValue(HKEY_CURRENT_USER, CString(path)).Read(value);
    return std::string(value.View());
  }
  // Whether a read had the value.
  static BOOL Had(const std::string& path) {
    CString value;
    return CRegStringValue(HKEY_CURRENT_USER, CString(path)).Read(value);
  }
  static void Write(const std::string& path, const std::string& text) {
    CRegStringValue(HKEY_CURRENT_USER, CString(path)).Write(CString(text));
  }
};

TEST_F(RegStringValueTest, EmptyStringIsStoredAsTheMarkerAndReadBackEmpty) {
  const CRegStringValue value(HKEY_CURRENT_USER, CString(m_path));
  value.Write("");
  EXPECT_EQ(Value(m_key, "v"), Sz("--NULLSTRING--"));
  for (int time = 0; time < 2; ++time) {
    CString read("caller");
    value.Read(read);
    EXPECT_EQ(read, "") << "read " << time;
  }
}

TEST_F(RegStringValueTest, TextIsStoredWithOneNulAndReadWhole) {
  for (const size_t length : {1, 255, 256, 257, 10000}) {
    std::string text(length, 'x');
    text.front() = 'a';
    text.back() = 'z';
    Write(m_path, text);
    EXPECT_EQ(Value(m_key, "v"), Sz(text)) << length;
    EXPECT_EQ(Read(m_path), text) << length;
  }
}

TEST_F(RegStringValueTest, DataIsTakenUpToItsFirstNulOrItsSize) {
  const struct {
    DWORD type;
    std::string bytes;
    std::string read;
  } cases[] = {
      {REG_SZ, "--nullstring--", "--nullstring--"},
      {REG_SZ, " --NULLSTRING--", " --NULLSTRING--"},
      {REG_SZ, "--NULLSTRING-- ", "--NULLSTRING-- "},
      {REG_SZ, "--NULLSTRING--", ""},  // the marker without its NUL
      {REG_SZ, "abc", "abc"},
      {REG_SZ, std::string(300, 'q'), std::string(300, 'q')},
      {REG_SZ, std::string("ab\0cd\0", 6), "ab"},
      {REG_SZ, "", ""},
      {REG_BINARY, "xy", "xy"},
      {REG_DWORD, std::string("\x41\0\0\0", 4), "A"},
  };
  for (const auto& c : cases) {
    SetValue(m_key, "v", Stored{c.type, c.bytes});
    EXPECT_EQ(Read(m_path, "caller"), c.read) << c.bytes;
  }
}

TEST_F(RegStringValueTest, MissingValueReadsEmptyAndIsNotCreated) {
  CreateKey(m_key);
  EXPECT_EQ(Read(m_path, "caller"), "");
  EXPECT_TRUE(Had(m_path));
  EXPECT_EQ(Value(m_key, "v"), std::nullopt);
}

TEST_F(RegStringValueTest, ReadingUnderMissingKeysCreatesThemEmpty) {
  EXPECT_EQ(Read(m_key + "\\a\\b\\v", "caller"), "");
  EXPECT_TRUE(KeyExists(m_key + "\\a\\b"));
  EXPECT_EQ(Value(m_key + "\\a\\b", "v"), std::nullopt);
}

TEST_F(RegStringValueTest, UnusablePathsCreateNothing) {
  const struct {
    std::string path;
    const char* read;  // with "caller" passed in
  } cases[] = {
      {std::string(kTopScratch) + "\\v", "caller"},  // first component missing
      {std::string(kTopScratch) + "\\a\\v", "caller"},
      {std::string("\\") + kTopScratch + "\\v", ""},  // no usable separator
      {kTopScratch, ""},
  };
  for (const auto& c : cases) {
    Write(c.path, "x");
    EXPECT_FALSE(KeyExists(kTopScratch)) << c.path;
    EXPECT_EQ(Read(c.path, "caller"), c.read) << c.path;
    EXPECT_EQ(Read(c.path, "--NULLSTRING--"), "") << c.path;
    EXPECT_FALSE(Had(c.path)) << c.path;
    EXPECT_FALSE(KeyExists(kTopScratch)) << c.path;
  }
}

TEST_F(RegStringValueTest, PathNamesItsLastKeyAndValue) {
  CreateKey(kTopScratch);
  const struct {
    std::string path;
    std::string key;
    std::string name;
  } cases[] = {
      {std::string(kTopScratch) + "\\v", kTopScratch, "v"},  // two components
      {m_key + "\\", m_key, ""},                             // the default value
      {m_key + "\\\x95\x5C\\v", m_key + "\\\x95\x5C", "v"},  // a trail byte 0x5C separates nothing
      {m_key + "\\1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\v", m_key + "\\1\\2\\3\\4\\5\\6\\7\\8\\9\\10", "v"},
      {m_key + "\\" + std::string(300, 'n'), m_key, std::string(300, 'n')},
  };
  for (const auto& c : cases) {
    Write(c.path, "text");
    EXPECT_EQ(Value(c.key, c.name.c_str()), Sz("text")) << c.path;
    EXPECT_EQ(Read(c.path), "text") << c.path;
    EXPECT_TRUE(Had(c.path)) << c.path;
  }
}

TEST_F(RegStringValueTest, KeyNameTheRegistryRefusesEndsTheWalk) {
  const std::string path = m_key + "\\" + std::string(300, 'k') + "\\v";
  Write(path, "text");
  EXPECT_EQ(Read(path, "caller"), "caller");
  EXPECT_FALSE(Had(path));
  EXPECT_TRUE(KeyExists(m_key));
}

#ifndef _WIN32
TEST_F(RegStringValueTest, FailingCallLeavesTheValueAndClosesEveryKey) {
  const struct {
    const char* function;
    int nth;
    const char* stored;  // after writing "new"
    const char* read;    // with "caller" passed in
    BOOL had;
  } cases[] = {
      {"RegOpenKeyExA", 1, "old", "caller", FALSE},   {"RegCreateKeyExA", 1, "old", "caller", FALSE},
      {"RegCreateKeyExA", 2, "old", "caller", FALSE}, {"RegSetValueExA", 1, "old", "old", TRUE},
      {"RegQueryValueExA", 1, "new", "", FALSE},
  };
  for (const auto& c : cases) {
    SetValue(m_key, "v", Sz("old"));
    native::InjectFailure(c.function, c.nth, ERROR_ACCESS_DENIED);
    Write(m_path, "new");
    native::ClearFailure();
    EXPECT_EQ(Value(m_key, "v"), Sz(c.stored)) << c.function << " " << c.nth;
    native::InjectFailure(c.function, c.nth, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Read(m_path, "caller"), c.read) << c.function << " " << c.nth;
    native::InjectFailure(c.function, c.nth, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Had(m_path), c.had) << c.function << " " << c.nth;
    native::ClearFailure();
    EXPECT_EQ(native::OpenKeyCount(), 0) << c.function << " " << c.nth;
  }
}
#endif

}  // namespace
