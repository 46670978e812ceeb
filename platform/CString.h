// The tool's one text type: narrow text in the ANSI code page (932 on the
// target machines), with value semantics. Lengths and positions count bytes;
// searching and trimming step over double-byte characters, so a trail byte
// never matches and a double-byte character is never split. Embedded NUL
// bytes are held like any other byte.
#pragma once

#include <string>
#include <string_view>

// The bytes that trimming takes for white space where they stand as
// characters of their own (not as the second byte of a double-byte one).
inline bool IsWhiteSpace(unsigned char byte) { return (byte >= 0x09 && byte <= 0x0D) || byte == 0x20; }

// Length in bytes of the character of `text` that starts at `index`: 2 for a
// lead byte with a byte after it, else 1.
int CharLengthAt(std::string_view text, size_t index);
// `text` without the white space at its start, at its end, or both; the same
// rule as CString's trimming, for text held elsewhere.
std::string_view TrimmedLeft(std::string_view text);
std::string_view TrimmedRight(std::string_view text);
inline std::string_view Trimmed(std::string_view text) { return TrimmedLeft(TrimmedRight(text)); }

class CString {
 public:
  CString() = default;
  CString(const char* text) : m_text(text ? text : "") {}  // NOLINT: implicit like the framework's
  CString(const char* bytes, int length) : m_text(bytes, static_cast<size_t>(length)) {}
  explicit CString(std::string text) : m_text(std::move(text)) {}

  int GetLength() const { return static_cast<int>(m_text.size()); }
  bool IsEmpty() const { return m_text.empty(); }
  const char* GetString() const { return m_text.c_str(); }
  operator const char*() const { return m_text.c_str(); }  // NOLINT: implicit like the framework's
  std::string_view View() const { return m_text; }

  // Position of the first single-byte character `ch`, or of any of `set`; -1 if none.
  int Find(char ch, int start = 0) const;
  int FindOneOf(const char* set) const;
  int ReverseFindOneOf(const char* set) const;

  CString Left(int count) const;
  // The text from `first` to the end; empty when `first` lies past the end.
  CString Mid(int first) const;
  CString Mid(int first, int count) const;

  // White space is 0x09 to 0x0D and 0x20; no byte of a double-byte character.
  CString& TrimLeft() {
    m_text.erase(0, m_text.size() - TrimmedLeft(m_text).size());
    return *this;
  }
  CString& TrimRight() {
    m_text.resize(TrimmedRight(m_text).size());
    return *this;
  }
  CString& Trim() { return TrimRight().TrimLeft(); }

  CString& operator+=(const CString& other) {
    m_text += other.m_text;
    return *this;
  }
  CString& operator+=(char ch) {
    m_text += ch;
    return *this;
  }
  friend CString operator+(CString left, const CString& right) { return left += right; }
  friend CString operator+(CString left, const char* right) { return left += CString(right); }
  friend CString operator+(const char* left, const CString& right) { return CString(left) += right; }

  // Byte for byte, letter case included.
  friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
  friend bool operator==(const CString& a, const char* b) { return a.m_text == b; }
  // Upper- and lower-case forms of a letter count as equal, single-byte and
  // double-byte letters alike; every other character must be the same.
  int CompareNoCase(const CString& other) const;

 private:
  int CharLength(size_t index) const { return CharLengthAt(m_text, index); }

  std::string m_text;
};
