// Named mutexes in the fake: this process's own, or held by another run.
#include <fakewin.h>

#include <cstdlib>
#include <map>
#include <string>

namespace {

struct Mutex {
  std::string name;
  bool owned = false;
};

DWORD g_heldByAnother = WAIT_OBJECT_0;
std::map<HANDLE, Mutex> g_mutexes;
int g_nextHandle = 0x4000;

}  // namespace

namespace fakewin {

void HoldMutexes(DWORD result) {
  g_heldByAnother = result;
  if (result == WAIT_OBJECT_0) g_mutexes.clear();
}

int OwnedMutexCount() {
  int count = 0;
  for (const auto& [handle, mutex] : g_mutexes) count += mutex.owned;
  return count;
}

bool CloseMutex(HANDLE handle) { return g_mutexes.erase(handle) > 0; }

}  // namespace fakewin

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
  const auto handle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(g_nextHandle++));
  g_mutexes[handle] = Mutex{name ? name : "", initialOwner != FALSE};
  return handle;
}

DWORD WaitForSingleObject(HANDLE object, DWORD) {
  const auto found = g_mutexes.find(object);
  if (found == g_mutexes.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  if (g_heldByAnother == WAIT_TIMEOUT) return WAIT_TIMEOUT;
  found->second.owned = true;
  return g_heldByAnother;
}

BOOL ReleaseMutex(HANDLE mutex) {
  const auto found = g_mutexes.find(mutex);
  if (found == g_mutexes.end() || !found->second.owned) {
    SetLastError(288);  // ERROR_NOT_OWNER
    return FALSE;
  }
  found->second.owned = false;
  return TRUE;
}

// Only that it is one: the fake checks no access.
BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR text, DWORD, PSECURITY_DESCRIPTOR* descriptor,
                                                          ULONG* size) {
  if (text == nullptr || descriptor == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *descriptor = std::malloc(1);
  if (size) *size = 1;
  return TRUE;
}
