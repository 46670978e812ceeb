// Named mutexes of KERNEL32 in the fake, and the security descriptors made
// for them. One process: another run that holds a mutex is played by the
// tests (fakewin::HoldMutexes). Included by the fake windows.h.
#pragma once

typedef void* PSECURITY_DESCRIPTOR;

#define WAIT_OBJECT_0 0u
#define WAIT_ABANDONED 0x80u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu
#define SDDL_REVISION_1 1u

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
BOOL ReleaseMutex(HANDLE mutex);
BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR text, DWORD revision, PSECURITY_DESCRIPTOR* descriptor,
                                                          ULONG* size);
