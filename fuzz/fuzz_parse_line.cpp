// ParseLine on any bytes, held to what the line rules promise rather than
// to a second parser: it stays inside the record (ASan watches), never
// changes the line it parses, always clears removeFlag, leaves blank and
// comment lines' fields as they were, marks an entry active unless it is
// commented out, takes as host name the trimmed rest of the line from its
// first letter, and reads a dotted address at the head of the line.
#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "HostsFile.h"
#include "Reference.h"

namespace {

bool IsDigit(char byte) { return byte >= '0' && byte <= '9'; }

// `text` trimmed as the line rules trim (apart from the code under test),
// as a piece of it.
std::string_view TrimmedByRule(std::string_view text) {
  const ref::Span span = ref::TrimSpan(text, true, true);
  return text.substr(span.first, span.last - span.first);
}

// The four numbers of `text` when it is a plain dotted address: four runs
// of one to three digits, each at most 255, joined by ".".
std::optional<std::array<int32_t, 4>> DottedAddress(std::string_view text) {
  std::array<int32_t, 4> octets{};
  size_t k = 0;
  for (size_t i = 0; k < 4; ++k) {
    size_t digits = 0;
    int32_t value = 0;
    for (; i < text.size() && IsDigit(text[i]) && digits < 3; ++i, ++digits) value = value * 10 + (text[i] - '0');
    if (digits == 0 || value > 255) return std::nullopt;
    octets[k] = value;
    if (k < 3 && (i >= text.size() || text[i++] != '.')) return std::nullopt;
    if (k == 3 && i != text.size()) return std::nullopt;
  }
  return octets;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  // Marked fields show which ones the parse set and which it left alone.
  const HostsLine marked = [&] {
    HostsLine line;
    line.removeFlag = 1;
    line.activeFlag = 0x5A5A;
    line.octets[0] = -1;
    line.octets[1] = 0x11111111;
    line.octets[2] = 0x22222222;
    line.octets[3] = 0x33333333;
    line.hostName = "\x01untouched";
    return line;
  }();
  HostsLine line = marked;
  line.rawLine = raw;

  CHostsFile::ParseLine(line);

  FUZZ_CHECK(line.rawLine.data() == raw.data() && line.rawLine == raw, "ParseLine changed rawLine");
  FUZZ_CHECK(line.removeFlag == 0, "removeFlag is not 0 after the parse");

  // The line's kind, from its trimmed text.
  std::string_view text = TrimmedByRule(raw);
  if (text.empty() || text == "#" || text.starts_with("# ")) {
    FUZZ_CHECK(line.activeFlag == marked.activeFlag, "a blank or comment line got an activeFlag");
    for (int k = 0; k < 4; ++k) FUZZ_CHECK(line.octets[k] == marked.octets[k], "a blank or comment line got octets");
    FUZZ_CHECK(line.hostName.data() == marked.hostName.data(), "a blank or comment line got a host name");
    return 0;
  }
  const bool commentedOut = text.front() == '#';
  FUZZ_CHECK(line.activeFlag == (commentedOut ? 0 : 1), "activeFlag does not follow the '#'");
  if (commentedOut) text = TrimmedByRule(text.substr(1));

  // The host name: the rest of the entry from its first letter, trimmed, in
  // place in the raw line; empty when no byte of the entry is a letter.
  size_t firstLetter = 0;
  while (firstLetter < text.size() && !IsCharAlphaA(text[firstLetter])) ++firstLetter;
  const std::string_view name = TrimmedByRule(text.substr(firstLetter));
  FUZZ_CHECK(line.hostName.size() == name.size(), "hostName is not the trimmed rest from the first letter");
  FUZZ_CHECK(name.empty() || line.hostName.data() == name.data(), "hostName is not that piece of the line");

  // The address before it.
  const std::string_view head = text.substr(0, firstLetter);
  if (const auto address = DottedAddress(TrimmedByRule(head)))
    for (int k = 0; k < 4; ++k) FUZZ_CHECK(line.octets[k] == (*address)[k], "a dotted address read wrong");
  if (head.find_first_of("0123456789") == std::string_view::npos)
    for (int k = 0; k < 4; ++k) FUZZ_CHECK(line.octets[k] == 0, "octets where the line gives no number");
  return 0;
}
