// File calls of KERNEL32 over POSIX, with the Windows rules the tool meets:
// "\" separators, share modes between open handles, attributes (read-only
// enforced), symbolic links followed unless the open asks for the link
// itself, folders opened as handles, hard links counted, and Windows error
// codes; a file opened to be deleted on close goes with its handle.
#include <fakewin.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace {

struct OpenFile {
  int fd;
  std::string path;
  DWORD access;
  DWORD share;
  bool deleteOnClose;
};

std::set<OpenFile*> g_open;
std::map<std::string, DWORD> g_attributes;  // by path; FILE_ATTRIBUTE_NORMAL when absent
unsigned g_tempCounter = 0;

std::string PosixPath(LPCSTR name) {
  std::string path = name;
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

bool IsReadOnly(const std::string& path) {
  const auto found = g_attributes.find(path);
  return found != g_attributes.end() && (found->second & FILE_ATTRIBUTE_READONLY);
}

// A file renamed takes its attributes along; one replaced loses its own.
void MoveAttributes(const std::string& from, const std::string& to) {
  const auto found = g_attributes.find(from);
  if (found == g_attributes.end()) {
    g_attributes.erase(to);
    return;
  }
  g_attributes[to] = found->second;
  g_attributes.erase(found);
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

DWORD ErrorFromErrno(int error, const std::string& path) {
  switch (error) {
    case ENOENT: {
      const auto slash = path.rfind('/');
      const bool folderExists = slash == std::string::npos || IsDirectory(path.substr(0, slash));
      return folderExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    default: return ERROR_WRITE_FAULT;
  }
}

// Writing access: all of the file, or only at its end.
bool Writes(DWORD access) { return (access & (GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0; }

// Windows refuses an open whose access another handle does not share, or
// whose sharing does not allow another handle's access.
bool ConflictsWithOpenHandles(const std::string& path, DWORD access, DWORD share) {
  for (const OpenFile* file : g_open) {
    if (file->path != path) continue;
    if ((access & GENERIC_READ) && !(file->share & FILE_SHARE_READ)) return true;
    if (Writes(access) && !(file->share & FILE_SHARE_WRITE)) return true;
    if ((file->access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return true;
    if (Writes(file->access) && !(share & FILE_SHARE_WRITE)) return true;
    if ((access & DELETE) && !(file->share & FILE_SHARE_DELETE)) return true;
    if ((file->access & DELETE) && !(share & FILE_SHARE_DELETE)) return true;
  }
  return false;
}

bool HeldWithoutDeleteSharing(const std::string& path) {
  for (const OpenFile* file : g_open)
    if (file->path == path && !(file->share & FILE_SHARE_DELETE)) return true;
  return false;
}

bool Held(const std::string& path) {
  for (const OpenFile* file : g_open)
    if (file->path == path) return true;
  return false;
}

int OpenFlags(DWORD access, DWORD creation) {
  int flags = Writes(access) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
  if ((access & FILE_APPEND_DATA) && !(access & GENERIC_WRITE)) flags |= O_APPEND;
  switch (creation) {
    case CREATE_NEW: return flags | O_CREAT | O_EXCL;
    case CREATE_ALWAYS: return flags | O_CREAT | O_TRUNC;
    case OPEN_ALWAYS: return flags | O_CREAT;
    default: return flags;  // OPEN_EXISTING
  }
}

OpenFile* FromHandle(HANDLE handle) {
  auto* file = static_cast<OpenFile*>(handle);
  return g_open.count(file) ? file : nullptr;
}

// The descriptor to open `path` with: the folder itself, the link itself,
// or the file, as `flags` ask.
int OpenDescriptor(const std::string& path, DWORD access, DWORD creation, DWORD flags, bool link) {
  if (link) return creation == CREATE_NEW ? (errno = EEXIST, -1) : open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (IsDirectory(path)) {
    if (!(flags & FILE_FLAG_BACKUP_SEMANTICS) || Writes(access)) return errno = EISDIR, -1;
    return open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  return open(path.c_str(), OpenFlags(access, creation) | O_CLOEXEC, 0644);
}

}  // namespace

namespace fakewin::file {

std::optional<std::string> PathOf(HANDLE handle, DWORD access) {
  const OpenFile* file = FromHandle(handle);
  // Reading in general takes in reading its security.
  const DWORD granted = file == nullptr ? 0 : file->access | ((file->access & GENERIC_READ) ? READ_CONTROL : 0);
  if (file == nullptr || (granted & access) != access) return std::nullopt;
  return file->path;
}

}  // namespace fakewin::file

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation, DWORD flags,
                   HANDLE) {
  if (fakewin::ShouldFail("CreateFileA")) return INVALID_HANDLE_VALUE;
  // As KERNEL32 does: deleting it on close takes the right to delete it.
  const bool deleteOnClose = (flags & FILE_FLAG_DELETE_ON_CLOSE) != 0;
  if (deleteOnClose) access |= DELETE;
  const std::string path = PosixPath(name);
  struct stat seen {};
  const bool link = (flags & FILE_FLAG_OPEN_REPARSE_POINT) && lstat(path.c_str(), &seen) == 0 && S_ISLNK(seen.st_mode);
  const bool existed = link || Exists(path);
  if (existed && !link && Writes(access) && IsReadOnly(path)) return Fail(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
  if (existed && ConflictsWithOpenHandles(path, access, share))
    return Fail(ERROR_SHARING_VIOLATION), INVALID_HANDLE_VALUE;
  const int fd = OpenDescriptor(path, access, creation, flags, link);
  if (fd < 0) return Fail(ErrorFromErrno(errno, path)), INVALID_HANDLE_VALUE;
  if (!existed) {
    g_attributes.erase(path);
    fakewin::security::Forget(path);
    fakewin::security::Assign(path, security);
  }
  auto* file = new OpenFile{fd, path, access, share, deleteOnClose};
  g_open.insert(file);
  const bool reportsExisting = creation == OPEN_ALWAYS || creation == CREATE_ALWAYS;
  SetLastError(existed && reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return file;
}

BOOL CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES security) {
  if (fakewin::ShouldFail("CreateDirectoryA")) return FALSE;
  const std::string path = PosixPath(name);
  if (mkdir(path.c_str(), 0755) != 0) return Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(errno, path));
  fakewin::security::Forget(path);
  fakewin::security::Assign(path, security);
  return TRUE;
}

BOOL GetFileInformationByHandle(HANDLE handle, BY_HANDLE_FILE_INFORMATION* information) {
  const OpenFile* file = FromHandle(handle);
  struct stat info {};
  if (file == nullptr || fstat(file->fd, &info) != 0) return Fail(ERROR_INVALID_HANDLE);
  *information = {};
  const auto kept = g_attributes.find(file->path);
  // A link to a folder is a folder that is a reparse point, as on Windows.
  const DWORD link = S_ISLNK(info.st_mode) ? FILE_ATTRIBUTE_REPARSE_POINT : 0;
  information->dwFileAttributes = IsDirectory(file->path)      ? FILE_ATTRIBUTE_DIRECTORY | link
                                  : link                       ? link
                                  : kept != g_attributes.end() ? kept->second
                                                               : FILE_ATTRIBUTE_NORMAL;
  information->dwVolumeSerialNumber = static_cast<DWORD>(info.st_dev);
  information->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(info.st_size) >> 32);
  information->nFileSizeLow = static_cast<DWORD>(info.st_size);
  information->nNumberOfLinks = static_cast<DWORD>(info.st_nlink);
  information->nFileIndexHigh = static_cast<DWORD>(static_cast<uint64_t>(info.st_ino) >> 32);
  information->nFileIndexLow = static_cast<DWORD>(info.st_ino);
  return TRUE;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED) {
  if (read) *read = 0;
  if (fakewin::ShouldFail("ReadFile")) return FALSE;
  OpenFile* file = FromHandle(handle);
  if (!file || !(file->access & GENERIC_READ)) return Fail(file ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE);
  const ssize_t got = ::read(file->fd, buffer, toRead);
  if (got < 0) return Fail(ERROR_READ_FAULT);
  if (read) *read = static_cast<DWORD>(got);
  return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED) {
  if (written) *written = 0;
  if (fakewin::ShouldFail("WriteFile")) return FALSE;
  OpenFile* file = FromHandle(handle);
  if (!file || !Writes(file->access)) return Fail(file ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE);
  const auto* bytes = static_cast<const char*>(buffer);
  DWORD done = 0;
  while (done < toWrite) {
    const ssize_t put = ::write(file->fd, bytes + done, toWrite - done);
    if (put < 0) return Fail(ErrorFromErrno(errno, file->path));
    done += static_cast<DWORD>(put);
    if (written) *written = done;
  }
  return TRUE;
}

DWORD GetFileSize(HANDLE handle, LPDWORD sizeHigh) {
  if (fakewin::ShouldFail("GetFileSize")) return INVALID_FILE_SIZE;
  OpenFile* file = FromHandle(handle);
  struct stat info {};
  if (!file || fstat(file->fd, &info) != 0) return Fail(ERROR_INVALID_HANDLE), INVALID_FILE_SIZE;
  const auto size = static_cast<unsigned long long>(info.st_size);
  if (sizeHigh) *sizeHigh = static_cast<DWORD>(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

BOOL FlushFileBuffers(HANDLE handle) {
  if (fakewin::ShouldFail("FlushFileBuffers")) return FALSE;
  OpenFile* file = FromHandle(handle);
  if (!file) return Fail(ERROR_INVALID_HANDLE);
  return fsync(file->fd) == 0 ? TRUE : Fail(ErrorFromErrno(errno, file->path));
}

BOOL CloseHandle(HANDLE handle) {
  std::unique_ptr<OpenFile> file(FromHandle(handle));
  if (!file) return fakewin::CloseMutex(handle) ? TRUE : Fail(ERROR_INVALID_HANDLE);
  g_open.erase(file.get());
  close(file->fd);
  if (file->deleteOnClose && unlink(file->path.c_str()) == 0) {
    g_attributes.erase(file->path);
    fakewin::security::Forget(file->path);
  }
  return TRUE;
}

BOOL DeleteFileA(LPCSTR name) {
  if (fakewin::ShouldFail("DeleteFileA")) return FALSE;
  const std::string path = PosixPath(name);
  if (IsDirectory(path) || IsReadOnly(path)) return Fail(ERROR_ACCESS_DENIED);
  if (HeldWithoutDeleteSharing(path)) return Fail(ERROR_SHARING_VIOLATION);
  if (unlink(path.c_str()) != 0) return Fail(ErrorFromErrno(errno, path));
  fakewin::security::Forget(path);
  return TRUE;
}

BOOL MoveFileExA(LPCSTR existing, LPCSTR target, DWORD flags) {
  if (fakewin::ShouldFail("MoveFileExA")) return FALSE;
  const std::string from = PosixPath(existing);
  const std::string to = PosixPath(target);
  if (!Exists(from)) return Fail(ErrorFromErrno(ENOENT, from));
  if (Exists(to)) {
    if (!(flags & MOVEFILE_REPLACE_EXISTING)) return Fail(ERROR_ALREADY_EXISTS);
    if (IsDirectory(to) || IsReadOnly(to)) return Fail(ERROR_ACCESS_DENIED);
  }
  if (HeldWithoutDeleteSharing(from) || HeldWithoutDeleteSharing(to)) return Fail(ERROR_SHARING_VIOLATION);
  // A file that is open, even by a reader that shares deletion, is not replaced.
  if (Held(to)) return Fail(ERROR_ACCESS_DENIED);
  if (rename(from.c_str(), to.c_str()) != 0) return Fail(ErrorFromErrno(errno, to));
  MoveAttributes(from, to);
  fakewin::security::Move(from, to);
  return TRUE;
}

UINT GetTempFileNameA(LPCSTR folder, LPCSTR prefix, UINT, LPSTR tempFileName) {
  if (fakewin::ShouldFail("GetTempFileNameA")) return 0;
  std::string base = folder;
  if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
  base += std::string(prefix).substr(0, 3);
  for (int attempt = 0; attempt < 0x10000; ++attempt) {
    const UINT unique = (++g_tempCounter + static_cast<UINT>(getpid())) & 0xFFFF;
    if (unique == 0) continue;
    char name[16];
    std::snprintf(name, sizeof name, "%X.tmp", unique);
    const std::string full = base + name;
    const int fd = open(PosixPath(full.c_str()).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd >= 0) {
      close(fd);
      std::snprintf(tempFileName, MAX_PATH, "%s", full.c_str());
      return unique;
    }
    if (errno != EEXIST) return Fail(ErrorFromErrno(errno, PosixPath(full.c_str()))), 0;
  }
  return Fail(ERROR_FILE_EXISTS), 0;
}

DWORD GetFileAttributesA(LPCSTR name) {
  const std::string path = PosixPath(name);
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return Fail(ErrorFromErrno(errno, path)), INVALID_FILE_ATTRIBUTES;
  if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  const auto found = g_attributes.find(path);
  return found == g_attributes.end() ? FILE_ATTRIBUTE_NORMAL : found->second;
}

BOOL SetFileAttributesA(LPCSTR name, DWORD attributes) {
  const std::string path = PosixPath(name);
  if (!Exists(path)) return Fail(ErrorFromErrno(ENOENT, path));
  if (attributes == FILE_ATTRIBUTE_NORMAL)
    g_attributes.erase(path);
  else
    g_attributes[path] = attributes & ~FILE_ATTRIBUTE_NORMAL;
  return TRUE;
}

// With a backup name, as the tool calls it: the old file goes to the backup,
// the new one takes its name and its attributes.
BOOL ReplaceFileA(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD, LPVOID, LPVOID) {
  const std::string to = PosixPath(replaced);
  const std::string from = PosixPath(replacement);
  const std::string aside = backup ? PosixPath(backup) : std::string();
  if (fakewin::ShouldFail("ReplaceFileA")) {
    // This failure leaves the old file under the backup's name.
    if (GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 && backup) rename(to.c_str(), aside.c_str());
    return FALSE;
  }
  if (!Exists(to) || !Exists(from)) return Fail(ERROR_FILE_NOT_FOUND);
  if (IsReadOnly(to)) return Fail(ERROR_ACCESS_DENIED);
  if (HeldWithoutDeleteSharing(to) || HeldWithoutDeleteSharing(from)) return Fail(ERROR_UNABLE_TO_REMOVE_REPLACED);
  const auto kept = g_attributes.find(to);
  const DWORD attributes = kept == g_attributes.end() ? FILE_ATTRIBUTE_NORMAL : kept->second;
  if (backup && rename(to.c_str(), aside.c_str()) != 0) return Fail(ERROR_UNABLE_TO_REMOVE_REPLACED);
  if (rename(from.c_str(), to.c_str()) != 0) return Fail(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
  g_attributes.erase(from);
  fakewin::security::Forget(from);
  SetFileAttributesA(replaced, attributes);
  return TRUE;
}

// "\\?\" and the path of the file itself, symbolic links followed.
DWORD GetFinalPathNameByHandleA(HANDLE handle, LPSTR path, DWORD size, DWORD) {
  OpenFile* file = FromHandle(handle);
  char* real = file ? realpath(file->path.c_str(), nullptr) : nullptr;
  if (real == nullptr) return Fail(ERROR_INVALID_HANDLE), 0;
  std::string final = std::string("\\\\?\\") + real;
  std::free(real);
  for (char& c : final)
    if (c == '/') c = '\\';
  if (size <= final.size()) return static_cast<DWORD>(final.size() + 1);
  std::snprintf(path, size, "%s", final.c_str());
  return static_cast<DWORD>(final.size());
}

// A rename of the open file to a name within the folder that another handle
// stands for, as ntdll's NtSetInformationFile does it
// (FileRenameInformation); wine takes no other form, nor does the tool.
LONG fakewin::ntdll::SetInformationFile(HANDLE handle, void*, void* information, ULONG, int kind) {
  struct Rename {
    BOOLEAN replace;
    HANDLE root;
    ULONG length;
    WCHAR name[1];
  };
  constexpr int kFileRenameInformation = 10;
  OpenFile* file = FromHandle(handle);
  const auto* rename = static_cast<const Rename*>(information);
  const OpenFile* root = FromHandle(rename->root);
  if (file == nullptr || kind != kFileRenameInformation) return static_cast<LONG>(0xC000000D);  // invalid parameter
  if (!(file->access & DELETE)) return static_cast<LONG>(0xC0000022);                           // access denied
  if (root == nullptr || !IsDirectory(root->path)) return static_cast<LONG>(0xC000003B);        // path syntax bad
  char name[MAX_PATH] = {};
  WideCharToMultiByte(CP_ACP, 0, rename->name, static_cast<int>(rename->length / sizeof(WCHAR)), name, MAX_PATH - 1,
                      nullptr, nullptr);
  const std::string target = root->path + "/" + name;
  if (Exists(target) && (!rename->replace || Held(target) || IsDirectory(target))) return static_cast<LONG>(0xC0000022);
  if (::rename(file->path.c_str(), target.c_str()) != 0) return static_cast<LONG>(0xC0000022);
  MoveAttributes(file->path, target);
  fakewin::security::Move(file->path, target);
  file->path = target;
  return 0;
}
