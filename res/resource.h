// Resource identifiers, shared by the C++ sources and NetSetup.rc.
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

// Strings of our own
#define IDS_ABOUTBOX 101
#define IDS_SET_DONE 102
#define IDS_REMOVE_DONE 103

// Application icon
#define IDR_MAINFRAME 128

// Error reports the framework layer shows when a file or memory error
// escapes a handler. The file-error text is IDS_FILE_ERROR_BASE plus the
// error's cause (0..IDS_FILE_ERROR_CAUSES-1); "%1" stands for the path.
#define IDS_FILE_ERROR_BASE 61856
#define IDS_FILE_ERROR_CAUSES 15
#define IDS_OUT_OF_MEMORY 61475
// Registry errors: base + cause (read, write, restore). "%1" stands for the
// value's name; restoring names the file whose replace failed as "%1" and
// the value as "%2".
#define IDS_REGISTRY_ERROR_BASE 61880

#endif  // NETSETUP_RESOURCE_H
