#include "viewing/trip_view_model.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "core/smoothing.h"
#include "viewing/clip_file.h"
#include "viewing/sample_table_model.h"

namespace tav {
namespace {

std::vector<TripSample> Ride(int count, int interval) {
  std::vector<TripSample> t(static_cast<std::size_t>(count));
  for (int i = 1; i < count; ++i) {
    t[i].Time = (i - 1) * interval;
    t[i].Distance = (i - 1) * 0.01f;     // 10 m per record
    t[i].Altitude = 100.0f + (i - 1) * 0.5f;  // 5 % up
    t[i].Power = static_cast<float>(i);
    t[i].Cadence = 90.45f;
  }
  return t;
}

TEST(TripViewModel, ShortTripsShowNothing) {
  for (int n : {0, 1, kMinShowRecords - 1}) EXPECT_TRUE(ShowableTrip(n).Empty()) << n;
  EXPECT_EQ(ShowableTrip(kMinShowRecords), (RecordRange{1, kMinShowRecords - 1}));
  std::vector<TripSample> t = Ride(10, 1);
  EXPECT_TRUE(BuildChannelSeries(t.data(), 10, ShowableTrip(10), kChannelPower, {}).x.empty());
  EXPECT_TRUE(SectionInTime(nullptr, 0, 0, 100).Empty());
  EXPECT_TRUE(GradeSeries(t.data(), 0, 15).empty());
}

TEST(TripViewModel, ZoomedAxisGivesTheRecordsInside) {
  std::vector<TripSample> t = Ride(601, 2);  // records 1..600 at 0, 2, ..., 1198 s
  // The axis shows minutes 3.0 to 5.5 (180 s to 330 s): records 91..166.
  const RecordRange r = SectionInTime(t.data(), 601, AxisToTime(3.0), AxisToTime(5.5));
  EXPECT_EQ(r, (RecordRange{91, 166}));
  EXPECT_EQ(r.Size(), 76);
  // Limits between records.
  EXPECT_EQ(SectionInTime(t.data(), 601, 181, 183), (RecordRange{92, 92}));
  EXPECT_TRUE(SectionInTime(t.data(), 601, 181, 181.5).Empty());
  // Past both ends: the whole trip, never the header.
  EXPECT_EQ(SectionInTime(t.data(), 601, -1e9, 1e9), (RecordRange{1, 600}));
  EXPECT_TRUE(SectionInTime(t.data(), 601, 500, 100).Empty());
  EXPECT_TRUE(SectionInTime(t.data(), 601, std::nan(""), 100).Empty());
}

TEST(TripViewModel, SeriesFollowTheSection) {
  std::vector<TripSample> t = Ride(301, 1);
  t[150].Power = std::numeric_limits<float>::quiet_NaN();
  const ChannelSeries s = BuildChannelSeries(t.data(), 301, {100, 200}, kChannelPower, {});
  ASSERT_EQ(s.x.size(), 101u);
  EXPECT_DOUBLE_EQ(s.x.front(), 99 / 60.0);
  EXPECT_DOUBLE_EQ(s.y.front(), 100.0);
  EXPECT_DOUBLE_EQ(s.y[50], 0.0);  // damaged value
  EXPECT_DOUBLE_EQ(s.y_min, 0.0);
  EXPECT_DOUBLE_EQ(s.y_max, 200.0);
  // Cadence without its leg-share fraction.
  const ChannelSeries c = BuildChannelSeries(t.data(), 301, {1, 300}, kChannelCadence, {});
  EXPECT_DOUBLE_EQ(c.y[0], 90.0);
  // A range past the end is cut to the trip.
  EXPECT_EQ(BuildChannelSeries(t.data(), 301, {290, 5000}, kChannelSpeed, {}).x.size(), 11u);
}

TEST(TripViewModel, GradeOverAWindow) {
  std::vector<TripSample> t = Ride(200, 1);
  const std::vector<float> g = GradeSeries(t.data(), 200, 15);
  ASSERT_EQ(g.size(), 200u);
  EXPECT_FLOAT_EQ(g[0], 0.0f);
  EXPECT_NEAR(g[100], 5.0f, 1e-3);
  EXPECT_NEAR(g[1], 5.0f, 1e-3);    // start: the records that exist
  EXPECT_NEAR(g[199], 5.0f, 1e-3);  // end
  // Standing still: no division by a zero distance.
  for (int i = 50; i < 120; ++i) {
    t[i].Distance = t[50].Distance;
    t[i].Altitude = 100.0f + i;  // altitude noise while standing
  }
  const std::vector<float> still = GradeSeries(t.data(), 200, 15);
  EXPECT_FLOAT_EQ(still[85], 0.0f);
  for (float v : still) ASSERT_TRUE(std::isfinite(v) && std::fabs(v) <= kGradeLimit);
}

TEST(TripViewModel, ClipTextKeepsTheTimes) {
  std::vector<TripSample> t = Ride(5000, 1);
  EXPECT_EQ(ClipText("TRIP 2024.05.01 10:00   Hills", t.data(), 5000, {61, 3661}),
            "TRIP 2024.05.01 10:00   Hills  0:01:00 - 1:01:00");
  const std::string cut = ClipText(std::string(300, 'c'), t.data(), 5000, {61, 3661});
  EXPECT_EQ(cut.size(), kClipTextBytes - 1);
  EXPECT_EQ(cut.substr(cut.size() - 19), "  0:01:00 - 1:01:00");
  EXPECT_EQ(ClipText("caption", t.data(), 5000, {}), "caption");
  EXPECT_EQ(FormatClock(-5), "0:00:00");
  EXPECT_EQ(FormatClock(36061), "10:01:01");
}

TEST(SampleTableModel, RowsColumnsAndCells) {
  EXPECT_EQ(TableRowCount(0), 2);
  EXPECT_EQ(TableRowCount(kMinShowRecords - 1), 2);
  EXPECT_EQ(TableRowCount(500), 500);
  EXPECT_FALSE(TableRowHasRecord(1, 30));
  EXPECT_FALSE(TableRowHasRecord(0, 500));
  EXPECT_TRUE(TableRowHasRecord(499, 500));
  EXPECT_FALSE(TableRowHasRecord(500, 500));

  TripSample r;
  r.Time = 3725;
  r.Distance = 12.3456f;
  r.Power = 251.6f;
  r.Speed = 32.25f;
  r.HeartRate = 141.2f;
  r.Cadence = 92.48f;
  r.Altitude = 512.04f;
  r.Temperature = -3.5f;
  r.Interval = 4;
  r.Pause = 12;
  const char* want[kTableColumns] = {"1:02:05", "12.346", "252", "32.2", "141",
                                     "92.48", "512.0", "-3.5", "4", "12"};
  for (int c = 0; c < kTableColumns; ++c) EXPECT_EQ(SampleCellText(r, c), want[c]) << c;
  EXPECT_EQ(SampleCellText(r, kTableColumns), "");

  EXPECT_EQ(ClampTableCell(2, 0, 500), (TableCell{0, 2}));
  EXPECT_EQ(ClampTableCell(900, 40, 500), (TableCell{kTableColumns - 1, 499}));
  EXPECT_EQ(ClampTableCell(-3, -1, 2), (TableCell{0, 1}));
}

TEST(TripViewModel, ChannelsInTheChosenUnits) {
  std::vector<TripSample> t(3);
  t[1].Speed = 36.0f;
  t[1].Altitude = 1000.0f;
  t[1].Temperature = 20.0f;
  const RecordRange one{1, 1};
  auto value = [&](int channel, int flags) {
    return BuildChannelSeries(t.data(), 3, one, channel, {}, ChannelUnitOf(channel, flags)).y.at(0);
  };
  EXPECT_DOUBLE_EQ(value(kChannelSpeed, 0), 36.0);
  EXPECT_NEAR(value(kChannelSpeed, 1), 22.369, 1e-3);
  EXPECT_NEAR(value(kChannelAltitude, 1), 3280.84, 1e-2);
  EXPECT_DOUBLE_EQ(value(kChannelTemperature, 0), 20.0);
  EXPECT_DOUBLE_EQ(value(kChannelTemperature, 2), 68.0);
  EXPECT_EQ(ChannelUnitOf(kChannelSpeed, 1).unit, "[mph]");
  EXPECT_EQ(ChannelUnitOf(kChannelPower, 7).unit, "[W]");
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The points written into the caller's buffers are those of the series
// built point by point: bit for bit, on random trips with damaged values,
// in every unit, over random sections, with and without smoothed columns.
TEST(TripViewModel, CurvePointsInBuffersEqualTheSeriesBuiltPointByPoint) {
  int32_t saved_levels[10];
  std::memcpy(saved_levels, SmoothLevel, sizeof saved_levels);
  std::mt19937 rng(28);
  auto any = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  for (int round = 0; round < 200; ++round) {
    const int count = any(600);
    std::vector<TripSample> t(static_cast<std::size_t>(std::max(count, 1)));
    for (int i = 1; i < count; ++i) {
      TripSample& r = t[static_cast<std::size_t>(i)];
      r.Time = (i - 1) * (1 + any(3)) - any(2);
      r.Distance = static_cast<float>(i) * 0.008f;
      r.Power = static_cast<float>(any(900)) - 0.5f;
      r.Cadence = static_cast<float>(any(12000)) / 100.0f;
      r.Speed = static_cast<float>(any(600)) / 10.0f;
      r.HeartRate = static_cast<float>(any(200));
      r.Altitude = static_cast<float>(any(3000)) - 100.0f;
      r.Temperature = static_cast<float>(any(600)) / 10.0f - 20.0f;
      if (any(40) == 0) {
        const float bad = any(3) == 0 ? nan : (any(2) ? inf : -inf);
        float TripSample::*fields[] = {&TripSample::Power, &TripSample::Cadence, &TripSample::Speed,
                                       &TripSample::HeartRate, &TripSample::Altitude, &TripSample::Temperature};
        r.*fields[any(6)] = bad;
      }
      if (any(100) == 0) r.Power = -0.0f;
    }
    std::vector<SmoothSample> rows(t.size());
    for (int k = 0; k < 10; ++k) SmoothLevel[k] = any(10);
    SmoothAllColumnsOf(t.data(), count, rows.data());
    std::array<std::vector<float>, 6> cols;
    for (std::size_t c = 0; c < 6; ++c) {
      cols[c].resize(t.size());
      for (std::size_t i = 0; i < t.size(); ++i) cols[c][i] = rows[i][c];
    }
    std::vector<float> grade = GradeSeries(t.data(), count, kGradeWindows[any(3)]);
    if (any(4) == 0) grade.resize(static_cast<std::size_t>(any(count + 1)));  // shorter than the trip
    const RecordRange range = any(3) == 0 ? ShowableTrip(count)
                                          : RecordRange{any(count + 2) - 1, any(count + 2) - 1};
    for (int channel = -1; channel <= kViewChannels; ++channel) {
      const ChannelUnit unit = ChannelUnitOf(channel, any(4));
      const bool smoothed = any(3) != 0;
      const int col = SmoothColumnOfChannel(channel);
      const ChannelSeries want = BuildChannelSeries(t.data(), count, range, channel, grade, unit,
                                                    smoothed ? rows.data() : nullptr);
      std::vector<double> x(static_cast<std::size_t>(std::max(range.Size(), 1)), -1.0), y(x);
      const float* own = smoothed && col >= 0 ? cols[static_cast<std::size_t>(col)].data() : nullptr;
      const int n = ChannelValues(t.data(), count, range, channel, grade, unit, own, y.data());
      ASSERT_EQ(AxisMinutes(t.data(), count, range, x.data()), n);
      ASSERT_EQ(static_cast<std::size_t>(n), want.y.size()) << "round " << round << " channel " << channel;
      for (int i = 0; i < n; ++i) {
        ASSERT_TRUE(SameBits(x[static_cast<std::size_t>(i)], want.x[static_cast<std::size_t>(i)])) << i;
        ASSERT_TRUE(SameBits(y[static_cast<std::size_t>(i)], want.y[static_cast<std::size_t>(i)]))
            << "round " << round << " channel " << channel << " point " << i << ": "
            << y[static_cast<std::size_t>(i)] << " != " << want.y[static_cast<std::size_t>(i)];
      }
    }
  }
  std::memcpy(SmoothLevel, saved_levels, sizeof saved_levels);
}

}  // namespace
}  // namespace tav
