#include <optional>

#include "Action.h"
#include "ActionLock.h"
#include "DeploymentRecord.h"
#include "HivePrivileges.h"
#include "HostsFile.h"
#include "LeftoverHives.h"
#include "ProxyListChange.h"
#include "ProxyPolicy.h"

namespace {

Shortfall HostsShortfall() {
  CHostsFile hosts;
  Shortfall shortfall{hosts.GetPath(), {}, {}};
  for (const int row : hosts.MissingRows()) shortfall.missing.emplace_back(kManagedHosts[row].hostName);
  return shortfall;
}

// Each value of the list, or, for every user, why the list cannot be told.
std::vector<Shortfall> ListShortfalls(const CoveredList& list, bool eachOnItsOwn, Outcomes& outcomes) {
  std::vector<Shortfall> values;
  const auto tell = [&] {
    outcomes.Stayed(list, list.WorkOn([&](const ProxyListKey& key) {
      for (ValueLacking& value : ExceptionsLacking(key))
        values.push_back({std::move(value.name), std::move(value.missing), {}});
    }));
  };
  if (!eachOnItsOwn)
    tell();
  else if (const std::optional<Failure> failure = FailureOfOne(tell))
    values = {{list.Name(), {}, failure}};
  return values;
}

}  // namespace

std::vector<Shortfall> Check(Scope scope, Users users, Outcomes* report, const Patience& patience) {
  Outcomes ownOutcomes;
  Outcomes& outcomes = report ? *report : ownOutcomes;
  std::vector<Shortfall> settings;
  if (scope != Scope::user) settings.push_back(HostsShortfall());
  if (scope == Scope::machine) return settings;
  // A hive another run has loaded cannot be loaded again: one at a time.
  std::optional<ActionLock> lock;
  if (users == Users::all) {
    lock.emplace(patience);
    outcomes.LeftLoaded(UnloadLeftoverHives());
  }
  const CoveredLists covered = ListsOf(users);
  for (const CString& entry : covered.notOnDisk) outcomes.Of(entry).state = Outcome::noProfile;
  std::optional<HivePrivileges> privileges;
  if (covered.eachOnItsOwn) privileges.emplace();
  for (const CoveredList& list : covered.lists) {
    const std::vector<Shortfall> values = ListShortfalls(list, covered.eachOnItsOwn, outcomes);
    settings.insert(settings.end(), values.begin(), values.end());
  }
  return settings;
}

std::vector<Shortfall> Detect(const CString& version) {
  std::vector<Shortfall> settings{HostsShortfall()};
  Shortfall& recorded = settings.emplace_back(Shortfall{DeploymentRecordName(), {}, {}});
  const std::optional<DeploymentRecord> record = ReadDeploymentRecord();
  if (record && record->version == version)
    recorded.left = record->leftAsItWas;
  else
    recorded.missing.push_back(version);
  if (ProxySettingsPerMachine())
    for (const ProxyListKey& key : MachineProxyLists())
      for (ValueLacking& value : ExceptionsLacking(key))
        settings.push_back({std::move(value.name), std::move(value.missing), {}});
  return settings;
}
