#include "RunFacts.h"

#include <sddl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Accounts.h"
#include "Handle.h"
#include "SystemImports.h"

namespace {

constexpr DWORD kVersionSignature = 0xFEEF04BD;  // of VS_FIXEDFILEINFO

CString Format(const char* format, auto... values) {
  char text[64];
  const int length = std::snprintf(text, sizeof text, format, values...);
  return CString(text, length > 0 ? length : 0);
}

// Windows Vista and later keep every user out of session 0: only services
// run there, and a start-up script, whatever its window station says.
bool InServicesSession() {
  const auto sessionOf = imports::ProcessIdToSessionId();
  DWORD session = 1;
  const bool isolated = (GetVersion() & 0xFF) >= 6;
  return isolated && sessionOf && sessionOf(GetCurrentProcessId(), &session) && session == 0;
}

ULONGLONG Ticks(const FILETIME& time) { return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

}  // namespace

CString LocalTimeText() {
  FILETIME utc{};
  GetSystemTimeAsFileTime(&utc);
  FILETIME local{};
  FileTimeToLocalFileTime(&utc, &local);
  SYSTEMTIME at{};
  FileTimeToSystemTime(&local, &at);
  constexpr LONGLONG kTicksPerMinute = 600000000;
  const auto minutes =
      static_cast<long>((static_cast<LONGLONG>(Ticks(local)) - static_cast<LONGLONG>(Ticks(utc))) / kTicksPerMinute);
  const long offset = minutes < 0 ? -minutes : minutes;
  return Format("%04u-%02u-%02uT%02u:%02u:%02u%c%02ld:%02ld", at.wYear, at.wMonth, at.wDay, at.wHour, at.wMinute,
                at.wSecond, minutes < 0 ? '-' : '+', offset / 60, offset % 60);
}

CString ProcessAccount() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  const UniqueObject owner(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
  const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  char name[256] = {};
  char domain[256] = {};
  DWORD nameSize = sizeof name;
  DWORD domainSize = sizeof domain;
  SID_NAME_USE use{};
  CString account;
  if (LookupAccountSidA(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
    account = (domain[0] ? CString(domain) + "\\" : CString()) + name + " ";
  if (const CString text = SidText(sid); !text.IsEmpty()) account += "(" + text + ")";
  return account;
}

CString ModuleVersion(HINSTANCE module) {
  const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));  // RT_VERSION
  const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  const DWORD size = found ? SizeofResource(module, found) : 0;
  for (DWORD at = 0; bytes && at + 4 * sizeof(DWORD) <= size; at += sizeof(DWORD)) {
    DWORD field[4];
    std::memcpy(field, bytes + at, sizeof field);
    if (field[0] != kVersionSignature) continue;
    // Signature, structure version, then the file version's high and low halves.
    return Format("%lu.%lu.%lu.%lu", field[2] >> 16, field[2] & 0xFFFF, field[3] >> 16, field[3] & 0xFFFF);
  }
  return {};
}

const char* Architecture() {
#ifdef _WIN64
  return "x64";
#else
  return "x86";
#endif
}

bool OnInteractiveStation() {
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  // A station that cannot be asked is taken to be seen, as before.
  if (!GetUserObjectInformationA(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags, &needed)) return true;
  return (flags.dwFlags & WSF_VISIBLE) != 0 && !InServicesSession();
}
