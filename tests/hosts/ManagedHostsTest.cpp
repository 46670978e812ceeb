#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "ManagedHosts.h"

namespace {

std::string Prefix24(const char* address) {
  const std::string text(address);
  return text.substr(0, text.rfind('.'));
}

int LastOctet(const char* address) {
  const std::string text(address);
  return std::stoi(text.substr(text.rfind('.') + 1));
}

TEST(ManagedHostsTest, RowsShareOneNetworkWithRisingAddresses) {
  const int lastOctets[kManagedHostCount] = {50,  55,  61,  76,  77,  78,  79,  101, 102, 103, 104,
                                             105, 106, 109, 113, 114, 115, 117, 131, 141, 142, 143,
                                             197, 200, 201, 204, 205, 206, 211, 212, 213};
  for (int row = 0; row < kManagedHostCount; ++row) {
    EXPECT_EQ(Prefix24(kManagedHosts[row].address), Prefix24(kManagedHosts[0].address)) << row;
    EXPECT_EQ(LastOctet(kManagedHosts[row].address), lastOctets[row]) << row;
  }
}

TEST(ManagedHostsTest, NamesAreLowerCaseStartWithALetterAndHoldNoBlank) {
  for (const ManagedHost& row : kManagedHosts) {
    const std::string name(row.hostName);
    EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(name[0]))) << name;
    EXPECT_TRUE(std::none_of(name.begin(), name.end(), [](unsigned char c) {
      return std::isspace(c) || std::isupper(c);
    })) << name;
  }
}

TEST(ManagedHostsTest, GroupsFollowTheDomains) {
  const std::string primary = std::string(kProxyWildcard).substr(1);  // ".domain"
  const auto endsWith = [](const std::string& text, const std::string& tail) {
    return text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
  };
  for (int row = 0; row < kManagedHostCount; ++row) {
    const std::string name(kManagedHosts[row].hostName);
    const bool internal = row >= 22 && row <= 27;
    EXPECT_EQ(endsWith(name, primary), !internal) << name;
    const int labels = static_cast<int>(std::count(name.begin(), name.end(), '.'));
    const int primaryLabels = static_cast<int>(std::count(primary.begin(), primary.end(), '.'));
    if (!internal) {
      EXPECT_EQ(labels - primaryLabels, row == 16 ? 1 : 0) << name;
    }
  }
}

TEST(ManagedHostsTest, ProxyExceptionsAreTheWildcardThenSixInternalRows) {
  const int rows[] = {23, 24, 25, 26, 27, 22};
  EXPECT_EQ(std::string(kProxyExceptions[0]).rfind("*.", 0), 0u);
  for (int i = 0; i < 6; ++i) EXPECT_STREQ(kProxyExceptions[i + 1], kManagedHosts[rows[i]].hostName);
  const std::string joined(ProxyExceptionsJoined().View());
  EXPECT_EQ(std::count(joined.begin(), joined.end(), ';'), 6);
  std::string expected = kProxyExceptions[0];
  for (int i = 1; i < kProxyExceptionCount; ++i) expected += std::string(";") + kProxyExceptions[i];
  EXPECT_EQ(joined, expected);
}

}  // namespace
