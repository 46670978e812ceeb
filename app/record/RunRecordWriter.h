// Where a run's line goes: the log file and the Application event log.
#pragma once

#include "RunLog.h"

// Completes `record` with the facts of the run (time, version, account) and
// writes its line to the log at `logPath` (empty: the usual one, in the
// tool's folder) and to the event log, event 1000 plus the exit status.
// The event first tells what could not be written: the tool's folder when an
// ordinary user could steer it (nothing is then written there), the log
// when it is not a plain file of a trusted account's. Nothing that fails
// here changes the run's outcome.
void WriteRunRecord(const CString& logPath, RunRecord& record);
