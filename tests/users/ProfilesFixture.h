// A PC with several users' profiles, natively on the fake of Windows: the
// list the system keeps of them, each profile's hive file, the users
// signed in (their hives loaded under HKEY_USERS\<SID>, as the system loads
// them at logon), and the hosts file. Nothing of it exists under wine.
#pragma once

#ifndef _WIN32

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "HivePrivileges.h"
#include "UserProfiles.h"
#include "hosts/HostsFixture.h"

// One profile of the PC.
struct ProfileRow {
  const char* folder;  // under the profiles' folder
  const char* sid;     // empty: the Default profile
  bool signedIn;
  std::string list;        // its ProxyOverride
  bool mandatory = false;  // its hive is NTUSER.MAN
};

// A teacher signed in, two pupils who are not, the Default profile,
// SYSTEM's own, whose hive the system always has loaded, and a guest's
// mandatory profile.
inline const std::vector<ProfileRow> kSchoolPc = {
    {"teacher", "S-1-5-21-7-1001", true, "intranet.test;<local>"},
    {"pupil1", "S-1-5-21-7-1002", false, "*.local.test"},
    {"pupil2", "S-1-5-21-7-1003", false, "10.*"},
    {"Default", "", false, "<local>"},
    {"systemprofile", "S-1-5-18", true, "system.test"},
    {"guest", "S-1-5-21-7-1009", false, "guest.test", true},
};

class ProfilesTest : public HostsFileTest {
 protected:
  // Where the system names the Default profile.
  enum class DefaultNamed { byVista, byXp };
  using Snapshot = std::map<std::string, std::string>;

  void SetUp() override {
    HostsFileTest::SetUp();
    fakewin::SetEnvironment("SystemDrive", m_drive.Local().c_str());
  }

  // After each test: no hive left loaded but those of the users signed in,
  // and the privileges as they were.
  void TearDown() override {
    HostsFileTest::TearDown();
    ExpectNothingLeft();
  }

  void ExpectNothingLeft() {
    const std::vector<std::string> loaded = fakewin::LoadedHives();
    EXPECT_EQ(std::set<std::string>(loaded.begin(), loaded.end()),
              std::set<std::string>(m_signedIn.begin(), m_signedIn.end()))
        << "a hive left loaded";
    EXPECT_FALSE(fakewin::PrivilegeEnabled(SE_BACKUP_NAME)) << "the backup privilege left enabled";
    EXPECT_FALSE(fakewin::PrivilegeEnabled(SE_RESTORE_NAME)) << "the restore privilege left enabled";
    EXPECT_EQ(fakewin::OpenKeyCount(), 0);
  }

