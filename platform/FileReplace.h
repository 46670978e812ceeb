// Replacing a file by a new one beside it, as the system best allows: the
// file keeps what it had (attributes, security descriptor, its name's
// spelling), and a failure leaves it as it was.
#pragma once

#include <windows.h>

#include <optional>

#include "CString.h"

// The path of the file itself when `path` leads to it through a symbolic
// link: a file replaced at the link's path would turn the link into a plain
// file. `path` itself where there is no link or the system cannot tell.
CString FinalPath(const CString& path);

// Puts `replacement` in place of `replaced`, which must exist. 0 when done,
// else the system's error code, with `replaced` holding its old bytes and
// `replacement` left for the caller to delete. With `keptOld`, the old file
// stays beside, under the name it receives, for a later undo; a system
// without the replace keeps none (empty).
DWORD ReplaceFileKeepingIt(const CString& replaced, const CString& replacement, CString* keptOld = nullptr);

// The size and a 64-bit FNV-1a digest of the file's bytes: what tells later
// whether it still holds what a run wrote. Nothing when it cannot be read.
struct FileDigest {
  unsigned long long size = 0;
  unsigned long long hash = 0;
  bool operator==(const FileDigest&) const = default;
};
std::optional<FileDigest> DigestOf(const CString& path);
