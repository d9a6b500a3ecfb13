#include "core/trip_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "core/core_data.h"
#include "core/trip_line.h"
#include "core/user_words.h"
#include "platform/text.h"
#include "platform/vector_state.h"

namespace tav {

using namespace literals;

namespace {

const unsigned char* Bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// The message of a refused trip file; `name` names the file ("" when unknown).
TripReadError Refuse(TripReadError e, std::string_view name, const std::string& text, std::string* error) {
  if (error) *error = (name.empty() ? std::string("The trip file") : "The trip file " + std::string(name)) + text;
  return e;
}

// Checks the count word of a file of `size` bytes (`size` >= 4) against
// the limits and the file's length.
TripReadError CheckCount(int32_t count, std::size_t size, std::string_view name, std::string* error) {
  if (count < kMinTripRecords)
    return Refuse(TripReadError::TooFewRecords, name,
                  Format(" holds %i records; at least %i are needed.", count, kMinTripRecords), error);
  if (count >= kMaxTripRecords)
    return Refuse(TripReadError::TooManyRecords, name,
                  Format(" claims %i records; fewer than %i are allowed.", count, kMaxTripRecords), error);
  if (size < DeoZoneBlockOffset(count))
    return Refuse(TripReadError::Truncated, name,
                  Format(" is shorter than its %i records; it was not read.", count), error);
  return TripReadError::None;
}

// The magnitude of a value as ordered bits: above kMaxValueBits for values
// beyond kMaxSampleValue, infinities and NaN alike.
uint32_t MagnitudeBits(float v) { return std::bit_cast<uint32_t>(v) & 0x7FFFFFFFu; }
constexpr uint32_t kMaxValueBits = std::bit_cast<uint32_t>(kMaxSampleValue);

#if defined(__x86_64__) || defined(__i386__)
// As PlausibleRun below, four records (forty words, five vectors of eight)
// at a time, on processors with AVX2. Returns the first record it did not
// check; `bad` tells whether one of those it checked is no sample, `prev`
// is the time of the last one it checked.
__attribute__((target("avx2"))) int PlausibleRunAvx2(const TripSample* s, int i, int end, int32_t& prev,
                                                     bool& bad) {
  constexpr int F = 0x7FFFFFFF;
  const __m256i masks[5] = {_mm256_setr_epi32(0, F, F, F, F, F, F, F), _mm256_setr_epi32(0, 0, 0, F, F, F, F, F),
                            _mm256_setr_epi32(F, F, 0, 0, 0, F, F, F), _mm256_setr_epi32(F, F, F, F, 0, 0, 0, F),
                            _mm256_setr_epi32(F, F, F, F, F, F, 0, 0)};
  const __m256i limit = _mm256_set1_epi32(static_cast<int>(kMaxValueBits));
  __m256i sum = _mm256_setzero_si256();
  bool backwards = false;
  for (; i + 4 <= end; i += 4) {
    const auto* words = reinterpret_cast<const __m256i*>(s + i);
    for (int k = 0; k < 5; ++k)
      sum = _mm256_or_si256(sum, _mm256_sub_epi32(limit, _mm256_and_si256(_mm256_loadu_si256(words + k), masks[k])));
    backwards |= (s[i].Time < prev) | (s[i + 1].Time < s[i].Time) | (s[i + 2].Time < s[i + 1].Time) |
                 (s[i + 3].Time < s[i + 2].Time);
    prev = s[i + 3].Time;
  }
  bad = backwards || _mm256_movemask_ps(_mm256_castsi256_ps(sum)) != 0;
  _mm256_zeroupper();
  return i;
}
#endif

// Records [first, end) of `s` checked as PlausibleSample does, without a
// branch per value; `prev` is the time of the record before `first`.
// Whether all of them are samples.
bool PlausibleRun(const TripSample* s, int first, int end, int32_t prev) {
  bool backwards = false;
  int i = first;
#if defined(__x86_64__) || defined(__i386__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) {
    bool bad = false;
    i = PlausibleRunAvx2(s, i, end, prev, bad);
    if (bad) return false;
  }
#endif
#if defined(__SSE2__)
  // Two records are twenty words, five vectors of four; the masks keep the
  // magnitude of the seven measured values of each record. kMaxValueBits
  // minus a kept magnitude is negative exactly where the value is out of
  // range, so the sign bits of `over` collect every such value.
  constexpr uint32_t F = 0x7FFFFFFFu;
  const __m128i masks[5] = {_mm_setr_epi32(0, F, F, F), _mm_setr_epi32(F, F, F, F), _mm_setr_epi32(0, 0, 0, F),
                            _mm_setr_epi32(F, F, F, F), _mm_setr_epi32(F, F, 0, 0)};
  const __m128i limit = _mm_set1_epi32(static_cast<int>(kMaxValueBits));
  __m128i over = _mm_setzero_si128();
  for (; i + 2 <= end; i += 2) {
    const auto* words = reinterpret_cast<const __m128i*>(s + i);
    for (int k = 0; k < 5; ++k)
      over = _mm_or_si128(over, _mm_sub_epi32(limit, _mm_and_si128(_mm_loadu_si128(words + k), masks[k])));
    backwards |= (s[i].Time < prev) | (s[i + 1].Time < s[i].Time);
    prev = s[i + 1].Time;
  }
  if (_mm_movemask_ps(_mm_castsi128_ps(over)) != 0) return false;
#endif
  uint32_t largest = 0;
  for (; i < end; ++i) {
    const TripSample& r = s[i];
    largest = std::max({largest, MagnitudeBits(r.Distance), MagnitudeBits(r.Power), MagnitudeBits(r.Cadence),
                        MagnitudeBits(r.Altitude), MagnitudeBits(r.Speed), MagnitudeBits(r.Temperature),
                        MagnitudeBits(r.HeartRate)});
    backwards |= r.Time < prev;
    prev = r.Time;
  }
  return largest <= kMaxValueBits && !backwards;
}

// Records in the blocks the checks take at a time: small enough to stay in
// the first-level cache between decoding and checking.
constexpr int kCheckBlock = 256;

// The first of records 1..count-1 that is no measured sample, or 0 when
// every one is. Record 1 is compared with itself (the header's time word
// holds its flags).
int FirstImplausibleRecord(const TripSample* s, int count, int first = 1, int end = -1) {
  if (end < 0) end = count;
  for (int b = first; b < end; b += kCheckBlock) {
    const int e = std::min(end, b + kCheckBlock);
    if (PlausibleRun(s, b, e, s[b == 1 ? 1 : b - 1].Time)) continue;
    for (int i = b; i < e; ++i)
      if (!PlausibleSample(s[i], s[i == 1 ? 1 : i - 1])) return i;
  }
  return 0;
}

// The refusal of a trip whose record `bad` is no sample.
TripReadError RefuseRecords(int bad, int count, std::string_view name, std::string* error) {
  return Refuse(TripReadError::NotSamples, name,
                Format(": record %i of %i holds no measured values (damaged file); it was not read.", bad, count),
                error);
}

// Times that rise steadily but further than `count` records at the longest
// sample interval can go are no samples either. The times are known not to
// run backwards, so the span is the last time minus the first (record 1;
// the header's time word holds its flags): no second pass over the records.
TripReadError CheckTimeSpan(const TripSample* s, int count, std::string_view name, std::string* error) {
  if (count < 2) return TripReadError::None;
  const int64_t span = static_cast<int64_t>(s[count - 1].Time) - s[1].Time;
  const int64_t longest = static_cast<int64_t>(count) * kMaxSampleInterval;
  if (span <= longest) return TripReadError::None;
  return Refuse(TripReadError::NotSamples, name,
                Format(": its times span %lld s, more than its %i records at most %i s apart can (damaged file); "
                       "it was not read.",
                       static_cast<long long>(span), count, kMaxSampleInterval),
                error);
}

// Decodes and checks the records of a file image into `out`, block by block
// while each block is still in the cache.
TripReadError DecodeRecords(std::string_view bytes, int count, TripSample* out, std::string_view name,
                            std::string* error) {
  const unsigned char* p = Bytes(bytes) + 4;
  for (int b = 0; b < count; b += kCheckBlock) {
    const int e = std::min(count, b + kCheckBlock);
    if constexpr (kTripSampleIsFileLayout) {
      std::memcpy(static_cast<void*>(out + b), p + static_cast<std::size_t>(b) * TripSample::kBytes,
                  static_cast<std::size_t>(e - b) * TripSample::kBytes);
    } else {
      for (int i = b; i < e; ++i) out[i] = TripSample::Load(p + static_cast<std::size_t>(i) * TripSample::kBytes);
    }
    if (const int bad = FirstImplausibleRecord(out, count, std::max(b, 1), e)) return RefuseRecords(bad, count, name, error);
  }
  return CheckTimeSpan(out, count, name, error);
}

// Checks the count word and the length of a file image; fills count.
TripReadError CheckImage(std::string_view bytes, int32_t& count, std::string_view name, std::string* error) {
  if (bytes.size() < 4) return Refuse(TripReadError::Truncated, name, " is empty or damaged.", error);
  count = le::GetI32(Bytes(bytes));
  return CheckCount(count, bytes.size(), name, error);
}

// `tail`: the bytes from the zone block on, as far as the file holds them.
void DecodeTail(std::string_view tail, TripFileData& d) {
  const unsigned char* p = Bytes(tail);
  const std::size_t size = tail.size();
  d.HasZoneBlock = size >= kDeoZoneBlockBytes;
  for (int i = 0; i < kZoneBlockWords; ++i) d.ZoneBlock[i] = d.HasZoneBlock ? le::GetF32(p + 4 * i) : 0.0f;
  const std::size_t so = kDeoZoneBlockBytes;
  d.HasScales = size >= so + kDeoScaleBlockBytes;
  for (int i = 0; i < kScaleWords; ++i) d.Scales[i] = d.HasScales ? le::GetF32(p + so + 4 * i) : 0.0f;
  const std::size_t no = so + kDeoScaleBlockBytes;
  d.HasNoteBlock = size >= no + kDeoNoteBlockBytes;
  d.Note.clear();
  if (d.HasNoteBlock) {
    const char* n = tail.data() + no;
    std::size_t len = 0;
    while (len < kDeoNoteBlockBytes && n[len] != '\0') ++len;
    d.Note.assign(n, len);
  }
  const std::size_t to = no + kDeoNoteBlockBytes;
  const bool hasTrailer = size >= to + kDeoTrailerBytes;
  for (std::size_t i = 0; i < kDeoTrailerBytes; ++i) d.Trailer[i] = hasTrailer ? p[to + i] : 0;
}

// The blocks after the records of a checked image of `count` records.
std::string_view TailOf(std::string_view bytes, int count) {
  return bytes.substr(std::min(bytes.size(), DeoZoneBlockOffset(count)));
}

// An open trip file, closed at the end of its scope.
struct TripFileHandle {
  std::FILE* f = nullptr;
  ~TripFileHandle() {
    if (f) std::fclose(f);
  }
};

// Reads the trip file at `path` in one pass over its bytes: the records
// straight into the buffer that `room(count)` gives (nullptr: the trip does
// not fit, refused by `room` with its message), checked while they are
// read, and the blocks after them into `tail`. Only regular files are read,
// and no more than the largest trip file can hold.
template <class Room>
TripReadError ReadTripRecords(const std::filesystem::path& path, Room room, std::string& tail, int32_t& count,
                              std::string* error) {
  ClearUpperVectorState();  // the checks are plain SSE; drawing may have run before
  const std::string name = PathText(path);
  auto cannot_open = [&] {
    if (error) *error = "Cannot open the trip file " + name + ".";
    return TripReadError::CannotOpen;
  };
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return cannot_open();
  TripFileHandle file{std::fopen(path.c_str(), "rb")};
  if (!file.f) return cannot_open();
  if (std::fseek(file.f, 0, SEEK_END) != 0) return cannot_open();
  const long end = std::ftell(file.f);
  if (end < 0 || std::fseek(file.f, 0, SEEK_SET) != 0) return cannot_open();
  const std::size_t size = static_cast<std::size_t>(end);
  unsigned char word[4];
  if (size < 4) return Refuse(TripReadError::Truncated, name, " is empty or damaged.", error);
  if (std::fread(word, 1, 4, file.f) != 4) return cannot_open();
  count = le::GetI32(word);
  if (const TripReadError e = CheckCount(count, size, name, error); e != TripReadError::None) return e;
  TripSample* out = room(count);
  if (out == nullptr) return TripReadError::TooManyRecords;
  const std::size_t records = static_cast<std::size_t>(count) * TripSample::kBytes;
  if constexpr (kTripSampleIsFileLayout) {
    // In pieces that each are checked while they are still in the cache.
    constexpr int kPiece = 8192;
    for (int b = 0; b < count; b += kPiece) {
      const int e = std::min(count, b + kPiece);
      const std::size_t n = static_cast<std::size_t>(e - b) * TripSample::kBytes;
      if (std::fread(static_cast<void*>(out + b), 1, n, file.f) != n) return cannot_open();
      if (const int bad = FirstImplausibleRecord(out, count, std::max(b, 1), e))
        return RefuseRecords(bad, count, name, error);
    }
    if (const TripReadError e = CheckTimeSpan(out, count, name, error); e != TripReadError::None) return e;
  } else {
    std::string bytes(4 + records, '\0');
    std::memcpy(bytes.data(), word, 4);
    if (std::fread(bytes.data() + 4, 1, records, file.f) != records) return cannot_open();
    if (const TripReadError e = DecodeRecords(bytes, count, out, name, error); e != TripReadError::None) return e;
  }
  tail.resize(std::min(size, DeoFileBytes(count)) - DeoZoneBlockOffset(count));
  if (!tail.empty() && std::fread(tail.data(), 1, tail.size(), file.f) != tail.size()) return cannot_open();
  return TripReadError::None;
}

}  // namespace

