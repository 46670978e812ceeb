// How long a run waits for what another holds, and how it passes the time:
// another run of the tool holding the settings, another program holding
// the hosts file (an editor, a virus scanner, a pupil reading it). At the
// desktop somebody can try again, and the dialog keeps its window painted;
// a deployment system retries a busy run only hours later.
#pragma once

#include <windows.h>

struct Patience {
  using Pause = void(WINAPI*)(DWORD milliseconds);

  DWORD forLockMs = 5000;
  // 0: a hosts file another program holds is told at once.
  DWORD forHostsMs = 0;
  Pause pause = Sleep;
};

// Scripts, deployment systems and the package: nobody there to try again.
inline const Patience kUnattended{120000, 120000, Sleep};
