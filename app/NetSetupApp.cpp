#include "NetSetupApp.h"

#include "NetSetupDlg.h"

CNetSetupApp theApp;

BOOL CNetSetupApp::InitInstance() {
  CNetSetupDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}
