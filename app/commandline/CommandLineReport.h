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
// A log named by /log that the tool refuses (a link, a hard link of another
// file, another account's file, or one that cannot be opened): why, on
// standard error, and the usage status; true when it may be written.
bool LogUsable(const Invocation& invocation, RunRecord& record);
