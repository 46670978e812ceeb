#include "ErrorReport.h"

#include "WinApp.h"

namespace {

// `text` with its placeholder `mark` ("%1", "%2") replaced by `value`.
CString ReplacePlaceholder(const CString& text, const char* mark, const CString& value) {
  const std::string_view view = text.View();
  const size_t at = view.find(mark);
  if (at == std::string_view::npos) return text;
  return CString(std::string(view.substr(0, at))) + value + CString(std::string(view.substr(at + 2)));
}

}  // namespace

ErrorReport ReportOf(const Failure& failure) {
  const CString text = LoadResourceString(TextOf(failure));
  // After a failed replace, the file first, then the value.
  const bool afterReplace = failure.kind == Failure::restoreFailed || failure.kind == Failure::changedByAnother;
  const CString filled =
      afterReplace ? ReplacePlaceholder(ReplacePlaceholder(text, "%1", failure.replaced), "%2", failure.target)
                   : ReplacePlaceholder(text, "%1", failure.target);
  return {filled,
          RowOf(failure).urgent ? UINT{MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL} : UINT{MB_OK | MB_ICONSTOP}};
}

void ShowError(HWND owner, const ErrorReport& report) {
  MessageBoxA(owner, report.text, AfxGetApp() ? AfxGetApp()->m_strAppName : CString(), report.style);
}
