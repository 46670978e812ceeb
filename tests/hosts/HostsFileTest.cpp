#include "HostsFixture.h"

#include <functional>
#include <stdexcept>

#include "AsciiCase.h"

namespace {

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

TEST_F(HostsFileTest, MissingFileIsCreatedThenFilledAndEmptied) {
  RemoveHosts();
  EXPECT_EQ(Set(), ManagedLines());
  EXPECT_EQ(Remove(), "");
}

TEST_F(HostsFileTest, SetAppendsNothingWhenEveryNameIsPresent) {
  std::string every;
  for (int row = 0; row < kManagedHostCount; ++row) every += Row(row) + "\r\n";
  WriteHosts(every);
  EXPECT_EQ(Set(), every);
}

TEST_F(HostsFileTest, CommentedOutOrOtherAddressCountsAsPresent) {
  const std::string before = Lines({"#" + Row(0), std::string("10.9.9.9\t") + kManagedHosts[1].hostName});
  WriteHosts(before);
  EXPECT_EQ(Set(), before + ManagedLines(2));
}

TEST_F(HostsFileTest, NameWithAliasOrCommentIsNotPresent) {
  const std::string before = Lines({Row(0) + " alias", Row(1) + " # note"});
  WriteHosts(before);
  EXPECT_EQ(Set(), before + ManagedLines());
}

TEST_F(HostsFileTest, SecondSetAppendsNothing) {
  WriteHosts("127.0.0.1 localhost\n");
  const std::string first = Set();
  EXPECT_EQ(first, Lines({"127.0.0.1 localhost"}) + ManagedLines());
  EXPECT_EQ(Set(), first);
}

TEST_F(HostsFileTest, RemoveDropsEveryEntryOfAManagedName) {
  const std::string name = kManagedHosts[3].hostName;
  const std::string upper = Upper(name);
  WriteHosts(Lines({"# managed hosts", Row(3), "  " + Row(3) + "  ", Row(3) + "\t\v\f\r", "#\t" + Row(3),
                    "10.0.0.1 " + name + " alias", "10.0.0.2 " + name + " # note", "10.0.0.3 " + upper, "",
                    "127.0.0.1 localhost"}));
  EXPECT_EQ(Remove(), Lines({"# managed hosts", "10.0.0.1 " + name + " alias", "10.0.0.2 " + name + " # note",
                             "10.0.0.3 " + upper, "", "127.0.0.1 localhost"}));
}

TEST_F(HostsFileTest, SetThenRemoveGivesBackEveryLineByteForByte) {
  const std::string longLine = "10.0.0.9 long.test " + std::string(10000, 'x');
  const std::string japanese = "# \x93\xFA\x96\x7B\x8C\xEA \x95\x5C\x8E\xA6 \xB1\xB2\xB3";
  const std::string withNul("10.0.0.8 nul.test\0tail", 22);
  WriteHosts("# header\n\n  \t\n" + japanese + "\n10.0.0.1   spaced.test\t \n" + longLine + "\r\n" + withNul +
             "\na\rb\r\nlast line without end");
  const std::string kept = Lines({"# header", "", "  \t", japanese, "10.0.0.1   spaced.test\t ", longLine, withNul,
                                  "a\rb", "last line without end"});
  EXPECT_EQ(Set(), kept + ManagedLines());
  EXPECT_EQ(Remove(), kept);
}

// Text as UTF-16 puts it: a NUL after (little-endian) or before each
// ASCII character.
std::string Utf16(std::string_view ascii, bool bigEndian) {
  std::string text;
  for (const char c : ascii) text += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
  return text;
}

// Hosts files as real machines carry them: what an action leaves of each,
// or nothing when the file is refused and left byte for byte as it was.
TEST_F(HostsFileTest, OddFilesAreKeptWholeOrRefused) {
  const std::string mark = "\xEF\xBB\xBF";
  const std::string local = "127.0.0.1 localhost\r\n";
  const struct {
    const char* what;
    std::string before;
    bool set;
    std::optional<std::string> after;
    int refusedAs = CFileException::none;  // the cause that tells why, when refused
  } cases[] = {
      {"the old end-of-file mark", local + "\x1A", false, local},
      {"marks and line ends after the end", local + "\x1A\r\n\x1A\x1A\n", false, local},
      {"a line after a Ctrl-Z", local + "\x1A" + Row(1) + "\r\n", false, std::nullopt, CFileException::textAfterEnd},
      {"a Ctrl-Z inside a line", "127.0.0.1 local\x1Ahost\r\n", true, std::nullopt, CFileException::textAfterEnd},
      {"a UTF-8 mark before a managed line", mark + Row(0) + "\r\n" + local, false, mark + local},
      {"a UTF-8 mark before a present line", mark + Row(0) + "\r\n", true, mark + Row(0) + "\r\n" + ManagedLines(1)},
      {"UTF-16 with its mark", "\xFF\xFE" + Utf16(local, false), true, std::nullopt, CFileException::utf16Text},
      {"UTF-16 big-endian with its mark", "\xFE\xFF" + Utf16(local, true), true, std::nullopt,
       CFileException::utf16Text},
      {"UTF-16 without a mark", Utf16(local, false), true, std::nullopt, CFileException::utf16Text},
      {"UTF-16 big-endian without a mark", Utf16("\r\n" + local, true), false, std::nullopt, CFileException::utf16Text},
      {"UTF-16 with a Ctrl-Z and lines after it", "\xFF\xFE" + Utf16(local + "\x1A" + local, false), true, std::nullopt,
       CFileException::utf16Text},
      {"UTF-16 after a line end, in a line longer than a block",
       "\n" + Utf16(std::string(CStdioFile::kReadBlockSize, 'x'), false), true, std::nullopt,
       CFileException::utf16Text},
      {"a stray NUL", std::string("10.0.0.8 nul.test\0tail\r\n", 24) + local, false,
       std::string("10.0.0.8 nul.test\0tail\r\n", 24) + local},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteHosts(c.before);
    if (c.after) {
      EXPECT_EQ(Update(c.set), *c.after);
    } else {
      try {
        Update(c.set);
        ADD_FAILURE() << "not refused";
      } catch (const CFileException& error) {
        EXPECT_EQ(error.m_cause, c.refusedAs);
        EXPECT_EQ(error.m_strFileName, m_path);
      }
      EXPECT_EQ(Hosts(), c.before);
    }
    EXPECT_TRUE(NewFiles().empty());
  }
}

// Read in many blocks: every line counts, also one LF end among CR LF ends
// near the end, where the file would otherwise go back as it is.
TEST_F(HostsFileTest, LargeFilesAreReadWhole) {
  for (const int count : {256, 100000}) {
    SCOPED_TRACE(std::to_string(count) + " lines");
    std::string before;
    std::string all;
    std::string kept;
    std::vector<bool> present(kManagedHostCount, false);
    for (int i = 0; i < count; ++i) {
      const bool managed = i % 97 == 5;
      const std::string line = managed ? Row(i % kManagedHostCount) : "10.1.0.1 host" + std::to_string(i) + ".test";
      if (managed) present[i % kManagedHostCount] = true;
      before += line + (i == count - 3 ? "\n" : "\r\n");
      all += line + "\r\n";
      if (!managed) kept += line + "\r\n";
    }
    for (int row = 0; row < kManagedHostCount; ++row)
      if (!present[row]) all += ManagedLine(row);
    // Compared whole: gtest's line diff of 100 000 lines would take hours.
    WriteHosts(before);
    EXPECT_TRUE(Set() == all) << "Set";
    WriteHosts(before);
    EXPECT_TRUE(Remove() == kept) << "Remove settings";
  }
}

// Hidden and system, as some machines carry it: the new file has them too,
// through the system's replace, and natively also where an older system
// lacks it (a plain move).
TEST_F(HostsFileTest, TheReplacedFileKeepsItsAttributes) {
  const struct {
    const char* system;
    bool noReplace;
  } systems[] = {
      {"today's", false},
#ifndef _WIN32
      {"without the replace", true},
#endif
  };
  const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  for (const auto& system : systems) {
    SCOPED_TRACE(system.system);
    WriteHosts("127.0.0.1 localhost\r\n");
    SetFileAttributesA(m_path, kept);
#ifndef _WIN32
    if (system.noReplace) fakewin::HideExport("ReplaceFileA");
#endif
    EXPECT_EQ(Set(), "127.0.0.1 localhost\r\n" + ManagedLines());
    EXPECT_EQ(GetFileAttributesA(m_path) & (kept | FILE_ATTRIBUTE_READONLY), kept);
    EXPECT_TRUE(NewFiles().empty());
#ifndef _WIN32
    fakewin::HideExport(nullptr);
    EXPECT_TRUE(std::filesystem::exists(Folder() / "Hosts"));
#endif
    SetFileAttributesA(m_path, FILE_ATTRIBUTE_NORMAL);
  }
}

// A staged file dropped: the new file goes, and a hosts file the open had
// to create is removed again. One committed with its old file kept is put
// back byte for byte, or deleted where there was none; and left as another
// program made it since.
TEST_F(HostsFileTest, AStagedFileDroppedOrPutBackLeavesTheFileAsItWas) {
  for (const bool existed : {true, false}) {
    const std::string before = Lines({"127.0.0.1 localhost"});
    const auto start = [&] {
      if (existed)
        WriteHosts(before);
      else
        RemoveHosts();
    };
    start();
    {
      CHostsFile hosts;
      hosts.Stage(CHostsFile::addMissing);
      EXPECT_EQ(NewFiles().size(), 1u) << "the new file is beside the hosts file";
    }
    EXPECT_EQ(HostsIfAny(), existed ? std::optional<std::string>(before) : std::nullopt);
    EXPECT_TRUE(NewFiles().empty());
    for (const bool changedSince : {false, true}) {
      start();
      CHostsFile hosts;
      hosts.Stage(CHostsFile::addMissing);
      const CHostsFile::Result committed = hosts.Commit(true);
      EXPECT_EQ(committed.created, !existed);
      if (changedSince) WriteHosts(before + "10.0.0.9 other.test\r\n");
      const std::string held = *HostsIfAny();
      EXPECT_EQ(CHostsFile::PutBack(committed), !changedSince);
      CHostsFile::Forget(committed);
      EXPECT_EQ(HostsIfAny(), changedSince ? std::optional(held)
                              : existed    ? std::optional<std::string>(before)
                                           : std::nullopt);
      EXPECT_TRUE(NewFiles().empty());
    }
  }
}

void ExpectFileError(const CString& path, const std::function<std::string()>& action, int cause) {
  try {
    action();
    ADD_FAILURE() << "no file error";
  } catch (const CFileException& error) {
    EXPECT_EQ(error.m_cause, cause);
    EXPECT_EQ(error.m_strFileName, path);
    EXPECT_NE(error.m_lOsError, 0);
  }
}

// Locked by an administrator: refused on every system, also where the user
// may write read-only files (wine run by root), and left read-only.
TEST_F(HostsFileTest, ReadOnlyFileIsRefusedAsReadOnlyAndStaysUnchanged) {
  const std::string before = Lines({"127.0.0.1 localhost"});
  WriteHosts(before);
  SetFileAttributesA(m_path, FILE_ATTRIBUTE_READONLY);
  ExpectFileError(
      m_path, [this] { return Set(); }, CFileException::readOnly);
  EXPECT_EQ(Hosts(), before);
  EXPECT_NE(GetFileAttributesA(m_path) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_TRUE(NewFiles().empty());
}

TEST_F(HostsFileTest, FileLockedByAnotherRaisesSharingViolationAndStaysUnchanged) {
  const std::string before = Lines({"127.0.0.1 localhost"});
  WriteHosts(before);
  UniqueFile holder(CreateFileA(m_path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder.valid());
  ExpectFileError(
      m_path, [this] { return Remove(); }, CFileException::sharingViolation);
  holder.reset();
  EXPECT_EQ(Hosts(), before);
  EXPECT_TRUE(NewFiles().empty());
}

TEST_F(HostsFileTest, ReplaceBlockedByAnotherRaisesAndLeavesTheFile) {
  const std::string before = Lines({"127.0.0.1 localhost"});
  WriteHosts(before);
  // Readers that do not allow deleting keep the file from being replaced.
  UniqueFile holder(CreateFileA(m_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder.valid());
  EXPECT_THROW(Set(), CFileException);
  holder.reset();
  EXPECT_EQ(Hosts(), before);
  EXPECT_TRUE(NewFiles().empty());
}

TEST_F(HostsFileTest, HostsPathThatIsAFolderRaisesAndIsLeftAlone) {
  RemoveHosts();
  std::filesystem::create_directory(testfiles::Local(m_path));
  ExpectFileError(
      m_path, [this] { return Remove(); }, CFileException::accessDenied);
  EXPECT_TRUE(std::filesystem::is_directory(testfiles::Local(m_path)));
  EXPECT_TRUE(NewFiles().empty());
  std::filesystem::remove(testfiles::Local(m_path));
}

#ifndef _WIN32
TEST_F(HostsFileTest, MissingFolderRaisesBadPath) {
  fakewin::SetSystem(fakewin::kNtVersion, m_folder.Path() + "\\missing", m_folder.Path());
  const CString path = CHostsFile().GetPath();
  ExpectFileError(
      path, [this] { return Set(); }, CFileException::badPath);
}

TEST_F(HostsFileTest, OlderFamilyKeepsTheFileInTheWindowsDirectory) {
  fakewin::SetSystem(0x80000A04, "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS");
  EXPECT_EQ(CHostsFile().GetPath(), "C:\\WINDOWS\\Hosts");
  fakewin::SetSystem(fakewin::kNtVersion, "C:\\WINNT\\system32", "C:\\WINNT");
  EXPECT_EQ(CHostsFile().GetPath(), "C:\\WINNT\\system32\\drivers\\etc\\Hosts");
}

// Some administrators link the hosts file to a managed copy: the copy is
// updated, beside itself, and the link stays a link.
TEST_F(HostsFileTest, ALinkedHostsFileIsUpdatedWhereItLeads) {
  const std::filesystem::path managed = m_folder.Local() / "managed";
  std::filesystem::create_directories(managed);
  const std::string before = Lines({"127.0.0.1 localhost"});
  testfiles::WriteBytes(managed / "hosts.txt", before);
  RemoveHosts();
  std::filesystem::create_symlink(managed / "hosts.txt", testfiles::Local(m_path));
  EXPECT_EQ(Set(), before + ManagedLines());
  EXPECT_TRUE(std::filesystem::is_symlink(testfiles::Local(m_path)));
  EXPECT_TRUE(NewFiles().empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(managed), {}), 1);
}

// Another program changes the file between the reading that decides and
// the one the new file is made from: the new file is the change, ruled on.
TEST_F(HostsFileTest, AChangeWhileTheNewFileIsMadeIsKept) {
  WriteHosts(Lines({"127.0.0.1 localhost"}));
  fakewin::OnCall("GetTempFileNameA", [this] { WriteHosts(Row(0) + "\n"); });
  const CHostsFile::Result result = CHostsFile().Update(CHostsFile::addMissing);
  fakewin::ClearFailure();
  EXPECT_EQ(Hosts(), Lines({Row(0)}) + ManagedLines(1));
  EXPECT_EQ(result.linesAdded, kManagedHostCount - 1);
}

// Every call of the update that can fail, failing in turn: the file is
// either untouched and the failure raised, or wholly updated.
TEST_F(HostsFileTest, AFailureAtAnyStepLeavesTheOldBytes) {
  std::string before;
  for (int i = 0; i < 20000; ++i) before += "10.1.0.1 host" + std::to_string(i) + ".test\r\n";
  const struct {
    const char* function;
    DWORD error;
    int cause;
  } failures[] = {
      {"CreateFileA", ERROR_ACCESS_DENIED, CFileException::accessDenied},
      {"ReadFile", ERROR_READ_FAULT, CFileException::genericException},
      {"GetTempFileNameA", ERROR_DISK_FULL, CFileException::diskFull},
      {"WriteFile", ERROR_DISK_FULL, CFileException::diskFull},
      {"FlushFileBuffers", ERROR_DISK_FULL, CFileException::diskFull},
      {"ReplaceFileA", ERROR_WRITE_FAULT, CFileException::hardIO},  // not one a reader causes: not retried
      // The old file left under the backup's name: put back.
      {"ReplaceFileA", ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, CFileException::genericException},
  };
  for (const auto& failure : failures) {
    for (int nth = 1;; ++nth) {
      SCOPED_TRACE(std::string(failure.function) + " call " + std::to_string(nth));
      WriteHosts(before);
      fakewin::InjectFailure(failure.function, nth, failure.error);
      bool raised = false;
      try {
        Set();
      } catch (const CFileException& error) {
        raised = true;
        EXPECT_EQ(error.m_cause, failure.cause);
        EXPECT_EQ(error.m_strFileName, m_path);
      }
      const bool failed = fakewin::CountedCalls() >= nth;
      fakewin::ClearFailure();
      // Some calls may fail unraised: where a link leads is only asked.
      EXPECT_EQ(Hosts(), raised ? before : before + ManagedLines());
      EXPECT_TRUE(NewFiles().empty());
      if (!failed) break;
    }
  }
}
#endif

}  // namespace
