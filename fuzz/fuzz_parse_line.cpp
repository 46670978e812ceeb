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

// The parse's outcome: the record's fields, and the host name's text (the
// record's own hostName views the text being parsed).
struct Parsed {
  HostsLine line;
  std::string hostName;
};

// The parse, written out from the line rules, on a copy of the record.
Parsed ReferenceParse(HostsLine line) {
  std::string text = ref::Trim(line.rawLine);
  line.removeFlag = 0;
  if (text.empty() || text == "#") return {line, std::string(line.hostName)};
  if (text.size() >= 2 && text[0] == '#' && text[1] == ' ') return {line, std::string(line.hostName)};
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
  return {line, ref::Trim(std::string_view(text).substr(nameStart))};
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
  const std::string_view untouched = "\x01untouched";
  line.hostName = untouched;
  line.rawLine = raw;
  const Parsed expected = ReferenceParse(line);

  CHostsFile::ParseLine(line);

  FUZZ_CHECK(line.rawLine.data() == raw.data() && line.rawLine == raw, "ParseLine changed rawLine");
  FUZZ_CHECK(line.removeFlag == 0, "removeFlag is not 0 after the parse");
  FUZZ_CHECK(line.activeFlag == expected.line.activeFlag, "activeFlag");
  for (int k = 0; k < 4; ++k) FUZZ_CHECK(line.octets[k] == expected.line.octets[k], "octets");
  FUZZ_CHECK(line.hostName == expected.hostName, "hostName");
  // The host name is a trimmed piece of the line itself.
  if (line.hostName.data() != untouched.data()) {
    const bool inside =
        line.hostName.data() >= raw.data() && line.hostName.data() + line.hostName.size() <= raw.data() + raw.size();
    FUZZ_CHECK(inside, "hostName is not part of the line");
    FUZZ_CHECK(ref::Trim(line.hostName) == line.hostName, "hostName is not trimmed");
  }
  return 0;
}
