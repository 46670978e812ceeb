// One string value of the registry, named by a root key and a path whose
// "\"-separated components are the keys from the root down and, last, the
// value name (empty for the key's default value). The first key is only
// opened, never created; the keys below it are created when missing, on
// reading as on writing. The empty string is stored as "--NULLSTRING--".
// A missing value reads as the empty string; every other failure raises
// CRegistryException, so that nothing is written back that was never read
// and no refused write passes for done.
#pragma once

#include <windows.h>

#include "CString.h"
#include "RegValue.h"
#include "RegistryException.h"

class CRegStringValue {
 public:
  // `strShownAs`, when given, names the root and the first key as the user
  // is told them: a hive file loaded under a key of the run's own, or the
  // 32-bit programs' view of HKEY_LOCAL_MACHINE\Software. `view`
  // (KEY_WOW64_64KEY, KEY_WOW64_32KEY) is asked for at every open; 0: the
  // process's own.
  CRegStringValue(HKEY hRootKey, CString strPath, CString strShownAs = CString(), REGSAM view = 0)
      : m_hRootKey(hRootKey), m_strPath(std::move(strPath)), m_strShownAs(std::move(strShownAs)), m_view(view) {}

  // The text in the ANSI code page; `stored` receives the value as held.
  // Asks for reading alone. Raises readFailed when a key cannot be opened or
  // created or the value cannot be queried; notText when it is not of a
  // string type (REG_SZ, REG_EXPAND_SZ); notInCodePage when it holds
  // characters the ANSI code page has not: its text would come back changed.
  void Read(CString& strValue, RegStoredValue* stored = nullptr) const {
    ReadValue(m_hRootKey, m_strPath, strValue, stored);
  }
  // Raises changeDenied when the keys on the way may be read but not opened
  // for a write, as Write opens them; changes nothing. Any other failure is
  // left for the write itself to report.
  void RequireChangeable() const;
  // Stores the text as REG_SZ, whatever the value's former type.
  void Write(CString strValue) const { WriteValue(m_hRootKey, m_strPath, std::move(strValue)); }
  // Puts the value back exactly as held, or deletes it where there was none,
  // only while it holds `written` as Write stored it (the same text, REG_SZ):
  // false, and nothing written, when it holds anything else now.
  bool Restore(const CString& written, const RegStoredValue& stored) const;

  // The value as Write stores `strValue`: REG_SZ, in UTF-16, with its NUL.
  static RegStoredValue StoredForm(const CString& strValue);

  // "HKEY_CURRENT_USER\..." as the user is told it.
  CString GetName() const;

 private:
  // Each worker consumes its own copy of the path while walking it.
  void ReadValue(HKEY hRootKey, CString strPath, CString& strValue, RegStoredValue* stored) const;
  void WriteValue(HKEY hRootKey, CString strPath, CString strValue) const;
  [[noreturn]] void Raise(CRegistryException::Cause cause, LONG osError) const;

  HKEY m_hRootKey;
  CString m_strPath;
  CString m_strShownAs;
  REGSAM m_view;
};
