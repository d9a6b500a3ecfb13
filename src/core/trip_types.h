// Binary records of the trip data model: samples, the trip header, the
// per-trip statistics records of the trip database, rider records and the
// blocks that follow the samples in a DEO trip file.
//
// Every record is stored field by field in little-endian order; the in-memory
// structs mirror the stored layout (sizes asserted below) but are never
// written with memcpy. Each record has Store(out) and Load(in) working on
// exactly kBytes bytes.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tav {

// ---------------------------------------------------------------------------
// Limits and marks
// ---------------------------------------------------------------------------

// A trip file holds at least kMinTripRecords and fewer than kMaxTripRecords
// records (header included). Showing and analysing need kMinShowRecords.
inline constexpr int kMaxTripRecords = 200000;
inline constexpr int kMinTripRecords = 5;
inline constexpr int kMinShowRecords = 60;
// The trip buffers hold a few hundred records more than the largest trip, so
// code that clears the records after a trip's end (500 records) stays inside.
inline constexpr int kTripBufferSlack = 512;
inline constexpr int kTripBufferRecords = kMaxTripRecords + kTripBufferSlack;

// Statistics slots: tables of 1000 slots; a slot indexes them only when
// 0 <= slot <= 999. New trips get slots 1..998.
inline constexpr int kTripSlots = 1000;
inline constexpr int kNoSlot = 999;
inline constexpr int kFirstTripSlot = 1;
inline constexpr int kLastTripSlot = 998;
inline constexpr bool IsTableSlot(long long slot) { return slot >= 0 && slot < kTripSlots; }

inline constexpr int32_t kTableMark = 3021;        // valid zone / distribution slot
inline constexpr int32_t kDatabaseVersion = 3021;  // second word of the trip database
inline constexpr int32_t kSettingsVersion = 2001;  // first word of the settings file
inline constexpr float kZoneBlockMark = 5555.0f;   // word 0 of a valid zone block

// Kinds of sport (header byte 36, digit 15 of a trip key).
enum SportKind : int { kSportBikePower = 0, kSportBikeHeartRate = 1, kSportRun = 2 };
// Header flag: the note block holds a note.
inline constexpr int32_t kHeaderFlagNote = 0x20;

// ---------------------------------------------------------------------------
// Little-endian field access
// ---------------------------------------------------------------------------
namespace le {
inline void PutU8(unsigned char* p, uint8_t v) { p[0] = v; }
inline void PutU16(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
inline void PutU32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}
inline void PutI32(unsigned char* p, int32_t v) { PutU32(p, static_cast<uint32_t>(v)); }
inline void PutF32(unsigned char* p, float v) { PutU32(p, std::bit_cast<uint32_t>(v)); }
inline uint8_t GetU8(const unsigned char* p) { return p[0]; }
inline uint16_t GetU16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t GetU32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t GetI32(const unsigned char* p) { return static_cast<int32_t>(GetU32(p)); }
inline float GetF32(const unsigned char* p) { return std::bit_cast<float>(GetU32(p)); }
}  // namespace le

// ---------------------------------------------------------------------------
// TripSample: one record of a trip (40 bytes)
// ---------------------------------------------------------------------------
struct TripSample {
  int32_t Time = 0;          // +0  s since the trip's start
  float Distance = 0;        // +4  km
  float Power = 0;           // +8  W
  float Cadence = 0;         // +12 1/min; fraction x 100 = right-leg share [%]
  float Altitude = 0;        // +16 m
  float Speed = 0;           // +20 km/h
  float Temperature = 0;     // +24 degC
  float HeartRate = 0;       // +28 1/min
  int32_t Pause = 0;         // +32 s
  int8_t Interval = 0;       // +36 interval number
  uint8_t Extra[3] = {0, 0, 0};  // +37

