// The application's resource identifiers, shared by its sources and
// NetSetup.rc.
// Plain #defines only: the resource compiler reads this file too.
#ifndef NETSETUP_RESOURCE_H
#define NETSETUP_RESOURCE_H

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_MAIN_DIALOG 102

// Controls of the main dialog
#define IDC_BUTTON_SET 1000
#define IDC_BUTTON_REMOVE 1001

// System-menu command of the About item (low four bits clear, as the
// system reserves them)
#define IDM_ABOUTBOX 0x0010

// Strings
#define IDS_ABOUTBOX 101
#define IDS_SET_DONE 102
#define IDS_REMOVE_DONE 103
// The command line's: its usage ("%1": the program's name), an argument not
// understood ("%1"), and what /check finds: every setting in place, or one
// that lacks a piece ("%1": the setting, "%2": the piece).
#define IDS_USAGE 104
#define IDS_BAD_ARGUMENT 105
#define IDS_CHECK_IN_PLACE 106
#define IDS_CHECK_MISSING 107
// A log named by /log that is refused ("%1": the path as given): a link, a
// hard link of another file, another account's file.
#define IDS_LOG_LINK 108
#define IDS_LOG_SEVERAL_NAMES 109
#define IDS_LOG_OWNER 110
// After /set or /remove, each setting it covered: changed, or already as
// the action leaves it ("%1": the hosts file or the value). Ids the
// framework's range leaves free.
#define IDS_TARGET_CHANGED 61895
#define IDS_TARGET_UNCHANGED 61896
// After /undo, each setting: put back, or left as another program made it.
#define IDS_TARGET_PUT_BACK 61897
#define IDS_TARGET_LEFT 61898

// What tells of a failure (Failure.h). File errors: IDS_FILE_ERROR_BASE
// plus the error's cause (0..IDS_FILE_ERROR_CAUSES-1); "%1" stands for the
// path.
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
// known). "%1" stands for the value's name; a value not put back after a
// failed replace names the file as "%1" and the value as "%2".
#define IDS_REGISTRY_ERROR_BASE 61880
// Another run of the tool holds the settings.
#define IDS_ANOTHER_RUN_BUSY 61890

// Application icon
#define IDR_MAINFRAME 128
// The event log's message file (RCDATA): a DLL of messages alone
#define IDR_EVENT_MESSAGES 129

#endif  // NETSETUP_RESOURCE_H
