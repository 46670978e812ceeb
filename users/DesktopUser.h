// Whose settings the proxy work is for: the user signed in at the desktop
// the tool shows on. An administrator who elevates the tool on a standard
// user's desktop runs it as themselves, and their own HKEY_CURRENT_USER is
// not the one the user's browser reads.
#pragma once

#include <optional>

#include "Accounts.h"
#include "CString.h"

// The SID, in text form, of the desktop's user when that is not the
// process's own user; nothing when it is, or when there is no desktop user
// to be found (no shell window).
std::optional<CString> OtherDesktopUserSid();

// SYSTEM, LocalService or NetworkService: accounts that services and
// deployment agents run as, whose own proxy list no user's browser reads.
bool IsServiceAccount(const CString& sid);
