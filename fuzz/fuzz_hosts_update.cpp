// Set, a second Set and Remove settings, as the buttons carry them out, on
// any hosts file content, in a folder of the fuzzer's own and an in-memory
// registry. The lines of the text (up to a Ctrl-Z; CR LF or LF ends a line,
// a lone CR is kept) come back byte for byte with CR LF ends: Set appends
// exactly the managed rows that no line carries, a second Set appends
// nothing, and Remove settings keeps exactly the lines that carry no managed
// name; a UTF-8 mark stays in front. UTF-16 text and lines after a Ctrl-Z
// are refused and the file left as it was.
#include <fakewin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Action.h"
#include "Files.h"
#include "HostsFile.h"
#include "ManagedHosts.h"
#include "Reference.h"
#include "TempFolder.h"

namespace {

// The fake's Windows folder, in a folder of the fuzzer's own: in memory
// where there is room, as every update flushes to disk. Removed at exit.
struct Folder {
  TempFolder root{MemoryFolder()};
  std::filesystem::path etc = fakewin::UseWindowsFolder(root.Local());
  std::filesystem::path hosts = etc / "Hosts";

  static std::filesystem::path MemoryFolder() {
    if (const char* base = std::getenv("NETSETUP_FUZZ_TMP")) return base;
    return std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
  }

  static Folder& Get() {
    static Folder folder;
    return folder;
  }
};

// Only the hosts file may be in the folder between updates.
void CheckNothingLeftBeside(const char* after) {
  for (const auto& entry : std::filesystem::directory_iterator(Folder::Get().etc))
    FUZZ_CHECK(entry.path().filename() == "Hosts", after);
}

const std::string kUtf8Mark = "\xEF\xBB\xBF";

// What no update may touch: lines after a Ctrl-Z, and UTF-16 text (its
// mark, or a NUL beside three quarters of the characters in its first 512
// bytes).
bool Refused(const std::string& bytes) {
  const size_t ctrlZ = bytes.find('\x1A');
  if (ctrlZ != std::string::npos && bytes.find_first_not_of("\x1A\r\n", ctrlZ) != std::string::npos) return true;
  const std::string text = bytes.substr(0, ctrlZ);
  if (text.rfind("\xFF\xFE", 0) == 0 || text.rfind("\xFE\xFF", 0) == 0) return true;
  const size_t window = std::min<size_t>(text.size(), 512) / 2 * 2;
  if (window < 4) return false;
  for (size_t parity = 0; parity < 2; ++parity) {
    size_t nuls = 0;
    for (size_t i = parity; i < window; i += 2) nuls += text[i] == '\0';
    if (nuls * 4 >= window / 2 * 3) return true;
  }
  return false;
}

// The text up to its end, without a UTF-8 mark before the first line.
std::string Text(const std::string& bytes) {
  const std::string text = bytes.substr(0, bytes.find('\x1A'));
  return text.rfind(kUtf8Mark, 0) == 0 ? text.substr(kUtf8Mark.size()) : text;
}

// The lines of the text as a text-mode read sees them.
std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  bool pending = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      if (text[i] == '\r') ++i;
      lines.push_back(line);
      line.clear();
      pending = false;
    } else {
      line += text[i];
      pending = true;
    }
  }
  if (pending) lines.push_back(line);
  return lines;
}

std::string HostNameOf(const std::string& text) {
  HostsLine line;
  line.rawLine = text;
  CHostsFile::ParseLine(line);
  return std::string(line.hostName);
}

bool IsManaged(const std::string& hostName) {
  for (const ManagedHost& row : kManagedHosts)
    if (hostName == row.hostName) return true;
  return false;
}

std::string WithCrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// One action as its button carries it out; returns the file after it.
std::string Update(Action action) {
  CarryOut(action);
  CheckNothingLeftBeside("a file was left beside the hosts file");
  return testfiles::ReadBytes(Folder::Get().hosts);
}

void CheckRefused(const std::string& bytes, Action action) {
  bool raised = false;
  try {
    CarryOut(action);
  } catch (const CFileException&) {
    raised = true;
  }
  FUZZ_CHECK(raised, "UTF-16 text or text after a Ctrl-Z was not refused");
  FUZZ_CHECK(testfiles::ReadBytes(Folder::Get().hosts) == bytes, "refused text was changed");
  FUZZ_CHECK(OfferedAction() == Action::set, "the proxy list was changed for a refused hosts file");
  CheckNothingLeftBeside("a file was left beside the refused hosts file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  Folder& folder = Folder::Get();
  testfiles::WriteBytes(folder.hosts, bytes);
  fakewin::ResetRegistry();

  if (Refused(bytes)) {
    CheckRefused(bytes, Action::set);
    CheckRefused(bytes, Action::remove);
    return 0;
  }

  // The mark stays at the file's start.
  const std::string mark = bytes.rfind(kUtf8Mark, 0) == 0 ? kUtf8Mark : "";
  const std::vector<std::string> lines = TextLines(Text(bytes));
  std::vector<std::string> kept;
  std::vector<bool> present(kManagedHostCount, false);
  for (const std::string& line : lines) {
    const std::string name = HostNameOf(line);
    if (!IsManaged(name)) kept.push_back(line);
    for (int row = 0; row < kManagedHostCount; ++row)
      if (name == kManagedHosts[row].hostName) present[row] = true;
  }
  std::string appended;
  for (int row = 0; row < kManagedHostCount; ++row)
    if (!present[row])
      appended += std::string(kManagedHosts[row].address) + "\t\t" + kManagedHosts[row].hostName + "\r\n";

  const std::string afterSet = Update(Action::set);
  FUZZ_CHECK(afterSet == mark + WithCrLf(lines) + appended, "Set did not give back every line and the missing rows");
  FUZZ_CHECK(OfferedAction() == Action::remove, "Set did not put the wildcard in the proxy list");
  FUZZ_CHECK(Update(Action::set) == afterSet, "a second Set changed the file");
  FUZZ_CHECK(Update(Action::remove) == mark + WithCrLf(kept), "Remove settings did not keep exactly the other lines");
  FUZZ_CHECK(OfferedAction() == Action::set, "Remove settings left the wildcard in the proxy list");
  return 0;
}
