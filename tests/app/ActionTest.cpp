#include "Settings.h"

#include <optional>
#include <string>

#include "ProxyExceptionList.h"
#include "hosts/HostsFixture.h"
#include "proxy/RegistryValues.h"

namespace {

const std::string kOverridePath = PROXY_OVERRIDE_PATH;
const std::string kKey = kOverridePath.substr(0, kOverridePath.rfind('\\'));
const std::string kName = kOverridePath.substr(kOverridePath.rfind('\\') + 1);

const std::string kOrdinaryHosts =
    "# hosts of this PC\r\n"
    "127.0.0.1       localhost\r\n"
    "::1             localhost\r\n"
    "10.0.0.5\tprinter.test\r\n";
const std::string kUsersList = "*.local.test;10.*;<local>";

// The hosts file and the user's ProxyOverride, saved before each test and put
// back after it; natively in an emptied stand-in registry whose key handles
// must all be closed by the end.
class SettingsTest : public HostsFileTest, protected RegistryValues {
 protected:
  struct State {
    std::string hosts;
    Stored proxy;
  };

  void SetUp() override {
#ifndef _WIN32
    native::ResetRegistry();
    CreateKey(kKey);
#endif
    HostsFileTest::SetUp();
    m_savedProxy = Value(kKey, kName.c_str());
  }

  void TearDown() override {
#ifndef _WIN32
    native::ClearFailure();
    EXPECT_EQ(native::OpenKeyCount(), 0) << "a key handle was left open";
#endif
    SetValue(kKey, kName.c_str(), m_savedProxy);
    HostsFileTest::TearDown();
  }

  static State BeforeSet() { return {kOrdinaryHosts, Sz(kUsersList)}; }
  static State AfterSet() {
    return {kOrdinaryHosts + ManagedLines(), Sz(std::string(ProxyExceptionsJoined().View()) + ";" + kUsersList)};
  }

  void Put(const State& state) {
    WriteHosts(state.hosts);
    SetValue(kKey, kName.c_str(), state.proxy);
  }
  static std::optional<Stored> Proxy() { return Value(kKey, kName.c_str()); }

  std::optional<Stored> m_savedProxy;
};

const struct Action {
  Settings which;
  const char* name;
  bool fromSet;  // starts from the state Set leaves
} kActions[] = {
    {Settings::set, "Set", false},
    {Settings::remove, "Remove settings", true},
};

TEST_F(SettingsTest, SetThenRemoveGivesBackTheHostsFileAndTheProxyList) {
  Put(BeforeSet());
  ApplySettings(Settings::set);
  EXPECT_EQ(Hosts(), AfterSet().hosts);
  EXPECT_EQ(Proxy(), AfterSet().proxy);
  ApplySettings(Settings::remove);
  EXPECT_EQ(Hosts(), BeforeSet().hosts);
  EXPECT_EQ(Proxy(), BeforeSet().proxy);
  EXPECT_TRUE(NewFiles().empty());
}

TEST_F(SettingsTest, AHostsFileHeldByAnotherLeavesBothSettingsAlone) {
  for (const Action& action : kActions) {
    SCOPED_TRACE(action.name);
    const State before = action.fromSet ? AfterSet() : BeforeSet();
    Put(before);
    UniqueFile holder(CreateFileA(m_path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.valid());
    try {
      ApplySettings(action.which);
      ADD_FAILURE() << "no file error";
    } catch (const CFileException& error) {
      EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
      EXPECT_EQ(error.m_strFileName, m_path);
    }
    holder.reset();
    EXPECT_EQ(Hosts(), before.hosts);
    EXPECT_EQ(Proxy(), before.proxy);
    EXPECT_TRUE(NewFiles().empty());
  }
}

#ifndef _WIN32
// Every file and registry call of an action, failing in turn with an error a
// real machine gives: each setting ends wholly old or wholly new, and the
// action raises exactly when the hosts file kept its old bytes.
TEST_F(SettingsTest, AFailureAtAnyCallLeavesEachSettingOldOrNew) {
  const DWORD errors[] = {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_DISK_FULL};
  for (const Action& action : kActions) {
    const State before = action.fromSet ? AfterSet() : BeforeSet();
    const State after = action.fromSet ? BeforeSet() : AfterSet();
    for (const DWORD error : errors) {
      int hostsKept = 0;
      int proxyKept = 0;
      for (int nth = 1;; ++nth) {
        SCOPED_TRACE(std::string(action.name) + ", error " + std::to_string(error) + " at call " + std::to_string(nth));
        Put(before);
        native::InjectFailure(nullptr, nth, error);
        bool raised = false;
        try {
          ApplySettings(action.which);
        } catch (const CFileException& thrown) {
          raised = true;
          EXPECT_EQ(thrown.m_strFileName, m_path);
        }
        const bool failed = native::CountedCalls() >= nth;
        native::ClearFailure();
        const std::string hosts = Hosts();
        const std::optional<Stored> proxy = Proxy();
        EXPECT_TRUE(hosts == before.hosts || hosts == after.hosts) << hosts;
        EXPECT_EQ(raised, hosts == before.hosts);
        EXPECT_TRUE(NewFiles().empty());
        EXPECT_TRUE(proxy == before.proxy || proxy == after.proxy) << ::testing::PrintToString(proxy);
        EXPECT_EQ(native::OpenKeyCount(), 0);
        hostsKept += hosts == before.hosts;
        proxyKept += proxy == before.proxy;
        if (!failed) {
          EXPECT_EQ(hosts, after.hosts);
          EXPECT_EQ(proxy, after.proxy);
          break;
        }
      }
      // Both kinds of call were among those failed.
      EXPECT_GT(hostsKept, 0) << action.name << ", error " << error;
      EXPECT_GT(proxyKept, 0) << action.name << ", error " << error;
    }
  }
}
#endif

}  // namespace
