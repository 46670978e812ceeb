// Buffered text-mode stream over a Windows file handle, as the C runtime's
// text mode has it: CR LF reads as a line feed, a Ctrl-Z byte ends the text,
// and each line feed written goes to the file as CR LF. Failures other than
// the open raise CFileException. A stream reads or writes; a seek to the
// start lies between the two.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "CString.h"
#include "FileException.h"
#include "Handle.h"

class CStdioFile {
 public:
  enum OpenMode {
    // Read and write, others may read and write too; opened, or created
    // empty when missing; never truncated.
    modeEditShared,
    // Read and write, nobody else; created anew, empty.
    modeCreateExclusive,
  };

  CStdioFile() = default;
  CStdioFile(const CStdioFile&) = delete;
  CStdioFile& operator=(const CStdioFile&) = delete;
  // Never throws: what is still buffered is dropped.
  ~CStdioFile() = default;

  // On failure returns FALSE and fills `error` from the operating system.
  BOOL Open(const CString& path, OpenMode mode, CFileException* error);
  bool IsOpen() const { return m_handle.valid(); }
  // The last open made the file: it was not there before.
  bool WasCreated() const { return m_created; }

  // The next line without its line feed; false when the text has ended.
  bool ReadString(CString& line);
  // Appends the rest of the text, line feeds included.
  void ReadText(std::string& text);
  void WriteString(std::string_view text);
  void SeekToBegin();
  // Hands the buffer to the operating system, then has it written to disk.
  void FlushToDisk();
  // Writes out the buffer and closes the file.
  void Close();
  // Closes without writing the buffer out; never throws.
  void Abort();

 private:
  // Next byte of the text, or -1 at its end (the file's end or a Ctrl-Z).
  int NextByte();
  // Next byte of the text with CR LF read as one line feed.
  int NextTextByte();
  bool FillReadBuffer();
  void ResetReading();
  void FlushWriteBuffer();
  [[noreturn]] void Raise(int cause, DWORD osError) const;

  UniqueFile m_handle;
  CString m_path;
  std::vector<char> m_readBuffer;
  std::vector<char> m_writeBuffer;
  size_t m_readAt = 0;
  bool m_created = false;
  bool m_textEnded = false;
  int m_pushedBack = -1;
};
