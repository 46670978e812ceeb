// What the log tells of a run besides its outcome: when, which executable,
// as whom, and where.
#pragma once

#include <windows.h>

#include "CString.h"

// Local time with its offset from UTC: "2026-12-08T17:25:47+09:00".
CString LocalTimeText();
// "DOMAIN\name (SID)" of the account the process runs as.
CString ProcessAccount();
// The file version of the module's version record: "3.2.0.0".
CString ModuleVersion(HINSTANCE module);
// "x64" or "x86": what the executable was built for.
const char* Architecture();
// The process's window station is one that a user sees, in a session a
// user can be in. Services and deployment agents run without one; a window
// there waits for nobody.
bool OnInteractiveStation();
