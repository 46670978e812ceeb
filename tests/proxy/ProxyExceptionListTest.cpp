#include "ProxyExceptionList.h"
#include "ProxyListChange.h"

#include <vector>

#include "AsciiCase.h"
#include "DesktopUser.h"
#include "ManagedHosts.h"
#include "ProxyLists.h"
#include "RegistryFixture.h"

namespace {

using Current = std::optional<std::string>;  // nothing: the value is missing

const std::string J(ProxyExceptionsJoined().View());
const std::string W = kProxyWildcard;
const std::string H = kProxyExceptions[3];

// A list of exactly `length` bytes, of entries that are none of the set's.
std::string LongList(size_t length) {
  std::string list;
  for (int i = 0; list.size() < length; ++i) {
    list += 'h';
    list += std::to_string(i);
    list += ".test;";
  }
  list.resize(length);
  if (list.back() == ';') list.back() = 'x';
  return list;
}

// The user's ProxyOverride, which the base puts back after each test.
class ProxyOverrideTest : public RegistryTest {
 protected:
  static void SetOverride(const Current& text) {
    SetValue(kProxyKey, kProxyName, text ? std::optional<Stored>(Sz(*text)) : std::nullopt);
  }
  static std::optional<Stored> Override() { return Value(kProxyKey, kProxyName); }

  static void Set() { ProxyListChange::AddProxyExceptionSet(ProxyListInForce()).Write(); }
  static void Remove() { ProxyListChange::RemoveProxyExceptionSet(ProxyListInForce()).Write(); }

