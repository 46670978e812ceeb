#include "ActionLock.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <sddl.h>

#include "BusyException.h"

namespace {

// In the global namespace, so that runs in every session meet.
constexpr char kName[] = "Global\\OrvaneSetup.Settings";
// Longer than an action takes, short enough for a user who clicked.
constexpr DWORD kWaitMs = 5000;
// SYSTEM and the administrators, whichever of them made it first: a run as
// either must be able to open the other's.
constexpr char kAccess[] = "D:P(A;;GA;;;SY)(A;;GA;;;BA)";

HANDLE CreateLockMutex() {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorA(kAccess, SDDL_REVISION_1, &descriptor, nullptr);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  const HANDLE mutex = CreateMutexA(descriptor ? &attributes : nullptr, FALSE, kName);
  if (descriptor) LocalFree(descriptor);
  return mutex;
}

}  // namespace

ActionLock::ActionLock() : m_mutex(CreateLockMutex()) {
  // A mutex that cannot be had is somebody else's: busy too.
  if (!m_mutex.valid()) throw CBusyException();
  // Abandoned: the run that held it ended without letting go, and the
  // settings are as it left them; this run reads them afresh.
  const DWORD waited = WaitForSingleObject(m_mutex.get(), kWaitMs);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) throw CBusyException();
}

ActionLock::~ActionLock() { ReleaseMutex(m_mutex.get()); }
