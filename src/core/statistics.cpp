#include "core/statistics.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "core/trip_file.h"
#include "platform/text.h"
#include "platform/vector_state.h"

namespace tav {

namespace {

float Finite(float v) { return std::isfinite(v) ? v : 0.0f; }

// Seconds between records as the statistics use them (1 s up to an hour).
int Step(int interval) { return std::clamp(interval, 1, kMaxSampleInterval); }

// Seconds of `records` records `dt` apart, worked out in 64 bits and kept
// within what a stored time (int32) holds.
int32_t SecondsOf(int64_t records, int dt) {
  return static_cast<int32_t>(std::clamp<int64_t>(records * dt, 0, INT32_MAX));
}

// A double as a float: not a number gives 0, beyond the float range its end.
float ToFloat(double v) {
  return std::isnan(v) ? 0.0f : static_cast<float>(std::clamp<double>(v, -FLT_MAX, FLT_MAX));
}

// Every value of a summary finite: a stored summary never shows "inf" or "nan".
void MakeFinite(TripSummary& s) {
  for (float* v : {&s.Distance, &s.ClimbDistance, &s.Ascent, &s.MaxAltitude, &s.MinAltitude,
                   &s.MeanPowerAll, &s.MeanPowerNonZero, &s.ClimbPower, &s.MaxPower, &s.NP, &s.IF,
                   &s.TSS, &s.Work, &s.MeanHeartRate, &s.MaxHeartRate, &s.MeanCadence,
                   &s.MaxCadence, &s.MeanSpeed, &s.MaxSpeed, &s.MeanTemperature, &s.Weight})
    *v = Finite(*v);
}

constexpr int kAltitudeHalfWidth = 7;

// Range statistics over records first..last (1 <= first <= last < count).
struct RangeStats {
  TripSummary Summary;
  bool HasPower = false;
  double MeanAltitude = 0;
  double MeanTemperature = 0;
  double MeanGrade = 0;
};

RangeStats SummarizeRange(const TripInput& in, int first, int last, const std::vector<float>& alt,
                          const std::vector<float>& grades) {
  RangeStats r;
  TripSummary& s = r.Summary;
  const TripSample* t = in.Samples;
  const int dt = Step(in.Interval);
  const int records = last - first + 1;
  if (records <= 0) return r;

  double sumP = 0, sumPnz = 0, sumHr = 0, sumCad = 0, sumTemp = 0, sumAlt = 0;
  double climbDist = 0, climbPowerSum = 0, ascent = 0;
  long cntPnz = 0, cntHr = 0, cntCad = 0, climbCnt = 0, climbPowerCnt = 0;
  float maxP = 0, maxHr = 0, maxCad = 0, maxSpeed = 0;
  float minAlt = 0, maxAlt = 0;
  bool anyAlt = false;
  for (int i = first; i <= last; ++i) {
    const TripSample& x = t[i];
    float p = Finite(x.Power);
    sumP += p;
    if (p > 0) { sumPnz += p; ++cntPnz; }
    maxP = std::max(maxP, p);
    float hr = Finite(x.HeartRate);
    if (hr > 0) { sumHr += hr; ++cntHr; maxHr = std::max(maxHr, hr); }
    float cad = std::floor(Finite(x.Cadence));
    if (cad > 0) { sumCad += cad; ++cntCad; maxCad = std::max(maxCad, cad); }
    maxSpeed = std::max(maxSpeed, Finite(x.Speed));
    sumTemp += Finite(x.Temperature);
    float a = Finite(x.Altitude);
    sumAlt += a;
    if (!anyAlt) { minAlt = maxAlt = a; anyAlt = true; }
    minAlt = std::min(minAlt, a);
    maxAlt = std::max(maxAlt, a);
    if (grades[static_cast<std::size_t>(i)] >= in.ClimbGrade) {
      ++climbCnt;
      float prev = i > 1 ? Finite(t[i - 1].Distance) : 0.0f;
      climbDist += std::max(0.0f, Finite(x.Distance) - prev);
      if (p > 0) { climbPowerSum += p; ++climbPowerCnt; }
    }
    if (i > first) {
      float rise = alt[static_cast<std::size_t>(i)] - alt[static_cast<std::size_t>(i - 1)];
      if (rise > 0) ascent += rise;
    }
  }

  s.TotalTime = SecondsOf(records, dt);
  float startDist = first > 1 ? Finite(t[first - 1].Distance) : 0.0f;
  s.Distance = std::max(0.0f, Finite(t[last].Distance) - startDist);
  s.ClimbTime = SecondsOf(climbCnt, dt);
  s.ClimbDistance = ToFloat(climbDist);
  s.Ascent = ToFloat(ascent);
  s.MaxAltitude = maxAlt;
  s.MinAltitude = minAlt;
  s.MeanPowerAll = ToFloat(sumP / records);
  s.MeanPowerNonZero = cntPnz ? ToFloat(sumPnz / cntPnz) : 0.0f;
  s.ClimbPower = climbPowerCnt ? ToFloat(climbPowerSum / climbPowerCnt) : 0.0f;
  s.MaxPower = maxP;

  // Normalised power over the 30 s rolling mean.
  const int window = std::max(1, static_cast<int>(std::lround(30.0 / dt)));
  if (records >= window) {
    double sum = 0, sum4 = 0;
    for (int i = first; i < first + window; ++i) sum += Finite(t[i].Power);
    long positions = 0;
    for (int i = first + window - 1;; ++i) {
      double m = sum / window;
      sum4 += m * m * m * m;
      ++positions;
      if (i + 1 > last) break;
      sum += Finite(t[i + 1].Power) - Finite(t[i + 1 - window].Power);
    }
    s.NP = ToFloat(std::pow(sum4 / positions, 0.25));
  } else {
    s.NP = s.MeanPowerAll;
  }
  float threshold = in.Threshold >= 1.0f && std::isfinite(in.Threshold) ? in.Threshold : 100.0f;
  s.IF = s.NP / threshold;
  s.TSS = ToFloat(s.TotalTime / 3600.0 * s.IF * s.IF * 100.0);
  s.Work = ToFloat(sumP * dt / 1000.0);
  s.MeanHeartRate = cntHr ? ToFloat(sumHr / cntHr) : 0.0f;
  s.MaxHeartRate = maxHr;
  s.MeanCadence = cntCad ? ToFloat(sumCad / cntCad) : 0.0f;
  s.MaxCadence = maxCad;
  s.MeanSpeed = s.TotalTime > 0 ? ToFloat(s.Distance / (s.TotalTime / 3600.0)) : 0.0f;
  s.MaxSpeed = maxSpeed;
  s.MeanTemperature = ToFloat(sumTemp / records);
  s.PowerTime = SecondsOf(cntPnz, dt);
  float weight = in.Weight;
  if (!(weight > 0)) weight = Finite(HeaderWeightX10(t[0])) / 10.0f;
  if (!(weight > 0)) weight = RiderTable[std::clamp<int>(CurrentRider, 0, kRiderCount - 1)].Weight;
  s.Weight = weight;

  r.HasPower = maxP > 0;
  if (!r.HasPower) {
    s.MeanPowerAll = s.MeanPowerNonZero = s.ClimbPower = s.MaxPower = 0;
    s.NP = s.IF = s.TSS = s.Work = 0;
    s.PowerTime = 0;
  }
  MakeFinite(s);
  r.MeanAltitude = sumAlt / records;
  r.MeanTemperature = sumTemp / records;
  double run = (Finite(t[last].Distance) - startDist) * 1000.0;
  double rise = alt[static_cast<std::size_t>(last)] - alt[static_cast<std::size_t>(first)];
  r.MeanGrade = run >= 1.0 ? 100.0 * rise / run : 0.0;
  return r;
}

}  // namespace

std::vector<float> SmoothedAltitude(const TripSample* samples, int count) {
  std::vector<float> out(static_cast<std::size_t>(std::max(count, 0)), 0.0f);
  const int first = 1, last = count - 1;
  if (last < first) return out;
  auto value = [&](long j) {
    return static_cast<double>(Finite(samples[std::clamp<long>(j, first, last)].Altitude));
  };
  const long w = kAltitudeHalfWidth;
  double sum = 0;
  for (long j = first - w; j <= first + w; ++j) sum += value(j);
  // The records whose window reaches past neither end need no clamping.
  long mid_from = first + w, mid_to = last - w - 1;
  if (mid_to < mid_from) mid_from = last + 1, mid_to = last;
  float* o = out.data();
  for (long i = first; i < mid_from; ++i) {
    o[i] = static_cast<float>(sum / (2 * w + 1));
    sum += value(i + w + 1) - value(i - w);
  }
  for (long i = mid_from; i <= mid_to; ++i) {
    o[i] = static_cast<float>(sum / (2 * w + 1));
    sum += static_cast<double>(Finite(samples[i + w + 1].Altitude)) -
           static_cast<double>(Finite(samples[i - w].Altitude));
  }
  for (long i = mid_to + 1; i <= last; ++i) {
    o[i] = static_cast<float>(sum / (2 * w + 1));
    sum += value(i + w + 1) - value(i - w);
  }
  return out;
}

namespace {
std::vector<float> GradesFromAltitude(const TripSample* samples, int count, int interval,
                                      const std::vector<float>& alt) {
  std::vector<float> g(static_cast<std::size_t>(std::max(count, 0)), 0.0f);
  const int last = count - 1;
  if (last < 1) return g;
  const int k = std::max(1, static_cast<int>(std::lround(10.0 / std::max(1, interval))));
  const float* h = alt.data();
  float* out = g.data();
  auto grade = [&](int i, int a, int b) {
    double run = (Finite(samples[b].Distance) - Finite(samples[a].Distance)) * 1000.0;
    if (run < 1.0) return;
    out[i] = ToFloat(100.0 * (h[b] - h[a]) / run);
  };
  // Records i - k .. i + k inside 1..last for i in mid_from..mid_to.
  int mid_from = 1 + k, mid_to = last - k;
  if (mid_to < mid_from) mid_from = last + 1, mid_to = last;
  for (int i = 1; i < mid_from; ++i) grade(i, std::max(1, i - k), std::min(last, i + k));
  for (int i = mid_from; i <= mid_to; ++i) grade(i, i - k, i + k);
  for (int i = mid_to + 1; i <= last; ++i) grade(i, std::max(1, i - k), std::min(last, i + k));
  return g;
}
}  // namespace

std::vector<float> ComputeGrades(const TripSample* samples, int count, int interval) {
  return GradesFromAltitude(samples, count, interval, SmoothedAltitude(samples, count));
}

bool SummarizeTrip(const TripInput& in, TripSummary& out) {
  ClearUpperVectorState();  // the loops below are plain SSE
  out = TripSummary{};
  if (!in.Samples || in.Count < 2) return false;
  std::vector<float> alt = SmoothedAltitude(in.Samples, in.Count);
  std::vector<float> grades = GradesFromAltitude(in.Samples, in.Count, in.Interval, alt);
  RangeStats r = SummarizeRange(in, 1, in.Count - 1, alt, grades);
  out = r.Summary;
  return r.HasPower;
}

float TripThreshold(const TripSample& header) {
  float t = HeaderThreshold(header);
  if (std::isfinite(t) && t > 0) return t;
  int rider = std::clamp<int>(CurrentRider, 0, kRiderCount - 1);
  uint16_t v = RiderZones[rider][kZoneRowPower][0];
  return v != 0 ? static_cast<float>(v) : 100.0f;
}

namespace {
TripInput CurrentTripInput() {
  TripInput in;
  in.Samples = TripSamples;
  in.Count = std::clamp(TripSampleCount, 0, kMaxTripRecords - 1);
  in.Interval = RecordInterval(TripSamples, in.Count);
  in.Threshold = in.Count > 0 ? TripThreshold(TripSamples[0]) : 100.0f;
  in.ClimbGrade = ClimbGradeThreshold;
  return in;
}
}  // namespace

int EvaluateTrip() {
  TripInput in = CurrentTripInput();
  SampleInterval = in.Interval;  // the zone times count with the trip's own interval
  TripSummary s;
  bool power = SummarizeTrip(in, s);
  int slot = CurrentTripSlot;
  if (!IsTableSlot(slot)) return power ? 1 : 0;
  TripSummaryTable[slot] = s;
  TripDatabaseChanged = true;
  ComputeZoneTimes(nullptr, slot, 0);
  ComputeTripDistribution(slot);
  return power ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Section
// ---------------------------------------------------------------------------

namespace {
std::string TimeText(const char* fmtShort, const char* fmtLong, const std::string& lab, double value,
                     const std::string& timeLabel, int seconds) {
  int h = seconds / 3600, m = (seconds % 3600) / 60, s = seconds % 60;
  return Format(h >= 100 ? fmtLong : fmtShort, lab.c_str(), value, timeLabel.c_str(), h, m, s);
}
}  // namespace

SectionResult EvaluateSectionData(const TripInput& in, int first, int last, bool wholeTrip) {
  ClearUpperVectorState();  // the loops below are plain SSE
  SectionResult res;
  const int n = in.Count;
  if (first <= 0 && wholeTrip) {
    first = 1;
    last = n - 1;
  }
  if (first > last) std::swap(first, last);
  first = std::max(first, 1);
  last = std::min(last, n - 1);

  const bool miles = UnitFlags & kUnitMiles;
  const bool fahrenheit = UnitFlags & kUnitFahrenheit;
  const double sf = miles ? kMilesPerKm : 1.0;
  const double af = miles ? kFeetPerMetre : 1.0;
  const std::string distUnit = miles ? " [miles]" : " [km]";
  const std::string speedUnit = miles ? "[mph]" : "[km/h]";
  const std::string altUnit = miles ? " [ft]" : " [m]";
  const auto& L = LangLabels;

  RangeStats r;
  if (in.Samples && n >= 2 && first <= last) {
    std::vector<float> alt = SmoothedAltitude(in.Samples, n);
    std::vector<float> grades = GradesFromAltitude(in.Samples, n, in.Interval, alt);
    r = SummarizeRange(in, first, last, alt, grades);
  }
  const TripSummary& s = r.Summary;
  res.Summary = s;
  res.Means[kMeanPower] = s.MeanPowerAll;
  res.Means[kMeanSpeed] = s.MeanSpeed;
  res.Means[kMeanCadence] = s.MeanCadence;
  res.Means[kMeanGrade] = ToFloat(r.MeanGrade);
  res.Means[kMeanTemperature] = ToFloat(r.MeanTemperature);
  res.Means[kMeanAltitude] = ToFloat(r.MeanAltitude);

  auto temp = [&](double c) { return fahrenheit ? c * 1.8 + 32.0 : c; };
  auto& out = res.Lines;
  std::string distLab = (wholeTrip ? L[7] : L[8]) + distUnit;
  out[0] = TimeText("%-28.28s=%8.2f  %13.13s = %02i:%02i:%02i",
                    "%-28.28s=%8.2f  %13.13s =%3i:%02i:%02i", distLab, s.Distance * sf, L[0],
                    s.TotalTime);
  out[1] = Format("NP\x99[Watt]                   =%8.1f           IF\x99  = %8.3f", s.NP, s.IF);
  out[2] = Format("                                                TSS\x99 = %8.0f", s.TSS);
  out[3] = Format("Power %-21.21s =%8.1f /%6.1f   max  = %8.0f", "(INC 0 W/ EXC 0 W)",
                  s.MeanPowerAll, s.MeanPowerNonZero, s.MaxPower);
  out[4] = Format("%-13.13s%14.14s =%8.1f           max  = %8.1f", ("v " + speedUnit).c_str(),
                  L[6].c_str(), s.MeanSpeed * sf, s.MaxSpeed * sf);
  out[5] = Format("RPM       %17.17s =%8.1f           max  = %8.0f", L[6].c_str(), s.MeanCadence,
                  s.MaxCadence);
  out[6] = Format("%-10.10s%17.17s =%8.1f           max  = %8.0f", L[5].c_str(), L[6].c_str(),
                  s.MeanHeartRate, s.MaxHeartRate);
  out[7] = Format("%-28.28s=%8.0f         [kcal] = %8.0f", (L[4] + " [kJoule]").c_str(), s.Work,
                  s.Work * 0.2389 * 4.5);
  out[8] = Format("%-28.28s=%8.0f", (L[2] + altUnit).c_str(), s.Ascent * af);
  out[9] = Format("%-13.13s%14.14s =%8.0f   min = %6.0f  max = %6.0f", (L[3] + altUnit).c_str(),
                  L[6].c_str(), r.MeanAltitude * af, s.MinAltitude * af, s.MaxAltitude * af);
  std::string climbLab = Format("> %4.2f%%", ClimbGradeThreshold);
  out[10] = TimeText("%-28.28s=%8.2f  %13.13s = %02i:%02i:%02i",
                     "%-28.28s=%8.2f  %13.13s =%3i:%02i:%02i",
                     L[1] + " " + climbLab + distUnit, s.ClimbDistance * sf, L[0], s.ClimbTime);
  out[11] = Format("%-36.36s  Power(EXC 0 W) = %8.1f", climbLab.c_str(), s.ClimbPower);
  out[12] = Format("%-13.13s%14.14s =%8.1f", (fahrenheit ? "T [\xB0""F]" : "T [\xB0""C]"),
                   L[6].c_str(), temp(r.MeanTemperature));
  return res;
}

void EvaluateSection(int first, int last) {
  TripInput in = CurrentTripInput();
  SectionResult r = EvaluateSectionData(in, first, last, WholeTripEvaluation);
  SummaryLines = r.Lines;
  std::copy(std::begin(r.Means), std::end(r.Means), SectionMeans);
}

// ---------------------------------------------------------------------------
// Zones
// ---------------------------------------------------------------------------

ZoneBounds ZoneClassBounds(const float* zoneBlock, int top) {
  top = std::clamp(top, 1, kZoneClasses - 2);
  ZoneBounds b{};
  float floor = 0;
  for (int i = 1; i < kZoneClasses; ++i) {
    const float v = zoneBlock[std::min(i, top)];
    floor = std::max(floor, std::isfinite(v) ? v : 0.0f);
    b[static_cast<std::size_t>(i)] = floor;
  }
  return b;
}

int ZoneOfValue(float value, const float* zoneBlock) {
  return ZoneClassOf(value, ZoneClassBounds(zoneBlock, 6));
}

TripZoneTimes CountZoneTimes(const TripSample* samples, int count, int interval,
                             const float* zoneBlock, int channel) {
  TripZoneTimes z;
  uint64_t counts[10] = {};
  const ZoneBounds bounds = ZoneClassBounds(zoneBlock, 6);
  float TripSample::*field = channel == kZoneChannelPower ? &TripSample::Power : &TripSample::HeartRate;
  for (int i = 1; i < count; ++i) ++counts[ZoneClassOf(samples[i].*field, bounds)];
  const int dt = Step(interval);
  for (int k = 0; k < 10; ++k)
    z.Seconds[k] = static_cast<uint32_t>(std::min<uint64_t>(counts[k] * static_cast<uint64_t>(dt), UINT32_MAX));
  z.SampleInterval = dt;
  z.RecordCount = count;
  z.Mark = kTableMark;
  return z;
}

void StoreZoneTimes(int slot, const TripZoneTimes& times, const float* zoneBlock) {
  if (!IsTableSlot(slot)) return;
  TripZoneTable[slot] = times;
  TripDatabaseChanged = true;
  for (int k = 0; k < 10; ++k) {
    float v = Finite(zoneBlock[k]);
    TripDistributionTable[slot].Data.ZoneLimits[k] =
        static_cast<int32_t>(std::clamp(v, -2.0e9f, 2.0e9f));
  }
}

void ComputeZoneTimes(TForm* /*form*/, int slot, int zoneSet, int channel) {
  if (!IsTableSlot(slot)) return;
  int count = std::clamp(TripSampleCount, 0, kMaxTripRecords - 1);
  if (channel == kZoneChannelFromHeader)
    channel = (count > 0 && HeaderSport(TripSamples[0]) == kSportBikePower) ? kZoneChannelPower
                                                                            : kZoneChannelHeartRate;
  int dt = Step(SampleInterval);
  TripZoneTimes z = CountZoneTimes(TripSamples, count, dt, TripZoneBlock, channel);
  z.ZoneSet = static_cast<uint8_t>(zoneSet);
  StoreZoneTimes(slot, z, TripZoneBlock);
}

// ---------------------------------------------------------------------------
// Distribution
// ---------------------------------------------------------------------------

namespace {
inline int BinOf(float value, int first, int step, int bins) {
  double x = (static_cast<double>(value) - first) / step + 0.5;
  if (!(x >= 1.0)) return 0;  // below the second bin, or not a number
  if (x >= bins - 1) return bins - 1;
  return static_cast<int>(x);  // x >= 0, so truncation is floor
}
}  // namespace

int HistogramBin(float value, int first, int step, int bins) {
  return BinOf(value, first, step, bins);
}

void ComputeDistributionData(const TripSample* samples, int count, int interval,
                             DistributionData& out) {
  const int dt = Step(interval);
  out.TotalTime = count > 1 ? SecondsOf(count - 1, dt) : 0;
  // The four peaks in one pass: one sliding sum per window.
  {
    const int n = count - 1;
    const TripSample* p = samples + 1;
    double sum[4] = {}, best[4] = {};
    for (int i = 0; i < n; ++i) {
      double v = Finite(p[i].Power);
      for (int k = 0; k < 4; ++k) {
        const int w = kPeakWindows[k];
        sum[k] += v;
        if (i >= w) sum[k] -= Finite(p[i - w].Power);
        if (i >= w - 1 && sum[k] > best[k]) best[k] = sum[k];
      }
    }
    for (int k = 0; k < 4; ++k)
      out.Peaks[k] = n >= kPeakWindows[k]
                         ? static_cast<int32_t>(std::lround(best[k] / kPeakWindows[k]))
                         : 0;
  }
  std::fill(std::begin(out.HeartRateHist), std::end(out.HeartRateHist), 0u);
  std::fill(std::begin(out.CadenceHist), std::end(out.CadenceHist), 0u);
  std::fill(std::begin(out.SpeedHist), std::end(out.SpeedHist), 0u);
  std::fill(std::begin(out.PowerHist), std::end(out.PowerHist), 0u);
  const uint32_t step = static_cast<uint32_t>(dt);
  for (int i = 1; i < count; ++i) {
    const TripSample& s = samples[i];
    // A heart rate of 0 means no measurement and is not counted.
    if (Finite(s.HeartRate) > 0)
      out.HeartRateHist[BinOf(s.HeartRate, kHrHistFirst, kHrHistStep, kHistBins)] += step;
    out.CadenceHist[BinOf(s.Cadence, kCadenceHistFirst, kCadenceHistStep, kHistBins)] += step;
    out.SpeedHist[BinOf(s.Speed, kSpeedHistFirst, kSpeedHistStep, kHistBins)] += step;
    out.PowerHist[BinOf(s.Power, kPowerHistFirst, kPowerHistStep, kPowerHistBins)] += step;
  }
}

void ClearTripDistribution(int slot) {
  if (!IsTableSlot(slot)) return;
  TripDatabaseChanged = true;
  DistributionData& d = TripDistributionTable[slot].Data;
  d.TotalTime = 0;
  std::fill(std::begin(d.Peaks), std::end(d.Peaks), 0);
  std::fill(std::begin(d.HeartRateHist), std::end(d.HeartRateHist), 0u);
  std::fill(std::begin(d.CadenceHist), std::end(d.CadenceHist), 0u);
  std::fill(std::begin(d.SpeedHist), std::end(d.SpeedHist), 0u);
  std::fill(std::begin(d.PowerHist), std::end(d.PowerHist), 0u);
}

void ComputeTripDistribution(int slot) {
  int count = std::clamp(TripSampleCount, 0, kMaxTripRecords - 1);
  int dt = RecordInterval(TripSamples, count);
  if (!IsTableSlot(slot)) {
    DistributionData d = DistributionView;
    ComputeDistributionData(TripSamples, count, dt, d);
    DistributionView = d;
    return;
  }
  TripDistribution& rec = TripDistributionTable[slot];
  ComputeDistributionData(TripSamples, count, dt, rec.Data);
  rec.Mark = kTableMark;
  TripDatabaseChanged = true;
  DistributionView = rec.Data;
}

void CountRiderZones() {
  int rider = std::clamp<int>(CurrentRider, 0, kRiderCount - 1);
  int n = 1;
  for (int k = 1; k <= 6; ++k)
    if (RiderZones[rider][kZoneRowPower][k] != 0) ++n;
  ZoneCount = n;
}

}  // namespace tav
