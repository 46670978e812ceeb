#include "WrittenLists.h"

std::optional<CRegistryException> PutBack(const WrittenLists& lists, Outcomes& outcomes) {
  std::optional<CRegistryException> lost;
  const auto keep = [&](CRegistryException::Cause cause, LONG osError, const CString& value) {
    if (!lost) lost = CRegistryException(cause, osError, value);
  };
  for (auto written = lists.rbegin(); written != lists.rend(); ++written) {
    // A profile's hive is loaded again, or found under its user's SID.
    const std::optional<Failure> unreached = FailureOfOne([&] {
      outcomes.Stayed(written->list, written->list.WorkOn([&](const ProxyListKey& key) {
        for (const ValuePutBack& value : PutBackValues(key, written->values)) {
          outcomes.Of(value.name).state = value.state == ValuePutBack::done ? Outcome::putBack : Outcome::notPutBack;
          if (value.state == ValuePutBack::changedByAnother) keep(CRegistryException::changedByAnother, 0, value.name);
          if (value.state == ValuePutBack::refused) keep(CRegistryException::restoreFailed, value.osError, value.name);
        }
      }));
    });
    if (unreached) {
      outcomes.Of(written->list.Name()).state = Outcome::notPutBack;
      keep(CRegistryException::restoreFailed, unreached->osError, written->list.Name());
    }
  }
  return lost;
}
