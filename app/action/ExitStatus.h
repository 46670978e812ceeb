// The process's exit status, for the scripts and deployment systems that
// start the tool. 0, 1 and 2 are the dialog's; each other condition has a
// value of its own. 1618 is the value deployment systems retry on.
#pragma once

enum ExitStatus {
  kExitCompleted = 0,       // an action done, or /check: every setting in place
  kExitNothingChanged = 1,  // the dialog closed without an action, or /check: a setting not in place
  kExitFailed = 2,          // an error was reported; the settings are as they were unless it says otherwise
  kExitUsage = 3,           // an argument the tool does not know: nothing done
  kExitServiceAccount = 4,  // the proxy list would be a service account's: refused, nothing changed
  kExitNoDesktop = 5,       // the dialog started where nobody can see it: not shown
  kExitCannotTell = 6,      // /check could not read a setting
  kExitPartly = 7,          // for every user: done, but some users' lists left as they were (named in the log)
  kExitBusy = 1618,         // another run was busy with the settings: nothing changed
};
