#include "core/smoothing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "core/core_data.h"
#include "core_test_util.h"

namespace tav {
namespace {

using testing_core::CoreFixture;
using testing_core::LoadIntoCurrent;

class SmoothingTest : public CoreFixture {};

float Raw(const TripSample& s, SmoothColumn c) {
  switch (c) {
    case kSmoothPower: return s.Power;
    case kSmoothCadence: return s.Cadence;
    case kSmoothSpeed: return s.Speed;
    case kSmoothHeartRate: return s.HeartRate;
    case kSmoothAltitude: return s.Altitude;
    default: return s.Temperature;
  }
}

// The centred mean computed the slow way: the mean of the raw values of the
// 2w + 1 records around i (the end records standing in beyond the trip);
// power and cadence 0 where record i is not pedalled (raw cadence <= 5).
float Naive(const std::vector<TripSample>& t, int i, SmoothColumn c, int w) {
  int last = static_cast<int>(t.size()) - 1;
  if ((c == kSmoothPower || c == kSmoothCadence) && t[static_cast<std::size_t>(i)].Cadence <= 5.0f)
    return 0.0f;
  double sum = 0;
  for (int j = i - w; j <= i + w; ++j) sum += Raw(t[static_cast<std::size_t>(std::clamp(j, 1, last))], c);
  return static_cast<float>(sum / (2 * w + 1));
}

std::vector<TripSample> NoisyTrip(int records) {
  std::vector<TripSample> t(static_cast<std::size_t>(records));
  uint32_t x = 12345;
  auto next = [&] { x = x * 1664525u + 1013904223u; return (x >> 8) % 1000; };
  for (int i = 1; i < records; ++i) {
    TripSample& s = t[static_cast<std::size_t>(i)];
    s.Power = static_cast<float>(next() % 600);
    s.Cadence = (i % 17 == 0) ? 5.0f : (i % 23 == 0 ? 3.2f : 60.0f + static_cast<float>(next() % 60) + 0.48f);
    s.Speed = static_cast<float>(next() % 500) / 10.0f;
    s.HeartRate = 100.0f + static_cast<float>(next() % 80);
    s.Altitude = 300.0f + static_cast<float>(next() % 100);
    s.Temperature = static_cast<float>(next() % 30);
  }
  return t;
}

// The plain one-column smoothing, record by record with every index clamped:
// the oracle of the split, multi-column pass.
void PlainSmoothColumn(const TripSample* samples, int count, SmoothSample* out, SmoothColumn column,
                       int halfWidth, SmoothRules rules = {}) {
  const int first = 1, last = count - 1;
  if (last < first) return;
  const auto col = static_cast<std::size_t>(column);
  auto raw = [&](long j) { return Raw(samples[j], column); };
  const bool pedalled = rules.ZeroUnpedalled && (column == kSmoothPower || column == kSmoothCadence);
  const long keep_to = rules.KeepRawEnds ? first + halfWidth - 1 : first - 1;
  const long keep_from = rules.KeepRawEnds ? last - halfWidth + 1 : last + 1;
  auto put = [&](long i, float v) {
    if (i <= keep_to || i >= keep_from) v = raw(i);
    out[i][col] = (pedalled && samples[i].Cadence <= kPedallingCadence) ? 0.0f : v;
  };
  if (halfWidth <= 0) {
    for (long i = first; i <= last; ++i) put(i, raw(i));
    return;
  }
  const long w = halfWidth;
  const double n = static_cast<double>(2 * w + 1);
  auto value = [&](long j) { return static_cast<double>(raw(std::clamp<long>(j, first, last))); };
  double sum = 0.0;
  for (long j = first - w; j <= first + w; ++j) sum += value(j);
  for (long i = first; i <= last; ++i) {
    put(i, static_cast<float>(sum / n));
    sum += value(i + w + 1) - value(i - w);
  }
}

// Bit for bit, infinities and signed zeros included; a NaN (it spoils every
// later mean of its column) equals any NaN: which operand's sign and payload
// an addition of two NaNs passes on is the compiler's choice (it may swap
// the operands), in the plain loop as much as in the vector one.
bool SameBits(float a, float b) {
  return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

// Random trips with values of every size, some not finite, and coasting
// records; widths from 0 to beyond the trip.
TEST_F(SmoothingTest, OnePassOverManyColumnsEqualsThePlainColumnByColumnMeans) {
  std::mt19937 rng(20240611);
  auto any = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const SmoothColumn columns[6] = {kSmoothPower, kSmoothCadence, kSmoothSpeed,
                                   kSmoothHeartRate, kSmoothAltitude, kSmoothTemperature};
  for (int round = 0; round < 300; ++round) {
    const int count = round < 20 ? round : 2 + any(round < 200 ? 400 : 5000);
    std::vector<TripSample> t(static_cast<std::size_t>(std::max(count, 1)));
    const bool spoiled = any(3) == 0;
    for (int i = 1; i < count; ++i) {
      TripSample& r = t[static_cast<std::size_t>(i)];
      for (float TripSample::*f : {&TripSample::Power, &TripSample::Cadence, &TripSample::Speed,
                                   &TripSample::HeartRate, &TripSample::Altitude, &TripSample::Temperature})
        r.*f = std::ldexp(static_cast<float>(any(1 << 20)) / (1 << 20) - 0.25f, any(40) - 20);
      r.Cadence = any(5) == 0 ? static_cast<float>(any(12)) * 0.5f : 40.0f + static_cast<float>(any(800)) / 8.0f;
      if (spoiled && any(500) == 0)
        r.Speed = any(2) ? std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::infinity();
    }
    // Up to eight jobs (more than the six lanes of one pass), columns repeated.
    std::vector<SmoothJob> jobs;
    const int job_count = 1 + any(8);
    for (int j = 0; j < job_count; ++j) {
      SmoothJob job;
      job.Column = columns[any(6)];
      const int widths[] = {0, 1, 2, 4, 7, 30, 120, count, count + 3, -2};
      job.HalfWidth = widths[any(10)];
      job.Rules.ZeroUnpedalled = any(4) != 0;
      job.Rules.KeepRawEnds = any(4) == 0;
      jobs.push_back(job);
    }
    std::vector<SmoothSample> fast(t.size()), plain(t.size());
    for (auto& row : fast) row.fill(-7.0f);
    for (auto& row : plain) row.fill(-7.0f);
    SmoothColumnsOf(t.data(), count, fast.data(), jobs.data(), job_count);
    for (const SmoothJob& job : jobs)  // a repeated column: the last job's values stay
      PlainSmoothColumn(t.data(), count, plain.data(), job.Column, job.HalfWidth, job.Rules);
    for (std::size_t i = 0; i < t.size(); ++i)
      for (std::size_t c = 0; c < 6; ++c)
        ASSERT_TRUE(SameBits(fast[i][c], plain[i][c]))
            << "round " << round << " count " << count << " record " << i << " column " << c << ": "
            << fast[i][c] << " != " << plain[i][c];
    // One column alone and all six at their levels.
    const SmoothJob& one = jobs.front();
    SmoothColumnOf(t.data(), count, fast.data(), one.Column, one.HalfWidth, one.Rules);
    PlainSmoothColumn(t.data(), count, plain.data(), one.Column, one.HalfWidth, one.Rules);
    for (int k = 0; k < 10; ++k) SmoothLevel[k] = any(10);
    SmoothAllColumnsOf(t.data(), count, fast.data());
    for (SmoothColumn c : columns) {
      const int w = c == kSmoothTemperature ? kTemperatureHalfWidth
                    : c == kSmoothPower     ? HalfWidthOfLevel(SmoothLevel[kLevelPower])
                    : c == kSmoothCadence   ? HalfWidthOfLevel(SmoothLevel[kLevelCadence])
                    : c == kSmoothSpeed     ? HalfWidthOfLevel(SmoothLevel[kLevelSpeed])
                    : c == kSmoothHeartRate ? HalfWidthOfLevel(SmoothLevel[kLevelHeartRate])
                                            : HalfWidthOfLevel(SmoothLevel[kLevelAltitude]);
      PlainSmoothColumn(t.data(), count, plain.data(), c, w);
    }
    for (std::size_t i = 0; i < t.size(); ++i)
      for (std::size_t c = 0; c < 6; ++c)
        ASSERT_TRUE(SameBits(fast[i][c], plain[i][c])) << "all columns, round " << round << " record " << i << " column " << c << ": " << fast[i][c] << " != " << plain[i][c];
  }
}

// Level 0 included: the raw values, and 0 for power and cadence where the
// cadence is 5 (every 17th record) or 3.2 (every 23rd).
TEST_F(SmoothingTest, EveryLevelMatchesTheNaiveMean) {
  for (int records : {2, 3, 10, 300}) {
    std::vector<TripSample> t = NoisyTrip(records);
    LoadIntoCurrent(t);
    for (int level = 0; level <= 9; ++level) {
      for (int k = 0; k < 10; ++k) SmoothLevel[k] = level;
      TripSmooth[0].fill(-7.0f);
      SmoothChannelPower();
      SmoothChannelCadence();
      SmoothChannelSpeed();
      SmoothChannelHeartRate();
      SmoothChannelAltitude();
      int w = SmoothHalfWidth[level];
      for (int i = 1; i < records; ++i)
        for (SmoothColumn c : {kSmoothPower, kSmoothCadence, kSmoothSpeed, kSmoothHeartRate, kSmoothAltitude}) {
          float want = Naive(t, i, c, w);
          ASSERT_NEAR(TripSmooth[i][static_cast<std::size_t>(c)], want, 1e-3f * std::max(1.0f, std::fabs(want)))
              << "records " << records << " level " << level << " record " << i << " column " << c;
        }
      for (float v : TripSmooth[0]) ASSERT_EQ(v, -7.0f) << "entry 0 written";
    }
  }
}

TEST_F(SmoothingTest, CoastingRecordsAreZeroAtEveryLevelAndTheirRawValuesStillCount) {
  // Pedalling at 90/min and 200 W, except record 6 (cadence 4, power 100).
  std::vector<TripSample> t(12);
  for (int i = 1; i < 12; ++i) {
    t[static_cast<std::size_t>(i)].Power = 200.0f;
    t[static_cast<std::size_t>(i)].Cadence = 90.0f;
  }
  t[6].Power = 100.0f;
  t[6].Cadence = 4.0f;
  LoadIntoCurrent(t);
  SmoothLevel[kLevelPower] = 1;  // w = 1
  SmoothLevel[kLevelCadence] = 1;
  SmoothChannelPower();
  SmoothChannelCadence();
  EXPECT_EQ(TripSmooth[6][kSmoothPower], 0.0f);
  EXPECT_EQ(TripSmooth[6][kSmoothCadence], 0.0f);
  // Its neighbours average over the raw values, record 6 included.
  EXPECT_FLOAT_EQ(TripSmooth[5][kSmoothPower], 500.0f / 3.0f);
  EXPECT_FLOAT_EQ(TripSmooth[7][kSmoothCadence], 184.0f / 3.0f);
  EXPECT_FLOAT_EQ(TripSmooth[3][kSmoothPower], 200.0f);
  // Ends: the first and the last record stand in beyond the trip.
  t[1].Power = 50.0f;
  LoadIntoCurrent(t);
  SmoothChannelPower();
  EXPECT_FLOAT_EQ(TripSmooth[1][kSmoothPower], 300.0f / 3.0f);
}

TEST_F(SmoothingTest, RulesKeepCoastingPowerAndRawEnds) {
  std::vector<TripSample> t = NoisyTrip(40);
  std::vector<SmoothSample> out(40);
  SmoothColumnOf(t.data(), 40, out.data(), kSmoothPower, 4, {.ZeroUnpedalled = false});
  EXPECT_NE(out[17][kSmoothPower], 0.0f);  // cadence 5 there
  std::vector<TripSample> plain = t;
  for (auto& s : plain) s.Cadence = 90.0f;
  for (int i = 1; i < 40; ++i) EXPECT_NEAR(out[i][kSmoothPower], Naive(plain, i, kSmoothPower, 4), 1e-3);
  SmoothColumnOf(t.data(), 40, out.data(), kSmoothAltitude, 4, {.KeepRawEnds = true});
  for (int i : {1, 4, 36, 39}) EXPECT_EQ(out[i][kSmoothAltitude], t[i].Altitude) << i;
  for (int i : {5, 35}) EXPECT_NEAR(out[i][kSmoothAltitude], Naive(t, i, kSmoothAltitude, 4), 1e-3) << i;
}

TEST_F(SmoothingTest, SecondBufferAndAltitudeSeries) {
  std::vector<TripSample> t = NoisyTrip(100);
  std::copy(t.begin(), t.end(), TripSamples2);
  TripSampleCount2 = 100;
  SmoothChannel2(kSmoothHeartRate, 3);
  EXPECT_NEAR(TripSmooth2[50][kSmoothHeartRate], Naive(t, 50, kSmoothHeartRate, 4), 1e-3);
  LoadIntoCurrent(t);
  PrepareAltitudeSeries();
  EXPECT_EQ(AltitudeMeans20.size(), 5u);  // 99 records: four of 20, one of 19
  EXPECT_NEAR(TripSmooth[50][kSmoothTemperature], Naive(t, 50, kSmoothTemperature, 30), 1e-3);
  EXPECT_LE(CurrentAltitudeSeries.ScaleMin, CurrentAltitudeSeries.Min);
  EXPECT_GE(CurrentAltitudeSeries.ScaleMax, CurrentAltitudeSeries.Max);
  EXPECT_EQ(HalfWidthOfLevel(-3), 0);
  EXPECT_EQ(HalfWidthOfLevel(42), 120);
}

}  // namespace
}  // namespace tav
