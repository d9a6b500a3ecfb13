#include "analysis/distribution_model.h"

#include <gtest/gtest.h>

#include "core/core_data.h"

namespace tav {
namespace {

TEST(DistributionBars, SharesRangesAndAxisGrowth) {
  struct Row {
    const char* name;
    Histogram which;
    std::vector<std::pair<int, uint32_t>> bins;  // bin, seconds
    int first_bar, last_bar;                     // -1: no bars
    std::vector<double> percents;                // of the bars listed first
    double axis_max;
  };
  const Row rows[] = {
      {"empty power: 51 bars of 0", Histogram::Power, {}, 0, 50, {0, 0}, 3.0},
      {"empty heart rate: none", Histogram::HeartRate, {}, -1, -1, {}, 3.0},
      {"heart rate only in bin 0", Histogram::HeartRate, {{0, 600}}, -1, -1, {}, 3.0},
      // Dropouts count in the total: shares of the whole time.
      {"heart rate with dropouts", Histogram::HeartRate, {{0, 50}, {10, 25}, {12, 25}}, 10, 12,
       {25, 0, 25}, 26.25},
      {"cadence up to the highest bin", Histogram::Cadence, {{27, 1}}, 0, 27, {0}, 105.0},
      {"speed from bin 0", Histogram::Speed, {{3, 1}, {5, 3}}, 0, 5, {0, 0, 0, 25, 0, 75}, 78.75},
      {"small shares keep the axis at 3", Histogram::Power, {{0, 98}, {50, 2}}, 0, 50, {98}, 102.9},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    DistributionData d;
    for (auto [b, s] : r.bins) {
      uint32_t* bins = r.which == Histogram::Power       ? d.PowerHist
                       : r.which == Histogram::HeartRate ? d.HeartRateHist
                       : r.which == Histogram::Speed     ? d.SpeedHist
                                                         : d.CadenceHist;
      bins[b] = s;
    }
    const HistogramChart c = HistogramBars(r.which, d, 0);
    if (r.first_bar < 0) {
      EXPECT_TRUE(c.Bars.empty());
    } else {
      ASSERT_EQ(c.Bars.size(), static_cast<std::size_t>(r.last_bar - r.first_bar + 1));
      EXPECT_EQ(c.Bars.front().Bin, r.first_bar);
      EXPECT_EQ(c.Bars.back().Bin, r.last_bar);
      for (std::size_t i = 0; i < r.percents.size(); ++i) EXPECT_DOUBLE_EQ(c.Bars[i].Percent, r.percents[i]);
    }
    EXPECT_NEAR(c.AxisMax, r.axis_max, 1e-9);
  }
}

TEST(DistributionBars, LabelsMetricAndMiles) {
  struct Row {
    Histogram which;
    int bin, units;
    const char* label;
  };
  const Row rows[] = {
      {Histogram::Power, 0, 0, "0 - 25"},  {Histogram::Power, 1, 0, " 30"},
      {Histogram::Power, 49, 0, "510"},    {Histogram::Power, 50, 0, ">520"},
      {Histogram::HeartRate, 0, 0, " 60"}, {Histogram::HeartRate, 39, 0, "255"},
      {Histogram::Cadence, 0, 0, "0 - 41.5"}, {Histogram::Cadence, 27, 0, "121"},
      {Histogram::Speed, 0, 0, "<  3"},    {Histogram::Speed, 5, 0, " 13"},
      {Histogram::Speed, 39, 0, "> 80"},   {Histogram::Speed, 0, kUnitMiles, "<  1.9"},
      {Histogram::Speed, 5, kUnitMiles, "  8.1"}, {Histogram::Speed, 39, kUnitMiles, "> 49.7"},
  };
  for (const Row& r : rows) EXPECT_EQ(HistogramLabel(r.which, r.bin, r.units), r.label) << r.bin;
}

TEST(DistributionBars, ZoneBandsStayOnTheAxis) {
  // Axis from pixel 50, 513 pixels long: one pixel per watt from 13 W on.
  const int32_t limits[10] = {5555, 13, 100, 526, 600, 0, 0, 0, 0, 0};
  const std::vector<ZoneBand> bands = ZoneBands(limits, 5, 50, 513);
  ASSERT_EQ(bands.size(), 2u);  // zone 1 ends where it starts; zone 4 lies past the axis end
  EXPECT_EQ(bands[0].Zone, 2);
  EXPECT_EQ(bands[0].Left, 50);
  EXPECT_EQ(bands[0].Right, 137);
  EXPECT_EQ(bands[1].Zone, 3);
  EXPECT_EQ(bands[1].Right, 563);
  // Limits below the axis start and a zone count beyond the limits.
  const int32_t low[10] = {5555, -400, 50, 40, 2000, 2000, 2000, 2000, 2000, 2000};
  for (const ZoneBand& b : ZoneBands(low, 99, 0, 100)) {
    EXPECT_GE(b.Left, 0);
    EXPECT_LE(b.Right, 100);
    EXPECT_LT(b.Left, b.Right);
    EXPECT_LT(b.Zone, 10);
  }
  EXPECT_TRUE(ZoneBands(limits, 0, 0, 100).empty());
}

TEST(DistributionBars, SelectionLineTextForTheCaption) {
  const std::pair<const char*, const char*> rows[] = {
      {"20131224_140512_0_ANNA;001;*BIKE POWER|~\xA7second", "001,*BIKE POWER"},
      {"20131224_140512_0_ANNA;002PF;*a;b~c", "002PF,*a;b"},
      {"BLOCK2", ""},
      {"k;0123456789012345678901234567890123456789012345678901234567890123456789",
       "012345678901234567890123456789012345678901234567890123456789"},
  };
  for (auto [line, text] : rows) EXPECT_EQ(SelectionLineText(line), text) << line;
}

TEST(DistributionCurve, RangesNeverCollapse) {
  std::vector<TripSample> t(200);
  for (int i = 1; i < 200; ++i) {
    t[i].Time = i;
    t[i].Distance = 0;                        // a trip that never moved
    t[i].Altitude = i > 100 ? -5.0f : -10.0f;  // below sea level
    t[i].Power = 0;
    t[i].Cadence = 0;
  }
  const ChannelCurve c = BuildChannelCurve(t.data(), 200, kCurvePower);
  EXPECT_EQ(c.ValueMax, 0.0);
  EXPECT_EQ(c.AxisMax, 1.0);        // not a 0..0 axis
  EXPECT_EQ(c.DistanceMax, 1.0);
  EXPECT_FLOAT_EQ(c.AltitudeMax, -5.0f);  // from the first counted value, not from 0
  EXPECT_FLOAT_EQ(c.AltitudeMin, -10.0f);
  ASSERT_EQ(c.Altitude.size(), 199u);
  EXPECT_FLOAT_EQ(c.Altitude.back(), 1.0f);  // the profile fills the value axis

  // Power and altitude: the profile is scaled into the power range; a spike
  // at the start (outside the smoothing window of record 20) does not count.
  for (int i = 1; i < 200; ++i) {
    t[i].Distance = 0.01f * i;
    t[i].Cadence = 90;
    t[i].Power = i < 5 ? 2000.0f : 200.0f;
    t[i].Altitude = 100.0f + i;
  }
  const ChannelCurve p = BuildChannelCurve(t.data(), 200, kCurvePower);
  EXPECT_NEAR(p.ValueMax, 200.0, 1e-3);
  EXPECT_NEAR(p.TripDistance, 1.99, 1e-5);
  double top = 0;
  for (double a : p.Altitude) top = std::max(top, a);
  EXPECT_NEAR(top, p.AxisMax, 1e-3);
}

}  // namespace
}  // namespace tav
