// The proxy exception lists a run covers, each reached only while it is
// worked on: a profile's hive is loaded for the moment its list is read or
// written, and unloaded at once, so that its user can sign in meanwhile.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "ProxyListKey.h"
#include "RegStringValue.h"
#include "UserProfiles.h"

// Whose lists: the desktop user's (ProxyOverride), or every user's.
enum class Users { desktop, all };

// The list in force for the desktop: the machine's where the per-machine
// policy is on (ProxyPolicy.h), in this build's registry view; else that of
// the user signed in at the desktop, under HKEY_CURRENT_USER when that is
// the process's own user, else in their hive under HKEY_USERS. Raises
// CRegistryException (serviceAccount) when it would be the list of a service
// account that nobody is signed in with, and when the policy cannot be read.
ProxyListKey ProxyListInForce();
// Its text value.
inline CRegStringValue ProxyOverride() { return ProxyListInForce().Text(); }

// One list a run covers.
class CoveredList {
 public:
  // A list at hand: the desktop user's, the machine's.
  explicit CoveredList(ProxyListKey key) : m_key(std::move(key)), m_name(m_key->Text().GetName()) {}
  // A profile's; `number` tells its key apart from the others' under
  // HKEY_USERS.
  CoveredList(UserProfile profile, int number);

  // What the report and the log name it by: its text value's full name; in
  // a hive file loaded for the run, the file's.
  const CString& Name() const { return m_name; }
  // A profile's hive file; empty for a value at hand.
  CString HivePath() const { return m_profile ? m_profile->hivePath : CString(); }

  // Runs `work` on the list; a profile's hive, unless its user is signed
  // in (then it is found under the SID), loaded only meanwhile. Raises
  // CFileException naming the hive file when it cannot be loaded, and what
  // `work` raises. The system's error when the hive stays loaded after it;
  // else ERROR_SUCCESS. Needs the HivePrivileges held for a profile's.
  LONG WorkOn(const std::function<void(const ProxyListKey&)>& work) const;

  // Where the list is, as text that a later run finds it again by.
  CString Address() const;
  // The list at `address`; nothing when the text is no address.
  static std::optional<CoveredList> At(const CString& address);

 private:
  std::optional<ProxyListKey> m_key;
  std::optional<UserProfile> m_profile;
  int m_number = 0;
  CString m_name;
};

struct CoveredLists {
  std::vector<CoveredList> lists;
  // Every user's profiles: a list refused or out of reach is left as it is,
  // and the run goes on with the others. Else all of them or none.
  bool eachOnItsOwn = false;
  // Left alone: mandatory profiles' hive files, as a session's change to
  // them lasts only until it ends; and entries with no profile on disk.
  std::vector<CString> mandatory;
  std::vector<CString> notOnDisk;
};

// Under the per-machine policy the machine's lists, whoever the users.
// Else the desktop user's, or the list of each profile the system lists
// (UserProfiles). Raises CRegistryException when the policy or the profile
// list cannot be read.
CoveredLists ListsOf(Users users);
