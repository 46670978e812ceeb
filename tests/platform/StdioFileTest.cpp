#include <gtest/gtest.h>

#include <vector>

#include "Files.h"
#include "StdioFile.h"
#include "TempFolder.h"

namespace {

using Lines = std::vector<std::string>;

constexpr size_t kBlock = CStdioFile::kReadBlockSize;

class StdioFileTest : public ::testing::Test {
 protected:
  CString Path() const { return m_folder.Path() + "\\stream.txt"; }

  struct Text {
    std::string text;
    bool textAfterEnd;
  };

  // The runs ReadLines gives, joined; each but the last ends a line.
  Text ReadText(std::string_view bytes) {
    testfiles::WriteBytes(Path(), bytes);
    CStdioFile file;
    EXPECT_TRUE(file.Open(Path(), CStdioFile::modeEditShared, nullptr));
    Text read{"", false};
    for (std::string_view run; file.ReadLines(run);) {
      EXPECT_TRUE(read.text.empty() || read.text.back() == '\n') << "a run ended inside a line";
      read.text += run;
    }
    EXPECT_EQ(file.IsWholeFile(), read.text.size() == bytes.size());
    read.textAfterEnd = file.HasTextAfterEnd();
    return read;
  }

  std::string Written(std::string_view lines, bool allEndInCrLf) {
    CStdioFile file;
    EXPECT_TRUE(file.Open(Path(), CStdioFile::modeCreateExclusive, nullptr));
    file.WriteLines(lines, allEndInCrLf);
    file.Close();
    return testfiles::ReadBytes(Path());
  }

  TempFolder m_folder;
};

struct LinesOf {
  Lines lines;
  bool allEndInCrLf;
  bool operator==(const LinesOf&) const = default;
};

LinesOf Split(std::string_view text) {
  CTextLines reader(text);
  LinesOf result{{}, true};
  for (std::string_view line; reader.Next(line);) result.lines.emplace_back(line);
  result.allEndInCrLf = reader.AllEndInCrLf();
  return result;
}

// The text is the file's bytes up to the first Ctrl-Z, wherever the blocks
// the file is read in begin and end, and in runs of whole lines however
// long a line is; after a Ctrl-Z, text is told from line ends and marks.
TEST_F(StdioFileTest, ReadsUpToTheFirstCtrlZ) {
  const std::string block(kBlock, 'x');
  std::string lineEnds;  // after a Ctrl-Z, more than a block
  while (lineEnds.size() <= kBlock) lineEnds += "\r\n\x1A";
  const struct {
    std::string bytes;
    size_t textLength;
    bool textAfterEnd;
  } cases[] = {
      {"", 0, false},
      {"a\r\nb\rc\n", 7, false},
      {std::string("a\0b\r\n", 5), 5, false},
      {"\x1A"
       "abc",
       0, true},
      {"a\r\x1A\nb", 2, true},
      {"a\x1A" + lineEnds, 1, false},
      {"a\x1A" + lineEnds + "b", 1, true},
      {block + "a\r\nb", kBlock + 4, false},  // a line longer than the buffer
      {"a\n" + block + block + "b\nc", 2 * kBlock + 6, false},
      {block.substr(1) + "\x1A" + block, kBlock - 1, true},  // the first block's last byte
      {block + "\x1A" + block, kBlock, true},                // the second block's first byte
      {block + block + "ab\x1A" + block, 2 * kBlock + 2, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes.substr(0, 20)) + ", " + std::to_string(c.bytes.size()) + " bytes");
    const Text read = ReadText(c.bytes);
    EXPECT_EQ(read.text, c.bytes.substr(0, c.textLength));
    EXPECT_EQ(read.textAfterEnd, c.textAfterEnd);
  }
}

// Text mode: a line ends at LF, with a CR right before it; a lone CR is text.
TEST_F(StdioFileTest, SplitsLinesAsTextModeReadsThem) {
  const std::string crLfAcrossBlocks = std::string(kBlock - 1, 'x') + "\r\nb";
  const struct {
    std::string text;
    LinesOf lines;
  } cases[] = {
      {"", {{}, true}},
      {"a\r\nb\r\n", {{"a", "b"}, true}},
      {"a\r\nb", {{"a", "b"}, true}},
      {"a\nb", {{"a", "b"}, false}},
      {"a\r\nb\n", {{"a", "b"}, false}},
      {"\r\n\r\n", {{"", ""}, true}},
      {"\n", {{""}, false}},
      {"a\rb\r\n", {{"a\rb"}, true}},
      {"a\r\r\nb", {{"a\r", "b"}, true}},
      {"a\r", {{"a\r"}, true}},
      {"\r", {{"\r"}, true}},
      {std::string("a\0b\r\n", 5), {{std::string("a\0b", 3)}, true}},
      {crLfAcrossBlocks, {{std::string(kBlock - 1, 'x'), "b"}, true}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text.substr(0, 20)));
    EXPECT_EQ(Split(c.text), c.lines);
  }
  EXPECT_EQ(Split(ReadText(crLfAcrossBlocks).text), cases[std::size(cases) - 1].lines);
}

// Each line goes to the file ended by CR LF; lines known to end in CR LF go
// out as they are, to the same bytes.
TEST_F(StdioFileTest, WritesEachLineEndedByCrLf) {
  std::string many;  // more than the write buffer holds, in many small lines
  std::string manyOnDisk;
  for (int i = 0; i < 20000; ++i) {
    many += "line " + std::to_string(i) + "\n";
    manyOnDisk += "line " + std::to_string(i) + "\r\n";
  }
  const std::string longLine(200000, 'x');
  const struct {
    std::string lines;
    std::string onDisk;
  } cases[] = {
      {"", ""},
      {"\n", "\r\n"},
      {"one\ntwo", "one\r\ntwo\r\n"},
      {"one\r\ntwo\r\n", "one\r\ntwo\r\n"},
      {"a\r", "a\r\r\n"},
      {"a\rb\r\r\n\x1A", "a\rb\r\r\n\x1A\r\n"},
      {many, manyOnDisk},
      {"short\n" + longLine + "\nend", "short\r\n" + longLine + "\r\nend\r\n"},
      {manyOnDisk + longLine + "\r\n" + manyOnDisk, manyOnDisk + longLine + "\r\n" + manyOnDisk},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.lines.substr(0, 20)) + ", " + std::to_string(c.lines.size()) + " bytes");
    EXPECT_EQ(Written(c.lines, false), c.onDisk);
    if (Split(c.lines).allEndInCrLf) {
      EXPECT_EQ(Written(c.lines, true), c.onDisk);
    }
  }
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
