#include "mail/smtp_util.h"

#include <algorithm>

#include "mail/qp.h"

namespace tav {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Characters that stand for themselves in a Q-encoded word (RFC 2047 5(3)).
bool QWordSafe(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '!' || c == '*' || c == '+' || c == '-' || c == '/';
}

}  // namespace

std::string SmtpTrim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

void ParseEmail(std::string_view text, std::string& friendly_name, std::string& address) {
  friendly_name.clear();
  address.clear();
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  std::string_view s = text.substr(i);
  // The text between '<' at lt and the next '>' (or the end).
  auto bracketed = [](std::string_view t, std::size_t lt) {
    std::size_t gt = t.find('>', lt + 1);
    return std::string(t.substr(lt + 1, gt == std::string_view::npos ? std::string_view::npos
                                                                     : gt - lt - 1));
  };
  if (!s.empty() && (s[0] == '"' || s[0] == '\'')) {
    std::size_t close = s.find(s[0], 1);
    std::string_view rest;
    if (close == std::string_view::npos) {
      friendly_name = std::string(s.substr(1));
    } else {
      friendly_name = std::string(s.substr(1, close - 1));
      rest = s.substr(close + 1);
    }
    std::size_t lt = rest.find('<');
    if (lt != std::string_view::npos)
      address = bracketed(rest, lt);
    else
      address = SmtpTrim(rest);
  } else {
    std::size_t lt = s.find('<');
    if (lt != std::string_view::npos) {
      friendly_name = SmtpTrim(s.substr(0, lt));
      address = bracketed(s, lt);
    } else {
      std::size_t sp = s.find(' ');
      friendly_name = std::string(s.substr(0, sp));
      if (sp != std::string_view::npos) address = SmtpTrim(s.substr(sp + 1));
    }
  }
  if (address.empty() && friendly_name.find('@') != std::string::npos) address = friendly_name;
}

std::vector<std::string> SplitAddressList(std::string_view value) {
  std::vector<std::string> items;
  bool quoted = false;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= value.size(); ++i) {
    if (i < value.size()) {
      char c = value[i];
      if (c == '"') quoted = !quoted;
      if (quoted || (c != ',' && c != ';')) continue;
    }
    std::string item = SmtpTrim(value.substr(start, i - start));
    if (!item.empty()) items.push_back(std::move(item));
    start = i + 1;
  }
  return items;
}

std::vector<std::string> FoldedAddressHeader(std::string_view name,
                                             const std::vector<std::string>& items) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < items.size(); ++i) {
    std::string line = i == 0 ? SmtpTrim(name) + " " + items[i] : "\t" + items[i];
    if (i + 1 < items.size()) line += ',';
    lines.push_back(std::move(line));
  }
  if (lines.empty()) lines.push_back(SmtpTrim(name) + " ");
  return lines;
}

std::string EncodeHeaderText(std::string_view text, std::string_view charset,
                             std::size_t start_column) {
  const std::string open = "=?" + std::string(charset) + "?Q?";
  const std::string close = "?=";
  const bool utf8 = IsUtf8CharSet(charset);
  std::string out;
  std::string word;
  std::size_t column = start_column;
  auto flush = [&] {
    if (word.empty()) return;
    if (!out.empty()) {
      out += "\r\n ";
      column = 1;
    }
    out += open + word + close;
    column += open.size() + word.size() + close.size();
    word.clear();
  };
  for (std::size_t i = 0; i < text.size();) {
    // One character: a byte, or with UTF-8 a lead byte and its continuation
    // bytes, which must stay in one encoded word (RFC 2047 5).
    std::size_t n = 1;
    if (utf8) {
      const auto lead = static_cast<unsigned char>(text[i]);
      const std::size_t len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      while (n < len && i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
    }
    std::string piece;
    for (std::size_t k = i; k < i + n; ++k) {
      const auto c = static_cast<unsigned char>(text[k]);
      if (c == ' ')
        piece += '_';
      else if (QWordSafe(c))
        piece += static_cast<char>(c);
      else
        AppendHexEscape(piece, '=', c);
    }
    i += n;
    // An encoded word is at most 75 characters and a line at most 76.
    std::size_t word_len = open.size() + word.size() + piece.size() + close.size();
    std::size_t line_len = (out.empty() ? column : 1) + word_len;
    if (!word.empty() && (word_len > 75 || line_len > 76)) flush();
    word += piece;
  }
  flush();
  if (out.empty()) out = open + close;
  return out;
}

namespace {

constexpr std::size_t kWantedLine = 78, kMostLine = 998;

struct Folded {
  std::string text;
  std::size_t longest = 0;  // the longest line, start column included
};

// CR LF inserted before a run of blanks that is followed by a word, where the
// line would otherwise pass kWantedLine; never at or after no_fold_from. So
// every continuation line starts with a blank and holds a word, and removing
// the CR LFs gives the text back (RFC 5322 unfolding).
Folded FoldAtBlanks(std::string_view text, std::size_t start_column,
                    std::size_t no_fold_from = std::string_view::npos) {
  Folded f;
  std::size_t column = start_column;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t j = i;
    while (j < text.size() && (text[j] == ' ' || text[j] == '\t')) ++j;
    const bool blanks = j > i;
    while (j < text.size() && text[j] != ' ' && text[j] != '\t') ++j;
    const std::string_view piece = text.substr(i, j - i);
    const bool word = piece.find_first_not_of(" \t") != std::string_view::npos;
    if (blanks && word && i < no_fold_from && column > 0 && column + piece.size() > kWantedLine &&
        !f.text.empty()) {
      f.text += "\r\n";
      column = 0;
    }
    f.text += piece;
    column += piece.size();
    f.longest = std::max(f.longest, column);
    i = j;
  }
  f.longest = std::max(f.longest, column);
  return f;
}

}  // namespace

