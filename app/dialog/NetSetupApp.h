#pragma once

#include "ExitStatus.h"
#include "RunLog.h"
#include "WinApp.h"

class CNetSetupApp : public CWinApp {
 public:
  // Runs the main dialog once, or what the command line asks; logs the run.
  // FALSE ends the program.
  BOOL InitInstance() override;
  int ExitInstance() override { return m_exitStatus; }
  bool MayOpenHelp() const override;

 private:
  // Whether the run is to be logged: when an action was pressed, or when
  // the dialog could not be shown.
  bool RunDialog(RunRecord& record);

  ExitStatus m_exitStatus = kExitFailed;
};

extern CNetSetupApp theApp;
