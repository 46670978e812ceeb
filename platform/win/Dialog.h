// Windows and modal dialogs. One static dialog procedure hands each message
// to a virtual handler and lets no C++ exception cross into Windows: one
// that escapes a handler goes to OnError, and the dialog stays open.
#pragma once

#include <windows.h>

#include <exception>

#include "CString.h"

class CWnd {
 public:
  virtual ~CWnd() = default;

  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
  }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  // Over the owner, or in the work area of the primary monitor without one;
  // kept inside the work area of the monitor it lands on.
  void CenterWindow();

  HWND m_hWnd = nullptr;
};

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId) : m_templateId(templateId) {}

  // 1 or 2 as the dialog ended (IDOK, IDCANCEL), -1 when it could not be made.
  INT_PTR DoModal();
  void EndDialog(int result) { ::EndDialog(m_hWnd, result); }

 protected:
  // TRUE: the system puts the focus on the first tab stop.
  virtual BOOL OnInitDialog() { return TRUE; }
  // TRUE when the command was handled.
  virtual BOOL OnCommand(WORD id, WORD notification);
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // FALSE leaves the message to the system's own handling.
  virtual BOOL OnSysCommand(UINT /*id*/, LPARAM /*lParam*/) { return FALSE; }
  virtual BOOL OnPaint() { return FALSE; }
  virtual HCURSOR OnQueryDragIcon() { return nullptr; }
  // What escaped a handler; the message counts as handled.
  virtual void OnError(const std::exception_ptr& /*error*/) {}

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  void OnHelp();

  UINT m_templateId;
};

// Begins painting on construction, ends it on destruction.
class CPaintDC {
 public:
  explicit CPaintDC(CWnd* window) : m_window(window->m_hWnd), m_hDC(BeginPaint(m_window, &m_ps)) {}
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  ~CPaintDC() { EndPaint(m_window, &m_ps); }

 private:
  HWND m_window;
  PAINTSTRUCT m_ps{};

 public:
  HDC m_hDC;
};

// The string `id` in a message box owned by the main window, captioned with
// the application name; an OK box without an icon gets the exclamation mark.
int AfxMessageBox(UINT id, UINT type = MB_OK);
// The same with a text of its own.
int AfxMessageBox(const CString& text, UINT type = MB_OK);
