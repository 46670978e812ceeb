#include "Action.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <optional>

#include "ActionLock.h"
#include "HivePrivileges.h"
#include "HostsFile.h"
#include "LeftoverHives.h"
#include "ProxyExceptionList.h"

namespace {

// A list this run changed, and how to put it back as it was.
struct Written {
  CString target;
  std::function<bool()> undo;  // false: another has changed it since
};
using WrittenLists = std::vector<Written>;

// The outcome of `target`; a new one when the run had not named it yet (a
// value that only its failure named).
Outcome& OutcomeOf(Outcomes& outcomes, const CString& target) {
  const auto found =
      std::find_if(outcomes.begin(), outcomes.end(), [&](const Outcome& outcome) { return outcome.target == target; });
  return found != outcomes.end() ? *found : outcomes.emplace_back(Outcome{target});
}

// The setting whose failure `error` is: the hosts file, or the value named.
CString FailedTarget(const std::exception_ptr& error, const CString& hostsPath) {
  try {
    std::rethrow_exception(error);
  } catch (const CFileException&) {
    return hostsPath;
  } catch (const CRegistryException& registry) {
    return registry.m_strValueName;
  } catch (...) {
    return {};
  }
}

// Puts back, the latest first, the lists written before `failed` failed;
// raises CRegistryException, naming `failed` as the file, when one of them
// cannot be (restoreFailed) or holds what another wrote since, and is left
// so (changedByAnother).
void PutBack(const WrittenLists& written, Outcomes& outcomes, const CString& failed) {
  std::optional<CRegistryException> lost;
  for (auto list = written.rbegin(); list != written.rend(); ++list) {
    Outcome& outcome = OutcomeOf(outcomes, list->target);
    outcome.state = Outcome::notPutBack;
    try {
      if (list->undo())
        outcome.state = Outcome::putBack;
      else if (!lost)
        lost = CRegistryException(CRegistryException::changedByAnother, 0, list->target);
    } catch (const CRegistryException& error) {
      if (!lost) lost = CRegistryException(CRegistryException::restoreFailed, error.m_lOsError, list->target);
    } catch (const CFileException& error) {  // a hive that could not be loaded again
      if (!lost) lost = CRegistryException(CRegistryException::restoreFailed, error.m_lOsError, list->target);
    }
  }
  if (!lost) return;
  lost->m_strFileName = failed;
  throw *lost;
}

ProxyOverrideChange ChangeFor(bool set, const CRegStringValue& value) {
  return set ? ProxyOverrideChange::AddProxyExceptionSet(value) : ProxyOverrideChange::RemoveProxyExceptionSet(value);
}

void Record(Outcomes& outcomes, const CString& target, const ProxyOverrideChange& change) {
  OutcomeOf(outcomes, target).state = change.WritesAnything() ? Outcome::changed : Outcome::unchanged;
}

// A hive that stayed loaded after its list was worked on: its user cannot
// sign in until it goes.
void RecordStayed(Outcomes& outcomes, const CoveredList& list, LONG error) {
  if (error == ERROR_SUCCESS) return;
  Outcome& outcome = OutcomeOf(outcomes, list.HivePath());
  outcome.state = Outcome::failed;
  outcome.why = std::make_exception_ptr(CFileException(CFileException::OsErrorToCause(error), error, list.HivePath()));
}

// The list being worked on when the current exception came: left as it was.
void RecordLeft(Outcomes& outcomes, const CString& target) {
  Outcome& outcome = OutcomeOf(outcomes, target);
  outcome.state = Outcome::leftAsItWas;
  outcome.why = std::current_exception();
}

// All the lists or none: each read now, before anything is written; the
// writer writes them all.
std::function<void()> Together(const CoveredLists& covered, bool set, Outcomes& outcomes, WrittenLists& written) {
  std::vector<ProxyOverrideChange> changes;
  for (const CoveredList& list : covered.lists)
    list.Reach([&](const CRegStringValue& value) { changes.push_back(ChangeFor(set, value)); });
  return [changes = std::move(changes), &outcomes, &written] {
    for (const ProxyOverrideChange& change : changes) {
      change.Write();
      if (change.WritesAnything())
        written.push_back({change.GetTarget().GetName(), [change] { return change.Undo(); }});
      Record(outcomes, change.GetTarget().GetName(), change);
    }
  };
}

// Each list on its own, read and written while its hive is loaded for it:
// one refused or out of reach is left as it was, and told.
std::function<void()> EachOnItsOwn(const CoveredLists& covered, bool set, Outcomes& outcomes, WrittenLists& written) {
  return [&covered, set, &outcomes, &written] {
    for (const CoveredList& list : covered.lists) {
      try {
        const LONG stayed = list.Reach([&](const CRegStringValue& value) {
          const ProxyOverrideChange change = ChangeFor(set, value);
          change.Write();
          if (change.WritesAnything())
            written.push_back({list.Name(), [&list, change] {
                                 bool undone = false;
                                 list.Reach([&](const CRegStringValue& again) { undone = change.At(again).Undo(); });
                                 return undone;
                               }});
          Record(outcomes, list.Name(), change);
        });
        RecordStayed(outcomes, list, stayed);
      } catch (const CRegistryException&) {
        RecordLeft(outcomes, list.Name());
      } catch (const CFileException&) {
        RecordLeft(outcomes, list.Name());
      }
    }
  };
}

// What the run covers besides the lists it works on, told as left alone.
void RecordLeftAlone(const CoveredLists& covered, Outcomes& outcomes) {
  for (const CoveredList& list : covered.lists) OutcomeOf(outcomes, list.Name());
  for (const CString& hive : covered.mandatory) OutcomeOf(outcomes, hive);
  for (const CString& entry : covered.notOnDisk) OutcomeOf(outcomes, entry).state = Outcome::noProfile;
}

// The hosts file's part: the new file written beside the old, `between`
// run, then the old one replaced.
void UpdateHosts(CHostsFile& hosts, bool set, const std::function<void()>& between, Outcomes& outcomes) {
  const CHostsFile::Result result = hosts.Update(set ? CHostsFile::addMissing : CHostsFile::markManaged, between);
  Outcome& hostsOutcome = OutcomeOf(outcomes, hosts.GetPath());
  hostsOutcome.state = result.replaced ? Outcome::changed : Outcome::unchanged;
  hostsOutcome.linesAdded = result.linesAdded;
  hostsOutcome.linesRemoved = result.linesRemoved;
}

Shortfall Lacking(const CString& target, const CRegStringValue& value) {
  ProxyExceptionList list;
  list.Load(value);
  Shortfall shortfall{target, {}, {}};
  // Set puts all seven in front unless the wildcard is there.
  if (!list.ContainsWildcard())
    for (const char* exception : kProxyExceptions)
      if (!list.Contains(exception)) shortfall.missing.emplace_back(exception);
  return shortfall;
}

// Under the lock, before any hive is loaded.
void UnloadLeftovers(Outcomes& outcomes) {
  for (const CString& hive : UnloadLeftoverHives()) OutcomeOf(outcomes, hive).state = Outcome::leftLoaded;
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

void CarryOut(Action action, Scope scope, Outcomes* report, Users users) {
  Outcomes ownOutcomes;
  Outcomes& outcomes = report ? *report : ownOutcomes;
  const bool set = action == Action::set;
  CHostsFile hosts;
  if (scope != Scope::user) outcomes.push_back(Outcome{hosts.GetPath()});
  const ActionLock lock;
  UnloadLeftovers(outcomes);
  CoveredLists covered;
  std::optional<HivePrivileges> privileges;
  WrittenLists written;
  try {
    std::function<void()> writeLists = [] {};
    if (scope != Scope::machine) {
      covered = ListsOf(users);
      RecordLeftAlone(covered, outcomes);
      if (covered.eachOnItsOwn) privileges.emplace();
      writeLists = covered.eachOnItsOwn ? EachOnItsOwn(covered, set, outcomes, written)
                                        : Together(covered, set, outcomes, written);
    }
    if (scope == Scope::user)
      writeLists();
    else
      UpdateHosts(hosts, set, writeLists, outcomes);
  } catch (...) {
    const CString failed = FailedTarget(std::current_exception(), hosts.GetPath());
    if (!failed.IsEmpty()) OutcomeOf(outcomes, failed).state = Outcome::failed;
    PutBack(written, outcomes, failed);
    throw;
  }
}

bool DonePartly(const Outcomes& outcomes) {
  return std::any_of(outcomes.begin(), outcomes.end(), [](const Outcome& outcome) {
    return outcome.state == Outcome::leftAsItWas || (outcome.state == Outcome::failed && outcome.why);
  });
}

std::vector<Shortfall> Check(Scope scope, Users users, Outcomes* report) {
  Outcomes ownOutcomes;
  Outcomes& outcomes = report ? *report : ownOutcomes;
  std::vector<Shortfall> settings;
  if (scope != Scope::user) {
    CHostsFile hosts;
    Shortfall& shortfall = settings.emplace_back(Shortfall{hosts.GetPath(), {}, {}});
    for (const int row : hosts.MissingRows()) shortfall.missing.emplace_back(kManagedHosts[row].hostName);
  }
  if (scope == Scope::machine) return settings;
  // A hive another run has loaded cannot be loaded again: one at a time.
  std::optional<ActionLock> lock;
  if (users == Users::all) {
    lock.emplace();
    UnloadLeftovers(outcomes);
  }
  const CoveredLists covered = ListsOf(users);
  for (const CString& entry : covered.notOnDisk) OutcomeOf(outcomes, entry).state = Outcome::noProfile;
  std::optional<HivePrivileges> privileges;
  if (covered.eachOnItsOwn) privileges.emplace();
  for (const CoveredList& list : covered.lists) {
    Shortfall shortfall{list.Name(), {}, {}};
    try {
      const LONG stayed = list.Reach([&](const CRegStringValue& value) { shortfall = Lacking(list.Name(), value); });
      RecordStayed(outcomes, list, stayed);
    } catch (const CRegistryException&) {
      if (!covered.eachOnItsOwn) throw;
      shortfall.unjudged = std::current_exception();
    } catch (const CFileException&) {
      if (!covered.eachOnItsOwn) throw;
      shortfall.unjudged = std::current_exception();
    }
    settings.push_back(std::move(shortfall));
  }
  return settings;
}
