// Base64 (RFC 2045 alphabet): whole strings, and files streamed one mail line
// of 72 characters at a time so an attachment is never held in memory.
#pragma once

#include <cstdio>
#include <filesystem>
#include <istream>
#include <memory>
#include <string>
#include <string_view>

namespace tav {

// Encodes without line breaks; the last group is padded with '='.
std::string Base64Encode(std::string_view data);

// Inverse of Base64Encode. Characters outside the alphabet (line breaks,
// blanks) are skipped, decoding stops at the first '=', and an incomplete
// final group yields the bytes its characters carry. Never reads past the
// input, so any text is safe to pass.
std::string Base64Decode(std::string_view text);

// An attachment open for streamed encoding: a file it owns, or a stream
// owned elsewhere (read from its start).
class TBase64FileStream {
 public:
  ~TBase64FileStream();
  TBase64FileStream(const TBase64FileStream&) = delete;
  TBase64FileStream& operator=(const TBase64FileStream&) = delete;
  // Reads up to n bytes; returns the count (less than n only at the end).
  // Throws std::runtime_error when reading fails, so a damaged source is
  // never sent as a shorter attachment.
  std::size_t Read(unsigned char* out, std::size_t n);
  static std::unique_ptr<TBase64FileStream> FromStream(std::istream& in);

 private:
  friend std::unique_ptr<TBase64FileStream> InitFileEncBase64(const std::filesystem::path&, int);
  TBase64FileStream(std::FILE* f, std::string name) : file_(f), name_(std::move(name)) {}
  explicit TBase64FileStream(std::istream* in) : in_(in) {}
  std::FILE* file_ = nullptr;
  std::istream* in_ = nullptr;
  std::string name_;
};

// Opens the file for reading. share_mode carries the share flags of the
// sender's settings (0, 16, 32, 48, 64); this platform has no mandatory
// locks, so they are accepted and otherwise have no effect.
// Throws std::runtime_error with a readable text when the file cannot be opened.
std::unique_ptr<TBase64FileStream> InitFileEncBase64(const std::filesystem::path& path,
                                                     int share_mode);

// The next line of at most 72 characters: encodes 3-byte groups until the
// line is full or a read returns fewer than 3 bytes. more is true while the
// last read returned a full group (so a file whose size is a multiple of 54
// ends with an empty line).
std::string DoFileEncBase64(TBase64FileStream& stream, bool& more);

// Closes the stream and clears the handle.
void EndFileEncBase64(std::unique_ptr<TBase64FileStream>& stream);

}  // namespace tav
