// The command line: a second face of the actions, for deployment systems and
// scripts. No arguments: the dialog.
#pragma once

#include <exception>
#include <vector>

#include "Action.h"
#include "CString.h"
#include "ExitStatus.h"

struct Invocation {
  enum class Verb { dialog, set, remove, check, usage };

  Verb verb = Verb::dialog;
  Scope scope = Scope::both;
  Users users = Users::desktop;  // whose proxy exception lists
  bool quiet = false;            // no window and no message box
  CString logPath;               // empty: the log's usual place
  CString badArgument;           // the first argument not understood; empty when all were
};

// Switches start with "/" or "-" and are told apart without regard to
// letter case: a verb (/set, /remove, /check), /machine, /user, /allusers,
// /quiet, /log:PATH, or /? for the usage. Anything else, a second verb,
// options without a verb, or /allusers with the hosts file alone (/machine
// without /user: no proxy list to cover) are not understood.
Invocation ParseArguments(int argc, const char* const* argv);

// What a run of a verb came to.
struct VerbResult {
  ExitStatus status = kExitCompleted;
  Outcomes outcomes;                  // /set, /remove: each setting
  std::vector<Shortfall> shortfalls;  // /check: each setting
  std::exception_ptr error;           // the failure to tell; null when none
};

// Carries out /set or /remove, or makes the check; never raises.
VerbResult RunVerb(const Invocation& invocation);

// The status of a run that `error` ended; `checking`: a check, which then
// could not tell.
ExitStatus StatusOfFailure(const std::exception_ptr& error, bool checking);
