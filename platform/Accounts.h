// Accounts by their SIDs in text form ("S-1-5-18"), as the registry and the
// log name them.
#pragma once

#include <windows.h>

#include "CString.h"

// The text form of `sid`; empty when it cannot be had.
CString SidText(PSID sid);
// The user of the process's token; empty when it cannot be had.
CString TokenUserSid(HANDLE process);
// The process's own user; empty when it cannot be had.
CString ProcessUserSid();
