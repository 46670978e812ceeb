// Named mutexes of KERNEL32 in the fake, and the private namespaces of
// Windows Vista and later that they may be named in. One process: another
// run that holds a mutex is played by the tests (fakewin::HoldMutexes).
// Included by the fake windows.h.
#pragma once

typedef BYTE BOOLEAN;

#define WAIT_OBJECT_0 0u
#define WAIT_ABANDONED 0x80u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu

// A name "prefix\name" is in the private namespace of that prefix, which
// the process must have opened.
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
BOOL ReleaseMutex(HANDLE mutex);

// Reached through GetProcAddress, as only Windows Vista and later have them.
// A namespace is made only within a boundary that holds the administrators'
// SID, as the process is one of theirs.
HANDLE CreateBoundaryDescriptorW(LPCWSTR name, ULONG flags);
BOOL AddSIDToBoundaryDescriptor(HANDLE* boundary, PSID sid);
void DeleteBoundaryDescriptor(HANDLE boundary);
HANDLE CreatePrivateNamespaceW(LPSECURITY_ATTRIBUTES security, LPVOID boundary, LPCWSTR prefix);
HANDLE OpenPrivateNamespaceW(LPVOID boundary, LPCWSTR prefix);
BOOLEAN ClosePrivateNamespace(HANDLE space, ULONG flags);
