// The command line as the user meets it: what it prints on standard output
// and error, and, unless told to be quiet, the message boxes the dialog
// uses. Never a box where nobody can see it.
#pragma once

#include "CommandLine.h"
#include "RunLog.h"

// Runs /set, /remove, /check or /? and tells the outcome; fills `record`.
void RunCommandLine(const Invocation& invocation, RunRecord& record);
// The argument not understood, and the usage, on standard error.
void TellBadArgument(const CString& argument, RunRecord& record);
