// Every function of the system's that the tool looks up at run time, in one
// list: those not every system it runs on has (the oldest is Windows 2000),
// so that the executable still starts where they are missing, and those of
// the libraries outside the core ones, which are loaded by their full path
// (SystemLibrary.h). Each is looked up anew at every use, and is null where
// the system has it not.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <wtsapi32.h>

namespace imports {

// ntdll's own layouts (UNICODE_STRING, OBJECT_ATTRIBUTES, IO_STATUS_BLOCK).
struct NtName {
  WORD length;
  WORD maximumLength;
  const WCHAR* buffer;
};
struct NtAttributes {
  ULONG length;
  HANDLE rootDirectory;
  const NtName* objectName;
  ULONG attributes;
  void* securityDescriptor;
  void* securityQualityOfService;
};
struct IoStatus {
  void* status;
  void* information;
};

inline constexpr char kKernel32[] = "kernel32.dll";
inline constexpr char kNtdll[] = "ntdll.dll";
inline constexpr char kWininet[] = "wininet.dll";
inline constexpr char kWtsapi32[] = "wtsapi32.dll";

// The library, the name, the type.
#define NETSETUP_SYSTEM_IMPORTS(X)                                                                          \
  /* Windows XP and later */                                                                                \
  X(kKernel32, AttachConsole, BOOL(WINAPI*)(DWORD processId))                                               \
  X(kKernel32, IsWow64Process, BOOL(WINAPI*)(HANDLE process, BOOL * wow64))                                 \
  X(kKernel32, SetDllDirectoryA, BOOL(WINAPI*)(LPCSTR folder))                                              \
  X(kKernel32, ProcessIdToSessionId, BOOL(WINAPI*)(DWORD processId, DWORD * session))                       \
  X(kKernel32, ReplaceFileA,                                                                                \
    BOOL(WINAPI*)(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID, LPVOID))         \
  /* Vista and later; the narrow CreateBoundaryDescriptorA of wine ends the process */                      \
  X(kKernel32, GetFinalPathNameByHandleA, DWORD(WINAPI*)(HANDLE file, LPSTR path, DWORD size, DWORD flags)) \
  X(kKernel32, CreateBoundaryDescriptorW, HANDLE(WINAPI*)(LPCWSTR name, ULONG flags))                       \
  X(kKernel32, AddSIDToBoundaryDescriptor, BOOL(WINAPI*)(HANDLE * boundary, PSID sid))                      \
  X(kKernel32, DeleteBoundaryDescriptor, void(WINAPI*)(HANDLE boundary))                                    \
  X(kKernel32, CreatePrivateNamespaceW,                                                                     \
    HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES security, LPVOID boundary, LPCWSTR prefix))                       \
  X(kKernel32, OpenPrivateNamespaceW, HANDLE(WINAPI*)(LPVOID boundary, LPCWSTR prefix))                     \
  X(kKernel32, ClosePrivateNamespace, BOOLEAN(WINAPI*)(HANDLE space, ULONG flags))                          \
  /* Windows 8, and 7 with its update */                                                                    \
  X(kKernel32, SetDefaultDllDirectories, BOOL(WINAPI*)(DWORD directories))                                  \
  /* ntdll's own: the rename by handle, and the forced unload (Server 2003 and later) */                    \
  X(kNtdll, NtSetInformationFile,                                                                           \
    LONG(WINAPI*)(HANDLE file, IoStatus * status, void* information, ULONG length, int kind))               \
  X(kNtdll, NtUnloadKey2, LONG(WINAPI*)(const NtAttributes* target, ULONG flags))                           \
  /* The libraries loaded by their full path */                                                             \
  X(kWininet, InternetSetOptionA, BOOL(WINAPI*)(void* internet, DWORD option, void* buffer, DWORD length))  \
  X(kWtsapi32, WTSQuerySessionInformationA,                                                                 \
    BOOL(WINAPI*)(HANDLE server, DWORD session, WTS_INFO_CLASS kind, LPSTR * text, DWORD * size))           \
  X(kWtsapi32, WTSFreeMemory, void(WINAPI*)(PVOID memory))

// The export `name` of `module`; null when either is missing.
FARPROC Find(HMODULE module, const char* name);

// imports::Name(): the function, from the library already in the process
// (kernel32 and ntdll always are); imports::Name(module): from the one given
// (a SystemLibrary's).
#define NETSETUP_DECLARE_IMPORT(library, name, ...)                                         \
  using name##Type = __VA_ARGS__;                                                           \
  inline name##Type name(HMODULE module = GetModuleHandleA(library)) {                      \
    /* Through the generic function type, as the address of any export is cast. */          \
    return reinterpret_cast<name##Type>(reinterpret_cast<void (*)()>(Find(module, #name))); \
  }
NETSETUP_SYSTEM_IMPORTS(NETSETUP_DECLARE_IMPORT)
#undef NETSETUP_DECLARE_IMPORT

}  // namespace imports
