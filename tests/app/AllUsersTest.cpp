// Set, Remove settings and the check for every user of a PC, and the list
// in force under the per-machine policy, natively on the fake of Windows.
#ifndef _WIN32

#include <functional>
#include <string>
#include <vector>

#include "Action.h"
#include "CommandLine.h"
#include "DesktopUser.h"
#include "ProfilesFixture.h"
#include "ProxyPolicy.h"
#include "RunLog.h"

namespace {

const std::string kJoined(ProxyExceptionsJoined().View());
const std::string kOrdinaryHosts = "127.0.0.1       localhost\r\n10.0.0.5\tprinter.test\r\n";
using Told = std::vector<std::pair<CString, Outcome::State>>;

VerbResult RunWith(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "tool.exe");
  return RunVerb(ParseArguments(static_cast<int>(arguments.size()), arguments.data()));
}

Told TellingOf(const Outcomes& outcomes) {
  Told told;
  for (const Outcome& outcome : outcomes) told.emplace_back(outcome.target, outcome.state);
  return told;
}

class AllUsersTest : public ProfilesTest {
 protected:
  void SetUp() override {
    ProfilesTest::SetUp();
    WriteHosts(kOrdinaryHosts);
    Build(kSchoolPc);
  }

  // Each profile's list once Set has run: the exceptions in front of every
  // user's, SYSTEM's and the mandatory profile's as they were.
  std::map<std::string, std::string> ListsSet() const {
    std::map<std::string, std::string> lists;
    for (const ProfileRow& row : kSchoolPc)
      lists[row.folder] = IsServiceAccount(row.sid) || row.mandatory ? row.list : kJoined + ";" + row.list;
    return lists;
  }
  // What a run tells of each setting: the hosts file, each user's list,
  // then the mandatory profile, left alone.
  Told Each(Outcome::State state) const {
    Told each{{m_path, state}};
    for (const ProfileRow& row : kSchoolPc)
      if (!IsServiceAccount(row.sid) && !row.mandatory) each.emplace_back(ListName(row), state);
    each.emplace_back(HivePath(Row("guest")), Outcome::untouched);
    return each;
  }
};

// A deployment agent as SYSTEM, nobody at the desktop: each user's list and
// the Default profile's, whether its user is signed in or not; then taken
// out again, down to every hive file's bytes.
TEST_F(AllUsersTest, SetAndRemoveCoverEveryProfileAndGiveEveryHiveBackByteForByte) {
  for (const DefaultNamed named : {DefaultNamed::byVista, DefaultNamed::byXp}) {
    SCOPED_TRACE(named == DefaultNamed::byVista ? "Default named by Vista and later" : "Default named by XP");
    Build(kSchoolPc, named);
    fakewin::SetUsers("S-1-5-18", nullptr);
    const std::map<std::string, std::string> listsBefore = Lists();
    VerbResult result = RunWith({"/check", "/allusers"});
    EXPECT_EQ(result.status, kExitNothingChanged);
    ASSERT_EQ(result.shortfalls.size(), Each(Outcome::changed).size() - 1) << "the mandatory profile checked";
    for (size_t i = 1; i < result.shortfalls.size(); ++i) {
      EXPECT_EQ(result.shortfalls[i].target, Each(Outcome::changed)[i].first);
      EXPECT_EQ(result.shortfalls[i].missing.size(), kProxyExceptions.size());
    }

    result = RunWith({"/set", "/allusers", "/quiet"});
    EXPECT_EQ(result.status, kExitCompleted);
    EXPECT_EQ(TellingOf(result.outcomes), Each(Outcome::changed));
    EXPECT_EQ(Lists(), ListsSet());
    EXPECT_EQ(Hosts(), kOrdinaryHosts + ManagedLines());
    ExpectNothingLeft();
    EXPECT_EQ(RunWith({"/check", "/allusers"}).status, kExitCompleted);

    result = RunWith({"/remove", "/allusers", "/quiet"});
    EXPECT_EQ(TellingOf(result.outcomes), Each(Outcome::changed));
    EXPECT_EQ(Lists(), listsBefore);
    EXPECT_EQ(Hosts(), kOrdinaryHosts);
    ExpectNothingLeft();
    SignOutAll();
    EXPECT_EQ(HiveFiles(), BuiltHiveFiles());
  }
}

