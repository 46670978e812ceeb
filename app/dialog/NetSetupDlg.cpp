#include "NetSetupDlg.h"

#include "AboutDlg.h"
#include "Action.h"
#include "ErrorReport.h"
#include "IconPlacement.h"
#include "WinApp.h"
#include "resource.h"

namespace {

// Through the style bit alone: the button gets no enable notification, and
// its look follows at the next paint.
void SetButtonDisabled(HWND button, bool disable) {
  const LONG style = GetWindowLongA(button, GWL_STYLE);
  const LONG changed = disable ? (style | WS_DISABLED) : (style & ~WS_DISABLED);
  if (changed != style) SetWindowLongA(button, GWL_STYLE, changed);
  InvalidateRect(button, nullptr, FALSE);
}

// While another run is waited for, the windows stay painted; nothing else
// is taken from the queue, so no click lands meanwhile.
void WINAPI PaintWhileWaiting(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (DWORD waited = 0; waited < milliseconds; waited = GetTickCount() - start) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - waited, QS_PAINT);
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageA(&message);
  }
}

// The wait cursor for as long as an action runs.
class Working {
 public:
  Working() : m_cursor(SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)))) {}  // IDC_WAIT
  Working(const Working&) = delete;
  Working& operator=(const Working&) = delete;
  ~Working() { SetCursor(m_cursor); }

 private:
  HCURSOR m_cursor;
};

}  // namespace

CNetSetupDlg::CNetSetupDlg()
    : CDialog(IDD_MAIN_DIALOG), m_hIcon(LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

BOOL CNetSetupDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  AddAboutItem();
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  const HWND set = GetDlgItem(IDC_BUTTON_SET);
  const HWND remove = GetDlgItem(IDC_BUTTON_REMOVE);
  SetButtonDisabled(set, true);
  SetButtonDisabled(remove, true);
  // A list that cannot be read is reported, and neither action offered.
  SetButtonDisabled(OfferedAction() == Action::remove ? remove : set, false);
  return TRUE;
}

void CNetSetupDlg::AddAboutItem() {
  const HMENU menu = GetSystemMenu(m_hWnd, FALSE);
  if (menu == nullptr) return;
  const CString text = LoadResourceString(IDS_ABOUTBOX);
  if (text.IsEmpty()) return;
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, text);
}

BOOL CNetSetupDlg::OnCommand(WORD id, WORD notification) {
  if (notification == BN_CLICKED && id == IDC_BUTTON_SET)
    OnButtonSet();
  else if (notification == BN_CLICKED && id == IDC_BUTTON_REMOVE)
    OnButtonRemove();
  else
    return CDialog::OnCommand(id, notification);
  return TRUE;
}

void CNetSetupDlg::OnButtonSet() { RunAction(IDC_BUTTON_SET, Action::set, IDS_SET_DONE); }

void CNetSetupDlg::OnButtonRemove() { RunAction(IDC_BUTTON_REMOVE, Action::remove, IDS_REMOVE_DONE); }

// Completion is told once both settings have changed; a failure is
// reported, and leaves the button disabled.
void CNetSetupDlg::RunAction(int buttonId, Action action, UINT doneMessage) {
  const HWND button = GetDlgItem(buttonId);
  SetButtonDisabled(button, true);
  m_actionTried = action;
  try {
    const Working working;
    Request request(action);
    request.patience.pause = PaintWhileWaiting;
    CarryOut(request, &m_outcomes);
  } catch (...) {
    OnError(std::current_exception());
    return;
  }
  m_actionCompleted = true;
  AfxMessageBox(doneMessage);
  SetButtonDisabled(button, false);
  EndDialog(IDOK);
}

BOOL CNetSetupDlg::OnSysCommand(UINT id, LPARAM) {
  if ((id & 0xFFF0) != IDM_ABOUTBOX) return FALSE;
  CAboutDlg about;
  about.DoModal();
  return TRUE;
}

BOOL CNetSetupDlg::OnPaint() {
  if (!IsIconic()) return FALSE;
  CPaintDC dc(this);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC), 0);
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const int x = IconOrigin(client.right - client.left, GetSystemMetrics(SM_CXICON));
  const int y = IconOrigin(client.bottom - client.top, GetSystemMetrics(SM_CYICON));
  DrawIcon(dc.m_hDC, x, y, m_hIcon);
  return TRUE;
}

HCURSOR CNetSetupDlg::OnQueryDragIcon() { return m_hIcon; }

void CNetSetupDlg::OnError(const std::exception_ptr& error) {
  m_failure = FailureOf(error);
  ShowError(m_hWnd, ReportOf(*m_failure));
}
