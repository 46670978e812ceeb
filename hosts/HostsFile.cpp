#include "HostsFile.h"

#include "ManagedHosts.h"

#include <array>
#include <string_view>

namespace {

// Antivirus programs hold a freshly written file for a moment.
constexpr int kMoveAttempts = 5;
constexpr DWORD kMoveRetryDelayMs = 200;
constexpr char kHostsFileName[] = "\\Hosts";

// Row of the managed host named `hostName`, or -1. Lengths first: most
// lines differ from every row in length and cost no byte comparison.
int ManagedRow(const CString& hostName) {
  static const auto names = [] {
    std::array<std::string_view, kManagedHostCount> views;
    for (int row = 0; row < kManagedHostCount; ++row) views[row] = kManagedHosts[row].hostName;
    return views;
  }();
  for (int row = 0; row < kManagedHostCount; ++row)
    if (hostName.View() == names[row]) return row;
  return -1;
}

bool IsManaged(const CString& hostName) { return ManagedRow(hostName) >= 0; }

bool StartsWithUtf16Mark(const CString& line) {
  if (line.GetLength() < 2) return false;
  const unsigned char a = line.GetAt(0);
  const unsigned char b = line.GetAt(1);
  return (a == 0xFF && b == 0xFE) || (a == 0xFE && b == 0xFF);
}

}  // namespace

CHostsFile::CHostsFile(BOOL bOpen) : m_path(HostsPath()) {
  m_lines.reserve(HOSTS_MAX_LINES);
  if (bOpen) Open();
}

CHostsFile::~CHostsFile() {
  m_file.Abort();
  if (!m_newPath.IsEmpty()) DeleteFileA(m_newPath);
}

CString CHostsFile::HostsPath() {
  char directory[MAX_PATH] = {};
  const bool olderFamily = (GetVersion() & 0x80000000u) != 0;
  const UINT length =
      olderFamily ? GetWindowsDirectoryA(directory, MAX_PATH) : GetSystemDirectoryA(directory, MAX_PATH);
  // Without the directory there is no hosts file to name: the open fails.
  if (length == 0 || length >= MAX_PATH) return {};
  return CString(directory) + (olderFamily ? "" : "\\drivers\\etc") + kHostsFileName;
}

BOOL CHostsFile::Open() {
  if (!m_file.IsOpen()) m_file.Open(m_path, CStdioFile::modeEditShared, &m_fileError);
  return m_file.IsOpen();
}

void CHostsFile::Close() { m_file.Close(); }

void CHostsFile::RaiseNotOpen() const {
  if (m_fileError.m_cause != CFileException::none) throw m_fileError;
  throw CFileException(CFileException::invalidFile, ERROR_INVALID_HANDLE, m_path);
}

int CHostsFile::ReadAll() {
  if (!m_file.IsOpen() || !m_newPath.IsEmpty()) RaiseNotOpen();
  m_lines.clear();
  for (CString text; m_file.ReadString(text);) {
    // Single-byte lines appended to UTF-16 text would corrupt it.
    if (m_lines.empty() && StartsWithUtf16Mark(text)) throw CFileException(CFileException::genericException, 0, m_path);
    HostsLine& line = m_lines.emplace_back();
    line.rawLine = CString(text.GetString(), text.GetLength());  // exact size: the read leaves slack
    ParseLine(line);
  }
  return static_cast<int>(m_lines.size());
}

void CHostsFile::AddMissing() {
  // One pass over the lines read, not one per row: a large file is not
  // walked 31 times.
  std::array<bool, kManagedHostCount> present{};
  for (const HostsLine& line : m_lines)
    if (const int row = ManagedRow(line.hostName); row >= 0) present[row] = true;
  for (int r = 0; r < kManagedHostCount; ++r) {
    if (present[r]) continue;
    const ManagedHost& row = kManagedHosts[r];
    HostsLine& line = m_lines.emplace_back();
    line.rawLine = CString(row.address) + "\t\t" + row.hostName;
    ParseLine(line);
    line.activeFlag = 0;
  }
}

