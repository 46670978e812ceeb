#include "Action.h"

#include "HostsFile.h"
#include "ProxyExceptionList.h"

Action OfferedAction() {
  ProxyExceptionList list;
  list.Load();
  return list.ContainsWildcard() ? Action::remove : Action::set;
}

void CarryOut(Action action) {
  const bool set = action == Action::set;
  const ProxyOverrideChange proxy =
      set ? ProxyOverrideChange::AddProxyExceptionSet() : ProxyOverrideChange::RemoveProxyExceptionSet();
  CHostsFile hosts;
  bool proxyWritten = false;
  try {
    hosts.Update(set ? CHostsFile::addMissing : CHostsFile::markManaged, [&] {
      proxy.Write();
      proxyWritten = true;
    });
  } catch (...) {
    if (!proxyWritten) throw;
    try {
      proxy.Undo();
    } catch (CRegistryException& lost) {
      lost.m_cause = CRegistryException::restoreFailed;
      lost.m_strFileName = hosts.GetPath();
      throw;
    }
    throw;
  }
}
