#include "Trust.h"

#include "Handle.h"

// After windows.h, which it builds on.
#include <aclapi.h>

#include "Accounts.h"
#include "CString.h"

namespace {

// Who may own and change it besides the run's own account.
constexpr const char* kTrustedOwners[] = {
    "S-1-5-18",                                                        // SYSTEM
    "S-1-5-32-544",                                                    // Administrators
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",  // TrustedInstaller
};
// Entries that stand for the owner, whoever that is: what it hands on to a
// file made inside goes to that file's maker, a trusted account.
constexpr const char* kOwnerAliases[] = {"S-1-3-0", "S-1-3-4"};  // CREATOR OWNER, OWNER RIGHTS

// To write or append in it (for a folder: to make a file or a folder in it),
// to delete it or what is in it, or to make its access list or its owner
// one's own.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                      WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

bool IsAmong(const CString& sid, const auto& list) {
  for (const char* known : list)
    if (sid == known) return true;
  return false;
}

bool IsTrustedAccount(const CString& sid, const CString& self) {
  return !sid.IsEmpty() && (sid == self || IsAmong(sid, kTrustedOwners));
}

// Every entry that allows a change allows it to a trusted account; entries
// of a kind not known here are not trusted. No list at all lets everyone in.
bool OnlyTrustedMayChange(PACL list, const CString& self) {
  if (list == nullptr) return false;
  for (DWORD index = 0; index < list->AceCount; ++index) {
    void* entry = nullptr;
    if (!GetAce(list, index, &entry)) return false;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    if ((allowed->Mask & kChangeRights) == 0) continue;
    const CString sid = SidText(const_cast<DWORD*>(&allowed->SidStart));
    if (!IsTrustedAccount(sid, self) && !IsAmong(sid, kOwnerAliases)) return false;
  }
  return true;
}

}  // namespace

Distrust TrustOf(HANDLE object, bool alsoAccess) {
  PSID owner = nullptr;
  PACL list = nullptr;
  UniqueLocal<PSECURITY_DESCRIPTOR> descriptor;
  const SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | (alsoAccess ? DACL_SECURITY_INFORMATION : 0);
  if (GetSecurityInfo(object, SE_FILE_OBJECT, wanted, &owner, nullptr, &list, nullptr, descriptor.put()) !=
      ERROR_SUCCESS)
    return Distrust::unreadable;
  const CString self = ProcessUserSid();
  if (!IsTrustedAccount(SidText(owner), self)) return Distrust::owner;
  if (alsoAccess && !OnlyTrustedMayChange(list, self)) return Distrust::access;
  return Distrust::none;
}

const char* DistrustName(Distrust distrust) {
  switch (distrust) {
    case Distrust::unreadable: return "security not readable";
    case Distrust::owner: return "owner";
    case Distrust::access: return "access list";
    default: return "trusted";
  }
}
