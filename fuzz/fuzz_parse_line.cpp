// ParseLine on any bytes: it stays inside the record (ASan watches), never
// changes the line it parses, always clears removeFlag, and classifies and
// extracts as a plain byte-by-byte reading of the line rules does.
#include <cstddef>
#include <cstdint>
#include <string>

#include "HostsFile.h"
#include "Reference.h"

namespace {

// Letters as the code page classes them: ASCII and half-width katakana.
bool IsLetter(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= 0xA6 && byte <= 0xDF);
}

// The parse, written out from the line rules, on a copy of the record.
HostsLine ReferenceParse(HostsLine line) {
  std::string text = ref::Trim(line.rawLine.View());
  line.removeFlag = 0;
  if (text.empty() || text == "#") return line;
  if (text.size() >= 2 && text[0] == '#' && text[1] == ' ') return line;
  line.activeFlag = 1;
  if (text[0] == '#') {
    line.activeFlag = 0;
    text = ref::Trim(text.substr(1));
  }
  uint32_t octets[4] = {};
  size_t current = 0;
  size_t nameStart = text.size();
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= '0' && byte <= '9') {
      octets[current] = octets[current] * 10u + (byte - '0');
    } else if (byte == '.') {
      if (current < 3) ++current;  // further numbers go on in the fourth octet
    } else if (IsLetter(byte)) {
      nameStart = i;
      break;
    }
  }
  for (int k = 0; k < 4; ++k) line.octets[k] = static_cast<int32_t>(octets[k]);
  line.hostName = CString(ref::Trim(std::string_view(text).substr(nameStart)));
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  // Marked fields show which ones the parse set and which it left alone.
  HostsLine line;
  line.removeFlag = 1;
  line.activeFlag = 0x5A5A;
  line.octets[0] = -1;
  line.octets[1] = 0x11111111;
  line.octets[2] = 0x22222222;
  line.octets[3] = 0x33333333;
  line.hostName = CString("\x01untouched");
  line.rawLine = CString(raw);
  const HostsLine expected = ReferenceParse(line);

  CHostsFile::ParseLine(line);

  FUZZ_CHECK(line.rawLine.View() == raw, "ParseLine changed rawLine");
  FUZZ_CHECK(line.removeFlag == 0, "removeFlag is not 0 after the parse");
  FUZZ_CHECK(line.activeFlag == expected.activeFlag, "activeFlag");
  for (int k = 0; k < 4; ++k) FUZZ_CHECK(line.octets[k] == expected.octets[k], "octets");
  FUZZ_CHECK(line.hostName == expected.hostName, "hostName");
  // The host name is a trimmed piece of the line.
  const std::string name(line.hostName.View());
  if (name != "\x01untouched") {
    FUZZ_CHECK(raw.find(name) != std::string::npos, "hostName is not part of the line");
    FUZZ_CHECK(ref::Trim(name) == name, "hostName is not trimmed");
  }
  return 0;
}
