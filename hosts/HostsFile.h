// Editor of the operating system's hosts file. Reads every line, adds the
// managed hosts the file lacks or drops the lines that carry them, and
// replaces the file in one step with the kept lines: the hosts file is
// either left byte for byte as it was or holds the whole new content, and
// keeps its attributes and security. A read-only hosts file is refused, and
// one that is a symbolic link is updated where it leads. The file is read
// through a block at a time, never held whole: once to tell what the rule
// changes, and, when it changes anything, once more to write the new file.
// Reading it again from the system's cache costs less than the fresh
// memory that holding a large file would take.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <vector>

#include "CString.h"
#include "FileException.h"
#include "FileReplace.h"
#include "HostsLine.h"
#include "ManagedHosts.h"
#include "StdioFile.h"

class CHostsFile {
 public:
  enum Rule {
    addMissing,   // a line for each managed host that no line carries
    markManaged,  // every line whose host name is a managed one goes
  };

  // What an update did to the file.
  struct Result {
    int linesAdded = 0;
    int linesRemoved = 0;
    bool replaced = false;  // false: the new text was the old one, byte for byte, and the file stayed
    // Replaced, with the old file kept: where it was kept, or that there was
    // none (the open made the file); and the new bytes' digest, unless the
    // file could not be read back.
    CString keptOld;
    bool created = false;
    std::optional<FileDigest> written;
  };

  CHostsFile();
  CHostsFile(const CHostsFile&) = delete;
  CHostsFile& operator=(const CHostsFile&) = delete;
  // Never throws.
  ~CHostsFile();

  // Reads the hosts file, applies `rule` and writes the kept lines to a new
  // file beside it, flushed to disk: staged, for Commit to put in place of
  // the hosts file, and for Discard, or the destructor, to drop. The new
  // file is made from a second reading: what another program changed since
  // the first is kept, and the rule applied to it. A file that would get
  // back its own bytes stages nothing: Commit leaves it in place. Raises
  // CFileException naming the hosts file; on every failure the hosts file is
  // left as it was (one that the open had to create is removed again) and
  // the new file is dropped.
  void Stage(Rule rule);
  // Puts the staged file in place; with `keepOld`, the old file stays
  // beside for PutBack. What the new file holds. Raises CFileException
  // naming the hosts file, which is then as it was.
  Result Commit(bool keepOld = false);
  // Drops what is staged, and the hosts file if the open created it.
  void Discard() noexcept;
  // Stage, then Commit.
  Result Update(Rule rule) {
    Stage(rule);
    return Commit();
  }
  // Puts back the hosts file an update replaced, kept as `replaced` tells,
  // while the file still holds what that update wrote: false, and nothing
  // changed, when it holds anything else. Raises CFileException.
  static bool PutBack(const Result& replaced);
  // Deletes the old file an update kept.
  static void Forget(const Result& replaced);
  // The rows of the managed table whose host name no line carries, by the
  // add rule's test; the file is only read, and a missing one lacks them
  // all. Raises CFileException as Update does when it cannot tell.
  std::vector<int> MissingRows();

  const CString& GetPath() const { return m_path; }

  static void ParseLine(HostsLine& line);

 private:
  static CString HostsPath();
  void Open();
  // Reading only, for MissingRows: false when there is no hosts file.
  bool OpenToRead();
  void Close();
  // Reads the open hosts file through from its start, as `rule` sees it:
  // the rows present, the lines that carry a managed name, and whether the
  // text would go back as it is. With `kept`, writes there what the rule
  // keeps of the text. Refuses UTF-16 text and lines after a Ctrl-Z.
  void ReadThrough(Rule rule, CStdioFile* kept = nullptr);
  // The rows the add rule appends: those no line carries.
  int RowsMissing() const;
  // The rule's lines, written back, would be the file's bytes as they are.
  bool WouldWriteItsOwnBytes(Rule rule) const;
  // Closes the hosts file, which stays as it is until Commit, and starts
  // the new file beside it (beside the file a link leads to), empty, under
  // a name of its own.
  void Recreate();
  // Reads the hosts file again and writes what `rule` keeps of it to the
  // new file, then the rows it appends, and has them on disk.
  void WriteAll(Rule rule);
  [[noreturn]] void RaiseOsError(DWORD osError) const;

  // What the last ReadThrough found.
  std::array<bool, kManagedHostCount> m_present{};  // by the add rule's test
  int m_managedLines = 0;                           // lines that carry a managed host name
  bool m_allEndInCrLf = false;                      // every line ends in CR LF, the last one too
  bool m_wholeFile = false;                         // no Ctrl-Z ended the text
  CString m_path;
  CString m_target;      // the file m_path leads to, through a symbolic link where there is one
  CStdioFile m_file;     // the hosts file
  CStdioFile m_newFile;  // the new file while it is written
  CFileException m_fileError;
  bool m_created = false;   // the open made the hosts file
  CString m_newPath;        // the new file while it is written, until committed
  Result m_staged;          // what the staged file holds
  bool m_replaces = false;  // something is staged
};
