#include "core/smoothing.h"

#include <algorithm>
#include <cmath>

#include "platform/vector_state.h"

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

namespace {

constexpr int kMaxLanes = 6;

// One column being smoothed: a running sum over its window of 2w + 1
// records (w > 0).
struct Lane {
  float TripSample::*field = nullptr;
  std::size_t col = 0;   // the column of a row of SmoothSample ...
  float* plain = nullptr;  // ... or the lane's own buffer (one entry per record)
  long w = 0;
  double n = 1.0;
  bool pedalled = false;       // 0 where the raw cadence is 5 or less
  long keep_to = 0, keep_from = 0;  // raw values at i <= keep_to and i >= keep_from
  double sum = 0.0;
};

// Where a lane's values go: rows of SmoothSample, or one buffer per lane.
struct ToRows {
  SmoothSample* out;
  float& At(const Lane& l, long i) const { return out[i][l.col]; }
};
struct ToBuffers {
  float& At(const Lane& l, long i) const { return l.plain[i]; }
};

// Records i - w .. i + w for every lane and every i of from..to lie inside
// first..last: no index is clamped, and no record keeps its raw value. The
// lanes go in pairs, each pair's sums and quotients in the two halves of a
// two-double vector (the compiler's vector extension: one SIMD division
// for two lanes where the machine has it; each half rounds as the plain
// double operation does). An odd lane count pairs the last lane with a
// stand-in that is never stored.
template <int N, class Out>
void SmoothMiddle(const TripSample* samples, Out out, Lane* lanes, long from, long to) {
  using V2 = double __attribute__((vector_size(16)));
  constexpr int P = (N + 1) / 2;
  Lane lane[2 * P];
  for (int k = 0; k < 2 * P; ++k) {
    lane[k] = lanes[k < N ? k : 0];
    if (k >= N) lane[k].w = 0;  // reads records i and i + 1 only
  }
  float TripSample::*field[2 * P];
  long w[2 * P];
  bool pedalled[2 * P];
  V2 n[P], sum[P];
  for (int k = 0; k < 2 * P; ++k) {
    field[k] = lane[k].field;
    w[k] = lane[k].w;
    pedalled[k] = lane[k].pedalled;
  }
  for (int p = 0; p < P; ++p) {
    n[p] = V2{lane[2 * p].n, lane[2 * p + 1].n};
    sum[p] = V2{lane[2 * p].sum, lane[2 * p + 1].sum};
  }
  for (long i = from; i <= to; ++i) {
    const bool coasting = samples[i].Cadence <= kPedallingCadence;
    for (int p = 0; p < P; ++p) {
      const int a = 2 * p, b = 2 * p + 1;
      const V2 q = sum[p] / n[p];
      const float va = static_cast<float>(q[0]);
      out.At(lane[a], i) = (pedalled[a] && coasting) ? 0.0f : va;
      if (b < N) {
        const float vb = static_cast<float>(q[1]);
        out.At(lane[b], i) = (pedalled[b] && coasting) ? 0.0f : vb;
      }
      const V2 in = {static_cast<double>(samples[i + w[a] + 1].*field[a]),
                     static_cast<double>(samples[i + w[b] + 1].*field[b])};
      const V2 leaving = {static_cast<double>(samples[i - w[a]].*field[a]),
                          static_cast<double>(samples[i - w[b]].*field[b])};
      sum[p] += in - leaving;
    }
  }
  for (int k = 0; k < N; ++k) lanes[k].sum = sum[k / 2][k % 2];
}

template <class Out>
void SmoothLanes(const TripSample* samples, long first, long last, Out out, Lane* lanes, int count) {
  long widest = 0;
  for (int k = 0; k < count; ++k) widest = std::max(widest, lanes[k].w);
  // Indexes beyond the trip take the end records (end values repeated).
  auto value = [&](const Lane& l, long j) {
    return static_cast<double>(samples[j < first ? first : (j > last ? last : j)].*l.field);
  };
  auto step = [&](long i) {
    for (int k = 0; k < count; ++k) {
      Lane& l = lanes[k];
      float v = static_cast<float>(l.sum / l.n);
      if (i <= l.keep_to || i >= l.keep_from) v = samples[i].*l.field;
      out.At(l, i) = (l.pedalled && samples[i].Cadence <= kPedallingCadence) ? 0.0f : v;
      l.sum += value(l, i + l.w + 1) - value(l, i - l.w);
    }
  };
  for (int k = 0; k < count; ++k) {
    Lane& l = lanes[k];
    l.sum = 0.0;
    for (long j = first - l.w; j <= first + l.w; ++j) l.sum += value(l, j);
  }
  long mid_from = first + widest, mid_to = last - widest - 1;
  if (mid_to < mid_from) mid_from = last + 1, mid_to = last;
  for (long i = first; i < mid_from; ++i) step(i);
  switch (count) {
    case 1: SmoothMiddle<1, Out>(samples, out, lanes, mid_from, mid_to); break;
    case 2: SmoothMiddle<2, Out>(samples, out, lanes, mid_from, mid_to); break;
    case 3: SmoothMiddle<3, Out>(samples, out, lanes, mid_from, mid_to); break;
    case 4: SmoothMiddle<4, Out>(samples, out, lanes, mid_from, mid_to); break;
    case 5: SmoothMiddle<5, Out>(samples, out, lanes, mid_from, mid_to); break;
    case 6: SmoothMiddle<6, Out>(samples, out, lanes, mid_from, mid_to); break;
    default: break;
  }
  for (long i = mid_to + 1; i <= last; ++i) step(i);
}

// The jobs in passes of up to six lanes; job j writes rows[i][its column]
// (rows given) or buffers[j][i].
void SmoothJobs(const TripSample* samples, int count, const SmoothJob* jobs, int jobCount,
                SmoothSample* rows, float* const* buffers) {
  // Records 1..count-1 take part; entry 0 is the header and is not written.
  const long first = 1, last = count - 1;
  if (last < first || jobs == nullptr) return;
  ClearUpperVectorState();  // the loops below are plain SSE
  Lane lanes[kMaxLanes];
  int lane_count = 0;
  auto run = [&] {
    if (rows != nullptr) SmoothLanes(samples, first, last, ToRows{rows}, lanes, lane_count);
    else SmoothLanes(samples, first, last, ToBuffers{}, lanes, lane_count);
    lane_count = 0;
  };
  for (int j = 0; j < jobCount; ++j) {
    const SmoothJob& job = jobs[j];
    Lane& l = lanes[lane_count];
    l.field = FieldOf(job.Column);
    l.col = static_cast<std::size_t>(job.Column);
    l.plain = rows != nullptr ? nullptr : buffers[j];
    // Power and cadence are 0 wherever the rider does not pedal.
    l.pedalled = job.Rules.ZeroUnpedalled && (job.Column == kSmoothPower || job.Column == kSmoothCadence);
    if (job.HalfWidth <= 0) {
      // The raw values (after the columns before it, which it may repeat).
      const Lane raw = l;
      if (lane_count > 0) run();
      for (long i = first; i <= last; ++i) {
        const float v = samples[i].*raw.field;
        (rows != nullptr ? rows[i][raw.col] : raw.plain[i]) =
            (raw.pedalled && samples[i].Cadence <= kPedallingCadence) ? 0.0f : v;
      }
      continue;
    }
    l.w = job.HalfWidth;
    l.n = static_cast<double>(2 * l.w + 1);
    // With KeepRawEnds: the records whose window would reach past an end.
    l.keep_to = job.Rules.KeepRawEnds ? first + l.w - 1 : first - 1;
    l.keep_from = job.Rules.KeepRawEnds ? last - l.w + 1 : last + 1;
    if (++lane_count == kMaxLanes) run();
  }
  if (lane_count > 0) run();
}

}  // namespace

