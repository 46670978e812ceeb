// One action at a time on the whole PC, from any session and any user: two
// runs that read the same settings and write them in turn would split them.
#pragma once

#include "Handle.h"

class ActionLock {
 public:
  // Waits a short while for another run to finish; raises CBusyException
  // when it does not.
  ActionLock();
  ActionLock(const ActionLock&) = delete;
  ActionLock& operator=(const ActionLock&) = delete;
  ~ActionLock();

 private:
  UniqueObject m_mutex;
};
