#include "InternetSettings.h"

#include <windows.h>

#include "SystemImports.h"
#include "SystemLibrary.h"

namespace {

constexpr DWORD kRefresh = 37;               // INTERNET_OPTION_REFRESH
constexpr DWORD kSettingsChanged = 39;       // INTERNET_OPTION_SETTINGS_CHANGED
constexpr DWORD kProxySettingsChanged = 95;  // INTERNET_OPTION_PROXY_SETTINGS_CHANGED

}  // namespace

void NotifyInternetSettingsChanged() {
  const SystemLibrary wininet(imports::kWininet);
  if (const auto setOption = imports::InternetSetOptionA(wininet.Module())) {
    // Refused by a WinINet that does not know it (before Internet Explorer 8).
    setOption(nullptr, kProxySettingsChanged, nullptr, 0);
    setOption(nullptr, kSettingsChanged, nullptr, 0);
    setOption(nullptr, kRefresh, nullptr, 0);
  }
}
