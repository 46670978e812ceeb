// Set or Remove settings on the hosts file alone, start to commit, on one
// editor: for the tests, the fuzzer and the benchmark.
#pragma once

#include "HostsFile.h"

inline void UpdateHostsFile(bool set) {
  CHostsFile editor(TRUE);
  editor.ReadAll();
  set ? editor.AddMissing() : editor.MarkManaged();
  editor.Recreate(TRUE);
  editor.WriteAll();
  editor.Commit();
}
