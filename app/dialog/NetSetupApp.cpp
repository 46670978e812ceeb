#include "NetSetupApp.h"

#include <cstdlib>

#include "CommandLine.h"
#include "CommandLineReport.h"
#include "ErrorReport.h"
#include "HelpFile.h"
#include "NetSetupDlg.h"
#include "RunFacts.h"
#include "RunRecordWriter.h"
#include "resource.h"

CNetSetupApp theApp;

BOOL CNetSetupApp::InitInstance() {
  const Invocation invocation = ParseArguments(__argc, __argv);
  RunRecord record;
  record.scope = invocation.scope;
  record.users = invocation.users;
  bool logged = true;
  CString logPath = invocation.logPath;
  if (!invocation.badArgument.IsEmpty()) {
    TellBadArgument(invocation.badArgument, record);
  } else if (!logPath.IsEmpty() && !LogUsable(invocation, record)) {
    logPath = CString();
  } else if (invocation.verb == Invocation::Verb::dialog) {
    logged = RunDialog(record);
  } else {
    RunCommandLine(invocation, record);
  }
  m_exitStatus = record.status;
  if (logged) WriteRunRecord(logPath, record);
  return FALSE;
}

bool CNetSetupApp::RunDialog(RunRecord& record) {
  record.verb = "dialog";
  // Nobody would see it, and it would wait for them until killed: the
  // deployment that started it learns so from the log.
  if (!OnInteractiveStation()) {
    record.status = kExitNoDesktop;
    return true;
  }
  // Three-dimensional controls need no set-up: every system this runs on
  // draws dialog controls that way itself.
  CNetSetupDlg dlg;
  m_pMainWnd = &dlg;
  const bool shown = dlg.DoModal() != -1;
  m_pMainWnd = nullptr;
  if (const auto& action = dlg.ActionTried()) record.verb += *action == Action::set ? " set" : " remove";
  record.outcomes = dlg.GetOutcomes();
  if (dlg.ActionCompleted()) {
    record.status = kExitCompleted;
    record.message = LoadResourceString(*dlg.ActionTried() == Action::set ? IDS_SET_DONE : IDS_REMOVE_DONE);
  } else if (const auto& failure = dlg.GetFailure()) {
    record.failure = failure;
    record.status = RowOf(*failure).status;
    record.message = ReportOf(*failure).text;
  } else {
    record.status = shown ? kExitNothingChanged : kExitFailed;
  }
  // Only an action pressed writes anything.
  return dlg.ActionTried().has_value();
}

bool CNetSetupApp::MayOpenHelp() const { return MayOpenHelpFile(m_strHelpFilePath); }
