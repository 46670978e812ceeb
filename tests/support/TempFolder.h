// A fresh folder of one's own, removed with everything in it when the object
// goes.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

#include "CString.h"

class TempFolder {
 public:
  // Under `parent`: the system's temporary folder unless told otherwise.
  explicit TempFolder(const std::filesystem::path& parent = std::filesystem::temp_directory_path()) {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    do {
      m_path = parent / ("netsetup-" + std::to_string(stamp) + "-" + std::to_string(++counter));
    } while (!std::filesystem::create_directories(m_path));
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }

  const std::filesystem::path& Local() const { return m_path; }
  // The folder as the product names files.
  CString Path() const { return CString(m_path.string()); }

 private:
  std::filesystem::path m_path;
};