  static std::vector<std::string> Entries(const Current& text) {
    SetOverride(text);
    ProxyExceptionList list;
    list.Load(ProxyOverride());
    std::vector<std::string> entries;
    for (int i = 0; i < list.GetEntryCount(); ++i) entries.emplace_back(list.GetEntry(i).View());
    return entries;
  }
};

TEST_F(ProxyOverrideTest, LoadSplitsTheTrimmedValueAtEverySeparator) {
  const struct {
    Current value;
    std::vector<std::string> entries;
  } cases[] = {
      {std::nullopt, {""}},
      {"", {""}},
      {"--NULLSTRING--", {""}},
      {"a.test", {"a.test"}},
      {"a.test;;b.test;", {"a.test", "", "b.test", ""}},
      {" \ta.test;b.test \r\n", {"a.test", "b.test"}},
      {"a.test; b.test", {"a.test", " b.test"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Entries(c.value), c.entries) << c.value.value_or("(missing)");
}

TEST_F(ProxyOverrideTest, WildcardIsFoundAsAWholeEntryInAnyCase) {
  const struct {
    Current value;
    BOOL contains;
  } cases[] = {
      {J + ";a.test", TRUE},
      {"a.test;" + Mixed(W) + ";b.test", TRUE},
      {Upper(W), TRUE},
      {LongList(300) + ";" + W, TRUE},
      {std::nullopt, FALSE},
      {"", FALSE},
      {J.substr(W.size() + 1), FALSE},  // the set's host names alone
      {"a.test; " + W, FALSE},
      {"x" + W, FALSE},
  };
  for (const auto& c : cases) {
    SetOverride(c.value);
    ProxyExceptionList list;
    list.Load(ProxyOverride());
    EXPECT_EQ(list.ContainsWildcard(), c.contains) << c.value.value_or("(missing)");
  }
}

TEST_F(ProxyOverrideTest, SetPutsTheSetInFrontUnlessTheWildcardIsThere) {
  const struct {
    Current value;
    std::string written;
  } cases[] = {
      {std::nullopt, J + ";"},
      {"", J + ";"},
      {" \t\r\n", J + ";"},
      {"--NULLSTRING--", J + ";"},
      {"a.test", J + ";a.test"},
      {" a.test;b.test ", J + ";a.test;b.test"},
      {"a.test;;b.test;", J + ";a.test;;b.test;"},
      {"a.test; " + W, J + ";a.test; " + W},
      {H, J + ";" + H},
      {W, W},
      {"a.test;" + Upper(W) + ";b.test", "a.test;" + Upper(W) + ";b.test"},
      {"a.test;" + Mixed(W), "a.test;" + Mixed(W)},
      {LongList(10000) + ";" + W, LongList(10000) + ";" + W},
  };
  for (const auto& c : cases) {
    SetOverride(c.value);
    Set();
    EXPECT_EQ(Override(), Sz(c.written)) << c.value.value_or("(missing)");
  }
}

TEST_F(ProxyOverrideTest, RemoveWritesBackEveryOtherEntry) {
  const std::string none = "--NULLSTRING--";
  const struct {
    Current value;
    std::string written;
  } cases[] = {
      {J + ";a.test", "a.test"},
      {J + ";", none},
      {std::nullopt, none},
      {"", none},
      {J, none},
      {H, none},
      {"a.test;" + J, "a.test"},
      {"a.test;" + Upper(J), "a.test"},
      {"a.test;" + W + ";b.test", "a.test;b.test"},
      {"a.test;" + W, "a.test"},
      {Upper(W) + ";a.test", "a.test"},
      {W + ";" + W + ";a.test", "a.test"},
      {"a.test; " + W, "a.test; " + W},
      {" a.test;b.test ", "a.test;b.test"},
      {"a.test;;b.test", "a.test;;b.test"},
      {LongList(10000) + ";" + W + ";" + LongList(300), LongList(10000) + ";" + LongList(300)},
  };
  for (const auto& c : cases) {
    SetOverride(c.value);
    Remove();
    EXPECT_EQ(Override(), Sz(c.written)) << c.value.value_or("(missing)");
  }
}

TEST_F(ProxyOverrideTest, SetThenRemoveKeepsTheUsersListWhole) {
  for (const Current& value :
       {Current(), Current("a.test"), Current(LongList(256)), Current(LongList(257)), Current(LongList(10000))}) {
    SetOverride(value);
    const std::string list = value.value_or("");
    Set();
    EXPECT_EQ(Override(), Sz(J + ";" + list)) << list.size();
    Set();
    EXPECT_EQ(Override(), Sz(J + ";" + list)) << "second Set, " << list.size();
    Remove();
    EXPECT_EQ(Override(), Sz(value ? list : "--NULLSTRING--")) << list.size();
  }
}

#ifndef _WIN32
// Writing back a list that was never read would drop the user's entries.
TEST_F(ProxyOverrideTest, AValueThatCannotBeReadIsRaisedAndLeftAlone) {
  const struct {
    const char* function;
    int nth;
  } failures[] = {
      {"RegOpenKeyExA", 1},    {"RegCreateKeyExA", 1},  {"RegCreateKeyExA", 4},
      {"RegQueryValueExW", 1}, {"RegQueryValueExW", 2},
  };
  const std::string list = LongList(300);  // read in a second query
  for (const auto& failure : failures) {
    SCOPED_TRACE(std::string(failure.function) + " " + std::to_string(failure.nth));
    for (const Current& value : {Current(list), Current(J + ";" + list)}) {
      SetOverride(value);
      fakewin::InjectFailure(failure.function, failure.nth, ERROR_ACCESS_DENIED);
      EXPECT_THROW(ProxyExceptionList().Load(ProxyOverride()), CRegistryException);
      fakewin::InjectFailure(failure.function, failure.nth, ERROR_ACCESS_DENIED);
      EXPECT_THROW(Set(), CRegistryException);
      fakewin::InjectFailure(failure.function, failure.nth, ERROR_ACCESS_DENIED);
      EXPECT_THROW(Remove(), CRegistryException);
      fakewin::ClearFailure();
      EXPECT_EQ(Override(), Sz(*value));
    }
  }
}

// Running programs are told once the value has changed, and only then.
TEST_F(ProxyOverrideTest, RunningProgramsAreToldOfEveryChange) {
  const std::vector<DWORD> told = {95, 39, 37};  // proxy settings changed, settings changed, then refresh
  SetOverride("a.test");
  fakewin::TakeInternetOptions();
  const ProxyListChange set = ProxyListChange::AddProxyExceptionSet(ProxyListInForce());
  EXPECT_TRUE(fakewin::TakeInternetOptions().empty()) << "told before the write";
  set.Write();
  EXPECT_EQ(fakewin::TakeInternetOptions(), told);
  EXPECT_EQ(PutBackValues(ProxyListInForce(), set.WrittenValues()).front().state, ValuePutBack::done);
  EXPECT_EQ(fakewin::TakeInternetOptions(), told);
  SetOverride(W);
  Set();  // the wildcard is there: nothing written
  EXPECT_TRUE(fakewin::TakeInternetOptions().empty());
  SetOverride("a.test");
  fakewin::InjectFailure("RegSetValueExA", 1, ERROR_ACCESS_DENIED);
  EXPECT_THROW(Set(), CRegistryException);
  EXPECT_TRUE(fakewin::TakeInternetOptions(false).empty()) << "told of a refused write";
  Set();  // without the library: written all the same
  EXPECT_EQ(Override(), Sz(J + ";a.test"));
  EXPECT_TRUE(fakewin::TakeInternetOptions(true).empty());
}
#endif

// A change made and taken back leaves the value as it was held.
TEST_F(ProxyOverrideTest, UndoPutsTheValueBack) {
  for (const Current& value : {Current(), Current("a.test"), Current(J + ";a.test")}) {
    SetOverride(value);
    const std::optional<Stored> before = Value(kProxyKey, kProxyName, true);
    for (const auto& change : {ProxyListChange::AddProxyExceptionSet(ProxyListInForce()),
                               ProxyListChange::RemoveProxyExceptionSet(ProxyListInForce())}) {
      change.Write();
      for (const ValuePutBack& value : PutBackValues(ProxyListInForce(), change.WrittenValues()))
        EXPECT_EQ(value.state, ValuePutBack::done);
      EXPECT_EQ(Value(kProxyKey, kProxyName, true), before) << value.value_or("(missing)");
    }
  }
}

}  // namespace
