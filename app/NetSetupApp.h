#pragma once

#include "WinApp.h"

class CNetSetupApp : public CWinApp {
 public:
  // Runs the main dialog once; FALSE ends the program when it has closed.
  BOOL InitInstance() override;
};

extern CNetSetupApp theApp;
