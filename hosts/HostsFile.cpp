#include "HostsFile.h"

#include "FileReplace.h"
#include "ManagedHosts.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// Antivirus programs and editors hold a file open for a moment: the replace
// is refused with a sharing violation, access denied, or the old file that
// cannot be removed.
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

// `text` without the white-space bytes at its end.
std::string_view WithoutTrailingWhiteSpace(std::string_view text) {
  while (!text.empty() && IsWhiteSpace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

// Tells from a line's last bytes alone whether it may carry a managed host
// name, so that most lines are never parsed. A host name runs to the end of
// its line but for what trimming takes off, which is white-space bytes only:
// a line whose host name is N ends with N and white-space bytes. The last
// bytes before them pick one bit of a table in which every managed name has
// set its own, so no such line is missed; the few others that hit a set bit
// are parsed and compared in full.
class ManagedNameEndings {
 public:
  static const ManagedNameEndings& Get() {
    static const ManagedNameEndings endings;
    return endings;
  }

  bool MayCarryManagedName(std::string_view rawLine) const {
    const std::string_view text = WithoutTrailingWhiteSpace(rawLine);
    if (text.size() < m_keyLength) return false;
    const size_t bit = Bit(text);
    return (m_bits[bit / 64] >> (bit % 64) & 1) != 0;
  }

 private:
  static constexpr size_t kLongestKey = 16;
  static constexpr int kBitsLog2 = 12;

  ManagedNameEndings() {
    for (const ManagedHost& row : kManagedHosts)
      m_keyLength = std::min(m_keyLength, WithoutTrailingWhiteSpace(row.hostName).size());
    for (const ManagedHost& row : kManagedHosts) {
      const size_t bit = Bit(WithoutTrailingWhiteSpace(row.hostName));
      m_bits[bit / 64] |= uint64_t{1} << (bit % 64);
    }
  }

  // The bit of the last m_keyLength bytes of `text`.
  size_t Bit(std::string_view text) const {
    const char* end = text.data() + text.size();
    uint64_t low = 0;
    uint64_t high = 0;
    if (m_keyLength == kLongestKey) {  // the usual case, in two loads
      std::memcpy(&low, end - kLongestKey, sizeof low);
      std::memcpy(&high, end - sizeof high, sizeof high);
    } else {
      unsigned char key[kLongestKey] = {};
      std::memcpy(key + kLongestKey - m_keyLength, end - m_keyLength, m_keyLength);
      std::memcpy(&low, key, sizeof low);
      std::memcpy(&high, key + sizeof low, sizeof high);
    }
    return static_cast<size_t>(((low * 0x9E3779B97F4A7C15u) ^ (high * 0xC2B2AE3D27D4EB4Fu)) >> (64 - kBitsLog2));
  }

  size_t m_keyLength = kLongestKey;  // no managed name is shorter
  std::array<uint64_t, (size_t{1} << kBitsLog2) / 64> m_bits{};
};

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

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
// The bytes at the text's start that tell UTF-16 text.
constexpr size_t kUtf16Window = 512;

// UTF-16 text, with its byte-order mark or without: ASCII in it has a NUL
// in every second byte, which text of the ANSI code page never has. Lines
// of single bytes appended to it would garble it. `text`: its start.
bool LooksLikeUtf16(std::string_view text) {
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) return true;
  const size_t window = std::min(text.size(), kUtf16Window) & ~size_t{1};
  if (window < 4) return false;
  size_t evenNuls = 0;
  size_t oddNuls = 0;
  for (size_t i = 0; i < window; i += 2) {
    evenNuls += text[i] == '\0';
    oddNuls += text[i + 1] == '\0';
  }
  // Three quarters, not all: a few characters of UTF-16 text are not ASCII.
  const size_t characters = window / 2;
  return evenNuls * 4 >= characters * 3 || oddNuls * 4 >= characters * 3;
}

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

void CHostsFile::Stage(Rule rule) {
  m_staged = {};
  m_replaces = false;
  try {
    Open();
    ReadThrough(rule);
    if (WouldWriteItsOwnBytes(rule)) {
      Discard();
      return;
    }
    Recreate();
    WriteAll(rule);
  } catch (...) {
    Discard();
    throw;
  }
  // As the second reading found the file: what the new file holds.
  m_staged.linesAdded = rule == addMissing ? RowsMissing() : 0;
  m_staged.linesRemoved = rule == markManaged ? m_managedLines : 0;
  m_staged.replaced = m_replaces = true;
}

std::vector<int> CHostsFile::MissingRows() {
  const bool exists = OpenToRead();
  if (exists) ReadThrough(addMissing);
  Close();
  std::vector<int> missing;
  for (int row = 0; row < kManagedHostCount; ++row)
    if (!exists || !m_present[row]) missing.push_back(row);
  return missing;
}

void CHostsFile::Open() {
  // Locked by an administrator: left alone, and told as such, on every
  // system alike: one that refuses the open (Windows) and one that lets its
  // administrators write read-only files too.
  const auto refuseReadOnly = [this](const CString& path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
      throw CFileException(CFileException::readOnly, ERROR_ACCESS_DENIED, m_path);
  };
  if (!m_file.Open(m_path, CStdioFile::modeEditShared, &m_fileError)) {
    if (m_fileError.m_lOsError == ERROR_ACCESS_DENIED) refuseReadOnly(FinalPath(m_path));
    throw m_fileError;
  }
  m_created = m_file.WasCreated();
  m_target = FinalPath(m_path);
  refuseReadOnly(m_target);
}

bool CHostsFile::OpenToRead() {
  if (m_file.Open(m_path, CStdioFile::modeReadShared, &m_fileError)) return true;
  const LONG error = m_fileError.m_lOsError;
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
  throw m_fileError;
}

void CHostsFile::Close() { m_file.Close(); }

void CHostsFile::ReadThrough(Rule rule, CStdioFile* kept) {
  m_present = {};
  m_managedLines = 0;
  m_allEndInCrLf = true;
  const ManagedNameEndings& endings = ManagedNameEndings::Get();
  std::string start;  // of the text, to tell UTF-16 by
  for (std::string_view run; m_file.ReadLines(run);) {
    const bool first = start.empty();  // no run is empty
    start += run.substr(0, kUtf16Window - start.size());
    // Notepad's UTF-8 mark stays where it is, and the first line is read
    // after it; it goes back on its own, before the first line.
    if (first && run.starts_with(kUtf8Mark)) {
      if (kept) kept->Write(kUtf8Mark);
      run.remove_prefix(kUtf8Mark.size());
    }
    CTextLines lines(run);
    size_t unwritten = 0;  // of the run: the lines up to here that the rule keeps are written
    for (std::string_view line; lines.Next(line);) {
      if (!endings.MayCarryManagedName(line)) continue;
      HostsLine parsed;
      parsed.rawLine = line;
      ParseLine(parsed);
      const int row = ManagedRow(parsed.hostName);
      if (row < 0) continue;
      m_present[row] = true;
      ++m_managedLines;
      if (kept && rule == markManaged) {
        const auto lineStart = static_cast<size_t>(line.data() - run.data());
        kept->WriteLines(run.substr(unwritten, lineStart - unwritten), lines.AllEndInCrLf());
        unwritten = run.size() - lines.Rest().size();
      }
    }
    if (kept) kept->WriteLines(run.substr(unwritten), lines.AllEndInCrLf());
    // A run ends with its last line's end, and the text with its last run.
    m_allEndInCrLf = m_allEndInCrLf && lines.AllEndInCrLf() && run.ends_with("\r\n");
  }
  m_wholeFile = m_file.IsWholeFile();
  // Refused, as no update could keep them whole: UTF-16 text, and lines
  // after a Ctrl-Z, which text-mode readers never see (a Ctrl-Z followed
  // only by line ends is the old end-of-file mark, and is dropped).
  if (LooksLikeUtf16(start)) throw CFileException(CFileException::utf16Text, 0, m_path);
  if (m_file.HasTextAfterEnd()) throw CFileException(CFileException::textAfterEnd, 0, m_path);
}

int CHostsFile::RowsMissing() const { return static_cast<int>(std::count(m_present.begin(), m_present.end(), false)); }

// Only a file that was there: one the open created goes again, as it was
// not there before.
bool CHostsFile::WouldWriteItsOwnBytes(Rule rule) const {
  const bool linesKept = rule == addMissing ? RowsMissing() == 0 : m_managedLines == 0;
  return !m_created && linesKept && m_allEndInCrLf && m_wholeFile;
}

void CHostsFile::Recreate() {
  Close();
  const CString folder = m_target.Left(m_target.ReverseFindOneOf("\\/"));
  char newPath[MAX_PATH] = {};
  if (GetTempFileNameA(folder, "hst", 0, newPath) == 0) RaiseOsError(GetLastError());
  m_newPath = newPath;
  CFileException error;
  if (!m_newFile.Open(m_newPath, CStdioFile::modeCreateExclusive, &error))
    RaiseOsError(static_cast<DWORD>(error.m_lOsError));
}

void CHostsFile::WriteAll(Rule rule) {
  if (!m_file.Open(m_path, CStdioFile::modeReadShared, &m_fileError)) throw m_fileError;
  try {
    ReadThrough(rule, &m_newFile);
    Close();
    for (int row = 0; rule == addMissing && row < kManagedHostCount; ++row)
      if (!m_present[row]) m_newFile.WriteLines(AppendedLine(row));
    m_newFile.FlushToDisk();
    m_newFile.Close();
  } catch (CFileException& error) {
    error.m_strFileName = m_path;  // the user knows the hosts file, not the new one
    throw;
  }
}

CHostsFile::Result CHostsFile::Commit(bool keepOld) {
  if (!m_replaces) return {};
  m_staged.created = m_created;
  for (int attempt = 1;; ++attempt) {
    const DWORD error = ReplaceFileKeepingIt(m_target, m_newPath, keepOld && !m_created ? &m_staged.keptOld : nullptr);
    if (error == ERROR_SUCCESS) break;
    const bool heldByAnother =
        error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED;
    if (!heldByAnother || attempt == kMoveAttempts) {
      Discard();
      RaiseOsError(error);
    }
    Sleep(kMoveRetryDelayMs);
  }
  m_newPath = CString();
  m_created = false;
  m_replaces = false;
  if (keepOld) m_staged.written = DigestOf(m_target);
  return m_staged;
}

bool CHostsFile::PutBack(const Result& replaced) {
  const CString path = HostsPath();
  const CString target = FinalPath(path);
  const auto now = DigestOf(target);
  if (!replaced.written || now != replaced.written) return false;
  const DWORD error = replaced.created ? (DeleteFileA(target) ? ERROR_SUCCESS : GetLastError())
                                       : ReplaceFileKeepingIt(target, replaced.keptOld);
  if (error != ERROR_SUCCESS)
    throw CFileException(CFileException::OsErrorToCause(static_cast<LONG>(error)), static_cast<LONG>(error), path);
  return true;
}

void CHostsFile::Forget(const Result& replaced) {
  if (!replaced.keptOld.IsEmpty()) DeleteFileA(replaced.keptOld);
}

void CHostsFile::Discard() noexcept {
  m_file.Abort();
  m_newFile.Abort();
  if (!m_newPath.IsEmpty()) DeleteFileA(m_newPath);
  m_newPath = CString();
  if (m_created) DeleteFileA(m_path);
  m_created = false;
  m_replaces = false;
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
