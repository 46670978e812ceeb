#include "ProxyExceptionList.h"

#include <algorithm>

#include "ManagedHosts.h"

namespace {

CRegStringValue ProxyOverride() { return CRegStringValue(HKEY_CURRENT_USER, PROXY_OVERRIDE_PATH); }

bool IsProxyException(const CString& entry) {
  return std::any_of(kProxyExceptions.begin(), kProxyExceptions.end(),
                     [&](const char* exception) { return entry.CompareNoCase(exception) == 0; });
}

ProxyExceptionList Loaded() {
  ProxyExceptionList list;
  list.Load();
  return list;
}

}  // namespace

void ProxyExceptionList::Load() {
  CString value;
  ProxyOverride().Read(value, &m_stored);
  value.Trim();
  m_entries.clear();
  int start = 0;
  for (int separator; (separator = value.Find(';', start)) >= 0; start = separator + 1)
    m_entries.push_back(value.Mid(start, separator - start));
  m_entries.push_back(value.Mid(start));
}

BOOL ProxyExceptionList::ContainsWildcard() const {
  const CString wildcard(kProxyWildcard);
  return std::any_of(m_entries.begin(), m_entries.end(),
                     [&](const CString& entry) { return entry.CompareNoCase(wildcard) == 0; });
}

ProxyOverrideChange ProxyOverrideChange::AddProxyExceptionSet() {
  const ProxyExceptionList list = Loaded();
  if (list.ContainsWildcard()) return {list, std::nullopt};
  CString value = ProxyExceptionsJoined();
  for (int i = 0; i < list.GetEntryCount(); ++i) {
    value += ';';
    value += list.GetEntry(i);
  }
  return {list, value};
}

ProxyOverrideChange ProxyOverrideChange::RemoveProxyExceptionSet() {
  const ProxyExceptionList list = Loaded();
  CString value;
  bool first = true;
  for (int i = 0; i < list.GetEntryCount(); ++i) {
    if (IsProxyException(list.GetEntry(i))) continue;
    if (!first) value += ';';
    value += list.GetEntry(i);
    first = false;
  }
  return {list, value};
}

void ProxyOverrideChange::Write() const {
  if (m_value) ProxyOverride().Write(*m_value);
}

void ProxyOverrideChange::Undo() const {
  if (m_value) ProxyOverride().Restore(m_before);
}
