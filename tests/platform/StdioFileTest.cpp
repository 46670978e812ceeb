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

  std::string ReadText(std::string_view bytes) {
    testfiles::WriteBytes(Path(), bytes);
    CStdioFile file;
    EXPECT_TRUE(file.Open(Path(), CStdioFile::modeEditShared, nullptr));
    std::string text = "kept:";
    file.ReadText(text);
    return text;
  }

  TempFolder m_folder;
};

using Lines = std::vector<std::string>;

// Line by line, and the whole text at once after what the string held.
TEST_F(StdioFileTest, ReadsInTextMode) {
  const std::string crAtBufferEnd = std::string(64 * 1024 - 1, 'x') + "\r";
  const struct {
    std::string bytes;
    Lines lines;
    std::string text;
  } cases[] = {
      {"", {}, ""},
      {"a\r\nb\r\n", {"a", "b"}, "a\nb\n"},
      {"a\nb", {"a", "b"}, "a\nb"},
      {"\r\n\r\n", {"", ""}, "\n\n"},
      {"a\rb\r\n", {"a\rb"}, "a\rb\n"},
      {"a\r\r\nb", {"a\r", "b"}, "a\r\nb"},
      {"a\r", {"a\r"}, "a\r"},
      {"a\r\x1A\n", {"a\r"}, "a\r"},
      {"a\r\nb\x1A"
       "c\r\nd\r\n",
       {"a", "b"},
       "a\nb"},
      {"\x1A"
       "abc",
       {},
       ""},
      {std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}, std::string("a\0b\n", 4)},
      {crAtBufferEnd + "\nb",
       {crAtBufferEnd.substr(0, crAtBufferEnd.size() - 1), "b"},
       crAtBufferEnd.substr(0, crAtBufferEnd.size() - 1) + "\nb"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes.substr(0, 40)));
    EXPECT_EQ(ReadLines(c.bytes), c.lines);
    EXPECT_EQ(ReadText(c.bytes), "kept:" + c.text);
  }
}

TEST_F(StdioFileTest, ReadsALineLongerThanTheBuffer) {
  const std::string longLine(200000, 'x');
  EXPECT_EQ(ReadLines(longLine + "\r\nend"), (Lines{longLine, "end"}));
}

TEST_F(StdioFileTest, WritesLineFeedsAsCrLf) {
  CStdioFile file;
  ASSERT_TRUE(file.Open(Path(), CStdioFile::modeCreateExclusive, nullptr));
  file.WriteString("one\ntwo\r\n");
  file.WriteString(std::string_view("\x1A\n", 2));
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
