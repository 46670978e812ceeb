// One line of the hosts file as read, and the facts the update rules need.
// The texts are views into the line as read, which the editor parses and
// judges while it reads and keeps no longer.
#pragma once

#include <cstdint>
#include <string_view>

struct HostsLine {
  int32_t removeFlag = 0;     // 1: left out when the file is rewritten
  int32_t activeFlag = 0;     // 1: an address entry that is not commented out
  int32_t octets[4] = {};     // the dotted address at the head of the line
  std::string_view hostName;  // part of rawLine: from the first letter to the end, trimmed
  std::string_view rawLine;   // exactly as read, without the line end
};
