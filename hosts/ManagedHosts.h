// The one configuration the tool applies: the hosts of the school network at
// their fixed addresses, and the proxy exceptions that let the browser reach
// them directly. A deployment changes ManagedHosts.cpp alone.
#pragma once

#include <array>

#include "CString.h"

struct ManagedHost {
  const char* address;   // dotted-decimal IPv4
  const char* hostName;  // lower case, begins with a letter, no white space
};

inline constexpr int kManagedHostCount = 31;
extern const std::array<ManagedHost, kManagedHostCount> kManagedHosts;

inline constexpr int kProxyExceptionCount = 7;
// The primary-domain wildcard first, then six hosts of the internal domain.
extern const std::array<const char*, kProxyExceptionCount> kProxyExceptions;
extern const char* const kProxyWildcard;

// The seven exceptions joined by ";", as they go in front of the user's list.
CString ProxyExceptionsJoined();
