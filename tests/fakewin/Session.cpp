// Who runs the process and who is signed in at the desktop, and the
// libraries loaded at run time and where the loader looks for them, in the
// fake.
#include <fakewin.h>
#include <strings.h>

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
char g_shellToken;
char g_shellWindow;
char g_internetLibrary;
char g_sessionLibrary;
// The name the session's user signs in with, in the domain below.
constexpr const char* kDomain = "SCHOOL";
constexpr const char* kDesktopUserName = "pupil";
char g_kernel;
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

void HideExport(const char* name) {
  if (name)
    g_hiddenExports.insert(name);
  else
    g_hiddenExports.clear();
}

std::vector<std::string> TakeStrayLoads() { return std::exchange(g_strayLoads, {}); }

LibrarySearch GetLibrarySearch() { return g_librarySearch; }

void ResetLibraries() {
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
    *token = &g_ownToken;
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
  if (kind != TokenUser || (token != &g_ownToken && token != &g_shellToken)) return Fail(ERROR_INVALID_PARAMETER);
  const std::string& sid = token == &g_ownToken ? g_processUser : g_desktopUser;
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
  if (name == nullptr || strcasecmp(name, "kernel32.dll") != 0) return Fail(ERROR_MOD_NOT_FOUND), nullptr;
  return reinterpret_cast<HMODULE>(&g_kernel);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  void (*found)() = nullptr;
  if (module == reinterpret_cast<HMODULE>(&g_internetLibrary) && std::strcmp(name, "InternetSetOptionA") == 0) {
    found = reinterpret_cast<void (*)()>(&InternetSetOptionA);
  } else if (module == reinterpret_cast<HMODULE>(&g_sessionLibrary)) {
    if (std::strcmp(name, "WTSQuerySessionInformationA") == 0)
      found = reinterpret_cast<void (*)()>(&WTSQuerySessionInformationA);
    if (std::strcmp(name, "WTSFreeMemory") == 0) found = reinterpret_cast<void (*)()>(&WTSFreeMemory);
  } else if (module == reinterpret_cast<HMODULE>(&g_kernel) && !g_hiddenExports.count(name)) {
    if (std::strcmp(name, "ReplaceFileA") == 0) found = reinterpret_cast<void (*)()>(&ReplaceFileA);
    if (std::strcmp(name, "GetFinalPathNameByHandleA") == 0)
      found = reinterpret_cast<void (*)()>(&GetFinalPathNameByHandleA);
    if (std::strcmp(name, "SetDllDirectoryA") == 0) found = reinterpret_cast<void (*)()>(&SetDllDirectoryA);
    if (std::strcmp(name, "SetDefaultDllDirectories") == 0)
      found = reinterpret_cast<void (*)()>(&SetDefaultDllDirectories);
  }
  if (found == nullptr) return Fail(ERROR_PROC_NOT_FOUND), nullptr;
  return reinterpret_cast<FARPROC>(found);
}

BOOL FreeLibrary(HMODULE) { return TRUE; }
