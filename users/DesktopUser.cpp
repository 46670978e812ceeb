#include "DesktopUser.h"

#include <windows.h>
// After windows.h, which they build on.
#include <sddl.h>
#include <wtsapi32.h>

#include <string>
#include <vector>

#include "Accounts.h"
#include "Handle.h"
#include "SystemImports.h"
#include "SystemLibrary.h"

namespace {

CString AccountSid(const CString& account) {
  DWORD sidSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use{};
  LookupAccountNameA(nullptr, account, nullptr, &sidSize, nullptr, &domainSize, &use);
  if (sidSize == 0) return {};
  std::vector<BYTE> sid(sidSize);
  std::string domain(domainSize, '\0');
  if (!LookupAccountNameA(nullptr, account, sid.data(), &sidSize, domain.data(), &domainSize, &use)) return {};
  return SidText(sid.data());
}

// The user signed in to this process's session, by name and then by SID:
// where the shell's token is closed to the process (it belongs to another
// user). Nothing where the library or a name is missing.
CString SessionUserSid() {
  const SystemLibrary wtsapi32(imports::kWtsapi32);
  const auto query = imports::WTSQuerySessionInformationA(wtsapi32.Module());
  const auto release = imports::WTSFreeMemory(wtsapi32.Module());
  const auto part = [&](WTS_INFO_CLASS kind) {
    LPSTR text = nullptr;
    DWORD size = 0;
    if (!query(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, kind, &text, &size)) return CString();
    CString value(text);
    release(text);
    return value;
  };
  if (query == nullptr || release == nullptr) return {};
  const CString user = part(WTSUserName);
  const CString domain = part(WTSDomainName);
  if (user.IsEmpty()) return {};
  return AccountSid(domain.IsEmpty() ? user : domain + "\\" + user);
}

// The shell's process: the limited right where the system has it (it is
// granted across users), the full one on systems before it.
UniqueObject OpenShellProcess(DWORD processId) {
  UniqueObject process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process.valid()) process.reset(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
  return process;
}

}  // namespace

std::optional<CString> OtherDesktopUserSid() {
  const HWND shell = GetShellWindow();
  DWORD processId = 0;
  if (shell == nullptr || GetWindowThreadProcessId(shell, &processId) == 0) return std::nullopt;
  const UniqueObject process = OpenShellProcess(processId);
  CString desktopUser = process.valid() ? TokenUserSid(process.get()) : CString();
  if (desktopUser.IsEmpty()) desktopUser = SessionUserSid();
  const CString ownUser = ProcessUserSid();
  if (desktopUser.IsEmpty() || ownUser.IsEmpty() || desktopUser == ownUser) return std::nullopt;
  return desktopUser;
}

bool IsServiceAccount(const CString& sid) { return sid == "S-1-5-18" || sid == "S-1-5-19" || sid == "S-1-5-20"; }
