// The two things the tool does, as the main dialog and the command line
// offer them: Set adds the managed hosts and the proxy exceptions, Remove
// settings takes them out; and the check of whether they are in place.
#pragma once

#include <vector>

#include "CString.h"
#include "ProxyLists.h"

enum class Action { set, remove };

// The settings a run covers: both, the hosts file alone (the machine's), or
// the proxy exception list alone (the user's).
enum class Scope { both, machine, user };

// What became of one setting in a run.
struct Outcome {
  enum State {
    untouched,   // not reached, or left as it was because another failed first
    unchanged,   // already as the action leaves it: nothing written
    changed,     // written, and stays
    failed,      // the failure that was reported
    putBack,     // written, then put back as it was when a later step failed
    notPutBack,  // written, and could not be put back
    leftLoaded,  // a hive an earlier run left loaded, which stays so
  };

  CString target;  // the hosts file's path or the value's full name
  State state = untouched;
  int linesAdded = 0;
  int linesRemoved = 0;
};
using Outcomes = std::vector<Outcome>;

// Remove settings when the proxy exception list in force holds the
// wildcard, Set otherwise. Raises CRegistryException when the list cannot
// be read, or may be read but not changed (changeDenied).
Action OfferedAction();

// Carries the action out on the settings of `scope`, all of them or none,
// the proxy part on the lists of `users` (ProxyLists): every list is read
// first, and written only once the new hosts file is on disk beside the old
// one; the lists written are put back exactly as they were, the latest
// first, when a later one or the hosts file's replace fails, unless another
// program has changed one since: that change is left alone. Holds the
// ActionLock throughout, and unloads every hive it loaded before it ends.
// Raises CBusyException, CFileException or CRegistryException when the
// action failed; the settings are then as they were, unless the report
// says a list was not put back (CRegistryException::restoreFailed,
// changedByAnother). Raises CFileException naming a hive file that stayed
// loaded after an action done. `outcomes` receives each setting the run
// covers and what became of it, also when it fails, each mandatory
// profile's hive file as untouched, each hive file that stayed loaded
// as a failure, and each hive an earlier run left that stays loaded.
void CarryOut(Action action, Scope scope = Scope::both, Outcomes* outcomes = nullptr, Users users = Users::desktop);

// One setting as it is, by the rules Set decides by: what it lacks (host
// names, proxy exceptions); nothing when it is as Set leaves it.
struct Shortfall {
  CString target;
  std::vector<CString> missing;
};

// Each setting of `scope`, the proxy part on the lists of `users`; nothing
// is changed. Raises CFileException or CRegistryException when a setting
// cannot be told (a value that cannot be read, a hosts file the tool
// refuses, a hive file that cannot be loaded or that stayed loaded), and
// CBusyException for every user while another run holds the settings.
// For every user, first unloads every hive an earlier run left loaded;
// `outcomes` receives those that stay.
std::vector<Shortfall> Check(Scope scope, Users users = Users::desktop, Outcomes* outcomes = nullptr);