  static constexpr std::size_t kBytes = 40;
  void Store(unsigned char* out) const {
    le::PutI32(out + 0, Time);
    le::PutF32(out + 4, Distance);
    le::PutF32(out + 8, Power);
    le::PutF32(out + 12, Cadence);
    le::PutF32(out + 16, Altitude);
    le::PutF32(out + 20, Speed);
    le::PutF32(out + 24, Temperature);
    le::PutF32(out + 28, HeartRate);
    le::PutI32(out + 32, Pause);
    out[36] = static_cast<unsigned char>(Interval);
    out[37] = Extra[0];
    out[38] = Extra[1];
    out[39] = Extra[2];
  }
  static TripSample Load(const unsigned char* in) {
    TripSample s;
    s.Time = le::GetI32(in + 0);
    s.Distance = le::GetF32(in + 4);
    s.Power = le::GetF32(in + 8);
    s.Cadence = le::GetF32(in + 12);
    s.Altitude = le::GetF32(in + 16);
    s.Speed = le::GetF32(in + 20);
    s.Temperature = le::GetF32(in + 24);
    s.HeartRate = le::GetF32(in + 28);
    s.Pause = le::GetI32(in + 32);
    s.Interval = static_cast<int8_t>(in[36]);
    s.Extra[0] = in[37];
    s.Extra[1] = in[38];
    s.Extra[2] = in[39];
    return s;
  }
  bool operator==(const TripSample&) const = default;
};
static_assert(sizeof(TripSample) == TripSample::kBytes);
// Whether a record in memory is byte for byte the record in a file (a
// little-endian machine, every field at its offset in the file): then records
// can be read from a file straight into a buffer, with no decoding pass.
inline constexpr bool kTripSampleIsFileLayout =
    std::endian::native == std::endian::little && offsetof(TripSample, Time) == 0 &&
    offsetof(TripSample, Distance) == 4 && offsetof(TripSample, Power) == 8 &&
    offsetof(TripSample, Cadence) == 12 && offsetof(TripSample, Altitude) == 16 &&
    offsetof(TripSample, Speed) == 20 && offsetof(TripSample, Temperature) == 24 &&
    offsetof(TripSample, HeartRate) == 28 && offsetof(TripSample, Pause) == 32 &&
    offsetof(TripSample, Interval) == 36 && offsetof(TripSample, Extra) == 37;

// ---------------------------------------------------------------------------
// TripHeader: record 0 of a trip read as a header (same 40 bytes)
// ---------------------------------------------------------------------------
// Every header field lies where a sample field of the same type lies, so the
// header is kept in TripSamples[0] and read through these accessors:
//   flags (+0) = Time, threshold (+8) = Power, rider weight x 10 (+12) =
//   Cadence, run threshold (+16) = Altitude, device offset (+20) = Speed,
//   K-factor (+24) = Temperature, heart-rate threshold (+28) = HeartRate,
//   kind of sport (+36) = Interval.
inline int32_t& HeaderFlags(TripSample& r0) { return r0.Time; }
inline float& HeaderThreshold(TripSample& r0) { return r0.Power; }
inline float& HeaderWeightX10(TripSample& r0) { return r0.Cadence; }
inline float& HeaderRunThreshold(TripSample& r0) { return r0.Altitude; }
inline float& HeaderDeviceOffset(TripSample& r0) { return r0.Speed; }
inline float& HeaderKFactor(TripSample& r0) { return r0.Temperature; }
inline float& HeaderHrThreshold(TripSample& r0) { return r0.HeartRate; }
inline int8_t& HeaderSport(TripSample& r0) { return r0.Interval; }
inline int32_t HeaderFlags(const TripSample& r0) { return r0.Time; }
inline float HeaderThreshold(const TripSample& r0) { return r0.Power; }
inline float HeaderWeightX10(const TripSample& r0) { return r0.Cadence; }
inline float HeaderRunThreshold(const TripSample& r0) { return r0.Altitude; }
inline float HeaderDeviceOffset(const TripSample& r0) { return r0.Speed; }
inline float HeaderKFactor(const TripSample& r0) { return r0.Temperature; }
inline float HeaderHrThreshold(const TripSample& r0) { return r0.HeartRate; }
inline int8_t HeaderSport(const TripSample& r0) { return r0.Interval; }

