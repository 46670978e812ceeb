#include <fakewin.h>
#include <shlobj.h>

#include <unistd.h>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>

namespace {

DWORD g_lastError = 0;
constexpr const char* kSystemDirectory = "C:\\Windows\\system32";
constexpr const char* kWindowsDirectory = "C:\\Windows";

DWORD g_version = fakewin::kNtVersion;
std::map<std::string, std::string> g_environment;  // by the name in upper case
std::string g_systemDirectory = kSystemDirectory;
std::string g_windowsDirectory = kWindowsDirectory;
constexpr const char* kCommonAppData = "C:\\ProgramData";
std::string g_commonAppData = kCommonAppData;

struct Failure {
  std::string function;  // empty: any counted call
  int remaining = 0;
  DWORD error = 0;
  int counted = 0;
} g_failure;

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
  return text;
}

// "%NAME%" replaced by the variable's value wherever one is set.
std::string Expanded(const std::string& source) {
  std::string out;
  size_t at = 0;
  for (size_t open; (open = source.find('%', at)) != std::string::npos;) {
    const size_t close = source.find('%', open + 1);
    if (close == std::string::npos) break;
    const auto found = g_environment.find(Upper(source.substr(open + 1, close - open - 1)));
    out += source.substr(at, open - at);
    if (found == g_environment.end()) {
      out += '%';  // not a variable: its "%" is text, the next one may open one
      at = open + 1;
      continue;
    }
    out += found->second;
    at = close + 1;
  }
  return out + source.substr(at);
}
// Another program's doing, waiting for a call of `function`.
struct Interloper {
  std::string function;
  std::function<void()> action;
  bool acting = false;
} g_interloper;

UINT CopyDirectory(const std::string& directory, LPSTR buffer, UINT size) {
  const auto length = static_cast<UINT>(directory.size());
  if (buffer == nullptr || size <= length) return length + 1;
  std::memcpy(buffer, directory.c_str(), length + 1);
  return length;
}

}  // namespace

namespace fakewin {

void Reset() {
  SetSystem(kNtVersion, kSystemDirectory, kWindowsDirectory);
  UseCommonAppDataFolder(kCommonAppData);
  g_environment = {{"SYSTEMDRIVE", "C:"}};
  ClearFailure();
  ResetRegistry();
  SetUsers(kUserSid, kUserSid);
  HideExport(nullptr);
  TakeInternetOptions(true);
  HoldMutexes(WAIT_OBJECT_0);
  UsePrivateNamespaces(true);
  ResetLibraries();
}

std::filesystem::path UseWindowsFolder(const std::filesystem::path& root) {
  std::filesystem::path etc = root / "system32" / "drivers" / "etc";
  std::filesystem::create_directories(etc);
  SetSystem(kNtVersion, (root / "system32").c_str(), root.c_str());
  return etc;
}

void SetSystem(DWORD version, const char* systemDirectory, const char* windowsDirectory) {
  g_version = version;
  g_systemDirectory = systemDirectory;
  g_windowsDirectory = windowsDirectory;
}

void UseCommonAppDataFolder(const char* path) { g_commonAppData = path; }

void SetEnvironment(const char* name, const char* value) { g_environment[Upper(name)] = value; }

void InjectFailure(const char* function, int nth, DWORD error) {
  g_failure = Failure{function ? function : "", nth, error, 0};
}

void ClearFailure() {
  g_failure = Failure{};
  g_interloper = Interloper{};
}

void OnCall(const char* function, std::function<void()> action) { g_interloper = {function, std::move(action)}; }

int CountedCalls() { return g_failure.counted; }

bool ShouldFail(const char* function) {
  if (g_interloper.acting) return false;
  if (g_interloper.action && g_interloper.function == function) {
    g_interloper.acting = true;
    std::exchange(g_interloper.action, nullptr)();
    g_interloper.acting = false;
  }
  if (!g_failure.function.empty() && g_failure.function != function) return false;
  ++g_failure.counted;
  if (g_failure.remaining <= 0 || --g_failure.remaining > 0) return false;
  SetLastError(g_failure.error);
  return true;
}

}  // namespace fakewin

DWORD GetLastError() { return g_lastError; }
void SetLastError(DWORD error) { g_lastError = error; }
DWORD GetVersion() { return g_version; }

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) { return CopyDirectory(g_systemDirectory, buffer, size); }

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) { return CopyDirectory(g_windowsDirectory, buffer, size); }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

DWORD ExpandEnvironmentStringsA(LPCSTR source, LPSTR expanded, DWORD size) {
  const std::string text = Expanded(source ? source : "");
  const auto needed = static_cast<DWORD>(text.size() + 1);
  if (expanded != nullptr && size >= needed) std::memcpy(expanded, text.c_str(), needed);
  return needed;
}

// Passes at once: a pause for another program costs no test any time.
void Sleep(DWORD) {}

HRESULT SHGetFolderPathA(HWND, int folder, HANDLE, DWORD, LPSTR path) {
  if (folder != CSIDL_COMMON_APPDATA || g_commonAppData.size() >= MAX_PATH) return E_FAIL;
  std::memcpy(path, g_commonAppData.c_str(), g_commonAppData.size() + 1);
  return S_OK;
}

// Relative to the working folder unless it starts at a root: "/", "\\"
// or a drive.
DWORD GetFullPathNameA(LPCSTR name, DWORD size, LPSTR buffer, LPSTR* filePart) {
  std::string full = name;
  const bool rooted = !full.empty() && (full[0] == '/' || full[0] == '\\' || (full.size() > 1 && full[1] == ':'));
  if (!rooted) full = std::filesystem::current_path().string() + "/" + full;
  if (size <= full.size()) return static_cast<DWORD>(full.size() + 1);
  std::memcpy(buffer, full.c_str(), full.size() + 1);
  if (filePart) {
    const size_t slash = full.find_last_of("\\/");
    *filePart = buffer + (slash == std::string::npos ? 0 : slash + 1);
  }
  return static_cast<DWORD>(full.size());
}
