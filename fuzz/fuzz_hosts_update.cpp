// Set, a second Set and Remove settings through CHostsFile on any hosts file
// content, in a folder of the fuzzer's own. The lines of the text (up to a
// Ctrl-Z, CR LF or LF ending a line, a lone CR kept) come back byte for byte
// with CR LF ends: Set appends exactly the managed rows that no line carries,
// a second Set appends nothing, and Remove settings keeps exactly the lines
// that carry no managed name. Text that starts like UTF-16 is refused and
// the file left as it was.
#include <native_hooks.h>

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "HostsFile.h"
#include "HostsUpdate.h"
#include "ManagedHosts.h"
#include "Reference.h"

namespace {

// Hosts paths are Windows paths; the stand-in maps "\" to "/".
struct Folder {
  std::filesystem::path root;
  std::filesystem::path etc;
  std::filesystem::path hosts;

  Folder() {
    // A memory file system keeps the flush to disk of every update cheap.
    const char* base = std::getenv("NETSETUP_FUZZ_TMP");
    if (!base) base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/netsetup-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr, "cannot make the temporary folder");
    root = pattern;
    etc = root / "system32" / "drivers" / "etc";
    hosts = etc / "Hosts";
    std::filesystem::create_directories(etc);
    native::SetSystem(0x23F00206, (pattern + "\\system32").c_str(), pattern.c_str());
    std::atexit([] { std::filesystem::remove_all(Get().root); });
  }

  // Never destroyed: the clean-up at exit still needs the paths.
  static Folder& Get() {
    static Folder* folder = new Folder;
    return *folder;
  }
};

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  FUZZ_CHECK(out.good(), "cannot write the hosts file");
}

// Only the hosts file may be in the folder between updates.
void CheckNothingLeftBeside(const char* after) {
  for (const auto& entry : std::filesystem::directory_iterator(Folder::Get().etc))
    FUZZ_CHECK(entry.path().filename() == "Hosts", after);
}

// The lines of the text as a text-mode read sees them.
std::vector<std::string> TextLines(const std::string& bytes) {
  const std::string text = bytes.substr(0, bytes.find('\x1A'));
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

// One action, open to commit, on a fresh editor; returns the file after it.
std::string Update(bool set, int expectedLines) {
  {
    CHostsFile editor(TRUE);
    const int read = editor.ReadAll();
    FUZZ_CHECK(read == expectedLines, "ReadAll did not read every line");
    set ? editor.AddMissing() : editor.MarkManaged();
    editor.Recreate(TRUE);
    editor.WriteAll();
    editor.Commit();
  }
  CheckNothingLeftBeside("a file was left beside the hosts file");
  return ReadBytes(Folder::Get().hosts);
}

void CheckRefused(const std::string& bytes, bool set) {
  bool raised = false;
  try {
    UpdateHostsFile(set);
  } catch (const CFileException&) {
    raised = true;
  }
  FUZZ_CHECK(raised, "UTF-16 text was not refused");
  FUZZ_CHECK(ReadBytes(Folder::Get().hosts) == bytes, "refused text was changed");
  CheckNothingLeftBeside("a file was left beside the refused hosts file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  Folder& folder = Folder::Get();
  WriteBytes(folder.hosts, bytes);

  const bool utf16 = size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF));
  if (utf16) {
    CheckRefused(bytes, true);
    CheckRefused(bytes, false);
    return 0;
  }

  const std::vector<std::string> lines = TextLines(bytes);
  std::vector<std::string> kept;
  std::vector<bool> present(kManagedHostCount, false);
  for (const std::string& line : lines) {
    const std::string name = HostNameOf(line);
    if (!IsManaged(name)) kept.push_back(line);
    for (int row = 0; row < kManagedHostCount; ++row)
      if (name == kManagedHosts[row].hostName) present[row] = true;
  }
  std::string appended;
  int appendedCount = 0;
  for (int row = 0; row < kManagedHostCount; ++row) {
    if (present[row]) continue;
    appended += std::string(kManagedHosts[row].address) + "\t\t" + kManagedHosts[row].hostName + "\r\n";
    ++appendedCount;
  }

  const std::string afterSet = Update(true, static_cast<int>(lines.size()));
  FUZZ_CHECK(afterSet == WithCrLf(lines) + appended, "Set did not give back every line and the missing rows");
  const int setLines = static_cast<int>(lines.size()) + appendedCount;
  FUZZ_CHECK(Update(true, setLines) == afterSet, "a second Set changed the file");
  FUZZ_CHECK(Update(false, setLines) == WithCrLf(kept), "Remove settings did not keep exactly the other lines");
  return 0;
}
