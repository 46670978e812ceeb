// What the tests, fuzz targets and benchmarks tell the fake of Windows: the
// system it plays, failures to inject, the users at the desktop. Nothing of
// this exists on Windows.
#pragma once

#include <windows.h>

#include <vector>

namespace fakewin {

// What GetVersion, GetSystemDirectoryA and GetWindowsDirectoryA report.
void SetSystem(DWORD version, const char* systemDirectory, const char* windowsDirectory);

// Makes the nth call from now (1-based) of `function` fail with `error`;
// a null `function` counts every file and registry call of the stand-in.
void InjectFailure(const char* function, int nth, DWORD error);
void ClearFailure();
// Calls counted for injection since the last InjectFailure or ClearFailure.
int CountedCalls();

// True when the stand-in call `function` is to fail now; it then sets the
// last error. Used by the stand-ins themselves.
bool ShouldFail(const char* function);

}  // namespace fakewin

namespace fakewin {

// Registry handles opened and not yet closed; predefined root keys not counted.
int OpenKeyCount();
// Empties the in-memory registry and drops every open key handle.
void ResetRegistry();

}  // namespace fakewin

namespace fakewin {

// Whose the process is and who is signed in at the desktop, as SIDs in
// text form; no desktop user: there is no shell window.
void SetUsers(const char* processUser, const char* desktopUser);
// The options the tool handed to the internet settings since the last call,
// in order; with `present` false the library is missing from then on.
std::vector<DWORD> TakeInternetOptions(bool present = true);
// A system without the KERNEL32 function `name` (GetProcAddress finds
// nothing), as older systems are; null: every function there again.
void HideExport(const char* name);

}  // namespace fakewin
