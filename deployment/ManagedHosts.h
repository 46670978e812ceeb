// The one configuration the tool applies, as the code uses it: the hosts of
// the school network at their fixed addresses, and the proxy exceptions that
// let the browser reach them directly. The data is the deployment's
// (Deployment.h); the shape is fixed here.
#pragma once

#include <array>
#include <iterator>

#include "CString.h"
#include "Deployment.h"

inline constexpr int kManagedHostCount = 31;
static_assert(std::size(kManagedHosts) == kManagedHostCount, "the managed host table has 31 rows");

inline constexpr int kProxyExceptionCount = 7;
// The primary-domain wildcard first, then the six hosts of the internal
// domain: row 22 comes last, although its address is the lowest of them.
inline constexpr std::array<const char*, kProxyExceptionCount> kProxyExceptions = {
    kProxyWildcard,
    kManagedHosts[23].hostName,
    kManagedHosts[24].hostName,
    kManagedHosts[25].hostName,
    kManagedHosts[26].hostName,
    kManagedHosts[27].hostName,
    kManagedHosts[22].hostName,
};

// The seven exceptions joined by ";", as they go in front of the user's list.
CString ProxyExceptionsJoined();
