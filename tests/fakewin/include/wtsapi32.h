// Fake of the SDK header of session queries: declared with the rest.
#pragma once

#include <windows.h>
