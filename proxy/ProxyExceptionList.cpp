#include "ProxyExceptionList.h"

#include <algorithm>

#include "ManagedHosts.h"
#include "RegStringValue.h"

namespace {

CRegStringValue ProxyOverride() { return CRegStringValue(HKEY_CURRENT_USER, PROXY_OVERRIDE_PATH); }

bool IsProxyException(const CString& entry) {
  return std::any_of(kProxyExceptions.begin(), kProxyExceptions.end(),
                     [&](const char* exception) { return entry.CompareNoCase(exception) == 0; });
}

}  // namespace

// A value of up to 255 bytes has at most 256 entries; longer ones grow the list.
ProxyExceptionList::ProxyExceptionList() { m_entries.reserve(256); }

BOOL ProxyExceptionList::Load() {
  CString value;
  const BOOL read = ProxyOverride().Read(value);
  value.Trim();
  m_entries.clear();
  int start = 0;
  for (int separator; (separator = value.Find(';', start)) >= 0; start = separator + 1)
    m_entries.push_back(value.Mid(start, separator - start));
  m_entries.push_back(value.Mid(start));
  m_entryCount = static_cast<int>(m_entries.size());
  return read;
}

BOOL ProxyExceptionList::ContainsWildcard() const {
  const CString wildcard(kProxyWildcard);
  return std::any_of(m_entries.begin(), m_entries.end(),
                     [&](const CString& entry) { return entry.CompareNoCase(wildcard) == 0; });
}

void AddProxyExceptionSet() {
  ProxyExceptionList list;
  if (!list.Load() || list.ContainsWildcard()) return;
  CString value = ProxyExceptionsJoined();
  for (int i = 0; i < list.GetEntryCount(); ++i) {
    value += ';';
    value += list.GetEntry(i);
  }
  ProxyOverride().Write(value);
}

void RemoveProxyExceptionSet() {
  ProxyExceptionList list;
  if (!list.Load()) return;
  CString value;
  bool first = true;
  for (int i = 0; i < list.GetEntryCount(); ++i) {
    if (IsProxyException(list.GetEntry(i))) continue;
    if (!first) value += ';';
    value += list.GetEntry(i);
    first = false;
  }
  ProxyOverride().Write(value);
}
