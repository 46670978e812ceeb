#include "WrittenLists.h"

#include "FileException.h"

std::optional<CRegistryException> PutBack(const WrittenLists& lists, Outcomes& outcomes) {
  std::optional<CRegistryException> lost;
  const auto keep = [&](CRegistryException::Cause cause, LONG osError, const CString& value) {
    if (!lost) lost = CRegistryException(cause, osError, value);
  };
  for (auto written = lists.rbegin(); written != lists.rend(); ++written) {
    try {
      outcomes.Stayed(written->list, written->list.Reach([&](const ProxyListKey& key) {
        for (const ValuePutBack& value : PutBackValues(key, written->values)) {
          outcomes.Of(value.name).state = value.state == ValuePutBack::done ? Outcome::putBack : Outcome::notPutBack;
          if (value.state == ValuePutBack::changedByAnother) keep(CRegistryException::changedByAnother, 0, value.name);
          if (value.state == ValuePutBack::refused) keep(CRegistryException::restoreFailed, value.osError, value.name);
        }
      }));
    } catch (const CRegistryException& error) {  // a hive whose user's key could not be told
      outcomes.Of(written->list.Name()).state = Outcome::notPutBack;
      keep(CRegistryException::restoreFailed, error.m_lOsError, written->list.Name());
    } catch (const CFileException& error) {  // a hive that could not be loaded again
      outcomes.Of(written->list.Name()).state = Outcome::notPutBack;
      keep(CRegistryException::restoreFailed, error.m_lOsError, written->list.Name());
    }
  }
  return lost;
}
