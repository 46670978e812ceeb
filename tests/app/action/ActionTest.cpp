#include "Action.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "AsciiCase.h"
#include "BusyException.h"
#include "ConnectionBytes.h"
#include "ProxyExceptionList.h"
#include "ProxyPolicy.h"
#include "TempFolder.h"
#include "ToolFolder.h"
#include "hosts/HostsFixture.h"

namespace {

const CString kValueName = CString("HKEY_CURRENT_USER\\") + PROXY_OVERRIDE_PATH;
const std::string kConnectionsKey = std::string(INTERNET_SETTINGS_PATH) + "\\Connections";
const CString kLanName = CString("HKEY_CURRENT_USER\\") + kConnectionsKey.c_str() + "\\DefaultConnectionSettings";
const CString kSavedName = CString("HKEY_CURRENT_USER\\") + kConnectionsKey.c_str() + "\\SavedLegacySettings";
const CString kPolicyName = CString("HKEY_LOCAL_MACHINE\\") + PROXY_POLICY_PATH + "\\ProxySettingsPerUser";

const std::string kOrdinaryHosts =
    "# hosts of this PC\r\n"
    "127.0.0.1       localhost\r\n"
    "::1             localhost\r\n"
    "10.0.0.5\tprinter.test\r\n";
const std::string kUsersList = "*.local.test;10.*;<local>";
const std::string kJoined(ProxyExceptionsJoined().View());

// Both settings: the hosts file's bytes (nothing: no file), and ProxyOverride
// and the two per-connection values exactly as held (nothing: no value).
struct State {
  std::optional<std::string> hosts;
  std::optional<RegistryValues::Stored> proxy;
  std::optional<RegistryValues::Stored> lan = std::nullopt;
  std::optional<RegistryValues::Stored> saved = std::nullopt;
  bool operator==(const State&) const = default;
  friend void PrintTo(const State& state, std::ostream* out) {
    *out << (state.hosts ? std::to_string(state.hosts->size()) + " bytes of hosts" : "no hosts") << ", proxy "
         << ::testing::PrintToString(state.proxy) << ", connections " << ::testing::PrintToString(state.lan) << " "
         << ::testing::PrintToString(state.saved);
  }
};

struct Case {
  const char* name;
  Action action;
  State before;
  State after;
  Scope scope = Scope::both;
  bool offered = true;  // the dialog offers the action in the state before
};

// The user's hosts file and ProxyOverride, both put back after each test.
class ActionTest : public HostsFileTest {
 protected:
  // A state from texts: the proxy list held as the registry holds text.
  static State Settings(std::optional<std::string> hosts, const std::optional<std::string>& proxy) {
    return {std::move(hosts), proxy ? std::optional<Stored>(WideSz(Wide(proxy->c_str()))) : std::nullopt};
  }
  // The same, as Internet Options leaves it: the per-connection values hold
  // `bypass`, their counters at `counter`.
  static State AsWindowsLeavesIt(State state, const std::string& bypass, uint32_t counter) {
    ConnectionBytes value;
    value.bypass = bypass;
    value.counter = counter;
    state.lan = Stored{REG_BINARY, value.Bytes()};
    value.counter += 7;
    state.saved = Stored{REG_BINARY, value.Bytes()};
    return state;
  }

