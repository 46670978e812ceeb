// The file error raised by the file layer: a cause code, the operating
// system's error code and the path of the file concerned.
#pragma once

#include <windows.h>

#include "CString.h"

class CFileException {
 public:
  enum Cause {
    none = 0,
    genericException = 1,
    fileNotFound = 2,
    badPath = 3,
    tooManyOpenFiles = 4,
    accessDenied = 5,
    invalidFile = 6,
    removeCurrentDir = 7,
    directoryFull = 8,
    badSeek = 9,
    hardIO = 10,
    sharingViolation = 11,
    lockViolation = 12,
    diskFull = 13,
    endOfFile = 14,
    // The tool's own refusals of a file no update could keep whole, or one
    // an administrator has locked; each says why.
    utf16Text = 15,     // text in UTF-16, with a byte-order mark or without
    textAfterEnd = 16,  // lines after a Ctrl-Z, which text-mode readers never see
    readOnly = 17,      // the read-only attribute
  };

  CFileException() = default;
  CFileException(int cause, LONG osError, CString fileName)
      : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName)) {}

  // The cause that the operating system's error code stands for.
  static int OsErrorToCause(LONG osError);

  int m_cause = none;
  LONG m_lOsError = 0;
  CString m_strFileName;
};
