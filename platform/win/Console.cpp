#include "Console.h"

#include <windows.h>

#include "SystemImports.h"

namespace {

constexpr DWORD kParentProcess = static_cast<DWORD>(-1);  // ATTACH_PARENT_PROCESS

// Started from a command prompt without a redirection, a windowed program
// gets no handles: it writes to the prompt's console, where the system has
// the call (not Windows 2000).
HANDLE ParentConsole() {
  static const HANDLE console = [] {
    const auto attach = imports::AttachConsole();
    if (attach == nullptr || !attach(kParentProcess)) return INVALID_HANDLE_VALUE;
    return CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
  }();
  return console;
}

bool Print(DWORD which, const CString& text) {
  HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) handle = ParentConsole();
  if (handle == INVALID_HANDLE_VALUE) return false;
  const CString line = text + "\r\n";
  DWORD written = 0;
  return WriteFile(handle, line.GetString(), static_cast<DWORD>(line.GetLength()), &written, nullptr) != FALSE;
}

}  // namespace

bool PrintOut(const CString& text) { return Print(STD_OUTPUT_HANDLE, text); }

bool PrintError(const CString& text) { return Print(STD_ERROR_HANDLE, text); }
