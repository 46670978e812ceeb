// The standard output and error of a program without a console window of
// its own: the handles it was given (a redirection, a pipe), or else the
// console of the program that started it.
#pragma once

#include "CString.h"

// Each writes `text` and a line end in the ANSI code page; false when the
// process has nowhere to write it.
bool PrintOut(const CString& text);
bool PrintError(const CString& text);
