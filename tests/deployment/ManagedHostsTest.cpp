// The shape every deployment's table must keep, whatever its rows: the
// hosts file and proxy rules rely on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "ManagedHosts.h"

namespace {

// The four numbers of a dotted-decimal address; nothing for any other text
// (leading zeros, signs, blanks, a number above 255).
std::optional<std::vector<int>> Octets(const std::string& address) {
  std::vector<int> octets;
  size_t start = 0;
  for (;;) {
    const size_t end = std::min(address.find('.', start), address.size());
    const std::string digits = address.substr(start, end - start);
    const bool number = !digits.empty() && digits.size() <= 3 &&
                        std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }) &&
                        (digits.size() == 1 || digits[0] != '0') && std::stoi(digits) <= 255;
    if (!number) return std::nullopt;
    octets.push_back(std::stoi(digits));
    if (end == address.size()) break;
    start = end + 1;
  }
  if (octets.size() != 4) return std::nullopt;
  return octets;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1)
    parts.push_back(text.substr(start, end - start));
  parts.push_back(text.substr(start));
  return parts;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(ManagedHostsTest, RowsShareOneNetworkWithRisingAddresses) {
  const auto first = Octets(kManagedHosts[0].address);
  ASSERT_TRUE(first) << kManagedHosts[0].address;
  int lastOctet = -1;
  for (const ManagedHost& row : kManagedHosts) {
    const auto octets = Octets(row.address);
    ASSERT_TRUE(octets) << row.address;
    EXPECT_TRUE(std::equal(octets->begin(), octets->begin() + 3, first->begin())) << row.address;
    EXPECT_GT((*octets)[3], lastOctet) << row.address;
    lastOctet = (*octets)[3];
  }
}

TEST(ManagedHostsTest, NamesAreLowerCaseStartWithALetterAndHoldNoBlank) {
  for (const ManagedHost& row : kManagedHosts) {
    const std::string name(row.hostName);
    ASSERT_FALSE(name.empty());
    EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(name[0]))) << name;
    EXPECT_TRUE(std::none_of(name.begin(), name.end(), [](unsigned char c) {
      return std::isspace(c) || std::isupper(c);
    })) << name;
  }
}

TEST(ManagedHostsTest, GroupsFollowTheDomains) {
  const std::string primary = std::string(kProxyWildcard).substr(1);  // ".domain"
  const auto labels = [](const std::string& name) { return std::count(name.begin(), name.end(), '.'); };
  for (int row = 0; row < kManagedHostCount; ++row) {
    const std::string name(kManagedHosts[row].hostName);
    const bool internal = row >= 22 && row <= 27;
    EXPECT_EQ(EndsWith(name, primary), !internal) << name;
    if (!internal) {
      EXPECT_EQ(labels(name) - labels(primary), row == 16 ? 1 : 0) << name;
    }
  }
}

TEST(ManagedHostsTest, ProxyExceptionsAreTheWildcardThenSixInternalRows) {
  EXPECT_EQ(std::string(kProxyExceptions[0]), kProxyWildcard);
  EXPECT_EQ(std::string(kProxyWildcard).rfind("*.", 0), 0u);
  const int rows[] = {23, 24, 25, 26, 27, 22};
  for (int i = 0; i < 6; ++i) EXPECT_STREQ(kProxyExceptions[i + 1], kManagedHosts[rows[i]].hostName);
  const std::string joined(ProxyExceptionsJoined().View());
  EXPECT_EQ(joined.rfind("*.", 0), 0u);
  EXPECT_EQ(std::count(joined.begin(), joined.end(), ';'), 6);
  EXPECT_EQ(Split(joined, ';'), std::vector<std::string>(kProxyExceptions.begin(), kProxyExceptions.end()));
}

}  // namespace
