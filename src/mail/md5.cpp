#include "mail/md5.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <vector>

#include "mail/base64.h"

namespace tav {

namespace {

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

inline uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (~x & z); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & z) | (y & ~z); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

}  // namespace

void MD5Init(TMD5Context& ctx) {
  ctx.state[0] = 0x67452301;
  ctx.state[1] = 0xefcdab89;
  ctx.state[2] = 0x98badcfe;
  ctx.state[3] = 0x10325476;
  ctx.count = 0;
  std::memset(ctx.buffer, 0, sizeof ctx.buffer);
}

void MD5Transform(uint32_t state[4], const uint8_t block[64]) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i)
    x[i] = static_cast<uint32_t>(block[4 * i]) | static_cast<uint32_t>(block[4 * i + 1]) << 8 |
           static_cast<uint32_t>(block[4 * i + 2]) << 16 |
           static_cast<uint32_t>(block[4 * i + 3]) << 24;
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int k;
    switch (i / 16) {
      case 0: f = F(b, c, d); k = i; break;
      case 1: f = G(b, c, d); k = (5 * i + 1) % 16; break;
      case 2: f = H(b, c, d); k = (3 * i + 5) % 16; break;
      default: f = I(b, c, d); k = (7 * i) % 16; break;
    }
    uint32_t t = d;
    d = c;
    c = b;
    b = b + Rotl(a + f + kSine[i] + x[k], kShift[i / 16][i % 4]);
    a = t;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

void MD5Update(TMD5Context& ctx, const void* data, std::size_t length) {
  auto in = static_cast<const uint8_t*>(data);
  std::size_t used = static_cast<std::size_t>((ctx.count >> 3) & 63);
  ctx.count += static_cast<uint64_t>(length) << 3;
  if (length == 0) return;
  if (used) {
    std::size_t take = std::min(length, 64 - used);
    std::memcpy(ctx.buffer + used, in, take);
    in += take;
    length -= take;
    if (used + take < 64) return;
    MD5Transform(ctx.state, ctx.buffer);
  }
  for (; length >= 64; in += 64, length -= 64) MD5Transform(ctx.state, in);
  if (length) std::memcpy(ctx.buffer, in, length);
}

void MD5Final(TMD5Digest& digest, TMD5Context& ctx) {
  uint8_t bits[8];
  for (int i = 0; i < 8; ++i) bits[i] = static_cast<uint8_t>(ctx.count >> (8 * i));
  std::size_t used = static_cast<std::size_t>((ctx.count >> 3) & 63);
  static const uint8_t kPad[64] = {0x80};
  MD5Update(ctx, kPad, used < 56 ? 56 - used : 120 - used);
  MD5Update(ctx, bits, 8);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(ctx.state[i] >> (8 * j));
  std::memset(&ctx, 0, sizeof ctx);
}

void MD5UpdateBuffer(TMD5Context& ctx, const void* data, std::size_t length) {
  uint8_t copy[16384];
  auto in = static_cast<const uint8_t*>(data);
  while (length) {
    std::size_t n = std::min(length, sizeof copy);
    std::memcpy(copy, in, n);
    MD5Update(ctx, copy, n);
    in += n;
    length -= n;
  }
}

std::string DigestToHex(const TMD5Digest& d, bool upper_case) {
  const char* hex = upper_case ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string s;
  s.reserve(32);
  for (uint8_t b : d) {
    s += hex[b >> 4];
    s += hex[b & 15];
  }
  return s;
}

TMD5Digest MD5Digest(std::string_view data) {
  TMD5Context ctx;
  MD5Init(ctx);
  MD5Update(ctx, data.data(), data.size());
  TMD5Digest d;
  MD5Final(d, ctx);
  return d;
}

std::string GetMD5(const void* data, std::size_t length) {
  TMD5Context ctx;
  MD5Init(ctx);
  MD5UpdateBuffer(ctx, data, length);
  TMD5Digest d;
  MD5Final(d, ctx);
  return DigestToHex(d, true);
}

std::string StrMD5(std::string_view text) { return GetMD5(text.data(), text.size()); }

std::string FileMD5(const std::filesystem::path& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return {};
  TMD5Context ctx;
  MD5Init(ctx);
  std::vector<uint8_t> block(102400);
  bool ok = true;
  for (;;) {
    std::size_t n = std::fread(block.data(), 1, block.size(), f);
    if (n) MD5Update(ctx, block.data(), n);
    if (n < block.size()) {
      ok = !std::ferror(f);
      break;
    }
  }
  std::fclose(f);
  TMD5Digest d;
  MD5Final(d, ctx);
  return ok ? DigestToHex(d, true) : std::string();
}

TMD5Digest HmacMD5(std::string_view key, std::string_view data) {
  uint8_t k[64] = {};
  if (key.size() > 64) {
    TMD5Digest kd = MD5Digest(key);
    std::memcpy(k, kd.data(), kd.size());
  } else if (!key.empty()) {
    std::memcpy(k, key.data(), key.size());
  }
  uint8_t ipad[64], opad[64];
  for (int i = 0; i < 64; ++i) {
    ipad[i] = k[i] ^ 0x36;
    opad[i] = k[i] ^ 0x5c;
  }
  TMD5Context ctx;
  TMD5Digest inner, outer;
  MD5Init(ctx);
  MD5Update(ctx, ipad, 64);
  MD5Update(ctx, data.data(), data.size());
  MD5Final(inner, ctx);
  MD5Init(ctx);
  MD5Update(ctx, opad, 64);
  MD5Update(ctx, inner.data(), inner.size());
  MD5Final(outer, ctx);
  return outer;
}

std::string CramMD5Response(std::string_view user, std::string_view password,
                            std::string_view challenge) {
  std::string answer(user);
  answer += ' ';
  answer += DigestToHex(HmacMD5(password, challenge), false);
  return Base64Encode(answer);
}

}  // namespace tav
