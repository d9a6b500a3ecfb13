#include "mail/base64.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace tav {

namespace {

constexpr char kAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<signed char, 256> MakeInverse() {
  std::array<signed char, 256> inv{};
  for (auto& v : inv) v = -1;
  for (int i = 0; i < 64; ++i) inv[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
  return inv;
}
constexpr std::array<signed char, 256> kInverse = MakeInverse();

// Appends the 4 characters of a group of n (1..3) bytes.
void EncodeGroup(const unsigned char* in, std::size_t n, std::string& out) {
  uint32_t v = static_cast<uint32_t>(in[0]) << 16;
  if (n > 1) v |= static_cast<uint32_t>(in[1]) << 8;
  if (n > 2) v |= in[2];
  out += kAlphabet[(v >> 18) & 63];
  out += kAlphabet[(v >> 12) & 63];
  out += n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
  out += n > 2 ? kAlphabet[v & 63] : '=';
}

}  // namespace

std::string Base64Encode(std::string_view data) {
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  auto p = reinterpret_cast<const unsigned char*>(data.data());
  std::size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) EncodeGroup(p + i, 3, out);
  if (i < data.size()) EncodeGroup(p + i, data.size() - i, out);
  return out;
}

std::string Base64Decode(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 3);
  uint32_t acc = 0;
  int held = 0;  // sextets in acc
  for (char ch : text) {
    if (ch == '=') break;
    int v = kInverse[static_cast<unsigned char>(ch)];
    if (v < 0) continue;
    acc = (acc << 6) | static_cast<uint32_t>(v);
    if (++held == 4) {
      out += static_cast<char>((acc >> 16) & 0xFF);
      out += static_cast<char>((acc >> 8) & 0xFF);
      out += static_cast<char>(acc & 0xFF);
      acc = 0;
      held = 0;
    }
  }
  // A final group of 2 sextets carries one byte, of 3 two; a lone sextet none.
  if (held == 2) {
    out += static_cast<char>((acc >> 4) & 0xFF);
  } else if (held == 3) {
    out += static_cast<char>((acc >> 10) & 0xFF);
    out += static_cast<char>((acc >> 2) & 0xFF);
  }
  return out;
}

TBase64FileStream::~TBase64FileStream() {
  if (file_) std::fclose(file_);
}

std::size_t TBase64FileStream::Read(unsigned char* out, std::size_t n) {
  std::size_t got = 0;
  if (in_) {
    while (got < n && in_->good()) {
      in_->read(reinterpret_cast<char*>(out + got), static_cast<std::streamsize>(n - got));
      got += static_cast<std::size_t>(in_->gcount());
    }
    if (in_->bad()) throw std::runtime_error("Error reading an attachment stream");
    return got;
  }
  while (got < n) {
    std::size_t r = std::fread(out + got, 1, n - got, file_);
    if (r == 0) break;
    got += r;
  }
  if (got < n && std::ferror(file_)) {
    int err = errno;
    throw std::runtime_error("Error reading file \"" + name_ + "\". " + std::strerror(err));
  }
  return got;
}

std::unique_ptr<TBase64FileStream> TBase64FileStream::FromStream(std::istream& in) {
  in.clear();
  in.seekg(0);
  in.clear();
  return std::unique_ptr<TBase64FileStream>(new TBase64FileStream(&in));
}

std::unique_ptr<TBase64FileStream> InitFileEncBase64(const std::filesystem::path& path,
                                                     int /*share_mode*/) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    int err = errno;
    throw std::runtime_error("Cannot open file \"" + path.string() + "\". " + std::strerror(err));
  }
  return std::unique_ptr<TBase64FileStream>(new TBase64FileStream(f, path.string()));
}

std::string DoFileEncBase64(TBase64FileStream& stream, bool& more) {
  std::string line;
  line.reserve(72);
  unsigned char group[3];
  more = true;
  while (line.size() < 72) {
    std::size_t n = stream.Read(group, 3);
    if (n > 0) EncodeGroup(group, n, line);
    if (n < 3) {
      more = false;
      break;
    }
  }
  return line;
}

void EndFileEncBase64(std::unique_ptr<TBase64FileStream>& stream) { stream.reset(); }

}  // namespace tav
