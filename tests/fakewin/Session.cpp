// Who runs the process and who is signed in at the desktop, and the
// libraries loaded at run time and where the loader looks for them, in the
// fake.
#include <fakewin.h>
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// A SID is held as its text form; the handles stand for the two processes.
std::string g_processUser = fakewin::kUserSid;
std::string g_desktopUser = fakewin::kUserSid;
bool g_hasDesktop = true;
bool g_shellTokenOpen = true;
bool g_hasInternetLibrary = true;
std::vector<DWORD> g_internetOptions;

constexpr DWORD kShellProcessId = 200;
char g_ownProcess;
char g_shellProcess;
char g_ownToken;
char g_ownAdjustableToken;  // opened with TOKEN_ADJUST_PRIVILEGES
// The privileges the process holds, by their LUIDs' low parts, and those
// of them it enabled.
const std::pair<const char*, DWORD> kPrivileges[] = {{SE_BACKUP_NAME, 17}, {SE_RESTORE_NAME, 18}};
std::set<DWORD> g_enabledPrivileges;
char g_shellToken;
char g_shellWindow;
char g_internetLibrary;
char g_sessionLibrary;
// The name the session's user signs in with, in the domain below.
constexpr const char* kDomain = "SCHOOL";
constexpr const char* kDesktopUserName = "pupil";
char g_kernel;
char g_ntdll;
std::set<std::string> g_hiddenExports;
std::vector<std::string> g_strayLoads;
fakewin::LibrarySearch g_librarySearch;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// The fake of the library's one call the tool makes.
BOOL InternetSetOptionA(void*, DWORD option, void*, DWORD) {
  g_internetOptions.push_back(option);
  return TRUE;
}

BOOL SetDllDirectoryA(LPCSTR folder) {
  g_librarySearch.dllDirectory = folder ? std::optional<std::string>(folder) : std::nullopt;
  return TRUE;
}

BOOL SetDefaultDllDirectories(DWORD directories) {
  g_librarySearch.defaultDirectories = directories;
  return TRUE;
}

// Refused, and kept for the test to see: a load that lets the loader look
// anywhere but the system directory, for the library or for those it needs.
HMODULE StrayLoad(LPCSTR name) {
  g_strayLoads.emplace_back(name);
  return Fail(ERROR_MOD_NOT_FOUND), nullptr;
}

// The file name of `path` when it is a full path in the system directory;
// null otherwise.
const char* InSystemDirectory(const char* path) {
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  const bool inside = length > 0 && strncasecmp(path, folder, length) == 0 && path[length] == '\\' &&
                      std::strchr(path + length + 1, '\\') == nullptr;
  return inside ? path + length + 1 : nullptr;
}

}  // namespace

namespace fakewin {

void SetUsers(const char* processUser, const char* desktopUser, bool shellTokenOpen) {
  g_processUser = processUser;
  g_hasDesktop = desktopUser != nullptr;
  g_desktopUser = desktopUser ? desktopUser : "";
  g_shellTokenOpen = shellTokenOpen;
}

std::vector<DWORD> TakeInternetOptions(bool present) {
  g_hasInternetLibrary = present;
  return std::exchange(g_internetOptions, {});
}

bool PrivilegeEnabled(const char* name) {
  for (const auto& [known, luid] : kPrivileges)
    if (std::strcmp(known, name) == 0) return g_enabledPrivileges.count(luid) > 0;
  return false;
}

void HideExport(const char* name) {
  if (name)
    g_hiddenExports.insert(name);
  else
    g_hiddenExports.clear();
}

std::vector<std::string> TakeStrayLoads() { return std::exchange(g_strayLoads, {}); }

LibrarySearch GetLibrarySearch() { return g_librarySearch; }

void ResetLibraries() {
  g_enabledPrivileges.clear();
  g_strayLoads.clear();
  g_librarySearch = {};
  g_hasInternetLibrary = true;
  g_internetOptions.clear();
}

}  // namespace fakewin

HWND GetShellWindow() { return g_hasDesktop ? reinterpret_cast<HWND>(&g_shellWindow) : nullptr; }

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
  if (window != reinterpret_cast<HWND>(&g_shellWindow)) return 0;
  if (processId) *processId = kShellProcessId;
  return 1;
}

HANDLE GetCurrentProcess() { return &g_ownProcess; }

HANDLE OpenProcess(DWORD access, BOOL, DWORD processId) {
  if (!(access & (PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION)))
    return Fail(ERROR_ACCESS_DENIED), nullptr;
  if (processId == kShellProcessId && g_hasDesktop) return &g_shellProcess;
  return Fail(ERROR_INVALID_PARAMETER), nullptr;
}

BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
  if (!(access & TOKEN_QUERY)) return Fail(ERROR_ACCESS_DENIED);
  if (process == &g_ownProcess) {
    *token = (access & TOKEN_ADJUST_PRIVILEGES) ? &g_ownAdjustableToken : &g_ownToken;
  } else if (process == &g_shellProcess) {
    if (!g_shellTokenOpen) return Fail(ERROR_ACCESS_DENIED);
    *token = &g_shellToken;
  } else {
    return Fail(ERROR_INVALID_HANDLE);
  }
  return TRUE;
}

// The record, with the SID's text right after it in the caller's buffer.
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID information, DWORD length,
                         LPDWORD returnLength) {
  const bool own = token == &g_ownToken || token == &g_ownAdjustableToken;
  if (kind != TokenUser || (!own && token != &g_shellToken)) return Fail(ERROR_INVALID_PARAMETER);
  const std::string& sid = own ? g_processUser : g_desktopUser;
  const DWORD needed = static_cast<DWORD>(sizeof(TOKEN_USER) + sid.size() + 1);
  if (returnLength) *returnLength = needed;
  if (information == nullptr || length < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  auto* user = static_cast<TOKEN_USER*>(information);
  char* text = static_cast<char*>(information) + sizeof(TOKEN_USER);
  std::memcpy(text, sid.c_str(), sid.size() + 1);
  user->User = {text, 0};
  return TRUE;
}

BOOL ConvertSidToStringSidA(PSID sid, LPSTR* text) {
  if (sid == nullptr || text == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *text = strdup(static_cast<const char*>(sid));
  return TRUE;
}

BOOL LookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
  if (system != nullptr || name == nullptr || luid == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  for (const auto& [known, low] : kPrivileges) {
    if (strcasecmp(known, name) != 0) continue;
    *luid = LUID{low, 0};
    return TRUE;
  }
  return Fail(ERROR_NO_SUCH_PRIVILEGE);
}

// Enables or disables each privilege named, as the system does: the
// previous state receives those whose state changed, as they were.
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD bufferLength,
                           PTOKEN_PRIVILEGES previousState, LPDWORD returnLength) {
  if (token != &g_ownAdjustableToken) return Fail(ERROR_ACCESS_DENIED);
  if (disableAll || newState == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::vector<LUID_AND_ATTRIBUTES> changed;
  for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
    const LUID_AND_ATTRIBUTES& wanted = newState->Privileges[i];
    const bool was = g_enabledPrivileges.count(wanted.Luid.LowPart) > 0;
    const bool enable = (wanted.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    if (was != enable) changed.push_back({wanted.Luid, was ? DWORD{SE_PRIVILEGE_ENABLED} : DWORD{0}});
  }
  const auto needed =
      static_cast<DWORD>(sizeof(TOKEN_PRIVILEGES) + sizeof(LUID_AND_ATTRIBUTES) * std::max<size_t>(changed.size(), 1) -
                         sizeof(LUID_AND_ATTRIBUTES));
  if (returnLength) *returnLength = needed;
  if (previousState && bufferLength < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  for (const LUID_AND_ATTRIBUTES& privilege : changed) {
    if (privilege.Attributes & SE_PRIVILEGE_ENABLED)
      g_enabledPrivileges.erase(privilege.Luid.LowPart);
    else
      g_enabledPrivileges.insert(privilege.Luid.LowPart);
  }
  if (previousState) {
    previousState->PrivilegeCount = static_cast<DWORD>(changed.size());
    std::copy(changed.begin(), changed.end(), previousState->Privileges);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

HLOCAL LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}

BOOL WTSQuerySessionInformationA(HANDLE, DWORD session, WTS_INFO_CLASS kind, LPSTR* text, DWORD* size) {
  if (session != WTS_CURRENT_SESSION || (kind != WTSUserName && kind != WTSDomainName))
    return Fail(ERROR_INVALID_PARAMETER);
  const char* value = !g_hasDesktop ? "" : kind == WTSUserName ? kDesktopUserName : kDomain;
  *text = strdup(value);
  *size = static_cast<DWORD>(std::strlen(value) + 1);
  return TRUE;
}

void WTSFreeMemory(PVOID memory) { std::free(memory); }

// The desktop's user is the one account the fake knows by name.
BOOL LookupAccountNameA(LPCSTR, LPCSTR account, PSID sid, LPDWORD sidSize, LPSTR domain, LPDWORD domainSize,
                        SID_NAME_USE* use) {
  if (!g_hasDesktop || std::string(account) != std::string(kDomain) + "\\" + kDesktopUserName)
    return Fail(1332);  // ERROR_NONE_MAPPED
  const auto neededSid = static_cast<DWORD>(g_desktopUser.size() + 1);
  const auto neededDomain = static_cast<DWORD>(std::strlen(kDomain) + 1);
  const bool fits = sid && domain && *sidSize >= neededSid && *domainSize >= neededDomain;
  *sidSize = neededSid;
  *domainSize = neededDomain;
  if (!fits) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(sid, g_desktopUser.c_str(), neededSid);
  std::memcpy(domain, kDomain, neededDomain);
  if (use) *use = SidTypeUser;
  return TRUE;
}

// Even by a full path, the libraries it needs are looked for from the
// executable's folder on.
HMODULE LoadLibraryA(LPCSTR name) { return StrayLoad(name); }

HMODULE LoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags) {
  const char* system = InSystemDirectory(name);
  if (system == nullptr || file != nullptr || flags != LOAD_WITH_ALTERED_SEARCH_PATH) return StrayLoad(name);
  if (strcasecmp(system, "wtsapi32.dll") == 0) return reinterpret_cast<HMODULE>(&g_sessionLibrary);
  if (!g_hasInternetLibrary || strcasecmp(system, "wininet.dll") != 0) return Fail(ERROR_MOD_NOT_FOUND), nullptr;
  return reinterpret_cast<HMODULE>(&g_internetLibrary);
}

HMODULE GetModuleHandleA(LPCSTR name) {
  if (name != nullptr && strcasecmp(name, "ntdll.dll") == 0) return reinterpret_cast<HMODULE>(&g_ntdll);
  if (name == nullptr || strcasecmp(name, "kernel32.dll") != 0) return Fail(ERROR_MOD_NOT_FOUND), nullptr;
  return reinterpret_cast<HMODULE>(&g_kernel);
}

namespace {

// The exports of KERNEL32 and ntdll that only some systems have.
void (*KernelExport(LPCSTR name))() {
  static const std::pair<const char*, void (*)()> kExports[] = {
      {"ReplaceFileA", reinterpret_cast<void (*)()>(&ReplaceFileA)},
      {"GetFinalPathNameByHandleA", reinterpret_cast<void (*)()>(&GetFinalPathNameByHandleA)},
      {"SetDllDirectoryA", reinterpret_cast<void (*)()>(&SetDllDirectoryA)},
      {"SetDefaultDllDirectories", reinterpret_cast<void (*)()>(&SetDefaultDllDirectories)},
      {"CreateBoundaryDescriptorW", reinterpret_cast<void (*)()>(&CreateBoundaryDescriptorW)},
      {"AddSIDToBoundaryDescriptor", reinterpret_cast<void (*)()>(&AddSIDToBoundaryDescriptor)},
      {"DeleteBoundaryDescriptor", reinterpret_cast<void (*)()>(&DeleteBoundaryDescriptor)},
      {"CreatePrivateNamespaceW", reinterpret_cast<void (*)()>(&CreatePrivateNamespaceW)},
      {"OpenPrivateNamespaceW", reinterpret_cast<void (*)()>(&OpenPrivateNamespaceW)},
      {"ClosePrivateNamespace", reinterpret_cast<void (*)()>(&ClosePrivateNamespace)},
      {"NtSetInformationFile", reinterpret_cast<void (*)()>(&fakewin::ntdll::SetInformationFile)},
      {"NtUnloadKey2", reinterpret_cast<void (*)()>(&fakewin::ntdll::UnloadKey2)},
  };
  for (const auto& [known, function] : kExports)
    if (std::strcmp(known, name) == 0 && !g_hiddenExports.count(name)) return function;
  return nullptr;
}

}  // namespace

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  void (*found)() = nullptr;
  if (module == reinterpret_cast<HMODULE>(&g_internetLibrary) && std::strcmp(name, "InternetSetOptionA") == 0) {
    found = reinterpret_cast<void (*)()>(&InternetSetOptionA);
  } else if (module == reinterpret_cast<HMODULE>(&g_sessionLibrary)) {
    if (std::strcmp(name, "WTSQuerySessionInformationA") == 0)
      found = reinterpret_cast<void (*)()>(&WTSQuerySessionInformationA);
    if (std::strcmp(name, "WTSFreeMemory") == 0) found = reinterpret_cast<void (*)()>(&WTSFreeMemory);
  } else if (module == reinterpret_cast<HMODULE>(&g_kernel) || module == reinterpret_cast<HMODULE>(&g_ntdll)) {
    const bool ntdll = module == reinterpret_cast<HMODULE>(&g_ntdll);
    if (ntdll == (std::strncmp(name, "Nt", 2) == 0)) found = KernelExport(name);
  }
  if (found == nullptr) return Fail(ERROR_PROC_NOT_FOUND), nullptr;
  return reinterpret_cast<FARPROC>(found);
}

BOOL FreeLibrary(HMODULE) { return TRUE; }
