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

// Past this size the log starts over, and the file so far becomes the
// older one.
inline constexpr DWORD kLogLimit = 1024 * 1024;

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
  std::exception_ptr error;           // the failure that ended it, if one did
  ExitStatus status = kExitCompleted;
  CString told;  // the text shown or printed, if any
};

// Tab-separated fields: the time, then "name=value" for the rest, each
// setting as "target=NAME: what became of it"; "users=all" after the scope
// for a run on every user's proxy list.
CString LogLine(const RunRecord& record);
// The system's error code that `error` carries; 0 when none.
LONG OsErrorOf(const std::exception_ptr& error);

// Appends `line` and a line end to the log at `path`. Never raises.
bool AppendToLog(const CString& path, const CString& line);
// The older file's name: ".old" before the extension.
CString OldLogPath(const CString& path);
