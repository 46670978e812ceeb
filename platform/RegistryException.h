// The registry error raised by the registry layer: what failed, the
// operating system's error code and the full name of the value concerned,
// as the user is told it.
#pragma once

#include <windows.h>

#include "CString.h"

class CRegistryException {
 public:
  enum Cause {
    // A key on the way cannot be opened or created, or the value cannot be
    // queried.
    readFailed = 0,
    // A key on the way cannot be opened or created, or the write is refused.
    writeFailed = 1,
    // A change of the value could not be taken back after `m_strFileName`
    // failed to be replaced: the value keeps its new text.
    restoreFailed = 2,
    // The value is a service account's (SYSTEM, LocalService,
    // NetworkService) with nobody at the desktop: refused, not touched.
    serviceAccount = 3,
    // The value is not text (REG_SZ, REG_EXPAND_SZ): left as it is.
    notText = 4,
    // The value's text holds characters the ANSI code page has not: read
    // through it, the text would come back changed.
    notInCodePage = 5,
    // The process may read the value's key but not change it.
    changeDenied = 6,
    // After `m_strFileName` failed to be replaced, the value no longer held
    // what this run wrote: another changed it since, and it was left so.
    changedByAnother = 7,
    // A per-connection value of a form the tool does not know: left as it
    // is, as a change might garble it.
    unknownForm = 8,
  };

  CRegistryException(Cause cause, LONG osError, CString valueName)
      : m_cause(cause), m_lOsError(osError), m_strValueName(std::move(valueName)) {}

  Cause m_cause;
  LONG m_lOsError;
  CString m_strValueName;
  CString m_strFileName;  // restoreFailed, changedByAnother: the file whose replace failed
};
