#include <gtest/gtest.h>

#include "CString.h"

namespace {

// Code page 932: "表" is 0x95 0x5C, its trail byte a backslash; "ア" is
// 0x83 0x41, its trail byte an "A"; "　" (ideographic space) is 0x81 0x40.
const char kHyo[] = "\x95\x5C";
const char kA[] = "\x83\x41";
const char kIdeographicSpace[] = "\x81\x40";

struct TrimCase {
  std::string input;
  std::string trimmed;
};

TEST(CStringTest, TrimRemovesOnlySingleByteWhiteSpace) {
  const TrimCase cases[] = {
      {"", ""},
      {" \t\r\n\v\f", ""},
      {"  a b  ", "a b"},
      {std::string(" ") + kIdeographicSpace + " ", kIdeographicSpace},
      {std::string("\xA0x\xA0"), "\xA0x\xA0"},
      // 0x81 0x20 is no character of the code page; the blank is its second byte.
      {std::string("x\x81\x20"), "x\x81\x20"},
      {std::string("a\0b \t", 5), std::string("a\0b", 3)},
  };
  for (const TrimCase& c : cases) {
    CString text(c.input.data(), static_cast<int>(c.input.size()));
    text.Trim();
    EXPECT_EQ(std::string(text.View()), c.trimmed) << "input: " << c.input;
  }
}

TEST(CStringTest, FindStepsOverDoubleByteCharacters) {
  const CString path = CString("a") + kHyo + "b\\c";
  EXPECT_EQ(path.Find('\\'), 4);
  EXPECT_EQ(path.Find('\\', 5), -1);
  EXPECT_EQ(CString(kA).Find('A'), -1);
  EXPECT_EQ((CString(kA) + "A").Find('A'), 2);
  EXPECT_EQ((CString(kHyo) + ";x").FindOneOf(";\\"), 2);
  EXPECT_EQ(CString(kHyo).FindOneOf("\\"), -1);
}

TEST(CStringTest, LeftAndMidCountBytes) {
  const CString text("abc;def");
  EXPECT_EQ(text.Left(3), "abc");
  EXPECT_EQ(text.Mid(4), "def");
  EXPECT_EQ(text.Mid(7), "");
  EXPECT_EQ(text.Mid(70), "");
  EXPECT_EQ(text.Left(0), "");
  EXPECT_EQ(text.Mid(4, 2), "de");
  EXPECT_EQ(text.Mid(4, 70), "def");
  EXPECT_EQ(text.Mid(3, 0), "");
}

TEST(CStringTest, CompareNoCaseFoldsSingleAndDoubleByteLetters) {
  const struct {
    const char* a;
    const char* b;
    bool equal;
  } cases[] = {
      {"*.Example.ORG", "*.example.org", true},
      {"\x82\x60\x82\x79", "\x82\x81\x82\x9A", true},  // full-width A Z / a z
      {"\x83\x9F\x83\xB6", "\x83\xBF\x83\xD6", true},  // Greek Alpha Omega / alpha omega
      {"\x84\x40\x84\x4E\x84\x4F\x84\x60", "\x84\x70\x84\x7E\x84\x80\x84\x91", true},  // Cyrillic
      {"\x82\x60", "A", false},                                                        // full-width A is not ASCII A
      {"\x83\x41", "\x83\x61", false},  // two katakana; the trail bytes are no letters
      {"abc", "abcd", false},
      {"abc ", "abc", false},
      {"", "", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CString(c.a).CompareNoCase(c.b) == 0, c.equal) << c.a << " vs " << c.b;
    EXPECT_EQ(CString(c.b).CompareNoCase(c.a) == 0, c.equal) << c.b << " vs " << c.a;
  }
}

TEST(CStringTest, EqualityIsByteForByte) {
  EXPECT_EQ(CString("Host"), "Host");
  EXPECT_FALSE(CString("host") == "Host");
  EXPECT_FALSE(CString(std::string("host\0x", 6)) == CString("host"));
}

}  // namespace