  // Where each action starts, and what it leaves when it is carried out.
  static std::vector<Case> Cases() {
    const std::string managed = ManagedLines();
    const State ordinary = Settings(kOrdinaryHosts, kUsersList);
    const State set = Settings(kOrdinaryHosts + managed, kJoined + ";" + kUsersList);
    // Three managed lines deleted by hand, the wildcard still in the list:
    // Set puts them back at the end.
    std::string gaps = managed;
    std::string putBack;
    for (const int row : {0, 16, 30}) {
      gaps.erase(gaps.find(ManagedLine(row)), ManagedLine(row).size());
      putBack += ManagedLine(row);
    }
    const State windows = AsWindowsLeavesIt(ordinary, kUsersList, 5);
    const State windowsSet = AsWindowsLeavesIt(set, kJoined + ";" + kUsersList, 6);
    // Text holding the exceptions and a per-connection value lacking them:
    // the browsers go through the proxy. Set mends it.
    State unmended = set;
    unmended.lan = AsWindowsLeavesIt(set, kUsersList, 5).lan;
    State mended = set;
    mended.lan = windowsSet.lan;
    return {
        {"Set", Action::set, ordinary, set},
        {"Remove settings", Action::remove, set, ordinary},
        {"Set on a new machine", Action::set, Settings(std::nullopt, std::nullopt), Settings(managed, kJoined + ";")},
        {"Set again", Action::set, set, set, Scope::both, false},
        {"Set with three hosts missing", Action::set, Settings(kOrdinaryHosts + gaps, kJoined + ";"),
         Settings(kOrdinaryHosts + gaps + putBack, kJoined + ";"), Scope::both, false},
        {"Set, hosts file alone", Action::set, ordinary, Settings(kOrdinaryHosts + managed, kUsersList),
         Scope::machine},
        {"Set, proxy list alone", Action::set, ordinary, Settings(kOrdinaryHosts, kJoined + ";" + kUsersList),
         Scope::user},
        {"Remove settings, hosts file alone", Action::remove, set, Settings(kOrdinaryHosts, kJoined + ";" + kUsersList),
         Scope::machine, false},
        {"Set as Windows leaves it", Action::set, windows, windowsSet},
        {"Remove settings as Windows leaves it", Action::remove, windowsSet,
         AsWindowsLeavesIt(ordinary, kUsersList, 7)},
        {"Set, a per-connection value lacking them", Action::set, unmended, mended, Scope::both, false},
    };
  }

  void Put(const State& state) {
    if (state.hosts)
      WriteHosts(*state.hosts);
    else
      RemoveHosts();
    SetValue(kProxyKey, kProxyName, state.proxy, true);
    SetValue(kConnectionsKey, "DefaultConnectionSettings", state.lan);
    SetValue(kConnectionsKey, "SavedLegacySettings", state.saved);
  }
  State Now() const {
    return {HostsIfAny(), Value(kProxyKey, kProxyName, true), Value(kConnectionsKey, "DefaultConnectionSettings"),
            Value(kConnectionsKey, "SavedLegacySettings")};
  }
};

// Runs the case's action; true when it told of a failure. A failure names
// the hosts file or the registry value (or the policy that says which value
// is in force), and no setting is then said to have changed, unless it could
// not be put back.
bool FailureTold(const Case& c, const CString& hostsPath) {
  Outcomes outcomes;
  try {
    CarryOut({c.action, c.scope}, &outcomes);
    return false;
  } catch (const CFileException& error) {
    EXPECT_EQ(error.m_strFileName, hostsPath);
  } catch (const CRegistryException& error) {
    if (error.m_strValueName != kPolicyName) {
      EXPECT_TRUE(error.m_strValueName == kValueName || error.m_strValueName == kLanName ||
                  error.m_strValueName == kSavedName)
          << error.m_strValueName;
    }
  }
  for (const Outcome& outcome : outcomes) EXPECT_NE(outcome.state, Outcome::changed) << outcome.target;
  return true;
}

TEST_F(ActionTest, EachActionCarriesItsSettingsThroughAndTellsWhichChanged) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    Put(c.before);
    if (c.offered) {
      EXPECT_EQ(OfferedAction(), c.action);
    }
    Outcomes outcomes;
    CarryOut({c.action, c.scope}, &outcomes);
    EXPECT_EQ(Now(), c.after);
    EXPECT_TRUE(NewFiles().empty());
    std::vector<std::pair<CString, Outcome::State>> told;
    for (const Outcome& outcome : outcomes) told.emplace_back(outcome.target, outcome.state);
    const auto changed = [](bool differ) { return differ ? Outcome::changed : Outcome::unchanged; };
    std::vector<std::pair<CString, Outcome::State>> expected;
    if (c.scope != Scope::user) expected.emplace_back(m_path, changed(c.before.hosts != c.after.hosts));
    if (c.scope != Scope::machine) {
      expected.emplace_back(kValueName, changed(c.before.proxy != c.after.proxy));
      if (c.before.lan) expected.emplace_back(kLanName, changed(c.before.lan != c.after.lan));
      if (c.before.saved) expected.emplace_back(kSavedName, changed(c.before.saved != c.after.saved));
    }
    EXPECT_EQ(told, expected);
  }
}

