// A proxy exception list: the registry value ProxyOverride,
// entries separated by ";", split into its entries. Set puts the tool's proxy
// exception set in front of it, Remove settings takes the set's entries out.
// Every operation reads the value afresh; nothing is kept between them.
#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "CString.h"
#include "RegStringValue.h"

// Under HKEY_CURRENT_USER: five keys, then the value name.
inline constexpr const char* PROXY_OVERRIDE_PATH =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyOverride";

class ProxyExceptionList {
 public:
  // Reads the value, drops white space at its two ends and splits it at
  // every ";". Entries are kept as they are, empty ones too, so joining them
  // with ";" gives back the trimmed value; an empty value is one empty entry.
  // Raises CRegistryException when the value cannot be read.
  void Load(const CRegStringValue& value);
  // TRUE when an entry is the primary-domain wildcard, whole and in any
  // letter case.
  BOOL ContainsWildcard() const;
  // An entry is `entry`, whole and in any letter case.
  bool Contains(const CString& entry) const;

  int GetEntryCount() const { return static_cast<int>(m_entries.size()); }
  const CString& GetEntry(int index) const { return m_entries[static_cast<size_t>(index)]; }
  // The value exactly as Load found it.
  const RegStoredValue& GetStored() const { return m_stored; }

 private:
  std::vector<CString> m_entries;
  RegStoredValue m_stored;
};

// What Set or Remove settings does to the list, worked out from the value as
// it is when made and written when the caller says: the caller can then
// change the value only once everything that may fail before has succeeded,
// and put it back exactly when what follows fails.
class ProxyOverrideChange {
 public:
  // Set: the exception set, joined, in front of the list, unless the
  // wildcard is already in it; then nothing is written.
  static ProxyOverrideChange AddProxyExceptionSet(CRegStringValue target);
  // Remove settings: every entry equal to one of the set's goes; the rest is
  // written back in its order, also when nothing changed or nothing is left.
  static ProxyOverrideChange RemoveProxyExceptionSet(CRegStringValue target);
  // Each raises CRegistryException when the value cannot be read, and
  // (changeDenied) when a change that writes it finds it may not be changed.

  const CRegStringValue& GetTarget() const { return m_target; }
  // The same change, for the same list reached anew: its hive loaded again,
  // or found under its user's SID since.
  ProxyOverrideChange At(CRegStringValue target) const {
    ProxyOverrideChange moved = *this;
    moved.m_target = std::move(target);
    return moved;
  }
  // False when the change is to leave the value as it is.
  bool WritesAnything() const { return m_value.has_value(); }

  // Each raises CRegistryException when the registry refuses, and tells
  // running programs when the value has changed.
  void Write() const;
  // Puts the value back as it was stored when the change was made, while it
  // holds what Write wrote: false when another has changed it since, and it
  // is left as that one made it.
  bool Undo() const;

 private:
  ProxyOverrideChange(CRegStringValue target, const ProxyExceptionList& list, std::optional<CString> value)
      : m_target(std::move(target)), m_before(list.GetStored()), m_value(std::move(value)) {}
  // Refused before anything is written when the value may not be changed.
  static ProxyOverrideChange Checked(ProxyOverrideChange change);

  CRegStringValue m_target;  // the value read, and the one written and put back
  RegStoredValue m_before;
  std::optional<CString> m_value;  // nothing: nothing to write
};
