// Buffered text-mode stream over a Windows file handle, as the C runtime's
// text mode has it: a Ctrl-Z byte ends the text, a line ends at a line feed
// with the CR before it, if any, and each line written goes to the file
// ended by CR LF. The text is read a block at a time into one buffer, used
// again for every block, and handed out in runs of whole lines as they lie
// on disk (CTextLines splits them): a file is never held whole, only a
// block of it, or its longest line where that is longer. Failures other
// than the open raise CFileException. A stream either reads a file or
// writes a new one.
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

// The lines of text as CStdioFile::ReadLines gives it, one by one: a line
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

  // Bytes asked of the operating system at a time when reading: the
  // buffer's size, unless a line is longer.
  static constexpr size_t kReadBlockSize = size_t{1} << 18;

  CStdioFile() = default;
  CStdioFile(const CStdioFile&) = delete;
  CStdioFile& operator=(const CStdioFile&) = delete;
  // Never throws: what is still buffered is dropped.
  ~CStdioFile() = default;

  // On failure returns FALSE and fills `error` from the operating system.
  BOOL Open(const CString& path, OpenMode mode, CFileException* error);
  // The last open made the file: it was not there before.
  bool WasCreated() const { return m_created; }

  // Reads on from where the stream stands (the start, after the open), up
  // to the file's end or the first Ctrl-Z: `lines` receives the next run of
  // whole lines, each with its line end but for the text's last line,
  // which may have none; it stays valid until the next call. False when
  // the text is all read. What follows a Ctrl-Z is read too, as far as it
  // takes to tell whether it is text.
  bool ReadLines(std::string_view& lines);
  // Once ReadLines has returned false: something other than Ctrl-Z, CR and
  // LF bytes follows the Ctrl-Z that ended the text: no end-of-file mark,
  // but lines a text-mode reader misses.
  bool HasTextAfterEnd() const { return m_textAfterEnd; }
  // Once ReadLines has returned false: the text ran to the file's end.
  bool IsWholeFile() const { return m_wholeFile; }
  // Writes whole lines of text as ReadLines gives it, each ended by CR LF.
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
  // One read of at most `size` bytes; 0 at the file's end.
  size_t ReadSome(char* into, size_t size);
  // Whether text follows the Ctrl-Z that `afterEnd` begins with: it is
  // read on from the file until a byte tells.
  bool TextFollows(std::string_view afterEnd);
  void WriteOut(std::string_view bytes);
  void FlushWriteBuffer();
  [[noreturn]] void Raise(int cause, DWORD osError) const;

  UniqueFile m_handle;
  CString m_path;
  // The run the last ReadLines gave, then the start of a line it did not
  // end. Kept from one open to the next: a second reading finds its memory
  // in place, which costs less than fresh memory.
  std::unique_ptr<char[]> m_readBuffer;
  size_t m_readBufferSize = 0;
  size_t m_held = 0;       // bytes in m_readBuffer
  size_t m_handedOut = 0;  // of them, the run given last
  bool m_textEnded = false;
  bool m_textAfterEnd = false;
  bool m_wholeFile = true;
  std::vector<char> m_writeBuffer;
  bool m_created = false;
};
