// The two things the tool does, as the main dialog and the command line
// offer them: Set adds the managed hosts and the proxy exceptions, Remove
// settings takes them out; and the check of whether they are in place.
#pragma once

#include <optional>
#include <vector>

#include "CString.h"
#include "Outcomes.h"
#include "Patience.h"
#include "ProxyLists.h"

enum class Action { set, remove };

// The settings a run covers: both, the hosts file alone (the machine's), or
// the proxy exception list alone (the user's).
enum class Scope { both, machine, user };

// Remove settings when the proxy exception list in force holds the
// wildcard, Set otherwise. Raises CRegistryException when the list cannot
// be read, or may be read but not changed (changeDenied).
Action OfferedAction();

// A run of an action: which, on what, for whom, and how long it waits.
struct Request {
  Request(Action action, Scope scope = Scope::both, Users users = Users::desktop)
      : action(action), scope(scope), users(users) {}

  Action action;
  Scope scope;
  Users users;
  Patience patience;
  // Not empty: what the run changes is kept under this id (UndoRecord.h),
  // for a later run to put back; a run that cannot keep it fails.
  CString undoId;
  // For every user: the executable's version and the time, which the
  // record of the deployment keeps (DeploymentRecord.h).
  CString version;
  CString time;
};

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
// throughout, waiting for it as `patience` says; for every user, first
// unloads every hive an earlier run left loaded, and last updates the record
// of the deployment (a Set of both settings writes it, a Remove settings
// removes it). A hosts file another program holds is waited for as
// `patience` says, everything put back between tries, then the run is busy.
// Raises CBusyException, CFileException or CRegistryException when the
// action failed; the settings are then as they were, unless the report
// says a list was not put back (CRegistryException::restoreFailed,
// changedByAnother). `outcomes` receives each setting the run covers and
// what became of it, also when it fails: mandatory profiles' hive files as
// untouched, entries with no profile on disk, each hive file that stayed
// loaded (failed, with why), each hive an earlier run left that stays so.
void CarryOut(const Request& request, Outcomes* outcomes = nullptr);

// One setting as it is, by the rules Set decides by: what it lacks (host
// names, proxy exceptions); nothing when it is as Set leaves it.
struct Shortfall {
  CString target;
  std::vector<CString> missing;
  std::optional<Failure> unjudged = std::nullopt;  // for every user: why a list could not be told
  std::vector<CString> left = {};                  // the record of the deployment: the lists it left as they were
};

// Each setting of `scope`, the proxy part on the lists of `users`; nothing
// is changed. Raises CFileException or CRegistryException when a setting
// cannot be told (a value that cannot be read, a hosts file the tool
// refuses, a hive file that cannot be loaded), and CBusyException for every
// user while another run holds the settings; for every user, a list that
// cannot be told is named with why instead. For every user, first unloads
// every hive an earlier run left loaded; `outcomes` receives those that
// stay, entries with no profile on disk, and hives that stayed loaded.
std::vector<Shortfall> Check(Scope scope, Users users = Users::desktop, Outcomes* outcomes = nullptr,
                             const Patience& patience = {});

// The detection rule of deployment systems, which loads no user's hive and
// waits for no other run: the hosts file, the record of the deployment
// (DeploymentRecord.h), which lacks `version` unless a Set for every user of
// this version did the work, and under the per-machine policy the machine's
// lists. Raises as Check does for the desktop's user.
std::vector<Shortfall> Detect(const CString& version);
