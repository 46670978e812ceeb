// The policy "make proxy settings per-machine": where it is on, Windows
// reads the proxy settings, the exception list among them, from
// HKEY_LOCAL_MACHINE for every user, and no user's own list counts.
#pragma once

#include <vector>

#include "ProxyListKey.h"

// Under HKEY_LOCAL_MACHINE: the policy's key, and in it the DWORD value
// ProxySettingsPerUser, 0 when the policy is on.
inline constexpr const char* PROXY_POLICY_PATH =
    "Software\\Policies\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// The policy is on. Raises CRegistryException (readFailed) when it cannot be
// told; a missing key or value is the policy unset.
bool ProxySettingsPerMachine();

// The machine's proxy exception lists, in force under the policy: that of
// this build's registry view first, then on 64-bit Windows that of the
// other view (64-bit programs read one, 32-bit programs the other, under
// WOW6432Node).
std::vector<ProxyListKey> MachineProxyLists();
