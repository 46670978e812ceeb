// The fake's header of SID conversions: windows.h declares them with the rest.
#pragma once

#include <windows.h>
