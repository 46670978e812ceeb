// Programs already running read the proxy exception list again once the
// system's internet settings are told that it changed.
#pragma once

// Sends the proxy-settings-changed, settings-changed and refresh notices. The library is loaded at
// run time, so that the executable imports only the system's core DLLs; a
// system without it has nothing to tell.
void NotifyInternetSettingsChanged();
