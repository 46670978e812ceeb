#include "DesktopUser.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <sddl.h>

#include <vector>

#include "Handle.h"

namespace {

// The text form of the SID of the token's user; empty when it cannot be had.
CString TokenUserSid(HANDLE process) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return {};
  const UniqueFile owner(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
  LPSTR text = nullptr;
  if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return {};
  CString sid(text);
  LocalFree(text);
  return sid;
}

// The shell's process: the limited right where the system has it (it is
// granted across users), the full one on systems before it.
HANDLE OpenShellProcess(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  return process ? process : OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
}

}  // namespace

std::optional<CString> OtherDesktopUserSid() {
  const HWND shell = GetShellWindow();
  DWORD processId = 0;
  if (shell == nullptr || GetWindowThreadProcessId(shell, &processId) == 0) return std::nullopt;
  const HANDLE process = OpenShellProcess(processId);
  if (process == nullptr) return std::nullopt;
  const UniqueFile owner(process);
  const CString desktopUser = TokenUserSid(process);
  const CString ownUser = TokenUserSid(GetCurrentProcess());
  if (desktopUser.IsEmpty() || ownUser.IsEmpty() || desktopUser == ownUser) return std::nullopt;
  return desktopUser;
}
