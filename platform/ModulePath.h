// Names derived from the executable's own path.
#pragma once

#include "CString.h"

// After the last "\", "/" or ":", before the last "."; letter case kept.
CString AppNameFromModulePath(const CString& path);
// The path with its extension replaced by ".HLP".
CString HelpFilePathFromModulePath(const CString& path);
