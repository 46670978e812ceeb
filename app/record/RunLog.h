// The log of every run, dialog or command line, one line each, for the
// administrator who was not there: a file of its own, kept to about a
// megabyte beside one older file. A log that cannot be written changes
// nothing of the run.
#pragma once

#include <windows.h>

#include <exception>
#include <vector>

#include "Action.h"
#include "CString.h"
#include "ExitStatus.h"
#include "Patience.h"
#include "PlainFile.h"

// Past this size the log starts over, and the file so far becomes the
// older one.
inline constexpr DWORD kLogLimit = 1024 * 1024;
// What one event's text may hold (ReportEvent's limit for one string, in
// characters; a character of the code page is at least a byte).
inline constexpr int kEventTextLimit = 31839;

// One run, as the line tells it.
struct RunRecord {
  CString time;     // local, with its offset from UTC
  CString version;  // of the executable
  CString architecture;
  CString account;  // the one the tool runs as
  CString verb;     // "dialog", "set", "remove", "check", "usage", or the argument not understood
  Scope scope = Scope::both;
  Users users = Users::desktop;
  Outcomes outcomes;                  // an action: each setting
  std::vector<Shortfall> shortfalls;  // a check: each setting
  std::optional<Failure> failure;     // what ended it, if one did
  ExitStatus status = kExitCompleted;
  CString message;  // the text shown or printed, if any
};

// Tab-separated fields: the time, then "name=value" for the rest, each
// setting as "target=NAME: what became of it"; "users=all" after the scope
// for a run on every user's proxy list.
CString LogLine(const RunRecord& record);
// One more field for a line: a tab and "name=value", the value on one line.
CString LogField(const char* name, const CString& value);
// The line as one event may carry it: cut, between two characters, where
// it is longer, and "..." put in the place of what is left out.
CString EventText(const CString& line);

// Why a log is not written.
enum class LogRefusal {
  none,
  cannotOpen,    // the system's error says why
  link,          // a link, or a folder
  severalNames,  // a hard link of another file
  owner,         // there already, and owned by an account not trusted (Trust.h)
};
struct OpenLog {
  UniqueFile file;
  LogRefusal refusal = LogRefusal::none;
  DWORD error = ERROR_SUCCESS;
};

// Opens the log `name` in `folder` to append to it, made where it is
// missing, never through a link, and refused as above.
OpenLog OpenLogFile(const CFolder& folder, const CString& name);
// Appends `line` and a line end to the log `name` in `folder`, opened as
// above; while another program holds it without sharing its writing, it is
// opened again a few times, `pause` between. Past
// the limit, when `mayRotate` (the run holds the ActionLock), the file is
// first opened as above and renamed to the older name by its handle, and
// the log starts over. What became of it; never raises.
OpenLog AppendToLog(const CFolder& folder, const CString& name, const CString& line, bool mayRotate,
                    Patience::Pause pause = Sleep);
// The older file's name: ".old" before the extension.
CString OldLogName(const CString& name);
// The text naming a refusal in the log and in the event.
const char* LogRefusalName(LogRefusal refusal);
