#include "mail/mime_util.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <random>

namespace tav {

std::string FilenameToContentType(std::string_view file_name) {
  std::string ext;
  auto dot = file_name.rfind('.');
  auto slash = file_name.find_last_of("/\\");
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash))
    for (char c : file_name.substr(dot + 1))
      ext += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  if (ext == "htm" || ext == "html") return "text/html";
  if (ext == "gif") return "image/gif";
  if (ext == "bmp") return "image/bmp";
  if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
  if (ext == "png") return "image/png";
  if (ext == "txt") return "text/plain";
  return "application/octet-stream";
}

std::string DotEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '.' && (i == 0 || (i >= 2 && text[i - 1] == '\n' && text[i - 2] == '\r')))
      out += '.';
    out += text[i];
  }
  return out;
}

std::string Rfc822DateTime(std::time_t t) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm tm{};
  if (!gmtime_r(&t, &tm)) {
    std::time_t zero = 0;
    gmtime_r(&zero, &tm);
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %d %s %4d %02d:%02d:%02d GMT", kDays[tm.tm_wday % 7],
                tm.tm_mday, kMonths[tm.tm_mon % 12], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                tm.tm_sec);
  return buf;
}

std::string NewMessageId(std::string_view sender_address) {
  static std::atomic<unsigned> counter{0};
  static std::mutex rng_mutex;
  static std::mt19937 rng(std::random_device{}());
  unsigned random = 0;
  {
    std::lock_guard<std::mutex> lock(rng_mutex);
    random = static_cast<unsigned>(rng());
  }
  // A domain of letters, digits, '-' and inner dots (no empty label).
  std::string_view domain;
  if (auto at = sender_address.rfind('@'); at != std::string_view::npos) domain = sender_address.substr(at + 1);
  bool plain = !domain.empty() && domain.front() != '.' && domain.back() != '.' &&
               domain.find("..") == std::string_view::npos;
  for (char c : domain)
    plain = plain && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                      c == '.');
  char unique[64];
  std::snprintf(unique, sizeof unique, "%llX.%X.%X.%08X", static_cast<unsigned long long>(std::time(nullptr)),
                static_cast<unsigned>(::getpid()), ++counter, random);
  std::string id(1, '<');
  id += unique;
  id += '@';
  id += plain ? domain : std::string_view("localhost");
  id += '>';
  return id;
}

}  // namespace tav
