// What became of each setting a run covered: what the report, the log and
// the status are made from. Kept as the run goes, in the order the run met
// the settings, a list's values together.
#pragma once

#include <optional>
#include <vector>

#include "CString.h"
#include "Failure.h"

class CoveredList;
struct CoveredLists;

// What became of one setting in a run.
struct Outcome {
  enum State {
    untouched,    // not reached, or left as it was because another failed first
    unchanged,    // already as the action leaves it: nothing written
    changed,      // written, and stays
    failed,       // the failure that was reported
    putBack,      // written, then put back as it was when a later step failed
    notPutBack,   // written, and could not be put back
    leftLoaded,   // a hive an earlier run left loaded, which stays so
    leftAsItWas,  // for every user: a list refused or out of reach, and the run went on
    noProfile,    // for every user: a profile list's entry with no profile on disk
  };

  CString target;  // the hosts file's path or the value's full name
  State state = untouched;
  std::optional<Failure> why = std::nullopt;  // leftAsItWas, and a hive that stayed loaded
  int linesAdded = 0;
  int linesRemoved = 0;
};

class Outcomes : public std::vector<Outcome> {
 public:
  // The outcome of `target`; a new one when the run had not named it yet (a
  // value that only its failure named), at the end or right after `after`'s.
  Outcome& Of(const CString& target, const CString* after = nullptr);
  // What the run covers besides the lists it works on, told as left alone:
  // mandatory profiles, and entries with no profile on disk.
  void Cover(const CoveredLists& covered);
  // A list refused or out of reach, for `why`: left as it was.
  void LeftAsItWas(const CString& target, const Failure& why);
  // A hive that stayed loaded after its list was worked on (`error` not
  // ERROR_SUCCESS): its user cannot sign in until it goes.
  void Stayed(const CoveredList& list, LONG error);
  // Hives an earlier run left loaded that stay so.
  void LeftLoaded(const std::vector<CString>& hives);
};

// Whether a run done for every user left something as it was (a list, a
// hive that stayed loaded, a value another program changed since it was
// written): done for the rest.
bool DonePartly(const Outcomes& outcomes);

// What became of a setting in a few words, as the log tells it: "changed,
// 31 lines added", "left as it was: not text, error 13".
CString Describe(const Outcome& outcome);
