// What the distribution charts show of a record, worked out by hand: each
// histogram's bars with their shares and labels (metric and miles), the
// value axis at and above its start, and the channel curve of a small trip
// against a plain moving mean.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "analysis/analysis_common.h"
#include "analysis/distribution_model.h"
#include "core/core_data.h"

namespace tav {
namespace {

// A record whose four histograms differ in every respect: where their time
// lies, how much, and which bins are empty.
DistributionData DistinctRecord() {
  DistributionData d;
  d.PowerHist[0] = 10;  // below 25 W
  d.PowerHist[8] = 30;  // 100 W
  d.PowerHist[50] = 60; // above 520 W
  d.HeartRateHist[0] = 20;  // dropouts and below 62.5
  d.HeartRateHist[16] = 30; // 140
  d.HeartRateHist[18] = 50; // 150
  d.SpeedHist[2] = 25;      // 7 km/h
  d.SpeedHist[14] = 75;     // 31 km/h
  d.CadenceHist[15] = 40;   // 85 rpm
  d.CadenceHist[16] = 60;   // 88 rpm
  return d;
}

struct Bar {
  int bin;
  double percent;
  const char* label;
};

// The bars a chart shows: only those listed are non-zero.
void ExpectBars(const HistogramChart& c, int first, int last, const std::vector<Bar>& nonzero,
                double axis) {
  ASSERT_EQ(c.Bars.size(), static_cast<std::size_t>(last - first + 1));
  EXPECT_EQ(c.Bars.front().Bin, first);
  EXPECT_EQ(c.Bars.back().Bin, last);
  for (const HistogramBar& b : c.Bars) {
    const auto it = std::find_if(nonzero.begin(), nonzero.end(), [&](const Bar& n) { return n.bin == b.Bin; });
    if (it == nonzero.end()) {
      EXPECT_EQ(b.Percent, 0.0) << b.Bin;
    } else {
      EXPECT_NEAR(b.Percent, it->percent, 1e-9) << b.Bin;
      EXPECT_EQ(b.Label, it->label) << b.Bin;
    }
  }
  EXPECT_NEAR(c.AxisMax, axis, 1e-9);
}

TEST(DistributionReadouts, EachChartShowsItsOwnHistogram) {
  const DistributionData d = DistinctRecord();
  // Power: every bin, shares of 100 s.
  ExpectBars(HistogramBars(Histogram::Power, d, 0), 0, 50,
             {{0, 10, "0 - 25"}, {8, 30, "100"}, {50, 60, ">520"}}, 63);
  // Heart rate: from the first bin above 0 with time; bin 0's 20 s still count.
  ExpectBars(HistogramBars(Histogram::HeartRate, d, 0), 16, 18, {{16, 30, "140"}, {18, 50, "150"}}, 52.5);
  // Speed from bin 0, in km/h and in mph (31 km/h = 19.26 mph; 7 km/h = 4.35 mph).
  ExpectBars(HistogramBars(Histogram::Speed, d, 0), 0, 14, {{2, 25, "  7"}, {14, 75, " 31"}}, 78.75);
  ExpectBars(HistogramBars(Histogram::Speed, d, kUnitMiles), 0, 14, {{2, 25, "  4.3"}, {14, 75, " 19.3"}},
             78.75);
  // Cadence from bin 0 up to 88 rpm.
  ExpectBars(HistogramBars(Histogram::Cadence, d, 0), 0, 16, {{15, 40, " 85"}, {16, 60, " 88"}}, 63);
}

TEST(DistributionReadouts, ValueAxisGrowsOnlyAboveItsEnd) {
  // 33 bins of 3 s and one of 1 s: shares of exactly 3 % keep the axis at 3.
  DistributionData d;
  for (int b = 1; b <= 33; ++b) d.PowerHist[b] = 3;
  d.PowerHist[40] = 1;
  HistogramChart c = HistogramBars(Histogram::Power, d, 0);
  EXPECT_DOUBLE_EQ(c.Bars[1].Percent, 3.0);
  EXPECT_DOUBLE_EQ(c.Bars[40].Percent, 1.0);
  EXPECT_EQ(c.AxisMax, 3.0);
  // One second more in bin 1: 4 of 101 s passes the end.
  d.PowerHist[1] = 4;
  c = HistogramBars(Histogram::Power, d, 0);
  EXPECT_NEAR(c.AxisMax, 1.05 * 400.0 / 101.0, 1e-12);
  EXPECT_EQ(GrowBarAxis(3.0, 3.0), 3.0);
  EXPECT_NEAR(GrowBarAxis(3.0, 40.0), 42.0, 1e-12);
}

TEST(DistributionReadouts, LabelsOfTheFirstAndLastBinsInEveryUnitSetting) {
  struct Row {
    Histogram which;
    int bin, units;
    const char* label;
  };
  const int other_units = kUnitFahrenheit | kUnitPounds | kUnit12Hour | kUnitUsDate;  // not miles
  const Row rows[] = {
      {Histogram::Power, 1, 0, " 30"},
      {Histogram::Power, 48, 0, "500"},
      {Histogram::Power, 50, kUnitMiles, ">520"},
      {Histogram::HeartRate, 1, 0, " 65"},
      {Histogram::HeartRate, 38, 0, "250"},
      {Histogram::Cadence, 1, 0, " 43"},
      {Histogram::Cadence, 39, 0, "157"},
      {Histogram::Cadence, 0, kUnitMiles, "0 - 41.5"},
      {Histogram::Speed, 1, 0, "  5"},
      {Histogram::Speed, 38, 0, " 79"},
      {Histogram::Speed, 39, 0, "> 80"},
      {Histogram::Speed, 0, other_units, "<  3"},
      {Histogram::Speed, 38, other_units, " 79"},
      {Histogram::Speed, 39, other_units, "> 80"},
      // 3 km/h = 1.864 mph, 5 km/h = 3.107 mph, 79 km/h = 49.088 mph, 80 km/h = 49.710 mph.
      {Histogram::Speed, 0, kUnitMiles, "<  1.9"},
      {Histogram::Speed, 1, kUnitMiles, "  3.1"},
      {Histogram::Speed, 38, kUnitMiles | kUnitFahrenheit, " 49.1"},
      {Histogram::Speed, 39, kUnitMiles | kUnitPounds, "> 49.7"},
  };
  for (const Row& r : rows)
    EXPECT_EQ(HistogramLabel(r.which, r.bin, r.units), r.label) << int(r.which) << " " << r.bin << " " << r.units;
}

// ---- The channel curve ---------------------------------------------------------

// The plain centred mean over 2w + 1 records, the end records repeated.
double MovingMean(const std::vector<TripSample>& t, float TripSample::*field, int i, int w) {
  const int last = static_cast<int>(t.size()) - 1;
  double sum = 0;
  for (int j = i - w; j <= i + w; ++j) sum += t[static_cast<std::size_t>(std::clamp(j, 1, last))].*field;
  return sum / (2 * w + 1);
}

// 300 records: power 150 W then 250 W (from record 151), altitude 100 m then
// 140 m, a low start (records 1-3: 900 W, 50 m) that the extremes leave
// out, and the other channels each at their own level.
std::vector<TripSample> StepTrip() {
  std::vector<TripSample> t(301);
  for (int i = 1; i <= 300; ++i) {
    TripSample& s = t[static_cast<std::size_t>(i)];
    s.Time = i - 1;
    s.Distance = 0.005f * i;
    s.Power = i <= 3 ? 900.0f : i <= 150 ? 150.0f : 250.0f;
    s.Altitude = i <= 3 ? 50.0f : i <= 150 ? 100.0f : 140.0f;
    s.Cadence = 85;
    s.Speed = 32.5f;
    s.HeartRate = 141;
    s.Temperature = 21;
  }
  return t;
}

TEST(DistributionReadouts, ChannelCurveOfEveryChannel) {
  const std::vector<TripSample> t = StepTrip();
  struct Row {
    CurveChannel channel;
    float TripSample::*field;
    int half_width;  // of the channel's smoothing level (power 6, the others 3)
    double max;      // the largest smoothed value from record 20 on
  };
  const Row rows[] = {{kCurvePower, &TripSample::Power, 15, 250},
                      {kCurveCadence, &TripSample::Cadence, 4, 85},
                      {kCurveSpeed, &TripSample::Speed, 4, 32.5},
                      {kCurveHeartRate, &TripSample::HeartRate, 4, 141}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.channel);
    const ChannelCurve c = BuildChannelCurve(t.data(), 301, r.channel);
    ASSERT_EQ(c.Value.size(), 300u);
    EXPECT_NEAR(c.ValueMax, r.max, 1e-4);
    EXPECT_NEAR(c.AxisMax, r.max, 1e-4);
    // Altitude at level 4 (7 records each side): 100 m .. 140 m from record 20 on.
    EXPECT_NEAR(c.AltitudeMin, 100, 1e-4);
    EXPECT_NEAR(c.AltitudeMax, 140, 1e-4);
    const double scale = r.max / 40.0;
    for (int i : {1, 20, 145, 150, 151, 156, 300}) {
      const std::size_t k = static_cast<std::size_t>(i - 1);
      EXPECT_NEAR(c.Value[k], MovingMean(t, r.field, i, r.half_width), 1e-3) << i;
      EXPECT_NEAR(c.Altitude[k], (MovingMean(t, &TripSample::Altitude, i, 7) - 100.0) * scale, 1e-3) << i;
      EXPECT_FLOAT_EQ(static_cast<float>(c.Distance[k]), 0.005f * i) << i;
    }
    EXPECT_FLOAT_EQ(static_cast<float>(c.TripDistance), 0.005f * 300);
    EXPECT_FLOAT_EQ(static_cast<float>(c.DistanceMax), 0.005f * 300);
  }
  // By hand at the step: record 150's power over records 135-165 is
  // (16 x 150 + 15 x 250) / 31; its altitude over 143-157 is (8 x 100 + 7 x 140) / 15.
  const ChannelCurve p = BuildChannelCurve(t.data(), 301, kCurvePower);
  EXPECT_NEAR(p.Value[149], (16 * 150.0 + 15 * 250.0) / 31, 1e-3);
  EXPECT_NEAR(p.Altitude[149], ((8 * 100.0 + 7 * 140.0) / 15 - 100) * 250 / 40, 1e-3);
  EXPECT_EQ(CurveSmoothLevel(kCurvePower), 6);
  EXPECT_EQ(CurveSmoothLevel(kCurveSpeed), 3);
}

TEST(DistributionReadouts, AltitudeRangeTextsInMetresAndFeet) {
  struct Row {
    int units;
    double max, min;
    const char* top;
    const char* bottom;
  };
  const Row rows[] = {
      {0, 140, 100, "   140 [m]", "   100 [m]"},
      {kUnitFahrenheit | kUnitPounds, 140, 100, "   140 [m]", "   100 [m]"},
      // 140 m = 459.3 ft, 100 m = 328.1 ft.
      {kUnitMiles, 140, 100, "   459 [ft]", "   328 [ft]"},
      {kUnitMiles, 2000, -10, "  6562 [ft]", "   -33 [ft]"},
  };
  for (const Row& r : rows) {
    const auto texts = CurveAltitudeTexts(r.max, r.min, r.units);
    EXPECT_EQ(texts[0], r.top) << r.units;
    EXPECT_EQ(texts[1], r.bottom) << r.units;
  }
}

}  // namespace
}  // namespace tav
