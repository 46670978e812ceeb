// CString's searching and trimming on any bytes, read as code page 932:
// no position it returns lies inside a double-byte character, a trail byte
// never matches, and trimming keeps a character-aligned piece of the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "CString.h"
#include "Reference.h"

namespace {

// The first (or last) single-byte character of `text` at or after character
// `fromChar` that is in `wanted`, as a byte position; -1 if none.
int ReferenceFind(std::string_view text, std::string_view wanted, size_t fromChar, bool last) {
  const std::vector<size_t> starts = ref::CharStarts(text);
  int found = -1;
  for (size_t k = fromChar; k + 1 < starts.size(); ++k) {
    if (ref::CharLength(starts, k) != 1 || wanted.find(text[starts[k]]) == std::string_view::npos) continue;
    found = static_cast<int>(starts[k]);
    if (!last) break;
  }
  return found;
}

void CheckTrim(const std::string& text) {
  const std::vector<size_t> starts = ref::CharStarts(text);
  struct Case {
    bool left;
    bool right;
    const char* what;
    std::string Apply(const std::string& of) const {
      CString s(of);
      if (left && right)
        s.Trim();
      else if (left)
        s.TrimLeft();
      else
        s.TrimRight();
      return std::string(s.View());
    }
  };
  for (const Case& c : {Case{true, true, "Trim"}, Case{true, false, "TrimLeft"}, Case{false, true, "TrimRight"}}) {
    const std::string got = c.Apply(text);
    FUZZ_CHECK(got == ref::Trim(text, c.left, c.right), c.what);
    // Apart from the reference: the result is one piece of the text, cut at
    // character starts, with nothing but white space taken off around it.
    size_t leadingWhite = 0;
    while (leadingWhite < text.size() && ref::IsWhiteSpace(static_cast<unsigned char>(text[leadingWhite])))
      ++leadingWhite;
    bool aligned = false;
    for (size_t k = 0; k < starts.size() && starts[k] <= leadingWhite && !aligned; ++k) {
      const size_t first = starts[k];
      const size_t last = first + got.size();
      if (last > text.size() || !ref::IsCharStart(starts, last) || text.compare(first, got.size(), got) != 0) continue;
      if ((!c.left && first != 0) || (!c.right && last != text.size())) continue;
      bool white = true;
      for (size_t i = last; i < text.size() && white; ++i)
        white = ref::IsWhiteSpace(static_cast<unsigned char>(text[i]));
      aligned = white;
    }
    FUZZ_CHECK(aligned, c.what);
    // Trimming again changes nothing.
    FUZZ_CHECK(c.Apply(got) == got, c.what);
  }
}

void CheckFind(const std::string& text, char ch, size_t startSelector) {
  const CString s(text);
  const std::vector<size_t> starts = ref::CharStarts(text);
  const size_t charCount = starts.size() - 1;
  // A start at a character start, before the text, or past its end.
  const size_t k = startSelector % (charCount + 3);
  int start = 0;
  size_t fromChar = 0;
  if (k < charCount + 1) {
    start = static_cast<int>(starts[k]);
    fromChar = k;
  } else if (k == charCount + 1) {
    start = -1 - static_cast<int>(startSelector % 7);
  } else {
    start = static_cast<int>(text.size() + 1 + startSelector % 5);
    fromChar = charCount;
  }
  const int found = s.Find(ch, start);
  FUZZ_CHECK(found == ReferenceFind(text, std::string_view(&ch, 1), fromChar, false), "Find");
  if (found >= 0) {
    FUZZ_CHECK(ref::IsCharStart(starts, static_cast<size_t>(found)), "Find returned a trail byte");
    FUZZ_CHECK(text[static_cast<size_t>(found)] == ch, "Find");
  }
}

void CheckFindOneOf(const std::string& text, const std::string& set) {
  const CString s(text);
  const std::vector<size_t> starts = ref::CharStarts(text);
  const std::string_view wanted(set.c_str());  // what the callee sees: up to the first NUL
  const int first = s.FindOneOf(set.c_str());
  const int last = s.ReverseFindOneOf(set.c_str());
  FUZZ_CHECK(first == ReferenceFind(text, wanted, 0, false), "FindOneOf");
  FUZZ_CHECK(last == ReferenceFind(text, wanted, 0, true), "ReverseFindOneOf");
  FUZZ_CHECK((first < 0) == (last < 0) && first <= last, "FindOneOf and ReverseFindOneOf disagree");
  for (const int found : {first, last}) {
    if (found < 0) continue;
    FUZZ_CHECK(ref::IsCharStart(starts, static_cast<size_t>(found)), "a search returned a trail byte");
    FUZZ_CHECK(wanted.find(text[static_cast<size_t>(found)]) != std::string_view::npos, "a search");
  }
}

void CheckCompareNoCase(const std::string& a, const std::string& b) {
  const CString x(a);
  const CString y(b);
  FUZZ_CHECK(x.CompareNoCase(x) == 0, "CompareNoCase is not reflexive");
  const int xy = x.CompareNoCase(y);
  const int yx = y.CompareNoCase(x);
  FUZZ_CHECK((xy < 0) == (yx > 0) && (xy == 0) == (yx == 0), "CompareNoCase is not antisymmetric");
  if (a == b) FUZZ_CHECK(xy == 0, "CompareNoCase on equal texts");
  // Folding the single-byte ASCII letters never makes a difference.
  FUZZ_CHECK(x.CompareNoCase(CString(ref::UpperAscii(a))) == 0, "CompareNoCase on ASCII letters");
}

}  // namespace

// Input: the character to find, a start selector, the length of the set,
// the set, then the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const char ch = static_cast<char>(data[0]);
  const size_t startSelector = data[1];
  const size_t setLength = data[2] % 8;
  data += 3;
  size -= 3;
  const size_t setTaken = setLength < size ? setLength : size;
  const std::string set(reinterpret_cast<const char*>(data), setTaken);
  const std::string text(reinterpret_cast<const char*>(data + setTaken), size - setTaken);

  CheckTrim(text);
  CheckFind(text, ch, startSelector);
  CheckFindOneOf(text, set);
  CheckCompareNoCase(text, set);
  CheckCompareNoCase(set + text, text);
  return 0;
}
