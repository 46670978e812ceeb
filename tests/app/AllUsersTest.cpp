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

VerbResult RunWith(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "tool.exe");
  return RunVerb(ParseArguments(static_cast<int>(arguments.size()), arguments.data()));
}

// The file or the value a failure names; nothing when there is none.
CString NameIn(const std::exception_ptr& error) {
  if (!error) return "(no failure)";
  try {
    std::rethrow_exception(error);
  } catch (const CFileException& file) {
    return file.m_strFileName;
  } catch (const CRegistryException& registry) {
    return registry.m_strValueName;
  } catch (...) {
    return "(another failure)";
  }
}

std::vector<std::pair<CString, Outcome::State>> Told(const Outcomes& outcomes) {
  std::vector<std::pair<CString, Outcome::State>> told;
  for (const Outcome& outcome : outcomes) told.emplace_back(outcome.target, outcome.state);
  return told;
}

class AllUsersTest : public ProfilesTest {
 protected:
  // Every profile's list with the exceptions in front; SYSTEM's and the
  // mandatory profile's as they were.
  std::map<std::string, std::string> ListsSet() const {
    std::map<std::string, std::string> lists;
    for (const ProfileRow& row : kSchoolPc)
      lists[row.folder] = IsServiceAccount(row.sid) || row.mandatory ? row.list : kJoined + ";" + row.list;
    return lists;
  }
  // What a run says of each setting: the hosts file, each user's list, then
  // the mandatory profile, left alone.
  std::vector<std::pair<CString, Outcome::State>> Each(Outcome::State state) const {
    std::vector<std::pair<CString, Outcome::State>> each{{m_path, state}};
    for (const ProfileRow& row : kSchoolPc)
      if (!IsServiceAccount(row.sid) && !row.mandatory) each.emplace_back(ListName(row), state);
    each.emplace_back(HivePath(Row("guest")), Outcome::untouched);
    return each;
  }
};

// A deployment agent as SYSTEM, nobody at the desktop: each user's list and
// the Default profile's, whether its user is signed in or not, SYSTEM's
// left alone; then taken out again, down to every hive file's bytes.
TEST_F(AllUsersTest, SetAndRemoveCoverEveryProfileAndGiveEveryHiveBackByteForByte) {
  for (const DefaultNamed named : {DefaultNamed::byVista, DefaultNamed::byXp}) {
    SCOPED_TRACE(named == DefaultNamed::byVista ? "Default named by Vista and later" : "Default named by XP");
    WriteHosts(kOrdinaryHosts);
    Build(kSchoolPc, named);
    fakewin::SetUsers("S-1-5-18", nullptr);
    const std::map<std::string, std::string> listsBefore = Lists();

    VerbResult result = RunWith({"/set", "/allusers", "/quiet"});
    EXPECT_EQ(result.status, kExitCompleted);
    EXPECT_EQ(Told(result.outcomes), Each(Outcome::changed));
    EXPECT_EQ(Lists(), ListsSet());
    EXPECT_EQ(Hosts(), kOrdinaryHosts + ManagedLines());
    ExpectNothingLeft();

    result = RunWith({"/check", "/allusers"});
    EXPECT_EQ(result.status, kExitCompleted);
    EXPECT_EQ(result.shortfalls.size(), Each(Outcome::changed).size() - 1) << "the mandatory profile told";
    for (const Shortfall& setting : result.shortfalls) EXPECT_TRUE(setting.missing.empty()) << setting.target;

    result = RunWith({"/remove", "/allusers", "/quiet"});
    EXPECT_EQ(result.status, kExitCompleted);
    EXPECT_EQ(Told(result.outcomes), Each(Outcome::changed));
    EXPECT_EQ(Lists(), listsBefore);
    EXPECT_EQ(Hosts(), kOrdinaryHosts);
    ExpectNothingLeft();
    SignOutAll();
    EXPECT_EQ(HiveFiles(), BuiltHiveFiles());
  }
}

