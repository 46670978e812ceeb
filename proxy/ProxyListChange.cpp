#include "ProxyListChange.h"

#include <string>

#include "ConnectionSettings.h"
#include "InternetSettings.h"
#include "ProxyExceptionList.h"

namespace {

// The bypass list of a per-connection value that exists, split; a value of
// a form not known is refused, as a ProxyOverride that is not text is.
ProxyExceptionList BypassList(const CRegValue& value, const RegStoredValue& stored) {
  const auto bypass = stored.type == REG_BINARY ? BypassListOf(stored.bytes) : std::nullopt;
  if (!bypass) throw CRegistryException(CRegistryException::unknownForm, ERROR_INVALID_DATA, value.GetName());
  ProxyExceptionList list;
  list.Parse(CString(std::string(*bypass)));
  return list;
}

}  // namespace

ProxyListChange::ProxyListChange(const ProxyListKey& key, bool set) : m_key(key) {
  ProxyExceptionList text;
  text.Load(key.Text());
  m_textBefore = text.GetStored();
  m_text = set ? ListWithExceptionSet(text) : ListWithoutExceptionSet(text);
  for (const char* name : kConnectionValues) {
    const CRegValue value = key.Connection(name);
    Connection connection{name, value.Read(), std::nullopt};
    if (!connection.before.exists) continue;
    const ProxyExceptionList bypass = BypassList(value, connection.before);
    const std::string_view old = *BypassListOf(connection.before.bytes);
    const std::optional<CString> changed = set ? ListWithExceptionSet(bypass) : ListWithoutExceptionSet(bypass);
    if (changed && changed->View() != old) {
      connection.after = connection.before;
      connection.after->bytes = WithBypassList(connection.before.bytes, changed->View());
    }
    m_connections.push_back(std::move(connection));
  }
  // Refused before anything is written.
  if (m_text) key.Text().RequireChangeable();
  for (const Connection& connection : m_connections)
    if (connection.after) key.Connection(connection.name).RequireChangeable();
}

ProxyListChange ProxyListChange::AddProxyExceptionSet(const ProxyListKey& key) { return {key, true}; }

ProxyListChange ProxyListChange::RemoveProxyExceptionSet(const ProxyListKey& key) { return {key, false}; }

std::vector<ProxyListChange::Value> ProxyListChange::Values() const {
  std::vector<Value> values{{m_key.Text().GetName(), m_text.has_value()}};
  for (const Connection& connection : m_connections)
    values.push_back({m_key.Connection(connection.name).GetName(), connection.after.has_value()});
  return values;
}

std::vector<ProxyListChange::Written> ProxyListChange::WrittenValues() const {
  std::vector<Written> written;
  if (m_text) written.push_back({"ProxyOverride", m_textBefore, CRegStringValue::StoredForm(*m_text)});
  for (const Connection& connection : m_connections)
    if (connection.after)
      written.push_back({CString("Connections\\") + connection.name, connection.before, *connection.after});
  return written;
}

bool ProxyListChange::WritesAnything() const {
  for (const Value& value : Values())
    if (value.writes) return true;
  return false;
}

void ProxyListChange::Write() const {
  if (!WritesAnything()) return;
  size_t written = 0;  // of the connections
  try {
    if (m_text) m_key.Text().Write(*m_text);
    for (; written < m_connections.size(); ++written)
      if (const Connection& connection = m_connections[written]; connection.after)
        m_key.Connection(connection.name).Write(*connection.after);
  } catch (const CRegistryException&) {
    // All of the list or none of it. What cannot be put back keeps the
    // exceptions in front of the user's entries: nothing of theirs is lost.
    try {
      for (size_t i = written; i-- > 0;)
        if (const Connection& connection = m_connections[i]; connection.after)
          m_key.Connection(connection.name).Restore(*connection.after, connection.before);
      if (m_text) m_key.Text().Restore(*m_text, m_textBefore);
    } catch (const CRegistryException&) {
    }
    throw;
  }
  NotifyInternetSettingsChanged();
}

std::vector<ValuePutBack> PutBackValues(const ProxyListKey& key, const std::vector<ProxyListChange::Written>& values) {
  std::vector<ValuePutBack> results;
  for (auto value = values.rbegin(); value != values.rend(); ++value) {
    const CRegValue where = key.Value(value->relative);
    try {
      results.push_back({where.GetName(), where.Restore(value->after, value->before) ? ValuePutBack::done
                                                                                     : ValuePutBack::changedByAnother});
    } catch (const CRegistryException& error) {
      results.push_back({where.GetName(), ValuePutBack::refused, error.m_lOsError});
    }
  }
  if (!results.empty()) NotifyInternetSettingsChanged();
  return results;
}

std::vector<ValueLacking> ExceptionsLacking(const ProxyListKey& key) {
  ProxyExceptionList text;
  text.Load(key.Text());
  std::vector<ValueLacking> values{{key.Text().GetName(), ExceptionsLacking(text)}};
  for (const char* name : kConnectionValues) {
    const CRegValue value = key.Connection(name);
    const RegStoredValue stored = value.Read();
    if (stored.exists) values.push_back({value.GetName(), ExceptionsLacking(BypassList(value, stored))});
  }
  return values;
}
