// One string value of the registry, named by a root key and a path whose
// "\"-separated components are the keys from the root down and, last, the
// value name (empty for the key's default value). The first key is only
// opened, never created; the keys below it are created when missing, on
// reading as on writing. The empty string is stored as "--NULLSTRING--".
// Failures are silent: a read that finds nothing gives an empty string, a
// write that cannot reach its key does nothing. A read tells whether it had
// the value, so that a caller does not write back one built from nothing.
#pragma once

#include <windows.h>

#include "CString.h"

class CRegStringValue {
 public:
  CRegStringValue(HKEY hRootKey, CString strPath) : m_hRootKey(hRootKey), m_strPath(std::move(strPath)) {}

  // Leaves strValue as it was when a key on the way cannot be opened. FALSE
  // when a key or the value could not be read; a missing value is read as
  // the empty string.
  BOOL Read(CString& strValue) const { return ReadValue(m_hRootKey, m_strPath, strValue); }
  void Write(CString strValue) const { WriteValue(m_hRootKey, m_strPath, std::move(strValue)); }

 private:
  // Each worker consumes its own copy of the path while walking it.
  static BOOL ReadValue(HKEY hRootKey, CString strPath, CString& strValue);
  static void WriteValue(HKEY hRootKey, CString strPath, CString strValue);

  HKEY m_hRootKey;
  CString m_strPath;
};
