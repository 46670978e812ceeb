#include "ActionLock.h"

// After windows.h, which it builds on.
#include <sddl.h>

#include "BusyException.h"

namespace {

// Only a process with the administrators' SID in its token can make the
// namespace; another with the same name but another boundary is another.
constexpr WCHAR kNamespace[] = {'O', 'r', 'v', 'a', 'n', 'e', 'S', 'e', 't', 'u', 'p', 0};
constexpr char kNamespacedName[] = "OrvaneSetup\\Settings";
constexpr char kAdministrators[] = "S-1-5-32-544";
// Gone with the last handle, however the run ends: nothing stays behind.
constexpr char kLockFile[] = "OrvaneSetup.lock";
constexpr DWORD kPauseMs = 100;
// SYSTEM and the administrators, whichever of them made it first: a run as
// either must be able to open the other's. Nobody else may open it at all.
constexpr char kAccess[] = "D:P(A;;GA;;;SY)(A;;GA;;;BA)";

// A descriptor of kAccess as security attributes, freed with the object.
class Access {
 public:
  Access() {
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(kAccess, SDDL_REVISION_1, m_descriptor.put(), nullptr))
      m_attributes.lpSecurityDescriptor = m_descriptor.get();
  }
  LPSECURITY_ATTRIBUTES Get() { return m_descriptor.valid() ? &m_attributes : nullptr; }

 private:
  UniqueLocal<PSECURITY_DESCRIPTOR> m_descriptor;
  SECURITY_ATTRIBUTES m_attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

// The namespace bounded by the administrators' group, made or opened; none
// where the system has none.
UniqueNamespace AdministratorsNamespace(LPSECURITY_ATTRIBUTES access) {
  const auto createBoundary = imports::CreateBoundaryDescriptorW();
  const auto addSid = imports::AddSIDToBoundaryDescriptor();
  const auto createSpace = imports::CreatePrivateNamespaceW();
  const auto openSpace = imports::OpenPrivateNamespaceW();
  if (!createBoundary || !addSid || !createSpace || !openSpace || !imports::DeleteBoundaryDescriptor() ||
      !imports::ClosePrivateNamespace())
    return UniqueNamespace();
  UniqueBoundary boundary(createBoundary(kNamespace, 0));
  UniqueLocal<PSID> administrators;
  if (!boundary.valid() || !ConvertStringSidToSidA(kAdministrators, administrators.put())) return UniqueNamespace();
  // The descriptor may move as it grows.
  HANDLE grown = boundary.release();
  const bool added = addSid(&grown, administrators.get());
  boundary.reset(grown);
  if (!added) return UniqueNamespace();
  UniqueNamespace space(createSpace(access, boundary.get(), kNamespace));
  if (!space.valid() && GetLastError() == ERROR_ALREADY_EXISTS) space.reset(openSpace(boundary.get(), kNamespace));
  return space;
}

}  // namespace

ActionLock::ActionLock(const Patience& patience) {
  // A lock that cannot be had is somebody else's: busy too.
  if (!Take(patience)) throw CBusyException();
}

ActionLock::ActionLock(NoWait) { m_held = Take(Patience{0, 0, Sleep}); }

bool ActionLock::Take(const Patience& patience) {
  Access access;
  m_namespace = AdministratorsNamespace(access.Get());
  if (m_namespace.valid()) m_mutex.reset(CreateMutexA(access.Get(), FALSE, kNamespacedName));
  if (!m_mutex.valid()) {
    // Never a name in the global namespace: any user could hold that first.
    m_tool.emplace(true);
    if (m_tool->Trusted()) {
      m_folder = &m_tool->Folder();
    } else {
      m_hostsFolder = HostsFolder();
      if (!m_hostsFolder.IsOpen()) return false;
      m_folder = &m_hostsFolder;
    }
  }
  for (DWORD waited = 0;; waited += kPauseMs) {
    if (TryTake()) return m_held = true;
    if (waited >= patience.forLockMs) return false;
    patience.pause(kPauseMs);
  }
}

bool ActionLock::TryTake() {
  // Abandoned: the run that held it ended without letting go, and the
  // settings are as it left them; this run reads them afresh.
  if (m_mutex.valid()) {
    const DWORD waited = WaitForSingleObject(m_mutex.get(), 0);
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  }
  Access access;
  PlainFile lock = OpenPlainFile(*m_folder, kLockFile, GENERIC_READ | GENERIC_WRITE | DELETE, 0, OPEN_ALWAYS,
                                 access.Get(), FILE_FLAG_DELETE_ON_CLOSE);
  m_file = std::move(lock.file);
  return m_file.valid();
}

ActionLock::~ActionLock() {
  if (m_held && m_mutex.valid()) ReleaseMutex(m_mutex.get());
}
