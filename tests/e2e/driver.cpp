// Drives the tool's real window from another process, as a user would, and
// prints what it sees (UTF-8, one line per observation). Commands, run in
// order from the command line:
//   wait            wait for the main dialog
//   state           "state set=E remove=E focus=ID" (E: 1 enabled, 0 disabled)
//   rect            "rect X Y W H" of the main dialog on the screen
//   click:ID        click the dialog button ID
//   key:VK          press a key (decimal virtual-key code) in the focused control
//   press:VK        press a key on the keyboard, as the user does (to the active window)
//   syscommand:HEX  a system command, as from the system menu
//   box             wait for a window owned by the dialog; "box CAPTION|TEXT|RECT"
//   icon            "icon stop", "icon exclamation" or "icon other": the picture
//                   of the box last found, by the colours on the screen
//   ok              press OK in the window last found by "box"
//   nobox           "nobox" when no owned window appears within a second
//   gone            wait until the dialog has closed
//   proxy?          "proxy VALUE" or "proxy <missing>"
//   proxyraw?       "proxyraw TYPE HEX": the value exactly as held, or "proxyraw <missing>"
//   proxy=TEXT      set ProxyOverride; "proxy-" deletes it; "proxy#N" stores the number N (REG_DWORD)
//   proxyraw=T:HEX  store ProxyOverride as type T (decimal) with the bytes HEX, exactly
//   proxykey?       "proxykey SDDL": the access list of ProxyOverride's key
//   proxykey=SDDL   give ProxyOverride's key that access list (its owner may always change it)
//   userkey?, userkey=SDDL  the same for the key of the user's own hive, HKEY_USERS\<SID>
//   hostsheld:MS    hold the hosts file open for reading, sharing nothing, for MS milliseconds,
//                   then "released"
//   dialogs:N       wait for N main dialogs (several runs at once); "dialog I set=E remove=E" for each
//   clickeach       click, in each of them, the one button it offers, all at once
//   boxeach         wait for a box owned by each of them; "box I TEXT" for each, then press each OK
//   closeeach       close each of them still open, and wait until all are gone
//   lock            hold the hosts file open without sharing until the end
//   hold            hold the hosts file open for reading, sharing reading and writing, until the end
//   held:PATH       hold the file PATH open for reading, sharing nothing, until the end: what
//                   any user who may read it can do
//   attrs=HEX       set the hosts file's attributes through the system's own call
//   attrs?          "attrs HEX": the hosts file's attributes
//   helpwatch       stand in for the help viewer from now on
//   help?           wait for help requests; "help COMMAND CONTEXT FILE" for each
//   joined          "joined TEXT": the proxy exceptions the tool puts in front
//   managed         "managed ADDRESS NAME" for each managed host, in order
//   msgbox          wait for a message box of the tool's own, without owner;
//                   "box CAPTION|TEXT|RECT", then press its OK
//   station:CMDLINE run CMDLINE in a window station nobody sees; "exit STATUS"
//   eventtext:ID    the text Event Viewer shows for event ID of the tool's
//                   source, with "probe line" as its one string: "eventtext TEXT"
//   load:NAME       load the library NAME as the loader finds it; "load NAME PATH"
//                   (the file it took) or "load NAME <none>"
//   machineproxy?   "machineproxy VALUE" or "machineproxy <missing>": the machine's ProxyOverride
//   machineproxy=TEXT  set it; "machineproxy-" deletes it
//   policy=N        the per-machine proxy policy's ProxySettingsPerUser as the DWORD N; "policy-" deletes it
//   defaultprofile=FOLDER  a Default profile in FOLDER: its NTUSER.DAT saved anew (a list of
//                   "<local>"; with "defaultprofile#=", the number 1), the profile list naming the
//                   folder; "defaultprofile-" names none
//   staleprofile+   a profile list entry whose folder is gone; "staleprofile-" removes it
//   machineproxy32? ... the same for the list 32-bit programs read
//   hives?          "hives NAME..." the keys under HKEY_USERS
//   source?         "source FILE": the message file the tool's event source names, or "source <missing>";
//                   "source-" removes the source
//   squat           what any user may do: hold an event under the name of the lock of the
//                   versions before, until the end
//   ieproxy=TEXT    the user's proxy settings as Internet Options leaves them for a proxy server:
//                   ProxyEnable 1, ProxyServer, ProxyOverride TEXT, and both per-connection values
//                   (version 0x46, flags direct and proxy, the server, TEXT, the bytes Windows
//                   writes after); "ieproxy-" deletes all but ProxyOverride
//   connection?NAME "connection NAME HEX": the per-connection value NAME (DefaultConnectionSettings,
//                   SavedLegacySettings) exactly as held, or "connection NAME <missing>"
//   connection=NAME:HEX  store it as REG_BINARY with the bytes HEX; "connection-NAME" deletes it
//   inforce?        "winhttp TEXT" (WinHttpGetIEProxyConfigForCurrentUser's bypass) and "wininet TEXT"
//                   (InternetQueryOption's for the LAN connection): the bypass lists programs go by,
//                   TEXT "<none>" where there is none
#include <windows.h>
// After windows.h, which they build on.
#include <sddl.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "Accounts.h"
#include "Handle.h"
#include "HivePrivileges.h"
#include "ManagedHosts.h"
#include "ProxyPolicy.h"
#include "RegistryValues.h"
#include "SystemImports.h"
#include "SystemLibrary.h"
#include "UserProfiles.h"

