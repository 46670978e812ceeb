// Files named by Windows paths, reached from either build: natively the
// stand-in maps "\" to "/", so the tests do the same.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "CString.h"

namespace testfiles {

inline std::filesystem::path Local(const CString& windowsPath) {
  std::string path(windowsPath.View());
#ifndef _WIN32
  for (char& c : path)
    if (c == '\\') c = '/';
#endif
  return path;
}

inline std::string ReadBytes(const CString& path) {
  std::ifstream in(Local(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const CString& path, std::string_view bytes) {
  std::ofstream out(Local(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace testfiles