int RecordInterval(const TripSample* samples, int count) {
  if (samples == nullptr || count < 4) return 1;
  const int64_t d = static_cast<int64_t>(samples[3].Time) - samples[2].Time;
  return d >= 1 && d <= kMaxSampleInterval ? static_cast<int>(d) : 1;
}

bool PlausibleSample(const TripSample& s, const TripSample& before) {
  for (float v : {s.Distance, s.Power, s.Cadence, s.Altitude, s.Speed, s.Temperature, s.HeartRate})
    if (!(std::fabs(v) <= kMaxSampleValue)) return false;  // also false for NaN
  return s.Time >= before.Time;
}

int TripFileData::Interval() const { return RecordInterval(Samples.data(), Count()); }

TripReadError DecodeDeoBytes(std::string_view bytes, TripFileData& data, std::string* error,
                             std::string_view name) {
  int32_t count = 0;
  if (const TripReadError e = CheckImage(bytes, count, name, error); e != TripReadError::None) return e;
  std::vector<TripSample> samples(static_cast<std::size_t>(count));
  if (const TripReadError e = DecodeRecords(bytes, count, samples.data(), name, error); e != TripReadError::None)
    return e;
  data.Samples = std::move(samples);
  DecodeTail(TailOf(bytes, count), data);
  return TripReadError::None;
}

