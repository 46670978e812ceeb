// Hive files that an earlier run loaded and never unloaded, because it was
// ended on the way (a deployment agent's time-out, a power cut): their user
// would sign in to a temporary profile, and every later run for every user
// would fail on the file.
#pragma once

#include <vector>

#include "CString.h"

// Unloads every hive under HKEY_USERS at a key the tool names
// (kHiveKeyPrefix): tried again for a moment, then forced where the system
// can. Call it holding the ActionLock, so that no run is using them. The
// full names of those that stay loaded.
std::vector<CString> UnloadLeftoverHives();
