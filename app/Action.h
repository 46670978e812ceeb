// The two things the tool does, as the main dialog and the command line
// offer them: Set adds the managed hosts and the proxy exceptions, Remove
// settings takes them out; and the check of whether they are in place.
#pragma once

#include <exception>
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
    untouched,    // not reached, or left as it was because another failed first
    unchanged,    // already as the action leaves it: nothing written
    changed,      // written, and stays
    failed,       // the failure that was reported
    putBack,      // written, then put back as it was when a later step failed
    notPutBack,   // written, and could not be put back
    leftLoaded,   // a hive an earlier run left loaded, which stays so
    leftAsItWas,  // for every user: a list refused or out of reach, and the run went on
    noProfile,    // for every user: a profile list's entry with no profile on disk
  };

  CString target;  // the hosts file's path or the value's full name
  State state = untouched;
  std::exception_ptr why = nullptr;  // leftAsItWas, and a hive that stayed loaded: the failure
  int linesAdded = 0;
  int linesRemoved = 0;
};
using Outcomes = std::vector<Outcome>;

// Remove settings when the proxy exception list in force holds the
// wildcard, Set otherwise. Raises CRegistryException when the list cannot
// be read, or may be read but not changed (changeDenied).
Action OfferedAction();

// Carries the action out on the settings of `scope`, the proxy part on the
// lists of `users` (ProxyLists.h), each list written only once the new
// hosts file is on disk beside the old one; the lists written are put back
// exactly as they were, the latest first, when a later one or the hosts
// file's replace fails, unless another program has changed one since: that
// change is left alone. For the desktop user, and under the per-machine
// policy, all of it or none: every list is read first. For every user, each
// profile's list on its own: one refused or out of reach is left as it was
// and told as such (leftAsItWas, with why), and the run goes on; each hive
// is loaded only while its list is read and written. Holds the ActionLock
// throughout, and first unloads every hive an earlier run left loaded.
// Raises CBusyException, CFileException or CRegistryException when the
// action failed; the settings are then as they were, unless the report
// says a list was not put back (CRegistryException::restoreFailed,
// changedByAnother). `outcomes` receives each setting the run covers and
// what became of it, also when it fails: mandatory profiles' hive files as
// untouched, entries with no profile on disk, each hive file that stayed
// loaded (failed, with why), each hive an earlier run left that stays so.
void CarryOut(Action action, Scope scope = Scope::both, Outcomes* outcomes = nullptr, Users users = Users::desktop);

// Whether a run done for every user left something as it was (a list, a
// hive that stayed loaded): done for the rest.
bool DonePartly(const Outcomes& outcomes);

// One setting as it is, by the rules Set decides by: what it lacks (host
// names, proxy exceptions); nothing when it is as Set leaves it.
struct Shortfall {
  CString target;
  std::vector<CString> missing;
  std::exception_ptr unjudged = nullptr;  // for every user: why a list could not be told
};

// Each setting of `scope`, the proxy part on the lists of `users`; nothing
// is changed. Raises CFileException or CRegistryException when a setting
// cannot be told (a value that cannot be read, a hosts file the tool
// refuses, a hive file that cannot be loaded), and CBusyException for every
// user while another run holds the settings; for every user, a list that
// cannot be told is named with why instead. For every user, first unloads
// every hive an earlier run left loaded; `outcomes` receives those that
// stay, entries with no profile on disk, and hives that stayed loaded.
std::vector<Shortfall> Check(Scope scope, Users users = Users::desktop, Outcomes* outcomes = nullptr);
