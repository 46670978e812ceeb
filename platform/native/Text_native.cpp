// Character classes of code page 932, the system's ANSI code page on the
// target machines (as measured there: IsCharAlphaA and IsDBCSLeadByte).
#include <windows.h>

BOOL IsCharAlphaA(CHAR ch) {
  const auto byte = static_cast<unsigned char>(ch);
  const bool ascii = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
  const bool halfWidthKatakana = byte >= 0xA6 && byte <= 0xDF;
  return ascii || halfWidthKatakana;
}

BOOL IsDBCSLeadByte(BYTE ch) { return (ch >= 0x81 && ch <= 0x9F) || (ch >= 0xE0 && ch <= 0xFC); }
