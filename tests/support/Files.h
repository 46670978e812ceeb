// Files' bytes, whole, named by local paths or by Windows paths as the
// product names files: natively the fake maps "\" to "/", and so does Local.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
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

// Empty for a file that cannot be read.
inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline std::string ReadBytes(const CString& windowsPath) { return ReadBytes(Local(windowsPath)); }

// In place of what the file held; raises std::runtime_error when it cannot.
inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}
inline void WriteBytes(const CString& windowsPath, std::string_view bytes) { WriteBytes(Local(windowsPath), bytes); }

}  // namespace testfiles
