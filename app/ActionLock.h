// One action at a time on the whole PC, from any session and any user: two
// runs that read the same settings and write them in turn would split them.
// No ordinary user may take, hold or block it: on Windows Vista and later
// it is a mutex in a private namespace that only the administrators can
// make; where the system has none (and under wine), a file in the tool's
// folder held without sharing, which only they may open; only where neither
// can be had, the named mutex of the versions before.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>

#include "Handle.h"
#include "ToolFolder.h"

class ActionLock {
 public:
  // Waits a short while for another run to finish; raises CBusyException
  // when it does not.
  ActionLock();
  // Takes the lock only if no other run holds it now; Held tells.
  struct NoWait {};
  explicit ActionLock(NoWait);
  ActionLock(const ActionLock&) = delete;
  ActionLock& operator=(const ActionLock&) = delete;
  ~ActionLock();

  bool Held() const { return m_held; }

 private:
  bool Take(int pauses);
  bool TryTake();

  std::shared_ptr<void> m_namespace;  // closed after the mutex named in it
  UniqueObject m_mutex;
  std::optional<ToolFolder> m_folder;
  UniqueFile m_file;
  bool m_held = false;
};

// How a run waits a moment for another; Sleep unless set. The dialog keeps
// its window painted meanwhile.
using LockPause = void(WINAPI*)(DWORD milliseconds);
void SetLockPause(LockPause pause);
// A moment's pause of a run that waits for another program, as set above.
void PauseForAnother(DWORD milliseconds);
