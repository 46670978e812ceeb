// The Windows Application event log, under the tool's own source. Event
// Viewer takes an event's text from the source's message file: the
// executable carries one (a DLL of messages alone) and writes it beside the
// log, so that the events still read whole once the executable has moved.
#pragma once

#include <windows.h>

#include "CString.h"

// The source's name in the log.
inline constexpr char kEventSource[] = "OrvaneSetup";
// The message file's name.
inline constexpr char kEventMessageFile[] = "OrvaneSetupEvents.dll";

// Writes the message file into `folder` and registers it as the source's,
// where either is not so already; false when it cannot. Never raises.
bool InstallEventSource(const CString& folder, HINSTANCE module, UINT messageFileResource);
// Reports `text` as event `eventId` of `type` (EVENTLOG_INFORMATION_TYPE,
// _WARNING_, _ERROR_); false when the log refuses. Never raises.
bool ReportToEventLog(WORD type, DWORD eventId, const CString& text);
