// The Windows Application event log, under the tool's own source. Event
// Viewer takes an event's text from the source's message file: the
// executable carries one (a DLL of messages alone) and writes it into its
// own folder, so that the events still read whole once the executable has
// moved. Administrators read those texts: the message file is only ever one
// that no ordinary user could have put in its place.
#pragma once

#include <windows.h>

#include "CString.h"
#include "PlainFile.h"

// The source's name in the log.
inline constexpr char kEventSource[] = "OrvaneSetup";
// The message file's name.
inline constexpr char kEventMessageFile[] = "OrvaneSetupEvents.dll";

// Writes the message file into `folder`, one no ordinary user can steer, as
// a plain file (PlainFile.h), and registers it as the source's. Without
// such a folder, or where the file there is not plain or not a trusted
// account's, a registration is removed, whatever file it names: events are
// then shown without their message. A file there that cannot be opened
// this once keeps a registration that names it, and removes any other.
// False when the source is not registered to the file in `folder`. Never
// raises.
bool InstallEventSource(const CFolder* folder, HINSTANCE module, UINT messageFileResource);
// Reports `text` as event `eventId` of `type` (EVENTLOG_INFORMATION_TYPE,
// _WARNING_, _ERROR_); false when the log refuses. Never raises.
bool ReportToEventLog(WORD type, DWORD eventId, const CString& text);
