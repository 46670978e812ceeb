#include "SystemLibrary.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "MachineTest.h"

#ifndef _WIN32
namespace {

using SystemLibraryTest = MachineTest;

// Told at start as far as the system can: the current folder out from XP
// SP1 on (an empty folder, not none, which would put it back), the
// executable's own out where the default folders can be set; Windows 2000
// has neither call, and the start must go on.
TEST_F(SystemLibraryTest, TheSearchIsNarrowedWhereTheSystemAllows) {
  const struct {
    std::vector<const char*> missing;
    std::optional<std::string> dllDirectory;
    DWORD defaultDirectories;
  } cases[] = {
      {{}, "", LOAD_LIBRARY_SEARCH_SYSTEM32},
      {{"SetDefaultDllDirectories"}, "", 0},
      {{"SetDllDirectoryA", "SetDefaultDllDirectories"}, std::nullopt, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.missing.size()) + " missing");
    fakewin::HideExport(nullptr);
    fakewin::ResetLibraries();
    for (const char* name : c.missing) fakewin::HideExport(name);
    RestrictLibrarySearch();
    const fakewin::LibrarySearch search = fakewin::GetLibrarySearch();
    EXPECT_EQ(search.dllDirectory, c.dllDirectory);
    EXPECT_EQ(search.defaultDirectories, c.defaultDirectories);
  }
}

}  // namespace
#endif
