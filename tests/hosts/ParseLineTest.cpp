#include <gtest/gtest.h>

#include <array>

#include "HostsFile.h"

namespace {

struct ParseCase {
  std::string raw;
  int activeFlag;
  std::array<int32_t, 4> octets;
  std::string hostName;
};

// The line views `raw`, which must outlive it.
HostsLine Parse(const std::string& raw) {
  HostsLine line;
  line.removeFlag = 1;  // the parse always clears it
  line.rawLine = raw;
  CHostsFile::ParseLine(line);
  return line;
}

TEST(ParseLineTest, ClassifiesAndExtracts) {
  const ParseCase cases[] = {
      {"10.1.2.3 host.example", 1, {10, 1, 2, 3}, "host.example"},
      {"10.1.2.3\t\t host.example \t", 1, {10, 1, 2, 3}, "host.example"},
      {"#10.1.2.3 host.example", 0, {10, 1, 2, 3}, "host.example"},
      {"#\t10.1.2.3 host.example", 0, {10, 1, 2, 3}, "host.example"},
      {"  \t#10.1.2.3 host.example", 0, {10, 1, 2, 3}, "host.example"},
      {"   10.1.2.3 host.example", 1, {10, 1, 2, 3}, "host.example"},
      {"# 10.1.2.3 host.example", 0, {0, 0, 0, 0}, ""},
      {"#", 0, {0, 0, 0, 0}, ""},
      {" \t ", 0, {0, 0, 0, 0}, ""},
      {"", 0, {0, 0, 0, 0}, ""},
      {"10.1.2.3 host.example alias # note", 1, {10, 1, 2, 3}, "host.example alias # note"},
      {"10.1.2.3 host.example\t# note", 1, {10, 1, 2, 3}, "host.example\t# note"},
      {"10.1.2.3 3com.example", 1, {10, 1, 2, 33}, "com.example"},
      {"::1 localhost", 1, {1, 0, 0, 0}, "localhost"},
      {"fe80::1%lo0 localhost", 1, {0, 0, 0, 0}, "fe80::1%lo0 localhost"},
      {"10.1.2.3", 1, {10, 1, 2, 3}, ""},
      {"10.1.2.3 Host.EXAMPLE", 1, {10, 1, 2, 3}, "Host.EXAMPLE"},
      {"some words here", 1, {0, 0, 0, 0}, "some words here"},
      {"1.2.3.4.5.6 x", 1, {1, 2, 3, 456}, "x"},
      {"4294967296 x", 1, {0, 0, 0, 0}, "x"},  // wraps at 32 bits
      // Half-width katakana are letters of code page 932.
      {"10.0.0.1 \xB1\xB2", 1, {10, 0, 0, 1}, "\xB1\xB2"},
      {std::string("10.0.0.1 a\0b ", 13), 1, {10, 0, 0, 1}, std::string("a\0b", 3)},
  };
  for (const ParseCase& c : cases) {
    const HostsLine line = Parse(c.raw);
    SCOPED_TRACE(testing::PrintToString(c.raw));
    EXPECT_EQ(line.removeFlag, 0);
    EXPECT_EQ(line.activeFlag, c.activeFlag);
    EXPECT_EQ((std::array<int32_t, 4>{line.octets[0], line.octets[1], line.octets[2], line.octets[3]}), c.octets);
    EXPECT_EQ(line.hostName, c.hostName);
    EXPECT_EQ(line.rawLine, c.raw);
  }
}

TEST(ParseLineTest, BlankAndCommentLinesKeepEarlierValues) {
  for (const char* raw : {"", "#", "# comment", "  #  "}) {
    HostsLine line;
    line.activeFlag = 1;
    line.octets[2] = 7;
    line.hostName = "kept";
    line.rawLine = raw;
    CHostsFile::ParseLine(line);
    EXPECT_EQ(line.activeFlag, 1) << raw;
    EXPECT_EQ(line.octets[2], 7) << raw;
    EXPECT_EQ(line.hostName, "kept") << raw;
  }
}

}  // namespace
