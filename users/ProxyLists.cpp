#include "ProxyLists.h"

#include "DesktopUser.h"
#include "FileException.h"
#include "ProfileHive.h"
#include "ProxyExceptionList.h"
#include "ProxyPolicy.h"

ProxyListKey ProxyListInForce() {
  if (ProxySettingsPerMachine()) return MachineProxyLists().front();
  // The first component, the user's hive, is only opened: one that is not
  // loaded is a value that cannot be read.
  if (const auto sid = OtherDesktopUserSid()) return ProxyListKey(HKEY_USERS, *sid + "\\" + INTERNET_SETTINGS_PATH);
  // Nobody at the desktop, and a service's own list: changing it would
  // change nothing that a user's browser reads.
  if (const CString own = ProcessUserSid(); IsServiceAccount(own))
    throw CRegistryException(CRegistryException::serviceAccount, 0,
                             CRegStringValue(HKEY_USERS, own + "\\" + PROXY_OVERRIDE_PATH).GetName());
  return ProxyListKey(HKEY_CURRENT_USER, INTERNET_SETTINGS_PATH);
}

CoveredList::CoveredList(UserProfile profile, int number) : m_profile(std::move(profile)), m_number(number) {
  const bool signedIn = !m_profile->sid.IsEmpty() && IsHiveLoaded(m_profile->sid);
  m_name = signedIn ? CRegStringValue(HKEY_USERS, m_profile->sid + "\\" + PROXY_OVERRIDE_PATH).GetName()
                    : m_profile->hivePath + "\\" + PROXY_OVERRIDE_PATH;
}

LONG CoveredList::Reach(const std::function<void(const ProxyListKey&)>& work) const {
  if (m_key) {
    work(*m_key);
    return ERROR_SUCCESS;
  }
  ProfileHive hive(*m_profile, m_number);
  work(hive.ProxyList());
  return hive.Unload();
}

CoveredLists ListsOf(Users users) {
  CoveredLists covered;
  if (ProxySettingsPerMachine()) {
    for (ProxyListKey& key : MachineProxyLists()) covered.lists.emplace_back(std::move(key));
  } else if (users == Users::desktop) {
    covered.lists.emplace_back(ProxyListInForce());
  } else {
    covered.eachOnItsOwn = true;
    for (UserProfile& profile : UserProfiles()) {
      if (profile.kind == UserProfile::Kind::mandatory)
        covered.mandatory.push_back(profile.hivePath);
      else if (profile.kind == UserProfile::Kind::notOnDisk)
        covered.notOnDisk.push_back(profile.entry);
      else
        covered.lists.emplace_back(std::move(profile), static_cast<int>(covered.lists.size()));
    }
  }
  return covered;
}
