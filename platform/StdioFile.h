// Buffered text-mode stream over a Windows file handle, as the C runtime's
// text mode has it: a Ctrl-Z byte ends the text, a line ends at a line feed
// with the CR before it, if any, and each line written goes to the file
// ended by CR LF. The text is read whole and held once, as it lies on disk;
// its lines are views into it (CTextLines). Failures other than the open
// raise CFileException. A stream either reads a file or writes a new one.
#pragma once

#include <windows.h>

#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "CString.h"
#include "FileException.h"
#include "Handle.h"

// The text of a file as read, held once.
class TextBuffer {
 public:
  std::string_view View() const { return {m_bytes.get(), m_size}; }
  // Something other than Ctrl-Z, CR and LF bytes follows the Ctrl-Z that
  // ended the text: no end-of-file mark, but lines a text-mode reader misses.
  bool HasTextAfterEnd() const { return m_textAfterEnd; }
  // The text runs to the file's end: no Ctrl-Z and nothing after one.
  bool IsWholeFile() const { return m_wholeFile; }

 private:
  friend class CStdioFile;
  std::unique_ptr<char[]> m_bytes;
  size_t m_size = 0;
  bool m_textAfterEnd = false;
  bool m_wholeFile = true;
};

// The lines of text as CStdioFile::ReadText gives it, one by one: a line
// ends at a line feed, and a CR right before it belongs to the line end; a
// CR anywhere else is text. A last line without line end is a line too.
class CTextLines {
 public:
  explicit CTextLines(std::string_view text) : m_rest(text) {}

  // The next line without its line end; false when no line is left.
  // Inline: it runs once for every line of a file.
  bool Next(std::string_view& line) {
    if (m_rest.empty()) return false;
    const auto* lineFeed = static_cast<const char*>(std::memchr(m_rest.data(), '\n', m_rest.size()));
    if (!lineFeed) {
      line = std::exchange(m_rest, {});
      return true;
    }
    const auto end = static_cast<size_t>(lineFeed - m_rest.data());
    const bool crLf = end > 0 && m_rest[end - 1] == '\r';
    m_allEndInCrLf = m_allEndInCrLf && crLf;
    line = m_rest.substr(0, crLf ? end - 1 : end);
    m_rest.remove_prefix(end + 1);
    return true;
  }
  // The text after the lines read.
  std::string_view Rest() const { return m_rest; }
  // Every line read so far ended in CR LF or is the last without line end:
  // CStdioFile::WriteLines can write them as they are.
  bool AllEndInCrLf() const { return m_allEndInCrLf; }

 private:
  std::string_view m_rest;
  bool m_allEndInCrLf = true;
};

class CStdioFile {
 public:
  enum OpenMode {
    // Read and write, others may read and write too; opened, or created
    // empty when missing; never truncated.
    modeEditShared,
    // Read and write, nobody else; created anew, empty.
    modeCreateExclusive,
    // Read only, others may do anything meanwhile; never created.
    modeReadShared,
  };

  // Bytes asked of the operating system at a time when reading.
  static constexpr size_t kReadBlockSize = size_t{1} << 20;

  CStdioFile() = default;
  CStdioFile(const CStdioFile&) = delete;
  CStdioFile& operator=(const CStdioFile&) = delete;
  // Never throws: what is still buffered is dropped.
  ~CStdioFile() = default;

  // On failure returns FALSE and fills `error` from the operating system.
  BOOL Open(const CString& path, OpenMode mode, CFileException* error);
  // The last open made the file: it was not there before.
  bool WasCreated() const { return m_created; }

  // Reads the text from where the stream stands (the start, after the open)
  // up to the file's end or the first Ctrl-Z, as it lies on disk, into
  // `text` in place of what it held; what follows a Ctrl-Z is read too, to
  // tell whether it is text.
  void ReadText(TextBuffer& text);
  // Writes whole lines of text as ReadText gives it, each ended by CR LF.
  // `allEndInCrLf`: the caller knows (CTextLines) that every line end in
  // them is CR LF already, so they go out as they are, in large blocks.
  void WriteLines(std::string_view lines, bool allEndInCrLf = false);
  // Writes `bytes` unchanged: through the buffer, or straight from where
  // they are when they would fill it.
  void Write(std::string_view bytes);
  // Hands the buffer to the operating system, then has it written to disk.
  void FlushToDisk();
  // Writes out the buffer and closes the file.
  void Close();
  // Closes without writing the buffer out; never throws.
  void Abort();

 private:
  void WriteOut(std::string_view bytes);
  void FlushWriteBuffer();
  [[noreturn]] void Raise(int cause, DWORD osError) const;

  UniqueFile m_handle;
  CString m_path;
  std::vector<char> m_writeBuffer;
  bool m_created = false;
};
