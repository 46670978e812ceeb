// How an error that escapes a handler, or ends a command-line run, reaches
// the user.
#pragma once

#include <windows.h>

#include <exception>

#include "CString.h"
#include "WinApp.h"

// What tells of an error: its text, and the message box's style.
struct ErrorReport {
  CString text;
  UINT style;
};

// File errors: the text of the cause with the path in place of "%1", stop
// icon. Registry errors: the text of the cause naming the value (and, when
// the value could not be put back, the file whose replace failed), stop
// icon. Another run busy: its text, stop icon. Memory exhausted: its text,
// exclamation mark, system modal.
ErrorReport DescribeError(const std::exception_ptr& error);
// In a message box owned by `owner`, captioned with the application name.
void ShowError(HWND owner, const ErrorReport& report);

// Runs `handler`; reports what escapes it, and keeps it as the
// application's last error. True when nothing escaped.
template <typename Handler>
bool RunReportingErrors(HWND owner, Handler&& handler) noexcept {
  try {
    handler();
    return true;
  } catch (...) {
    const std::exception_ptr error = std::current_exception();
    NoteReportedError(error);
    ShowError(owner, DescribeError(error));
  }
  return false;
}
