#include "viewing/clip_file.h"

#include <algorithm>
#include <cstring>

#include "core/trip_file.h"
#include "platform/strings.h"

namespace tav {

namespace {
constexpr std::size_t kCountBytes = 4;
static_assert(TripSample::kBytes == 40);

std::size_t ClipBytes(int count) {
  return kCountBytes + static_cast<std::size_t>(count + 1) * TripSample::kBytes + kClipTextBytes;
}
}  // namespace

std::string EncodeClip(const TripSample* trip, int count, int first, int last,
                       std::string_view text) {
  if (trip == nullptr || first < 1 || last < first || last >= count) return {};
  const int n = last - first + 1;
  std::string bytes(ClipBytes(n), '\0');
  auto* out = reinterpret_cast<unsigned char*>(bytes.data());
  le::PutI32(out, n);
  out += kCountBytes;
  trip[0].Store(out);
  out += TripSample::kBytes;
  for (int i = first; i <= last; ++i, out += TripSample::kBytes) trip[i].Store(out);
  // The text keeps its terminator inside the 100 bytes.
  std::memcpy(out, text.data(), std::min(text.size(), kClipTextBytes - 1));
  return bytes;
}

bool WriteClipFile(const std::filesystem::path& path, const TripSample* trip, int count,
                   int first, int last, std::string_view text) {
  std::string bytes = EncodeClip(trip, count, first, last, text);
  if (bytes.empty()) return false;
  return WriteFileAtomically(path, bytes);
}

int ClipFillEnd(int records, int capacity) {
  return std::max(records, std::min({records + kClipFillRecords, kClipFillLimit, capacity}));
}

ClipReadResult ReadClipFile(const std::filesystem::path& path, TripSample* buffer, int capacity) {
  std::string bytes;
  if (buffer == nullptr || !ReadWholeFile(path, bytes)) return {};
  return DecodeClip(bytes, buffer, capacity);
}

ClipReadResult DecodeClip(std::string_view bytes, TripSample* buffer, int capacity) {
  ClipReadResult result;
  if (buffer == nullptr || bytes.size() < kCountBytes) return result;
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const int32_t count = le::GetI32(in);
  if (count < 0 || count >= capacity || bytes.size() != ClipBytes(count)) return result;
  const int records = count + 1;
  in += kCountBytes;
  // The section's records must be samples before any of them is taken.
  for (int i = 1; i < records; ++i) {
    const TripSample s = TripSample::Load(in + static_cast<std::size_t>(i) * TripSample::kBytes);
    const TripSample before = TripSample::Load(in + static_cast<std::size_t>(i > 1 ? i - 1 : 1) * TripSample::kBytes);
    if (!PlausibleSample(s, before)) return result;
  }
  for (int i = 0; i < records; ++i, in += TripSample::kBytes) buffer[i] = TripSample::Load(in);
  const char* text = reinterpret_cast<const char*>(in);
  result.text.assign(text, strnlen(text, kClipTextBytes));
  const int fill_end = ClipFillEnd(records, capacity);
  for (int i = records; i < fill_end; ++i) buffer[i] = TripSample{};
  result.ok = true;
  result.records = records;
  return result;
}

}  // namespace tav
