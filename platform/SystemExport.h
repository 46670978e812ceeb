// Functions of the system's own that not every system has, or that live in
// a library outside the core ones: looked up at run time, so that the
// executable still starts where they are missing.
#pragma once

#include <windows.h>

// The export `name` of `module` as `Function`; null when either is missing.
template <typename Function>
Function SystemExport(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // Through the generic function type, as the address of any export is cast.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
