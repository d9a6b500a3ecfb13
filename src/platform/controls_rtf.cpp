// RTF reduced to its plain text, for rich edits that show help texts.
#include <cctype>
#include <cstdlib>
#include <set>

#include "platform/controls.h"
#include "platform/text.h"

namespace tav {

namespace {

// Groups whose text is not part of the document.
const std::set<std::string, std::less<>> kSkippedDestinations = {
    "fonttbl",   "colortbl",  "stylesheet", "info",       "pict",        "object",   "header",
    "footer",    "headerl",   "headerr",    "headerf",    "footerl",     "footerr",  "footerf",
    "listtable", "listoverridetable",       "rsidtbl",    "generator",   "xmlnstbl", "themedata",
    "colorschememapping",     "datastore",  "latentstyles", "filetbl",   "revtbl",   "fldinst",
    "bkmkstart", "bkmkend",   "footnote",   "annotation", "atnid",       "atnauthor", "pgdsctbl",
    "mmathPr",   "wgrffmtfilter", "template", "userprops", "docvar",     "nonshppict", "blipuid"};

struct Group {
  bool skip = false;
  int uc = 1;  // bytes of fallback text after a \u character
};

}  // namespace

std::string RtfToText(std::string_view rtf) {
  std::string out;
  std::vector<Group> stack{Group{}};
  int fallback_left = 0;  // fallback characters of a \u still to drop
  auto emit = [&](char c) {
    if (fallback_left > 0) {
      --fallback_left;
      return;
    }
    if (!stack.back().skip) out += c;
  };
  auto emit_text = [&](std::string_view s) {
    if (!stack.back().skip) out += s;
  };
  std::size_t i = 0;
  const std::size_t n = rtf.size();
  bool group_start = false;  // just after '{': a destination may follow
  while (i < n) {
    char c = rtf[i];
    if (c == '{') {
      stack.push_back(stack.back());
      fallback_left = 0;
      group_start = true;
      ++i;
      continue;
    }
    if (c == '}') {
      if (stack.size() > 1) stack.pop_back();
      fallback_left = 0;
      group_start = false;
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (c != '\\') {
      group_start = false;
      emit(c);
      ++i;
      continue;
    }
    // A control word or symbol.
    ++i;
    if (i >= n) break;
    char s = rtf[i];
    if (!std::isalpha(static_cast<unsigned char>(s))) {
      ++i;
      const bool at_start = group_start;
      group_start = false;
      switch (s) {
        case '\\':
        case '{':
        case '}':
          emit(s);
          break;
        case '\'': {
          int value = -1;
          if (i + 2 <= n && std::isxdigit(static_cast<unsigned char>(rtf[i])) &&
              std::isxdigit(static_cast<unsigned char>(rtf[i + 1])))
            value = static_cast<int>(std::strtol(std::string(rtf.substr(i, 2)).c_str(), nullptr, 16));
          if (value >= 0) {
            i += 2;
            emit(static_cast<char>(value));
          }
          break;
        }
        case '~':
          emit('\xA0');
          break;
        case '_':
          emit('-');
          break;
        case '*':
          if (at_start) stack.back().skip = true;  // an optional destination
          break;
        case '\r':
        case '\n':
          emit_text("\r\n");  // an escaped line break is a paragraph
          break;
        default:
          break;  // \- optional hyphen, \: index entries ...
      }
      continue;
    }
    std::size_t word_start = i;
    while (i < n && std::isalpha(static_cast<unsigned char>(rtf[i]))) ++i;
    std::string_view word = rtf.substr(word_start, i - word_start);
    bool has_param = false;
    long param = 0;
    if (i < n && (rtf[i] == '-' || std::isdigit(static_cast<unsigned char>(rtf[i])))) {
      std::size_t p = i;
      if (rtf[p] == '-') ++p;
      while (p < n && std::isdigit(static_cast<unsigned char>(rtf[p])) && p - i < 10) ++p;
      param = std::strtol(std::string(rtf.substr(i, p - i)).c_str(), nullptr, 10);
      has_param = p > i + (rtf[i] == '-' ? 1 : 0);
      i = p;
    }
    if (i < n && rtf[i] == ' ') ++i;  // the delimiting blank belongs to the word
    const bool at_start = group_start;
    group_start = false;
    if (at_start && kSkippedDestinations.count(word)) {
      stack.back().skip = true;
      continue;
    }
    if (word == "par" || word == "line" || word == "row" || word == "sect" || word == "page") {
      emit_text("\r\n");
    } else if (word == "tab" || word == "cell") {
      emit_text("\t");
    } else if (word == "uc" && has_param) {
      stack.back().uc = static_cast<int>(std::max(0L, param));
    } else if (word == "u" && has_param) {
      long cp = param < 0 ? param + 65536 : param;
      auto byte = UnicodeToCp1252(static_cast<char32_t>(cp));
      emit_text(std::string(1, byte ? static_cast<char>(*byte) : '?'));
      fallback_left = stack.back().uc;
    } else if (word == "emdash") {
      emit_text("\x97");
    } else if (word == "endash") {
      emit_text("\x96");
    } else if (word == "bullet") {
      emit_text("\x95");
    } else if (word == "lquote") {
      emit_text("\x91");
    } else if (word == "rquote") {
      emit_text("\x92");
    } else if (word == "ldblquote") {
      emit_text("\x93");
    } else if (word == "rdblquote") {
      emit_text("\x94");
    } else if (word == "emspace" || word == "enspace" || word == "qmspace") {
      emit_text(" ");
    }
    // Every other word is formatting.
  }
  return out;
}

}  // namespace tav
