// String ids of the framework's error reports, whose texts the application's
// resource script supplies. Plain #defines only: the resource compiler reads
// this file too.
#ifndef NETSETUP_ERROR_REPORT_STRINGS_H
#define NETSETUP_ERROR_REPORT_STRINGS_H

// File errors: IDS_FILE_ERROR_BASE plus the error's cause
// (0..IDS_FILE_ERROR_CAUSES-1); "%1" stands for the path.
#define IDS_FILE_ERROR_BASE 61856
#define IDS_FILE_ERROR_CAUSES 15
#define IDS_OUT_OF_MEMORY 61475
// The tool's own file refusals (UTF-16, lines after a Ctrl-Z, read-only):
// IDS_FILE_REFUSAL_BASE plus the cause less IDS_FILE_ERROR_CAUSES
// (0..IDS_FILE_REFUSALS-1); "%1" stands for the path.
#define IDS_FILE_REFUSAL_BASE 61891
#define IDS_FILE_REFUSALS 3
// Registry errors: base + cause (read, write, restore, service account, not
// text, not in the code page, change denied, changed by another, a form not
// known). "%1"
// stands for the value's name; a value not put back after a failed replace
// names the file as "%1" and the value as "%2".
#define IDS_REGISTRY_ERROR_BASE 61880
// Another run of the tool holds the settings.
#define IDS_ANOTHER_RUN_BUSY 61890

#endif  // NETSETUP_ERROR_REPORT_STRINGS_H
