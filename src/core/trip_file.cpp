#include "core/trip_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "core/core_data.h"
#include "core/trip_list.h"
#include "platform/text.h"

namespace tav {

namespace {

const unsigned char* Bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// Checks the count word, the file length and the records; fills count.
// `name` names the file in the message ("" when unknown).
TripReadError CheckImage(std::string_view bytes, int32_t& count, std::string_view name,
                         std::string* error) {
  const std::string file = name.empty() ? "The trip file" : "The trip file " + std::string(name);
  auto fail = [&](TripReadError e, const std::string& text) {
    if (error) *error = file + text;
    return e;
  };
  if (bytes.size() < 4) return fail(TripReadError::Truncated, " is empty or damaged.");
  count = le::GetI32(Bytes(bytes));
  if (count < kMinTripRecords)
    return fail(TripReadError::TooFewRecords,
                Format(" holds %i records; at least %i are needed.", count, kMinTripRecords));
  if (count >= kMaxTripRecords)
    return fail(TripReadError::TooManyRecords,
                Format(" claims %i records; fewer than %i are allowed.", count, kMaxTripRecords));
  if (bytes.size() < DeoZoneBlockOffset(count))
    return fail(TripReadError::Truncated,
                Format(" is shorter than its %i records; it was not read.", count));
  const unsigned char* p = Bytes(bytes) + 4;
  TripSample before = TripSample::Load(p + TripSample::kBytes);
  for (int i = 1; i < count; ++i) {
    const TripSample s = TripSample::Load(p + static_cast<std::size_t>(i) * TripSample::kBytes);
    if (!PlausibleSample(s, before))
      return fail(TripReadError::NotSamples,
                  Format(": record %i of %i holds no measured values (damaged file); it was not "
                         "read.", i, count));
    before = s;
  }
  return TripReadError::None;
}

void DecodeTail(std::string_view bytes, int count, TripFileData& d) {
  const unsigned char* p = Bytes(bytes);
  std::size_t size = bytes.size();
  std::size_t zo = DeoZoneBlockOffset(count);
  d.HasZoneBlock = size >= zo + kDeoZoneBlockBytes;
  for (int i = 0; i < kZoneBlockWords; ++i)
    d.ZoneBlock[i] = d.HasZoneBlock ? le::GetF32(p + zo + 4 * i) : 0.0f;
  std::size_t so = DeoScaleBlockOffset(count);
  d.HasScales = size >= so + kDeoScaleBlockBytes;
  for (int i = 0; i < kScaleWords; ++i) d.Scales[i] = d.HasScales ? le::GetF32(p + so + 4 * i) : 0.0f;
  std::size_t no = DeoNoteBlockOffset(count);
  d.HasNoteBlock = size >= no + kDeoNoteBlockBytes;
  d.Note.clear();
  if (d.HasNoteBlock) {
    const char* n = bytes.data() + no;
    std::size_t len = 0;
    while (len < kDeoNoteBlockBytes && n[len] != '\0') ++len;
    d.Note.assign(n, len);
  }
  std::size_t to = DeoTrailerOffset(count);
  bool hasTrailer = size >= to + kDeoTrailerBytes;
  for (std::size_t i = 0; i < kDeoTrailerBytes; ++i) d.Trailer[i] = hasTrailer ? p[to + i] : 0;
}

// Reads a trip file into `bytes`, reusing its capacity. Only regular files
// are read, and no more than the largest trip file can hold: the count word
// never asks for more, so a huge file costs no huge buffer.
bool ReadBytes(const std::filesystem::path& path, std::string& bytes) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  long size = ok ? std::ftell(f) : -1;
  ok = ok && size >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    constexpr long kLargest = static_cast<long>(DeoFileBytes(kMaxTripRecords - 1));
    bytes.resize(static_cast<std::size_t>(std::min(size, kLargest)));
    ok = size == 0 || std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
  }
  std::fclose(f);
  return ok;
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
  TripReadError e = CheckImage(bytes, count, name, error);
  if (e != TripReadError::None) return e;
  const unsigned char* p = Bytes(bytes) + 4;
  data.Samples.resize(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) data.Samples[static_cast<std::size_t>(i)] =
      TripSample::Load(p + static_cast<std::size_t>(i) * TripSample::kBytes);
  DecodeTail(bytes, count, data);
  return TripReadError::None;
}

