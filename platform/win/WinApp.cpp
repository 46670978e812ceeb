#include "WinApp.h"

#include <vector>

#include "ModulePath.h"
#include "SystemLibrary.h"

namespace {

CWinApp* g_app = nullptr;

CString ModulePath(HINSTANCE instance) {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameA(instance, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length < buffer.size()) return CString(buffer.data(), static_cast<int>(length));
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

void CWinApp::Start(HINSTANCE instance) {
  m_hInstance = instance;
  const CString path = ModulePath(instance);
  m_strAppName = AppNameFromModulePath(path);
  m_strHelpFilePath = HelpFilePathFromModulePath(path);
}

CWinApp* AfxGetApp() { return g_app; }

HINSTANCE AfxGetResourceHandle() { return g_app ? g_app->m_hInstance : GetModuleHandleA(nullptr); }

CString LoadResourceString(UINT id) {
  std::vector<char> buffer(256);
  for (;;) {
    const int length = LoadStringA(AfxGetResourceHandle(), id, buffer.data(), static_cast<int>(buffer.size()));
    // A double-byte character that does not fit is left out whole: a text
    // cut there ends two bytes short of the buffer's end, not one.
    if (length < static_cast<int>(buffer.size()) - 2) return CString(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  RestrictLibrarySearch();
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return 1;
  app->Start(instance);
  app->InitInstance();
  return app->ExitInstance();
}
