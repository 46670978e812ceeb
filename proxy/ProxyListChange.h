// What Set or Remove settings does to one proxy exception list as programs
// read it: to the text value ProxyOverride by its rule, and by the same
// rule, each on its own, to the bypass list of each per-connection value
// that exists (none is ever made). Worked out from the values as they are
// when made, and written when the caller says: the caller can then change
// the list only once everything that may fail before has succeeded, and put
// it back byte for byte when what follows fails.
#pragma once

#include <optional>
#include <vector>

#include "CString.h"
#include "ProxyListKey.h"
#include "RegValue.h"

// What became of a value written when it was to be put back.
struct ValuePutBack {
  CString name;
  enum State {
    done,
    changedByAnother,  // it no longer held what was written: left as the other made it
    refused,           // the registry refused: it keeps what was written
  } state;
  LONG osError = 0;  // refused: the registry's answer
};
class ProxyListChange {
 public:
  // Set: the exception set, joined, in front of each list, unless the
  // wildcard is already in it; then that one is left as it is.
  static ProxyListChange AddProxyExceptionSet(const ProxyListKey& key);
  // Remove settings: every entry equal to one of the set's goes. The text
  // value is written back also when nothing changed or nothing is left; a
  // per-connection value only when its bypass list changes.
  static ProxyListChange RemoveProxyExceptionSet(const ProxyListKey& key);
  // Each raises CRegistryException when a value cannot be read, when a
  // per-connection value is of a form not known (unknownForm), and
  // (changeDenied) when a value the change writes may not be changed.

  // The same change, for the same list reached anew: its hive loaded again,
  // or found under its user's SID since.
  ProxyListChange At(const ProxyListKey& key) const {
    ProxyListChange moved = *this;
    moved.m_key = key;
    return moved;
  }

  // Each value the list has, by its full name, and whether it is written.
  struct Value {
    CString name;
    bool writes;
  };
  std::vector<Value> Values() const;
  bool WritesAnything() const;
  // Each value the change writes, by its path below the list's key, as it
  // was and as written: what a later run needs to put it back.
  struct Written {
    CString relative;
    RegStoredValue before;
    RegStoredValue after;
  };
  std::vector<Written> WrittenValues() const;

  // Writes each value that changes, then tells running programs. Raises
  // CRegistryException when the registry refuses; what was written of the
  // list by then is first put back.
  void Write() const;

 private:
  struct Connection {
    const char* name;
    RegStoredValue before;
    std::optional<RegStoredValue> after;  // nothing: left as it is
  };

  ProxyListChange(const ProxyListKey& key, bool set);

  ProxyListKey m_key;
  RegStoredValue m_textBefore;
  std::optional<CString> m_text;  // nothing: ProxyOverride left as it is
  std::vector<Connection> m_connections;
};

// Puts back, the latest first, each of `values` of the list at `key` where
// it still holds what was written, and tells running programs. Never raises.
std::vector<ValuePutBack> PutBackValues(const ProxyListKey& key, const std::vector<ProxyListChange::Written>& values);

// Each value of the list at `key` by its full name, with the proxy
// exceptions it lacks by the rule Set decides by. Raises CRegistryException
// as the changes do when the list cannot be told.
struct ValueLacking {
  CString name;
  std::vector<CString> missing;
};
std::vector<ValueLacking> ExceptionsLacking(const ProxyListKey& key);
