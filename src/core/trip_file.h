// DEO trip files: reading into the current trip or into a caller's buffer,
// writing, loading listed trips, and the trip CSV export.
//
// File layout (little-endian): int32 record count (header included), the
// records (40 bytes each, record 0 the header), the zone block (15 floats,
// [0] = 5555.0), the scale block (10 floats), the note block (330 bytes,
// zero-terminated text) and a 20-byte trailer. Files are refused when the
// count is below 5 or 200000 and above, when the file is shorter than its
// count says, or when its records are plainly no samples (PlausibleSample);
// the blocks after the samples may be missing in older files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/core_data.h"
#include "core/trip_types.h"
#include "platform/strings.h"

namespace tav {

class TForm;

// Seconds between records of a trip buffer: time of record 3 - time of
// record 2, worked out in 64 bits. Fewer than 4 records, times that stand
// still or run backwards and steps beyond an hour give 1. Every reader of a
// trip takes its interval from here, so records x interval always fits 32 bits.
inline constexpr int kMaxSampleInterval = 3600;
int RecordInterval(const TripSample* samples, int count);

// A trip file decoded without touching any process-wide data.
struct TripFileData {
  std::vector<TripSample> Samples;  // Samples.size() == record count (header included)
  float ZoneBlock[kZoneBlockWords] = {};
  bool HasZoneBlock = false;        // the file holds a zone block
  float Scales[kScaleWords] = {};
  bool HasScales = false;
  std::string Note;                 // text of the note block (may be empty)
  bool HasNoteBlock = false;
  uint8_t Trailer[kDeoTrailerBytes] = {};

