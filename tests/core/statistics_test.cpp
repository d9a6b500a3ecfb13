#include "core/statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "core/core_data.h"
#include "core_test_util.h"

namespace tav {
namespace {

using namespace testing_core;

class StatisticsTest : public CoreFixture {};

// Header + 4 records at 1 s, values chosen for hand computation.
std::vector<TripSample> SmallTrip() {
  std::vector<TripSample> t = RampTrip(5);
  const float power[] = {100, 0, 200, 300}, hr[] = {0, 120, 130, 140};
  const float cad[] = {80.5f, 0.0f, 90.3f, 100.7f}, temp[] = {20, 22, 24, 26};
  for (int i = 1; i <= 4; ++i) {
    TripSample& s = t[static_cast<std::size_t>(i)];
    s.Power = power[i - 1];
    s.HeartRate = hr[i - 1];
    s.Cadence = cad[i - 1];
    s.Altitude = 100.0f;
    s.Temperature = temp[i - 1];
  }
  return t;
}

TEST_F(StatisticsTest, EvaluateTripMatchesHandComputedValues) {
  LoadIntoCurrent(SmallTrip());
  // Slots outside the tables are not written.
  for (int slot : {-1, 1000, 123456}) {
    CurrentTripSlot = slot;
    EXPECT_EQ(EvaluateTrip(), 1);
    ComputeZoneTimes(nullptr, slot, 0);
    ClearTripDistribution(slot);
  }
  for (int i = 0; i < kTripSlots; ++i) ASSERT_EQ(TripSummaryTable[i].TotalTime, 0);
  CurrentTripSlot = 7;
  EXPECT_EQ(EvaluateTrip(), 1);
  const TripSummary& s = TripSummaryTable[7];
  EXPECT_EQ(s.TotalTime, 4);
  EXPECT_FLOAT_EQ(s.Distance, 0.04f);
  EXPECT_FLOAT_EQ(s.MeanPowerAll, 150.0f);
  EXPECT_FLOAT_EQ(s.MeanPowerNonZero, 200.0f);
  EXPECT_FLOAT_EQ(s.MaxPower, 300.0f);
  EXPECT_EQ(s.PowerTime, 3);
  EXPECT_FLOAT_EQ(s.Work, 0.6f);
  // Shorter than the 30 s window: NP is the mean power.
  EXPECT_FLOAT_EQ(s.NP, 150.0f);
  EXPECT_FLOAT_EQ(s.IF, 0.6f);
  EXPECT_NEAR(s.TSS, 4.0 / 3600.0 * 0.36 * 100.0, 1e-6);
  EXPECT_FLOAT_EQ(s.MeanHeartRate, 130.0f);
  EXPECT_FLOAT_EQ(s.MaxHeartRate, 140.0f);
  EXPECT_FLOAT_EQ(s.MeanCadence, 90.0f);  // whole revolutions, zeros left out
  EXPECT_FLOAT_EQ(s.MaxCadence, 100.0f);
  EXPECT_NEAR(s.MeanSpeed, 36.0f, 1e-3);
  EXPECT_FLOAT_EQ(s.MaxSpeed, 36.0f);
  EXPECT_FLOAT_EQ(s.MeanTemperature, 23.0f);
  EXPECT_FLOAT_EQ(s.Ascent, 0.0f);
  EXPECT_EQ(s.ClimbTime, 0);
  EXPECT_FLOAT_EQ(s.Weight, 70.0f);
  EXPECT_EQ(TripZoneTable[7].Mark, kTableMark);
  EXPECT_EQ(TripZoneTable[7].RecordCount, 5);
  EXPECT_EQ(TripDistributionTable[7].Mark, kTableMark);
  EXPECT_EQ(DistributionView, TripDistributionTable[7].Data);

  // Without power: the power fields are 0.
  std::vector<TripSample> t = SmallTrip();
  for (int i = 1; i <= 4; ++i) t[static_cast<std::size_t>(i)].Power = 0.0f;
  LoadIntoCurrent(t);
  CurrentTripSlot = 3;
  EXPECT_EQ(EvaluateTrip(), 0);
  const TripSummary& n = TripSummaryTable[3];
  for (float v : {n.MeanPowerAll, n.NP, n.IF, n.TSS, n.Work}) EXPECT_EQ(v, 0.0f);
  EXPECT_FLOAT_EQ(n.MeanHeartRate, 130.0f);
}

TEST_F(StatisticsTest, NormalisedPowerMatchesTheRollingDefinition) {
  std::vector<TripSample> t = RampTrip(400);
  for (int i = 1; i < 400; ++i) t[static_cast<std::size_t>(i)].Power = static_cast<float>((i * 37) % 400);
  TripInput in{t.data(), 400, 1, 250.0f, 2.0f, 0.0f};
  TripSummary s;
  ASSERT_TRUE(SummarizeTrip(in, s));
  double sum4 = 0;
  int positions = 0;
  for (int end = 30; end <= 399; ++end) {
    double m = 0;
    for (int j = end - 29; j <= end; ++j) m += t[static_cast<std::size_t>(j)].Power;
    m /= 30;
    sum4 += m * m * m * m;
    ++positions;
  }
  EXPECT_NEAR(s.NP, std::pow(sum4 / positions, 0.25), 1e-2);
  // Constant power: NP = power. At 2 s the window is 15 records.
  for (int i = 1; i < 400; ++i) t[static_cast<std::size_t>(i)].Power = 210.0f;
  in.Interval = 2;
  ASSERT_TRUE(SummarizeTrip(in, s));
  EXPECT_NEAR(s.NP, 210.0, 1e-3);
  EXPECT_EQ(s.TotalTime, 798);
  EXPECT_NEAR(s.Work, 210.0 * 399 * 2 / 1000.0, 1e-3);
}

TEST_F(StatisticsTest, AscentAndClimbingOnARamp) {
  // Flat 50 records, then 100 records rising 1 m per 10 m, then flat 50.
  std::vector<TripSample> t = RampTrip(201);
  for (int i = 1; i <= 200; ++i) {
    float a = 100.0f;
    if (i > 50) a += static_cast<float>(std::min(i - 50, 100));
    t[static_cast<std::size_t>(i)].Altitude = a;
  }
  TripInput in{t.data(), 201, 1, 250.0f, 5.0f, 0.0f};
  TripSummary s;
  SummarizeTrip(in, s);
  EXPECT_NEAR(s.Ascent, 100.0f, 1e-3);
  EXPECT_FLOAT_EQ(s.MaxAltitude, 200.0f);
  EXPECT_FLOAT_EQ(s.MinAltitude, 100.0f);
  // About the 100 ramp records count as climbing (10 % >= 5 %).
  EXPECT_GE(s.ClimbTime, 90);
  EXPECT_LE(s.ClimbTime, 115);
  EXPECT_NEAR(s.ClimbDistance, s.ClimbTime * 0.01f, 1e-3);
  EXPECT_GT(s.ClimbPower, 100.0f);
  std::vector<float> g = ComputeGrades(t.data(), 201, 1);
  EXPECT_NEAR(g[100], 10.0f, 1e-3);
  EXPECT_NEAR(g[20], 0.0f, 1e-6);
}

// The plain smoothed altitude and grades, every index clamped: the oracles
// of the versions that clamp only near the ends.
std::vector<float> PlainSmoothedAltitude(const std::vector<TripSample>& t, int count) {
  std::vector<float> out(static_cast<std::size_t>(std::max(count, 0)), 0.0f);
  const int first = 1, last = count - 1;
  if (last < first) return out;
  auto fin = [](float v) { return std::isfinite(v) ? v : 0.0f; };
  auto value = [&](long j) { return static_cast<double>(fin(t[static_cast<std::size_t>(std::clamp<long>(j, first, last))].Altitude)); };
  const long w = 7;
  double sum = 0;
  for (long j = first - w; j <= first + w; ++j) sum += value(j);
  for (long i = first; i <= last; ++i) {
    out[static_cast<std::size_t>(i)] = static_cast<float>(sum / (2 * w + 1));
    sum += value(i + w + 1) - value(i - w);
  }
  return out;
}

std::vector<float> PlainGrades(const std::vector<TripSample>& t, int count, int interval) {
  const std::vector<float> alt = PlainSmoothedAltitude(t, count);
  std::vector<float> g(static_cast<std::size_t>(std::max(count, 0)), 0.0f);
  const int last = count - 1;
  if (last < 1) return g;
  auto fin = [](float v) { return std::isfinite(v) ? v : 0.0f; };
  const int k = std::max(1, static_cast<int>(std::lround(10.0 / std::max(1, interval))));
  for (int i = 1; i <= last; ++i) {
    const int a = std::max(1, i - k), b = std::min(last, i + k);
    const double run = (fin(t[static_cast<std::size_t>(b)].Distance) - fin(t[static_cast<std::size_t>(a)].Distance)) * 1000.0;
    if (run < 1.0) continue;
    const double v = 100.0 * (alt[static_cast<std::size_t>(b)] - alt[static_cast<std::size_t>(a)]) / run;
    g[static_cast<std::size_t>(i)] =
        std::isnan(v) ? 0.0f : static_cast<float>(std::clamp<double>(v, -FLT_MAX, FLT_MAX));
  }
  return g;
}

TEST(StatisticsOracles, SmoothedAltitudeAndGradesEqualThePlainLoops) {
  std::mt19937 rng(2028);
  auto any = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 300; ++round) {
    const int count = round < 30 ? round : any(2000);
    std::vector<TripSample> t(static_cast<std::size_t>(std::max(count, 1)));
    float dist = 0;
    for (int i = 1; i < count; ++i) {
      TripSample& r = t[static_cast<std::size_t>(i)];
      dist += static_cast<float>(any(20)) / 1000.0f;
      r.Distance = any(50) == 0 ? std::numeric_limits<float>::quiet_NaN() : dist;
      r.Altitude = any(60) == 0 ? std::numeric_limits<float>::infinity()
                                : std::ldexp(static_cast<float>(any(1 << 16)), any(16) - 8);
    }
    const int interval = 1 + any(12);
    const std::vector<float> alt = SmoothedAltitude(t.data(), count), want_alt = PlainSmoothedAltitude(t, count);
    const std::vector<float> g = ComputeGrades(t.data(), count, interval), want_g = PlainGrades(t, count, interval);
    ASSERT_EQ(alt.size(), want_alt.size());
    ASSERT_EQ(g.size(), want_g.size());
    if (alt.empty()) continue;
    EXPECT_EQ(std::memcmp(alt.data(), want_alt.data(), alt.size() * sizeof(float)), 0) << "round " << round;
    EXPECT_EQ(std::memcmp(g.data(), want_g.data(), g.size() * sizeof(float)), 0) << "round " << round;
  }
}

TEST(Zones, ValuesAtTheBounds) {
  const float zb[kZoneBlockWords] = {5555.0f, 100, 150, 200, 250, 300, 350};
  // Zone j runs from above bound j - 1 up to and including bound j; 0 and
  // below is zone 0 (no power is not the first zone's time), above the top
  // bound is class 8, which no window shows.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  for (auto [value, zone] : {std::pair{-5.0f, 0}, {0.0f, 0}, {nan, 0}, {-inf, 0}, {0.5f, 1}, {99.99f, 1},
                             {100.0f, 1}, {100.5f, 2}, {150.0f, 2}, {150.25f, 3}, {349.9f, 6}, {350.0f, 6},
                             {350.5f, 8}, {5000.0f, 8}, {inf, 8}})
    EXPECT_EQ(ZoneOfValue(value, zb), zone) << value;
  const float two[kZoneBlockWords] = {5555.0f, 100, 150};
  EXPECT_EQ(ZoneOfValue(120.0f, two), 2);
  EXPECT_EQ(ZoneOfValue(1000.0f, two), 8);
  // A zero bound between others leaves its zone empty: 180 W is in zone 4.
  const float gap[kZoneBlockWords] = {5555.0f, 100, 150, 0, 200};
  EXPECT_EQ(ZoneOfValue(180.0f, gap), 4);
  const float none[kZoneBlockWords] = {5555.0f};
  EXPECT_EQ(ZoneOfValue(0.0f, none), 0);
  EXPECT_EQ(ZoneOfValue(1000.0f, none), 8);
}

