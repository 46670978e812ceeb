#include "HostsFile.h"

#include "ManagedHosts.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

namespace {

// Antivirus programs and editors hold a file open for a moment: the replace
// is refused with a sharing violation or, when they share deletion, with
// access denied.
constexpr int kMoveAttempts = 5;
constexpr DWORD kMoveRetryDelayMs = 200;
constexpr char kHostsFileName[] = "\\Hosts";

// Row of the managed host named `hostName`, or -1. Lengths first: most
// lines differ from every row in length and cost no byte comparison.
int ManagedRow(std::string_view hostName) {
  static const auto names = [] {
    std::array<std::string_view, kManagedHostCount> views;
    for (int row = 0; row < kManagedHostCount; ++row) views[row] = kManagedHosts[row].hostName;
    return views;
  }();
  for (int row = 0; row < kManagedHostCount; ++row)
    if (hostName == names[row]) return row;
  return -1;
}

// The line the add rule appends for `row`: address, two tabs, host name.
std::string_view AppendedLine(int row) {
  static const auto lines = [] {
    std::array<std::string, kManagedHostCount> texts;
    for (int r = 0; r < kManagedHostCount; ++r)
      texts[r] = std::string(kManagedHosts[r].address) + "\t\t" + kManagedHosts[r].hostName;
    return texts;
  }();
  return lines[row];
}

bool StartsWithUtf16Mark(std::string_view text) { return text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"); }

}  // namespace

CHostsFile::CHostsFile() : m_path(HostsPath()) {}

CHostsFile::~CHostsFile() { Discard(); }

CString CHostsFile::HostsPath() {
  char directory[MAX_PATH] = {};
  const bool olderFamily = (GetVersion() & 0x80000000u) != 0;
  const UINT length =
      olderFamily ? GetWindowsDirectoryA(directory, MAX_PATH) : GetSystemDirectoryA(directory, MAX_PATH);
  // Without the directory there is no hosts file to name: the open fails.
  if (length == 0 || length >= MAX_PATH) return {};
  return CString(directory) + (olderFamily ? "" : "\\drivers\\etc") + kHostsFileName;
}

void CHostsFile::Update(Rule rule, const std::function<void()>& beforeReplace) {
  try {
    Open();
    ReadAll();
    rule == addMissing ? AddMissing() : MarkManaged();
    Recreate();
    WriteAll();
    if (beforeReplace) beforeReplace();
    Commit();
  } catch (...) {
    Discard();
    throw;
  }
}

void CHostsFile::Open() {
  if (!m_file.Open(m_path, CStdioFile::modeEditShared, &m_fileError)) throw m_fileError;
  m_created = m_file.WasCreated();
}

void CHostsFile::Close() { m_file.Close(); }

int CHostsFile::ReadAll() {
  m_lines.clear();
  m_file.ReadText(m_text);
  // Single-byte lines appended to UTF-16 text would corrupt it.
  if (StartsWithUtf16Mark(m_text.View())) throw CFileException(CFileException::genericException, 0, m_path);
  CTextLines lines(m_text.View());
  int count = 0;
  for (std::string_view rawLine; lines.Next(rawLine); ++count) {
    HostsLine line;
    line.rawLine = rawLine;
    ParseLine(line);
    if (ManagedRow(line.hostName) >= 0) m_lines.push_back(line);
  }
  m_allEndInCrLf = lines.AllEndInCrLf();
  m_linesRead = m_lines.size();
  return count;
}

void CHostsFile::AddMissing() {
  std::array<bool, kManagedHostCount> present{};
  for (const HostsLine& line : m_lines)
    if (const int row = ManagedRow(line.hostName); row >= 0) present[row] = true;
  for (int r = 0; r < kManagedHostCount; ++r) {
    if (present[r]) continue;
    HostsLine& line = m_lines.emplace_back();
    line.rawLine = AppendedLine(r);
    ParseLine(line);
    line.activeFlag = 0;
  }
}

// Every line held carries a managed host name.
void CHostsFile::MarkManaged() {
  for (HostsLine& line : m_lines) line.removeFlag = 1;
}

void CHostsFile::Recreate() {
  Close();
  const CString folder = m_path.Left(m_path.GetLength() - static_cast<int>(sizeof kHostsFileName - 1));
  char newPath[MAX_PATH] = {};
  if (GetTempFileNameA(folder, "hst", 0, newPath) == 0) RaiseOsError(GetLastError());
  m_newPath = newPath;
  CFileException error;
  if (!m_file.Open(m_newPath, CStdioFile::modeCreateExclusive, &error))
    RaiseOsError(static_cast<DWORD>(error.m_lOsError));
}

void CHostsFile::WriteAll() {
  try {
    m_file.SeekToBegin();
    // The text between the lines that go is written as it was read, in
    // large blocks; then the appended lines.
    std::string_view rest = m_text.View();
    for (size_t i = 0; i < m_linesRead; ++i) {
      if (!m_lines[i].removeFlag) continue;
      const auto lineStart = static_cast<size_t>(m_lines[i].rawLine.data() - rest.data());
      m_file.WriteLines(rest.substr(0, lineStart), m_allEndInCrLf);
      CTextLines after(rest.substr(lineStart));
      std::string_view removed;
      after.Next(removed);
      rest = after.Rest();
    }
    m_file.WriteLines(rest, m_allEndInCrLf);
    for (size_t i = m_linesRead; i < m_lines.size(); ++i) m_file.WriteLines(m_lines[i].rawLine);
    m_file.FlushToDisk();
    m_file.Close();
  } catch (CFileException& error) {
    error.m_strFileName = m_path;  // the user knows the hosts file, not the new one
    throw;
  }
}

void CHostsFile::Commit() {
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  for (int attempt = 1; !MoveFileExA(m_newPath, m_path, flags); ++attempt) {
    const DWORD error = GetLastError();
    const bool heldByAnother = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
    if (!heldByAnother || attempt == kMoveAttempts) RaiseOsError(error);
    Sleep(kMoveRetryDelayMs);
  }
  m_newPath = CString();
  m_created = false;
}

void CHostsFile::Discard() noexcept {
  m_file.Abort();
  if (!m_newPath.IsEmpty()) DeleteFileA(m_newPath);
  m_newPath = CString();
  if (m_created) DeleteFileA(m_path);
  m_created = false;
}

void CHostsFile::RaiseOsError(DWORD osError) const {
  throw CFileException(CFileException::OsErrorToCause(static_cast<LONG>(osError)), static_cast<LONG>(osError), m_path);
}

void CHostsFile::ParseLine(HostsLine& line) {
  std::string_view text = Trimmed(line.rawLine);
  line.removeFlag = 0;
  if (text.empty() || text == "#" || text.starts_with("# ")) return;  // blank, or a comment
  line.activeFlag = 1;
  if (text.front() == '#') {  // a commented-out entry
    line.activeFlag = 0;
    text = Trimmed(text.substr(1));
  }
  for (int32_t& octet : line.octets) octet = 0;
  int current = 0;
  size_t nameStart = text.size();
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
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
  line.hostName = Trimmed(text.substr(nameStart));
}
