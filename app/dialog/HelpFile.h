// F1 asks the help viewer for a help file named like the executable. The
// viewer runs what a help file tells it to, with this process's rights.
#pragma once

#include "CString.h"

// Only a file in a folder that no ordinary user can change (Trust.h).
bool MayOpenHelpFile(const CString& path);
