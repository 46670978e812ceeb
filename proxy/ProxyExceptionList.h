// The current user's proxy exception list: the registry value ProxyOverride,
// entries separated by ";", split into its entries. Set puts the tool's proxy
// exception set in front of it, Remove settings takes the set's entries out.
// Every operation reads the value afresh; nothing is kept between them.
#pragma once

#include <windows.h>

#include <vector>

#include "CString.h"

// Under HKEY_CURRENT_USER: five keys, then the value name.
inline constexpr const char* PROXY_OVERRIDE_PATH =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyOverride";

class ProxyExceptionList {
 public:
  ProxyExceptionList();

  // Reads the value, drops white space at its two ends and splits it at
  // every ";". Entries are kept as they are, empty ones too, so joining them
  // with ";" gives back the trimmed value; an empty value is one empty entry.
  // FALSE when the value could not be read: the list is then one empty entry.
  BOOL Load();
  // TRUE when an entry is the primary-domain wildcard, whole and in any
  // letter case.
  BOOL ContainsWildcard() const;

  int GetEntryCount() const { return m_entryCount; }
  const CString& GetEntry(int index) const { return m_entries[static_cast<size_t>(index)]; }

 private:
  std::vector<CString> m_entries;
  int m_entryCount = 0;
};

// Set: the exception set, joined, goes in front of the list unless the
// wildcard is already in it. Both leave a value they cannot read alone:
// writing one built from nothing would lose the user's own entries.
void AddProxyExceptionSet();
// Remove settings: every entry equal to one of the set's goes; the rest is
// written back in its order, also when nothing changed or nothing is left.
void RemoveProxyExceptionSet();
