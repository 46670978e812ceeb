// The system's own libraries that the tool loads at run time. Never by a
// bare name: for a library the system does not list among its known ones,
// the loader looks in the executable's folder first (a download folder, a
// share), and a file of that name there would run with the tool's
// administrator rights.
#pragma once

#include <windows.h>

// The library `name` (e.g. "wininet.dll") of the system directory, by its
// full path, for as long as this lives; missing where the system lacks it.
class SystemLibrary {
 public:
  explicit SystemLibrary(const char* name);
  SystemLibrary(const SystemLibrary&) = delete;
  SystemLibrary& operator=(const SystemLibrary&) = delete;
  ~SystemLibrary();

  // Null where the system lacks it; for imports::Name(module).
  HMODULE Module() const { return m_module; }

 private:
  HMODULE m_module;
};

// Takes the current folder and the executable's own out of where the loader
// looks for a library by name, as far as the system allows: first thing at
// start, before any library is loaded.
void RestrictLibrarySearch();