TripReadError ReadTripFile(const std::filesystem::path& path, TripFileData& data,
                           std::string* error) {
  std::vector<TripSample> samples;
  std::string tail;
  int32_t count = 0;
  const TripReadError e = ReadTripRecords(
      path,
      [&](int n) {
        samples.resize(static_cast<std::size_t>(n));
        return samples.data();
      },
      tail, count, error);
  if (e != TripReadError::None) return e;
  data.Samples = std::move(samples);
  DecodeTail(tail, data);
  return TripReadError::None;
}

namespace {
std::string TooShortText(const std::filesystem::path& path, int count, int minRecords) {
  return "The trip file " + PathText(path) +
         Format(" holds %i records; at least %i are needed to show it.", count, minRecords);
}
}  // namespace

TripReadError ReadTripSamples(const std::filesystem::path& path, TripSample* buffer, int capacity,
                              int32_t& count, std::string* error, int minRecords) {
  // Read aside first: a file refused halfway leaves the caller's buffer as
  // it was (its records may be on show).
  std::vector<TripSample> read;
  std::string tail;
  int32_t n = 0;
  const TripReadError e = ReadTripRecords(
      path,
      [&](int records) -> TripSample* {
        if (records <= capacity) {
          read.resize(static_cast<std::size_t>(records));
          return read.data();
        }
        if (error) *error = "The trip file " + PathText(path) + Format(" of %i records does not fit the buffer.", records);
        return nullptr;
      },
      tail, n, error);
  if (e != TripReadError::None) return e;
  if (n < minRecords) {
    if (error) *error = TooShortText(path, n, minRecords);
    return TripReadError::TooShortToShow;
  }
  std::copy(read.begin(), read.end(), buffer);
  count = n;
  return e;
}

