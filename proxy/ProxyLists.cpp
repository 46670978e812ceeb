#include "ProxyLists.h"

#include "ProxyExceptionList.h"
#include "ProxyPolicy.h"
#include "UserProfiles.h"

void ProxyLists::Reach(Users users) {
  if (users == Users::desktop || ProxySettingsPerMachine()) {
    m_values.push_back(ProxyOverride());
    return;
  }
  const std::vector<UserProfile> profiles = UserProfiles();
  m_privileges.emplace();
  for (const UserProfile& profile : profiles) {
    if (profile.mandatory) {
      m_leftAlone.push_back(profile.hivePath);
      continue;
    }
    m_hives.push_back(std::make_unique<ProfileHive>(profile, static_cast<int>(m_hives.size())));
    m_values.push_back(m_hives.back()->ProxyOverride());
  }
}

std::vector<CFileException> ProxyLists::Release() {
  std::vector<CFileException> stayed;
  for (auto hive = m_hives.rbegin(); hive != m_hives.rend(); ++hive)
    if (const LONG error = (*hive)->Unload(); error != ERROR_SUCCESS)
      stayed.emplace_back(CFileException::OsErrorToCause(error), error, (*hive)->GetHivePath());
  m_hives.clear();
  m_privileges.reset();
  return stayed;
}
