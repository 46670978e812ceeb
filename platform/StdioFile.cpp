#include "StdioFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace {

constexpr size_t kWriteBufferSize = size_t{64} * 1024;
// One call of WriteFile at most: its count is a DWORD.
constexpr size_t kLargestWrite = size_t{1} << 30;
constexpr char kCtrlZ = 0x1A;

}  // namespace

BOOL CStdioFile::Open(const CString& path, OpenMode mode, CFileException* error) {
  Abort();
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE handle = INVALID_HANDLE_VALUE;
  if (mode == modeEditShared)
    handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  else if (mode == modeCreateExclusive)
    handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  else
    handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const auto osError = static_cast<LONG>(GetLastError());
    if (error) *error = CFileException(CFileException::OsErrorToCause(osError), osError, path);
    return FALSE;
  }
  m_created = GetLastError() != ERROR_ALREADY_EXISTS;
  m_handle.reset(handle);
  m_path = path;
  return TRUE;
}

void CStdioFile::ReadText(TextBuffer& text) {
  // Room for the whole file, and a byte more so that the end shows without
  // another allocation; left unfilled, as the reads fill it. Others may
  // write the file meanwhile: a file that grew gets more room.
  DWORD high = 0;
  const DWORD size = GetFileSize(m_handle.get(), &high);
  size_t capacity = size != INVALID_FILE_SIZE && high == 0 ? size_t{size} + 1 : kReadBlockSize;
  auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
  size_t length = 0;
  size_t end = SIZE_MAX;  // of the text: the first Ctrl-Z
  for (;;) {
    if (length == capacity) {
      auto larger = std::make_unique_for_overwrite<char[]>(capacity * 2);
      std::memcpy(larger.get(), bytes.get(), length);
      bytes = std::move(larger);
      capacity *= 2;
    }
    char* block = bytes.get() + length;
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min(capacity - length, kReadBlockSize));
    if (!ReadFile(m_handle.get(), block, wanted, &got, nullptr))
      Raise(CFileException::genericException, GetLastError());
    if (got == 0) break;
    // Looked for in each block while it is fresh in the cache.
    const void* ctrlZ = end == SIZE_MAX ? std::memchr(block, kCtrlZ, got) : nullptr;
    if (ctrlZ) end = length + static_cast<size_t>(static_cast<const char*>(ctrlZ) - block);
    length += got;
  }
  const std::string_view afterEnd(bytes.get() + std::min(end, length), length - std::min(end, length));
  text.m_textAfterEnd = afterEnd.find_first_not_of("\x1A\r\n") != std::string_view::npos;
  text.m_wholeFile = afterEnd.empty();
  text.m_bytes = std::move(bytes);
  text.m_size = std::min(end, length);
}

void CStdioFile::WriteLines(std::string_view lines, bool allEndInCrLf) {
  if (lines.empty()) return;
  size_t start = 0;  // of what is still to be written
  if (!allEndInCrLf) {
    for (size_t lineFeed = lines.find('\n'); lineFeed != std::string_view::npos;
         lineFeed = lines.find('\n', lineFeed + 1)) {
      if (lineFeed > 0 && lines[lineFeed - 1] == '\r') continue;
      Write(lines.substr(start, lineFeed - start));
      Write("\r\n");
      start = lineFeed + 1;
    }
  }
  Write(lines.substr(start));
  if (lines.back() != '\n') Write("\r\n");
}

void CStdioFile::Write(std::string_view bytes) {
  if (m_writeBuffer.size() + bytes.size() > kWriteBufferSize) FlushWriteBuffer();
  if (bytes.size() >= kWriteBufferSize) {
    WriteOut(bytes);
    return;
  }
  m_writeBuffer.insert(m_writeBuffer.end(), bytes.begin(), bytes.end());
}

void CStdioFile::WriteOut(std::string_view bytes) {
  while (!bytes.empty()) {
    const auto size = static_cast<DWORD>(std::min(bytes.size(), kLargestWrite));
    DWORD written = 0;
    if (!WriteFile(m_handle.get(), bytes.data(), size, &written, nullptr) || written != size)
      Raise(CFileException::diskFull, GetLastError());
    bytes.remove_prefix(size);
  }
}

void CStdioFile::FlushWriteBuffer() {
  WriteOut(std::string_view(m_writeBuffer.data(), m_writeBuffer.size()));
  m_writeBuffer.clear();
}

void CStdioFile::FlushToDisk() {
  FlushWriteBuffer();
  if (!FlushFileBuffers(m_handle.get())) Raise(CFileException::diskFull, GetLastError());
}

void CStdioFile::Close() {
  FlushWriteBuffer();
  Abort();
}

void CStdioFile::Abort() {
  m_handle.reset();
  m_writeBuffer.clear();
}

void CStdioFile::Raise(int cause, DWORD osError) const {
  throw CFileException(cause, static_cast<LONG>(osError), m_path);
}
