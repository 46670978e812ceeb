#include "NetSetupApp.h"

#include "NetSetupDlg.h"

CNetSetupApp theApp;

BOOL CNetSetupApp::InitInstance() {
  // Three-dimensional controls need no set-up: every system this runs on
  // draws dialog controls that way itself.
  CNetSetupDlg dlg;
  m_pMainWnd = &dlg;
  const bool shown = dlg.DoModal() != -1;
  m_pMainWnd = nullptr;
  if (dlg.ActionCompleted())
    m_exitStatus = kExitCompleted;
  else
    m_exitStatus = shown && m_errorsReported == 0 ? kExitClosed : kExitFailed;
  return FALSE;
}
