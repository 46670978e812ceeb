// The fake's header of GetSecurityInfo: windows.h declares it with the rest.
#pragma once

#include <windows.h>
