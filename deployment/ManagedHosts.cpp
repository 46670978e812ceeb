#include "ManagedHosts.h"

CString ProxyExceptionsJoined() {
  CString joined = kProxyExceptions[0];
  for (int i = 1; i < kProxyExceptionCount; ++i) joined = joined + ";" + kProxyExceptions[i];
  return joined;
}
