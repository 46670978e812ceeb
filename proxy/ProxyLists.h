// The proxy exception lists a run covers, and what keeps them within reach
// for as long as it works on them.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "FileException.h"
#include "HivePrivileges.h"
#include "ProfileHive.h"
#include "RegStringValue.h"

// Whose lists: the desktop user's (ProxyOverride), or every user's.
enum class Users { desktop, all };

class ProxyLists {
 public:
  ProxyLists() = default;
  ProxyLists(const ProxyLists&) = delete;
  ProxyLists& operator=(const ProxyLists&) = delete;

  // Under the per-machine policy the machine's list alone, whoever the
  // users. Else the desktop user's, or the list of each profile the system
  // lists (UserProfiles), a hive loaded for the run where its user is not
  // signed in; a mandatory profile is left alone, as a session's change to
  // it lasts only until the session ends. Raises CFileException naming a
  // hive file that cannot be loaded, CRegistryException naming what cannot
  // be read; the hives loaded by then stay loaded until Release.
  void Reach(Users users);
  const std::vector<CRegStringValue>& Values() const { return m_values; }
  // The hive files of the mandatory profiles left alone.
  const std::vector<CString>& LeftAlone() const { return m_leftAlone; }

  // Unloads the hives loaded for the run: a failure for each hive file that
  // stays loaded, with the system's error.
  std::vector<CFileException> Release();

 private:
  std::optional<HivePrivileges> m_privileges;
  std::vector<std::unique_ptr<ProfileHive>> m_hives;
  std::vector<CRegStringValue> m_values;
  std::vector<CString> m_leftAlone;
};
