#include "PlainFile.h"

#include <string>
#include <vector>

#include "SystemImports.h"

namespace {

// Rights and sharing of a folder held open: looked into, never renamed.
constexpr DWORD kFolderAccess = GENERIC_READ;
constexpr DWORD kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr int kFileRenameInformation = 10;

// ntdll's own layouts (FILE_RENAME_INFORMATION, IO_STATUS_BLOCK).
struct RenameInformation {
  BOOLEAN replaceIfExists;
  HANDLE rootDirectory;
  ULONG fileNameLength;
  WCHAR fileName[1];
};

// Wine reports a link to a folder by name, not by the handle it opened.
bool NamedLink(const CString& path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The path of what `handle` stands for, links resolved; empty where the
// system cannot tell it (before Vista).
CString FinalPath(HANDLE handle) {
  const auto finalPath = imports::GetFinalPathNameByHandleA();
  if (finalPath == nullptr) return {};
  std::vector<char> path(MAX_PATH);
  DWORD length = finalPath(handle, path.data(), static_cast<DWORD>(path.size()), 0);
  if (length >= path.size()) {
    path.resize(length + 1);
    length = finalPath(handle, path.data(), static_cast<DWORD>(path.size()), 0);
  }
  return length > 0 && length < path.size() ? CString(path.data(), static_cast<int>(length)) : CString();
}

FileRefusal RefusalOf(HANDLE file, const CFolder& folder, const CString& name) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file, &information)) return FileRefusal::cannotOpen;
  if (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
    return FileRefusal::link;
  if (information.nNumberOfLinks > 1) return FileRefusal::severalNames;
  // A link that the open followed after all (wine follows a link to a file).
  CString inFolder = FinalPath(folder.Handle());
  if (inFolder.View().ends_with(":\\")) inFolder = inFolder.Left(inFolder.GetLength() - 1);  // a drive's root
  const CString opened = FinalPath(file);
  if (!inFolder.IsEmpty() && opened.CompareNoCase(inFolder + "\\" + name) != 0) return FileRefusal::link;
  return FileRefusal::none;
}

}  // namespace

CFolder::CFolder(const CString& path) : m_path(path) {
  m_link = NamedLink(path);
  m_handle.reset(CreateFileA(path, kFolderAccess, kFolderShare, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION information{};
  if (!m_handle.valid()) {
    m_error = GetLastError();
  } else if (!GetFileInformationByHandle(m_handle.get(), &information) ||
             !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    m_error = ERROR_DIRECTORY;
    m_handle.reset();
  } else {
    m_link = m_link || (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  }
}

CFolder CFolder::OfFile(const CString& path, CString& name) {
  std::vector<char> full(MAX_PATH);
  char* part = nullptr;
  DWORD length = GetFullPathNameA(path, static_cast<DWORD>(full.size()), full.data(), &part);
  if (length >= full.size()) {
    full.resize(length + 1);
    length = GetFullPathNameA(path, static_cast<DWORD>(full.size()), full.data(), &part);
  }
  const CString whole = length > 0 && length < full.size() ? CString(full.data(), static_cast<int>(length)) : path;
  const int slash = whole.ReverseFindOneOf("\\/");
  name = whole.Mid(slash + 1);
  CFolder folder;
  folder.m_path = whole.Left(slash < 0 ? 0 : slash);
  // The folder as its path names it: a link the administrator chose is
  // theirs. "C:" alone would be drive C's current folder.
  const CString open = folder.m_path.View().ends_with(':') ? folder.m_path + "\\" : folder.m_path;
  folder.m_handle.reset(
      CreateFileA(open, kFolderAccess, kFolderShare, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder.m_handle.valid()) folder.m_error = GetLastError();
  return folder;
}

PlainFile OpenPlainFile(const CFolder& folder, const CString& name, DWORD access, DWORD share, DWORD creation,
                        LPSECURITY_ATTRIBUTES security, DWORD flags) {
  PlainFile plain;
  const CString path = folder.Path() + "\\" + name;
  const DWORD before = GetFileAttributesA(path);
  if (before != INVALID_FILE_ATTRIBUTES && (before & FILE_ATTRIBUTE_REPARSE_POINT)) {
    plain.refusal = FileRefusal::link;
    return plain;
  }
  plain.file.reset(CreateFileA(path, access, share, security, creation, flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!plain.file.valid()) {
    plain.refusal = FileRefusal::cannotOpen;
    plain.error = GetLastError();
    return plain;
  }
  const bool mayMake = creation == OPEN_ALWAYS || creation == CREATE_ALWAYS;
  plain.existed = creation == OPEN_EXISTING || (mayMake && GetLastError() == ERROR_ALREADY_EXISTS);
  plain.refusal = RefusalOf(plain.file.get(), folder, name);
  if (plain.refusal != FileRefusal::none) plain.file.reset();
  return plain;
}

bool RenameOpenFile(HANDLE file, const CFolder& folder, const CString& name) {
  const auto set = imports::NtSetInformationFile();
  const int length = MultiByteToWideChar(CP_ACP, 0, name, name.GetLength(), nullptr, 0);
  if (set == nullptr || length <= 0) return false;
  std::vector<unsigned char> buffer(sizeof(RenameInformation) + sizeof(WCHAR) * static_cast<size_t>(length));
  auto* rename = reinterpret_cast<RenameInformation*>(buffer.data());
  rename->replaceIfExists = TRUE;
  rename->rootDirectory = folder.Handle();
  rename->fileNameLength = static_cast<ULONG>(sizeof(WCHAR) * static_cast<size_t>(length));
  MultiByteToWideChar(CP_ACP, 0, name, name.GetLength(), rename->fileName, length);
  imports::IoStatus status{};
  return set(file, &status, rename, static_cast<ULONG>(buffer.size()), kFileRenameInformation) == 0;
}

const char* FileRefusalName(FileRefusal refusal) {
  switch (refusal) {
    case FileRefusal::cannotOpen: return "cannot be opened";
    case FileRefusal::link: return "a link";
    case FileRefusal::severalNames: return "several names";
    default: return "plain";
  }
}
