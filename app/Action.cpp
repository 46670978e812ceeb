#include "Action.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "ActionLock.h"
#include "HostsFile.h"
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

}  // namespace

Action OfferedAction() {
  const CRegStringValue value = ProxyOverride();
  ProxyExceptionList list;
  list.Load(value);
  // Either action writes the list: neither is offered when it cannot be.
  value.RequireChangeable();
  return list.ContainsWildcard() ? Action::remove : Action::set;
}

void CarryOut(Action action, Scope scope, Outcomes* report) {
  Outcomes ownOutcomes;
  Outcomes& outcomes = report ? *report : ownOutcomes;
  const bool set = action == Action::set;
  CHostsFile hosts;
  if (scope != Scope::user) outcomes.push_back(Outcome{hosts.GetPath()});
  const ActionLock lock;
  ProxyChanges proxies;
  ProxyChanges written;
  try {
    if (scope != Scope::machine) {
      proxies.push_back(set ? ProxyOverrideChange::AddProxyExceptionSet()
                            : ProxyOverrideChange::RemoveProxyExceptionSet());
      OutcomeOf(outcomes, proxies.back().GetTarget().GetName());
    }
    const auto writeProxies = [&] {
      for (const ProxyOverrideChange& proxy : proxies) {
        proxy.Write();
        written.push_back(proxy);
        OutcomeOf(outcomes, proxy.GetTarget().GetName()).state =
            proxy.WritesAnything() ? Outcome::changed : Outcome::unchanged;
      }
    };
    if (scope == Scope::user) {
      writeProxies();
      return;
    }
    const CHostsFile::Result result =
        hosts.Update(set ? CHostsFile::addMissing : CHostsFile::markManaged, writeProxies);
    Outcome& hostsOutcome = OutcomeOf(outcomes, hosts.GetPath());
    hostsOutcome.state = result.replaced ? Outcome::changed : Outcome::unchanged;
    hostsOutcome.linesAdded = result.linesAdded;
    hostsOutcome.linesRemoved = result.linesRemoved;
  } catch (...) {
    const CString failed = FailedTarget(std::current_exception(), hosts.GetPath());
    if (!failed.IsEmpty()) OutcomeOf(outcomes, failed).state = Outcome::failed;
    PutBack(written, outcomes, failed);
    throw;
  }
}

std::vector<Shortfall> Check(Scope scope) {
  std::vector<Shortfall> settings;
  if (scope != Scope::user) {
    CHostsFile hosts;
    Shortfall& shortfall = settings.emplace_back(Shortfall{hosts.GetPath(), {}});
    for (const int row : hosts.MissingRows()) shortfall.missing.emplace_back(kManagedHosts[row].hostName);
  }
  if (scope != Scope::machine) {
    const CRegStringValue value = ProxyOverride();
    ProxyExceptionList list;
    list.Load(value);
    Shortfall& shortfall = settings.emplace_back(Shortfall{value.GetName(), {}});
    // Set puts all seven in front unless the wildcard is there.
    if (!list.ContainsWildcard())
      for (const char* exception : kProxyExceptions)
        if (!list.Contains(exception)) shortfall.missing.emplace_back(exception);
  }
  return settings;
}
