#include "RegStringValue.h"

#include <optional>
#include <string>

#include "RegistryFixture.h"

namespace {

class RegStringValueTest : public RegistryTest {
 protected:
  const std::string m_key = std::string(kScratch) + "\\k";
  const std::string m_path = m_key + "\\v";

  // The text read; nothing when the read was refused, for `refusal`.
  static std::optional<std::string> Read(const std::string& path,
                                         CRegistryException::Cause refusal = CRegistryException::readFailed) {
    CString value("caller");
    try {
      CRegStringValue(HKEY_CURRENT_USER, CString(path)).Read(value);
    } catch (const CRegistryException& error) {
      EXPECT_EQ(error.m_cause, refusal);
      EXPECT_EQ(error.m_strValueName, CString("HKEY_CURRENT_USER\\" + path));
      return std::nullopt;
    }
    return std::string(value.View());
  }
  // Whether the write was done.
  static bool Write(const std::string& path, const std::string& text) {
    try {
      CRegStringValue(HKEY_CURRENT_USER, CString(path)).Write(CString(text));
    } catch (const CRegistryException& error) {
      EXPECT_EQ(error.m_cause, CRegistryException::writeFailed);
      return false;
    }
    return true;
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
  EXPECT_EQ(value.GetName(), CString("HKEY_CURRENT_USER\\" + m_path));
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

TEST_F(RegStringValueTest, TextIsTakenUpToItsFirstNulOrItsSizeAndOtherTypesAreRefused) {
  const struct {
    DWORD type;
    std::string bytes;
    std::optional<std::string> read;  // nothing: refused
  } cases[] = {
      {REG_SZ, "--nullstring--", "--nullstring--"},
      {REG_SZ, " --NULLSTRING--", " --NULLSTRING--"},
      {REG_SZ, "--NULLSTRING-- ", "--NULLSTRING-- "},
      {REG_SZ, "--NULLSTRING--", ""},  // the marker without its NUL
      {REG_SZ, "abc", "abc"},
      {REG_SZ, std::string(300, 'q'), std::string(300, 'q')},
      {REG_SZ, std::string("ab\0cd\0", 6), "ab"},
      {REG_SZ, "", ""},
      {REG_EXPAND_SZ, "%TEMP%;a.test", "%TEMP%;a.test"},
      {REG_BINARY, "xy", std::nullopt},
      {REG_DWORD, std::string("\x41\0\0\0", 4), std::nullopt},
      {REG_MULTI_SZ, std::string("a.test\0b.test\0\0", 15), std::nullopt},
  };
  for (const auto& c : cases) {
    SetValue(m_key, "v", Stored{c.type, c.bytes});
    EXPECT_EQ(Read(m_path, CRegistryException::notText), c.read) << c.bytes;
  }
}

// Read through the ANSI code page, such a text would come back with "?" in
// place of the letters it lacks.
TEST_F(RegStringValueTest, TextTheCodePageCannotHoldIsRefused) {
  const std::basic_string<WCHAR> unicodeOnly = {'b', 0xFC, 'c', 'h', 'e', 'r', ';', 0xD55C, 0xAD6D, ';', 'x'};
  SetValue(m_key, "v", WideSz(unicodeOnly), true);
  EXPECT_EQ(Read(m_path, CRegistryException::notInCodePage), std::nullopt);
  const std::basic_string<WCHAR> japanese = {0x65E5, 0x672C, ';', 0xFF71, 'x'};  // 日本;ｱx
  SetValue(m_key, "v", WideSz(japanese), true);
  EXPECT_EQ(Read(m_path), "\x93\xFA\x96\x7B;\xB1x");
}

// Put back byte for byte: the type, the UTF-16 text and what follows its NUL.
TEST_F(RegStringValueTest, RestorePutsBackTheValueAsItWasHeld) {
  const std::optional<Stored> befores[] = {
      std::nullopt,
      WideSz(Wide("a.test;<local>")),
      WideSz(Wide("%TEMP%"), REG_EXPAND_SZ),
      Stored{REG_SZ, WideSz(Wide("ab")).bytes + std::string("x\0y", 3)},
  };
  const CRegStringValue value(HKEY_CURRENT_USER, CString(m_path));
  for (const auto& before : befores) {
    CreateKey(m_key);
    SetValue(m_key, "v", before, true);
    CString text;
    RegStoredValue stored;
    value.Read(text, &stored);
    value.Write("new");
    EXPECT_TRUE(value.Restore("new", stored));
    EXPECT_EQ(Value(m_key, "v", true), before) << ::testing::PrintToString(before);
  }
}

TEST_F(RegStringValueTest, MissingValueReadsEmptyAndIsNotCreated) {
  CreateKey(m_key);
  EXPECT_EQ(Read(m_path), "");
  EXPECT_EQ(Value(m_key, "v"), std::nullopt);
}

TEST_F(RegStringValueTest, ReadingUnderMissingKeysCreatesThemEmpty) {
  EXPECT_EQ(Read(m_key + "\\a\\b\\v"), "");
  EXPECT_TRUE(KeyExists(m_key + "\\a\\b"));
  EXPECT_EQ(Value(m_key + "\\a\\b", "v"), std::nullopt);
}

TEST_F(RegStringValueTest, UnusablePathsAreRefusedAndCreateNothing) {
  const std::string paths[] = {
      std::string(kTopScratch) + "\\v",  // first component missing
      std::string(kTopScratch) + "\\a\\v",
      std::string("\\") + kTopScratch + "\\v",  // no usable separator
      kTopScratch,
  };
  for (const std::string& path : paths) {
    EXPECT_FALSE(Write(path, "x")) << path;
    EXPECT_EQ(Read(path), std::nullopt) << path;
    EXPECT_FALSE(KeyExists(kTopScratch)) << path;
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
    EXPECT_TRUE(Write(c.path, "text")) << c.path;
    EXPECT_EQ(Value(c.key, c.name.c_str()), Sz("text")) << c.path;
    EXPECT_EQ(Read(c.path), "text") << c.path;
  }
}

TEST_F(RegStringValueTest, KeyNameTheRegistryRefusesIsAFailure) {
  const std::string path = m_key + "\\" + std::string(300, 'k') + "\\v";
  EXPECT_FALSE(Write(path, "text"));
  EXPECT_EQ(Read(path), std::nullopt);
  EXPECT_TRUE(KeyExists(m_key));
}

#ifndef _WIN32
TEST_F(RegStringValueTest, FailingCallIsRaisedLeavesTheValueAndClosesEveryKey) {
  const struct {
    const char* function;
    int nth;
    bool writes;  // the write is refused
    bool reads;   // the read is refused
  } cases[] = {
      {"RegOpenKeyExA", 1, true, true},   {"RegCreateKeyExA", 1, true, true},   {"RegCreateKeyExA", 2, true, true},
      {"RegSetValueExA", 1, true, false}, {"RegQueryValueExW", 1, false, true}, {"RegQueryValueExW", 2, false, true},
  };
  const std::string old(600, 'o');  // read in a second query
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.function) + " " + std::to_string(c.nth));
    SetValue(m_key, "v", Sz(old));
    fakewin::InjectFailure(c.function, c.nth, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Write(m_path, "new"), !c.writes);
    fakewin::ClearFailure();
    EXPECT_EQ(Value(m_key, "v"), Sz(c.writes ? old : "new"));
    SetValue(m_key, "v", Sz(old));
    fakewin::InjectFailure(c.function, c.nth, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Read(m_path), c.reads ? std::nullopt : std::optional<std::string>(old));
    fakewin::ClearFailure();
    EXPECT_EQ(fakewin::OpenKeyCount(), 0);
  }
}
#endif

}  // namespace
