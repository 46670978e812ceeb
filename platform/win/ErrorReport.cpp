#include "ErrorReport.h"

#include "ErrorReportStrings.h"
#include "WinApp.h"

namespace {

CString Caption() { return AfxGetApp() ? AfxGetApp()->m_strAppName : CString(); }

// `text` with its placeholder `mark` ("%1", "%2") replaced by `value`.
CString ReplacePlaceholder(const CString& text, const char* mark, const CString& value) {
  const std::string_view view = text.View();
  const size_t at = view.find(mark);
  if (at == std::string_view::npos) return text;
  return CString(std::string(view.substr(0, at))) + value + CString(std::string(view.substr(at + 2)));
}

}  // namespace

void ReportFileError(HWND owner, const CFileException& error) {
  const bool known = error.m_cause > CFileException::none && error.m_cause < IDS_FILE_ERROR_CAUSES;
  const int cause = known ? error.m_cause : CFileException::genericException;
  const CString text = ReplacePlaceholder(LoadResourceString(IDS_FILE_ERROR_BASE + cause), "%1", error.m_strFileName);
  MessageBoxA(owner, text, Caption(), MB_OK | MB_ICONSTOP);
}

void ReportRegistryError(HWND owner, const CRegistryException& error) {
  CString text = LoadResourceString(IDS_REGISTRY_ERROR_BASE + error.m_cause);
  if (error.m_cause == CRegistryException::restoreFailed) {
    text = ReplacePlaceholder(text, "%1", error.m_strFileName);
    text = ReplacePlaceholder(text, "%2", error.m_strValueName);
  } else {
    text = ReplacePlaceholder(text, "%1", error.m_strValueName);
  }
  MessageBoxA(owner, text, Caption(), MB_OK | MB_ICONSTOP);
}

void ReportOutOfMemory(HWND owner) {
  MessageBoxA(owner, LoadResourceString(IDS_OUT_OF_MEMORY), Caption(), MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
}