namespace {

const wchar_t kMainCaption[] = L"Orvane設定ﾂｰﾙ";
const DWORD kTimeoutMs = 20000;

HWND g_dialog = nullptr;
HWND g_box = nullptr;
std::vector<HWND> g_dialogs;  // several runs' main dialogs, found by "dialogs:N"
HANDLE g_lock = INVALID_HANDLE_VALUE;
HANDLE g_held = INVALID_HANDLE_VALUE;
std::vector<std::string> g_helpRequests;

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
  return out;
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

[[noreturn]] void Fail(const char* what) {
  std::printf("error %s\n", what);
  std::fflush(stdout);
  std::exit(2);
}

template <typename Probe>
bool WaitFor(Probe probe, DWORD timeoutMs = kTimeoutMs) {
  for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
    if (probe()) return true;
    // The help viewer's window answers the tool while we wait.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
  }
  return false;
}

HWND FindOwnedWindow(HWND owner = g_dialog) {
  struct Search {
    HWND owner;
    HWND found;
  } search{owner, nullptr};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (GetWindow(window, GW_OWNER) != s->owner || !IsWindowVisible(window)) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The message boxes share its caption; the main dialog has no owner.
HWND FindMainDialog() {
  for (HWND window = FindWindowW(L"#32770", kMainCaption); window;
       window = FindWindowExW(nullptr, window, L"#32770", kMainCaption))
    if (GetWindow(window, GW_OWNER) == nullptr) return window;
  return nullptr;
}

// Every main dialog, in no particular order.
std::vector<HWND> MainDialogs() {
  std::vector<HWND> dialogs;
  for (HWND window = FindWindowW(L"#32770", kMainCaption); window;
       window = FindWindowExW(nullptr, window, L"#32770", kMainCaption))
    if (GetWindow(window, GW_OWNER) == nullptr && IsWindowVisible(window)) dialogs.push_back(window);
  return dialogs;
}

void PrintRect(const char* label, HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  std::printf("%s %ld %ld %ld %ld\n", label, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void Box() {
  if (!WaitFor([] { return (g_box = FindOwnedWindow()) != nullptr; })) Fail("no owned window");
  Sleep(300);  // let it finish painting for a screenshot
  const HWND text = GetDlgItem(g_box, 0xFFFF);
  std::printf("box %s|%s|", Utf8(TextOf(g_box)).c_str(), text ? Utf8(TextOf(text)).c_str() : "");
  PrintRect("", g_box);
}

void State() {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(g_dialog, nullptr), &info);
  std::printf("state set=%d remove=%d focus=%d\n", IsWindowEnabled(GetDlgItem(g_dialog, 1000)) ? 1 : 0,
              IsWindowEnabled(GetDlgItem(g_dialog, 1001)) ? 1 : 0, info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0);
}

void Proxy(const std::string& command) {
  const std::string& key = RegistryValues::kProxyKey;
  const std::string& name = RegistryValues::kProxyName;
  if (command == "proxy?") {
    const auto value = RegistryValues::Value(key, name);
    if (value)
      std::printf("proxy %s\n", value->bytes.substr(0, value->bytes.find('\0')).c_str());
    else
      std::printf("proxy <missing>\n");
  } else if (command == "proxy-") {
    RegistryValues::SetValue(key, name, std::nullopt);
  } else if (command.rfind("proxy#", 0) == 0) {
    const DWORD number = std::strtoul(command.c_str() + 6, nullptr, 10);
    RegistryValues::SetValue(
        key, name,
        RegistryValues::Stored{REG_DWORD, std::string(reinterpret_cast<const char*>(&number), sizeof number)});
  } else {
    RegistryValues::SetValue(key, name, RegistryValues::Sz(command.substr(6)));
  }
}

// The picture of a message box told apart by its colours: a red disc for
// the stop sign, a yellow triangle for the exclamation mark.
void Icon() {
  HWND icon = nullptr;
  for (HWND child = GetWindow(g_box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) icon = child;
  if (icon == nullptr) Fail("no icon");
  RECT r{};
  GetWindowRect(icon, &r);
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<RGBQUAD> pixels(static_cast<size_t>(w) * static_cast<size_t>(h));
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(h), pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  int red = 0;
  int yellow = 0;
  for (const RGBQUAD& p : pixels) {
    red += p.rgbRed > 150 && p.rgbGreen < 100 && p.rgbBlue < 100;
    yellow += p.rgbRed > 150 && p.rgbGreen > 150 && p.rgbBlue < 100;
  }
  const char* kind = red > 20 && red > yellow ? "stop" : yellow > 20 && yellow > red ? "exclamation" : "other";
  std::printf("icon %s\n", kind);
}

// The help viewer's request as wine's WinHelpA sends it: WM_COPYDATA to the
// window of class "MS_WINHELP", a record of command, data and file name.
LRESULT CALLBACK HelpViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_COPYDATA) return DefWindowProcW(window, message, wParam, lParam);
  const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  struct Request {
    WORD size, command;
    LONG data, reserved;
    WORD ofsFilename, ofsData;
  };
  const auto* request = static_cast<const Request*>(copy->lpData);
  const char* file = request->ofsFilename ? static_cast<const char*>(copy->lpData) + request->ofsFilename : "";
  std::wstring wideFile(MAX_PATH, L'\0');
  wideFile.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, file, -1, wideFile.data(), MAX_PATH)));
  char line[64];
  std::snprintf(line, sizeof line, "help %u 0x%lX ", request->command, static_cast<unsigned long>(request->data));
  g_helpRequests.push_back(line + Utf8(wideFile.c_str()));
  return TRUE;
}

