// Named mutexes and private namespaces in the fake: this process's own, or
// held by another run.
#include <fakewin.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct Mutex {
  std::string name;
  bool owned = false;
};

struct Boundary {
  std::vector<std::string> sids;
};

std::map<std::string, DWORD> g_heldByAnother;  // by name; "" for every name
std::map<HANDLE, Mutex> g_mutexes;
std::set<std::string> g_namespaces;          // made by this process, by prefix
std::map<HANDLE, std::string> g_openSpaces;  // handle: prefix
bool g_havePrivateNamespaces = true;
int g_nextHandle = 0x4000;

HANDLE NewHandle() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(g_nextHandle++)); }

std::string Narrow(LPCWSTR wide) {
  std::string text;
  for (; wide && *wide; ++wide) text.push_back(static_cast<char>(*wide));
  return text;
}

bool IsOpenSpace(const std::string& prefix) {
  for (const auto& [handle, open] : g_openSpaces)
    if (open == prefix) return true;
  return false;
}

}  // namespace

namespace fakewin {

void HoldMutexes(DWORD result, const char* name) {
  if (name == nullptr) g_heldByAnother.clear();
  g_heldByAnother[name ? name : ""] = result;
  if (name == nullptr && result == WAIT_OBJECT_0) {
    g_mutexes.clear();
    g_namespaces.clear();
    g_openSpaces.clear();
  }
}

void UsePrivateNamespaces(bool present) { g_havePrivateNamespaces = present; }

int OwnedMutexCount() {
  int count = 0;
  for (const auto& [handle, mutex] : g_mutexes) count += mutex.owned;
  return count;
}

bool CloseMutex(HANDLE handle) { return g_mutexes.erase(handle) > 0 || g_openSpaces.erase(handle) > 0; }

}  // namespace fakewin

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
  const std::string text = name ? name : "";
  const size_t slash = text.find('\\');
  const std::string prefix = slash == std::string::npos ? std::string() : text.substr(0, slash);
  if (!prefix.empty() && prefix != "Global" && prefix != "Local" && !IsOpenSpace(prefix)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return nullptr;
  }
  const HANDLE handle = NewHandle();
  g_mutexes[handle] = Mutex{text, initialOwner != FALSE};
  return handle;
}

DWORD WaitForSingleObject(HANDLE object, DWORD) {
  const auto found = g_mutexes.find(object);
  if (found == g_mutexes.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  const auto named = g_heldByAnother.find(found->second.name);
  const DWORD held = named != g_heldByAnother.end() ? named->second : g_heldByAnother[""];
  if (held == WAIT_TIMEOUT) return WAIT_TIMEOUT;
  found->second.owned = true;
  return held;
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

HANDLE CreateBoundaryDescriptorW(LPCWSTR, ULONG) { return g_havePrivateNamespaces ? new Boundary : nullptr; }

BOOL AddSIDToBoundaryDescriptor(HANDLE* boundary, PSID sid) {
  static_cast<Boundary*>(*boundary)->sids.emplace_back(static_cast<const char*>(sid));
  return TRUE;
}

void DeleteBoundaryDescriptor(HANDLE boundary) { delete static_cast<Boundary*>(boundary); }

HANDLE CreatePrivateNamespaceW(LPSECURITY_ATTRIBUTES, LPVOID boundary, LPCWSTR prefix) {
  const auto& sids = static_cast<Boundary*>(boundary)->sids;
  if (sids != std::vector<std::string>{"S-1-5-32-544"}) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (!g_namespaces.insert(Narrow(prefix)).second) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return nullptr;
  }
  const HANDLE handle = NewHandle();
  g_openSpaces[handle] = Narrow(prefix);
  return handle;
}

HANDLE OpenPrivateNamespaceW(LPVOID, LPCWSTR prefix) {
  if (!g_namespaces.count(Narrow(prefix))) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return nullptr;
  }
  const HANDLE handle = NewHandle();
  g_openSpaces[handle] = Narrow(prefix);
  return handle;
}

BOOLEAN ClosePrivateNamespace(HANDLE space, ULONG) {
  const auto found = g_openSpaces.find(space);
  if (found == g_openSpaces.end()) return FALSE;
  const std::string prefix = found->second;
  g_openSpaces.erase(found);
  if (!IsOpenSpace(prefix)) g_namespaces.erase(prefix);
  return TRUE;
}