std::string EncodeDeoBytes(const TripSample* samples, int count, const float* zoneBlock,
                           const float* scales, std::string_view note, bool notePresent,
                           const uint8_t* trailer) {
  if (count < 0) count = 0;
  std::string out(DeoFileBytes(count), '\0');
  unsigned char* p = reinterpret_cast<unsigned char*>(out.data());
  le::PutI32(p, count);
  for (int i = 0; i < count; ++i) {
    unsigned char* r = p + 4 + static_cast<std::size_t>(i) * TripSample::kBytes;
    samples[i].Store(r);
    if (i == 0) {
      int32_t flags = HeaderFlags(samples[0]);
      flags = notePresent ? (flags | kHeaderFlagNote) : (flags & ~kHeaderFlagNote);
      le::PutI32(r, flags);
    }
  }
  std::size_t zo = DeoZoneBlockOffset(count);
  for (int i = 0; i < kZoneBlockWords; ++i) le::PutF32(p + zo + 4 * i, zoneBlock ? zoneBlock[i] : 0.0f);
  std::size_t so = DeoScaleBlockOffset(count);
  for (int i = 0; i < kScaleWords; ++i) le::PutF32(p + so + 4 * i, scales ? scales[i] : 0.0f);
  if (notePresent) {
    std::size_t n = std::min(note.size(), kDeoNoteBlockBytes - 1);
    std::memcpy(p + DeoNoteBlockOffset(count), note.data(), n);
  }
  if (trailer) std::memcpy(p + DeoTrailerOffset(count), trailer, kDeoTrailerBytes);
  return out;
}

