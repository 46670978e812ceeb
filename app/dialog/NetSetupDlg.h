// The main dialog: offers Set or Remove settings as the proxy exception list
// says when it opens, carries out the chosen one, reports and closes.
#pragma once

#include <optional>

#include "Action.h"
#include "Dialog.h"

class CNetSetupDlg : public CDialog {
 public:
  CNetSetupDlg();

  // An action was carried out and its completion told.
  bool ActionCompleted() const { return m_actionCompleted; }
  // The action clicked, if one was; and what became of each setting.
  const std::optional<Action>& ActionTried() const { return m_actionTried; }
  const Outcomes& GetOutcomes() const { return m_outcomes; }
  // What was reported at opening or by the action, if anything was.
  const std::optional<Failure>& GetFailure() const { return m_failure; }

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD notification) override;
  BOOL OnSysCommand(UINT id, LPARAM lParam) override;
  BOOL OnPaint() override;
  HCURSOR OnQueryDragIcon() override;
  // Reports it in a message box; the dialog stays open.
  void OnError(const std::exception_ptr& error) override;

 private:
  void OnButtonSet();
  void OnButtonRemove();
  void RunAction(int buttonId, Action action, UINT doneMessage);
  void AddAboutItem();

  HICON m_hIcon;  // a shared resource icon: never destroyed
  bool m_actionCompleted = false;
  std::optional<Action> m_actionTried;
  Outcomes m_outcomes;
  std::optional<Failure> m_failure;
};
