// A proxy exception list: entries separated by ";", as the registry value
// ProxyOverride and the bypass list of each per-connection value hold it,
// split into its entries; and the rules of Set, which puts the tool's proxy
// exception set in front of it, and of Remove settings, which takes the
// set's entries out. Every list is read afresh; nothing is kept between
// operations.
#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "CString.h"
#include "RegStringValue.h"

// Under a user's hive or the machine's: the key of the Internet settings,
// and in it the text value, five keys and then the value name.
inline constexpr const char* INTERNET_SETTINGS_PATH = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
inline constexpr const char* PROXY_OVERRIDE_PATH =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyOverride";

class ProxyExceptionList {
 public:
  // Reads the value and splits it as Parse does. Raises CRegistryException
  // when the value cannot be read.
  void Load(const CRegStringValue& value);
  // Drops white space at the two ends of `value` and splits it at every
  // ";". Entries are kept as they are, empty ones too, so joining them with
  // ";" gives back the trimmed value; an empty value is one empty entry.
  void Parse(CString value);
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

// Set's rule: the exception set, joined, then ";" and the list's entries;
// nothing, the list to stay as it is, when the wildcard is already in it.
std::optional<CString> ListWithExceptionSet(const ProxyExceptionList& list);
// Remove settings' rule: the entries that are none of the set's, in their
// order, joined by ";".
CString ListWithoutExceptionSet(const ProxyExceptionList& list);
// The set's entries that the list lacks by the rule Set decides by: none
// when it holds the wildcard, else each one it does not hold.
std::vector<CString> ExceptionsLacking(const ProxyExceptionList& list);
