#include "RunRecordWriter.h"

#include "ActionLock.h"
#include "EventLog.h"
#include "RunFacts.h"
#include "ToolFolder.h"
#include "WinApp.h"
#include "resource.h"

namespace {

constexpr char kLogName[] = "OrvaneSetup.log";
constexpr DWORD kEventBase = 1000;

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

void WriteRunRecord(const CString& logPath, RunRecord& record) {
  record.time = LocalTimeText();
  record.version = ModuleVersion(AfxGetResourceHandle());
  record.architecture = Architecture();
  record.account = ProcessAccount();
  const CString line = LogLine(record);
  // What the event tells first: what this run could not write.
  CString notes;
  const ToolFolder tool(true);
  if (!tool.Trusted()) notes += LogField("folder", tool.Path() + ": " + tool.Why());
  CString name = kLogName;
  // A log the administrator named is where their path leads.
  const CFolder named = logPath.IsEmpty() ? CFolder() : CFolder::OfFile(logPath, name);
  const CFolder& folder = logPath.IsEmpty() ? tool.Folder() : named;
  if (folder.IsOpen()) {
    // Renamed only while no other run is at it.
    const ActionLock lock{ActionLock::NoWait{}};
    const OpenLog log = AppendToLog(folder, name, line, lock.Held());
    if (log.refusal != LogRefusal::none)
      notes += LogField("log", folder.Path() + "\\" + name + ": " + LogRefusalName(log.refusal));
  }
  const CString event = notes.IsEmpty() ? line : notes.Mid(1) + "\t" + line;
  InstallEventSource(tool.Trusted() ? &tool.Folder() : nullptr, AfxGetResourceHandle(), IDR_EVENT_MESSAGES);
  ReportToEventLog(EventType(record.status), kEventBase + static_cast<DWORD>(record.status), EventText(event));
}