// The check names each profile's list that lacks the exceptions, and what
// it lacks.
TEST_F(AllUsersTest, TheCheckTellsPerProfileWhichListsLackTheExceptions) {
  std::vector<ProfileRow> pc = kSchoolPc;
  pc[0].list = kJoined + ";" + pc[0].list;             // the teacher's set
  pc[2].list = kJoined.substr(kJoined.find(';') + 1);  // pupil2's without the wildcard
  Build(pc);
  const std::vector<Shortfall> found = ::Check(Scope::user, Users::all);
  std::vector<std::pair<CString, size_t>> lacking;
  for (const Shortfall& setting : found) lacking.emplace_back(setting.target, setting.missing.size());
  const std::vector<std::pair<CString, size_t>> expected = {{ListName(pc[0]), 0},
                                                            {ListName(pc[1]), kProxyExceptions.size()},
                                                            {ListName(pc[2]), 1},
                                                            {ListName(pc[3]), kProxyExceptions.size()}};
  EXPECT_EQ(lacking, expected);
  EXPECT_EQ(found[2].missing, std::vector<CString>{kProxyWildcard});
}

// A profile that cannot be reached refuses the whole run, named; nothing
// changes anywhere, and every hive loaded by then is unloaded again.
TEST_F(AllUsersTest, AProfileThatCannotBeReachedIsNamedAndNothingChanges) {
  UniqueFile holder;
  enum class Named { hiveFile, list, folder };
  const struct {
    const char* name;
    std::function<void()> arrange;
    const char* profile;  // whose hive file, list or folder is named
    Named named;
    LONG error;
  } cases[] = {
      {"a hive held by another program",
       [&] { holder.reset(CreateFileA(HivePath(Row("pupil1")), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)); },
       "pupil1", Named::hiveFile, ERROR_SHARING_VIOLATION},
      {"a hive file missing", [&] { std::filesystem::remove(testfiles::Local(HivePath(Row("pupil2")))); }, "pupil2",
       Named::hiveFile, ERROR_FILE_NOT_FOUND},
      {"no hive in the file", [&] { testfiles::WriteBytes(HivePath(Row("Default")), "regf"); }, "Default",
       Named::hiveFile, ERROR_BADDB},
      {"a signed-in user's list not text",
       [&] {
         SetValue(HKEY_USERS, std::string(Row("teacher").sid) + "\\" + kProxyKey, kProxyName,
                  Stored{REG_DWORD, std::string(4, '\0')});
       },
       "teacher", Named::list, ERROR_INVALID_DATA},
      {"a profile listed without its folder",
       [&] {
         HKEY key = nullptr;
         RegOpenKeyExA(HKEY_LOCAL_MACHINE, (CString(PROFILE_LIST_PATH) + "\\" + Row("pupil2").sid).GetString(), 0,
                       KEY_ALL_ACCESS, &key);
         RegDeleteValueA(key, "ProfileImagePath");
         RegCloseKey(key);
       },
       "pupil2", Named::folder, ERROR_FILE_NOT_FOUND},
  };
  for (const auto& c : cases) {
    for (const char* verb : {"/set", "/remove", "/check"}) {
      SCOPED_TRACE(std::string(c.name) + ", " + verb);
      WriteHosts(kOrdinaryHosts);
      Build(kSchoolPc);
      c.arrange();
      const Snapshot before = Now();
      const ProfileRow& row = Row(c.profile);
      const CString named = c.named == Named::hiveFile ? HivePath(row)
                            : c.named == Named::list   ? ListName(row)
                                                       : CString("HKEY_LOCAL_MACHINE\\") + PROFILE_LIST_PATH + "\\" +
                                                           row.sid + "\\ProfileImagePath";
      const VerbResult result = RunWith({verb, "/allusers", "/quiet"});
      EXPECT_EQ(result.status, std::string(verb) == "/check" ? kExitCannotTell : kExitFailed);
      EXPECT_EQ(OsErrorOf(result.error), c.error);
      EXPECT_EQ(NameIn(result.error), named);
      if (std::string(verb) != "/check") {
        EXPECT_EQ(Told(result.outcomes), (std::vector<std::pair<CString, Outcome::State>>{{m_path, Outcome::untouched},
                                                                                          {named, Outcome::failed}}));
      }
      holder.reset();
      EXPECT_EQ(Now(), before);
      ExpectNothingLeft();
    }
  }
}

