// The per-connection settings that Windows keeps beside the text values of
// Internet Settings, in the binary values of its key Connections: the LAN's
// in DefaultConnectionSettings, and a copy in SavedLegacySettings. WinHTTP,
// and with it Chromium, Edge and .NET, reads them, not the text values.
// Little-endian: a version, a change counter and flags (DWORDs); then the
// proxy server, the bypass list and the auto-configuration URL, each a DWORD
// length and its bytes; then bytes the tool never reads.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The values of the key Connections that hold the LAN's settings; other
// values there are a dial-up entry's or a VPN's, and are left alone.
inline constexpr const char* kConnectionValues[] = {"DefaultConnectionSettings", "SavedLegacySettings"};

// The bypass list of `value` (narrow text, as ProxyOverride); nothing when
// `value` is not of a form Windows writes: version 0x3C (before Internet
// Explorer 7) or 0x46, every length within the value.
std::optional<std::string_view> BypassListOf(std::string_view value);

// `value` with `bypass` for its bypass list and its change counter one up;
// every other byte as it was. `value` has a bypass list.
std::string WithBypassList(std::string_view value, std::string_view bypass);
