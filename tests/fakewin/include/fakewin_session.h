// Calls of KERNEL32, ADVAPI32 and USER32 in the fake that tell who is
// signed in at the desktop and who runs the process, and load a library at
// run time (a system one only, by its full path in the system directory).
// One desktop, one process: the tests say whose they are.
// Included by the fake windows.h.
#pragma once

struct HWND__;     // NOLINT(bugprone-reserved-identifier): the SDK's name
struct HMODULE__;  // NOLINT(bugprone-reserved-identifier)
typedef HWND__* HWND;
typedef HMODULE__* HMODULE;
typedef HANDLE* PHANDLE;
typedef void* PSID;
typedef void* HLOCAL;
typedef intptr_t (*FARPROC)();

#define PROCESS_QUERY_INFORMATION 0x0400u
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000u
#define TOKEN_ADJUST_PRIVILEGES 0x0020u
#define TOKEN_QUERY 0x0008u
#define SE_PRIVILEGE_ENABLED 0x2u
#define ERROR_NOT_ALL_ASSIGNED 1300L
#define ERROR_NO_SUCH_PRIVILEGE 1313L
#define SE_BACKUP_NAME "SeBackupPrivilege"
#define SE_RESTORE_NAME "SeRestorePrivilege"

typedef enum _TOKEN_INFORMATION_CLASS { TokenUser = 1 } TOKEN_INFORMATION_CLASS;  // NOLINT
typedef struct _SID_AND_ATTRIBUTES {  // NOLINT(bugprone-reserved-identifier)
  PSID Sid;
  DWORD Attributes;
} SID_AND_ATTRIBUTES;
typedef struct _TOKEN_USER {  // NOLINT(bugprone-reserved-identifier)
  SID_AND_ATTRIBUTES User;
} TOKEN_USER;

typedef struct _LUID {  // NOLINT(bugprone-reserved-identifier)
  DWORD LowPart;
  LONG HighPart;
} LUID, *PLUID;
typedef struct _LUID_AND_ATTRIBUTES {  // NOLINT(bugprone-reserved-identifier)
  LUID Luid;
  DWORD Attributes;
} LUID_AND_ATTRIBUTES;
typedef struct _TOKEN_PRIVILEGES {  // NOLINT(bugprone-reserved-identifier)
  DWORD PrivilegeCount;
  LUID_AND_ATTRIBUTES Privileges[1];
} TOKEN_PRIVILEGES, *PTOKEN_PRIVILEGES;

HWND GetShellWindow();
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);
HANDLE GetCurrentProcess();
HANDLE OpenProcess(DWORD access, BOOL inheritHandle, DWORD processId);
BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token);
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID information, DWORD length,
                         LPDWORD returnLength);
BOOL ConvertSidToStringSidA(PSID sid, LPSTR* text);
// The process holds the backup and restore privileges, disabled until it
// enables them, as an administrator's does.
BOOL LookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid);
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD bufferLength,
                           PTOKEN_PRIVILEGES previousState, LPDWORD returnLength);
HLOCAL LocalFree(HLOCAL memory);

// The session's user by name, and the SID of a name.
typedef void* PVOID;
typedef enum _WTS_INFO_CLASS { WTSUserName = 5, WTSDomainName = 7 } WTS_INFO_CLASS;  // NOLINT
typedef enum _SID_NAME_USE { SidTypeUser = 1 } SID_NAME_USE;                         // NOLINT
#define WTS_CURRENT_SERVER_HANDLE (static_cast<HANDLE>(nullptr))
#define WTS_CURRENT_SESSION (static_cast<DWORD>(-1))
BOOL WTSQuerySessionInformationA(HANDLE server, DWORD session, WTS_INFO_CLASS kind, LPSTR* text, DWORD* size);
void WTSFreeMemory(PVOID memory);
BOOL LookupAccountNameA(LPCSTR system, LPCSTR account, PSID sid, LPDWORD sidSize, LPSTR domain, LPDWORD domainSize,
                        SID_NAME_USE* use);

#define LOAD_WITH_ALTERED_SEARCH_PATH 0x8u
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x800u
HMODULE GetModuleHandleA(LPCSTR name);
HMODULE LoadLibraryA(LPCSTR name);
HMODULE LoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);

// The calls of ntdll.dll the tool looks up by name: a rename of an open file
// (FileRenameInformation) into the folder of the handle it names, and the
// forced unload of a hive (NtUnloadKey2 with REG_FORCE_UNLOAD, its key
// named "\Registry\User\NAME").
namespace fakewin::ntdll {
LONG SetInformationFile(HANDLE file, void* status, void* information, ULONG length, int kind);
LONG UnloadKey2(const void* target, ULONG flags);
}  // namespace fakewin::ntdll