void HelpWatch() {
  WNDCLASSA viewer{};
  viewer.lpfnWndProc = HelpViewerProc;
  viewer.hInstance = GetModuleHandleA(nullptr);
  viewer.lpszClassName = "MS_WINHELP";
  if (!RegisterClassA(&viewer) || !CreateWindowA("MS_WINHELP", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr))
    Fail("help viewer");
}

// Every request so far, a line each, once the first has come and a moment
// has passed for any other.
void HelpRequests() {
  if (!WaitFor([] { return !g_helpRequests.empty(); })) Fail("no help request");
  WaitFor([] { return false; }, 500);
  for (const std::string& request : g_helpRequests) std::printf("%s\n", request.c_str());
  g_helpRequests.clear();
}

std::string FromHex(const std::string& hex) {
  if (hex.size() % 2 != 0) Fail("odd hex");
  std::string bytes;
  for (size_t at = 0; at < hex.size(); at += 2)
    bytes += static_cast<char>(std::strtoul(hex.substr(at, 2).c_str(), nullptr, 16));
  return bytes;
}

std::string Hex(const std::string& bytes) {
  std::string hex;
  char pair[3];
  for (const char byte : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned char>(byte));
    hex += pair;
  }
  return hex;
}

void SetProxyRaw(const std::string& typeAndHex) {
  const size_t colon = typeAndHex.find(':');
  if (colon == std::string::npos) Fail("proxyraw=TYPE:HEX");
  const auto type = static_cast<DWORD>(std::strtoul(typeAndHex.c_str(), nullptr, 10));
  RegistryValues::SetValue(RegistryValues::kProxyKey, RegistryValues::kProxyName,
                           RegistryValues::Stored{type, FromHex(typeAndHex.substr(colon + 1))}, true);
}