std::string FoldHeaderText(std::string_view text, std::string_view charset, std::size_t start_column) {
  if (HasEightBitBytes(text)) return EncodeHeaderText(text, charset, start_column);
  if (start_column + text.size() <= kWantedLine) return std::string(text);
  Folded f = FoldAtBlanks(text, start_column);
  // A word longer than a line may be: encoded words may be cut anywhere.
  if (f.longest > kMostLine) return EncodeHeaderText(text, charset, start_column);
  return f.text;
}

std::string EncodeAddressItem(std::string_view item, std::string_view charset, std::size_t start_column) {
  if (!HasEightBitBytes(item)) return std::string(item);
  std::string friendly, address;
  ParseEmail(item, friendly, address);
  if (address.empty() || HasEightBitBytes(address) || friendly == address)
    return EncodeHeaderText(item, charset, start_column);
  return EncodeHeaderText(friendly, charset, start_column) + " <" + address + ">";
}

std::string FoldAddressItem(std::string_view item, std::string_view charset, std::size_t start_column) {
  if (HasEightBitBytes(item)) return EncodeAddressItem(item, charset, start_column);
  if (start_column + item.size() <= kWantedLine) return std::string(item);
  // The name may be folded, the address in its angle brackets may not.
  std::size_t lt = 0;
  bool quoted = false;
  for (; lt < item.size(); ++lt) {
    if (item[lt] == '"') quoted = !quoted;
    if (!quoted && item[lt] == '<') break;
  }
  Folded f = FoldAtBlanks(item, start_column, lt == item.size() ? std::string_view::npos : lt);
  if (f.longest <= kMostLine) return f.text;
  // A word of the name longer than a line may be: the name as encoded words.
  std::string friendly, address;
  ParseEmail(item, friendly, address);
  if (address.empty() || friendly.empty() || friendly == address) return f.text;  // an address alone
  return EncodeHeaderText(friendly, charset, start_column) + " <" + address + ">";
}

std::string SafeParameterValue(std::string_view value) {
  std::string out(value);
  for (char& c : out) {
    auto u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127 || c == '"' || c == '\\') c = '_';
  }
  return out;
}

std::string DataLineToWire(std::string_view line) {
  std::string out;
  out.reserve(line.size() + 4);
  bool line_start = true;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < line.size() && line[i + 1] == '\n') ++i;
      out += "\r\n";
      line_start = true;
      continue;
    }
    if (line_start && c == '.') out += '.';
    line_start = false;
    out += c;
  }
  out += "\r\n";
  return out;
}

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string CharSetFor(std::string_view charset, std::string_view text) {
  static constexpr std::string_view kLatin1 = "iso-8859-1";
  bool latin1 = charset.size() == kLatin1.size();
  for (std::size_t i = 0; latin1 && i < charset.size(); ++i) {
    const char c = charset[i];
    latin1 = (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) == kLatin1[i];
  }
  if (latin1)
    for (char ch : text)
      if (const auto c = static_cast<unsigned char>(ch); c >= 0x80 && c <= 0x9F) return "windows-1252";
  return std::string(charset);
}

bool IsUtf8CharSet(std::string_view charset) {
  std::string lower(charset);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower == "utf-8" || lower == "utf8";
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t len = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) low = 0xA0;   // overlong
      if (c == 0xED) high = 0x9F;  // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) low = 0x90;   // overlong
      if (c == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
      return false;
    }
    if (i + len > text.size()) return false;
    for (std::size_t k = 1; k < len; ++k) {
      const auto b = static_cast<unsigned char>(text[i + k]);
      if (k == 1 ? (b < low || b > high) : (b & 0xC0) != 0x80) return false;
    }
    i += len;
  }
  return true;
}

bool ExceedsSmtpLineLimit(std::string_view line) {
  constexpr std::size_t kLimit = 998;
  if (line.size() < kLimit) return false;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= line.size(); ++i) {
    if (i < line.size() && line[i] != '\r' && line[i] != '\n') continue;
    const std::size_t len = i - start + (i > start && line[start] == '.' ? 1 : 0);
    if (len > kLimit) return true;
    start = i + 1;
  }
  return false;
}

}  // namespace tav