TripReadError ReadTripFile(const std::filesystem::path& path, TripFileData& data,
                           std::string* error) {
  std::string bytes;
  if (!ReadBytes(path, bytes)) {
    if (error) *error = "Cannot open the trip file " + PathText(path) + ".";
    return TripReadError::CannotOpen;
  }
  return DecodeDeoBytes(bytes, data, error, PathText(path));
}

TripReadError ReadTripSamples(const std::filesystem::path& path, TripSample* buffer, int capacity,
                              int32_t& count, std::string* error) {
  std::string bytes;
  if (!ReadBytes(path, bytes)) {
    if (error) *error = "Cannot open the trip file " + PathText(path) + ".";
    return TripReadError::CannotOpen;
  }
  int32_t n = 0;
  TripReadError e = CheckImage(bytes, n, PathText(path), error);
  if (e != TripReadError::None) return e;
  if (n > capacity) {
    if (error) *error = "The trip file " + PathText(path) + Format(" of %i records does not fit the buffer.", n);
    return TripReadError::TooManyRecords;
  }
  const unsigned char* p = Bytes(bytes) + 4;
  for (int i = 0; i < n; ++i)
    buffer[i] = TripSample::Load(p + static_cast<std::size_t>(i) * TripSample::kBytes);
  count = n;
  return TripReadError::None;
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
  if (!WriteFileAtomically(path, bytes)) {
    if (error) *error = "Cannot write the trip file " + PathText(path) + ".";
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
// Takes over a checked file image of `count` records into the current trip;
// the samples are decoded straight into TripSamples.
void ApplyCheckedImage(std::string_view bytes, int count) {
  const unsigned char* p = Bytes(bytes) + 4;
  for (int i = 0; i < count; ++i)
    TripSamples[i] = TripSample::Load(p + static_cast<std::size_t>(i) * TripSample::kBytes);
  TripSampleCount = count;
  TripFileData tail;  // blocks after the samples only
  DecodeTail(bytes, count, tail);
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
  ApplyCheckedImage(bytes, count);
  return true;
}

bool ReadDeoFile(const std::filesystem::path& path, std::string* error) {
  static std::string bytes;  // GUI thread only; keeps its capacity between reads
  if (!ReadBytes(path, bytes)) {
    if (error) *error = "Cannot open the trip file " + PathText(path) + ".";
    return false;
  }
  return ApplyDeoBytes(bytes, error, PathText(path));
}

void ReportCannotOpen() {
  std::fputs(kCannotOpenOutput, stderr);
}

bool WriteDeoFile(const std::filesystem::path& path, std::string* error) {
  int count = TripSampleCount;
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
  std::string bytes = EncodeDeoBytes(TripSamples, count, TripZoneBlock, ScaleMax, TripNote,
                                     TripNotePresent, TripTrailer);
  if (!WriteFileAtomically(path, bytes)) {
    ReportCannotOpen();
    if (error) *error = "Cannot write the trip file " + PathText(path) + ".";
    return false;
  }
  return true;
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
  CurrentTripPath = path;
  std::string error;
  if (!ReadDeoFile(FsPath(CurrentTripPath), &error)) {
    ReportCannotOpen();
    return 0;
  }
  if (TripSampleCount < kMinShowRecords) return 0;
  if (ResaveTripsFlag && TripFileExact(FsPath(CurrentTripPath))) WriteDeoFile(FsPath(CurrentTripPath));
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
  if (!WriteFileAtomically(FsPath(path), TripCsvText(TripSamples, count, sep, dec))) {
    ReportCannotOpen();
    if (error) *error = "Cannot write " + path + ".";
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
