#include "core/smoothing.h"

#include <algorithm>
#include <cmath>

namespace tav {

AltitudeSeries CurrentAltitudeSeries;
std::vector<float> AltitudeMeans20;

int HalfWidthOfLevel(int level) { return SmoothHalfWidth[std::clamp(level, 0, 9)]; }

namespace {
float RawValue(const TripSample& s, SmoothColumn column) {
  switch (column) {
    case kSmoothPower: return s.Cadence <= 5.0f ? 0.0f : s.Power;
    case kSmoothCadence: return s.Cadence <= 5.0f ? 0.0f : s.Cadence;
    case kSmoothSpeed: return s.Speed;
    case kSmoothHeartRate: return s.HeartRate;
    case kSmoothAltitude: return s.Altitude;
    case kSmoothTemperature: return s.Temperature;
  }
  return 0.0f;
}
}  // namespace

void SmoothColumnOf(const TripSample* samples, int count, SmoothSample* out, SmoothColumn column,
                    int halfWidth) {
  // Records 1..count-1 take part; entry 0 is the header and is not written.
  const int first = 1, last = count - 1;
  if (last < first) return;
  const auto col = static_cast<std::size_t>(column);
  if (halfWidth <= 0) {
    for (int i = first; i <= last; ++i) out[i][col] = RawValue(samples[i], column);
    return;
  }
  // Record index clamped to the trip (end values repeated).
  auto value = [&](long j) {
    long k = std::clamp<long>(j, first, last);
    return static_cast<double>(RawValue(samples[k], column));
  };
  const long w = halfWidth;
  const double n = static_cast<double>(2 * w + 1);
  double sum = 0.0;
  for (long j = first - w; j <= first + w; ++j) sum += value(j);
  for (long i = first; i <= last; ++i) {
    out[i][col] = static_cast<float>(sum / n);
    sum += value(i + w + 1) - value(i - w);
  }
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
  SmoothColumnOf(TripSamples, count, TripSmooth, kSmoothTemperature, 30);
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