// The access list of ProxyOverride's key, read or given. Its owner may change
// it whatever the list says, so a list that denies every change can be lifted.
// "NAME?" or "NAME=SDDL" for the key at `path` under `root`.
void KeyAccess(const std::string& command, HKEY root, const std::string& path) {
  const std::string name = command.substr(0, command.find_first_of("?="));
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, READ_CONTROL | WRITE_DAC, &key) != ERROR_SUCCESS) Fail("key");
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (command == name + "?") {
    DWORD size = 0;
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<BYTE> held(size);
    char* text = nullptr;
    if (RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, held.data(), &size) != ERROR_SUCCESS ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorA(held.data(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                              &text, nullptr))
      Fail("key access");
    std::printf("%s %s\n", name.c_str(), text);
    LocalFree(text);
  } else if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(command.substr(name.size() + 1).c_str(),
                                                                   SDDL_REVISION_1, &descriptor, nullptr) ||
             RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) != ERROR_SUCCESS) {
    Fail("key access");
  }
  if (descriptor) LocalFree(descriptor);
  RegCloseKey(key);
}

void Dialogs(size_t count) {
  if (!WaitFor([count] { return (g_dialogs = MainDialogs()).size() >= count; })) Fail("not as many dialogs");
  Sleep(500);
  for (size_t i = 0; i < g_dialogs.size(); ++i)
    std::printf("dialog %zu set=%d remove=%d\n", i, IsWindowEnabled(GetDlgItem(g_dialogs[i], 1000)) ? 1 : 0,
                IsWindowEnabled(GetDlgItem(g_dialogs[i], 1001)) ? 1 : 0);
}

