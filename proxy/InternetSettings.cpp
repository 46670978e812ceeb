#include "InternetSettings.h"

#include <windows.h>

#include "SystemExport.h"

namespace {

constexpr DWORD kRefresh = 37;          // INTERNET_OPTION_REFRESH
constexpr DWORD kSettingsChanged = 39;  // INTERNET_OPTION_SETTINGS_CHANGED

using SetOption = BOOL(WINAPI*)(void* internet, DWORD option, void* buffer, DWORD length);

}  // namespace

void NotifyInternetSettingsChanged() {
  const HMODULE library = LoadLibraryA("wininet.dll");
  if (library == nullptr) return;
  if (const auto setOption = SystemExport<SetOption>(library, "InternetSetOptionA")) {
    setOption(nullptr, kSettingsChanged, nullptr, 0);
    setOption(nullptr, kRefresh, nullptr, 0);
  }
  FreeLibrary(library);
}
