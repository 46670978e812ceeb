#include "Accounts.h"

// After windows.h, which it builds on.
#include <sddl.h>

#include <vector>

#include "Handle.h"

CString SidText(PSID sid) {
  UniqueLocal<LPSTR> text;
  if (sid == nullptr || !ConvertSidToStringSidA(sid, text.put())) return {};
  return text.get();
}

CString TokenUserSid(HANDLE process) {
  UniqueObject token;
  if (!OpenProcessToken(process, TOKEN_QUERY, token.put())) return {};
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
  return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

CString ProcessUserSid() { return TokenUserSid(GetCurrentProcess()); }
