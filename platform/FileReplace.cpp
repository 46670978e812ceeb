#include "FileReplace.h"

#include <string>

#include "Handle.h"
#include "SystemImports.h"

namespace {

// A name beside `path` that no file has; empty when none can be had.
CString UnusedNameBeside(const CString& path) {
  const CString folder = path.Left(path.ReverseFindOneOf("\\/"));
  char name[MAX_PATH] = {};
  if (GetTempFileNameA(folder, "hsb", 0, name) == 0) return {};
  DeleteFileA(name);
  return CString(name);
}

// The system's replace, with a backup name so that no failure can lose the
// old file: it is either still in place or put back from the backup.
DWORD SystemReplace(imports::ReplaceFileAType replace, const CString& replaced, const CString& replacement,
                    CString* keptOld) {
  const CString backup = UnusedNameBeside(replaced);
  if (backup.IsEmpty()) return GetLastError();
  if (replace(replaced, replacement, backup, 0, nullptr, nullptr)) {
    if (keptOld)
      *keptOld = backup;
    else
      DeleteFileA(backup);
    return ERROR_SUCCESS;
  }
  const DWORD error = GetLastError();
  // The old file was left under the backup's name.
  if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
    MoveFileExA(backup, replaced, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  // A backup that could not be put back is the old file: it stays.
  if (GetFileAttributesA(replaced) != INVALID_FILE_ATTRIBUTES) DeleteFileA(backup);
  return error;
}

}  // namespace

CString FinalPath(const CString& path) {
  const auto finalPathOf = imports::GetFinalPathNameByHandleA();
  if (finalPathOf == nullptr) return path;
  const UniqueFile file(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return path;
  std::string buffer(MAX_PATH, '\0');
  const DWORD length = finalPathOf(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), 0);
  if (length == 0 || length >= buffer.size()) return path;
  CString final(buffer.data(), static_cast<int>(length));
  // "\\?\C:\..." for a drive, "\\?\UNC\server\share\..." for a share.
  if (final.View().starts_with("\\\\?\\UNC\\")) return "\\\\" + final.Mid(8);
  if (final.View().starts_with("\\\\?\\")) return final.Mid(4);
  return final;
}

DWORD ReplaceFileKeepingIt(const CString& replaced, const CString& replacement, CString* keptOld) {
  // The attributes by hand, as the move keeps none of them; the system's
  // replace keeps the security descriptor and the rest. Never read-only:
  // the new file must still be moved and, on failure, deleted.
  const DWORD attributes = GetFileAttributesA(replaced);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    const DWORD kept = attributes & ~FILE_ATTRIBUTE_READONLY;
    SetFileAttributesA(replacement, kept ? kept : FILE_ATTRIBUTE_NORMAL);
  }
  if (const auto replace = imports::ReplaceFileA()) return SystemReplace(replace, replaced, replacement, keptOld);
  // A system without it: a move in one step.
  if (MoveFileExA(replacement, replaced, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return ERROR_SUCCESS;
  return GetLastError();
}

std::optional<FileDigest> DigestOf(const CString& path) {
  const UniqueFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return std::nullopt;
  FileDigest digest{0, 0xCBF29CE484222325ull};
  std::string block(1 << 16, '\0');
  for (DWORD read = 0;; digest.size += read) {
    if (!ReadFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &read, nullptr)) return std::nullopt;
    if (read == 0) return digest;
    for (DWORD i = 0; i < read; ++i)
      digest.hash = (digest.hash ^ static_cast<unsigned char>(block[i])) * 0x100000001B3ull;
  }
}
