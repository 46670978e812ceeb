#include "ErrorReport.h"

#include "WinApp.h"
#include "resource.h"

namespace {

CString Caption() { return AfxGetApp() ? AfxGetApp()->m_pszAppName : CString(); }

CString ReplacePlaceholder(const CString& text, const CString& value) {
  const std::string_view view = text.View();
  const size_t at = view.find("%1");
  if (at == std::string_view::npos) return text;
  return CString(std::string(view.substr(0, at))) + value + CString(std::string(view.substr(at + 2)));
}

}  // namespace

void ReportFileError(HWND owner, const CFileException& error) {
  const bool known = error.m_cause > CFileException::none && error.m_cause < IDS_FILE_ERROR_CAUSES;
  const int cause = known ? error.m_cause : CFileException::genericException;
  const CString text = ReplacePlaceholder(LoadResourceString(IDS_FILE_ERROR_BASE + cause), error.m_strFileName);
  MessageBoxA(owner, text, Caption(), MB_OK | MB_ICONSTOP);
}

void ReportOutOfMemory(HWND owner) {
  MessageBoxA(owner, LoadResourceString(IDS_OUT_OF_MEMORY), Caption(), MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
}
