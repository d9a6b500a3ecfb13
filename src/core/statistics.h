// Trip statistics: whole-trip summaries, section summaries, time in zones
// and distributions (peak powers and histograms).
//
// Definitions used throughout (records 1..count-1 of a trip, dt = sample
// interval in seconds):
//  - total time = (count - 1) x dt; distance = distance of the last record.
//  - NP (normalised power) = fourth root of the mean of the fourth powers of
//    the 30-second rolling mean power (window = max(1, round(30 / dt))
//    records, taken from the first full window on; a trip shorter than the
//    window uses its mean power).
//  - IF = NP / threshold; the threshold is the header's, else the current
//    rider's power threshold, else 100 W.
//  - TSS = hours x IF x IF x 100.
//  - work = sum of power x dt / 1000 [kJ].
//  - grade of record i = 100 x rise / run of the smoothed altitude between
//    records i - k and i + k (k = max(1, round(10 / dt))), 0 while the run is
//    below 1 m; the altitude is smoothed with a centred mean of +-7 records.
//  - climbing records are those whose grade reaches ClimbGradeThreshold;
//    climbing time, distance (sum of their distance steps) and power (mean of
//    their non-zero power) follow from them.
//  - ascent = sum of the rises between consecutive records of the smoothed
//    altitude.
//  - mean heart rate and cadence leave out records with 0; cadence is read
//    as whole revolutions (its fraction is the leg share).
//  - mean speed = distance / total time; mean temperature over all records.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/core_data.h"
#include "core/trip_types.h"

namespace tav {

class TForm;

// Inputs of the pure computations: a trip in a caller's buffer.
struct TripInput {
  const TripSample* Samples = nullptr;  // record 0 = header
  int Count = 0;                        // records including the header
  int Interval = 1;                     // seconds between records (>= 1)
  float Threshold = 100.0f;             // power threshold for IF
  float ClimbGrade = 2.0f;              // ClimbGradeThreshold
  float Weight = 0.0f;                  // rider weight [kg] (0: from the header)
};

// Per-record grade [%] as defined above (index = record; entry 0 is 0).
std::vector<float> ComputeGrades(const TripSample* samples, int count, int interval);
// Smoothed altitude (+-7 records, ends repeated), index = record.
std::vector<float> SmoothedAltitude(const TripSample* samples, int count);

// Whole-trip summary; returns true when the trip has power (some record
// above 0 W), else the power fields are 0.
bool SummarizeTrip(const TripInput& in, TripSummary& out);

// Threshold a trip is measured against: the header's; 0 -> the current
// rider's first RiderZones value of the trip's kind; 0 -> 100.
float TripThreshold(const TripSample& header);

// Computes TripSummaryTable[CurrentTripSlot], the slot's zone times and its
// distribution from the current trip. Result 1 when the trip has power,
// else 0. A slot outside 0..999 is left alone (nothing is written).
int EvaluateTrip();

// Statistics of records first..last of the current trip into SummaryLines
// and SectionMeans; with first <= 0 and WholeTripEvaluation the whole trip.
void EvaluateSection(int first, int last);
// The pure part: lines and means for records first..last of a trip.
struct SectionResult {
  std::array<std::string, kSummaryLineCount> Lines;
  float Means[6] = {};
  TripSummary Summary;  // of the section
};
SectionResult EvaluateSectionData(const TripInput& in, int first, int last, bool wholeTrip);

// Channel counted by ComputeZoneTimes.
enum ZoneChannel : int { kZoneChannelFromHeader = -1, kZoneChannelPower = 0,
                         kZoneChannelHeartRate = 1 };
// Zone classes of a value, the same in every window that names zones: class 0
// holds the values of 0 or below (no power, no heart rate; also a value that
// is no number), class j (1..7) the values above bound j - 1 (above 0 for
// class 1) up to and including bound j, class 8 the values above the top
// bound. ZoneNames[j] and ZoneColors[j] name and colour class j; the windows
// show classes 0..ZoneCount - 1, so time above the top bound in use is counted
// (class 8) but shown in no zone.
inline constexpr int kZoneClasses = 9;
using ZoneBounds = std::array<float, kZoneClasses>;  // [1..7] used, never falling
// Bounds of the classes from a zone block: bound i = block[min(i, top)] for
// i = 1..7 (top clamped to 1..7), raised to the bound before it (and to 0),
// a bound that is no number counting as 0. So a zero bound between others
// leaves its class empty, and classes above top stay empty.
ZoneBounds ZoneClassBounds(const float* zoneBlock, int top);
// Class of one value against such bounds.
inline int ZoneClassOf(float v, const ZoneBounds& b) {
  // Bounds never fall and are never below 0, so the class is the number of
  // tests passed (a NaN passes none).
  int c = v > 0;
  for (int i = 1; i < kZoneClasses - 1; ++i) c += v > b[static_cast<std::size_t>(i)];
  return c;
}
// Class of one value against a trip's zone block (its six bounds in use).
int ZoneOfValue(float value, const float* zoneBlock);
// Counts records 1..count-1 into zone classes against a zone block's six
// bounds (ZoneOfValue): Seconds[c] = records of class c x interval, c = 0..8;
// Seconds[9] stays 0. The record keeps its layout. Pure.
TripZoneTimes CountZoneTimes(const TripSample* samples, int count, int interval,
                             const float* zoneBlock, int channel);
// Writes zone times into TripZoneTable[slot] and the ten zone limits
// (truncated zone-block values) into TripDistributionTable[slot]. Slots
// outside 0..999 are ignored.
void StoreZoneTimes(int slot, const TripZoneTimes& times, const float* zoneBlock);
// Counts the current trip into TripZoneTable[slot] (channel from the header's
// kind unless given) with zone set, SampleInterval, TripSampleCount and the
// mark, and writes the zone limits into TripDistributionTable[slot]. The form
// is not used. Slots outside 0..999 are ignored.
void ComputeZoneTimes(TForm* form, int slot, int zoneSet,
                      int channel = kZoneChannelFromHeader);

// Zeroes the slot's histograms, peaks and total time.
void ClearTripDistribution(int slot);
// Fills TripDistributionTable[slot] from the current trip (histograms, peaks,
// total time, mark 3021) and copies it to DistributionView.
void ComputeTripDistribution(int slot);
// The pure part: histograms, peaks and total time (zone limits untouched).
// Every record adds its interval to one bin of each histogram, except that a
// heart rate of 0 (no measurement: a ride without a strap, a dropout) is not
// counted, so it cannot pile up in the lowest heart-rate bin.
void ComputeDistributionData(const TripSample* samples, int count, int interval,
                             DistributionData& out);
// Histogram bin of a value (first and last bin take everything outside).
int HistogramBin(float value, int first, int step, int bins);

// ZoneCount := 1 + number of non-zero bounds among the six power zone
// bounds of the current rider.
void CountRiderZones();

}  // namespace tav
