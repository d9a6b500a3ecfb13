#include "platform/text.h"

#include <algorithm>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace tav {

namespace {
// The "C" locale, made once and installed per call with uselocale(), which
// only affects the calling thread.
locale_t CLocale() {
  static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return loc;
}

struct ScopedCLocale {
  locale_t old;
  ScopedCLocale() : old(uselocale(CLocale())) {}
  ~ScopedCLocale() { uselocale(old); }
};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}
}  // namespace

char32_t Cp1252ToUnicode(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return detail::kCp1252High[byte - 0x80];
  return byte;
}

std::optional<unsigned char> UnicodeToCp1252(char32_t cp) {
  int b = detail::Cp1252ByteOf(cp);
  if (b < 0) return std::nullopt;
  return static_cast<unsigned char>(b);
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char c : text) AppendUtf8(out, Cp1252ToUnicode(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t cp = 0;
    const int length = detail::DecodeUtf8(text.data(), text.size(), i, cp);
    if (length == 0) {
      out += '?';
      ++i;
      continue;
    }
    auto b = UnicodeToCp1252(cp);
    out += b ? static_cast<char>(*b) : '?';
    i += static_cast<std::size_t>(length);
  }
  return out;
}

std::string Format(const char* fmt, ...) {
  ScopedCLocale c;
  char small[256];
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  int n = std::vsnprintf(small, sizeof small, fmt, ap);
  va_end(ap);
  std::string out;
  if (n < 0) {
    va_end(ap2);
    return out;
  }
  if (static_cast<std::size_t>(n) < sizeof small) {
    out.assign(small, static_cast<std::size_t>(n));
  } else {
    out.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), fmt, ap2);
    out.resize(static_cast<std::size_t>(n));
  }
  va_end(ap2);
  return out;
}

std::optional<double> ParseDouble(std::string_view text) {
  ScopedCLocale c;
  std::string s(text);
  const char* begin = s.c_str();
  char* end = nullptr;
  double v = std::strtod(begin, &end);
  if (end == begin) return std::nullopt;
  return v;
}

double ToDouble(std::string_view text) { return ParseDouble(text).value_or(0.0); }

int ToInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool neg = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) neg = text[i++] == '-';
  long long v = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    v = v * 10 + (text[i++] - '0');
    if (v > 2147483648LL) { v = 2147483648LL; break; }
  }
  if (neg) v = -v;
  if (v > 2147483647LL) v = 2147483647LL;
  return static_cast<int>(v);
}

unsigned char UpperCp1252(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  if (c == 0x9A) return 0x8A;  // š
  if (c == 0x9C) return 0x8C;  // œ
  if (c == 0x9E) return 0x8E;  // ž
  if (c == 0xFF) return 0x9F;  // ÿ
  return c;
}

std::string UpperCp1252(std::string_view text) {
  std::string out(text);
  for (char& ch : out) ch = static_cast<char>(UpperCp1252(static_cast<unsigned char>(ch)));
  return out;
}

bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

}  // namespace tav
