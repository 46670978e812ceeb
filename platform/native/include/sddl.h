// Stand-in for the SDK header of SID conversions: declared with the rest.
#pragma once

#include <windows.h>
