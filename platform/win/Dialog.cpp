#include "Dialog.h"

#include <utility>

#include "WinApp.h"

namespace {

constexpr UINT kHelpContextBase = 0x20000;
constexpr UINT kPromptHelpContextBase = 0x30000;

RECT WorkAreaOf(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  const HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY)
                                  : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  GetMonitorInfoA(monitor, &info);
  return info.rcWork;
}

bool AnyModifierHeld() { return (GetKeyState(VK_SHIFT) | GetKeyState(VK_CONTROL) | GetKeyState(VK_MENU)) < 0; }

}  // namespace

void CWnd::CenterWindow() {
  const HWND owner = GetWindow(m_hWnd, GW_OWNER);
  const RECT area = WorkAreaOf(owner);
  RECT around = area;
  if (owner) GetWindowRect(owner, &around);
  RECT self{};
  GetWindowRect(m_hWnd, &self);
  const LONG width = self.right - self.left;
  const LONG height = self.bottom - self.top;
  LONG x = (around.left + around.right - width) / 2;
  LONG y = (around.top + around.bottom - height) / 2;
  if (x + width > area.right) x = area.right - width;
  if (y + height > area.bottom) y = area.bottom - height;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CDialog::DoModal() {
  CWinApp* app = AfxGetApp();
  const HWND owner = app && app->m_pMainWnd && app->m_pMainWnd != this ? app->m_pMainWnd->m_hWnd : nullptr;
  return DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_templateId), owner, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::OnCommand(WORD id, WORD) {
  if (id == IDOK)
    OnOK();
  else if (id == IDCANCEL)
    OnCancel();
  else
    return FALSE;
  return TRUE;
}

// A message box hands F1 on to its owner: the topic is then the box's.
void CDialog::OnHelp() {
  CWinApp* app = AfxGetApp();
  if (app == nullptr || AnyModifierHeld() || !app->MayOpenHelp()) return;
  const DWORD context = app->m_dwPromptContext ? app->m_dwPromptContext : kHelpContextBase + m_templateId;
  WinHelpA(m_hWnd, app->m_strHelpFilePath, HELP_CONTEXT, context);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->m_hWnd = window;
    SetWindowLongPtrA(window, DWLP_USER, lParam);
  }
  auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  if (dialog == nullptr) return FALSE;
  INT_PTR result = FALSE;
  try {
    result = dialog->Dispatch(message, wParam, lParam);
  } catch (...) {
    // Told was the handler's answer.
    dialog->OnError(std::current_exception());
    result = TRUE;
  }
  if (message == WM_NCDESTROY) {
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == dialog) app->m_pMainWnd = nullptr;
    dialog->m_hWnd = nullptr;
  }
  return result;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      // The templates sit at (0, 0); centred first, so that a dialog whose
      // start-up reports an error still opens in its place.
      CenterWindow();
      return OnInitDialog();
    case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_SYSCOMMAND: return OnSysCommand(static_cast<UINT>(wParam), lParam);
    case WM_PAINT: return OnPaint();
    case WM_QUERYDRAGICON: return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_HELP: OnHelp(); return TRUE;
    default: return FALSE;
  }
}

namespace {

// `helpContext`: the topic F1 asks for while the box is up; 0: the owner's.
int ShowMessageBox(const CString& text, UINT type, DWORD helpContext) {
  CWinApp* app = AfxGetApp();
  const HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
  if ((type & MB_ICONMASK) == 0 && (type & MB_TYPEMASK) == MB_OK) type |= MB_ICONEXCLAMATION;
  if (app == nullptr) return MessageBoxA(owner, text, "", type);
  const DWORD outerContext = helpContext ? std::exchange(app->m_dwPromptContext, helpContext) : 0;
  const int result = MessageBoxA(owner, text, app->m_strAppName, type);
  if (helpContext) app->m_dwPromptContext = outerContext;
  return result;
}

}  // namespace

int AfxMessageBox(UINT id, UINT type) {
  return ShowMessageBox(LoadResourceString(id), type, kPromptHelpContextBase + id);
}

int AfxMessageBox(const CString& text, UINT type) { return ShowMessageBox(text, type, 0); }
