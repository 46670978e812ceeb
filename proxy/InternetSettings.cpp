#include "InternetSettings.h"

#include <windows.h>

namespace {

constexpr DWORD kRefresh = 37;          // INTERNET_OPTION_REFRESH
constexpr DWORD kSettingsChanged = 39;  // INTERNET_OPTION_SETTINGS_CHANGED

using SetOption = BOOL(WINAPI*)(void* internet, DWORD option, void* buffer, DWORD length);

}  // namespace

void NotifyInternetSettingsChanged() {
  const HMODULE library = LoadLibraryA("wininet.dll");
  if (library == nullptr) return;
  const FARPROC found = GetProcAddress(library, "InternetSetOptionA");
  // Through the generic function type, as the address of any export is cast.
  if (const auto setOption = reinterpret_cast<SetOption>(reinterpret_cast<void (*)()>(found))) {
    setOption(nullptr, kSettingsChanged, nullptr, 0);
    setOption(nullptr, kRefresh, nullptr, 0);
  }
  FreeLibrary(library);
}