bool WriteTripFile(const std::filesystem::path& path, const TripFileData& data, bool notePresent,
                   std::string* error) {
  std::string bytes = EncodeDeoBytes(data.Samples.data(), data.Count(), data.ZoneBlock,
                                     data.Scales, data.Note, notePresent, data.Trailer);
  int err = 0;
  if (!WriteFileAtomically(path, bytes, false, &err)) {
    if (error) *error = CannotWriteMessage(path, err);
    return false;
  }
  return true;
}

bool TripFileExact(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return false;
  unsigned char word[4];
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  const bool read = std::fread(word, 1, sizeof word, f) == sizeof word;
  std::fclose(f);
  if (!read) return false;
  const int32_t count = le::GetI32(word);
  return count >= kMinTripRecords && count < kMaxTripRecords &&
         (size == DeoFileBytes(count) || size == DeoZoneBlockOffset(count));
}

bool ZoneBlockValid(const float* zoneBlock) {
  return zoneBlock[0] == kZoneBlockMark && zoneBlock[1] > 0.0f;
}

void BuildZoneBlock(const TripSample& header, const uint16_t (&rows)[kZoneRows][kZoneRowValues], float* zoneBlock) {
  int sport = HeaderSport(header);
  int row = (sport == kSportBikeHeartRate) ? kZoneRowBikeHeartRate
            : (sport == kSportRun)          ? kZoneRowRun
                                            : kZoneRowPower;
  // Header word 8 holds the threshold of the trip's own kind.
  float threshold = HeaderThreshold(header);
  if (!(threshold >= 30.0f) || !std::isfinite(threshold)) threshold = static_cast<float>(rows[row][0]);
  std::fill(zoneBlock, zoneBlock + kZoneBlockWords, 0.0f);
  zoneBlock[0] = kZoneBlockMark;
  for (int k = 1; k <= 6; ++k) zoneBlock[k] = static_cast<float>(rows[row][k]) * threshold * 0.01f;
}

