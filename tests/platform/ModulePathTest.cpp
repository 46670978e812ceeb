#include <gtest/gtest.h>

#include "ModulePath.h"

namespace {

TEST(ModulePathTest, NamesComeFromTheLastComponent) {
  const struct {
    const char* path;
    const char* appName;
    const char* helpFile;
  } cases[] = {
      {"C:\\Tools\\Setup.exe", "Setup", "C:\\Tools\\Setup.HLP"},
      {"C:\\Tools\\renamed copy.EXE", "renamed copy", "C:\\Tools\\renamed copy.HLP"},
      {"C:\\v1.2\\tool", "tool", "C:\\v1.2\\tool.HLP"},
      {"D:tool.x.exe", "tool.x", "D:tool.x.HLP"},
      {"/home/user/a.exe", "a", "/home/user/a.HLP"},
      // "表" ends in the byte of a backslash; it is no separator.
      {"C:\\\x95\x5C.exe", "\x95\x5C", "C:\\\x95\x5C.HLP"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AppNameFromModulePath(c.path), c.appName) << c.path;
    EXPECT_EQ(HelpFilePathFromModulePath(c.path), c.helpFile) << c.path;
  }
}

}  // namespace
