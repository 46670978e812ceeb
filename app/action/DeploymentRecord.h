// The record of the last run for every user that did the work: this
// version's settings are in place on the PC, but for the lists it names as
// left as they were. The detection rule reads it beside the hosts file and
// the machine's lists, and so needs to load no user's hive (a user signing
// in meanwhile would get a temporary profile) and waits for no other run.
// Under HKEY_LOCAL_MACHINE, which only administrators may change, in the
// 64-bit view from either build.
#pragma once

#include <optional>
#include <vector>

#include "CString.h"
#include "Outcomes.h"
#include "WrittenLists.h"

// Under HKEY_LOCAL_MACHINE: the key, and in it REG_SZ Version and Time and
// REG_MULTI_SZ LeftAsItWas.
inline constexpr const char* DEPLOYMENT_RECORD_PATH = "SOFTWARE\\Orvane\\Setup";

struct DeploymentRecord {
  CString version;
  CString time;
  std::vector<CString> leftAsItWas;  // each list by its name, and why
};

// The record as kept; nothing when there is none. Raises CRegistryException
// (readFailed) when it cannot be read.
std::optional<DeploymentRecord> ReadDeploymentRecord();

// Writes the record of a Set for every user that did the work, naming what
// `outcomes` tells as left as it was; or, without a record, removes it.
// Raises CRegistryException. What it wrote, as it was and as written.
WrittenList UpdateDeploymentRecord(const std::optional<DeploymentRecord>& record);

// The record of a Set that left `outcomes`.
DeploymentRecord RecordOf(const CString& version, const CString& time, const Outcomes& outcomes);

// The record's full name, as the log and the check name it.
CString DeploymentRecordName();
