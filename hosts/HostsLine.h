// One line of the hosts file as read, and the facts the update rules need.
#pragma once

#include <cstdint>

#include "CString.h"

struct HostsLine {
  int32_t removeFlag = 0;  // 1: left out when the file is rewritten
  int32_t activeFlag = 0;  // 1: an address entry that is not commented out
  int32_t octets[4] = {};  // the dotted address at the head of the line
  CString hostName;        // from the first letter to the end, trimmed
  CString rawLine;         // exactly as read, without the line end
};