  // The PC afresh: the profile list, each hive file holding its list (and
  // nothing else), those signed in loaded; the hosts file as given.
  void Build(const std::vector<ProfileRow>& profiles, DefaultNamed defaultNamed = DefaultNamed::byVista) {
    SignOutAll();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, PROFILE_LIST_PATH);
    std::filesystem::remove_all(m_drive.Local() / "Users");
    m_profiles = profiles;
    const HivePrivileges privileges;
    for (const ProfileRow& row : m_profiles) {
      std::filesystem::create_directories(m_drive.Local() / "Users" / row.folder);
      WriteHive(row);
      if (*row.sid) SetFolder(CString(PROFILE_LIST_PATH) + "\\" + row.sid, "ProfileImagePath", row.folder);
    }
    m_builtHiveFiles = HiveFiles();
    for (const ProfileRow& row : m_profiles)
      if (row.signedIn) SignIn(row);
    if (defaultNamed == DefaultNamed::byVista) {
      SetFolder(PROFILE_LIST_PATH, "Default", "Default");
    } else {
      SetFolder(PROFILE_LIST_PATH, "ProfilesDirectory", "");
      SetValue(HKEY_LOCAL_MACHINE, PROFILE_LIST_PATH, "DefaultUserProfile", Sz("Default"));
    }
  }

  // Every setting as held: the hosts file's bytes, the file of each hive
  // not loaded, the list of each one loaded.
  Snapshot Now() const {
    Snapshot now{{"hosts", HostsIfAny().value_or("(none)")}};
    for (const ProfileRow& row : m_profiles) {
      if (IsSignedIn(row)) {
        const auto value = Value(HKEY_USERS, std::string(row.sid) + "\\" + kProxyKey, kProxyName, true);
        now[row.folder] = value ? value->bytes : "(none)";
      } else {
        now[row.folder] = testfiles::ReadBytes(HivePath(row));
      }
    }
    return now;
  }

  // Each profile's hive file's bytes; those of users signed in may lag
  // behind their hive until they sign out.
  Snapshot HiveFiles() const {
    Snapshot files;
    for (const ProfileRow& row : m_profiles) files[row.folder] = testfiles::ReadBytes(HivePath(row));
    return files;
  }
  // As Build wrote them.
  const Snapshot& BuiltHiveFiles() const { return m_builtHiveFiles; }

  // Each profile's list as text; a hive not loaded is loaded to read it.
  std::map<std::string, std::string> Lists() {
    std::map<std::string, std::string> lists;
    for (const ProfileRow& row : m_profiles) {
      const auto value = InHive(row, kProxyKey, kProxyName.c_str());
      lists[row.folder] = value ? value->bytes.substr(0, value->bytes.find('\0')) : "(none)";
    }
    return lists;
  }

  // `work` on the key of the profile's hive (its name under HKEY_USERS); a
  // hive not loaded is loaded for it.
  template <typename Work>
  auto AtHive(const ProfileRow& row, Work work) {
    const HivePrivileges privileges;
    const bool loadHere = !IsSignedIn(row);
    if (loadHere) RegLoadKeyA(HKEY_USERS, kScratch, HivePath(row));
    auto result = work(std::string(loadHere ? kScratch : row.sid));
    if (loadHere) RegUnLoadKeyA(HKEY_USERS, kScratch);
    return result;
  }
  // A value under `key` (below the hive's root) of the profile's hive, as
  // held; a hive not loaded is loaded for it.
  std::optional<Stored> InHive(const ProfileRow& row, const std::string& key, const char* name) {
    return AtHive(row, [&](const std::string& root) { return Value(HKEY_USERS, root + "\\" + key, name); });
  }
  void SetInHive(const ProfileRow& row, const std::string& key, const char* name, const std::optional<Stored>& value) {
    AtHive(row, [&](const std::string& root) {
      SetValue(HKEY_USERS, root + "\\" + key, name, value);
      return 0;
    });
  }

  // The name a run gives the profile's list: by the user's key while they
  // are signed in, else by the hive file.
  CString ListName(const ProfileRow& row, const char* value = PROXY_OVERRIDE_PATH) const {
    return (IsSignedIn(row) ? "HKEY_USERS\\" + CString(row.sid) : HivePath(row)) + "\\" + value;
  }
  CString HivePath(const ProfileRow& row) const {
    return CString(ProfileFolder(row) + (row.mandatory ? "\\NTUSER.MAN" : "\\NTUSER.DAT"));
  }
  const ProfileRow& Row(const char* folder) const {
    return *std::find_if(m_profiles.begin(), m_profiles.end(),
                         [&](const ProfileRow& row) { return std::string(row.folder) == folder; });
  }

  // Loads the hive as the system does at logon.
  void SignIn(const ProfileRow& row) {
    const HivePrivileges privileges;
    ASSERT_EQ(RegLoadKeyA(HKEY_USERS, row.sid, HivePath(row)), ERROR_SUCCESS) << row.folder;
    m_signedIn.emplace_back(row.sid);
  }
  void SignOutAll() {
    const HivePrivileges privileges;
    for (const std::string& sid : m_signedIn) EXPECT_EQ(RegUnLoadKeyA(HKEY_USERS, sid.c_str()), ERROR_SUCCESS) << sid;
    m_signedIn.clear();
  }

  // A hive loaded for a test's own look or change.
  static constexpr const char* kScratch = "NetSetupTest";

 private:
  bool IsSignedIn(const ProfileRow& row) const {
    return std::find(m_signedIn.begin(), m_signedIn.end(), row.sid) != m_signedIn.end();
  }
  // As the system names it: the drive, then "\Users\" and the folder.
  std::string ProfileFolder(const ProfileRow& row) const { return m_drive.Local().string() + "\\Users\\" + row.folder; }

  void WriteHive(const ProfileRow& row) {
    ASSERT_EQ(RegLoadKeyA(HKEY_USERS, kScratch, HivePath(row)), ERROR_SUCCESS) << row.folder;
    SetValue(HKEY_USERS, std::string(kScratch) + "\\" + kProxyKey, kProxyName, Sz(row.list));
    ASSERT_EQ(RegUnLoadKeyA(HKEY_USERS, kScratch), ERROR_SUCCESS) << row.folder;
  }

  // A profile's folder as the system stores it: REG_EXPAND_SZ, from
  // %SystemDrive% on; no `folder`: the one that holds every profile.
  static void SetFolder(const CString& key, const char* name, const std::string& folder) {
    const std::string path = "%SystemDrive%\\Users" + (folder.empty() ? "" : "\\" + folder);
    SetValue(HKEY_LOCAL_MACHINE, key.GetString(), name, Stored{REG_EXPAND_SZ, path + '\0'});
  }

  TempFolder m_drive;  // stands for %SystemDrive%
  std::vector<ProfileRow> m_profiles;
  std::vector<std::string> m_signedIn;
  Snapshot m_builtHiveFiles;
};

#endif
