#include "Journal.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <sddl.h>

#include <vector>

#include "DesktopUser.h"
#include "EventLog.h"
#include "RunFacts.h"
#include "WinApp.h"
#include "resource.h"

namespace {

// A folder name without any letter a code page could change.
constexpr char kFolderName[] = "\\Orvane";
constexpr char kLogName[] = "\\OrvaneSetup.log";
constexpr DWORD kEventBase = 1000;
// SYSTEM and the administrators may do anything, users read: a process with
// every right writes here, so nobody else may place a file or a link in it.
constexpr char kFolderAccess[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;BU)";

CString OwnerSid(const CString& path) {
  DWORD size = 0;
  GetFileSecurityA(path, OWNER_SECURITY_INFORMATION, nullptr, 0, &size);
  std::vector<BYTE> descriptor(size);
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  LPSTR text = nullptr;
  if (size == 0 || !GetFileSecurityA(path, OWNER_SECURITY_INFORMATION, descriptor.data(), size, &size) ||
      !GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted) || owner == nullptr ||
      !ConvertSidToStringSidA(owner, &text))
    return {};
  CString sid = text;
  LocalFree(text);
  return sid;
}

// The tool's folder, made as above; empty when it cannot be had, or when it
// was there already and is not SYSTEM's, the administrators' or this
// account's (an administrator's: the tool runs as no other).
CString ToolFolder() {
  const CString common = CommonAppDataFolder();
  if (common.IsEmpty()) return {};
  CString folder = common + kFolderName;
  PSECURITY_DESCRIPTOR access = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kFolderAccess, SDDL_REVISION_1, &access, nullptr))
    return {};
  SECURITY_ATTRIBUTES attributes{sizeof attributes, access, FALSE};
  const bool made = CreateDirectoryA(folder, &attributes) != FALSE;
  LocalFree(access);
  if (made) return folder;
  const CString owner = OwnerSid(folder);
  const bool trusted =
      owner == "S-1-5-18" || owner == "S-1-5-32-544" || (!owner.IsEmpty() && owner == ProcessUserSid());
  return trusted ? folder : CString();
}

WORD EventType(ExitStatus status) {
  switch (status) {
    case kExitCompleted:
    case kExitNothingChanged: return EVENTLOG_INFORMATION_TYPE;
    case kExitFailed:
    case kExitCannotTell: return EVENTLOG_ERROR_TYPE;
    default: return EVENTLOG_WARNING_TYPE;
  }
}

}  // namespace

CString UsualLogPath() {
  const CString folder = ToolFolder();
  return folder.IsEmpty() ? CString() : folder + kLogName;
}

void Journal(const CString& logPath, RunRecord& record) {
  record.time = LocalTimeText();
  record.version = ModuleVersion(AfxGetResourceHandle());
  record.architecture = Architecture();
  record.account = ProcessAccount();
  const CString line = LogLine(record);
  const CString folder = ToolFolder();
  const CString path = !logPath.IsEmpty() ? logPath : folder.IsEmpty() ? CString() : folder + kLogName;
  if (!path.IsEmpty()) AppendToLog(path, line);
  if (!folder.IsEmpty()) InstallEventSource(folder, AfxGetResourceHandle(), IDR_EVENT_MESSAGES);
  ReportToEventLog(EventType(record.status), kEventBase + static_cast<DWORD>(record.status), line);
}