// A profile that cannot be reached refuses the whole run, named; nothing
// changes anywhere, and every hive loaded by then is unloaded again.
TEST_F(AllUsersTest, AProfileThatCannotBeReachedIsNamedAndNothingChanges) {
  UniqueFile holder;
  const auto profileKey = [&](const char* folder) { return CString(PROFILE_LIST_PATH) + "\\" + Row(folder).sid; };
  const struct {
    const char* name;
    std::function<void()> arrange;
    std::function<CString()> named;
    LONG error;
  } cases[] = {
      {"a hive held by another program",
       [&] { holder.reset(CreateFileA(HivePath(Row("pupil1")), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)); },
       [&] { return HivePath(Row("pupil1")); }, ERROR_SHARING_VIOLATION},
      {"a hive file missing", [&] { std::filesystem::remove(testfiles::Local(HivePath(Row("pupil2")))); },
       [&] { return HivePath(Row("pupil2")); }, ERROR_FILE_NOT_FOUND},
      {"no hive in the file", [&] { testfiles::WriteBytes(HivePath(Row("Default")), "regf"); },
       [&] { return HivePath(Row("Default")); }, ERROR_BADDB},
      {"a signed-in user's list not text",
       [&] {
         SetValue(HKEY_USERS, std::string(Row("teacher").sid) + "\\" + kProxyKey, kProxyName,
                  Stored{REG_DWORD, std::string(4, '\0')});
       },
       [&] { return ListName(Row("teacher")); }, ERROR_INVALID_DATA},
      {"a profile listed without its folder",
       [&] { SetValue(HKEY_LOCAL_MACHINE, profileKey("pupil2").GetString(), "ProfileImagePath", std::nullopt); },
       [&] { return "HKEY_LOCAL_MACHINE\\" + profileKey("pupil2") + "\\ProfileImagePath"; }, ERROR_FILE_NOT_FOUND},
  };
  for (const auto& c : cases) {
    for (const char* verb : {"/set", "/check"}) {
      SCOPED_TRACE(std::string(c.name) + ", " + verb);
      Build(kSchoolPc);
      c.arrange();
      const Snapshot before = Now();
      const VerbResult result = RunWith({verb, "/allusers", "/quiet"});
      EXPECT_EQ(result.status, std::string(verb) == "/check" ? kExitCannotTell : kExitFailed);
      EXPECT_EQ(OsErrorOf(result.error), c.error);
      if (std::string(verb) == "/set") {
        EXPECT_EQ(TellingOf(result.outcomes), (Told{{m_path, Outcome::untouched}, {c.named(), Outcome::failed}}));
      }
      holder.reset();
      EXPECT_EQ(Now(), before);
      ExpectNothingLeft();
    }
  }
}

// The writes go in the profiles' order: the third refused, the first two
// are put back as they were stored, the fourth never written.
TEST_F(AllUsersTest, AWriteRefusedOnTheThirdProfilePutsBackTheFirstTwo) {
  const Snapshot before = Now();
  fakewin::InjectFailure("RegSetValueExA", 3, ERROR_ACCESS_DENIED);
  const VerbResult result = RunWith({"/set", "/allusers", "/quiet"});
  fakewin::ClearFailure();
  EXPECT_EQ(result.status, kExitFailed);
  Told expected = Each(Outcome::putBack);
  expected[0].second = Outcome::untouched;
  expected[3].second = Outcome::failed;
  expected[4].second = Outcome::untouched;
  EXPECT_EQ(TellingOf(result.outcomes), expected);
  EXPECT_EQ(Now(), before);
}

// Every file and registry call of a run for every user, failing in turn:
// the hosts file and every list end wholly old or wholly new, a failure is
// told exactly when they are old, and no hive stays loaded.
TEST_F(AllUsersTest, AFailureAtAnyCallLeavesEverySettingOldOrEveryOneNew) {
  for (const Action action : {Action::set, Action::remove}) {
    const auto start = [&] {
      WriteHosts(kOrdinaryHosts);
      Build(kSchoolPc);
      if (action == Action::remove) CarryOut(Action::set, Scope::both, nullptr, Users::all);
    };
    start();
    const Snapshot before = Now();
    CarryOut(action, Scope::both, nullptr, Users::all);
    const Snapshot after = Now();
    for (const DWORD error : {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_DISK_FULL}) {
      for (int nth = 1;; ++nth) {
        SCOPED_TRACE(std::to_string(static_cast<int>(action)) + ", error " + std::to_string(error) + " at call " +
                     std::to_string(nth));
        start();
        fakewin::InjectFailure(nullptr, nth, error);
        const VerbResult result = RunWith({action == Action::set ? "/set" : "/remove", "/allusers", "/quiet"});
        const bool failed = fakewin::CountedCalls() >= nth;
        fakewin::ClearFailure();
        EXPECT_TRUE(Now() == before || Now() == after);
        EXPECT_EQ(result.error != nullptr, Now() == before);
        ExpectNothingLeft();
        for (const std::string& name : NewFiles()) std::filesystem::remove(Folder() / name);
        if (!failed) break;
      }
    }
  }
}

// Another program holding a key in each hive loaded for the run: tried
// again for a moment, then each hive that stays loaded is told (its user
// could not sign in), though every list did change.
TEST_F(AllUsersTest, AHiveThatStaysLoadedIsTold) {
  fakewin::HoldKeysInHives(true);
  const VerbResult result = RunWith({"/set", "/allusers", "/quiet"});
  fakewin::HoldKeysInHives(false);
  EXPECT_EQ(result.status, kExitFailed);
  EXPECT_EQ(OsErrorOf(result.error), ERROR_ACCESS_DENIED);
  Told expected = Each(Outcome::changed);
  for (const char* folder : {"Default", "pupil2", "pupil1"})
    expected.emplace_back(HivePath(Row(folder)), Outcome::failed);
  EXPECT_EQ(TellingOf(result.outcomes), expected);
  const HivePrivileges privileges;
  for (const std::string& name : fakewin::LoadedHives()) {
    if (!name.starts_with("S-")) {
      EXPECT_EQ(RegUnLoadKeyA(HKEY_USERS, name.c_str()), ERROR_SUCCESS);
    }
  }
  EXPECT_EQ(Lists(), ListsSet());
}