// The run's writes go in the profiles' order: the third refused, the first
// two are put back as they were stored, the fourth never written.
TEST_F(AllUsersTest, AWriteRefusedOnTheThirdProfilePutsBackTheFirstTwo) {
  WriteHosts(kOrdinaryHosts);
  Build(kSchoolPc);
  const Snapshot before = Now();
  fakewin::InjectFailure("RegSetValueExA", 3, ERROR_ACCESS_DENIED);
  Outcomes outcomes;
  try {
    CarryOut(Action::set, Scope::both, &outcomes, Users::all);
    ADD_FAILURE() << "no failure told";
  } catch (const CRegistryException& error) {
    EXPECT_EQ(error.m_cause, CRegistryException::writeFailed);
    EXPECT_EQ(error.m_strValueName, ListName(Row("pupil2")));
  }
  fakewin::ClearFailure();
  EXPECT_EQ(Told(outcomes), (std::vector<std::pair<CString, Outcome::State>>{
                                {m_path, Outcome::untouched},
                                {ListName(Row("teacher")), Outcome::putBack},
                                {ListName(Row("pupil1")), Outcome::putBack},
                                {ListName(Row("pupil2")), Outcome::failed},
                                {ListName(Row("Default")), Outcome::untouched},
                                {HivePath(Row("guest")), Outcome::untouched},
                            }));
  EXPECT_EQ(Now(), before);
  ExpectNothingLeft();
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
        SCOPED_TRACE((action == Action::set ? "Set, error " : "Remove, error ") + std::to_string(error) + " at call " +
                     std::to_string(nth));
        start();
        fakewin::InjectFailure(nullptr, nth, error);
        bool told = false;
        try {
          CarryOut(action, Scope::both, nullptr, Users::all);
        } catch (const CFileException&) {
          told = true;
        } catch (const CRegistryException&) {
          told = true;
        }
        const bool failed = fakewin::CountedCalls() >= nth;
        fakewin::ClearFailure();
        const Snapshot now = Now();
        EXPECT_TRUE(now == before || now == after);
        EXPECT_EQ(told, now == before);
        ExpectNothingLeft();
        for (const std::string& name : NewFiles()) std::filesystem::remove(Folder() / name);
        if (!failed) {
          EXPECT_EQ(now, after);
          break;
        }
      }
    }
  }
}

// Another program holding a key in each hive loaded for the run: it is
// tried again for a moment, then each hive that stays loaded is told (it
// would keep its user from signing in), though every list did change.
TEST_F(AllUsersTest, AHiveThatStaysLoadedIsTold) {
  WriteHosts(kOrdinaryHosts);
  Build(kSchoolPc);
  fakewin::HoldKeysInHives(true);
  const VerbResult result = RunWith({"/set", "/allusers", "/quiet"});
  fakewin::HoldKeysInHives(false);
  EXPECT_EQ(result.status, kExitFailed);
  EXPECT_EQ(OsErrorOf(result.error), ERROR_ACCESS_DENIED);
  std::vector<std::pair<CString, Outcome::State>> expected = Each(Outcome::changed);
  for (const char* folder : {"Default", "pupil2", "pupil1"})
    expected.emplace_back(HivePath(Row(folder)), Outcome::failed);
  EXPECT_EQ(Told(result.outcomes), expected);
  std::vector<std::string> left = fakewin::LoadedHives();
  const HivePrivileges privileges;
  int unloaded = 0;
  for (const std::string& name : left)
    if (!name.starts_with("S-")) unloaded += RegUnLoadKeyA(HKEY_USERS, name.c_str()) == ERROR_SUCCESS;
  EXPECT_EQ(unloaded, 3);
  EXPECT_EQ(Lists(), ListsSet());
}

