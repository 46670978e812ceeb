#include "Action.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "ActionLock.h"
#include "HostsFile.h"
#include "LeftoverHives.h"
#include "ProxyExceptionList.h"

namespace {

using ProxyChanges = std::vector<ProxyOverrideChange>;

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

// Puts back, the latest first, the values written before `failed` failed;
// raises CRegistryException, naming `failed` as the file, when one of them
// cannot be (restoreFailed) or holds what another wrote since, and is left
// so (changedByAnother).
void PutBack(const ProxyChanges& written, Outcomes& outcomes, const CString& failed) {
  std::optional<CRegistryException> lost;
  for (auto proxy = written.rbegin(); proxy != written.rend(); ++proxy) {
    if (!proxy->WritesAnything()) continue;
    Outcome& outcome = OutcomeOf(outcomes, proxy->GetTarget().GetName());
    outcome.state = Outcome::notPutBack;
    try {
      if (proxy->Undo())
        outcome.state = Outcome::putBack;
      else if (!lost)
        lost = CRegistryException(CRegistryException::changedByAnother, 0, proxy->GetTarget().GetName());
    } catch (const CRegistryException& error) {
      if (lost) continue;
      lost = error;
      lost->m_cause = CRegistryException::restoreFailed;
    }
  }
  if (!lost) return;
  lost->m_strFileName = failed;
  throw *lost;
}

// Reaches the lists of `users`; what cannot be reached is told as a failed
// target.
void Reach(ProxyLists& lists, Users users, Outcomes& outcomes) {
  try {
    lists.Reach(users);
  } catch (const CFileException& error) {
    OutcomeOf(outcomes, error.m_strFileName).state = Outcome::failed;
    throw;
  } catch (const CRegistryException& error) {
    OutcomeOf(outcomes, error.m_strValueName).state = Outcome::failed;
    throw;
  }
}

// Unloads the hives loaded for the run however it ends; each that stays
// loaded is told as a failed target.
class Unloading {
 public:
  Unloading(ProxyLists& lists, Outcomes& outcomes) : m_lists(lists), m_outcomes(outcomes) {}
  Unloading(const Unloading&) = delete;
  Unloading& operator=(const Unloading&) = delete;
  ~Unloading() { Unload(); }

  // At the end of a run that did what it was to: raises the first hive file
  // that stayed loaded, which would keep its user from signing in.
  void Finish() {
    if (const auto stayed = Unload()) throw *stayed;
  }

 private:
  std::optional<CFileException> Unload() {
    std::optional<CFileException> first;
    for (const CFileException& error : m_lists.Release()) {
      OutcomeOf(m_outcomes, error.m_strFileName).state = Outcome::failed;
      if (!first) first = error;
    }
    return first;
  }

  ProxyLists& m_lists;
  Outcomes& m_outcomes;
};

// The hosts file's part: the new file written beside the old, `between`
// run, then the old one replaced.
template <typename Between>
void UpdateHosts(CHostsFile& hosts, bool set, Between between, Outcomes& outcomes) {
  const CHostsFile::Result result = hosts.Update(set ? CHostsFile::addMissing : CHostsFile::markManaged, between);
  Outcome& hostsOutcome = OutcomeOf(outcomes, hosts.GetPath());
  hostsOutcome.state = result.replaced ? Outcome::changed : Outcome::unchanged;
  hostsOutcome.linesAdded = result.linesAdded;
  hostsOutcome.linesRemoved = result.linesRemoved;
}

Shortfall Lacking(const CRegStringValue& value) {
  ProxyExceptionList list;
  list.Load(value);
  Shortfall shortfall{value.GetName(), {}};
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
  ProxyLists lists;
  Unloading unloading(lists, outcomes);
  if (scope != Scope::machine) Reach(lists, users, outcomes);
  ProxyChanges proxies;
  ProxyChanges written;
  try {
    for (const CRegStringValue& value : lists.Values()) {
      proxies.push_back(set ? ProxyOverrideChange::AddProxyExceptionSet(value)
                            : ProxyOverrideChange::RemoveProxyExceptionSet(value));
      OutcomeOf(outcomes, value.GetName());
    }
    for (const CString& hive : lists.LeftAlone()) OutcomeOf(outcomes, hive);
    const auto writeProxies = [&] {
      for (const ProxyOverrideChange& proxy : proxies) {
        proxy.Write();
        written.push_back(proxy);
        OutcomeOf(outcomes, proxy.GetTarget().GetName()).state =
            proxy.WritesAnything() ? Outcome::changed : Outcome::unchanged;
      }
    };
    if (scope == Scope::user)
      writeProxies();
    else
      UpdateHosts(hosts, set, writeProxies, outcomes);
  } catch (...) {
    const CString failed = FailedTarget(std::current_exception(), hosts.GetPath());
    if (!failed.IsEmpty()) OutcomeOf(outcomes, failed).state = Outcome::failed;
    PutBack(written, outcomes, failed);
    throw;
  }
  unloading.Finish();
}

std::vector<Shortfall> Check(Scope scope, Users users, Outcomes* outcomes) {
  std::vector<Shortfall> settings;
  if (scope != Scope::user) {
    CHostsFile hosts;
    Shortfall& shortfall = settings.emplace_back(Shortfall{hosts.GetPath(), {}});
    for (const int row : hosts.MissingRows()) shortfall.missing.emplace_back(kManagedHosts[row].hostName);
  }
  if (scope == Scope::machine) return settings;
  // A hive another run has loaded cannot be loaded again: one at a time.
  std::optional<ActionLock> lock;
  Outcomes leftovers;
  if (users == Users::all) {
    lock.emplace();
    UnloadLeftovers(outcomes ? *outcomes : leftovers);
  }
  ProxyLists lists;
  lists.Reach(users);
  for (const CRegStringValue& value : lists.Values()) settings.push_back(Lacking(value));
  if (const std::vector<CFileException> stayed = lists.Release(); !stayed.empty()) throw stayed.front();
  return settings;
}