// Posted back to back: the runs take their actions as nearly at once as
// two users' clicks can be.
void ClickEach() {
  for (const HWND dialog : g_dialogs)
    for (const int button : {1000, 1001})
      if (IsWindowEnabled(GetDlgItem(dialog, button))) PostMessageW(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
}

void BoxEach() {
  std::vector<HWND> boxes(g_dialogs.size());
  const auto allFound = [&] {
    bool all = true;
    for (size_t i = 0; i < g_dialogs.size(); ++i)
      all = (boxes[i] = boxes[i] ? boxes[i] : FindOwnedWindow(g_dialogs[i])) && all;
    return all;
  };
  if (!WaitFor(allFound)) Fail("not a box for each dialog");
  Sleep(300);
  for (size_t i = 0; i < boxes.size(); ++i) {
    const HWND text = GetDlgItem(boxes[i], 0xFFFF);
    std::printf("box %zu %s\n", i, text ? Utf8(TextOf(text)).c_str() : "");
  }
  for (const HWND box : boxes) PostMessageW(box, WM_COMMAND, IDOK, 0);
  WaitFor([&] {
    for (const HWND box : boxes)
      if (IsWindow(box)) return false;
    return true;
  });
}

void CloseEach() {
  for (const HWND dialog : g_dialogs)
    if (IsWindow(dialog)) PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
  if (!WaitFor([] {
        for (const HWND dialog : g_dialogs)
          if (IsWindow(dialog)) return false;
        return true;
      }))
    Fail("a dialog still open");
}

void ProxyRaw() {
  const auto value = RegistryValues::Value(RegistryValues::kProxyKey, RegistryValues::kProxyName, true);
  if (!value) {
    std::printf("proxyraw <missing>\n");
    return;
  }
  std::printf("proxyraw %lu %s\n", static_cast<unsigned long>(value->type), Hex(value->bytes).c_str());
}

std::string HostsPath() {
  char path[MAX_PATH];
  GetSystemDirectoryA(path, MAX_PATH);
  return std::string(path) + "\\drivers\\etc\\Hosts";
}

HANDLE OpenHosts(DWORD access, DWORD share, DWORD creation) {
  const HANDLE file =
      CreateFileA(HostsPath().c_str(), access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("hosts file");
  return file;
}

// A message box of the command line's: no owner, the dialog class.
HWND FindUnownedBox() {
  struct Search {
    HWND found;
  } search{nullptr};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (GetWindow(window, GW_OWNER) || !IsWindowVisible(window) || std::wstring(name) != L"#32770") return TRUE;
        reinterpret_cast<Search*>(data)->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void MessageBoxOfItsOwn() {
  if (!WaitFor([] { return (g_box = FindUnownedBox()) != nullptr; })) Fail("no message box");
  Sleep(300);
  const HWND text = GetDlgItem(g_box, 0xFFFF);
  std::printf("box %s|%s|", Utf8(TextOf(g_box)).c_str(), text ? Utf8(TextOf(text)).c_str() : "");
  PrintRect("", g_box);
  PostMessageW(g_box, WM_COMMAND, IDOK, 0);
}

// As a service or a deployment agent starts it: in a window station of its
// own, which no user sees.
void RunUnseen(const std::string& commandLine) {
  const HWINSTA own = GetProcessWindowStation();
  const HWINSTA unseen = CreateWindowStationW(L"e2e-unseen", 0, GENERIC_ALL, nullptr);
  if (unseen == nullptr || !SetProcessWindowStation(unseen)) Fail("window station");
  const HDESK desktop = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  SetProcessWindowStation(own);
  if (desktop == nullptr) Fail("desktop");
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.lpDesktop = const_cast<char*>("e2e-unseen\\Default");
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    Fail("start");
  if (WaitForSingleObject(process.hProcess, kTimeoutMs) != WAIT_OBJECT_0) Fail("still running");
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  std::printf("exit %lu\n", static_cast<unsigned long>(status));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

void EventText(DWORD id) {
  HKEY key = nullptr;
  char file[MAX_PATH] = {};
  DWORD size = sizeof file;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\OrvaneSetup", 0,
                    KEY_READ, &key) != ERROR_SUCCESS ||
      RegQueryValueExA(key, "EventMessageFile", nullptr, nullptr, reinterpret_cast<BYTE*>(file), &size) !=
          ERROR_SUCCESS)
    Fail("no event source");
  RegCloseKey(key);
  const HMODULE messages = LoadLibraryExA(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (messages == nullptr) Fail("no message file");
  DWORD_PTR strings[] = {reinterpret_cast<DWORD_PTR>("probe line")};
  char* text = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                     messages, id, 0, reinterpret_cast<char*>(&text), 0, reinterpret_cast<va_list*>(strings));
  std::printf("eventtext %s\n", length ? text : "<none>");
  if (text) LocalFree(text);
  FreeLibrary(messages);
}

// The probe of where a bare name leads: run from a copy beside a planted
// library, it shows that the loader takes that one.
void Load(const std::string& name) {
  const HMODULE library = LoadLibraryA(name.c_str());
  char path[MAX_PATH] = "<none>";
  if (library) GetModuleFileNameA(library, path, MAX_PATH);
  std::printf("load %s %s\n", name.c_str(), path);
}

// "machineproxy" or, for 32-bit programs' view, "machineproxy32".
void MachineProxy(const std::string& command) {
  const bool view32 = command.rfind("machineproxy32", 0) == 0;
  const std::string& path = RegistryValues::kProxyKey;
  const std::string key = view32 ? "Software\\WOW6432Node" + path.substr(path.find('\\')) : path;
  const std::string& name = RegistryValues::kProxyName;
  const std::string verb = command.substr(view32 ? 14 : 12);
  if (verb == "?") {
    const auto value = RegistryValues::Value(HKEY_LOCAL_MACHINE, key, name);
    std::printf("%s %s\n", command.substr(0, command.size() - 1).c_str(),
                value ? value->bytes.substr(0, value->bytes.find('\0')).c_str() : "<missing>");
  } else if (verb == "-") {
    RegistryValues::SetValue(HKEY_LOCAL_MACHINE, key, name, std::nullopt);
  } else {
    RegistryValues::SetValue(HKEY_LOCAL_MACHINE, key, name, RegistryValues::Sz(verb.substr(1)));
  }
}

void Policy(const std::string& command) {
  std::optional<RegistryValues::Stored> value;
  if (command != "policy-") {
    const DWORD number = std::strtoul(command.c_str() + 7, nullptr, 10);
    value = RegistryValues::Stored{REG_DWORD, std::string(reinterpret_cast<const char*>(&number), sizeof number)};
  }
  RegistryValues::SetValue(HKEY_LOCAL_MACHINE, PROXY_POLICY_PATH, "ProxySettingsPerUser", value);
}

// A hive of its own, as a new account's Default profile would have: saved
// from a scratch key of the user's, with nothing but a proxy list.
// A profile the list names, whose folder is gone.
constexpr char kStaleSid[] = "S-1-5-21-0-0-0-4242";

void DefaultProfile(const std::string& command) {
  if (command == "defaultprofile-") {
    RegistryValues::SetValue(HKEY_LOCAL_MACHINE, PROFILE_LIST_PATH, "Default", std::nullopt);
    return;
  }
  if (command == "staleprofile+" || command == "staleprofile-") {
    const std::string entry = std::string(PROFILE_LIST_PATH) + "\\" + kStaleSid;
    RegistryValues::SetValue(HKEY_LOCAL_MACHINE, entry, "ProfileImagePath",
                             command == "staleprofile+" ? std::optional(RegistryValues::Stored{
                                                              REG_EXPAND_SZ, std::string("C:\\users\\gone") + '\0'})
                                                        : std::nullopt);
    if (command == "staleprofile-") RegDeleteKeyA(HKEY_LOCAL_MACHINE, entry.c_str());
    return;
  }
  const std::string folder = command.substr(command.find('=') + 1);
  const std::string hive = folder + "\\NTUSER.DAT";
  const std::string scratch = "Software\\NetSetupTest";
  CreateDirectoryA(folder.c_str(), nullptr);
  DeleteFileA(hive.c_str());
  const DWORD number = 1;
  RegistryValues::SetValue(
      scratch + "\\" + RegistryValues::kProxyKey, RegistryValues::kProxyName,
      command[14] == '#'
          ? RegistryValues::Stored{REG_DWORD, std::string(reinterpret_cast<const char*>(&number), sizeof number)}
          : RegistryValues::Sz("<local>"));
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, scratch.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) Fail("scratch key");
  const HivePrivileges privileges;
  const LSTATUS saved = RegSaveKeyA(key, hive.c_str(), nullptr);
  RegCloseKey(key);
  RegDeleteTreeA(HKEY_CURRENT_USER, scratch.c_str());
  if (saved != ERROR_SUCCESS) Fail("hive not saved");
  RegistryValues::SetValue(HKEY_LOCAL_MACHINE, PROFILE_LIST_PATH, "Default",
                           RegistryValues::Stored{REG_EXPAND_SZ, folder + '\0'});
}

void Hives() {
  std::printf("hives");
  char name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    if (RegEnumKeyExA(HKEY_USERS, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    std::printf(" %s", name);
  }
  std::printf("\n");
}

constexpr char kSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\OrvaneSetup";

void Source(const std::string& command) {
  if (command == "source-") {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSourceKey);
    return;
  }
  const auto file = RegistryValues::Value(HKEY_LOCAL_MACHINE, kSourceKey, "EventMessageFile");
  std::printf("source %s\n", file ? file->bytes.substr(0, file->bytes.find('\0')).c_str() : "<missing>");
}

// The per-connection values of the LAN settings, beside ProxyOverride.
const std::string kConnectionsKey = RegistryValues::kProxyKey + "\\Connections";
const char* const kConnectionNames[] = {"DefaultConnectionSettings", "SavedLegacySettings"};
const char kProxyServer[] = "proxy.school.example:8080";

RegistryValues::Stored Dword(DWORD number) {
  return {REG_DWORD, std::string(reinterpret_cast<const char*>(&number), sizeof number)};
}

// As Internet Options writes it: version 0x46, the change counter, flags
// (direct and proxy), then each field as a length and its narrow text
// (server, bypass, auto-config URL), then 4 bytes and 28 zero bytes.
std::string ConnectionSettings(DWORD counter, const std::string& bypass) {
  std::string bytes;
  const auto append = [&](DWORD word) { bytes.append(reinterpret_cast<const char*>(&word), sizeof word); };
  for (const DWORD word : {DWORD{0x46}, counter, DWORD{3}}) append(word);
  for (const std::string& field : {std::string(kProxyServer), bypass, std::string()}) {
    append(static_cast<DWORD>(field.size()));
    bytes += field;
  }
  append(1);
  return bytes + std::string(28, '\0');
}

void IeProxy(const std::string& command) {
  const std::string& key = RegistryValues::kProxyKey;
  if (command == "ieproxy-") {
    for (const char* name : {"ProxyEnable", "ProxyServer"}) RegistryValues::SetValue(key, name, std::nullopt);
    for (const char* name : kConnectionNames) RegistryValues::SetValue(kConnectionsKey, name, std::nullopt);
    return;
  }
  const std::string bypass = command.substr(8);
  RegistryValues::SetValue(key, "ProxyEnable", Dword(1));
  RegistryValues::SetValue(key, "ProxyServer", RegistryValues::Sz(kProxyServer));
  RegistryValues::SetValue(key, RegistryValues::kProxyName, RegistryValues::Sz(bypass));
  // Their counters differ, as they do once the settings were changed a few times.
  DWORD counter = 0x2A;
  for (const char* name : kConnectionNames)
    RegistryValues::SetValue(kConnectionsKey, name,
                             RegistryValues::Stored{REG_BINARY, ConnectionSettings(counter--, bypass)});
}

void Connection(const std::string& command) {
  const char verb = command[10];
  const std::string rest = command.substr(11);
  if (verb == '?') {
    const auto value = RegistryValues::Value(kConnectionsKey, rest);
    std::printf("connection %s %s\n", rest.c_str(), value ? Hex(value->bytes).c_str() : "<missing>");
  } else if (verb == '-') {
    RegistryValues::SetValue(kConnectionsKey, rest, std::nullopt);
  } else {
    const size_t colon = rest.find(':');
    if (verb != '=' || colon == std::string::npos) Fail("connection=NAME:HEX");
    RegistryValues::SetValue(kConnectionsKey, rest.substr(0, colon),
                             RegistryValues::Stored{REG_BINARY, FromHex(rest.substr(colon + 1))});
  }
}

// WINHTTP_CURRENT_USER_IE_PROXY_CONFIG: winhttp.h and wininet.h do not go
// together.
struct IeProxyConfig {
  BOOL autoDetect;
  LPWSTR autoConfigUrl;
  LPWSTR proxy;
  LPWSTR proxyBypass;
};
using GetIeProxyConfig = BOOL(WINAPI*)(IeProxyConfig* config);
using QueryOption = BOOL(WINAPI*)(HINTERNET internet, DWORD option, void* buffer, DWORD* length);

void PrintBypass(const char* label, LPWSTR bypass) {
  std::printf("%s %s\n", label, bypass ? Utf8(bypass).c_str() : "<none>");
  if (bypass) GlobalFree(bypass);
}

// Loaded from the system directory when asked for, as the tool loads them:
// the driver's copy run beside a planted wininet.dll must still start, and
// take that one only when told to load it by name.
// A probe's own function of a library loaded by its full path.
template <typename Function>
Function Export(const SystemLibrary& library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(imports::Find(library.Module(), name)));
}

