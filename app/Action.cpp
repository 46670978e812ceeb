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
#include "ProxyListChange.h"

namespace {

// A list this run changed: the values it wrote, and how to put them back.
struct Written {
  std::vector<CString> values;
  std::function<std::vector<ProxyListChange::PutBack>()> undo;
};
using WrittenLists = std::vector<Written>;

// The outcome of `target`; a new one when the run had not named it yet (a
// value that only its failure named), at the end or right after `after`'s.
Outcome& OutcomeOf(Outcomes& outcomes, const CString& target, const CString* after = nullptr) {
  const auto named = [&](const CString& name) {
    return std::find_if(outcomes.begin(), outcomes.end(),
                        [&](const Outcome& outcome) { return outcome.target == name; });
  };
  if (const auto found = named(target); found != outcomes.end()) return *found;
  const auto previous = after ? named(*after) : outcomes.end();
  return *outcomes.insert(previous == outcomes.end() ? previous : previous + 1, Outcome{target});
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
  const auto keep = [&](CRegistryException::Cause cause, LONG osError, const CString& value) {
    if (!lost) lost = CRegistryException(cause, osError, value);
  };
  for (auto list = written.rbegin(); list != written.rend(); ++list) {
    for (const CString& value : list->values) OutcomeOf(outcomes, value).state = Outcome::notPutBack;
    try {
      for (const ProxyListChange::PutBack& value : list->undo()) {
        if (value.state == ProxyListChange::PutBack::done)
          OutcomeOf(outcomes, value.name).state = Outcome::putBack;
        else if (value.state == ProxyListChange::PutBack::changedByAnother)
          keep(CRegistryException::changedByAnother, 0, value.name);
        else
          keep(CRegistryException::restoreFailed, value.osError, value.name);
      }
    } catch (const CRegistryException& error) {  // a hive whose user's key could not be told
      keep(CRegistryException::restoreFailed, error.m_lOsError, list->values.front());
    } catch (const CFileException& error) {  // a hive that could not be loaded again
      keep(CRegistryException::restoreFailed, error.m_lOsError, list->values.front());
    }
  }
  if (!lost) return;
  lost->m_strFileName = failed;
  throw *lost;
}

ProxyListChange ChangeFor(bool set, const ProxyListKey& key) {
  return set ? ProxyListChange::AddProxyExceptionSet(key) : ProxyListChange::RemoveProxyExceptionSet(key);
}

// Each value of the list, changed or found as the action leaves it; and,
// when it wrote any, how to put them back.
void Record(Outcomes& outcomes, const ProxyListChange& change, WrittenLists& written,
            std::function<std::vector<ProxyListChange::PutBack>()> undo) {
  Written list{{}, std::move(undo)};
  const std::vector<ProxyListChange::Value> values = change.Values();
  // Told together: a list's other values right after its text value.
  const CString* previous = nullptr;
  for (const ProxyListChange::Value& value : values) {
    OutcomeOf(outcomes, value.name, previous).state = value.writes ? Outcome::changed : Outcome::unchanged;
    if (value.writes) list.values.push_back(value.name);
    previous = &value.name;
  }
  if (!list.values.empty()) written.push_back(std::move(list));
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
  std::vector<ProxyListChange> changes;
  for (const CoveredList& list : covered.lists)
    list.Reach([&](const ProxyListKey& key) { changes.push_back(ChangeFor(set, key)); });
  return [changes = std::move(changes), &outcomes, &written] {
    for (const ProxyListChange& change : changes) {
      change.Write();
      Record(outcomes, change, written, [change] { return change.Undo(); });
    }
  };
}

// Each list on its own, read and written while its hive is loaded for it:
// one refused or out of reach is left as it was, and told.
std::function<void()> EachOnItsOwn(const CoveredLists& covered, bool set, Outcomes& outcomes, WrittenLists& written) {
  return [&covered, set, &outcomes, &written] {
    for (const CoveredList& list : covered.lists) {
      try {
        const LONG stayed = list.Reach([&](const ProxyListKey& key) {
          const ProxyListChange change = ChangeFor(set, key);
          change.Write();
          Record(outcomes, change, written, [&list, change] {
            std::vector<ProxyListChange::PutBack> undone;
            list.Reach([&](const ProxyListKey& again) { undone = change.At(again).Undo(); });
            return undone;
          });
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
    std::vector<Shortfall> values;
    try {
      const LONG stayed = list.Reach([&](const ProxyListKey& key) {
        for (ValueLacking& value : ExceptionsLacking(key))
          values.push_back({std::move(value.name), std::move(value.missing), {}});
      });
      RecordStayed(outcomes, list, stayed);
    } catch (const CRegistryException&) {
      if (!covered.eachOnItsOwn) throw;
      values = {{list.Name(), {}, std::current_exception()}};
    } catch (const CFileException&) {
      if (!covered.eachOnItsOwn) throw;
      values = {{list.Name(), {}, std::current_exception()}};
    }
    settings.insert(settings.end(), values.begin(), values.end());
  }
  return settings;
}
