#include "ErrorReport.h"

#include <new>

#include "BusyException.h"
#include "ErrorReportStrings.h"
#include "FileException.h"
#include "RegistryException.h"
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

// The string of a file error's cause: the system's errors, then the tool's
// own refusals; any other cause is an unknown error.
UINT FileErrorString(int cause) {
  if (cause > CFileException::none && cause < IDS_FILE_ERROR_CAUSES) return IDS_FILE_ERROR_BASE + cause;
  const int refusal = cause - IDS_FILE_ERROR_CAUSES;
  if (refusal >= 0 && refusal < IDS_FILE_REFUSALS) return IDS_FILE_REFUSAL_BASE + refusal;
  return IDS_FILE_ERROR_BASE + CFileException::genericException;
}

CString FileErrorText(const CFileException& error) {
  return ReplacePlaceholder(LoadResourceString(FileErrorString(error.m_cause)), "%1", error.m_strFileName);
}

CString RegistryErrorText(const CRegistryException& error) {
  const CString text = LoadResourceString(IDS_REGISTRY_ERROR_BASE + error.m_cause);
  const bool afterReplace =
      error.m_cause == CRegistryException::restoreFailed || error.m_cause == CRegistryException::changedByAnother;
  if (!afterReplace) return ReplacePlaceholder(text, "%1", error.m_strValueName);
  return ReplacePlaceholder(ReplacePlaceholder(text, "%1", error.m_strFileName), "%2", error.m_strValueName);
}

}  // namespace

ErrorReport DescribeError(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const CFileException& file) {
    return {FileErrorText(file), MB_OK | MB_ICONSTOP};
  } catch (const CRegistryException& registry) {
    return {RegistryErrorText(registry), MB_OK | MB_ICONSTOP};
  } catch (const CBusyException&) {
    return {LoadResourceString(IDS_ANOTHER_RUN_BUSY), MB_OK | MB_ICONSTOP};
  } catch (const std::bad_alloc&) {
    return {LoadResourceString(IDS_OUT_OF_MEMORY), MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL};
  } catch (...) {
    return {FileErrorText(CFileException(CFileException::genericException, 0, CString())), MB_OK | MB_ICONSTOP};
  }
}

void ShowError(HWND owner, const ErrorReport& report) { MessageBoxA(owner, report.text, Caption(), report.style); }
