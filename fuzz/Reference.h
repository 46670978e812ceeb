// What the fuzz targets hold the code to: a failed check prints what broke
// and aborts, so libFuzzer keeps the input. The reference helpers are written
// from the rules of code page 932, apart from the code under test.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(condition, what)                                                                          \
  do {                                                                                                       \
    if (!(condition)) {                                                                                      \
      std::fprintf(stderr, "broken invariant at %s:%d: %s\n  (%s)\n", __FILE__, __LINE__, what, #condition); \
      std::abort();                                                                                          \
    }                                                                                                        \
  } while (0)

namespace ref {

inline bool IsLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

inline bool IsWhiteSpace(unsigned char byte) { return (byte >= 0x09 && byte <= 0x0D) || byte == 0x20; }

// Start of every character of `text`, read from its first byte: a lead byte
// with a byte after it makes a double-byte character; a lead byte at the
// very end stands alone. The last element is text.size().
inline std::vector<size_t> CharStarts(std::string_view text) {
  std::vector<size_t> starts;
  size_t i = 0;
  while (i < text.size()) {
    starts.push_back(i);
    i += IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
  }
  starts.push_back(text.size());
  return starts;
}

inline bool IsCharStart(const std::vector<size_t>& starts, size_t position) {
  return std::binary_search(starts.begin(), starts.end(), position);
}

// Length of the character at starts[k].
inline size_t CharLength(const std::vector<size_t>& starts, size_t k) { return starts[k + 1] - starts[k]; }

// Bounds [first, last) of the text left when single-byte white-space
// characters are taken off the front (left) and the back (right).
struct Span {
  size_t first;
  size_t last;
};
inline Span TrimSpan(std::string_view text, bool left, bool right) {
  const std::vector<size_t> starts = CharStarts(text);
  const size_t count = starts.size() - 1;
  size_t from = 0;
  size_t to = count;  // characters [from, to) are kept
  const auto white = [&](size_t k) {
    return CharLength(starts, k) == 1 && IsWhiteSpace(static_cast<unsigned char>(text[starts[k]]));
  };
  if (left)
    while (from < to && white(from)) ++from;
  if (right)
    while (to > from && white(to - 1)) --to;
  return {starts[from], from == to ? starts[from] : starts[to]};
}

inline std::string Trim(std::string_view text, bool left = true, bool right = true) {
  const Span span = TrimSpan(text, left, right);
  return std::string(text.substr(span.first, span.last - span.first));
}

// ASCII letters folded to upper case, on single-byte characters only.
inline std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  const std::vector<size_t> starts = CharStarts(text);
  for (size_t k = 0; k + 1 < starts.size(); ++k) {
    char& c = upper[starts[k]];
    if (CharLength(starts, k) == 1 && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

// Equal but for the letter case of ASCII letters. Enough for comparands that
// are all ASCII: no double-byte character folds to an ASCII one, and a lead
// or trail byte at 0x80 or above never equals an ASCII byte.
inline bool EqualsAsciiNoCase(std::string_view text, std::string_view ascii) {
  if (text.size() != ascii.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (fold(text[i]) != fold(ascii[i])) return false;
  }
  return true;
}

}  // namespace ref
