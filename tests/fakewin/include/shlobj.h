// The fake's header of the shell's folders: the common application data
// folder alone, where the tests put it (fakewin::UseCommonAppDataFolder).
#pragma once

#include <windows.h>

typedef LONG HRESULT;
#define S_OK 0L
#define E_FAIL (static_cast<HRESULT>(0x80004005L))
#define CSIDL_COMMON_APPDATA 0x0023

HRESULT SHGetFolderPathA(HWND window, int folder, HANDLE token, DWORD flags, LPSTR path);
