// A failure as the tool tells it, by value: what kind, the system's error
// code, and what it names. Made in one place from what a step raised
// (FailureOf), and told by one table: each kind's exit status, its text and
// its word in the log. A new kind of failure is one row.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <optional>

#include "CString.h"
#include "ExitStatus.h"

struct Failure {
  enum Kind {
    // CRegistryException's causes, in their order.
    registryRead,
    registryWrite,
    restoreFailed,
    serviceAccount,
    notText,
    notInCodePage,
    changeDenied,
    changedByAnother,
    unknownForm,
    // A CFileException: its cause picks the text.
    file,
    busy,         // another run holds the settings
    outOfMemory,  // std::bad_alloc
    unknown,
  };

  Kind kind = unknown;
  int fileCause = 0;  // file: CFileException's cause
  LONG osError = 0;
  CString target;    // the file or the value it names
  CString replaced;  // restoreFailed, changedByAnother: the file whose replace failed
};

// What a failure is told by.
struct FailureRow {
  const char* word;     // in the log, of a list left as it was or not told
  ExitStatus status;    // of the run it ends
  ExitStatus checking;  // of a check or a detection it ends: it could not tell
  UINT text;            // the string; for a file, the first of its causes'
  bool urgent;          // out of memory: shown over everything
};

// The failure `error` stands for.
Failure FailureOf(const std::exception_ptr& error);
// Runs `work` on one setting; the failure of its own that it raised (a
// registry or a file error), if it did: for every user one list's failure
// stops no other. Anything else goes on up.
std::optional<Failure> FailureOfOne(const std::function<void()>& work);
// Its row.
const FailureRow& RowOf(const Failure& failure);
// The string that tells it: "%1" the file or value, "%2" the value after a
// failed replace.
UINT TextOf(const Failure& failure);
// In the log: its word, and the system's error where there is one.
CString WordsOf(const Failure& failure);