TEST_F(StatisticsTest, ZoneTimesByChannelAndInterval) {
  std::vector<TripSample> t = RampTrip(11, 2);
  const float power[] = {0, 99, 100, 150, 151, 200, 300, 400, 400, 400};
  for (int i = 1; i <= 10; ++i) {
    t[static_cast<std::size_t>(i)].Power = power[i - 1];
    t[static_cast<std::size_t>(i)].HeartRate = 160.0f;
  }
  LoadIntoCurrent(t);
  float zb[kZoneBlockWords] = {5555.0f, 100, 150, 200, 250, 300, 350};
  std::copy(std::begin(zb), std::end(zb), TripZoneBlock);
  ComputeZoneTimes(nullptr, 5, 3);
  const TripZoneTimes& z = TripZoneTable[5];
  auto seconds = [](const TripZoneTimes& t) { return std::vector<uint32_t>(t.Seconds, t.Seconds + 10); };
  // 2 s a record: 0 W in zone 0; 99 and 100 W up to the first bound in zone
  // 1; 150 W on bound 2 in zone 2; 151 and 200 W in zone 3; 300 W on bound 5
  // in zone 5; 400 W above the top bound in class 8.
  EXPECT_EQ(seconds(z), (std::vector<uint32_t>{2, 4, 2, 4, 0, 2, 0, 0, 6, 0}));
  EXPECT_EQ(z.ZoneSet, 3);
  EXPECT_EQ(z.SampleInterval, 2);
  EXPECT_EQ(z.RecordCount, 11);
  EXPECT_EQ(z.Mark, kTableMark);
  EXPECT_EQ(TripDistributionTable[5].Data.ZoneLimits[0], 5555);
  EXPECT_EQ(TripDistributionTable[5].Data.ZoneLimits[6], 350);
  // With four bounds in use 300 W lies above the top bound.
  float four[kZoneBlockWords] = {5555.0f, 100, 150, 200, 250};
  std::copy(std::begin(four), std::end(four), TripZoneBlock);
  ComputeZoneTimes(nullptr, 5, 0);
  EXPECT_EQ(seconds(TripZoneTable[5]), (std::vector<uint32_t>{2, 4, 2, 4, 0, 0, 0, 0, 8, 0}));
  std::copy(std::begin(zb), std::end(zb), TripZoneBlock);
  // The heart-rate channel on request, whatever the header says.
  const std::vector<uint32_t> hrZones{0, 0, 0, 20, 0, 0, 0, 0, 0, 0};  // 160 is above 150, up to 200
  ComputeZoneTimes(nullptr, 5, 0, kZoneChannelHeartRate);
  EXPECT_EQ(seconds(TripZoneTable[5]), hrZones);
  // A heart-rate trip counts heart rate by its header.
  HeaderSport(TripSamples[0]) = kSportRun;
  ComputeZoneTimes(nullptr, 6, 0);
  EXPECT_EQ(seconds(TripZoneTable[6]), hrZones);
  CountRiderZones();
  EXPECT_EQ(ZoneCount, 7);
  // The rider's zones end at the first zero bound.
  CurrentRider = 2;
  RiderZones[2][kZoneRowPower][1] = 50;
  RiderZones[2][kZoneRowPower][2] = 70;
  for (int k = 3; k <= 6; ++k) RiderZones[2][kZoneRowPower][k] = 0;
  CountRiderZones();
  EXPECT_EQ(ZoneCount, 3);
}