void InForce() {
  const SystemLibrary winhttp("winhttp.dll");
  const auto getConfig = Export<GetIeProxyConfig>(winhttp, "WinHttpGetIEProxyConfigForCurrentUser");
  IeProxyConfig config{};
  if (getConfig == nullptr || !getConfig(&config)) Fail("WinHttpGetIEProxyConfigForCurrentUser");
  for (const LPWSTR text : {config.autoConfigUrl, config.proxy})
    if (text) GlobalFree(text);
  PrintBypass("winhttp", config.proxyBypass);

  const SystemLibrary wininet("wininet.dll");
  const auto query = Export<QueryOption>(wininet, "InternetQueryOptionW");
  INTERNET_PER_CONN_OPTIONW option{};
  option.dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
  INTERNET_PER_CONN_OPTION_LISTW list{};
  list.dwSize = sizeof list;
  list.pszConnection = nullptr;  // the LAN connection
  list.dwOptionCount = 1;
  list.pOptions = &option;
  DWORD size = sizeof list;
  if (query == nullptr || !query(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size))
    Fail("InternetQueryOptionW");
  PrintBypass("wininet", option.Value.pszValue);
}

void Run(const std::string& command) {
  const auto argument = [&] { return command.substr(command.find(':') + 1); };
  if (command == "wait") {
    if (!WaitFor([] { return (g_dialog = FindMainDialog()) != nullptr; })) Fail("no dialog");
    WaitFor([] { return IsWindowVisible(g_dialog) != FALSE; });
    Sleep(500);
  } else if (command == "state") {
    State();
  } else if (command == "rect") {
    PrintRect("rect", g_dialog);
  } else if (command.rfind("click:", 0) == 0) {
    PostMessageW(GetDlgItem(g_dialog, std::atoi(argument().c_str())), BM_CLICK, 0, 0);
  } else if (command.rfind("key:", 0) == 0) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(g_dialog, nullptr), &info);
    const WPARAM vk = static_cast<WPARAM>(std::atoi(argument().c_str()));
    PostMessageW(info.hwndFocus ? info.hwndFocus : g_dialog, WM_KEYDOWN, vk, 1);
    PostMessageW(info.hwndFocus ? info.hwndFocus : g_dialog, WM_KEYUP, vk, 0xC0000001);
  } else if (command.rfind("press:", 0) == 0) {
    INPUT keys[2] = {};
    for (INPUT& key : keys) {
      key.type = INPUT_KEYBOARD;
      key.ki.wVk = static_cast<WORD>(std::atoi(argument().c_str()));
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
  } else if (command.rfind("syscommand:", 0) == 0) {
    PostMessageW(g_dialog, WM_SYSCOMMAND, std::strtoul(argument().c_str(), nullptr, 16), 0);
  } else if (command == "box") {
    Box();
  } else if (command == "icon") {
    Icon();
  } else if (command == "ok") {
    if (g_box == nullptr && !WaitFor([] { return (g_box = FindOwnedWindow()) != nullptr; })) Fail("no owned window");
    PostMessageW(g_box, WM_COMMAND, IDOK, 0);
    WaitFor([] { return !IsWindow(g_box); });
    g_box = nullptr;
  } else if (command == "nobox") {
    if (WaitFor([] { return FindOwnedWindow() != nullptr; }, 1000)) Fail("an owned window appeared");
    std::printf("nobox\n");
  } else if (command == "gone") {
    if (!WaitFor([] { return !IsWindow(g_dialog); })) Fail("dialog still open");
    std::printf("gone\n");
  } else if (command == "proxyraw?") {
    ProxyRaw();
  } else if (command.rfind("proxyraw=", 0) == 0) {
    SetProxyRaw(command.substr(9));
  } else if (command.rfind("proxykey", 0) == 0) {
    KeyAccess(command, HKEY_CURRENT_USER, RegistryValues::kProxyKey);
  } else if (command.rfind("userkey", 0) == 0) {
    KeyAccess(command, HKEY_USERS, std::string(ProcessUserSid().View()));
  } else if (command.rfind("dialogs:", 0) == 0) {
    Dialogs(std::strtoul(argument().c_str(), nullptr, 10));
  } else if (command == "clickeach") {
    ClickEach();
  } else if (command == "boxeach") {
    BoxEach();
  } else if (command == "closeeach") {
    CloseEach();
  } else if (command.rfind("proxy", 0) == 0) {
    Proxy(command);
  } else if (command == "lock") {
    g_lock = OpenHosts(GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS);
  } else if (command == "hold") {
    g_lock = OpenHosts(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  } else if (command.rfind("hostsheld:", 0) == 0) {
    const UniqueFile held(OpenHosts(GENERIC_READ, 0, OPEN_EXISTING));
    std::printf("holding\n");
    std::fflush(stdout);
    Sleep(std::strtoul(argument().c_str(), nullptr, 10));
    std::printf("released\n");
  } else if (command.rfind("held:", 0) == 0) {
    g_held = CreateFileA(argument().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_held == INVALID_HANDLE_VALUE) Fail("held");
  } else if (command.rfind("attrs=", 0) == 0) {
    if (!SetFileAttributesA(HostsPath().c_str(), std::strtoul(command.c_str() + 6, nullptr, 16))) Fail("attributes");
  } else if (command == "attrs?") {
    std::printf("attrs %lX\n", static_cast<unsigned long>(GetFileAttributesA(HostsPath().c_str())));
  } else if (command == "helpwatch") {
    HelpWatch();
  } else if (command == "help?") {
    HelpRequests();
  } else if (command == "managed") {
    for (const ManagedHost& row : kManagedHosts) std::printf("managed %s %s\n", row.address, row.hostName);
  } else if (command == "msgbox") {
    MessageBoxOfItsOwn();
  } else if (command.rfind("station:", 0) == 0) {
    RunUnseen(argument());
  } else if (command.rfind("eventtext:", 0) == 0) {
    EventText(std::strtoul(argument().c_str(), nullptr, 10));
  } else if (command.rfind("load:", 0) == 0) {
    Load(argument());
  } else if (command.rfind("machineproxy", 0) == 0) {
    MachineProxy(command);
  } else if (command.rfind("policy", 0) == 0) {
    Policy(command);
  } else if (command.rfind("defaultprofile", 0) == 0 || command.rfind("staleprofile", 0) == 0) {
    DefaultProfile(command);
  } else if (command == "hives?") {
    Hives();
  } else if (command.rfind("source", 0) == 0) {
    Source(command);
  } else if (command == "squat") {
    if (CreateEventA(nullptr, TRUE, FALSE, "Global\\OrvaneSetup.Settings") == nullptr) Fail("squat");
  } else if (command.rfind("ieproxy", 0) == 0) {
    IeProxy(command);
  } else if (command.rfind("connection", 0) == 0 && command.size() > 10) {
    Connection(command);
  } else if (command == "inforce?") {
    InForce();
  } else if (command == "joined") {
    std::printf("joined %s\n", ProxyExceptionsJoined().GetString());
  } else {
    Fail(command.c_str());
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    for (int i = 1; i < argc; ++i) Run(argv[i]);
  } catch (const std::exception& error) {
    Fail(error.what());
  }
  if (g_lock != INVALID_HANDLE_VALUE) CloseHandle(g_lock);
  return 0;
}
