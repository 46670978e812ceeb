#include "RunLog.h"

#include <filesystem>
#include <functional>
#include <string>

#include "ActionLock.h"
#include "Files.h"
#include "MachineTest.h"
#include "TempFolder.h"

namespace {

class RunLogTest : public MachineTest {
 protected:
  CString Path(const char* name) const { return m_folder.Path() + "\\" + name; }
  static std::string Bytes(const CString& path) { return testfiles::ReadBytes(path); }
  LogRefusal Append(const CString& line, bool mayRotate = true) const {
    return AppendToLog(CFolder(m_folder.Path()), "setup.log", line, mayRotate).refusal;
  }

  TempFolder m_folder;
};

TEST_F(RunLogTest, OldFileNameKeepsTheExtension) {
  EXPECT_EQ(OldLogName("OrvaneSetup.log"), "OrvaneSetup.old.log");
  EXPECT_EQ(OldLogName("setup"), "setup.old");
}

// Past the limit the log starts over, beside one older file: never more
// than about twice the limit on disk. A run without the lock only appends.
TEST_F(RunLogTest, TheLogStartsOverBesideOneOlderFileWhenFull) {
  const std::string line(999, 'x');
  const size_t perFile = (kLogLimit + line.size() + 1) / (line.size() + 2);  // lines until the limit is passed
  for (size_t i = 0; i < 2 * perFile + 1; ++i) ASSERT_EQ(Append(CString(line.c_str())), LogRefusal::none);
  EXPECT_EQ(Bytes(Path("setup.log")), line + "\r\n");
  EXPECT_EQ(Bytes(Path("setup.old.log")).size(), perFile * (line.size() + 2));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder.Local()), {}), 2);
  testfiles::WriteBytes(Path("setup.log"), std::string(kLogLimit, 'x'));
  EXPECT_EQ(Append("a run", false), LogRefusal::none);
  EXPECT_EQ(Bytes(Path("setup.log")).size(), kLogLimit + 7);
}

// The line as one event carries it: whole, or cut between two characters.
TEST(EventTextTest, ALineLongerThanAnEventHoldsIsCutBetweenCharacters) {
  const std::string fits(kEventTextLimit, 'x');
  EXPECT_EQ(EventText(CString(fits.c_str())), CString(fits.c_str()));
  const std::string longer = std::string(kEventTextLimit - 4, 'x') + "\x8A\xBF\x8E\x9A" + std::string(30000, 'y');
  EXPECT_EQ(EventText(CString(longer.c_str())), CString((longer.substr(0, kEventTextLimit - 4) + "...").c_str()));
  EXPECT_EQ(EventText(CString(longer.substr(1).c_str())).GetLength(), kEventTextLimit);
}

#ifndef _WIN32
// Whatever the log's name has come to stand for (a link, a hard link of
// another file, another account's file), nothing is appended,
// renamed or cut short, however large it is.
TEST_F(RunLogTest, ALogThatIsNotAPlainFileOfATrustedAccountIsLeftAlone) {
  namespace fs = std::filesystem;
  const fs::path log = m_folder.Local() / "setup.log";
  const fs::path elsewhere = m_folder.Local() / "system.dat";
  const std::string large(kLogLimit + 1, 's');
  const struct {
    const char* what;
    std::function<void()> plant;
    LogRefusal refusal;
  } cases[] = {
      {"a symbolic link", [&] { fs::create_symlink(elsewhere, log); }, LogRefusal::link},
      {"a hard link", [&] { fs::create_hard_link(elsewhere, log); }, LogRefusal::severalNames},
      {"another account's file",
       [&] {
         testfiles::WriteBytes(log, large);
         fakewin::SetFileSecurity(Path("setup.log"), "O:S-1-5-21-7-1001D:(A;;FA;;;S-1-5-21-7-1001)");
       },
       LogRefusal::owner},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testfiles::WriteBytes(elsewhere, large);
    c.plant();
    EXPECT_EQ(Append("a run"), c.refusal);
    EXPECT_EQ(testfiles::ReadBytes(elsewhere), large);
    EXPECT_FALSE(fs::exists(m_folder.Local() / "setup.old.log"));
    fs::remove(log);
  }
}

// Another program that reads the log without sharing its writing, until
// the run's pause `g_lettingGoAt` (0: never).
UniqueFile g_reader;
int g_lettingGoAt = 0;
void WINAPI LetGoAtItsPause(DWORD) {
  if (--g_lettingGoAt == 0) g_reader.reset();
}

// A log that cannot be written is said so, with the system's error; one that
// a reader holds for a moment gets its line all the same.
TEST_F(RunLogTest, ALogThatCannotBeWrittenIsSaidSo) {
  const struct {
    const char* what;
    const char* folder;  // in the test's folder; null: that folder
    bool diskFull;
    bool read;  // a reader holds the log, until the pause lettingGoAt (0: never)
    int lettingGoAt;
    LogRefusal refusal;
    DWORD error;
  } rows[] = {
      {"no folder", "missing", false, false, 0, LogRefusal::cannotOpen, ERROR_PATH_NOT_FOUND},
      {"a full disk", nullptr, true, false, 0, LogRefusal::cannotOpen, ERROR_DISK_FULL},
      {"a reader for a moment", nullptr, false, true, 4, LogRefusal::none, ERROR_SUCCESS},
      {"a reader throughout", nullptr, false, true, 0, LogRefusal::cannotOpen, ERROR_SHARING_VIOLATION},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    testfiles::WriteBytes(Path("setup.log"), "earlier\r\n");
    if (row.diskFull) fakewin::InjectFailure("WriteFile", 1, ERROR_DISK_FULL);
    if (row.read)
      g_reader.reset(CreateFileA(Path("setup.log"), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    g_lettingGoAt = row.lettingGoAt;
    const CFolder folder(row.folder ? Path(row.folder) : m_folder.Path());
    const OpenLog log = AppendToLog(folder, "setup.log", "a run", true, LetGoAtItsPause);
    EXPECT_EQ(log.refusal, row.refusal);
    EXPECT_EQ(log.error, row.error);
    g_reader.reset();
    EXPECT_EQ(Bytes(Path("setup.log")), row.refusal == LogRefusal::none ? "earlier\r\na run\r\n" : "earlier\r\n");
    fakewin::ClearFailure();
  }
}
#endif

}  // namespace