TEST(Histograms, BinEdges) {
  struct Edge { float value; int bin; };
  auto check = [](float first, float step, int bins, std::initializer_list<Edge> edges) {
    for (Edge e : edges) EXPECT_EQ(HistogramBin(e.value, first, step, bins), e.bin) << first << " " << e.value;
  };
  check(kHrHistFirst, kHrHistStep, kHistBins, {{57.4f, 0}, {62.4f, 0}, {62.5f, 1}, {255.0f, 39}, {300.0f, 39}});
  check(kCadenceHistFirst, kCadenceHistStep, kHistBins, {{41.4f, 0}, {41.5f, 1}, {157.0f, 39}});
  check(kSpeedHistFirst, kSpeedHistStep, kHistBins, {{0.0f, 0}, {3.99f, 0}, {4.0f, 1}});
  check(kPowerHistFirst, kPowerHistStep, kPowerHistBins,
        {{24.99f, 0}, {25.0f, 1}, {520.0f, 50}, {9999.0f, 50}, {std::nanf(""), 0}});
}

TEST_F(StatisticsTest, DistributionPeaksHistogramsAndClearing) {
  std::vector<TripSample> t = RampTrip(1501, 2);
  for (int i = 1; i <= 1500; ++i) {
    TripSample& s = t[static_cast<std::size_t>(i)];
    s.Power = static_cast<float>((i * 7919) % 600);
    s.HeartRate = i <= 10 ? 0.0f : 150.0f;
  }
  LoadIntoCurrent(t);
  ComputeTripDistribution(9);
  const TripDistribution& d = TripDistributionTable[9];
  EXPECT_EQ(d.Mark, kTableMark);
  EXPECT_EQ(d.Data.TotalTime, 3000);
  for (int k = 0; k < 4; ++k) {
    int w = kPeakWindows[k];
    double best = 0;
    for (int a = 1; a + w - 1 <= 1500; ++a) {
      double sum = 0;
      for (int j = a; j < a + w; ++j) sum += t[static_cast<std::size_t>(j)].Power;
      best = std::max(best, sum / w);
    }
    EXPECT_EQ(d.Data.Peaks[k], static_cast<int>(std::lround(best))) << w;
  }
  uint64_t hr = 0, pw = 0, cad = 0;
  for (uint32_t v : d.Data.HeartRateHist) hr += v;
  for (uint32_t v : d.Data.PowerHist) pw += v;
  for (uint32_t v : d.Data.CadenceHist) cad += v;
  EXPECT_EQ(hr, 1490u * 2);  // records without heart rate are not counted
  EXPECT_EQ(pw, 3000u);
  EXPECT_EQ(cad, 3000u);
  EXPECT_EQ(d.Data.HeartRateHist[18], 2980u);  // 150 = 60 + 5 x 18
  EXPECT_EQ(DistributionView, d.Data);
  // Too short for the 1200-record window.
  LoadIntoCurrent(RampTrip(100));
  ComputeTripDistribution(10);
  EXPECT_EQ(TripDistributionTable[10].Data.Peaks[3], 0);
  EXPECT_GT(TripDistributionTable[10].Data.Peaks[0], 0);
  TripDistributionTable[9].Data.ZoneLimits[1] = 123;
  ClearTripDistribution(9);
  EXPECT_EQ(TripDistributionTable[9].Data.TotalTime, 0);
  EXPECT_EQ(TripDistributionTable[9].Data.Peaks[0], 0);
  EXPECT_EQ(TripDistributionTable[9].Data.PowerHist[3], 0u);
  EXPECT_EQ(TripDistributionTable[9].Data.ZoneLimits[1], 123);
}