void BuildHeartRateZoneBlock(const TripSample& header,
                             const uint16_t (&rows)[kZoneRows][kZoneRowValues], float* zoneBlock) {
  TripSample hr = header;
  HeaderSport(hr) = kSportBikeHeartRate;
  HeaderThreshold(hr) = HeaderHrThreshold(header);
  BuildZoneBlock(hr, rows, zoneBlock);
}

void ZoneBlockOfTrip(const TripFileData& trip, const uint16_t (&rows)[kZoneRows][kZoneRowValues],
                     float* zoneBlock) {
  if (trip.HasZoneBlock && ZoneBlockValid(trip.ZoneBlock))
    std::copy(trip.ZoneBlock, trip.ZoneBlock + kZoneBlockWords, zoneBlock);
  else
    BuildZoneBlock(trip.Samples.empty() ? TripSample{} : trip.Samples[0], rows, zoneBlock);
}

void BuildZoneBlockFromRider(const TripSample& header, float* zoneBlock) {
  BuildZoneBlock(header, RiderZones[std::clamp<int>(CurrentRider, 0, kRiderCount - 1)], zoneBlock);
}

namespace {
// Makes the trip read into the spare buffer (`count` records, the blocks
// after them in `tail`) the current trip.
void TakeOverReadTrip(int count, std::string_view tail_bytes) {
  SwapTripBuffers();
  TripSampleCount = count;
  TripFileData tail;  // blocks after the samples only
  DecodeTail(tail_bytes, tail);
  if (tail.HasZoneBlock && ZoneBlockValid(tail.ZoneBlock)) {
    std::copy(tail.ZoneBlock, tail.ZoneBlock + kZoneBlockWords, TripZoneBlock);
  } else {
    BuildZoneBlockFromRider(TripSamples[0], TripZoneBlock);
    CurrentSport = HeaderSport(TripSamples[0]);
  }
  if (tail.HasScales)
    for (int i = 0; i < kScaleWords; ++i) ScaleMax[i] = ClampScaleMax(i, tail.Scales[i]);
  // The note belongs to this trip: a trip without one must not keep (and
  // later write back) the note of the trip read before it.
  TripNotePresent = (HeaderFlags(TripSamples[0]) & kHeaderFlagNote) != 0;
  if (TripNotePresent)
    TripNote = tail.Note;
  else
    TripNote.clear();
  std::copy(tail.Trailer, tail.Trailer + kDeoTrailerBytes, TripTrailer);
  SampleInterval = RecordInterval(TripSamples, count);
}
}  // namespace

bool ApplyDeoBytes(std::string_view bytes, std::string* error, std::string_view name) {
  int32_t count = 0;
  if (CheckImage(bytes, count, name, error) != TripReadError::None) return false;
  if (DecodeRecords(bytes, count, SpareTripBuffer(), name, error) != TripReadError::None) return false;
  TakeOverReadTrip(count, TailOf(bytes, count));
  return true;
}

TripReadError ReadDeoFileAtLeast(const std::filesystem::path& path, int minRecords, std::string* error) {
  static std::string tail;  // GUI thread only
  int32_t count = 0;
  const TripReadError e = ReadTripRecords(path, [](int) { return SpareTripBuffer(); }, tail, count, error);
  if (e != TripReadError::None) return e;
  if (count < minRecords) {
    if (error) *error = TooShortText(path, count, minRecords);
    return TripReadError::TooShortToShow;
  }
  TakeOverReadTrip(count, tail);
  return TripReadError::None;
}

bool ReadDeoFile(const std::filesystem::path& path, std::string* error) {
  return ReadDeoFileAtLeast(path, 0, error) == TripReadError::None;
}

