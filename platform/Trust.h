// Whom a privileged run may let own or change what it reads and writes: the
// system, the administrators, the installer of Windows' own files, and the
// account the run is itself, which could change it anyway. Anything another
// account owns, or may change, could have been put there to steer the run.
#pragma once

#include <windows.h>

// Why a file or folder is not trusted.
enum class Distrust {
  none,
  unreadable,  // its security cannot be read
  owner,       // owned by another account
  access,      // its access list lets another account change it
};

// The owner of what `object` (opened with READ_CONTROL) stands for; with
// `alsoAccess`, its access list too: nobody else may write or append in it,
// delete it, or change its access list or owner, nor in what it hands on to
// files made inside.
Distrust TrustOf(HANDLE object, bool alsoAccess);

// The text naming a distrust in the log: "owner", "access list".
const char* DistrustName(Distrust distrust);
