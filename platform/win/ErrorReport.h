// How an error that escapes a handler reaches the user.
#pragma once

#include <windows.h>

#include <new>

#include "FileException.h"
#include "RegistryException.h"

// The file-error text of the cause with the path in place of "%1", stop icon.
void ReportFileError(HWND owner, const CFileException& error);
// The registry-error text of the cause naming the value (and, when the value
// could not be put back, the file whose replace failed), stop icon.
void ReportRegistryError(HWND owner, const CRegistryException& error);
// The out-of-memory text, exclamation mark, system modal.
void ReportOutOfMemory(HWND owner);

// Runs `handler`; reports what escapes it. True when nothing escaped.
template <typename Handler>
bool RunReportingErrors(HWND owner, Handler&& handler) noexcept {
  try {
    handler();
    return true;
  } catch (const CFileException& error) {
    ReportFileError(owner, error);
  } catch (const CRegistryException& error) {
    ReportRegistryError(owner, error);
  } catch (const std::bad_alloc&) {
    ReportOutOfMemory(owner);
  } catch (...) {
    ReportFileError(owner, CFileException(CFileException::genericException, 0, CString()));
  }
  return false;
}
