// Raised when another run of the tool holds the settings: nothing was
// changed, and a later run will do.
#pragma once

class CBusyException {};