// ---------------------------------------------------------------------------
// TripSummary: whole-trip statistics of one slot (108 bytes)
// ---------------------------------------------------------------------------
// A record whose TotalTime is 0 has not been computed. For a manual entry
// MeanSpeed holds its start time and MaxSpeed its date as date-time values.
struct TripSummary {
  int32_t TotalTime = 0;      // +0  s
  int32_t ClimbTime = 0;      // +4  s
  float Distance = 0;         // +8  km
  float ClimbDistance = 0;    // +12 km
  float Ascent = 0;           // +16 m
  float MaxAltitude = 0;      // +20 m
  float MinAltitude = 0;      // +24 m
  float MeanPowerAll = 0;     // +28 W, zero samples included
  float MeanPowerNonZero = 0; // +32 W, zero samples left out
  float ClimbPower = 0;       // +36 W
  float MaxPower = 0;         // +40 W
  float NP = 0;               // +44 W
  float IF = 0;               // +48
  float TSS = 0;              // +52
  float Work = 0;             // +56 kJ
  float MeanHeartRate = 0;    // +60 1/min, 0 = none
  float MaxHeartRate = 0;     // +64
  float MeanCadence = 0;      // +68
  float MaxCadence = 0;       // +72
  float MeanSpeed = 0;        // +76 km/h
  float MaxSpeed = 0;         // +80 km/h
  float MeanTemperature = 0;  // +84 degC
  int32_t PowerTime = 0;      // +88 s with power
  float Weight = 0;           // +92 kg
  float Reserved[3] = {0, 0, 0};  // +96

  static constexpr std::size_t kBytes = 108;
  void Store(unsigned char* out) const;
  static TripSummary Load(const unsigned char* in);
  bool operator==(const TripSummary&) const = default;
};
static_assert(sizeof(TripSummary) == TripSummary::kBytes);

// ---------------------------------------------------------------------------
// TripZoneTimes: time in zones of one slot (80 bytes)
// ---------------------------------------------------------------------------
struct TripZoneTimes {
  uint32_t Seconds[10] = {};  // +0  s per zone class 0-8 (ZoneClassOf), [9] 0
  uint32_t Reserved40[6] = {};// +40
  uint8_t ZoneSet = 0;        // +64
  uint8_t Pad65[3] = {0, 0, 0};
  int32_t SampleInterval = 0; // +68 s
  int32_t RecordCount = 0;    // +72 header included
  int32_t Mark = 0;           // +76 kTableMark = valid

  static constexpr std::size_t kBytes = 80;
  void Store(unsigned char* out) const;
  static TripZoneTimes Load(const unsigned char* in);
  bool operator==(const TripZoneTimes&) const = default;
};
static_assert(sizeof(TripZoneTimes) == TripZoneTimes::kBytes);

// ---------------------------------------------------------------------------
// Distribution of one trip (or a sum over trips)
// ---------------------------------------------------------------------------
inline constexpr int kHistBins = 40;
inline constexpr int kPowerHistBins = 51;
// Bin b of each histogram holds the values that round to First + Step * b;
// the first and the last bin also take everything below and above.
inline constexpr int kHrHistFirst = 60, kHrHistStep = 5;
inline constexpr int kCadenceHistFirst = 40, kCadenceHistStep = 3;
inline constexpr int kSpeedHistFirst = 3, kSpeedHistStep = 2;
inline constexpr int kPowerHistFirst = 20, kPowerHistStep = 10;
// Peak powers: best mean power over these numbers of records.
inline constexpr int kPeakWindows[4] = {5, 60, 300, 1200};

// The part of a distribution record from its total time on (788 bytes), which
// DistributionView holds; offsets below are relative to TripDistribution.
struct DistributionData {
  int32_t TotalTime = 0;             // +4   s
  int32_t Peaks[4] = {};             // +8   W over 5, 60, 300, 1200 records
  int32_t Further24[2] = {};         // +24
  uint32_t HeartRateHist[40] = {};   // +32  s per bin
  uint32_t CadenceHist[40] = {};     // +192
  uint32_t SpeedHist[40] = {};       // +352
  uint32_t PowerHist[51] = {};       // +512
  int32_t Further716[9] = {};        // +716
  int32_t ZoneLimits[10] = {};       // +752 truncated zone-block values

