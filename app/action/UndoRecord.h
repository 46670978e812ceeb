// What a run for the package changed, kept where no ordinary user may write
// (beside the hosts file) until the package has finished with it: a failed
// installation's rollback puts it back after the run has ended, and a
// finished one's commit forgets it. One record at a time, named by the id
// the package gives its run.
#pragma once

#include <optional>
#include <vector>

#include "CString.h"
#include "HostsFile.h"
#include "Outcomes.h"
#include "Patience.h"
#include "WrittenLists.h"

struct UndoRecord {
  CString id;
  std::optional<CHostsFile::Result> hosts;  // replaced with its old file kept, or left as it was
  WrittenLists lists;
};

// An id the package may give: 1 to 64 of "0-9A-Za-z{}-", as a GUID is
// written; it names a file.
bool IsUndoId(const CString& id);

// Keeps `record` in place of any other. Raises CFileException naming the
// record's file when it cannot.
void KeepUndoRecord(const UndoRecord& record);
// The record kept, when it is that of `id`.
std::optional<UndoRecord> KeptUndoRecord(const CString& id);
// Drops the record kept, and the old hosts file it kept; with `id`, only
// when it is that one's.
void ForgetUndoRecord(const CString* id = nullptr);

// Puts back, the latest first, what the run of `id` changed, where it still
// holds what that run wrote, then forgets it: what another program changed
// since is left so (notPutBack). Holds the ActionLock, waited for as
// `patience` says. What became of each setting; nothing when no record of
// `id` is kept. Raises CBusyException, and CFileException when the hosts
// file cannot be put back.
Outcomes UndoRun(const CString& id, const Patience& patience);
