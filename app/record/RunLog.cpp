#include "RunLog.h"

#include <cstdint>
#include <string>

#include "BusyException.h"
#include "FileException.h"
#include "Handle.h"
#include "RegistryException.h"
#include "Trust.h"

namespace {

const char* ScopeName(Scope scope) {
  switch (scope) {
    case Scope::machine: return "machine";
    case Scope::user: return "user";
    default: return "both";
  }
}

CString Describe(const Shortfall& shortfall) {
  if (shortfall.unjudged) return "not told: " + WordsOf(*shortfall.unjudged);
  if (shortfall.missing.empty() && !shortfall.left.empty()) {
    CString text = "in place, left as it was:";
    for (const CString& list : shortfall.left) text += " " + list + ";";
    return text.Left(text.GetLength() - 1);
  }
  if (shortfall.missing.empty()) return "in place";
  CString text = "lacks";
  for (const CString& piece : shortfall.missing) text += " " + piece;
  return text;
}

// A field's value on one line: line ends and tabs would split the line.
CString OneLine(const CString& text) {
  std::string flat(text.View());
  for (char& c : flat)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  return CString(std::move(flat));
}

// Others append to it at once, and a rotation renames it under them.
constexpr DWORD kLogShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Every user may read the log, and one who reads it without sharing its
// writing keeps the line out while they hold it: opened again a few times,
// a moment apart, before the line is given up.
constexpr int kOpenings = 5;
constexpr DWORD kReopenPauseMs = 100;

uint64_t SizeOf(HANDLE file) {
  DWORD high = 0;
  const DWORD low = GetFileSize(file, &high);
  return low == INVALID_FILE_SIZE ? 0 : (uint64_t{high} << 32) | low;
}

// The log as it is, past the limit, renamed to the older name: only the
// file this run opened, a plain file of a trusted account's.
void Rotate(const CFolder& folder, const CString& name) {
  const PlainFile log =
      OpenPlainFile(folder, name, DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES, kLogShare, OPEN_EXISTING);
  if (log.file.valid() && SizeOf(log.file.get()) >= kLogLimit && TrustOf(log.file.get(), false) == Distrust::none)
    RenameOpenFile(log.file.get(), folder, OldLogName(name));
}

}  // namespace

CString LogLine(const RunRecord& record) {
  CString line = OneLine(record.time);
  line += LogField("version", record.version);
  line += LogField("arch", record.architecture);
  line += LogField("account", record.account);
  line += LogField("verb", record.verb);
  line += LogField("scope", ScopeName(record.scope));
  if (record.users == Users::all) line += LogField("users", "all");
  for (const Outcome& outcome : record.outcomes) line += LogField("target", outcome.target + ": " + Describe(outcome));
  for (const Shortfall& shortfall : record.shortfalls)
    line += LogField("target", shortfall.target + ": " + Describe(shortfall));
  line += LogField("error", std::to_string(record.failure ? record.failure->osError : 0).c_str());
  line += LogField("status", std::to_string(record.status).c_str());
  if (!record.message.IsEmpty()) line += LogField("message", record.message);
  return line;
}

CString LogField(const char* name, const CString& value) { return CString("\t") + name + "=" + OneLine(value); }

CString EventText(const CString& line) {
  if (line.GetLength() <= kEventTextLimit) return line;
  constexpr int kMark = 3;
  int kept = 0;
  for (const char* text = line.GetString(); kept < kEventTextLimit - kMark;) {
    const int size = IsDBCSLeadByte(static_cast<BYTE>(text[kept])) && text[kept + 1] != '\0' ? 2 : 1;
    if (kept + size > kEventTextLimit - kMark) break;
    kept += size;
  }
  return line.Left(kept) + "...";
}

CString OldLogName(const CString& name) {
  const int dot = name.ReverseFindOneOf(".");
  if (dot < 0) return name + ".old";
  return name.Left(dot) + ".old" + name.Mid(dot);
}

OpenLog OpenLogFile(const CFolder& folder, const CString& name) {
  PlainFile plain = OpenPlainFile(folder, name, FILE_APPEND_DATA | READ_CONTROL | SYNCHRONIZE, kLogShare, OPEN_ALWAYS);
  OpenLog log{std::move(plain.file), LogRefusal::none, plain.error};
  switch (plain.refusal) {
    case FileRefusal::cannotOpen: log.refusal = LogRefusal::cannotOpen; break;
    case FileRefusal::link: log.refusal = LogRefusal::link; break;
    case FileRefusal::severalNames: log.refusal = LogRefusal::severalNames; break;
    default:
      // Another account's file is theirs to write; this run's line would
      // let them choose where a privileged process appends.
      if (plain.existed && TrustOf(log.file.get(), false) != Distrust::none) log.refusal = LogRefusal::owner;
  }
  if (log.refusal != LogRefusal::none) log.file.reset();
  return log;
}

OpenLog AppendToLog(const CFolder& folder, const CString& name, const CString& line, bool mayRotate,
                    Patience::Pause pause) {
  OpenLog log;
  for (int opening = 1;; ++opening) {
    if (mayRotate) Rotate(folder, name);
    log = OpenLogFile(folder, name);
    if (log.error != ERROR_SHARING_VIOLATION || opening == kOpenings) break;
    pause(kReopenPauseMs);
  }
  if (!log.file.valid()) return log;
  const CString text = line + "\r\n";
  const auto size = static_cast<DWORD>(text.GetLength());
  DWORD written = 0;
  if (!WriteFile(log.file.get(), text.GetString(), size, &written, nullptr) || written != size) {
    log.refusal = LogRefusal::cannotOpen;
    log.error = GetLastError();
  }
  return log;
}

const char* LogRefusalName(LogRefusal refusal) {
  switch (refusal) {
    case LogRefusal::cannotOpen: return "not written";
    case LogRefusal::link: return FileRefusalName(FileRefusal::link);
    case LogRefusal::severalNames: return FileRefusalName(FileRefusal::severalNames);
    case LogRefusal::owner: return DistrustName(Distrust::owner);
    default: return "written";
  }
}
