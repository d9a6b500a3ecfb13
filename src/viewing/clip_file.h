// Clip files: a section of a trip saved for the heart-rate scan.
//
// Layout (little-endian): int32 count | count + 1 records of 40 bytes (the
// trip's header record, then the count records of the section) | 100-byte
// text, zero-terminated. Reading a clip into a trip buffer puts the header at
// record 0, so the buffer's record count is count + 1, and clears up to
// kClipFillRecords records after its end (never record kClipFillLimit or
// beyond), so code that looks a little past the end reads zeros.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/trip_types.h"

namespace tav {

inline constexpr const char* kClipFileName = "CLIP2.DEO";
inline constexpr std::size_t kClipTextBytes = 100;
inline constexpr int kClipFillRecords = 2000;
inline constexpr int kClipFillLimit = 42000;

// The bytes of a clip of records first..last of trip (count records including
// the header). Empty when the section is not inside records 1..count-1.
std::string EncodeClip(const TripSample* trip, int count, int first, int last,
                       std::string_view text);

// Writes the clip to path (temporary file and rename). False when the
// section is empty or the file cannot be written; an old file then stays.
bool WriteClipFile(const std::filesystem::path& path, const TripSample* trip, int count,
                   int first, int last, std::string_view text);

struct ClipReadResult {
  bool ok = false;
  int records = 0;   // records in the buffer, header included (count + 1)
  std::string text;  // the clip's text up to its terminator
};

// Reads a clip into buffer (capacity records). Checks the file completely
// before it touches the buffer: a file that cannot be read, is shorter or
// longer than its count says, has a negative count or does not fit the
// buffer leaves the buffer as it was and returns ok = false.
// Records that are plainly no samples (PlausibleSample) are refused too.
ClipReadResult ReadClipFile(const std::filesystem::path& path, TripSample* buffer, int capacity);
// The same for the bytes of a clip file.
ClipReadResult DecodeClip(std::string_view bytes, TripSample* buffer, int capacity);

// The record index up to which ReadClipFile clears after a clip of
// `records` records (exclusive).
int ClipFillEnd(int records, int capacity);

}  // namespace tav
