#include "ProxyExceptionList.h"

#include <algorithm>

#include "ManagedHosts.h"

namespace {

bool IsProxyException(const CString& entry) {
  return std::any_of(kProxyExceptions.begin(), kProxyExceptions.end(),
                     [&](const char* exception) { return entry.CompareNoCase(exception) == 0; });
}

}  // namespace

void ProxyExceptionList::Load(const CRegStringValue& from) {
  CString value;
  from.Read(value, &m_stored);
  Parse(std::move(value));
}

void ProxyExceptionList::Parse(CString value) {
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

std::optional<CString> ListWithExceptionSet(const ProxyExceptionList& list) {
  if (list.ContainsWildcard()) return std::nullopt;
  CString value = ProxyExceptionsJoined();
  for (int i = 0; i < list.GetEntryCount(); ++i) {
    value += ';';
    value += list.GetEntry(i);
  }
  return value;
}

CString ListWithoutExceptionSet(const ProxyExceptionList& list) {
  CString value;
  bool first = true;
  for (int i = 0; i < list.GetEntryCount(); ++i) {
    if (IsProxyException(list.GetEntry(i))) continue;
    if (!first) value += ';';
    value += list.GetEntry(i);
    first = false;
  }
  return value;
}

std::vector<CString> ExceptionsLacking(const ProxyExceptionList& list) {
  std::vector<CString> missing;
  // Set puts all seven in front unless the wildcard is there.
  if (!list.ContainsWildcard())
    for (const char* exception : kProxyExceptions)
      if (!list.Contains(exception)) missing.emplace_back(exception);
  return missing;
}
