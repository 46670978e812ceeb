// A profile's registry hive, reached under HKEY_USERS: the one the system
// loaded when its user signed in, or else its file, loaded for the run.
#pragma once

#include "CString.h"
#include "ProxyListKey.h"
#include "UserProfiles.h"

// Under HKEY_USERS, the keys the tool loads hive files at begin so: no SID
// does. A run that ends holds none.
inline constexpr char kHiveKeyPrefix[] = "OrvaneSetup.";

// Unloads the hive at HKEY_USERS\`key`, tried again for a moment while
// another program still holds a key in it: the system's error when it
// stays loaded. Needs the HivePrivileges.
LONG UnloadHive(const CString& key);

// The user's hive is loaded under HKEY_USERS\`sid`: they are signed in, or a
// program of theirs runs. Raises CRegistryException when it cannot be told.
// A key the run may not open is there all the same.
bool IsHiveLoaded(const CString& sid);

class ProfileHive {
 public:
  // The hive under HKEY_USERS\<SID> while its user is signed in; else the
  // profile's NTUSER.DAT, loaded under a key named for this process and
  // `number` (unique within the run; never a SID's name). Needs the
  // HivePrivileges to load. Raises CFileException naming the file when it
  // cannot be loaded (missing, or held by another program: a sharing
  // violation), CRegistryException when the user's key cannot be told.
  ProfileHive(const UserProfile& profile, int number);
  ProfileHive(const ProfileHive&) = delete;
  ProfileHive& operator=(const ProfileHive&) = delete;
  // Unloads a hive loaded here, whatever that comes to.
  ~ProfileHive() { Unload(); }

  // The proxy exception list in it; a hive loaded here is named by its file.
  ProxyListKey ProxyList() const;
  const CString& GetHivePath() const { return m_hivePath; }

  // Unloads a hive loaded here, once, every handle into it closed by then:
  // tried again for a moment while another program still holds a key in
  // it. The system's error when it stays loaded; ERROR_SUCCESS when it is
  // unloaded, was not loaded here, or was unloaded already.
  LONG Unload();

 private:
  CString m_hivePath;
  CString m_key;          // under HKEY_USERS
  bool m_loaded = false;  // here, for the run
  bool m_unloadDue = false;
};
