// One action at a time on the whole PC, from any session and any user: two
// runs that read the same settings and write them in turn would split them.
// No ordinary user may take, hold or block it: on Windows Vista and later
// it is a mutex in a private namespace that only the administrators can
// make; where the system has none (2000, XP, and wine), a file held without
// sharing and deleted when closed, which only they may open, in a folder
// only they may write: the tool's, or else the hosts file's own. Where
// neither folder can be had, the lock cannot be had.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>

#include "Handle.h"
#include "Patience.h"
#include "ToolFolder.h"

class ActionLock {
 public:
  // Waits for another run to finish as `patience` says; raises
  // CBusyException when it does not.
  explicit ActionLock(const Patience& patience);
  // Takes the lock only if no other run holds it now; Held tells.
  struct NoWait {};
  explicit ActionLock(NoWait);
  ActionLock(const ActionLock&) = delete;
  ActionLock& operator=(const ActionLock&) = delete;
  ~ActionLock();

  bool Held() const { return m_held; }

 private:
  bool Take(const Patience& patience);
  bool TryTake();

  UniqueNamespace m_namespace;  // closed after the mutex named in it
  UniqueObject m_mutex;
  // Where the lock file is, held open for the object's life.
  std::optional<ToolFolder> m_tool;
  CFolder m_hostsFolder;
  const CFolder* m_folder = nullptr;
  UniqueFile m_file;
  bool m_held = false;
};
