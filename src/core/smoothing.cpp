#include "core/smoothing.h"

#include <algorithm>
#include <cmath>

namespace tav {

AltitudeSeries CurrentAltitudeSeries;
std::vector<float> AltitudeMeans20;

int HalfWidthOfLevel(int level) { return SmoothHalfWidth[std::clamp(level, 0, 9)]; }

namespace {
// The field a smoothed column is taken from.
float TripSample::*FieldOf(SmoothColumn column) {
  switch (column) {
    case kSmoothPower: return &TripSample::Power;
    case kSmoothCadence: return &TripSample::Cadence;
    case kSmoothSpeed: return &TripSample::Speed;
    case kSmoothHeartRate: return &TripSample::HeartRate;
    case kSmoothAltitude: return &TripSample::Altitude;
    case kSmoothTemperature: return &TripSample::Temperature;
  }
  return &TripSample::Temperature;
}
}  // namespace

void SmoothColumnOf(const TripSample* samples, int count, SmoothSample* out, SmoothColumn column,
                    int halfWidth, SmoothRules rules) {
  // Records 1..count-1 take part; entry 0 is the header and is not written.
  const int first = 1, last = count - 1;
  if (last < first) return;
  const auto col = static_cast<std::size_t>(column);
  float TripSample::*field = FieldOf(column);
  // Power and cadence are 0 wherever the rider does not pedal.
  const bool pedalled = rules.ZeroUnpedalled && (column == kSmoothPower || column == kSmoothCadence);
  // With KeepRawEnds: the records whose window would reach past an end.
  const long keep_to = rules.KeepRawEnds ? first + halfWidth - 1 : first - 1;
  const long keep_from = rules.KeepRawEnds ? last - halfWidth + 1 : last + 1;
  auto put = [&](long i, float v) {
    if (i <= keep_to || i >= keep_from) v = samples[i].*field;
    out[i][col] = (pedalled && samples[i].Cadence <= kPedallingCadence) ? 0.0f : v;
  };
  if (halfWidth <= 0) {
    for (long i = first; i <= last; ++i) put(i, samples[i].*field);
    return;
  }
  // One running sum over the window, in one pass; indexes beyond the trip
  // take the end records (end values repeated).
  const long w = halfWidth;
  const double n = static_cast<double>(2 * w + 1);
  auto value = [&](long j) {
    return static_cast<double>(samples[j < first ? first : (j > last ? last : j)].*field);
  };
  double sum = 0.0;
  for (long j = first - w; j <= first + w; ++j) sum += value(j);
  for (long i = first; i <= last; ++i) {
    put(i, static_cast<float>(sum / n));
    sum += value(i + w + 1) - value(i - w);
  }
}

void SmoothAllColumnsOf(const TripSample* samples, int count, SmoothSample* out) {
  static constexpr struct {
    SmoothColumn column;
    SmoothLevelIndex level;
  } kChannels[] = {{kSmoothPower, kLevelPower},
                   {kSmoothCadence, kLevelCadence},
                   {kSmoothSpeed, kLevelSpeed},
                   {kSmoothHeartRate, kLevelHeartRate},
                   {kSmoothAltitude, kLevelAltitude}};
  for (const auto& c : kChannels)
    SmoothColumnOf(samples, count, out, c.column, HalfWidthOfLevel(SmoothLevel[c.level]));
  SmoothColumnOf(samples, count, out, kSmoothTemperature, kTemperatureHalfWidth);
}

namespace {
void SmoothCurrent(SmoothColumn column, int levelIndex) {
  int count = std::clamp(TripSampleCount, 0, kTripBufferRecords);
  SmoothColumnOf(TripSamples, count, TripSmooth, column, HalfWidthOfLevel(SmoothLevel[levelIndex]));
}
}  // namespace

void SmoothChannelPower() { SmoothCurrent(kSmoothPower, kLevelPower); }
void SmoothChannelCadence() { SmoothCurrent(kSmoothCadence, kLevelCadence); }
void SmoothChannelSpeed() { SmoothCurrent(kSmoothSpeed, kLevelSpeed); }
void SmoothChannelHeartRate() { SmoothCurrent(kSmoothHeartRate, kLevelHeartRate); }
void SmoothChannelAltitude() { SmoothCurrent(kSmoothAltitude, kLevelAltitude); }

void SmoothChannelTemperature() {
  int count = std::clamp(TripSampleCount, 0, kTripBufferRecords);
  SmoothColumnOf(TripSamples, count, TripSmooth, kSmoothTemperature, kTemperatureHalfWidth);
}

void SmoothChannel2(SmoothColumn column, int level) {
  int count = std::clamp(TripSampleCount2, 0, kTripBufferRecords);
  SmoothColumnOf(TripSamples2, count, TripSmooth2, column, HalfWidthOfLevel(level));
}

void PrepareAltitudeSeries() {
  SmoothChannelTemperature();
  int count = std::clamp(TripSampleCount, 0, kTripBufferRecords);
  AltitudeMeans20.clear();
  AltitudeSeries s;
  bool any = false;
  double sum = 0.0;
  int n = 0;
  for (int i = 1; i < count; ++i) {
    float a = TripSamples[i].Altitude;
    if (!std::isfinite(a)) a = 0.0f;
    if (!any) { s.Min = s.Max = a; any = true; }
    s.Min = std::min(s.Min, a);
    s.Max = std::max(s.Max, a);
    sum += a;
    if (++n == 20) {
      AltitudeMeans20.push_back(static_cast<float>(sum / n));
      sum = 0.0;
      n = 0;
    }
  }
  if (n > 0) AltitudeMeans20.push_back(static_cast<float>(sum / n));
  s.ScaleMin = std::floor(s.Min / 50.0f) * 50.0f;
  s.ScaleMax = std::ceil(s.Max / 50.0f) * 50.0f;
  if (s.ScaleMax <= s.ScaleMin) s.ScaleMax = s.ScaleMin + 50.0f;
  CurrentAltitudeSeries = s;
}

}  // namespace tav
