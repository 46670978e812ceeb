#include "ProxyLists.h"

#include <charconv>
#include <string>

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
  bool signedIn = false;
  // Told, if it cannot be, when the list is reached: on its own.
  try {
    signedIn = !m_profile->sid.IsEmpty() && IsHiveLoaded(m_profile->sid);
  } catch (const CRegistryException&) {
  }
  m_name = signedIn ? CRegStringValue(HKEY_USERS, m_profile->sid + "\\" + PROXY_OVERRIDE_PATH).GetName()
                    : m_profile->hivePath + "\\" + PROXY_OVERRIDE_PATH;
}

LONG CoveredList::WorkOn(const std::function<void(const ProxyListKey&)>& work) const {
  if (m_key) {
    work(*m_key);
    return ERROR_SUCCESS;
  }
  ProfileHive hive(*m_profile, m_number);
  work(hive.ProxyList());
  return hive.Unload();
}

namespace {

constexpr char kKeyAddress[] = "key";
constexpr char kProfileAddress[] = "profile";

HKEY RootNamed(const CString& name) {
  for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS})
    if (RegValueName(root, "", "") == name + "\\") return root;
  return nullptr;
}

std::vector<CString> Fields(const CString& text) {
  std::vector<CString> fields;
  int start = 0;
  for (int tab; (tab = text.Find('\t', start)) >= 0; start = tab + 1) fields.push_back(text.Mid(start, tab - start));
  fields.push_back(text.Mid(start));
  return fields;
}

}  // namespace

CString CoveredList::Address() const {
  if (m_profile) return CString(kProfileAddress) + "\t" + m_profile->sid + "\t" + m_profile->hivePath;
  const CString root = RegValueName(m_key->Root(), "", "");
  return CString(kKeyAddress) + "\t" + root.Left(root.GetLength() - 1) + "\t" + m_key->Path() + "\t" +
         m_key->ShownAs() + "\t" + std::to_string(m_key->View()).c_str();
}

std::optional<CoveredList> CoveredList::At(const CString& address) {
  const std::vector<CString> fields = Fields(address);
  if (fields.size() == 3 && fields[0] == kProfileAddress) return CoveredList(UserProfile{fields[1], fields[2]}, 0);
  REGSAM view = 0;
  const std::string_view number = fields.size() == 5 ? fields[4].View() : std::string_view();
  if (fields.size() != 5 || fields[0] != kKeyAddress || !RootNamed(fields[1]) ||
      std::from_chars(number.data(), number.data() + number.size(), view).ptr != number.data() + number.size())
    return std::nullopt;
  return CoveredList(ProxyListKey(RootNamed(fields[1]), fields[2], fields[3], view));
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
