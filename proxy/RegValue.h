// Registry values exactly as the registry holds them: their type and raw
// bytes. A change is taken as it was before it is made, so that it can be
// put back byte for byte, and only while the value still holds what the
// change wrote.
#pragma once

#include <windows.h>

#include <string>

#include "CString.h"
#include "RegistryException.h"

// A value as held (text in UTF-16), or that there is none.
struct RegStoredValue {
  bool exists = false;
  DWORD type = REG_NONE;
  std::string bytes;
  bool operator==(const RegStoredValue&) const = default;
};

// `text` of the ANSI code page in UTF-16, as the registry holds text.
std::basic_string<WCHAR> Widened(const CString& text);

// `wide` in the ANSI code page; false when a character has no place in it.
bool Narrowed(const std::basic_string<WCHAR>& wide, CString& text);

// The value's full name as the user is told it: the root's name and `path`
// (its keys from the root down, then the value's name); where `shownAs` is
// given, it stands for the root and the first key (a hive file loaded under
// a key of the run's own, the 32-bit programs' view).
CString RegValueName(HKEY root, const CString& path, const CString& shownAs);

// Opens the key `path` under `root` with `access`, made where it is missing
// when `create`. Where the key's security refuses the process, opened again
// with backup and restore semantics: a run holding both privileges (one for
// every user) reads and writes what a user closed to it, as a user owns
// their own keys' access lists. The registry's answer to the first try
// when the second fails too.
LSTATUS OpenKeyPastDenial(HKEY root, const CString& path, REGSAM access, bool create, HKEY& key);

// The value `name` of the open `key`, read whole; a missing one is no
// failure. The registry's answer.
LSTATUS QueryStoredValue(HKEY key, const CString& name, RegStoredValue& stored);
// Stores `stored` as it is held, or deletes the value where there is none.
LSTATUS PutStoredValue(HKEY key, const CString& name, const RegStoredValue& stored);

// One value of a key that is only opened, never made: a missing key is a
// missing value. Every failure raises CRegistryException naming the value.
class CRegValue {
 public:
  // `view` (KEY_WOW64_64KEY, KEY_WOW64_32KEY) is asked for at every open.
  CRegValue(HKEY root, CString keyPath, CString name, CString shownAs = CString(), REGSAM view = 0)
      : m_root(root),
        m_keyPath(std::move(keyPath)),
        m_name(std::move(name)),
        m_shownAs(std::move(shownAs)),
        m_view(view) {}

  // Raises readFailed.
  RegStoredValue Read() const;
  // Raises changeDenied when the key may be read but not changed; nothing
  // else is looked at.
  void RequireChangeable() const;
  // Stores the type and bytes as they are; raises writeFailed.
  void Write(const RegStoredValue& value) const;
  // Puts `before` back while the value holds `written`: false, and nothing
  // written, when it holds anything else now. Raises writeFailed.
  bool Restore(const RegStoredValue& written, const RegStoredValue& before) const;

  CString GetName() const { return RegValueName(m_root, m_keyPath + "\\" + m_name, m_shownAs); }

 private:
  [[noreturn]] void Raise(CRegistryException::Cause cause, LONG osError) const;

  HKEY m_root;
  CString m_keyPath;
  CString m_name;
  CString m_shownAs;
  REGSAM m_view;
};
