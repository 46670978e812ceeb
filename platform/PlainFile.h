// Files that a privileged run writes where another account may have been
// first: each opened only as what its name says, in a folder held open,
// never through a link and never as one of several names of a file, so
// that no write, rename or truncation reaches another file.
#pragma once

#include <windows.h>

#include "CString.h"
#include "Handle.h"

// A folder held open. While it is, nobody can rename or delete it, and the
// names opened in it stay in it.
class CFolder {
 public:
  CFolder() = default;
  // `path` opened as a folder; a link to a folder is opened itself, and
  // IsLink tells it. Not open when there is no folder there.
  explicit CFolder(const CString& path);
  // The folder that holds the file `path` names, links followed, and the
  // file's name in it.
  static CFolder OfFile(const CString& path, CString& name);

  bool IsOpen() const { return m_handle.valid(); }
  bool IsLink() const { return m_link; }
  HANDLE Handle() const { return m_handle.get(); }
  const CString& Path() const { return m_path; }
  // The system's error when it could not be opened.
  DWORD Error() const { return m_error; }

 private:
  CString m_path;
  UniqueFile m_handle;
  bool m_link = false;
  DWORD m_error = ERROR_SUCCESS;
};

// Why a file is not used.
enum class FileRefusal {
  none,
  cannotOpen,    // the system's error says why
  link,          // a symbolic link, a junction, or a folder
  severalNames,  // hard links: the same file has another name elsewhere
};

struct PlainFile {
  UniqueFile file;
  FileRefusal refusal = FileRefusal::none;
  DWORD error = ERROR_SUCCESS;  // cannotOpen: the system's
  bool existed = false;         // it was there before this open
};

// Opens `name` in `folder` (CreateFileA's access, sharing, creation,
// security and flags) without following a link; refused when it is a link
// or a folder, when it has more than one name, or when the handle is not
// the file of that name in that folder.
PlainFile OpenPlainFile(const CFolder& folder, const CString& name, DWORD access, DWORD share, DWORD creation,
                        LPSECURITY_ATTRIBUTES security = nullptr, DWORD flags = 0);

// Renames the open `file` (opened with DELETE) to `name` in `folder`, in
// place of a file of that name: the file opened, whatever its name has
// come to stand for since.
bool RenameOpenFile(HANDLE file, const CFolder& folder, const CString& name);

// The text naming a refusal in the log: "link", "several names".
const char* FileRefusalName(FileRefusal refusal);
