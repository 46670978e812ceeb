#include "SystemLibrary.h"

#include <string>

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