  static constexpr std::size_t kBytes = 788;
  void Store(unsigned char* out) const;
  static DistributionData Load(const unsigned char* in);
  // Adds another record's times and histograms (peaks take the maximum,
  // zone limits are kept).
  void Add(const DistributionData& other);
  bool operator==(const DistributionData&) const = default;
};
static_assert(sizeof(DistributionData) == DistributionData::kBytes);

struct TripDistribution {
  int32_t Mark = 0;           // +0 kTableMark = valid
  DistributionData Data;      // +4 .. +792
  uint8_t Reserved[200] = {}; // +792

  static constexpr std::size_t kBytes = 992;
  static constexpr std::size_t kDataOffset = 4;
  void Store(unsigned char* out) const;
  static TripDistribution Load(const unsigned char* in);
  bool operator==(const TripDistribution&) const = default;
};
static_assert(sizeof(TripDistribution) == TripDistribution::kBytes);

// ---------------------------------------------------------------------------
// RiderRecord: one rider of the settings file (120 bytes)
// ---------------------------------------------------------------------------
struct RiderRecord {
  char Name[32] = {};           // +0  zero-terminated, Windows-1252
  float Weight = 0;             // +32 kg
  float Height = 0;             // +36 cm
  // +40 three values per bike: wheel circumference [mm], bike mass [kg],
  // rolling-resistance coefficient x 1000.
  float Bike[5][3] = {};
  uint8_t Options[20] = {};     // +100 option bytes

  static constexpr std::size_t kBytes = 120;
  void Store(unsigned char* out) const;
  static RiderRecord Load(const unsigned char* in);
  std::string NameText() const;           // up to the terminator
  void SetName(std::string_view name);    // cut to 31 bytes
  bool operator==(const RiderRecord&) const = default;
};
static_assert(sizeof(RiderRecord) == RiderRecord::kBytes);

// ---------------------------------------------------------------------------
// Trip date index entry (one per trip-list line)
// ---------------------------------------------------------------------------
struct TripDateEntry {
  int32_t Slot = 0;   // statistics slot; 0 for manual entries
  int32_t Date = 0;   // whole days since 30 Dec 1899 (date-time value)
  int32_t Sport = 0;  // key digit 15: 0-2 trips, 3-7 manual kinds
  bool operator==(const TripDateEntry&) const = default;
};

// ---------------------------------------------------------------------------
// DEO trip file blocks after the samples
// ---------------------------------------------------------------------------
//   int32 count | count x 40-byte records | zone 60 | scale 40 | note 330 | trailer 20
inline constexpr std::size_t kDeoZoneBlockBytes = 60;   // 15 floats, [0] = 5555.0
inline constexpr std::size_t kDeoScaleBlockBytes = 40;  // 10 floats: display scale maxima
inline constexpr std::size_t kDeoNoteBlockBytes = 330;  // zero-terminated note text
inline constexpr std::size_t kDeoTrailerBytes = 20;
inline constexpr int kZoneBlockWords = 15;
inline constexpr int kScaleWords = 10;
inline constexpr std::size_t kDeoTailBytes =
    kDeoZoneBlockBytes + kDeoScaleBlockBytes + kDeoNoteBlockBytes + kDeoTrailerBytes;
// Offset of each block in a file of `count` records.
inline constexpr std::size_t DeoZoneBlockOffset(int count) {
  return 4 + static_cast<std::size_t>(count) * TripSample::kBytes;
}
inline constexpr std::size_t DeoScaleBlockOffset(int count) {
  return DeoZoneBlockOffset(count) + kDeoZoneBlockBytes;
}
inline constexpr std::size_t DeoNoteBlockOffset(int count) {
  return DeoScaleBlockOffset(count) + kDeoScaleBlockBytes;
}
inline constexpr std::size_t DeoTrailerOffset(int count) {
  return DeoNoteBlockOffset(count) + kDeoNoteBlockBytes;
}
inline constexpr std::size_t DeoFileBytes(int count) {
  return DeoTrailerOffset(count) + kDeoTrailerBytes;
}

// Trip database: int32 highest slot, int32 3021, then the three tables.
inline constexpr std::size_t kDatabaseBytes =
    8 + kTripSlots * (TripSummary::kBytes + TripZoneTimes::kBytes + TripDistribution::kBytes);

}  // namespace tav
