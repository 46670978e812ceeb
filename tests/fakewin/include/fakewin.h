// What the tests, fuzz targets and benchmarks tell the fake of Windows: the
// system it plays, failures to inject, the users at the desktop. Nothing of
// this exists on Windows.
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fakewin {

// GetVersion of a 64-bit NT system (bit 31 clear), the fake's own.
inline constexpr DWORD kNtVersion = 0x23F00206;
// The SID of the process's user, who is also at the desktop, on a fresh machine.
inline constexpr const char* kUserSid = "S-1-5-21-1000";

// A fresh machine: an NT system whose Windows folder is C:\Windows (a
// folder of that name in the working folder: UseWindowsFolder puts it
// elsewhere), a new user's registry, the process's own user at the desktop,
// every export there, and no failure to come.
void Reset();

// The system's Windows folder is the local folder `root`: GetVersion,
// GetSystemDirectoryA and GetWindowsDirectoryA report an NT system there,
// and its system32\drivers\etc is made. Returns that folder's local path.
std::filesystem::path UseWindowsFolder(const std::filesystem::path& root);
// What SHGetFolderPathA names as the common application data folder:
// "C:\ProgramData" on a fresh machine, a folder of that name in the
// working folder.
void UseCommonAppDataFolder(const char* path);
// What GetVersion, GetSystemDirectoryA and GetWindowsDirectoryA report.
void SetSystem(DWORD version, const char* systemDirectory, const char* windowsDirectory);

// Makes the nth call from now (1-based) of `function` fail with `error`;
// a null `function` counts every file and registry call of the fake.
void InjectFailure(const char* function, int nth, DWORD error);
// Runs `action` once, at the next call of `function` that can be made to
// fail, before that call does anything: another program acting at that
// moment. The fake's calls it makes neither count nor fail.
void OnCall(const char* function, std::function<void()> action);
// No failure to come, and nothing waiting for a call.
void ClearFailure();
// Calls counted for injection since the last InjectFailure or ClearFailure.
int CountedCalls();
// True when the call `function` is to fail now; it then sets the last
// error. Asked by the fake's calls themselves.
bool ShouldFail(const char* function);

// The key at `path` under `root`, made where it is missing, lets the process
// read it and no more, as its security would: opening it to set a value or
// to make a key in it, or making a key in it, is refused (access denied).
// `denied` false: it may be changed again. `reading`: not even read.
void DenyChanges(HKEY root, const char* path, bool denied = true, bool reading = false);
// Opening the key at `path` under `root` (a path from the root, as given)
// fails with `error` from now on; ERROR_SUCCESS: it opens again.
void FailOpens(HKEY root, const char* path, DWORD error);
// Registry handles opened and not yet closed; predefined root keys not counted.
int OpenKeyCount();
// The names of the keys under HKEY_USERS that hold a loaded hive file.
std::vector<std::string> LoadedHives();
// The most hives loaded at once under keys the tool names ("OrvaneSetup.")
// since the registry was last made afresh.
int MostToolHivesAtOnce();
// Another program holds a key in every loaded hive from now on: unloading
// one fails with ERROR_ACCESS_DENIED; false: nobody does.
void HoldKeysInHives(bool held);
// Whether the process has enabled the privilege `name` (SE_BACKUP_NAME,
// SE_RESTORE_NAME).
bool PrivilegeEnabled(const char* name);
// An environment variable for ExpandEnvironmentStringsA; a fresh machine
// has SystemDrive "C:" alone.
void SetEnvironment(const char* name, const char* value);
// A new user's registry, HKEY_CURRENT_USER\Software and nothing else; every
// open key handle and every loaded hive is dropped, its file left as it was.
void ResetRegistry();

// Whose the process is and who is signed in at the desktop, as SIDs in
// text form; no desktop user: there is no shell window. With the shell's
// token closed to the process, the desktop's user is told by the session
// (the user "SCHOOL\pupil").
void SetUsers(const char* processUser, const char* desktopUser, bool shellTokenOpen = true);
// The options the tool handed to the internet settings since the last call,
// in order; with `present` false the library is missing from then on.
std::vector<DWORD> TakeInternetOptions(bool present = true);
// Another run holds the named mutex `name` (every one when null) from now
// on, or (`result` WAIT_ABANDONED) held it and ended without letting go;
// WAIT_OBJECT_0: nobody. A wait never lasts: it gives `result` at once.
void HoldMutexes(DWORD result, const char* name = nullptr);
// A system with private namespaces (Vista and later, as on a fresh machine),
// or one whose CreateBoundaryDescriptorW gives nothing, as wine's does.
void UsePrivateNamespaces(bool present);
// Named mutexes this process owns now.
int OwnedMutexCount();
// Closes the handle of a mutex or a private namespace, letting a mutex go if
// owned; false for any other handle. Asked by the fake's CloseHandle.
bool CloseMutex(HANDLE handle);
// A system without the KERNEL32 or ntdll function `name` (GetProcAddress finds
// nothing), as older systems are; null: every function there again.
void HideExport(const char* name);

// Every load since the last call that would have let the loader look beyond
// the system directory, for the library or for those it needs: a bare name,
// another folder, LoadLibraryA. The fake refuses them.
std::vector<std::string> TakeStrayLoads();
// What the process told the loader about where to look for a library by
// name: the folder given to SetDllDirectoryA (none: not called) and the
// flags given to SetDefaultDllDirectories (0: not called).
struct LibrarySearch {
  std::optional<std::string> dllDirectory;
  DWORD defaultDirectories = 0;
};
LibrarySearch GetLibrarySearch();
// Libraries as on a fresh machine: every one there, nothing loaded or told.
void ResetLibraries();

}  // namespace fakewin