void CHostsFile::MarkManaged() {
  for (HostsLine& line : m_lines)
    if (IsManaged(line.hostName)) line.removeFlag = 1;
}

void CHostsFile::Recreate(BOOL bReopen) {
  if (!m_file.IsOpen() || !m_newPath.IsEmpty()) RaiseNotOpen();
  Close();
  if (!bReopen) return;
  const CString folder = m_path.Left(m_path.GetLength() - static_cast<int>(sizeof kHostsFileName - 1));
  char newPath[MAX_PATH] = {};
  if (GetTempFileNameA(folder, "hst", 0, newPath) == 0) RaiseOsError(GetLastError());
  m_newPath = newPath;
  CFileException error;
  if (!m_file.Open(m_newPath, CStdioFile::modeCreateExclusive, &error)) {
    DiscardNewFile();
    RaiseOsError(static_cast<DWORD>(error.m_lOsError));
  }
}

void CHostsFile::WriteAll() {
  if (m_newPath.IsEmpty()) RaiseNotOpen();
  try {
    m_file.SeekToBegin();
    for (const HostsLine& line : m_lines) {
      if (line.removeFlag) continue;
      m_file.WriteString(line.rawLine);
      m_file.WriteString("\n");
    }
  } catch (CFileException& error) {
    DiscardNewFile();
    error.m_strFileName = m_path;  // the user knows the hosts file, not the new one
    throw;
  }
}

void CHostsFile::Commit() {
  if (m_newPath.IsEmpty()) RaiseNotOpen();
  try {
    m_file.FlushToDisk();
    m_file.Close();
  } catch (CFileException& error) {
    DiscardNewFile();
    error.m_strFileName = m_path;  // the user knows the hosts file, not the new one
    throw;
  }
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  for (int attempt = 1; !MoveFileExA(m_newPath, m_path, flags); ++attempt) {
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION || attempt == kMoveAttempts) {
      DiscardNewFile();
      RaiseOsError(error);
    }
    Sleep(kMoveRetryDelayMs);
  }
  m_newPath = CString();
}

void CHostsFile::DiscardNewFile() {
  m_file.Abort();
  if (!m_newPath.IsEmpty()) DeleteFileA(m_newPath);
  m_newPath = CString();
}

void CHostsFile::RaiseOsError(DWORD osError) const {
  throw CFileException(CFileException::OsErrorToCause(static_cast<LONG>(osError)), static_cast<LONG>(osError), m_path);
}

void CHostsFile::ParseLine(HostsLine& line) {
  CString text = line.rawLine;
  text.Trim();
  line.removeFlag = 0;
  if (text.IsEmpty() || text == "#") return;
  if (text.GetLength() >= 2 && text.GetAt(0) == '#' && text.GetAt(1) == ' ') return;  // a comment
  line.activeFlag = 1;
  if (text.GetAt(0) == '#') {  // a commented-out entry
    line.activeFlag = 0;
    text = text.Mid(1);
    text.Trim();
  }
  for (int32_t& octet : line.octets) octet = 0;
  int current = 0;
  int nameStart = text.GetLength();
  for (int i = 0; i < text.GetLength(); ++i) {
    const unsigned char byte = text.GetAt(i);
    if (byte >= '0' && byte <= '9') {
      // 32-bit arithmetic without a range check; the result wraps.
      line.octets[current] = static_cast<int32_t>(static_cast<uint32_t>(line.octets[current]) * 10u + (byte - '0'));
    } else if (byte == '.') {
      if (current < 3) ++current;  // numbers after a fourth run into the last octet
    } else if (IsCharAlphaA(static_cast<CHAR>(byte))) {
      nameStart = i;
      break;
    }
  }
  line.hostName = text.Mid(nameStart);
  line.hostName.Trim();
}
