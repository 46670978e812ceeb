#include "Outcomes.h"

#include <algorithm>

#include <string>

#include "FileException.h"
#include "ProxyLists.h"
#include "RegistryException.h"

Outcome& Outcomes::Of(const CString& target, const CString* after) {
  const auto named = [&](const CString& name) {
    return std::find_if(begin(), end(), [&](const Outcome& outcome) { return outcome.target == name; });
  };
  if (const auto found = named(target); found != end()) return *found;
  const auto previous = after ? named(*after) : end();
  return *insert(previous == end() ? previous : previous + 1, Outcome{target});
}

void Outcomes::Cover(const CoveredLists& covered) {
  for (const CoveredList& list : covered.lists) Of(list.Name());
  for (const CString& hive : covered.mandatory) Of(hive);
  for (const CString& entry : covered.notOnDisk) Of(entry).state = Outcome::noProfile;
}

void Outcomes::LeftAsItWas(const CString& target, const Failure& why) {
  Outcome& outcome = Of(target);
  outcome.state = Outcome::leftAsItWas;
  outcome.why = why;
}

void Outcomes::Stayed(const CoveredList& list, LONG error) {
  if (error == ERROR_SUCCESS) return;
  Outcome& outcome = Of(list.HivePath());
  outcome.state = Outcome::failed;
  outcome.why = Failure{Failure::file, CFileException::OsErrorToCause(error), error, list.HivePath(), {}};
}

void Outcomes::LeftLoaded(const std::vector<CString>& hives) {
  for (const CString& hive : hives) Of(hive).state = Outcome::leftLoaded;
}

CString Describe(const Outcome& outcome) {
  static const char* const kStates[] = {"untouched",   "unchanged",      "changed",
                                        "failed",      "put back",       "not put back",
                                        "left loaded", "left as it was", "no profile on disk"};
  CString text = kStates[outcome.state];
  if (outcome.why) text += ": " + WordsOf(*outcome.why);
  if (outcome.linesAdded > 0) text += CString(", ") + std::to_string(outcome.linesAdded).c_str() + " lines added";
  if (outcome.linesRemoved > 0) text += CString(", ") + std::to_string(outcome.linesRemoved).c_str() + " lines removed";
  return text;
}

bool DonePartly(const Outcomes& outcomes) {
  return std::any_of(outcomes.begin(), outcomes.end(), [](const Outcome& outcome) {
    return outcome.state == Outcome::leftAsItWas || outcome.state == Outcome::notPutBack ||
           (outcome.state == Outcome::failed && outcome.why);
  });
}
