// The main dialog: offers Set or Remove settings as the proxy exception list
// says when it opens, carries out the chosen one, reports and closes.
#pragma once

#include "Dialog.h"

enum class Settings;

class CNetSetupDlg : public CDialog {
 public:
  CNetSetupDlg();

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD notification) override;
  BOOL OnSysCommand(UINT id, LPARAM lParam) override;
  BOOL OnPaint() override;
  HCURSOR OnQueryDragIcon() override;

 private:
  void OnButtonSet();
  void OnButtonRemove();
  void RunAction(int buttonId, Settings which, UINT doneMessage);
  void AddAboutItem();

  HICON m_hIcon;  // a shared resource icon: never destroyed
};
