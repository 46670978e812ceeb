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
    list.WorkOn([&](const ProxyListKey& key) { changes.push_back(ChangeFor(set, key)); });
  for (size_t i = 0; i < changes.size(); ++i) {
    changes[i].Write();
    Record(covered.lists[i], changes[i], outcomes, written);
  }
}

// Each list on its own, read and written while its hive is loaded for it:
// one refused or out of reach is left as it was, and told.
void WriteEachOnItsOwn(const CoveredLists& covered, bool set, Outcomes& outcomes, WrittenLists& written) {
  for (const CoveredList& list : covered.lists) {
    const std::optional<Failure> failure = FailureOfOne([&] {
      outcomes.Stayed(list, list.WorkOn([&](const ProxyListKey& key) {
        const ProxyListChange change = ChangeFor(set, key);
        change.Write();
        Record(list, change, outcomes, written);
      }));
    });
    if (failure) outcomes.LeftAsItWas(list.Name(), *failure);
  }
}

// One try of an action, step by step, and what it has done, to put back
// when a later step fails.
class Run {
 public:
  Run(const Request& request, Outcomes& outcomes)
      : m_request(request), m_outcomes(outcomes), m_set(request.action == Action::set) {
    if (HostsToo()) m_outcomes.Of(m_hosts.GetPath());
  }

  // The new hosts file on disk beside the old.
  void StageHosts() {
    if (HostsToo()) m_hosts.Stage(m_set ? CHostsFile::addMissing : CHostsFile::markManaged);
  }

  // Every list: all of them or none, or for every user each on its own.
  void WriteLists() {
    if (m_request.scope == Scope::machine) return;
    m_covered = ListsOf(m_request.users);
    m_outcomes.Cover(m_covered);
    if (m_covered.eachOnItsOwn) m_privileges.emplace();
    (m_covered.eachOnItsOwn ? WriteEachOnItsOwn : WriteAllOrNone)(m_covered, m_set, m_outcomes, m_written);
  }

  // For every user, before the replace, so that a failed one takes it back
  // with the lists: a Set of both settings that did the work is recorded, a
  // Remove settings takes the record away.
  void RecordDeployment() {
    if (m_request.users != Users::all || (m_set && m_request.scope != Scope::both)) return;
    const std::optional<DeploymentRecord> record =
        m_set ? std::optional(RecordOf(m_request.version, m_request.time, m_outcomes)) : std::nullopt;
    Outcome& outcome = m_outcomes.Of(DeploymentRecordName());
    WrittenList update = UpdateDeploymentRecord(record);
    outcome.state = update.values.empty() ? Outcome::unchanged : Outcome::changed;
    if (!update.values.empty()) m_written.push_back(std::move(update));
  }

  // The new hosts file in place of the old; the old one kept for the package.
  void CommitHosts() {
    if (!HostsToo()) return;
    m_replaced = m_hosts.Commit(!m_request.undoId.IsEmpty());
    Outcome& outcome = m_outcomes.Of(m_hosts.GetPath());
    outcome.state = m_replaced->replaced ? Outcome::changed : Outcome::unchanged;
    outcome.linesAdded = m_replaced->linesAdded;
    outcome.linesRemoved = m_replaced->linesRemoved;
  }

  // For the package: what the run changed, for a later run to put back.
  void KeepUndoRecord() {
    if (!m_request.undoId.IsEmpty()) ::KeepUndoRecord({m_request.undoId, m_replaced, m_written});
  }

  // Everything written back as it was, after the failure being handled; then
  // raises it, or what could not be put back.
  [[noreturn]] void PutBackAndRaise() {
    // The setting whose failure it is: the file or the value it names.
    const CString failed = FailureOf(std::current_exception()).target;
    if (!failed.IsEmpty()) m_outcomes.Of(failed).state = Outcome::failed;
    std::optional<CRegistryException> lost = PutBack(m_written, m_outcomes);
    // Replaced already: what failed came after, and the file goes back too.
    if (m_replaced && m_replaced->replaced)
      m_outcomes.Of(m_hosts.GetPath()).state =
          CHostsFile::PutBack(*m_replaced) ? Outcome::putBack : Outcome::notPutBack;
    if (m_replaced) CHostsFile::Forget(*m_replaced);
    if (!lost) throw;
    lost->m_strFileName = failed;
    throw *lost;
  }

 private:
  bool HostsToo() const { return m_request.scope != Scope::user; }

  const Request& m_request;
  Outcomes& m_outcomes;
  const bool m_set;
  CHostsFile m_hosts;
  CoveredLists m_covered;
  std::optional<HivePrivileges> m_privileges;
  WrittenLists m_written;
  std::optional<CHostsFile::Result> m_replaced;
};

void Try(const Request& request, Outcomes& outcomes) {
  Run run(request, outcomes);
  try {
    run.StageHosts();
    run.WriteLists();
    run.RecordDeployment();
    run.CommitHosts();
    run.KeepUndoRecord();
  } catch (...) {
    run.PutBackAndRaise();
  }
}

// `work` tried again while another program holds the hosts file, as
// `patience` says, everything put back between the tries; then busy.
template <typename Work>
void UntilTheHostsFileIsFree(const Patience& patience, Outcomes& outcomes, Work work) {
  const Outcomes before = outcomes;
  for (DWORD waited = 0;; waited += kHeldPauseMs) {
    try {
      work();
      return;
    } catch (const CFileException& error) {
      if (!HeldByAnother(error) || patience.forHostsMs == 0) throw;
      if (waited >= patience.forHostsMs) throw CBusyException();
    }
    patience.pause(kHeldPauseMs);
    outcomes = before;
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
  const ActionLock lock(request.patience);
  // Under the lock, before any hive is loaded; the desktop's user needs none.
  if (request.users == Users::all) outcomes.LeftLoaded(UnloadLeftoverHives());
  if (!request.undoId.IsEmpty()) ForgetUndoRecord();
  UntilTheHostsFileIsFree(request.patience, outcomes, [&] { Try(request, outcomes); });
}
