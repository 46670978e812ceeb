// The values a run wrote, list by list, each as it was and as written: put
// back by the run itself when a later step fails, or from the undo record
// by a later run (UndoRecord.h).
#pragma once

#include <optional>
#include <vector>

#include "Outcomes.h"
#include "ProxyListChange.h"
#include "ProxyLists.h"
#include "RegistryException.h"

struct WrittenList {
  CoveredList list;
  std::vector<ProxyListChange::Written> values;
};
using WrittenLists = std::vector<WrittenList>;

// Puts back, the latest first, each value where it still holds what was
// written, a profile's hive loaded again for it; each one's outcome (put
// back, not put back). The first that could not be, as the registry error
// that tells it (changedByAnother, restoreFailed), if one could not.
std::optional<CRegistryException> PutBack(const WrittenLists& lists, Outcomes& outcomes);
