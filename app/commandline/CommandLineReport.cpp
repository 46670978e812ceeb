#include "CommandLineReport.h"

#include "Console.h"
#include "Dialog.h"
#include "ErrorReport.h"
#include "FileException.h"
#include "RunFacts.h"
#include "WinApp.h"
#include "resource.h"

#include <string>
#include <utility>

namespace {

// `text` with "%1" and "%2" replaced by `first` and `second`.
CString Fill(UINT id, const CString& first, const CString& second = CString()) {
  std::string text(LoadResourceString(id).View());
  for (const auto& [mark, value] : {std::pair{"%1", &first}, std::pair{"%2", &second}})
    if (const size_t at = text.find(mark); at != std::string::npos) text.replace(at, 2, value->View());
  return CString(std::move(text));
}

CString Usage() { return Fill(IDS_USAGE, AfxGetApp()->m_strAppName); }

const char* VerbName(Invocation::Verb verb) {
  switch (verb) {
    case Invocation::Verb::dialog: return "dialog";
    case Invocation::Verb::set: return "set";
    case Invocation::Verb::remove: return "remove";
    case Invocation::Verb::check: return "check";
    case Invocation::Verb::detect: return "detect";
    case Invocation::Verb::undo: return "undo";
    case Invocation::Verb::forget: return "forget";
    default: return "usage";
  }
}

// Every setting in place on standard output; else each missing piece, a
// line each, on standard error.
CString TellCheck(const std::vector<Shortfall>& settings, bool boxes) {
  CString missing;
  const auto tell = [&](const CString& line) {
    PrintError(line);
    missing += (missing.IsEmpty() ? "" : "\r\n") + line;
  };
  for (const Shortfall& setting : settings) {
    if (setting.unjudged) tell(ReportOf(*setting.unjudged).text);
    for (const CString& piece : setting.missing) tell(Fill(IDS_CHECK_MISSING, setting.target, piece));
  }
  CString message = missing.IsEmpty() ? LoadResourceString(IDS_CHECK_IN_PLACE) : missing;
  if (missing.IsEmpty()) PrintOut(message);
  if (boxes) AfxMessageBox(message);
  return message;
}

// Each setting the action wrote or found as it leaves it, a line each on
// standard output: the value it used (the machine's under the per-machine
// policy) or each profile's, and whether it changed; on standard error why
// a list was left as it was, or a hive stayed loaded. What it left alone
// otherwise is in the log.
void TellTargets(const Outcomes& outcomes) {
  for (const Outcome& outcome : outcomes) {
    if (outcome.state == Outcome::changed) PrintOut(Fill(IDS_TARGET_CHANGED, outcome.target));
    if (outcome.state == Outcome::unchanged) PrintOut(Fill(IDS_TARGET_UNCHANGED, outcome.target));
    if (outcome.state == Outcome::putBack) PrintOut(Fill(IDS_TARGET_PUT_BACK, outcome.target));
    if (outcome.state == Outcome::notPutBack) PrintError(Fill(IDS_TARGET_LEFT, outcome.target));
    if (outcome.why) PrintError(ReportOf(*outcome.why).text);
  }
}

}  // namespace

void RunCommandLine(const Invocation& invocation, RunRecord& record) {
  record.verb = VerbName(invocation.verb);
  const bool boxes = !invocation.quiet && OnInteractiveStation();
  if (invocation.verb == Invocation::Verb::usage) {
    record.status = kExitCompleted;
    if (!PrintOut(Usage()) && boxes) AfxMessageBox(Usage(), MB_OK | MB_ICONINFORMATION);
    return;
  }
  VerbResult result = RunVerb(invocation, {ModuleVersion(AfxGetResourceHandle()), LocalTimeText()});
  record.status = result.status;
  record.outcomes = std::move(result.outcomes);
  record.shortfalls = std::move(result.shortfalls);
  record.failure = result.failure;
  if (result.failure) {
    const ErrorReport report = ReportOf(*result.failure);
    PrintError(report.text);
    if (boxes) ShowError(nullptr, report);
    record.message = report.text;
  } else if (invocation.verb == Invocation::Verb::check || invocation.verb == Invocation::Verb::detect) {
    record.message = TellCheck(record.shortfalls, boxes);
  } else if (invocation.verb == Invocation::Verb::undo || invocation.verb == Invocation::Verb::forget) {
    TellTargets(record.outcomes);
  } else {
    const UINT done = invocation.verb == Invocation::Verb::set ? IDS_SET_DONE : IDS_REMOVE_DONE;
    record.message = LoadResourceString(done);
    PrintOut(record.message);
    TellTargets(record.outcomes);
    if (boxes) AfxMessageBox(done);
  }
}

void TellBadArgument(const CString& argument, RunRecord& record) {
  record.verb = argument;
  record.status = kExitUsage;
  record.message = Fill(IDS_BAD_ARGUMENT, argument);
  PrintError(record.message);
  PrintError(Usage());
}

bool LogUsable(const Invocation& invocation, RunRecord& record) {
  CString name;
  const CFolder folder = CFolder::OfFile(invocation.logPath, name);
  const OpenLog log = folder.IsOpen() ? OpenLogFile(folder, name) : OpenLog{{}, LogRefusal::cannotOpen, folder.Error()};
  if (log.refusal == LogRefusal::none) return true;
  record.verb = VerbName(invocation.verb);
  record.status = kExitUsage;
  const LONG error = static_cast<LONG>(log.error);
  switch (log.refusal) {
    case LogRefusal::link: record.message = Fill(IDS_LOG_LINK, invocation.logPath); break;
    case LogRefusal::severalNames: record.message = Fill(IDS_LOG_SEVERAL_NAMES, invocation.logPath); break;
    case LogRefusal::owner: record.message = Fill(IDS_LOG_OWNER, invocation.logPath); break;
    default:
      record.failure = Failure{Failure::file, CFileException::OsErrorToCause(error), error, invocation.logPath, {}};
      record.message = ReportOf(*record.failure).text;
  }
  PrintError(record.message);
  return false;
}
