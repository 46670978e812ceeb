// Character classes and conversions of code page 932, the system's ANSI
// code page on the target machines (as measured there: IsCharAlphaA and
// IsDBCSLeadByte; the conversions through the C library's table of it).
#include <iconv.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

namespace {

// Bytes that are no character of the code page stand for themselves here.
constexpr char16_t kRawByteBase = 0xF700;

class Converter {
 public:
  Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  ~Converter() { iconv_close(m_cd); }

  // The whole of `in` converted, or nothing when it is no character.
  std::optional<std::string> operator()(std::string_view in) const {
    char out[8];
    char* from = const_cast<char*>(in.data());
    char* to = out;
    size_t inLeft = in.size();
    size_t outLeft = sizeof out;
    iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(m_cd, &from, &inLeft, &to, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
    return std::string(out, sizeof out - outLeft);
  }

 private:
  iconv_t m_cd;
};

std::optional<std::string> Encode(char16_t unit) {
  static const Converter fromUtf16("CP932", "UTF-16LE");
  const char bytes[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  return fromUtf16(std::string_view(bytes, 2));
}

// The character's UTF-16 unit; nothing for a character that is none, or one
// of the few the code page has twice, which would come back as the other.
std::optional<char16_t> Decode(std::string_view character) {
  static const Converter toUtf16("UTF-16LE", "CP932");
  const auto bytes = toUtf16(character);
  if (!bytes || bytes->size() != 2) return std::nullopt;
  const auto unit =
      static_cast<char16_t>(static_cast<unsigned char>((*bytes)[0]) | static_cast<unsigned char>((*bytes)[1]) << 8);
  if (Encode(unit) != std::optional<std::string>(character)) return std::nullopt;
  return unit;
}

// Windows' rule for the output buffer: size 0 asks for the length; a buffer
// too small fails.
template <typename Char>
int Deliver(const std::basic_string<Char>& result, Char* out, int outLength) {
  if (outLength == 0) return static_cast<int>(result.size());
  if (out == nullptr || outLength < static_cast<int>(result.size())) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(result.begin(), result.end(), out);
  return static_cast<int>(result.size());
}

}  // namespace

BOOL IsCharAlphaA(CHAR ch) {
  const auto byte = static_cast<unsigned char>(ch);
  const bool ascii = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
  const bool halfWidthKatakana = byte >= 0xA6 && byte <= 0xDF;
  return ascii || halfWidthKatakana;
}

BOOL IsDBCSLeadByte(BYTE ch) { return (ch >= 0x81 && ch <= 0x9F) || (ch >= 0xE0 && ch <= 0xFC); }

int MultiByteToWideChar(UINT, DWORD, LPCSTR text, int length, LPWSTR wide, int wideLength) {
  const std::string_view in(text, length < 0 ? std::strlen(text) + 1 : static_cast<size_t>(length));
  std::u16string out;
  for (size_t i = 0; i < in.size();) {
    if (static_cast<unsigned char>(in[i]) < 0x80) {  // ASCII is itself: no table needed
      out += static_cast<char16_t>(in[i++]);
      continue;
    }
    // A lead byte whose pair is no character stands for itself; the byte
    // after it starts the next character.
    const bool lead = IsDBCSLeadByte(static_cast<BYTE>(in[i])) && i + 1 < in.size();
    const auto pair = lead ? Decode(in.substr(i, 2)) : std::nullopt;
    const auto single = lead ? std::nullopt : Decode(in.substr(i, 1));
    if (pair) {
      out += *pair;
    } else {
      out += single ? *single : static_cast<char16_t>(kRawByteBase + static_cast<unsigned char>(in[i]));
    }
    i += pair ? 2 : 1;
  }
  return Deliver(out, wide, wideLength);
}

int WideCharToMultiByte(UINT, DWORD, LPCWSTR wide, int wideLength, LPSTR text, int length, LPCSTR,
                        BOOL* usedDefaultChar) {
  const std::u16string_view in(
      wide, wideLength < 0 ? std::char_traits<char16_t>::length(wide) + 1 : static_cast<size_t>(wideLength));
  std::string out;
  if (usedDefaultChar) *usedDefaultChar = FALSE;
  for (const char16_t unit : in) {
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit >= kRawByteBase && unit <= kRawByteBase + 0xFF) {
      out += static_cast<char>(unit - kRawByteBase);
    } else if (const auto bytes = Encode(unit)) {
      out += *bytes;
    } else {
      out += '?';
      if (usedDefaultChar) *usedDefaultChar = TRUE;
    }
  }
  return Deliver(out, text, length);
}
