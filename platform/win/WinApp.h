// The application object: one per program, built before WinMain, which runs
// InitInstance and ends the program when it returns FALSE.
#pragma once

#include <windows.h>

#include "CString.h"

class CWnd;

class CWinApp {
 public:
  CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;
  virtual ~CWinApp();

  // FALSE ends the program without a message loop.
  virtual BOOL InitInstance() = 0;
  // The process's exit status, asked for once InitInstance has returned.
  virtual int ExitInstance() { return 0; }

  // Called by WinMain before InitInstance.
  void Start(HINSTANCE instance);
  // Whether F1 may ask the help viewer for m_strHelpFilePath.
  virtual bool MayOpenHelp() const { return true; }

  HINSTANCE m_hInstance = nullptr;
  CString m_strAppName;       // the executable's base name: every message box's caption
  CString m_strHelpFilePath;  // the executable's path with ".HLP"
  CWnd* m_pMainWnd = nullptr;
  // While a message box of our own is up, F1 asks for this topic instead of
  // the dialog's; 0 at other times.
  DWORD m_dwPromptContext = 0;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetResourceHandle();

// The string resource `id`; empty if there is none.
CString LoadResourceString(UINT id);