// Where the policy makes proxy settings per machine, the machine's list is
// read, offered by, written and named, whoever runs the tool and for
// whichever users; elsewhere the policy changes nothing.
TEST_F(AllUsersTest, UnderThePerMachinePolicyTheMachinesListIsTheOneInForce) {
  const std::string machineKey = kProxyKey;
  const CString machineName = CString("HKEY_LOCAL_MACHINE\\") + PROXY_OVERRIDE_PATH;
  const std::optional<Stored> on = Stored{REG_DWORD, std::string(4, '\0')};
  const std::optional<Stored> off = Stored{REG_DWORD, std::string("\1\0\0\0", 4)};
  const struct {
    const char* name;
    std::optional<Stored> policy;
    Users users;
    const char* process;  // nobody at the desktop unless it is the process's user
    bool machine;         // the machine's list is the one in force
  } cases[] = {
      {"on, the desktop user", on, Users::desktop, fakewin::kUserSid, true},
      {"on, every user, as SYSTEM", on, Users::all, "S-1-5-18", true},
      {"on, as SYSTEM alone", on, Users::desktop, "S-1-5-18", true},
      {"off, the desktop user", off, Users::desktop, fakewin::kUserSid, false},
      {"off, every user", off, Users::all, "S-1-5-18", false},
      {"not set, every user", std::nullopt, Users::all, fakewin::kUserSid, false},
      {"zeros of another type, the desktop user", Stored{REG_BINARY, std::string(4, '\0')}, Users::desktop,
       fakewin::kUserSid, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Build(kSchoolPc);
    SetValue(HKEY_LOCAL_MACHINE, PROXY_POLICY_PATH, "ProxySettingsPerUser", c.policy);
    SetValue(HKEY_LOCAL_MACHINE, machineKey, kProxyName, Sz("machine.test"));
    SetValue(kProxyKey, kProxyName, Sz("user.test"));
    fakewin::SetUsers(c.process, std::string(c.process) == fakewin::kUserSid ? c.process : nullptr);
    const Snapshot profiles = Now();
    const auto machine = [&] { return Value(HKEY_LOCAL_MACHINE, machineKey, kProxyName); };
    const auto user = [&] { return Value(kProxyKey, kProxyName); };

    if (c.users == Users::desktop) {
      EXPECT_EQ(OfferedAction(), Action::set);
    }
    Outcomes outcomes;
    CarryOut(Action::set, Scope::user, &outcomes, c.users);
    ASSERT_FALSE(outcomes.empty());
    EXPECT_EQ(outcomes[0].target == machineName, c.machine) << outcomes[0].target;
    EXPECT_EQ(machine(), Sz(c.machine ? kJoined + ";machine.test" : "machine.test"));
    EXPECT_EQ(user(), Sz(!c.machine && c.users == Users::desktop ? kJoined + ";user.test" : "user.test"));
    EXPECT_EQ(Now() == profiles, c.machine || c.users == Users::desktop) << "the profiles' lists";
    if (c.machine) {
      EXPECT_EQ(outcomes.size(), 1u);
      EXPECT_EQ(::Check(Scope::user, c.users)[0].target, machineName);
      if (c.users == Users::desktop) {
        EXPECT_EQ(OfferedAction(), Action::remove) << "the dialog follows the machine's list";
      }
    }
    CarryOut(Action::remove, Scope::user, nullptr, c.users);
    EXPECT_EQ(machine(), Sz("machine.test"));
    SetValue(HKEY_LOCAL_MACHINE, PROXY_POLICY_PATH, "ProxySettingsPerUser", std::nullopt);
    ExpectNothingLeft();
  }
}

}  // namespace

#endif
