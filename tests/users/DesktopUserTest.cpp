// Whose proxy exception list the desktop's run changes.
#include "DesktopUser.h"

#include <string>

#include "ManagedHosts.h"
#include "ProxyListChange.h"
#include "ProxyLists.h"
#include "proxy/RegistryFixture.h"

namespace {

const std::string J(ProxyExceptionsJoined().View());

// The user's ProxyOverride, which the base puts back after each test.
class DesktopUserTest : public RegistryTest {
 protected:
  static void SetOverride(const std::string& text) { SetValue(kProxyKey, kProxyName, Sz(text)); }
  static std::optional<Stored> Override() { return Value(kProxyKey, kProxyName); }
  static void Set() { ProxyListChange::AddProxyExceptionSet(ProxyListInForce()).Write(); }
};

#ifndef _WIN32
// An administrator elevating the tool on a standard user's desktop: the
// list read, written and named is that user's, in their hive. A service
// account with nobody at the desktop (a deployment agent): refused, as its
// own list is read by no user's browser.
TEST_F(DesktopUserTest, TheListIsThatOfTheUserAtTheDesktop) {
  const std::string other = "S-1-5-21-1001";
  const CRegStringValue own(HKEY_CURRENT_USER, PROXY_OVERRIDE_PATH);
  const CRegStringValue others(HKEY_USERS, CString(other + "\\" + PROXY_OVERRIDE_PATH));
  const struct {
    const char* desktop;  // nothing: no shell window
    bool othersHive;      // the list is the other user's
    bool hiveLoaded;
    bool shellTokenOpen = true;           // else the session tells the user
    const char* windows = "C:\\Windows";  // where the session's library is
    const char* process = "S-1-5-21-500";
  } cases[] = {
      {"S-1-5-21-500", false, true},
      {nullptr, false, true},
      {"S-1-5-21-1001", true, true},
      {"S-1-5-21-1001", true, false},
      {"S-1-5-21-1001", true, true, false},
      {"S-1-5-21-500", false, true, false},
      {"S-1-5-21-1001", true, true, false, "D:\\WINNT"},
      {"S-1-5-21-1001", true, true, true, "C:\\Windows", "S-1-5-18"},
      {nullptr, false, true, true, "C:\\Windows", "S-1-5-18"},
      {nullptr, false, true, true, "C:\\Windows", "S-1-5-19"},
      {nullptr, false, true, true, "C:\\Windows", "S-1-5-20"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.process) + " at " + (c.desktop ? c.desktop : "no desktop") +
                 (c.hiveLoaded ? "" : ", hive not loaded") + (c.shellTokenOpen ? "" : ", by the session") + " on " +
                 c.windows);
    fakewin::SetSystem(fakewin::kNtVersion, (std::string(c.windows) + "\\system32").c_str(), c.windows);
    RegDeleteTreeA(HKEY_USERS, other.c_str());
    if (c.hiveLoaded) {
      HKEY key = nullptr;
      RegCreateKeyExA(HKEY_USERS, (other + "\\Software").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr);
      RegCloseKey(key);
    }
    SetOverride("a.test");
    fakewin::SetUsers(c.process, c.desktop, c.shellTokenOpen);
    if (!c.desktop && IsServiceAccount(c.process)) {
      try {
        Set();
        ADD_FAILURE() << "a service account's own list changed";
      } catch (const CRegistryException& error) {
        EXPECT_EQ(error.m_cause, CRegistryException::serviceAccount);
        EXPECT_EQ(error.m_strValueName, "HKEY_USERS\\" + CString(c.process) + "\\" + PROXY_OVERRIDE_PATH);
      }
      EXPECT_EQ(Override(), Sz("a.test"));
      continue;
    }
    const CRegStringValue& target = c.othersHive ? others : own;
    EXPECT_EQ(ProxyOverride().GetName(), target.GetName());
    if (!c.hiveLoaded) {
      EXPECT_THROW(Set(), CRegistryException);
      continue;
    }
    Set();
    CString text;
    target.Read(text);
    EXPECT_EQ(text, CString(J + (c.othersHive ? ";" : ";a.test")));
    EXPECT_EQ(Override(), Sz(c.othersHive ? "a.test" : J + ";a.test")) << "the process's own list";
  }
}

#endif

}  // namespace
