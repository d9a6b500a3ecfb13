#include "core/smoothing.h"

#include <gtest/gtest.h>

#include <cmath>

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