// A hive an earlier run left loaded (it was ended on the way) is unloaded
// first, under the lock, forced where another program holds a key in it;
// one that stays is named as left loaded, and the run goes on.
TEST_F(AllUsersTest, HivesAnEarlierRunLeftLoadedAreUnloadedFirst) {
  const struct {
    const char* what;
    bool held;
    bool forceable;
  } rows[] = {{"nobody holds it", false, true}, {"held", true, true}, {"held, not to be forced", true, false}};
  const CString leftKey = "OrvaneSetup.4242.0";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    {
      const HivePrivileges privileges;
      ASSERT_EQ(RegLoadKeyA(HKEY_USERS, leftKey, HivePath(Row("pupil1"))), ERROR_SUCCESS);
    }
    fakewin::HoldKeysInHives(row.held);
    if (!row.forceable) fakewin::HideExport("NtUnloadKey2");
    const VerbResult result = RunWith({"/set", "/machine", "/quiet"});
    fakewin::HoldKeysInHives(false);
    fakewin::HideExport(nullptr);
    EXPECT_EQ(result.status, kExitCompleted);
    Told told{{m_path, Outcome::changed}};
    if (!row.forceable) told.emplace_back("HKEY_USERS\\" + leftKey, Outcome::leftLoaded);
    EXPECT_EQ(TellingOf(result.outcomes), told);
    const HivePrivileges privileges;
    RegUnLoadKeyA(HKEY_USERS, leftKey);
    WriteHosts(kOrdinaryHosts);
  }
}

// Where the policy makes proxy settings per machine, the machine's list is
// read, offered by, written and named, whoever runs the tool and for
// whichever users; elsewhere the policy changes nothing.
TEST_F(AllUsersTest, UnderThePerMachinePolicyTheMachinesListIsTheOneInForce) {
  const CString machineName = CString("HKEY_LOCAL_MACHINE\\") + PROXY_OVERRIDE_PATH;
  const Stored on{REG_DWORD, std::string(4, '\0')};
  const Stored off{REG_DWORD, std::string("\1\0\0\0", 4)};
  const struct {
    const char* name;
    std::optional<Stored> policy;
    Users users;
    const char* process;  // nobody at the desktop unless it is the user
    bool machine;         // the machine's list is the one in force
  } cases[] = {
      {"on, the desktop user", on, Users::desktop, fakewin::kUserSid, true},
      {"on, every user, as SYSTEM", on, Users::all, "S-1-5-18", true},
      {"on, as SYSTEM alone", on, Users::desktop, "S-1-5-18", true},
      {"off, the desktop user", off, Users::desktop, fakewin::kUserSid, false},
      {"off, every user", off, Users::all, "S-1-5-18", false},
      {"zeros of another type", Stored{REG_BINARY, std::string(4, '\0')}, Users::desktop, fakewin::kUserSid, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Build(kSchoolPc);
    SetValue(HKEY_LOCAL_MACHINE, PROXY_POLICY_PATH, "ProxySettingsPerUser", c.policy);
    SetValue(HKEY_LOCAL_MACHINE, kProxyKey, kProxyName, Sz("machine.test"));
    SetValue(kProxyKey, kProxyName, Sz("user.test"));
    fakewin::SetUsers(c.process, std::string(c.process) == fakewin::kUserSid ? c.process : nullptr);
    const Snapshot profiles = Now();
    if (c.users == Users::desktop) {
      EXPECT_EQ(OfferedAction(), Action::set);
    }
    Outcomes outcomes;
    CarryOut(Action::set, Scope::user, &outcomes, c.users);
    EXPECT_EQ(outcomes[0].target == machineName, c.machine) << outcomes[0].target;
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kProxyKey, kProxyName),
              Sz(c.machine ? kJoined + ";machine.test" : "machine.test"));
    EXPECT_EQ(Value(kProxyKey, kProxyName),
              Sz(!c.machine && c.users == Users::desktop ? kJoined + ";user.test" : "user.test"));
    EXPECT_EQ(Now() == profiles, c.machine || c.users == Users::desktop) << "the profiles' lists";
    if (c.machine && c.users == Users::desktop) {
      EXPECT_EQ(OfferedAction(), Action::remove) << "the dialog follows the machine's list";
      EXPECT_EQ(::Check(Scope::user)[0].target, machineName);
    }
    CarryOut(Action::remove, Scope::user, nullptr, c.users);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kProxyKey, kProxyName), Sz("machine.test"));
    SetValue(HKEY_LOCAL_MACHINE, PROXY_POLICY_PATH, "ProxySettingsPerUser", std::nullopt);
  }
}

}  // namespace

#endif
