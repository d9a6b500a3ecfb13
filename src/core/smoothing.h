// Channel smoothing: a centred moving mean over 2w + 1 records, w taken from
// SmoothHalfWidth by the channel's SmoothLevel. Beyond the first and the last
// record the end values are repeated; level 0 copies the raw values. The
// means are taken over the raw values; afterwards the smoothed power and
// cadence of every record whose raw cadence is 5 or less are set to 0. Entry
// 0 (the header) is never written. The cost does not depend on the level
// (running sums in double precision).
#pragma once

#include <vector>

#include "core/core_data.h"
#include "core/trip_types.h"

namespace tav {

// A record with a raw cadence of at most this is not pedalled: its smoothed
// power and cadence are 0.
inline constexpr float kPedallingCadence = 5.0f;

// Half-width of the temperature smoothing (records).
inline constexpr int kTemperatureHalfWidth = 30;

// Half-width of a smoothing level (levels outside 0..9 are clamped).
int HalfWidthOfLevel(int level);

// Departures from the channel rules above, for callers that need them.
struct SmoothRules {
  bool ZeroUnpedalled = true;  // power and cadence 0 where the raw cadence is 5 or less
  bool KeepRawEnds = false;    // records within the half-width of either end keep their raw value
};

// Smooths one column of records 1..count-1 of `samples` into `out` with the
// given half-width (pure; any buffers of at least `count` entries).
void SmoothColumnOf(const TripSample* samples, int count, SmoothSample* out, SmoothColumn column,
                    int halfWidth, SmoothRules rules = {});

// One column of a multi-column smoothing: the column, its half-width and
// rules.
struct SmoothJob {
  SmoothColumn Column = kSmoothPower;
  int HalfWidth = 0;
  SmoothRules Rules = {};
};
// Several columns in one pass over the records, each exactly as
// SmoothColumnOf smooths it alone (the same sums in the same order).
void SmoothColumnsOf(const TripSample* samples, int count, SmoothSample* out, const SmoothJob* jobs,
                     int jobCount);
// The same, job j into its own buffer out[j] (entries 1..count-1 written).
void SmoothColumnsInto(const TripSample* samples, int count, const SmoothJob* jobs, float* const* out,
                       int jobCount);

// All six columns of records 1..count-1 of a trip buffer into `out`
// (entries 0..count-1): power, cadence, speed, heart rate and altitude at
// their SmoothLevel entries, temperature over +-30 records. For the trip
// views, which keep the curves they draw apart from TripSmooth.
void SmoothAllColumnsOf(const TripSample* samples, int count, SmoothSample* out);

// The current trip (TripSamples, TripSampleCount) into TripSmooth, each with
// its SmoothLevel entry.
void SmoothChannelPower();
void SmoothChannelCadence();
void SmoothChannelSpeed();
void SmoothChannelHeartRate();
void SmoothChannelAltitude();
// Temperature over +-30 records.
void SmoothChannelTemperature();
// The comparison trip (TripSamples2, TripSampleCount2) into TripSmooth2 with
// an explicit level.
void SmoothChannel2(SmoothColumn column, int level);

// Altitude series of the current trip: smoothed temperature (+-30 records)
// into TripSmooth, the 20-record altitude means and the altitude scale bounds.
struct AltitudeSeries {
  float Min = 0, Max = 0;     // over records 1..count-1 (0 for an empty trip)
  float ScaleMin = 0, ScaleMax = 0;  // rounded out to whole 50 m
};
extern AltitudeSeries CurrentAltitudeSeries;
// Mean altitude of each block of 20 records (block b = records 1 + 20b ..).
extern std::vector<float> AltitudeMeans20;
void PrepareAltitudeSeries();

}  // namespace tav