std::string TripRefusalText(const std::filesystem::path& path, int minRecords) {
  namespace fs = std::filesystem;
  std::string why;
  std::error_code ec;
  const fs::file_status link = fs::symlink_status(path, ec), target = fs::status(path, ec);
  TripFileData data;
  if (fs::is_symlink(link) && !fs::is_regular_file(target)) {
    why = Words("an ihrer Stelle steht eine Verknüpfung, die zu keiner Datei führt"_w,
                "a link that leads to no file stands in its place",
                "en su lugar hay un enlace que no lleva a ningún archivo"_w);
  } else if (!fs::exists(link)) {
    why = Words("sie fehlt", "it is missing", "no existe");
  } else if (fs::is_directory(target)) {
    why = Words("an ihrer Stelle steht ein Ordner", "a folder stands in its place", "en su lugar hay una carpeta");
  } else if (!fs::is_regular_file(target)) {
    why = Words("sie ist keine gewöhnliche Datei"_w, "it is no plain file", "no es un archivo normal");
  } else if (const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC); fd < 0) {
    why = FileErrorReason(errno);
  } else {
    ::close(fd);
    switch (ReadTripFile(path, data, nullptr)) {
      case TripReadError::None:
        if (data.Count() < minRecords)
          why = Format(Words("sie hat nur %i Messpunkte, mindestens %i sind nötig"_w,
                             "it holds only %i records, at least %i are needed",
                             "solo tiene %i registros, se necesitan al menos %i"_w)
                           .c_str(),
                       data.Count(), minRecords);
        break;
      case TripReadError::NotSamples:
        why = Words("ihre Datensätze sind keine Messwerte"_w, "its records are no measured samples",
                    "sus registros no son mediciones"_w);
        break;
      case TripReadError::CannotOpen:
        why = Words("sie kann nicht gelesen werden", "it cannot be read", "no se puede leer");
        break;
      default:
        why = Words("sie ist beschädigt: ihre Länge passt nicht zur Zahl ihrer Messpunkte"_w,
                    "it is damaged: its length does not match its number of records",
                    "está dañado: su longitud no corresponde a su número de registros"_w);
        break;
    }
  }
  if (why.empty()) return {};
  const std::string name = PathText(path);
  return Words("Die Fahrt "_w + name + " wird nicht geöffnet: "_w + why + ".",
               "The trip " + name + " is not opened: " + why + ".",
               "El recorrido "_w + name + " no se abre: "_w + why + ".");
}

void ReportCannotOpen() {
  std::fputs(kCannotOpenOutput, stderr);
}

namespace {
// The file image of the current trip (the note flag set in its header as
// TripNotePresent says); false for a record count no file could be read back with.
bool EncodeCurrentTrip(std::string& bytes, std::string* error) {
  const int count = TripSampleCount;
  if (count < kMinTripRecords || count >= kMaxTripRecords) {
    // Such a file could never be read back; the old file stays.
    if (error)
      *error = Format("A trip of %i records cannot be saved (%i to %i records).", count,
                      kMinTripRecords, kMaxTripRecords - 1);
    return false;
  }
  {
    int32_t& flags = HeaderFlags(TripSamples[0]);
    flags = TripNotePresent ? (flags | kHeaderFlagNote) : (flags & ~kHeaderFlagNote);
  }
  bytes = EncodeDeoBytes(TripSamples, count, TripZoneBlock, ScaleMax, TripNote, TripNotePresent, TripTrailer);
  return true;
}

bool WriteTripBytes(const std::filesystem::path& path, const std::string& bytes, std::string* error) {
  int err = 0;
  if (!WriteFileAtomically(path, bytes, false, &err)) {
    ReportCannotOpen();
    if (error) *error = CannotWriteMessage(path, err);
    return false;
  }
  return true;
}
}  // namespace

bool WriteDeoFileIfChanged(const std::filesystem::path& path, std::string* error) {
  std::string bytes;
  if (!EncodeCurrentTrip(bytes, error)) return false;
  // Only a file of the same length can hold them: others are not read.
  std::error_code ec;
  std::string held;
  if (std::filesystem::file_size(path, ec) == bytes.size() && !ec && ReadWholeFile(path, held) && held == bytes)
    return true;
  return WriteTripBytes(path, bytes, error);
}

bool WriteDeoFile(const std::filesystem::path& path, std::string* error) {
  std::string bytes;
  return EncodeCurrentTrip(bytes, error) && WriteTripBytes(path, bytes, error);
}

std::string TripPathOfLine(std::string_view line) { return TripPathOfLine(line, RiderDir); }

std::string TripPathOfLine(std::string_view line, std::string_view riderDir) {
  if (!LineHasSemicolon(line)) return {};
  std::string name(LineKey(line));
  // A trip name never leaves the rider's folder.
  if (name.empty() || name.find_first_of("/\\:") != std::string::npos || name.find("..") != std::string::npos)
    return {};
  return JoinPath(riderDir, name + ".DEO");
}

