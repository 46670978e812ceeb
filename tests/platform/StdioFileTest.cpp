#include <gtest/gtest.h>

#include <vector>

#include "StdioFile.h"
#include "TempFolder.h"
#include "TestFiles.h"

namespace {

class StdioFileTest : public ::testing::Test {
 protected:
  CString Path() const { return m_folder.Path() + "\\stream.txt"; }

  std::vector<std::string> ReadLines(std::string_view bytes) {
    testfiles::WriteBytes(Path(), bytes);
    CStdioFile file;
    EXPECT_TRUE(file.Open(Path(), CStdioFile::modeEditShared, nullptr));
    std::vector<std::string> lines;
    for (CString line; file.ReadString(line);) lines.emplace_back(line.View());
    return lines;
  }

  TempFolder m_folder;
};

using Lines = std::vector<std::string>;

TEST_F(StdioFileTest, ReadsLinesInTextMode) {
  const struct {
    std::string bytes;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {"\r\n\r\n", {"", ""}},
      {"a\rb\r\n", {"a\rb"}},
      {"a\r\r\nb", {"a\r", "b"}},
      {"a\r", {"a\r"}},
      {"a\r\nb\x1A"
       "c\r\nd\r\n",
       {"a", "b"}},
      {"\x1A"
       "abc",
       {}},
      {std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadLines(c.bytes), c.lines) << testing::PrintToString(c.bytes);
}

TEST_F(StdioFileTest, ReadsALineLongerThanTheBuffer) {
  const std::string longLine(200000, 'x');
  EXPECT_EQ(ReadLines(longLine + "\r\nend"), (Lines{longLine, "end"}));
}

TEST_F(StdioFileTest, WritesLineFeedsAsCrLf) {
  CStdioFile file;
  ASSERT_TRUE(file.Open(Path(), CStdioFile::modeCreateExclusive, nullptr));
  file.WriteString("one\ntwo\r\n");
  file.WriteString(CString("\x1A\n", 2));
  file.Close();
  EXPECT_EQ(testfiles::ReadBytes(Path()), "one\r\ntwo\r\r\n\x1A\r\n");
}

TEST_F(StdioFileTest, FailedOpenReportsTheCauseAndPath) {
  const CString missing = m_folder.Path() + "\\no such folder\\stream.txt";
  CStdioFile file;
  CFileException error;
  EXPECT_FALSE(file.Open(missing, CStdioFile::modeEditShared, &error));
  EXPECT_EQ(error.m_cause, CFileException::badPath);
  EXPECT_EQ(error.m_lOsError, ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(error.m_strFileName, missing);
}

}  // namespace
