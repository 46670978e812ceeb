#include "CString.h"

#include <windows.h>

namespace {

// Upper case of one character of code page 932 (single byte, or lead byte
// << 8 | trail byte): ASCII, full-width Latin, Greek and Cyrillic letters.
unsigned UpperCase(unsigned ch) {
  if (ch >= 'a' && ch <= 'z') return ch - 0x20;
  if (ch >= 0x8281 && ch <= 0x829A) return ch - 0x21;  // full-width a-z
  if (ch >= 0x83BF && ch <= 0x83D6) return ch - 0x20;  // Greek
  if (ch >= 0x8470 && ch <= 0x847E) return ch - 0x30;  // Cyrillic a to n
  if (ch >= 0x8480 && ch <= 0x8491) return ch - 0x31;  // Cyrillic o to ya, 0x847F unused
  return ch;
}

}  // namespace

int CharLengthAt(std::string_view text, size_t index) {
  const bool lead = IsDBCSLeadByte(static_cast<BYTE>(text[index]));
  return lead && index + 1 < text.size() ? 2 : 1;
}

std::string_view TrimmedLeft(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsWhiteSpace(static_cast<unsigned char>(text[i])))
    ++i;  // white space is single-byte, so the first byte stepped over starts a character
  return text.substr(i);
}

std::string_view TrimmedRight(std::string_view text) {
  // Only a white-space byte at the end can start what is to go.
  if (text.empty() || !IsWhiteSpace(static_cast<unsigned char>(text.back()))) return text;
  size_t end = 0;
  for (size_t i = 0; i < text.size(); i += CharLengthAt(text, i))
    if (CharLengthAt(text, i) == 2 || !IsWhiteSpace(static_cast<unsigned char>(text[i])))
      end = i + CharLengthAt(text, i);
  return text.substr(0, end);
}

int CString::Find(char ch, int start) const {
  for (size_t i = start < 0 ? 0 : static_cast<size_t>(start); i < m_text.size(); i += CharLength(i))
    if (m_text[i] == ch && CharLength(i) == 1) return static_cast<int>(i);
  return -1;
}

int CString::FindOneOf(const char* set) const {
  const std::string_view wanted(set);
  for (size_t i = 0; i < m_text.size(); i += CharLength(i))
    if (CharLength(i) == 1 && wanted.find(m_text[i]) != std::string_view::npos) return static_cast<int>(i);
  return -1;
}

int CString::ReverseFindOneOf(const char* set) const {
  const std::string_view wanted(set);
  int found = -1;
  for (size_t i = 0; i < m_text.size(); i += CharLength(i))
    if (CharLength(i) == 1 && wanted.find(m_text[i]) != std::string_view::npos) found = static_cast<int>(i);
  return found;
}

CString CString::Left(int count) const {
  if (count <= 0) return {};
  return CString(m_text.substr(0, static_cast<size_t>(count)));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  if (first < 0) first = 0;
  if (static_cast<size_t>(first) >= m_text.size() || count <= 0) return {};
  return CString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

int CString::CompareNoCase(const CString& other) const {
  size_t i = 0;
  size_t j = 0;
  while (i < m_text.size() && j < other.m_text.size()) {
    const int lengthA = CharLength(i);
    const int lengthB = other.CharLength(j);
    const auto code = [](const std::string& text, size_t at, int length) {
      unsigned value = static_cast<unsigned char>(text[at]);
      return length == 2 ? value << 8 | static_cast<unsigned char>(text[at + 1]) : value;
    };
    const unsigned a = UpperCase(code(m_text, i, lengthA));
    const unsigned b = UpperCase(code(other.m_text, j, lengthB));
    if (a != b) return a < b ? -1 : 1;
    i += lengthA;
    j += lengthB;
  }
  if (i < m_text.size()) return 1;
  return j < other.m_text.size() ? -1 : 0;
}