int LoadTripByListIndex(const TStringList& list, int i) {
  if (i < 0 || i >= list.Count()) return 0;
  const std::string& line = list[i];
  std::string path = TripPathOfLine(line);
  if (path.empty()) return 0;
  std::string error;
  if (!ReadDeoFile(FsPath(path), &error)) {
    // The current trip stays, and with it the path of its file (a save of
    // the trip shown must not go to the file that was refused).
    ReportCannotOpen();
    return 0;
  }
  CurrentTripPath = path;
  if (TripSampleCount < kMinShowRecords) return 0;
  if (ResaveTripsFlag && TripFileExact(FsPath(CurrentTripPath))) WriteDeoFileIfChanged(FsPath(CurrentTripPath));
  return 1;
}

int LoadTripByListIndex(TForm* /*form*/, int i) {
  if (!ScanList) return 0;
  return LoadTripByListIndex(*ScanList, i);
}

namespace {
void AppendNumber(std::string& out, double v, int decimals, char decimalMark) {
  std::string s = Format("%.*f", decimals, std::isfinite(v) ? v : 0.0);
  if (decimalMark != '.')
    for (char& c : s)
      if (c == '.') c = decimalMark;
  out += s;
}

std::string CsvPath(std::string_view tripPath, std::string_view suffix) {
  std::filesystem::path p = FsPath(tripPath);
  p.replace_extension();
  std::string text = PathText(p);
  text += suffix;
  return text;
}

bool WriteCsv(std::string_view tripPath, std::string_view suffix, char sep, char dec,
              std::string* error, std::string* written) {
  std::string path = CsvPath(tripPath, suffix);
  int count = std::clamp(TripSampleCount, 0, kMaxTripRecords - 1);
  int err = 0;
  if (!WriteFileAtomically(FsPath(path), TripCsvText(TripSamples, count, sep, dec), false, &err)) {
    ReportCannotOpen();
    if (error) *error = CannotWriteMessage(FsPath(path), err);
    return false;
  }
  if (written) *written = path;
  return true;
}
}  // namespace

std::string TripCsvText(const TripSample* samples, int count, char fieldSep, char decimalMark) {
  std::string out;
  out.reserve(static_cast<std::size_t>(std::max(count, 1)) * 64);
  const char* names[] = {"TIME[s]", "DISTANCE[km]", "POWER[W]", "CADENCE[1/min]", "ALTITUDE[m]",
                         "SPEED[km/h]", "TEMPERATURE[C]", "HEARTRATE[1/min]", "PAUSE[s]",
                         "INTERVAL"};
  for (int k = 0; k < 10; ++k) {
    if (k) out += fieldSep;
    out += names[k];
  }
  out += "\r\n";
  for (int i = 1; i < count; ++i) {
    const TripSample& s = samples[i];
    out += std::to_string(s.Time);
    out += fieldSep;
    AppendNumber(out, s.Distance, 3, decimalMark);
    out += fieldSep;
    AppendNumber(out, s.Power, 1, decimalMark);
    out += fieldSep;
    AppendNumber(out, s.Cadence, 2, decimalMark);
    out += fieldSep;
    AppendNumber(out, s.Altitude, 1, decimalMark);
    out += fieldSep;
    AppendNumber(out, s.Speed, 2, decimalMark);
    out += fieldSep;
    AppendNumber(out, s.Temperature, 1, decimalMark);
    out += fieldSep;
    AppendNumber(out, s.HeartRate, 0, decimalMark);
    out += fieldSep;
    out += std::to_string(s.Pause);
    out += fieldSep;
    out += std::to_string(static_cast<int>(s.Interval));
    out += "\r\n";
  }
  return out;
}

bool ExportTripCsv(std::string_view tripPath, std::string* error, std::string* written) {
  return WriteCsv(tripPath, ".CSV", ';', ',', error, written);
}

bool ExportTripCsvWko(std::string_view tripPath, std::string* error, std::string* written) {
  return WriteCsv(tripPath, "_WKO.CSV", ',', '.', error, written);
}

}  // namespace tav
