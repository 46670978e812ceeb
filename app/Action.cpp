#include "Action.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "ActionLock.h"
#include "BusyException.h"
#include "DeploymentRecord.h"
#include "HivePrivileges.h"
#include "HostsFile.h"
#include "LeftoverHives.h"
#include "ProxyExceptionList.h"
#include "ProxyListChange.h"
#include "UndoRecord.h"
#include "WrittenLists.h"

namespace {

// Between the tries of a run that another program's hold on the hosts file
// stopped, everything put back.
constexpr DWORD kHeldPauseMs = 1000;

// Another program holds the hosts file open without sharing what the run
// needs: it will let go.
bool HeldByAnother(const CFileException& error) {
  return error.m_lOsError == ERROR_SHARING_VIOLATION || error.m_lOsError == ERROR_LOCK_VIOLATION ||
         error.m_lOsError == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

ProxyListChange ChangeFor(bool set, const ProxyListKey& key) {
  return set ? ProxyListChange::AddProxyExceptionSet(key) : ProxyListChange::RemoveProxyExceptionSet(key);
}

// Each value of the change, changed or found as the action leaves it; the
// values it wrote kept, to be put back.
void Record(const CoveredList& list, const ProxyListChange& change, Outcomes& outcomes, WrittenLists& written) {
  const std::vector<ProxyListChange::Value> values = change.Values();
  // Told together: a list's other values right after its text value.
  const CString* previous = nullptr;
  for (const ProxyListChange::Value& value : values) {
    outcomes.Of(value.name, previous).state = value.writes ? Outcome::changed : Outcome::unchanged;
    previous = &value.name;
  }
  if (change.WritesAnything()) written.push_back({list, change.WrittenValues()});
}

// All the lists or none: each read before anything is written.
void WriteAllOrNone(const CoveredLists& covered, bool set, Outcomes& outcomes, WrittenLists& written) {
  std::vector<ProxyListChange> changes;
  for (const CoveredList& list : covered.lists)
    list.Reach([&](const ProxyListKey& key) { changes.push_back(ChangeFor(set, key)); });
  for (size_t i = 0; i < changes.size(); ++i) {
    changes[i].Write();
    Record(covered.lists[i], changes[i], outcomes, written);
  }
}

// Each list on its own, read and written while its hive is loaded for it:
// one refused or out of reach is left as it was, and told.
void WriteEachOnItsOwn(const CoveredLists& covered, bool set, Outcomes& outcomes, WrittenLists& written) {
  for (const CoveredList& list : covered.lists) {
    try {
      outcomes.Stayed(list, list.Reach([&](const ProxyListKey& key) {
        const ProxyListChange change = ChangeFor(set, key);
        change.Write();
        Record(list, change, outcomes, written);
      }));
    } catch (const CRegistryException&) {
      outcomes.LeftAsItWas(list.Name());
    } catch (const CFileException&) {
      outcomes.LeftAsItWas(list.Name());
    }
  }
}

void RecordHosts(const CHostsFile::Result& result, const CString& path, Outcomes& outcomes) {
  Outcome& outcome = outcomes.Of(path);
  outcome.state = result.replaced ? Outcome::changed : Outcome::unchanged;
  outcome.linesAdded = result.linesAdded;
  outcome.linesRemoved = result.linesRemoved;
}

// For every user: a Set of both settings that did the work is recorded, a
// Remove settings takes the record away.
void RecordDeployment(const Request& request, Outcomes& outcomes, WrittenLists& written) {
  const bool set = request.action == Action::set;
  if (set && request.scope != Scope::both) return;
  const std::optional<DeploymentRecord> record =
      set ? std::optional(RecordOf(request.version, request.time, outcomes)) : std::nullopt;
  Outcome& outcome = outcomes.Of(DeploymentRecordName());
  WrittenList update = UpdateDeploymentRecord(record);
  outcome.state = update.values.empty() ? Outcome::unchanged : Outcome::changed;
  if (!update.values.empty()) written.push_back(std::move(update));
}

// One try: the new hosts file on disk beside the old, then the lists, then
// the replace; on a failure, what was written is put back.
void Try(const Request& request, Outcomes& outcomes) {
  const bool set = request.action == Action::set;
  const bool hostsToo = request.scope != Scope::user;
  CHostsFile hosts;
  if (hostsToo) outcomes.Of(hosts.GetPath());
  CoveredLists covered;
  std::optional<HivePrivileges> privileges;
  WrittenLists written;
  std::optional<CHostsFile::Result> replaced;
  try {
    if (hostsToo) hosts.Stage(set ? CHostsFile::addMissing : CHostsFile::markManaged);
    if (request.scope != Scope::machine) {
      covered = ListsOf(request.users);
      outcomes.Cover(covered);
      if (covered.eachOnItsOwn) privileges.emplace();
      (covered.eachOnItsOwn ? WriteEachOnItsOwn : WriteAllOrNone)(covered, set, outcomes, written);
    }
    // Before the replace, so that a failed one takes it back with the lists.
    if (request.users == Users::all) RecordDeployment(request, outcomes, written);
    if (hostsToo) {
      replaced = hosts.Commit(!request.undoId.IsEmpty());
      RecordHosts(*replaced, hosts.GetPath(), outcomes);
    }
    if (!request.undoId.IsEmpty()) KeepUndoRecord({request.undoId, replaced, written});
  } catch (...) {
    // The setting whose failure it is: the file or the value it names.
    const CString failed = FailureOf(std::current_exception()).target;
    if (!failed.IsEmpty()) outcomes.Of(failed).state = Outcome::failed;
    std::optional<CRegistryException> lost = PutBack(written, outcomes);
    // Replaced already: what failed came after, and the file goes back too.
    if (replaced && replaced->replaced)
      outcomes.Of(hosts.GetPath()).state = CHostsFile::PutBack(*replaced) ? Outcome::putBack : Outcome::notPutBack;
    if (replaced) CHostsFile::Forget(*replaced);
    if (!lost) throw;
    lost->m_strFileName = failed;
    throw *lost;
  }
}

}  // namespace

Action OfferedAction() {
  const CRegStringValue value = ProxyOverride();
  ProxyExceptionList list;
  list.Load(value);
  // Either action writes the list: neither is offered when it cannot be.
  value.RequireChangeable();
  return list.ContainsWildcard() ? Action::remove : Action::set;
}

void CarryOut(const Request& request, Outcomes* report) {
  Outcomes ownOutcomes;
  Outcomes& outcomes = report ? *report : ownOutcomes;
  const Patience& patience = request.patience;
  const ActionLock lock(patience);
  // Under the lock, before any hive is loaded; the desktop's user needs none.
  if (request.users == Users::all) outcomes.LeftLoaded(UnloadLeftoverHives());
  if (!request.undoId.IsEmpty()) ForgetUndoRecord();
  const Outcomes before = outcomes;
  for (DWORD waited = 0;; waited += kHeldPauseMs) {
    try {
      Try(request, outcomes);
      return;
    } catch (const CFileException& error) {
      if (!HeldByAnother(error) || patience.forHostsMs == 0) throw;
      if (waited >= patience.forHostsMs) throw CBusyException();
    }
    patience.pause(kHeldPauseMs);
    outcomes = before;
  }
}
