#include "ProxyExceptionList.h"

#include <algorithm>

#include "InternetSettings.h"
#include "ManagedHosts.h"

namespace {

bool IsProxyException(const CString& entry) {
  return std::any_of(kProxyExceptions.begin(), kProxyExceptions.end(),
                     [&](const char* exception) { return entry.CompareNoCase(exception) == 0; });
}

ProxyExceptionList Loaded(const CRegStringValue& value) {
  ProxyExceptionList list;
  list.Load(value);
  return list;
}

}  // namespace

void ProxyExceptionList::Load(const CRegStringValue& from) {
  CString value;
  from.Read(value, &m_stored);
  value.Trim();
  m_entries.clear();
  int start = 0;
  for (int separator; (separator = value.Find(';', start)) >= 0; start = separator + 1)
    m_entries.push_back(value.Mid(start, separator - start));
  m_entries.push_back(value.Mid(start));
}

BOOL ProxyExceptionList::ContainsWildcard() const { return Contains(kProxyWildcard); }

bool ProxyExceptionList::Contains(const CString& entry) const {
  return std::any_of(m_entries.begin(), m_entries.end(),
                     [&](const CString& held) { return held.CompareNoCase(entry) == 0; });
}

ProxyOverrideChange ProxyOverrideChange::AddProxyExceptionSet(CRegStringValue target) {
  const ProxyExceptionList list = Loaded(target);
  if (list.ContainsWildcard()) return {std::move(target), list, std::nullopt};
  CString value = ProxyExceptionsJoined();
  for (int i = 0; i < list.GetEntryCount(); ++i) {
    value += ';';
    value += list.GetEntry(i);
  }
  return Checked({std::move(target), list, value});
}

ProxyOverrideChange ProxyOverrideChange::RemoveProxyExceptionSet(CRegStringValue target) {
  const ProxyExceptionList list = Loaded(target);
  CString value;
  bool first = true;
  for (int i = 0; i < list.GetEntryCount(); ++i) {
    if (IsProxyException(list.GetEntry(i))) continue;
    if (!first) value += ';';
    value += list.GetEntry(i);
    first = false;
  }
  return Checked({std::move(target), list, value});
}

ProxyOverrideChange ProxyOverrideChange::Checked(ProxyOverrideChange change) {
  if (change.WritesAnything()) change.m_target.RequireChangeable();
  return change;
}

void ProxyOverrideChange::Write() const {
  if (!m_value) return;
  m_target.Write(*m_value);
  NotifyInternetSettingsChanged();
}

bool ProxyOverrideChange::Undo() const {
  if (!m_value) return true;
  if (!m_target.Restore(*m_value, m_before)) return false;
  NotifyInternetSettingsChanged();
  return true;
}
