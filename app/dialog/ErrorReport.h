// How a failure reaches the user: its text, filled in, and the message box
// that shows it.
#pragma once

#include <windows.h>

#include "CString.h"
#include "Failure.h"

struct ErrorReport {
  CString text;
  UINT style;
};

// The text of the failure's kind (a file's by its cause) naming what it
// names, in a box with the stop icon; out of memory with the exclamation
// mark, over every window.
ErrorReport ReportOf(const Failure& failure);
// In a message box owned by `owner`, captioned with the application name.
void ShowError(HWND owner, const ErrorReport& report);
