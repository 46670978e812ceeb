#include "Settings.h"

#include "HostsFile.h"
#include "ProxyExceptionList.h"

void ApplySettings(Settings which) {
  CHostsFile hosts(TRUE);
  hosts.ReadAll();
  if (which == Settings::set) {
    AddProxyExceptionSet();
    hosts.AddMissing();
  } else {
    RemoveProxyExceptionSet();
    hosts.MarkManaged();
  }
  hosts.Recreate(TRUE);
  hosts.WriteAll();
  hosts.Commit();
}
