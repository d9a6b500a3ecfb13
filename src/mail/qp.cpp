#include "mail/qp.h"

namespace tav {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

void AppendHexEscape(std::string& out, char marker, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += marker;
  out += kHex[byte >> 4];
  out += kHex[byte & 15];
}

std::string EncodeQuotedPrintable(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto b = static_cast<unsigned char>(text[i]);
    bool last = i + 1 == text.size();
    if (b == '=' || b < 32 || b > 126 || (last && b == ' '))
      AppendHexEscape(out, '=', b);
    else
      out += static_cast<char>(b);
  }
  return out;
}

std::string SplitQuotedPrintableString(std::string_view text) {
  if (text.size() <= 76) return std::string(text);
  std::string out;
  out.reserve(text.size() + text.size() / 25 + 3);
  std::size_t pos = 0;
  while (text.size() - pos > 76) {
    std::size_t cut = pos + 75;
    // Do not split "=XX": step back when an escape starts one or two
    // characters before the cut.
    if (text[cut - 1] == '=')
      cut -= 1;
    else if (text[cut - 2] == '=')
      cut -= 2;
    out.append(text.substr(pos, cut - pos));
    out += "=\r\n";
    pos = cut;
  }
  out.append(text.substr(pos));
  return out;
}

std::string DecodeQuotedPrintable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    char c = text[i];
    if (c != '=') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 < n && text[i + 1] == '\n') {  // soft break with a bare LF
      i += 2;
      continue;
    }
    if (i + 1 < n && text[i + 1] == '\r') {  // soft break
      i += (i + 2 < n && text[i + 2] == '\n') ? 3 : 2;
      continue;
    }
    int hi = i + 1 < n ? HexValue(text[i + 1]) : -1;
    int lo = i + 2 < n ? HexValue(text[i + 2]) : -1;
    if (hi >= 0 && lo >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      i += 3;
    } else {
      out += '=';
      ++i;
    }
  }
  return out;
}

bool HasEightBitBytes(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

}  // namespace tav