TEST_F(StatisticsTest, SectionLinesAndMeans) {
  SetLangLabel(0, "Time");
  SetLangLabel(7, "Total distance");
  SetLangLabel(8, "Select distance");
  LoadIntoCurrent(RampTrip(101));
  WholeTripEvaluation = true;
  EvaluateSection(0, 0);
  EXPECT_EQ(SummaryLines[0].substr(0, 19), "Total distance [km]");
  EXPECT_NE(SummaryLines[0].find("=    1.00"), std::string::npos);
  EXPECT_NE(SummaryLines[0].find("= 00:01:40"), std::string::npos);
  EXPECT_FLOAT_EQ(SectionMeans[kMeanPower], 150.5f);
  EXPECT_FLOAT_EQ(SectionMeans[kMeanAltitude], 200.0f);
  EXPECT_FLOAT_EQ(SectionMeans[kMeanTemperature], 20.0f);
  // A section: records 11..20.
  WholeTripEvaluation = false;
  EvaluateSection(11, 20);
  EXPECT_EQ(SummaryLines[0].substr(0, 20), "Select distance [km]");
  EXPECT_NE(SummaryLines[0].find("=    0.10"), std::string::npos);
  EXPECT_FLOAT_EQ(SectionMeans[kMeanPower], 115.5f);
  EXPECT_NEAR(SectionMeans[kMeanSpeed], 36.0f, 1e-3);
  // Bad ranges are clamped, never read outside the trip.
  EvaluateSection(-50, 100000);
  EvaluateSection(90, 10);
  for (const std::string& l : SummaryLines) EXPECT_LE(l.size(), 100u);
}

TEST(DistributionSums, AddSumsTimesAndKeepsTheBestPeaks) {
  DistributionData a, b;
  a.TotalTime = 100;
  a.Peaks[0] = 500;
  a.Peaks[3] = 200;
  a.PowerHist[50] = 3;
  a.HeartRateHist[0] = 4;
  a.ZoneLimits[1] = 150;
  b.TotalTime = 50;
  b.Peaks[0] = 400;
  b.Peaks[3] = 250;
  b.PowerHist[50] = 7;
  b.SpeedHist[39] = 1;
  b.ZoneLimits[1] = 999;
  a.Add(b);
  EXPECT_EQ(a.TotalTime, 150);
  EXPECT_EQ(a.Peaks[0], 500);
  EXPECT_EQ(a.Peaks[3], 250);
  EXPECT_EQ(a.PowerHist[50], 10u);
  EXPECT_EQ(a.HeartRateHist[0], 4u);
  EXPECT_EQ(a.SpeedHist[39], 1u);
  EXPECT_EQ(a.ZoneLimits[1], 150);
}

}  // namespace
}  // namespace tav
