// The command line: a second face of the actions, for deployment systems and
// scripts. No arguments: the dialog.
#pragma once

#include <optional>
#include <vector>

#include "Action.h"
#include "CString.h"
#include "ExitStatus.h"

struct Invocation {
  enum class Verb { dialog, set, remove, check, detect, undo, forget, usage };

  Verb verb = Verb::dialog;
  Scope scope = Scope::both;
  Users users = Users::desktop;  // whose proxy exception lists
  bool quiet = false;            // no window and no message box
  CString logPath;               // empty: the log's usual place
  CString undoId;                // /package:ID (with /set, /remove), /undo:ID, /forget:ID
  CString badArgument;           // the first argument not understood; empty when all were
};

// Switches start with "/" or "-" and are told apart without regard to
// letter case: a verb (/set, /remove, /check, /detect), /machine, /user,
// /allusers, /quiet, /log:PATH, or /? for the usage; and those only the
// package passes: /package:ID with /set or /remove, and the verbs
// /undo:ID and /forget:ID (IsUndoId). Anything else, a second verb, options
// without a verb or that the verb does not take, or /allusers with the
// hosts file alone (/machine without /user: no proxy list to cover) are not
// understood.
Invocation ParseArguments(int argc, const char* const* argv);

// What a run of a verb came to.
struct VerbResult {
  ExitStatus status = kExitCompleted;
  Outcomes outcomes;                  // /set, /remove: each setting
  std::vector<Shortfall> shortfalls;  // /check, /detect: each setting
  std::optional<Failure> failure;     // what to tell; none when it went through
};

// What a run knows of itself that the record of a deployment keeps.
struct RunIdentity {
  CString version;  // of the executable: "3.2.0.0"
  CString time;     // local, with its offset from UTC
};

// Carries out /set, /remove or /undo, makes the check or the detection, or
// forgets an undo record; never raises. Nobody is there to try again: the
// run waits for others as kUnattended says.
VerbResult RunVerb(const Invocation& invocation, const RunIdentity& identity = {});
