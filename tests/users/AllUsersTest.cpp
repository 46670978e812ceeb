// Set, Remove settings and the check for every user of a PC, and the list
// in force under the per-machine policy, natively on the fake of Windows.
#ifndef _WIN32

#include <functional>
#include <string>
#include <vector>

#include "Action.h"
#include "CommandLine.h"
#include "ConnectionBytes.h"
#include "ConnectionSettings.h"
#include "DeploymentRecord.h"
#include "DesktopUser.h"
#include "ProxyPolicy.h"
#include "RunLog.h"
#include "users/ProfilesFixture.h"

namespace {

const std::string kJoined(ProxyExceptionsJoined().View());
const std::string kOrdinaryHosts = "127.0.0.1       localhost\r\n10.0.0.5\tprinter.test\r\n";
const std::string kConnections = std::string(INTERNET_SETTINGS_PATH) + "\\Connections";
const char kLan[] = "DefaultConnectionSettings";
const CString kLanPath = CString(INTERNET_SETTINGS_PATH) + "\\Connections\\" + kLan;

RegistryValues::Stored Lan(const std::string& bypass) { return {REG_BINARY, ConnectionBytes::With(bypass).Bytes()}; }
// The bypass list of a per-connection value, and its change counter.
std::pair<std::string, int> BypassOf(const std::optional<RegistryValues::Stored>& value) {
  if (!value) return {"(none)", 0};
  return {std::string(BypassListOf(value->bytes).value_or("(unknown form)")),
          static_cast<unsigned char>(value->bytes[4])};
}
using Told = std::vector<std::pair<CString, Outcome::State>>;

const RunIdentity kThisVersion{"3.2.0.0", "2026-12-09T10:00:00+09:00"};

VerbResult RunWith(std::vector<const char*> arguments, const RunIdentity& identity = kThisVersion) {
  arguments.insert(arguments.begin(), "tool.exe");
  return RunVerb(ParseArguments(static_cast<int>(arguments.size()), arguments.data()), identity);
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
  // then the mandatory profile, left alone; last the record of the
  // deployment.
  Told Each(Outcome::State state) const {
    Told each{{m_path, state}};
    for (const ProfileRow& row : kSchoolPc)
      if (!IsServiceAccount(row.sid) && !row.mandatory) each.emplace_back(ListName(row), state);
    each.emplace_back(HivePath(Row("guest")), Outcome::untouched);
    each.emplace_back(DeploymentRecordName(), state);
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
    ASSERT_EQ(result.shortfalls.size(), Each(Outcome::changed).size() - 2) << "the mandatory profile checked";
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

// One profile made unusable in each way a pupil, a clean-up tool or the
// system can: with /allusers its list is left exactly as it was and named
// with why (with nothing on disk, skipped), every other list and the hosts
// file go on, and the status tells it. No hive stays loaded; none is loaded
// while another list is worked on, nor when the hosts file is replaced.
TEST_F(AllUsersTest, OneProfileNeverStopsTheOthers) {
  UniqueFile holder;
  const auto entry = [&](const char* folder) {
    return "HKEY_LOCAL_MACHINE\\" + CString(PROFILE_LIST_PATH) + "\\" + Row(folder).sid;
  };
  const std::string teachersList = std::string(Row("teacher").sid) + "\\" + kProxyKey;
  const struct {
    const char* what;
    const char* folder;
    std::function<void()> arrange;
    Outcome::State state;  // the list's; changed: its user's access list is no obstacle
  } cases[] = {
      {"its folder gone", "pupil2",
       [&] { std::filesystem::remove_all(testfiles::Local(HivePath(Row("pupil2"))).parent_path()); },
       Outcome::noProfile},
      {"listed without its folder", "pupil2",
       [&] { SetValue(HKEY_LOCAL_MACHINE, entry("pupil2").Mid(19).GetString(), "ProfileImagePath", std::nullopt); },
       Outcome::noProfile},
      {"a list not text", "teacher",
       [&] {
         SetValue(HKEY_USERS, teachersList, kProxyName, Stored{REG_DWORD, std::string(4, '\0')});
       },
       Outcome::leftAsItWas},
      {"a per-connection value of a form not known", "pupil1",
       [&] {
         SetInHive(Row("pupil1"), kConnections, kLan, Stored{REG_BINARY, std::string(8, '\x99')});
       },
       Outcome::leftAsItWas},
      {"a list outside the code page", "teacher",
       [&] { SetValue(HKEY_USERS, teachersList, kProxyName, WideSz(u"\uD55C\uAD6D.test"), true); },
       Outcome::leftAsItWas},
      {"whether its hive is loaded cannot be told", "pupil1",
       [&] { fakewin::FailOpens(HKEY_USERS, Row("pupil1").sid, ERROR_KEY_DELETED); }, Outcome::leftAsItWas},
      {"a hive held by another program", "pupil1",
       [&] { holder.reset(CreateFileA(HivePath(Row("pupil1")), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)); },
       Outcome::leftAsItWas},
      {"its list's key closed to SYSTEM", "teacher",
       [&] {
         fakewin::DenyChanges(HKEY_USERS, (teachersList.substr(0, teachersList.rfind('\\'))).c_str(), true, true);
       },
       Outcome::changed},
      {"its user's own hive key closed to SYSTEM", "teacher",
       [&] { fakewin::DenyChanges(HKEY_USERS, Row("teacher").sid, true, true); }, Outcome::changed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Build(kSchoolPc);
    c.arrange();
    const Snapshot before = Now();
    Told each = Each(Outcome::changed);
    const auto affected = std::find(each.begin(), each.end(), std::pair{ListName(Row(c.folder)), Outcome::changed});
    if (c.state == Outcome::leftAsItWas)
      affected->second = Outcome::leftAsItWas;
    else if (c.state == Outcome::noProfile)
      each.erase(affected), each.insert(each.end() - 1, {entry(c.folder), Outcome::noProfile});
    const ExitStatus status = c.state == Outcome::leftAsItWas ? kExitPartly : kExitCompleted;

    const VerbResult checked = RunWith({"/check", "/allusers"});
    EXPECT_EQ(checked.status, kExitNothingChanged);
    EXPECT_EQ(std::count_if(checked.shortfalls.begin(), checked.shortfalls.end(),
                            [](const Shortfall& setting) { return setting.unjudged.has_value(); }),
              c.state == Outcome::leftAsItWas ? 1 : 0);
    bool loadedAtReplace = true;
    fakewin::OnCall("ReplaceFileA", [&] { loadedAtReplace = fakewin::LoadedHives().size() != 2; });
    VerbResult result = RunWith({"/set", "/allusers", "/quiet"});
    EXPECT_FALSE(loadedAtReplace) << "a hive loaded while the hosts file was replaced";
    EXPECT_EQ(result.status, status);
    EXPECT_EQ(TellingOf(result.outcomes), each);
    EXPECT_EQ(Now().at(c.folder) == before.at(c.folder), c.state != Outcome::changed);
    EXPECT_EQ(Hosts(), kOrdinaryHosts + ManagedLines());
    EXPECT_EQ(RunWith({"/check", "/allusers"}).status, kExitCompleted);
    result = RunWith({"/remove", "/allusers", "/quiet"});
    EXPECT_EQ(result.status, status);
    EXPECT_EQ(TellingOf(result.outcomes), each);
    EXPECT_EQ(Now(), before);
    holder.reset();
    fakewin::FailOpens(HKEY_USERS, Row("pupil1").sid, ERROR_SUCCESS);
    ExpectNothingLeft();
  }
  EXPECT_EQ(fakewin::MostToolHivesAtOnce(), 1);
}

// Every file and registry call of a run for every user, failing in turn:
// the hosts file ends old or new, and each list as the hosts file or, told
// as left as it was, old; a failure is told exactly when everything is old,
// and no hive stays loaded.
TEST_F(AllUsersTest, AFailureAtAnyCallLeavesEachUserOldOrNewWithTheHostsFile) {
  for (const Action action : {Action::set, Action::remove}) {
    const auto start = [&] {
      WriteHosts(kOrdinaryHosts);
      Build(kSchoolPc);
      if (action == Action::remove) CarryOut({Action::set, Scope::both, Users::all});
    };
    start();
    const Snapshot before = Now();
    CarryOut({action, Scope::both, Users::all});
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
        const Snapshot now = Now();
        EXPECT_EQ(result.failure.has_value(), now == before);
        const Snapshot& hostsLike = now.at("hosts") == after.at("hosts") ? after : before;
        for (const auto& [setting, held] : now) {
          const bool left = held != hostsLike.at(setting);
          EXPECT_TRUE(!left || (held == before.at(setting) && result.status == kExitPartly))
              << setting << " status " << result.status << " hosts new " << (now.at("hosts") == after.at("hosts"))
              << " held " << ::testing::PrintToString(held) << " outcomes "
              << ::testing::PrintToString(TellingOf(result.outcomes));
        }
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
  EXPECT_EQ(result.status, kExitPartly);
  Told expected = Each(Outcome::changed);
  for (const char* folder : {"pupil1", "pupil2", "Default"})
    expected.insert(expected.end() - 1, {HivePath(Row(folder)), Outcome::failed});
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
// first by a run for every user, under the lock, forced where another
// program holds a key in it; one that stays is named as left loaded, and the
// run goes on. A run for the desktop's user loads no hive and leaves it.
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
    EXPECT_EQ(TellingOf(RunWith({"/set", "/machine", "/quiet"}).outcomes), (Told{{m_path, Outcome::changed}}));
    const std::vector<std::string> loaded = fakewin::LoadedHives();
    EXPECT_NE(std::find(loaded.begin(), loaded.end(), std::string(leftKey)), loaded.end());
    // The other program lets go once the hives are swept.
    fakewin::OnCall("RegLoadKeyA", [] { fakewin::HoldKeysInHives(false); });
    const VerbResult result = RunWith({"/set", "/allusers", "/quiet"});
    fakewin::ClearFailure();
    fakewin::HoldKeysInHives(false);
    fakewin::HideExport(nullptr);
    // The hive left loaded holds pupil1's file: that list is left as it was.
    EXPECT_EQ(result.status, row.forceable ? kExitCompleted : kExitPartly);
    const Told told = TellingOf(result.outcomes);
    EXPECT_EQ(std::count(told.begin(), told.end(), std::pair{"HKEY_USERS\\" + leftKey, Outcome::leftLoaded}),
              row.forceable ? 0 : 1);
    const HivePrivileges privileges;
    RegUnLoadKeyA(HKEY_USERS, leftKey);
    WriteHosts(kOrdinaryHosts);
  }
}

// The record of the deployment: written by a Set of both settings for every
// user that did the work, naming what it left as it was; taken away by a
// Remove settings for every user. The detection rule reads it beside the
// hosts file, and loads no hive and waits for no other run.
TEST_F(AllUsersTest, TheDetectionRuleReadsTheRecordAndLoadsNoHive) {
  fakewin::SetUsers("S-1-5-18", nullptr);
  const auto detect = [](const RunIdentity& identity) {
    fakewin::HoldMutexes(WAIT_TIMEOUT);  // another run at work
    fakewin::OnCall("RegLoadKeyA", [] { ADD_FAILURE() << "a hive loaded"; });
    const VerbResult result = RunWith({"/detect"}, identity);
    fakewin::ClearFailure();
    fakewin::HoldMutexes(WAIT_OBJECT_0);
    return result;
  };
  EXPECT_EQ(detect(kThisVersion).status, kExitNothingChanged) << "no record";
  EXPECT_EQ(RunWith({"/set", "/allusers", "/user", "/quiet"}).status, kExitCompleted);
  EXPECT_EQ(ReadDeploymentRecord(), std::nullopt) << "the lists alone are not the deployment";
  SetInHive(Row("pupil1"), kProxyKey, kProxyName.c_str(), Stored{REG_DWORD, std::string(4, '\0')});
  EXPECT_EQ(RunWith({"/set", "/allusers", "/quiet"}).status, kExitPartly);
  const std::optional<DeploymentRecord> record = ReadDeploymentRecord();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->version, kThisVersion.version);
  EXPECT_EQ(record->time, kThisVersion.time);
  ASSERT_EQ(record->leftAsItWas.size(), 1u);
  EXPECT_EQ(record->leftAsItWas[0], ListName(Row("pupil1")) + ": left as it was: not text, error 13");
  const VerbResult detected = detect(kThisVersion);
  EXPECT_EQ(detected.status, kExitCompleted) << "a list left as it was is told, not missing";
  EXPECT_EQ(detected.shortfalls[1].left, record->leftAsItWas);
  EXPECT_EQ(detect({"3.2.1.0", ""}).status, kExitNothingChanged) << "another version's record";
  WriteHosts(kOrdinaryHosts);
  EXPECT_EQ(detect(kThisVersion).status, kExitNothingChanged) << "the hosts file lacks the lines";
  EXPECT_EQ(RunWith({"/remove", "/allusers", "/quiet"}).status, kExitPartly);
  EXPECT_EQ(ReadDeploymentRecord(), std::nullopt);
}

// What a run for the package changed is kept: the package's rollback puts
// back exactly that, byte for byte, leaving what another program changed
// since and what was in place before; its commit forgets it.
TEST_F(AllUsersTest, ThePackagesRunIsPutBackExactlyOrForgotten) {
  fakewin::SetUsers("S-1-5-18", nullptr);
  SetValue(HKEY_USERS, std::string(Row("teacher").sid) + "\\" + kProxyKey, kProxyName,
           Sz(kJoined + ";" + Row("teacher").list));  // in place before
  const Snapshot before = Now();
  EXPECT_EQ(RunWith({"/set", "/allusers", "/quiet", "/package:{1}"}).status, kExitCompleted);
  const Snapshot set = Now();
  EXPECT_EQ(RunWith({"/undo:{2}"}).status, kExitCompleted);
  EXPECT_EQ(Now(), set) << "another run's record put back";
  SetInHive(Row("pupil2"), kProxyKey, kProxyName.c_str(), Sz("other.test"));  // another program since
  const VerbResult undone = RunWith({"/undo:{1}", "/quiet"});
  EXPECT_EQ(undone.status, kExitPartly);
  Snapshot expected = before;
  expected["pupil2"] = Now().at("pupil2");
  EXPECT_EQ(Now(), expected);
  EXPECT_EQ(Lists().at("pupil2"), "other.test");
  EXPECT_EQ(ReadDeploymentRecord(), std::nullopt) << "the record put back too";
  EXPECT_EQ(RunWith({"/undo:{1}"}).outcomes.size(), 0u) << "undone once";
  EXPECT_TRUE(NewFiles().empty()) << "the old hosts file and the record left beside";
  EXPECT_EQ(RunWith({"/set", "/allusers", "/quiet", "/package:{3}"}).status, kExitCompleted);
  const Snapshot kept = Now();
  EXPECT_EQ(RunWith({"/forget:{3}"}).status, kExitCompleted);
  EXPECT_TRUE(NewFiles().empty());
  EXPECT_EQ(RunWith({"/undo:{3}"}).outcomes.size(), 0u);
  EXPECT_EQ(Now(), kept);
}

// Each user's per-connection value changes with their list, whether the
// hive is the signed-in user's or loaded for the run, and is named.
TEST_F(AllUsersTest, EveryProfilesPerConnectionValueChangesWithItsList) {
  for (const char* folder : {"teacher", "pupil1"}) SetInHive(Row(folder), kConnections, kLan, Lan(Row(folder).list));
  fakewin::SetUsers("S-1-5-18", nullptr);
  EXPECT_EQ(RunWith({"/check", "/allusers"}).status, kExitNothingChanged);
  VerbResult result = RunWith({"/set", "/allusers", "/quiet"});
  EXPECT_EQ(result.status, kExitCompleted);
  for (const char* folder : {"teacher", "pupil1"}) {
    SCOPED_TRACE(folder);
    const Told told = TellingOf(result.outcomes);
    EXPECT_NE(std::find(told.begin(), told.end(), std::pair{ListName(Row(folder), kLanPath), Outcome::changed}),
              told.end());
    EXPECT_EQ(BypassOf(InHive(Row(folder), kConnections, kLan)), std::pair(kJoined + ";" + Row(folder).list, 6));
  }
  EXPECT_EQ(RunWith({"/check", "/allusers"}).status, kExitCompleted);
  SetInHive(Row("pupil1"), kConnections, kLan, Lan(Row("pupil1").list));
  EXPECT_EQ(RunWith({"/check", "/allusers"}).status, kExitNothingChanged) << "a value lacking them is not in place";
  RunWith({"/set", "/allusers", "/quiet"});
  EXPECT_EQ(RunWith({"/remove", "/allusers", "/quiet"}).status, kExitCompleted);
  EXPECT_EQ(BypassOf(InHive(Row("teacher"), kConnections, kLan)), std::pair(Row("teacher").list, 7));
  EXPECT_EQ(BypassOf(InHive(Row("pupil1"), kConnections, kLan)), std::pair(Row("pupil1").list, 7));
  EXPECT_EQ(InHive(Row("pupil2"), kConnections, kLan), std::nullopt) << "made where there was none";
}

// Where the policy makes proxy settings per machine, the machine's list is
// read, offered by, written and named, whoever runs the tool and for
// whichever users; elsewhere the policy changes nothing.
TEST_F(AllUsersTest, UnderThePerMachinePolicyTheMachinesListsAreTheOnesInForce) {
  const CString machineName = CString("HKEY_LOCAL_MACHINE\\") + PROXY_OVERRIDE_PATH;
  // What 32-bit programs read on 64-bit Windows, changed alike.
  const std::string key32 = "Software\\WOW6432Node" + kProxyKey.substr(std::string("Software").size());
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
    SetValue(HKEY_LOCAL_MACHINE, key32, kProxyName, Sz("machine32.test"));
    SetValue(HKEY_LOCAL_MACHINE, kConnections, kLan, Lan("machine.test"));
    SetValue(HKEY_LOCAL_MACHINE, key32 + "\\Connections", kLan, Lan("machine32.test"));
    SetValue(kProxyKey, kProxyName, Sz("user.test"));
    fakewin::SetUsers(c.process, std::string(c.process) == fakewin::kUserSid ? c.process : nullptr);
    const Snapshot profiles = Now();
    if (c.users == Users::desktop) {
      EXPECT_EQ(OfferedAction(), Action::set);
    }
    Outcomes outcomes;
    CarryOut({Action::set, Scope::user, c.users}, &outcomes);
    EXPECT_EQ(outcomes[0].target == machineName, c.machine) << outcomes[0].target;
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kProxyKey, kProxyName),
              Sz(c.machine ? kJoined + ";machine.test" : "machine.test"));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, key32, kProxyName),
              Sz(c.machine ? kJoined + ";machine32.test" : "machine32.test"));
    EXPECT_EQ(BypassOf(Value(HKEY_LOCAL_MACHINE, kConnections, kLan)).first,
              c.machine ? kJoined + ";machine.test" : "machine.test");
    EXPECT_EQ(BypassOf(Value(HKEY_LOCAL_MACHINE, key32 + "\\Connections", kLan)).first,
              c.machine ? kJoined + ";machine32.test" : "machine32.test");
    EXPECT_EQ(outcomes.size() > 2 &&
                  outcomes[2].target == "HKEY_LOCAL_MACHINE\\" + CString(key32.c_str()) + "\\" + kProxyName.c_str(),
              c.machine);
    EXPECT_EQ(Value(kProxyKey, kProxyName),
              Sz(!c.machine && c.users == Users::desktop ? kJoined + ";user.test" : "user.test"));
    EXPECT_EQ(Now() == profiles, c.machine || c.users == Users::desktop) << "the profiles' lists";
    if (c.machine && c.users == Users::desktop) {
      EXPECT_EQ(OfferedAction(), Action::remove) << "the dialog follows the machine's list";
      EXPECT_EQ(::Check(Scope::user)[0].target, machineName);
    }
    CarryOut({Action::remove, Scope::user, c.users});
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kProxyKey, kProxyName), Sz("machine.test"));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, key32, kProxyName), Sz("machine32.test"));
    EXPECT_EQ(BypassOf(Value(HKEY_LOCAL_MACHINE, key32 + "\\Connections", kLan)).first, "machine32.test");
    SetValue(HKEY_LOCAL_MACHINE, PROXY_POLICY_PATH, "ProxySettingsPerUser", std::nullopt);
  }
}

}  // namespace

#endif