TEST_F(ActionTest, TheActionOfferedFollowsTheWildcardAlone) {
  const struct {
    std::optional<std::string> proxy;
    Action offered;
  } cases[] = {
      {std::nullopt, Action::set},
      {"", Action::set},
      {kUsersList, Action::set},
      {kJoined.substr(kJoined.find(';') + 1), Action::set},  // the host names without the wildcard
      {"a.test;" + Mixed(kProxyWildcard), Action::remove},
      {kJoined + ";", Action::remove},
  };
  for (const auto& c : cases) {
    Put(Settings(std::nullopt, c.proxy));
    EXPECT_EQ(OfferedAction(), c.offered) << c.proxy.value_or("(missing)");
  }
}

// Values another program stored that Set would turn into text, and
// per-connection values of a form Set might garble: told, and neither
// setting changed. The dialog offers by the text value alone.
TEST_F(ActionTest, AProxyListThatIsNoTextOfTheCodePageIsToldAndChangesNothing) {
  ConnectionBytes unknown;
  unknown.version = 0x99;
  const std::string known = ConnectionBytes().Bytes();
  const struct {
    Stored value;
    CRegistryException::Cause told;
    bool connection = false;  // the value is DefaultConnectionSettings; ProxyOverride is text
  } values[] = {
      {{REG_MULTI_SZ,
        WideSz(Wide("a.ex")).bytes + WideSz(Wide("b.ex")).bytes + WideSz(Wide("<local>")).bytes + std::string(2, '\0')},
       CRegistryException::notText},
      {{REG_DWORD, std::string("\1\0\0\0", 4)}, CRegistryException::notText},
      {{REG_BINARY, "a.test"}, CRegistryException::notText},
      {WideSz({'b', 0xFC, 'c', 'h', 'e', 'r', '.', 'e', 'x', ';', 0xD55C, 0xAD6D, '.', 'e', 'x', ';', '<', 'l', '>'}),
       CRegistryException::notInCodePage},
      {{REG_BINARY, unknown.Bytes()}, CRegistryException::unknownForm, true},
      {{REG_BINARY, known.substr(0, known.size() - ConnectionBytes().rest.size() - 1)},
       CRegistryException::unknownForm,
       true},
      {WideSz(Wide("a.test")), CRegistryException::unknownForm, true},
  };
  for (const auto& [value, told, connection] : values) {
    for (const Action action : {Action::set, Action::remove}) {
      State before{kOrdinaryHosts, value};
      if (connection) before = {kOrdinaryHosts, Settings({}, kUsersList).proxy, value};
      Put(before);
      try {
        CarryOut(action);
        ADD_FAILURE() << "no registry error for type " << value.type;
      } catch (const CRegistryException& error) {
        EXPECT_EQ(error.m_cause, told);
        EXPECT_EQ(error.m_strValueName, connection ? kLanName : kValueName);
      }
      if (connection)
        EXPECT_EQ(OfferedAction(), Action::set);
      else
        EXPECT_THROW(OfferedAction(), CRegistryException);
      EXPECT_EQ(Now(), before);
    }
  }
}

