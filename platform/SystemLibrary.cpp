#include "SystemLibrary.h"

#include <string>

#include "SystemImports.h"

namespace {

// Null when the system directory cannot be had: then nothing is loaded,
// rather than something by name.
HMODULE LoadFromSystemDirectory(const char* name) {
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::string path = std::string(folder, length) + "\\" + name;
  // The libraries it needs in turn are looked for beside it first, not
  // beside the executable.
  return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

SystemLibrary::SystemLibrary(const char* name) : m_module(LoadFromSystemDirectory(name)) {}

SystemLibrary::~SystemLibrary() {
  if (m_module) FreeLibrary(m_module);
}

// An empty folder takes the current one out (Windows XP SP1 and later); the
// default folders, the system directory alone, take out the executable's
// (Windows 8, and 7 with its update). Windows 2000 has neither.
void RestrictLibrarySearch() {
  if (const auto setDllDirectory = imports::SetDllDirectoryA()) setDllDirectory("");
  if (const auto setDefault = imports::SetDefaultDllDirectories()) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

FARPROC imports::Find(HMODULE module, const char* name) { return module ? GetProcAddress(module, name) : nullptr; }
