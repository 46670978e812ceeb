#include "RunLog.h"

#include <filesystem>
#include <string>

#include "Files.h"
#include "MachineTest.h"
#include "TempFolder.h"

namespace {

class RunLogTest : public MachineTest {
 protected:
  CString Path(const char* name) const { return m_folder.Path() + "\\" + name; }
  static std::string Bytes(const CString& path) { return testfiles::ReadBytes(path); }

  TempFolder m_folder;
};

TEST_F(RunLogTest, OldFileNameKeepsTheExtension) {
  EXPECT_EQ(OldLogPath("C:\\ProgramData\\Orvane\\OrvaneSetup.log"), "C:\\ProgramData\\Orvane\\OrvaneSetup.old.log");
  EXPECT_EQ(OldLogPath("C:\\logs.d\\setup"), "C:\\logs.d\\setup.old");
}

// Past the limit the log starts over, beside one older file: never more
// than about twice the limit on disk.
TEST_F(RunLogTest, TheLogStartsOverBesideOneOlderFileWhenFull) {
  const CString log = Path("setup.log");
  const std::string line(999, 'x');
  const size_t perFile = (kLogLimit + line.size() + 1) / (line.size() + 2);  // lines until the limit is passed
  for (size_t i = 0; i < 2 * perFile + 1; ++i) ASSERT_TRUE(AppendToLog(log, CString(line.c_str())));
  EXPECT_EQ(Bytes(log), line + "\r\n");
  EXPECT_EQ(Bytes(OldLogPath(log)).size(), perFile * (line.size() + 2));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder.Local()), {}), 2);
}

#ifndef _WIN32
TEST_F(RunLogTest, ALogThatCannotBeWrittenIsSaidSoAndRaisesNothing) {
  EXPECT_FALSE(AppendToLog(Path("missing\\setup.log"), "a run"));
  fakewin::InjectFailure("WriteFile", 1, ERROR_DISK_FULL);
  EXPECT_FALSE(AppendToLog(Path("setup.log"), "a run"));
}
#endif

}  // namespace
