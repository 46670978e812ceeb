#pragma once

#include "WinApp.h"

// The process's exit status, for scripts that start the tool.
enum ExitStatus {
  kExitCompleted = 0,  // an action was carried out and reported done
  kExitClosed = 1,     // closed without an action: nothing changed
  kExitFailed = 2,     // an error was reported, or the dialog could not be shown
};

class CNetSetupApp : public CWinApp {
 public:
  // Runs the main dialog once; FALSE ends the program when it has closed.
  BOOL InitInstance() override;
  int ExitInstance() override { return m_exitStatus; }

 private:
  ExitStatus m_exitStatus = kExitFailed;
};

extern CNetSetupApp theApp;
