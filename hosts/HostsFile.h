// Editor of the operating system's hosts file. Reads every line, adds the
// managed hosts the file lacks or drops the lines that carry them, and
// replaces the file in one step with the kept lines: the hosts file is
// either left byte for byte as it was or holds the whole new content.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "CString.h"
#include "FileException.h"
#include "HostsLine.h"
#include "StdioFile.h"

class CHostsFile {
 public:
  explicit CHostsFile(BOOL bOpen);
  CHostsFile(const CHostsFile&) = delete;
  CHostsFile& operator=(const CHostsFile&) = delete;
  // Never throws; an update that was not committed is dropped and the
  // hosts file left alone.
  ~CHostsFile();

  // Opens the hosts file; a failure is recorded and raised by the next
  // operation that needs the file.
  BOOL Open();
  void Close();
  // Closes the hosts file and, with bReopen, starts the new file beside it.
  void Recreate(BOOL bReopen);
  int ReadAll();
  // Appends a line for each managed host that no line of the file carries.
  void AddMissing();
  // Marks every line whose host name is a managed one for removal.
  void MarkManaged();
  // Writes the kept lines to the new file.
  void WriteAll();
  // Puts the new file in place of the hosts file, flushed to disk first.
  void Commit();

  static void ParseLine(HostsLine& line);

  const CString& GetPath() const { return m_path; }
  // The lines' texts view the editor's own: valid while it lives and until the next ReadAll.
  const std::vector<HostsLine>& GetLines() const { return m_lines; }

 private:
  static CString HostsPath();
  // The open's failure, or the misuse of a file that is not open.
  [[noreturn]] void RaiseNotOpen() const;
  void DiscardNewFile();
  [[noreturn]] void RaiseOsError(DWORD osError) const;

  std::string m_text;  // the file's text as read: the lines read are views of it
  std::vector<HostsLine> m_lines;
  CString m_path;
  CStdioFile m_file;
  CFileException m_fileError;
  CString m_newPath;  // the new file while it is written, until committed
};