void SmoothColumnsOf(const TripSample* samples, int count, SmoothSample* out, const SmoothJob* jobs,
                     int jobCount) {
  if (out != nullptr) SmoothJobs(samples, count, jobs, jobCount, out, nullptr);
}

void SmoothColumnsInto(const TripSample* samples, int count, const SmoothJob* jobs, float* const* out,
                       int jobCount) {
  if (out != nullptr) SmoothJobs(samples, count, jobs, jobCount, nullptr, out);
}

void SmoothColumnOf(const TripSample* samples, int count, SmoothSample* out, SmoothColumn column,
                    int halfWidth, SmoothRules rules) {
  const SmoothJob job{column, halfWidth, rules};
  SmoothColumnsOf(samples, count, out, &job, 1);
}

void SmoothAllColumnsOf(const TripSample* samples, int count, SmoothSample* out) {
  const SmoothJob jobs[] = {{kSmoothPower, HalfWidthOfLevel(SmoothLevel[kLevelPower])},
                            {kSmoothCadence, HalfWidthOfLevel(SmoothLevel[kLevelCadence])},
                            {kSmoothSpeed, HalfWidthOfLevel(SmoothLevel[kLevelSpeed])},
                            {kSmoothHeartRate, HalfWidthOfLevel(SmoothLevel[kLevelHeartRate])},
                            {kSmoothAltitude, HalfWidthOfLevel(SmoothLevel[kLevelAltitude])},
                            {kSmoothTemperature, kTemperatureHalfWidth}};
  SmoothColumnsOf(samples, count, out, jobs, 6);
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
