// MD5 (RFC 1321), HMAC-MD5 (RFC 2104) and the CRAM-MD5 answer (RFC 2195).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tav {

using TMD5Digest = std::array<uint8_t, 16>;

struct TMD5Context {
  uint32_t state[4];
  uint64_t count;  // bits hashed so far
  uint8_t buffer[64];
};

void MD5Init(TMD5Context& ctx);
void MD5Update(TMD5Context& ctx, const void* data, std::size_t length);
void MD5Final(TMD5Digest& digest, TMD5Context& ctx);
// One 64-byte block into the four state words.
void MD5Transform(uint32_t state[4], const uint8_t block[64]);
// Same result as MD5Update; feeds the data through a 16384-byte copy buffer.
void MD5UpdateBuffer(TMD5Context& ctx, const void* data, std::size_t length);

// Digests as 32 upper-case hexadecimal characters.
std::string GetMD5(const void* data, std::size_t length);
std::string StrMD5(std::string_view text);
// Empty string when the file cannot be read.
std::string FileMD5(const std::filesystem::path& path);

TMD5Digest MD5Digest(std::string_view data);
std::string DigestToHex(const TMD5Digest& d, bool upper_case);

// HMAC-MD5; a key longer than the 64-byte block is hashed first (RFC 2104).
TMD5Digest HmacMD5(std::string_view key, std::string_view data);

// The Base64 answer to a CRAM-MD5 challenge (the challenge already decoded):
// Base64(user + " " + lower-case hex of HMAC-MD5(password, challenge)).
std::string CramMD5Response(std::string_view user, std::string_view password,
                            std::string_view challenge);

}  // namespace tav
