#include "StdioFile.h"

namespace {

constexpr size_t kBufferSize = size_t{64} * 1024;
constexpr int kCtrlZ = 0x1A;

}  // namespace

BOOL CStdioFile::Open(const CString& path, OpenMode mode, CFileException* error) {
  Abort();
  const bool shared = mode == modeEditShared;
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, shared ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0,
                              shared ? &inheritable : nullptr, shared ? OPEN_ALWAYS : CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
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

bool CStdioFile::FillReadBuffer() {
  m_readBuffer.resize(kBufferSize);
  DWORD got = 0;
  if (!ReadFile(m_handle.get(), m_readBuffer.data(), static_cast<DWORD>(m_readBuffer.size()), &got, nullptr))
    Raise(CFileException::genericException, GetLastError());
  m_readBuffer.resize(got);
  m_readAt = 0;
  return got > 0;
}

int CStdioFile::NextByte() {
  if (m_pushedBack >= 0) return std::exchange(m_pushedBack, -1);
  if (m_textEnded) return -1;
  if (m_readAt == m_readBuffer.size() && !FillReadBuffer()) {
    m_textEnded = true;
    return -1;
  }
  const int byte = static_cast<unsigned char>(m_readBuffer[m_readAt++]);
  if (byte == kCtrlZ) {
    m_textEnded = true;
    return -1;
  }
  return byte;
}

int CStdioFile::NextTextByte() {
  const int byte = NextByte();
  if (byte != '\r') return byte;
  const int next = NextByte();
  if (next == '\n') return next;
  m_pushedBack = next;  // a CR without LF is text
  return byte;
}

bool CStdioFile::ReadString(CString& line) {
  std::string bytes;
  int byte = NextTextByte();
  const bool any = byte >= 0;
  for (; byte >= 0 && byte != '\n'; byte = NextTextByte()) bytes += static_cast<char>(byte);
  line = CString(std::move(bytes));
  return any;
}

void CStdioFile::ReadText(std::string& text) {
  // The file's size bounds the text's: the text grows once, not by doubling.
  DWORD high = 0;
  const DWORD size = GetFileSize(m_handle.get(), &high);
  if (size != INVALID_FILE_SIZE && high == 0) text.reserve(text.size() + size);
  for (int byte = NextTextByte(); byte >= 0; byte = NextTextByte()) text += static_cast<char>(byte);
}

void CStdioFile::WriteString(std::string_view text) {
  for (size_t lineFeed; (lineFeed = text.find('\n')) != std::string_view::npos; text.remove_prefix(lineFeed + 1)) {
    m_writeBuffer.insert(m_writeBuffer.end(), text.begin(), text.begin() + static_cast<ptrdiff_t>(lineFeed));
    m_writeBuffer.push_back('\r');
    m_writeBuffer.push_back('\n');
  }
  m_writeBuffer.insert(m_writeBuffer.end(), text.begin(), text.end());
  if (m_writeBuffer.size() >= kBufferSize) FlushWriteBuffer();
}

void CStdioFile::FlushWriteBuffer() {
  if (m_writeBuffer.empty()) return;
  DWORD written = 0;
  const auto size = static_cast<DWORD>(m_writeBuffer.size());
  if (!WriteFile(m_handle.get(), m_writeBuffer.data(), size, &written, nullptr) || written != size)
    Raise(CFileException::diskFull, GetLastError());
  m_writeBuffer.clear();
}

void CStdioFile::SeekToBegin() {
  FlushWriteBuffer();
  ResetReading();
  if (SetFilePointer(m_handle.get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
    Raise(CFileException::badSeek, GetLastError());
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
  ResetReading();
}

void CStdioFile::ResetReading() {
  m_readBuffer.clear();
  m_readAt = 0;
  m_textEnded = false;
  m_pushedBack = -1;
}

void CStdioFile::Raise(int cause, DWORD osError) const {
  throw CFileException(cause, static_cast<LONG>(osError), m_path);
}
