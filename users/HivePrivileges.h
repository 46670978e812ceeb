// The two privileges that loading and unloading a hive file take.
#pragma once

#include <vector>

#include "Handle.h"

// SeBackupPrivilege and SeRestorePrivilege enabled in the process's token
// while the object lives, then as they were. An account that does not hold
// them gets nothing: the load then fails, and is reported.
class HivePrivileges {
 public:
  HivePrivileges();
  HivePrivileges(const HivePrivileges&) = delete;
  HivePrivileges& operator=(const HivePrivileges&) = delete;
  ~HivePrivileges();

 private:
  UniqueObject m_token;
  std::vector<unsigned char> m_previous;  // TOKEN_PRIVILEGES: those changed, as they were
};