// Another program holding the hosts file: without sharing, nothing can be
// read; sharing reading and writing but not deletion, the file is read and
// the new one written beside it, but it cannot be replaced, and the proxy
// list, written by then, is put back.
TEST_F(ActionTest, AHostsFileHeldByAnotherChangesNeitherSetting) {
  for (const DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
    for (const Case& c : Cases()) {
      if (!c.before.hosts || c.before.hosts == c.after.hosts) continue;
      SCOPED_TRACE(std::string(c.name) + ", sharing " + std::to_string(share));
      Put(c.before);
      UniqueFile holder(
          CreateFileA(m_path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      ASSERT_TRUE(holder.valid());
      EXPECT_TRUE(FailureTold(c, m_path));
      holder.reset();
      EXPECT_EQ(Now(), c.before);
      EXPECT_TRUE(NewFiles().empty());
    }
  }
}

// What the check finds, by the rules Set decides by; it changes nothing, and
// a hosts file it refuses cannot be told.
TEST_F(ActionTest, TheCheckNamesWhatSetWouldAdd) {
  const std::string managed = ManagedLines();
  std::vector<CString> allHosts;
  for (const ManagedHost& row : kManagedHosts) allHosts.emplace_back(row.hostName);
  std::vector<CString> allExceptions(kProxyExceptions.begin(), kProxyExceptions.end());
  State textAlone = Settings(kOrdinaryHosts + managed, kJoined + ";" + kUsersList);
  textAlone.lan = Stored{REG_BINARY, ConnectionBytes::With(kUsersList).Bytes()};
  const struct {
    const char* name;
    State state;
    std::vector<CString> hostsLack;
    std::vector<CString> proxyLacks;
    std::optional<std::vector<CString>> lanLacks = std::nullopt;  // nothing: no such value
  } cases[] = {
      {"nothing set", Settings(kOrdinaryHosts, kUsersList), allHosts, allExceptions},
      {"no hosts file, no list", Settings(std::nullopt, std::nullopt), allHosts, allExceptions},
      {"all set", Settings(kOrdinaryHosts + managed, kJoined + ";"), {}, {}},
      {"a line commented out, the wildcard in capitals",
       Settings("#" + managed, Upper(kProxyWildcard) + ";" + kUsersList),
       {},
       {}},
      {"two lines gone, the host names without the wildcard",
       Settings(managed.substr(ManagedLine(0).size() + ManagedLine(1).size()), kJoined.substr(kJoined.find(';') + 1)),
       {kManagedHosts[0].hostName, kManagedHosts[1].hostName},
       {kProxyWildcard}},
      {"the text in place, the per-connection value not", textAlone, {}, {}, allExceptions},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Put(c.state);
    const std::vector<Shortfall> found = ::Check(Scope::both);
    ASSERT_EQ(found.size(), c.lanLacks ? 3u : 2u);
    EXPECT_EQ(found[0].target, m_path);
    EXPECT_EQ(found[0].missing, c.hostsLack);
    EXPECT_EQ(found[1].target, kValueName);
    EXPECT_EQ(found[1].missing, c.proxyLacks);
    if (c.lanLacks) {
      EXPECT_EQ(found[2].target, kLanName);
      EXPECT_EQ(found[2].missing, *c.lanLacks);
    }
    EXPECT_EQ(Now(), c.state);
    EXPECT_EQ(::Check(Scope::machine).size(), 1u);
  }
  Put(Settings(std::string("\xFF\xFE#\0 \0h\0o\0s\0t\0s\0", 16), kUsersList));
  EXPECT_THROW(::Check(Scope::both), CFileException);
  EXPECT_EQ(::Check(Scope::user).size(), 1u) << "the proxy list alone can still be told";
}

#ifndef _WIN32
// Another run holding the settings: a short wait, then busy, nothing
// changed; one that ended without letting go leaves the lock to this run.
// What an ordinary user made under the name of the versions before blocks
// nothing; the tool's folder holds a lock file only where the system has no
// private namespaces, and only when no user can steer the folder.
TEST_F(ActionTest, TheLockIsOneNoOrdinaryUserCanTakeHoldOrBlock) {
  constexpr const char* kOldName = "Global\\OrvaneSetup.Settings";
  constexpr const char* kPupils = "O:S-1-5-21-7-1001D:(A;;FA;;;WD)";
  const TempFolder data;
  fakewin::UseCommonAppDataFolder(data.Path());
  const CString toolLock = data.Path() + "\\Orvane\\OrvaneSetup.lock";
  const CString hostsFolder = m_path.Left(m_path.ReverseFindOneOf("\\"));
  const CString hostsLock = hostsFolder + "\\OrvaneSetup.lock";
  enum Other { nobody, holds, left };  // the lock file: another run holds it, an earlier version left it
  const struct {
    const char* what;
    bool namespaces;
    const char* held;     // the mutex another holds; null: every one
    DWORD result;         // of waiting for it
    Other other;          // of the lock file
    bool inHostsFolder;   // that lock file is the hosts file's folder's, not the tool's
    const char* pupils;   // the tool's folder's security, a pupil's
    const char* hostsBy;  // the hosts file's folder's security
    bool done;
  } rows[] = {
      {"another run", true, nullptr, WAIT_TIMEOUT, nobody, false, nullptr, nullptr, false},
      {"a run that ended holding it", true, nullptr, WAIT_ABANDONED, nobody, false, nullptr, nullptr, true},
      {"a squatter on the old name", true, kOldName, WAIT_TIMEOUT, nobody, false, nullptr, nullptr, true},
      {"a squatter, no namespaces", false, kOldName, WAIT_TIMEOUT, nobody, false, nullptr, nullptr, true},
      {"another run, no namespaces", false, nullptr, WAIT_OBJECT_0, holds, false, nullptr, nullptr, false},
      {"a lock file left, no namespaces", false, nullptr, WAIT_OBJECT_0, left, false, nullptr, nullptr, true},
      {"a pupil's folder and a squatter, no namespaces", false, kOldName, WAIT_TIMEOUT, nobody, false, kPupils, nullptr,
       true},
      {"a pupil's folder, another run", false, nullptr, WAIT_OBJECT_0, holds, true, kPupils, nullptr, false},
      {"a pupil's folder and hosts folder", false, nullptr, WAIT_OBJECT_0, nobody, false, kPupils, kPupils, false},
  };
  const Case c = Cases()[0];
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Put(c.before);
    fakewin::UsePrivateNamespaces(row.namespaces);
    fakewin::HoldMutexes(row.result, row.held);
    if (row.pupils) {
      std::filesystem::create_directory(data.Local() / "Orvane");
      fakewin::SetFileSecurity(data.Path() + "\\Orvane", row.pupils);
    }
    if (row.hostsBy) fakewin::SetFileSecurity(hostsFolder, row.hostsBy);
    const CString& lockFile = row.inHostsFolder ? hostsLock : toolLock;
    UniqueFile other;
    if (row.other != nobody) {
      const ToolFolder made(true);
      other.reset(CreateFileA(lockFile, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
      if (row.other == left) other.reset();
    }
    if (row.done)
      CarryOut(c.action);
    else
      EXPECT_THROW(CarryOut(c.action), CBusyException);
    EXPECT_EQ(Now(), row.done ? c.after : c.before);
    // Deleted with its handle: only another run's is there.
    EXPECT_EQ(std::filesystem::exists(testfiles::Local(toolLock)), row.other == holds && !row.inHostsFolder);
    EXPECT_EQ(std::filesystem::exists(testfiles::Local(hostsLock)), row.other == holds && row.inHostsFolder);
    EXPECT_EQ(fakewin::OwnedMutexCount(), 0);
    other.reset();
    fakewin::HoldMutexes(WAIT_OBJECT_0);
    if (row.hostsBy) fakewin::SetFileSecurity(hostsFolder, "O:SYD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;BU)");
    std::filesystem::remove(testfiles::Local(hostsLock));
    std::filesystem::remove_all(data.Local() / "Orvane");
  }
}

TEST_F(ActionTest, AProxyListThatCannotBePutBackIsToldWithTheHostsFile) {
  const Case c = Cases()[0];
  Put(c.before);
  UniqueFile holder(CreateFileA(m_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  fakewin::InjectFailure("RegSetValueExW", 1, ERROR_ACCESS_DENIED);
  try {
    CarryOut(c.action);
    ADD_FAILURE() << "no registry error";
  } catch (const CRegistryException& error) {
    EXPECT_EQ(error.m_cause, CRegistryException::restoreFailed);
    EXPECT_EQ(error.m_strFileName, m_path);
    EXPECT_EQ(error.m_strValueName, kValueName);
  }
  holder.reset();
  EXPECT_EQ(Now(), (State{c.before.hosts, c.after.proxy}));
  EXPECT_TRUE(NewFiles().empty());
}

// A list the user may read but not change: told at opening, and by each
// action that would write it before anything is written; the check still
// tells, and an action that leaves the list as it is goes through.
TEST_F(ActionTest, AListThatMayOnlyBeReadIsToldAsSuchAndChangesNothing) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    Put(c.before);
    fakewin::DenyChanges(HKEY_CURRENT_USER, kProxyKey.c_str());
    const bool writesList =
        c.scope != Scope::machine && (c.action == Action::remove || c.before.proxy != c.after.proxy);
    const size_t values = 1u + (c.before.lan ? 1u : 0u) + (c.before.saved ? 1u : 0u);
    EXPECT_EQ(::Check(c.scope).size(), c.scope == Scope::machine ? 1u : values + (c.scope == Scope::both ? 1u : 0u));
    try {
      OfferedAction();
      ADD_FAILURE() << "an action offered";
    } catch (const CRegistryException& error) {
      EXPECT_EQ(error.m_cause, CRegistryException::changeDenied);
      EXPECT_EQ(error.m_strValueName, kValueName);
    }
    try {
      CarryOut({c.action, c.scope});
      EXPECT_FALSE(writesList);
    } catch (const CRegistryException& error) {
      EXPECT_TRUE(writesList);
      EXPECT_EQ(error.m_cause, CRegistryException::changeDenied);
    }
    EXPECT_EQ(Now(), writesList ? c.before : c.after);
    fakewin::DenyChanges(HKEY_CURRENT_USER, kProxyKey.c_str(), false);
  }
}

// Another program changing the list while the hosts file is replaced, and
// the replace then failing: the undo puts back only a list that still holds
// this run's text, and tells of one it left as the other made it.
TEST_F(ActionTest, AnUndoLeavesAListAnotherChangedMeanwhileAndSaysSo) {
  const std::string managed = ManagedLines();
  // Nothing left of the list: written as the empty list's mark.
  const Case emptied{"Remove settings, nothing left", Action::remove, Settings(kOrdinaryHosts + managed, kJoined + ";"),
                     Settings(kOrdinaryHosts, "--NULLSTRING--")};
  for (const Case& c : {Cases()[0], Cases()[1], emptied}) {
    const struct {
      const char* name;
      bool acts;
      std::optional<Stored> writes;  // nothing: deletes the value
      bool left;
    } others[] = {
        {"nobody", false, std::nullopt, false},
        {"another text", true, WideSz(Wide("other.test")), true},
        {"the value deleted", true, std::nullopt, true},
        {"this run's text, expandable", true, Stored{REG_EXPAND_SZ, c.after.proxy->bytes}, true},
        {"this run's text again", true, c.after.proxy, false},
    };
    for (const auto& other : others) {
      SCOPED_TRACE(std::string(c.name) + ", " + other.name);
      Put(c.before);
      if (other.acts) fakewin::OnCall("ReplaceFileA", [&] { SetValue(kProxyKey, kProxyName, other.writes, true); });
      fakewin::InjectFailure("ReplaceFileA", 1, ERROR_WRITE_FAULT);
      Outcomes outcomes;
      try {
        CarryOut({c.action, Scope::both}, &outcomes);
        ADD_FAILURE() << "the failed replace was not told";
      } catch (const CFileException& error) {
        EXPECT_FALSE(other.left);
        EXPECT_EQ(error.m_cause, CFileException::hardIO);
      } catch (const CRegistryException& error) {
        EXPECT_TRUE(other.left);
        EXPECT_EQ(error.m_cause, CRegistryException::changedByAnother);
        EXPECT_EQ(error.m_strFileName, m_path);
        EXPECT_EQ(error.m_strValueName, kValueName);
      }
      fakewin::ClearFailure();
      EXPECT_EQ(Now(), (State{c.before.hosts, other.left ? other.writes : c.before.proxy}));
      ASSERT_EQ(outcomes.size(), 2u);
      EXPECT_EQ(outcomes[0].state, Outcome::failed);
      EXPECT_EQ(outcomes[1].state, other.left ? Outcome::notPutBack : Outcome::putBack);
      EXPECT_TRUE(NewFiles().empty());
    }
  }
}

// A program holding the hosts file, and letting go at the pause it is told
// (0: never).
UniqueFile g_hostsHolder;
int g_pauses = 0;
int g_lettingGoAt = 0;
void WINAPI LetGoAtItsPause(DWORD) {
  if (++g_pauses == g_lettingGoAt) g_hostsHolder.reset();
}

// With nobody there to try again, a hosts file another program holds is
// waited for, everything put back between the tries: done once it lets go,
// busy, nothing changed, when it holds on.
TEST_F(ActionTest, AHostsFileHeldForAWhileIsWaitedOutWhenNobodyIsThere) {
  const std::vector<Case> cases = Cases();
  const Case c = *std::find_if(cases.begin(), cases.end(),
                               [](const Case& each) { return std::string(each.name) == "Set as Windows leaves it"; });
  for (const DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
    for (const int lettingGoAt : {3, 0}) {
      SCOPED_TRACE("sharing " + std::to_string(share) + ", letting go at pause " + std::to_string(lettingGoAt));
      Put(c.before);
      g_hostsHolder.reset(CreateFileA(m_path, GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
      g_pauses = 0;
      g_lettingGoAt = lettingGoAt;
      Request request(c.action);
      request.patience = {0, 10000, LetGoAtItsPause};
      if (lettingGoAt)
        CarryOut(request);
      else
        EXPECT_THROW(CarryOut(request), CBusyException);
      g_hostsHolder.reset();
      EXPECT_EQ(Now(), lettingGoAt ? c.after : c.before);
      EXPECT_TRUE(NewFiles().empty());
    }
  }
}

// A reader that holds the hosts file for a moment refuses the replace once:
// it is tried again.
TEST_F(ActionTest, AReplaceRefusedForAMomentIsTriedAgain) {
  for (const DWORD error : {ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED}) {
    const Case c = Cases()[0];
    Put(c.before);
    fakewin::InjectFailure("MoveFileExA", 1, error);
    CarryOut(c.action);
    EXPECT_EQ(Now(), c.after) << error;
  }
}

// Every file and registry call of an action, failing in turn with an error a
// real machine gives: both settings end wholly old or both wholly new, and
// the action tells of a failure exactly when they are old.
TEST_F(ActionTest, AFailureAtAnyCallLeavesBothSettingsOldOrBothNew) {
  const DWORD errors[] = {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_DISK_FULL};
  for (const Case& c : Cases()) {
    for (const DWORD error : errors) {
      int told = 0;
      for (int nth = 1;; ++nth) {
        SCOPED_TRACE(std::string(c.name) + ", error " + std::to_string(error) + " at call " + std::to_string(nth));
        Put(c.before);
        fakewin::InjectFailure(nullptr, nth, error);
        const bool failureTold = FailureTold(c, m_path);
        const bool failed = fakewin::CountedCalls() >= nth;
        fakewin::ClearFailure();
        const State now = Now();
        EXPECT_TRUE(now == c.before || now == c.after) << ::testing::PrintToString(now);
        if (c.before != c.after) {
          EXPECT_EQ(failureTold, now == c.before);
        }
        EXPECT_EQ(fakewin::OwnedMutexCount(), 0) << "the lock was kept";
        // Beside the hosts file, only the old file's copy may stay, when
        // deleting it was what failed.
        for (const std::string& name : NewFiles()) {
          EXPECT_TRUE(name.starts_with("hsb")) << name;
          EXPECT_EQ(testfiles::ReadBytes(CString((Folder() / name).string())), c.before.hosts.value_or(""));
          std::filesystem::remove(Folder() / name);
        }
        EXPECT_EQ(fakewin::OpenKeyCount(), 0);
        told += failureTold;
        if (!failed) {
          EXPECT_EQ(now, c.after);
          break;
        }
      }
      EXPECT_GT(told, 0) << c.name << ", error " << error;
    }
  }
}
#endif

}  // namespace
