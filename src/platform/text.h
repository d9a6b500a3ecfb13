// Text helpers: Windows-1252 byte strings, locale-independent number
// formatting and parsing.
//
// Every text inside the program is a std::string of Windows-1252 bytes.
// Conversion to Unicode happens only at the window boundary (and where files
// of other encodings meet), through Cp1252ToUtf8 and Utf8ToCp1252.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tav {

// Unicode code point of a Windows-1252 byte. The five bytes that the code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the
// same value, so every byte round-trips.
char32_t Cp1252ToUnicode(unsigned char byte);
// The byte of a code point, or nullopt when Windows-1252 has none.
std::optional<unsigned char> UnicodeToCp1252(char32_t cp);

std::string Cp1252ToUtf8(std::string_view text);
// Code points without a byte become '?'. Malformed UTF-8 bytes become '?'.
std::string Utf8ToCp1252(std::string_view text);

// printf-style formatting that always uses '.' as the decimal mark, whatever
// LC_NUMERIC says. Formats are the program's own fixed-width ones.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Parses a decimal number with '.' as decimal mark (leading blanks allowed,
// trailing text ignored like atof). Returns nullopt when no digits were read.
std::optional<double> ParseDouble(std::string_view text);
// atof/atoi-like: 0 when nothing can be read.
double ToDouble(std::string_view text);
int ToInt(std::string_view text);
// Nothing but blanks, tabs and line ends (or nothing at all).
bool IsBlank(std::string_view text);

// Upper-case fold of one Windows-1252 byte (ä -> Ä, ÿ -> Ÿ, ß stays).
unsigned char UpperCp1252(unsigned char c);
std::string UpperCp1252(std::string_view text);

namespace detail {
// The code points of the bytes 0x80..0x9F; the five bytes the code page
// leaves undefined stand for the C1 control of the same value.
inline constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
    0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

// The byte of a code point, or -1.
constexpr int Cp1252ByteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i)
    if (kCp1252High[i] == cp) return 0x80 + i;
  return -1;
}

// Decodes the UTF-8 sequence starting at text[i] (text has n bytes): sets cp
// and returns the sequence's length, or 0 when it is malformed or cut short.
constexpr int DecodeUtf8(const char* text, std::size_t n, std::size_t i, char32_t& cp) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  int extra;
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
  else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
  else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
  else return 0;
  if (i + static_cast<std::size_t>(extra) >= n) return 0;
  for (int k = 1; k <= extra; ++k) {
    const unsigned char d = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
    if ((d & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (d & 0x3F);
  }
  return 1 + extra;
}

// Compile-time UTF-8 to Windows-1252 for literals.
template <std::size_t N>
struct W1252Literal {
  char bytes[N]{};
  std::size_t size = 0;
  consteval W1252Literal(const char (&utf8)[N]) {
    std::size_t i = 0;
    while (i + 1 < N) {
      char32_t cp = 0;
      const int length = DecodeUtf8(utf8, N - 1, i, cp);
      if (length == 0) throw "malformed UTF-8 in literal";
      const int b = Cp1252ByteOf(cp);
      if (b < 0) throw "character has no Windows-1252 byte";
      bytes[size++] = static_cast<char>(b);
      i += static_cast<std::size_t>(length);
    }
  }
};
}  // namespace detail

namespace literals {
// "Übernehmen"_w and "TSS™"_w: UTF-8 source, Windows-1252 bytes at run time.
template <detail::W1252Literal L>
std::string operator""_w() {
  return std::string(L.bytes, L.size);
}
}  // namespace literals

}  // namespace tav
