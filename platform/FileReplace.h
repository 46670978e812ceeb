// Replacing a file by a new one beside it, as the system best allows: the
// file keeps what it had (attributes, security descriptor, its name's
// spelling), and a failure leaves it as it was.
#pragma once

#include <windows.h>

#include "CString.h"

// The path of the file itself when `path` leads to it through a symbolic
// link: a file replaced at the link's path would turn the link into a plain
// file. `path` itself where there is no link or the system cannot tell.
CString FinalPath(const CString& path);

// Puts `replacement` in place of `replaced`, which must exist. 0 when done,
// else the system's error code, with `replaced` holding its old bytes and
// `replacement` left for the caller to delete.
DWORD ReplaceFileKeepingIt(const CString& replaced, const CString& replacement);
