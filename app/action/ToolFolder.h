// The tool's own folder under the common application data folder
// (%ProgramData%\Orvane): its log, its event messages and, where the system
// has no private namespaces, its lock. Users may make folders there, and a
// pupil may make this one first, as a link or with an access list of their
// own; the tool then writes nothing in it.
#pragma once

#include "CString.h"
#include "PlainFile.h"
#include "Trust.h"

class ToolFolder {
 public:
  // Opens the folder, held for the object's life; `make`: made where it is
  // missing, changed by SYSTEM and the administrators alone.
  explicit ToolFolder(bool make);

  // Not a link, owned and changed by trusted accounts alone (Trust.h).
  bool Trusted() const { return m_why == nullptr; }
  // Why it is not: "missing", "a link", "owner", "access list".
  const char* Why() const { return m_why; }
  const CFolder& Folder() const { return m_folder; }
  const CString& Path() const { return m_path; }

 private:
  CString m_path;
  CFolder m_folder;
  const char* m_why = nullptr;
};

// The common application data folder: ProgramData on Vista and later, All
// Users\Application Data before; empty when the system names none.
CString CommonAppDataFolder();

// The hosts file's own folder, held open, where no ordinary user may make a
// file: not open when it is a link, or another account may change it
// (Trust.h).
CFolder HostsFolder();