  int Count() const { return static_cast<int>(Samples.size()); }
  // True when the header flags say the note block holds a note.
  bool NoteFlag() const { return !Samples.empty() && (HeaderFlags(Samples[0]) & kHeaderFlagNote); }
  // Seconds between records (RecordInterval).
  int Interval() const;
};

// Why a trip file was refused.
// TooShortToShow: read whole, but fewer records than the caller asked for.
enum class TripReadError { None, CannotOpen, TooFewRecords, TooManyRecords, Truncated, NotSamples, TooShortToShow };

// Largest magnitude a measured value of a record can have.
inline constexpr float kMaxSampleValue = 1.0e6f;
// Whether a record (1 and on) can be a measured sample, given the record
// before it: every measured value finite and within kMaxSampleValue, and a
// time not before the time of the record before. A file with a record that
// is not is refused by every reader: its records are plainly no samples.
bool PlausibleSample(const TripSample& s, const TripSample& before);

// Decodes a whole file image. On failure `data` is left unchanged and
// `error` (when given) gets a message for the user that names the file
// `name` (when given).
TripReadError DecodeDeoBytes(std::string_view bytes, TripFileData& data, std::string* error,
                             std::string_view name = {});
// Reads a trip file in one go. Thread-safe (touches nothing shared).
TripReadError ReadTripFile(const std::filesystem::path& path, TripFileData& data,
                           std::string* error);
// Reads only the samples into a caller's buffer of `capacity` records (for
// worker threads); `count` gets the record count. Nothing shared is touched,
// and a refused file leaves the buffer and `count` as they were; so does a
// trip of fewer than `minRecords` records (TooShortToShow).
TripReadError ReadTripSamples(const std::filesystem::path& path, TripSample* buffer, int capacity,
                              int32_t& count, std::string* error, int minRecords = 0);

// Encodes a trip file image. With `notePresent` the note is written (cut to
// 329 bytes) and header flag 0x20 set in the written header; without it the
// note block is zero and the flag cleared.
std::string EncodeDeoBytes(const TripSample* samples, int count, const float* zoneBlock,
                           const float* scales, std::string_view note, bool notePresent,
                           const uint8_t* trailer);
// True when the file is exactly as long as its count word says: the records
// and every block after them, or (an older file) the records alone. A file
// of another length holds more or less than the trip read from it, so
// nothing writes over it without asking.
bool TripFileExact(const std::filesystem::path& path);

// Writes a trip from a caller's buffer (temporary file renamed into place).
bool WriteTripFile(const std::filesystem::path& path, const TripFileData& data, bool notePresent,
                   std::string* error);

// Zone block of a trip rebuilt from a rider's zone rows (RiderZones of one
// rider: rows power, bike heart rate, run; [0] threshold, [1..6] bounds in
// percent): the row of the trip's kind, percent x threshold x 0.01, the
// threshold replaced by the row's when below 30. Pure.
void BuildZoneBlock(const TripSample& header, const uint16_t (&rows)[kZoneRows][kZoneRowValues], float* zoneBlock);
// The same from the current rider's RiderZones.
void BuildZoneBlockFromRider(const TripSample& header, float* zoneBlock);
// True when a zone block is usable as stored (mark 5555.0 and first bound > 0).
bool ZoneBlockValid(const float* zoneBlock);
// Bike heart-rate zone block for a trip of any kind: the rows' bike
// heart-rate row x the header's heart-rate threshold (the row's threshold
// when that is below 30). Pure.
void BuildHeartRateZoneBlock(const TripSample& header,
                             const uint16_t (&rows)[kZoneRows][kZoneRowValues], float* zoneBlock);
// The zone block a trip read into `trip` works with: its file's block when
// valid, else rebuilt from the rows (as ReadDeoFile does). Pure.
void ZoneBlockOfTrip(const TripFileData& trip, const uint16_t (&rows)[kZoneRows][kZoneRowValues],
                     float* zoneBlock);

// Reads a trip file into the current trip: TripSampleCount and TripSamples,
// TripZoneBlock (rebuilt from RiderZones when its mark is missing or its
// first bound is 0; CurrentSport is then set from the header), ScaleMax
// (clamped), TripNote (only with header flag 0x20; TripNotePresent is then
// set, and without the flag both are cleared) and SampleInterval. A refused
// file changes nothing; the message goes to `error`. CurrentTripPath is not
// changed.
bool ReadDeoFile(const std::filesystem::path& path, std::string* error = nullptr);
// The same, but a trip of fewer than `minRecords` records is refused too
// (TooShortToShow) and changes nothing, for callers that would refuse it.
TripReadError ReadDeoFileAtLeast(const std::filesystem::path& path, int minRecords, std::string* error = nullptr);
// The same from a file image already in memory.
bool ApplyDeoBytes(std::string_view bytes, std::string* error = nullptr, std::string_view name = {});
// Writes the current trip. With TripNotePresent the note is written and the
// header flag 0x20 set (in TripSamples[0] too), else the flag is cleared.
// On failure writes "Cannot open output file.\n" to stderr and returns false.
bool WriteDeoFile(const std::filesystem::path& path, std::string* error = nullptr);
// The same, but a file that already holds exactly those bytes is left as it
// is (not written again).
bool WriteDeoFileIfChanged(const std::filesystem::path& path, std::string* error = nullptr);

// Loads line i of the list: cuts it at its first ';' (none: 0), appends
// ".DEO", joins it to RiderDir, reads it with ReadDeoFile and stores the
// path in CurrentTripPath. Result 1 when loaded with at least 60 records,
// else 0. A file that cannot be read writes "Cannot open output file.\n" to
// stderr and leaves the current trip and CurrentTripPath as they were.
// While ResaveTripsFlag is set the loaded trip is written back when that
// changes its bytes, unless the file is not exactly as long as its count
// says (TripFileExact).
int LoadTripByListIndex(const TStringList& list, int i);
// The same over ScanList (the form argument is not used).
int LoadTripByListIndex(TForm* form, int i);
// Path of the trip file of a list line ("" for a line without ';'), in
// RiderDir or in a given rider folder (for threads, which keep their own).
std::string TripPathOfLine(std::string_view line);
std::string TripPathOfLine(std::string_view line, std::string_view riderDir);

// Writes the current trip as "<path without extension>.CSV": one header
// line, one line per record 1..count-1, ';' between fields, ',' as decimal
// mark. Returns the written path's text in `written` when given.
bool ExportTripCsv(std::string_view tripPath, std::string* error = nullptr,
                   std::string* written = nullptr);
// Variant "<path without extension>_WKO.CSV": ',' between fields, '.' decimals.
bool ExportTripCsvWko(std::string_view tripPath, std::string* error = nullptr,
                      std::string* written = nullptr);
// The CSV text of a trip (fieldSep ';' with decimalMark ',' or ',' with '.').
std::string TripCsvText(const TripSample* samples, int count, char fieldSep, char decimalMark);

// Why a trip file is not opened, for the user, in the chosen language: the
// file named and the reason (it is missing; a folder, or a link that leads
// to no file, stands in its place; no permission; it is damaged; its
// records are no samples; it has fewer than `minRecords` records). "" when
// it reads with at least `minRecords` records.
std::string TripRefusalText(const std::filesystem::path& path, int minRecords = kMinShowRecords);

// The message written to the error stream when a trip file cannot be opened.
inline constexpr const char* kCannotOpenOutput = "Cannot open output file.\n";
void ReportCannotOpen();

}  // namespace tav
