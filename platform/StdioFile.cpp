#include "StdioFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace {

constexpr size_t kWriteBufferSize = size_t{64} * 1024;
// One call of ReadFile or WriteFile at most: its count is a DWORD.
constexpr size_t kLargestTransfer = size_t{1} << 30;
// What follows a Ctrl-Z is read in small blocks: it is seldom more than a
// line end, and the first byte that is text ends the reading.
constexpr size_t kAfterEndBlockSize = 4096;
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

bool CStdioFile::ReadLines(std::string_view& lines) {
  // The run given last goes; the start of a line it did not end moves to
  // the front, and the next block is read after it.
  if (m_handedOut > 0) std::memmove(m_readBuffer.get(), m_readBuffer.get() + m_handedOut, m_held - m_handedOut);
  m_held -= m_handedOut;
  m_handedOut = 0;
  while (!m_textEnded) {
    if (m_held == m_readBufferSize) {  // the first block, or a line longer than the buffer
      const size_t size = std::max(kReadBlockSize, m_readBufferSize * 2);
      auto larger = std::make_unique_for_overwrite<char[]>(size);
      if (m_held > 0) std::memcpy(larger.get(), m_readBuffer.get(), m_held);
      m_readBuffer = std::move(larger);
      m_readBufferSize = size;
    }
    char* block = m_readBuffer.get() + m_held;
    const size_t got = ReadSome(block, std::min(m_readBufferSize - m_held, kReadBlockSize));
    m_textEnded = got == 0;
    // Looked for in each block while it is fresh in the cache.
    if (const auto* ctrlZ = static_cast<const char*>(std::memchr(block, kCtrlZ, got))) {
      const auto length = static_cast<size_t>(ctrlZ - block);
      m_textAfterEnd = TextFollows(std::string_view(ctrlZ, got - length));
      m_held += length;
      m_textEnded = true;
      m_wholeFile = false;
    }
    if (m_textEnded) break;
    m_held += got;
    if (const size_t lineFeed = std::string_view(block, got).rfind('\n'); lineFeed != std::string_view::npos) {
      m_handedOut = static_cast<size_t>(block - m_readBuffer.get()) + lineFeed + 1;
      lines = std::string_view(m_readBuffer.get(), m_handedOut);
      return true;
    }
  }
  m_handedOut = m_held;  // the last run: its last line may have no line end
  lines = std::string_view(m_readBuffer.get(), m_held);
  return m_held > 0;
}

size_t CStdioFile::ReadSome(char* into, size_t size) {
  DWORD got = 0;
  if (!ReadFile(m_handle.get(), into, static_cast<DWORD>(std::min(size, kLargestTransfer)), &got, nullptr))
    Raise(CFileException::genericException, GetLastError());
  return got;
}

bool CStdioFile::TextFollows(std::string_view afterEnd) {
  // Apart from the buffer, which still holds the text before the Ctrl-Z.
  std::array<char, kAfterEndBlockSize> block;
  while (!afterEnd.empty() && afterEnd.find_first_not_of("\x1A\r\n") == std::string_view::npos)
    afterEnd = std::string_view(block.data(), ReadSome(block.data(), block.size()));
  return !afterEnd.empty();
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
    const auto size = static_cast<DWORD>(std::min(bytes.size(), kLargestTransfer));
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
  m_held = 0;
  m_handedOut = 0;
  m_textEnded = false;
  m_textAfterEnd = false;
  m_wholeFile = true;
  m_writeBuffer.clear();
}

void CStdioFile::Raise(int cause, DWORD osError) const {
  throw CFileException(cause, static_cast<LONG>(osError), m_path);
}
