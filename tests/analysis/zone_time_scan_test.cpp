#include "analysis/zone_time_scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "analysis/zone_pie.h"
#include "analysis_test_util.h"
#include "../platform/contrast_reference.h"
#include "core/calendar_days.h"
#include "core/trip_line.h"
#include "diary/calendar_model.h"
#include "diary/diary_window.h"
#include "openers/openers.h"
#include "platform/text.h"

namespace tav {
namespace {

RiderZoneRows Rows() {
  RiderZoneRows z;
  const uint16_t power[] = {250, 55, 75, 90, 105, 120, 150};
  const uint16_t bike_hr[] = {160, 60, 70, 80, 90, 100, 0};  // five bounds
  const uint16_t run[] = {170, 50, 60, 70, 80, 90, 95};
  std::copy(std::begin(power), std::end(power), z.rows[0]);
  std::copy(std::begin(bike_hr), std::end(bike_hr), z.rows[1]);
  std::copy(std::begin(run), std::end(run), z.rows[2]);
  return z;
}

// A trip whose header names its kind and heart-rate threshold, with a zone
// block in its file.
TripFileData Trip(int kind, float hrThreshold, std::initializer_list<float> bounds) {
  TripFileData t;
  t.Samples = testing_core::RampTrip(101, 2, kind);
  HeaderHrThreshold(t.Samples[0]) = hrThreshold;
  t.HasZoneBlock = true;
  t.ZoneBlock[0] = 5555.0f;
  int k = 1;
  for (float b : bounds) t.ZoneBlock[k++] = b;
  return t;
}

TEST(ZoneScanTest, LayoutByLinesAndBlockMode) {
  struct Row {
    int lines, mode;
    ZoneLayout layout;
  } rows[] = {{1, 0, ZoneLayout::Few},     {2, 0, ZoneLayout::Few},    {2, 2, ZoneLayout::Blocks},
              {3, 0, ZoneLayout::PerTrip}, {4, 0, ZoneLayout::PerTrip}, {5, 0, ZoneLayout::Sum},
              {9, 2, ZoneLayout::Blocks},  {0, 0, ZoneLayout::PerTrip}};
  for (const Row& r : rows) EXPECT_EQ(ChooseZoneLayout(r.lines, r.mode), r.layout) << r.lines << " " << r.mode;
}

TEST(ZoneScanTest, BlockModeOfTheList) {
  const std::string a = "20140301_100000_0_A;001;";
  struct Row {
    std::vector<std::string> lines;
    int mode;
  } rows[] = {{{a, "BLOCK2", a}, 2}, {{a, "BLOCK2"}, 2}, {{a, a, a}, 0}, {{}, 0}, {{a, "BLOCK2 "}, 0},
              {{a, "block2"}, 0}};
  for (const Row& r : rows) EXPECT_EQ(ZoneBlockModeOf(r.lines), r.mode) << r.lines.size();
}

TEST(ZoneScanTest, ClassesAtTheBounds) {
  const ZoneBounds b = {0, 100, 200, 300, 400, 500, 600, 600, 600};
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Row {
    float v;
    int cls;
  } rows[] = {{-5, 0}, {0, 0}, {nan, 0}, {0.5f, 1}, {100, 1}, {100.1f, 2}, {200, 2}, {600, 6}, {601, 8}};
  for (const Row& r : rows) EXPECT_EQ(ZoneClassOf(r.v, b), r.cls) << r.v;
}

TEST(ZoneScanTest, BoundsPerBasisAndKind) {
  const RiderZoneRows z = Rows();
  EXPECT_EQ(ZoneCountOfBasis(z, kBasisPower), 7);
  EXPECT_EQ(ZoneCountOfBasis(z, kBasisBikeHeartRate), 6);  // from its own row
  const TripFileData power = Trip(kSportBikePower, 170, {140, 190, 230, 260, 300, 380});
  struct Row {
    const char* what;
    TripFileData trip;
    int kind, basis;
    ZoneBounds want;
    int drawn;  // zones with a bound
  } rows[] = {
      {"power trip, power basis: its file's bounds", power, 0, kBasisPower,
       {0, 140, 190, 230, 260, 300, 380, 380, 380}, 7},
      {"power trip, heart-rate basis: bike heart-rate bounds at its threshold", power, 0,
       kBasisBikeHeartRate, {0, 102, 119, 136, 153, 170, 170, 170, 170}, 6},
      {"threshold below 30: the row's", Trip(kSportBikePower, 0, {140}), 0, kBasisBikeHeartRate,
       {0, 96, 112, 128, 144, 160, 160, 160, 160}, 6},
      {"run basis treats a bike ride alike", power, 0, kBasisRunHeartRate,
       {0, 102, 119, 136, 153, 170, 170, 170, 170}, 6},
      {"heart-rate trip keeps its block; later bounds repeat the last", Trip(kSportBikeHeartRate, 170, {120, 140}),
       1, kBasisBikeHeartRate, {0, 120, 140, 140, 140, 140, 140, 140, 140}, 3},
      {"a bound below the one before is raised", Trip(kSportRun, 170, {120, 100, 150, 160, 170, 180}), 2,
       kBasisRunHeartRate, {0, 120, 120, 150, 160, 170, 180, 180, 180}, 7},
  };
  for (const Row& r : rows) {
    const int zones = ZoneCountOfBasis(z, r.basis);
    const TripZoneBounds b = PrepareZoneBounds(r.trip, r.kind, r.basis, zones, z);
    for (int i = 1; i < kZoneClasses; ++i) EXPECT_NEAR(b.bound[i], r.want[i], 1e-3) << r.what << " bound " << i;
    int drawn = 0;
    for (int j = 0; j < zones; ++j) drawn += b.drawn[j];
    EXPECT_EQ(drawn, r.drawn) << r.what;
  }
}

TEST(ZoneScanTest, AdmissionCountsAndSums) {
  struct Row {
    const char* line;
    int basis;
    bool admitted;
  } rows[] = {{"20140101_1000000_A;001;", kBasisPower, true},
              {"20140101_1000001_A;001;", kBasisPower, false},
              {"20140101_1000000_A;001;", kBasisBikeHeartRate, true},
              {"20140101_100000X_A;001;", kBasisPower, true},  // no digit: kind 0
              {"20140101_1000NR3_A;001;", kBasisBikeHeartRate, false},
              {"BLOCK2", kBasisPower, false},
              {"20140101_1000000_A", kBasisPower, false}};
  for (const Row& r : rows) EXPECT_EQ(ZoneLineAdmitted(r.line, r.basis), r.admitted) << r.line;

  const RiderZoneRows z = Rows();
  TripFileData t = Trip(kSportBikePower, 170, {150, 160, 170, 180, 190, 200});  // power 101..200
  EXPECT_FALSE(CountTripZones(t, 0, 0, kBasisPower, 7, z).counted);
  // The scan's interval: the step from record 2 to record 3 as the file
  // gives it, taken in 64 bits; 0 or less is no interval (the trip is
  // skipped), too long a step the 1 s every reader takes.
  constexpr int32_t kLow = std::numeric_limits<int32_t>::min(), kHigh = std::numeric_limits<int32_t>::max();
  struct Step {
    int32_t time2, time3;
    int interval;
  } steps[] = {{2, 4, 2}, {0, 3600, 3600}, {4, 4, 0}, {4, 2, 0}, {kHigh, kLow, 0}, {kLow, kHigh, 1}};
  for (const Step& r : steps) {
    TripFileData stepped = t;
    stepped.Samples[2].Time = r.time2;
    stepped.Samples[3].Time = r.time3;
    EXPECT_EQ(ZoneScanInterval(stepped), r.interval) << r.time2 << " " << r.time3;
  }
  const TripZoneCount c = CountTripZones(t, 2, 0, kBasisPower, 7, z);
  ASSERT_TRUE(c.counted);
  EXPECT_EQ(c.total, 200);  // 100 records x 2 s
  EXPECT_EQ(c.seconds[1], 100);  // 101..150 W
  EXPECT_EQ(c.seconds[6], 20);   // 191..200 W
  EXPECT_EQ(c.seconds[8], 0);
  // Sums of many long trips stay exact in 64 bits.
  ZoneBar bar;
  TripZoneCount big = c;
  big.seconds[1] = big.total = int64_t{3} << 31;
  for (int i = 0; i < 4; ++i) bar.Add(big);
  EXPECT_EQ(bar.total, int64_t{3} << 33);
  EXPECT_EQ(bar.trips, 4);
  EXPECT_EQ(ZoneHms(bar.total), "7158278:49:36");
}

// A rider without power bounds has one zone: every value above 0 is zone 1,
// whether the trip's file brings bounds of its own or none at all.
TEST(ZoneScanTest, OneZoneBasisCountsEveryValueInZoneOne) {
  RiderZoneRows z = Rows();
  std::fill(std::begin(z.rows[0]) + 1, std::end(z.rows[0]), uint16_t{0});
  ASSERT_EQ(ZoneCountOfBasis(z, kBasisPower), 1);
  TripFileData no_block = Trip(kSportBikePower, 170, {});
  no_block.HasZoneBlock = false;
  struct Row {
    const char* what;
    TripFileData trip;
  } rows[] = {{"the file's bounds", Trip(kSportBikePower, 170, {150, 160, 170, 180, 190, 200})},
              {"no bounds anywhere", no_block}};
  for (const Row& r : rows) {
    // Power 101..200 W in records 1..100 at 2 s: 200 s, all of it zone 1.
    const TripZoneCount c = CountTripZones(r.trip, 2, 0, kBasisPower, 1, z);
    ASSERT_TRUE(c.counted) << r.what;
    EXPECT_EQ(c.total, 200) << r.what;
    EXPECT_EQ(c.seconds[1], 200) << r.what;
    EXPECT_EQ(c.seconds[8], 0) << r.what;
  }
}

TEST(ZoneScanTest, BarGeometryAndLabels) {
  ZoneBar bar;
  bar.total = 1000;
  bar.seconds = {100, 300, 0, 500, 0, 0, 0, 0, 100};  // 100 s above the top bound
  bar.drawn = {true, true, true, true, false, false, false, false, false};
  auto width = [](const std::string& s) { return static_cast<int>(s.size()) * 6; };
  const PlannedBar p = PlanZoneBar(bar, 5, 40, 700, kLargeBar, 450, width, 13);
  ASSERT_EQ(p.segments.size(), 4u);  // zone 4 has no bound
  EXPECT_EQ(p.end_top, 40 + 4 * 15);
  const ZoneSegment& z3 = p.segments[0];
  EXPECT_EQ(z3.zone, 3);
  EXPECT_EQ(z3.rect, (TRect{30, 40, 380, 68}));
  EXPECT_EQ(z3.label.text, "00:08:20 / 50.00%");
  EXPECT_EQ(z3.label.x, 32);
  EXPECT_EQ(z3.label.y, 23);
  EXPECT_EQ(p.segments[1].rect, (TRect{380, 55, 380, 83}));  // no time: a step down, no label
  EXPECT_TRUE(p.segments[1].label.text.empty());
  // Past the picture's right edge the label moves left of its segment, its
  // bottom at the segment's bottom.
  const ZoneSegment& z1 = p.segments[2];
  EXPECT_EQ(z1.rect, (TRect{380, 70, 590, 98}));
  EXPECT_EQ(z1.label.x, 380 - 17 * 6 - 4);
  EXPECT_EQ(z1.label.y, 98 - 13);
  EXPECT_EQ(p.segments[3].rect.Right, 660);  // ends short: the class above the top is not drawn
  const PlannedBar small = PlanZoneBar(bar, 5, 21, 700, kPerTripBar, 450, width, 13);
  EXPECT_EQ(small.segments[2].label.y, 21 + 2 * 12 + 2);
  EXPECT_TRUE(PlanZoneBar(ZoneBar{}, 5, 40, 700, kLargeBar, 500, width, 13).segments.empty());
}

TEST(ZoneScanTest, PictureOfEachLayout) {
  auto counted = [](int64_t total) {
    TripZoneCount c;
    c.counted = true;
    c.total = total;
    c.seconds[1] = total;
    c.drawn = {true, true, true};
    return c;
  };
  const std::array<std::string, 2> texts = {"Trips", "Total time"};
  const std::string a = "20140301_1000000_A;001;*Hills|x", b = "20140305_1200000_B;002;";
  // Per trip: a skipped line keeps its place.
  ZonePicture p = BuildZonePicture(ZoneLayout::PerTrip, {a, b, a}, {counted(60), {}, counted(90)}, 3, texts, "");
  ASSERT_EQ(p.bars.size(), 2u);
  EXPECT_EQ(p.bars[1].top, 21 + 2 * 127);
  EXPECT_EQ(p.texts[0].y, 21 + 36 - 32);
  EXPECT_EQ(p.texts[1].text, "Hills  (TT = 00:01:00)");
  EXPECT_EQ(p.quarter_total, (std::array<int64_t, 4>{60, 0, 90, 0}));
  // Few: one trip at the lower place fills every quarter.
  p = BuildZonePicture(ZoneLayout::Few, {b}, {counted(75)}, 3, texts, "");
  EXPECT_EQ(p.bars[0].top, 320);
  EXPECT_EQ(p.texts[0].text, "05.03.2014 - 12:00  ");
  EXPECT_EQ(p.texts[1].text, "  (TT = 00:01:15)");
  EXPECT_EQ(p.quarter_total, (std::array<int64_t, 4>{75, 75, 75, 75}));
  // Sum: one bar, the span and the count line.
  p = BuildZonePicture(ZoneLayout::Sum, {a, b, a, b, "20140306_1000NR3_M;003;"},
                       {counted(60), counted(60), counted(3600), {}, {}}, 3, texts, "01.03.2014  - 05.03.2014 ");
  ASSERT_EQ(p.bars.size(), 1u);
  EXPECT_EQ(p.bars[0].bar.total, 3720);
  EXPECT_EQ(p.texts[1].text, "3  Trips   ( Total time = 01:02:00)");
  // Nothing counted: no bar, and nothing to measure.
  p = BuildZonePicture(ZoneLayout::Sum, {a, b, a, b, b}, std::vector<TripZoneCount>(5), 3, texts, "");
  EXPECT_TRUE(p.bars.empty());
  EXPECT_EQ(p.quarter_total[0], 0);
  // Blocks: each block's bar, dates and count; an empty block 2 draws nothing.
  p = BuildZonePicture(ZoneLayout::Blocks, {a, b, "BLOCK2", a}, {counted(60), counted(30), {}, counted(10)}, 3,
                       texts, "");
  ASSERT_EQ(p.bars.size(), 2u);
  EXPECT_EQ(p.bars[0].top, 70);
  EXPECT_EQ(p.bars[1].top, 330);
  EXPECT_EQ(p.texts[0].text, "01.03.2014 - 05.03.2014");
  EXPECT_EQ(p.texts[2].y, 480);
  EXPECT_EQ(p.quarter_total, (std::array<int64_t, 4>{90, 90, 10, 10}));
  p = BuildZonePicture(ZoneLayout::Blocks, {a, "BLOCK2", b}, {counted(60), {}, {}}, 3, texts, "");
  EXPECT_EQ(p.bars.size(), 1u);
}

TEST(ZoneScanTest, MeasuringArithmetic) {
  struct Row {
    int y, quarter;
  } rows[] = {{-4, 0}, {129, 0}, {130, 1}, {400, 3}, {9999, 3}};
  for (const Row& r : rows) EXPECT_EQ(MeasureQuarterOf(r.y, 517), r.quarter) << r.y;
  EXPECT_EQ(MeasureQuarterOf(10, 0), 0);
  EXPECT_DOUBLE_EQ(MeasurePercentOf(0, 700), 0);
  EXPECT_DOUBLE_EQ(MeasurePercentOf(381, 700), 50);
  EXPECT_DOUBLE_EQ(MeasurePercentOf(5000, 700), 100);
  EXPECT_EQ(MeasurePercentOf(100, 0), 0);
  EXPECT_EQ(MeasureCaption(-12.5, -450), " -12.5%  00:07:30 ");
}

using ZoneScanWindowTest = testing_analysis::WindowFixture;

TEST_F(ZoneScanWindowTest, DrawsTheTripsAndMeasuresWithoutTouchingTheCurrentTrip) {
  const uint16_t power[] = {250, 55, 75, 90, 105, 120, 150};
  std::copy(std::begin(power), std::end(power), RiderZones[0][0]);
  TripFileData d = Trip(kSportBikePower, 170, {150, 160, 170, 180, 190, 300});
  ASSERT_TRUE(WriteTripFile(FsPath(JoinPath(RiderDir, "20140301_1000000_A.DEO")), d, false, nullptr));
  std::fill(std::begin(TripZoneBlock), std::end(TripZoneBlock), 7.0f);
  TripSampleCount = 0;
  SelectedTrips.Clear();
  SelectedTrips.Add("20140301_1000000_A;001;*Hills");
  ScanList = &SelectedTrips;
  Form3->SB_SEL_ALL->Tag = kBasisPower;
  Form56->Show();
  EXPECT_EQ(Form56->Caption, "Analyze of 01.03.2014  to 01.03.2014 ");
  EXPECT_EQ(Form56->BarTotalSeconds, (std::array<int64_t, 4>{200, 200, 200, 200}));
  EXPECT_EQ(TripZoneBlock[3], 7.0f);  // read aside: the current trip is untouched
  EXPECT_EQ(TripSampleCount, 0);
  EXPECT_TRUE(Form56->Show_Zonen->Visible);
  // Seven boxes of at least 40 pixels, 4 apart; every name stays inside its
  // box: the gaps between the boxes and the strip's right end show the
  // background only.
  const int step = (Form56->Show_Zonen->Width - 15) / 7;
  EXPECT_GE(step, 44);
  EXPECT_EQ(Form56->Show_Zonen->Width, 15 + step * 7);
  for (int k = 0; k < 7; ++k) {
    const int box_left = 15 + step * k;
    EXPECT_EQ(Form56->Show_Zonen->Pixel(box_left + 1, 9), ZoneColors[6 - k]) << k;
    for (int x = box_left + step - 4; x < box_left + step; ++x)
      for (int y = 2; y < 16; ++y) ASSERT_EQ(Form56->Show_Zonen->Pixel(x, y), ChartColors[0]) << k << " " << x << "," << y;
    // Its name reads on the zone's colour (white on the dark blue and the
    // purple boxes): the strongest pixel of the text against the box.
    double strongest = 1;
    for (int x = box_left; x < box_left + step - 4; ++x)
      for (int y = 2; y < 16; ++y)
        strongest = std::max(strongest, testing_contrast::Contrast(Form56->Show_Zonen->Pixel(x, y), ZoneColors[6 - k]));
    EXPECT_GE(strongest, 4.5) << "zone " << 6 - k;
  }
  // Zone 1 (101..150 W, half the trip) is the last but one segment, at the
  // lower place: its colour shows in the picture.
  const int y = 320 + 5 * 15 + 10;
  EXPECT_EQ(Form56->Show1->Pixel(30 + Form56->BarWidth * 3 / 4, y), ZoneColors[1]);

  // Measuring: the first click picks the bar, the second fixes the start.
  Form56->SB_ZOClick(nullptr);
  Form56->Show1->DoMouseDown(TMouseButton::mbLeft, 0, 100, 400);
  Form56->Show1->DoMouseUp(TMouseButton::mbLeft, 0, 100, 400);
  Form56->Show1->DoMouseMove(0, 31 + Form56->BarWidth / 2, 400);
  EXPECT_EQ(Form56->LT1->Caption, "  50.0%  00:01:40 ");
  Form56->Show1->DoMouseDown(TMouseButton::mbLeft, 0, 100, 400);
  Form56->Show1->DoMouseUp(TMouseButton::mbLeft, 0, 100, 400);
  EXPECT_EQ(Form56->MeasureState, 2);
  Form56->Show1->DoMouseMove(0, 31, 400);
  EXPECT_EQ(Form56->LT2->Caption, " -50.0%  00:01:40 ");

  // A heart-rate trip under the power basis draws no bar, and the totals of
  // the scan before are gone.
  SelectedTrips.Clear();
  SelectedTrips.Add("20140301_1000001_A;001;");
  Form56->Hide();
  Form56->Show();
  EXPECT_EQ(Form56->BarTotalSeconds[0], 0);
  EXPECT_FALSE(Form56->Sp_a->Visible);
  Form56->Hide();

  // A trip whose records 2 and 3 carry the same time is skipped, not
  // counted at 1 s per record.
  d.Samples[3].Time = d.Samples[2].Time;
  ASSERT_TRUE(WriteTripFile(FsPath(JoinPath(RiderDir, "20140302_1000000_A.DEO")), d, false, nullptr));
  SelectedTrips.Clear();
  SelectedTrips.Add("20140302_1000000_A;002;");
  Form56->Show();
  EXPECT_EQ(Form56->BarTotalSeconds, (std::array<int64_t, 4>{}));
  Form56->Hide();
}

// Opened for two blocks, then shown again after another window handed over
// a selection without blocks: each trip gets its own bar, none is merged
// into a block; a new two-block list is drawn as two blocks again.
TEST_F(ZoneScanWindowTest, ShownAgainTheLayoutFollowsTheListItWalks) {
  const uint16_t power[] = {250, 55, 75, 90, 105, 120, 150};
  std::copy(std::begin(power), std::end(power), RiderZones[0][0]);
  // Trips of 61, 81 and 101 records, 2 s apart: 120, 160 and 200 s.
  const char* const names[3] = {"20140301_100000_0_A", "20140302_100000_0_A", "20140303_100000_0_A"};
  std::vector<std::string> lines;
  for (int k = 0; k < 3; ++k) {
    TripFileData d;
    d.Samples = testing_core::RampTrip(61 + 20 * k, 2, kSportBikePower);
    ASSERT_TRUE(WriteTripFile(FsPath(JoinPath(RiderDir, std::string(names[k]) + ".DEO")), d, false, nullptr));
    lines.push_back(std::string(names[k]) + Format(";00%i;", k + 1));
  }
  Form3->Show();
  Form3->SB_SEL_ALL->Tag = kBasisPower;
  SelectedTrips.Assign(std::vector<std::string>{lines[0], lines[1], "BLOCK2", lines[2]});
  ScanList = &SelectedTrips;
  OpenZoneTimeScan();
  EXPECT_EQ(Form56->BarTotalSeconds, (std::array<int64_t, 4>{280, 280, 200, 200}));

  // Another analysis takes three trips without blocks; back to this window.
  SelectedTrips.Assign(lines);
  Application().ActivateForm(Form3);
  Application().ActivateForm(Form56);
  EXPECT_EQ(Form56->BlockMode(), 0);
  EXPECT_EQ(Form56->BarTotalSeconds, (std::array<int64_t, 4>{120, 160, 200, 0}));
  // The time readout of the second bar: half of its 160 s.
  Form56->SB_ZOClick(nullptr);
  Form56->Show1->DoMouseDown(TMouseButton::mbLeft, 0, 100, Form56->BaseY * 3 / 8);
  Form56->Show1->DoMouseUp(TMouseButton::mbLeft, 0, 100, Form56->BaseY * 3 / 8);
  Form56->Show1->DoMouseMove(0, 31 + Form56->BarWidth / 2, 100);
  EXPECT_EQ(Form56->LT1->Caption, "  50.0%  00:01:20 ");

  // Two blocks again, in another order.
  SelectedTrips.Assign(std::vector<std::string>{lines[2], "BLOCK2", lines[0]});
  Application().ActivateForm(Form3);
  Application().ActivateForm(Form56);
  EXPECT_EQ(Form56->BlockMode(), 2);
  EXPECT_EQ(Form56->BarTotalSeconds, (std::array<int64_t, 4>{200, 200, 120, 120}));
}

}  // namespace
}  // namespace tav

namespace tav {
namespace {

// One ride, 2 s a record, with its own power zones 100/150/200/250/300/350 W:
// the same seconds carry the same zone name in the time-in-zones scan, the
// stored zone times, the zone pie, the calendar's day and the evaluation's
// zone trend.
TEST(ZoneNamesAcrossWindows, OneRideGivesTheSameSecondsPerZoneName) {
  ResetCoreData();
  TripFileData trip = Trip(kSportBikePower, 160, {100, 150, 200, 250, 300, 350});
  trip.Samples.resize(42);
  // Records by zone: 0 W (none), up to and on 100 W, 120 W, 200 W on the
  // bound, 240 W, 280 W, 350 W on the top bound, 500 W above it.
  const struct { float watts; int records; } runs[] = {{0, 3},   {50, 4},  {100, 1}, {120, 7}, {200, 2},
                                                       {240, 6}, {280, 1}, {350, 8}, {500, 9}};
  std::size_t i = 1;
  for (const auto& r : runs)
    for (int k = 0; k < r.records; ++k) trip.Samples[i++].Power = r.watts;
  ASSERT_EQ(i, trip.Samples.size());
  // Worked out by hand: records x 2 s per name, in ZoneNames order.
  const std::vector<std::pair<std::string, uint32_t>> want = {
      {"NULL", 6}, {"REKOM", 10}, {"GA1", 14}, {"GA2", 4}, {"EB", 12}, {"SB", 2}, {"K-SB", 16}};
  const RiderZoneRows rows = Rows();
  ASSERT_EQ(ZoneCountOfBasis(rows, kBasisPower), 7);

  // The scan.
  const TripZoneCount scan = CountTripZones(trip, ZoneScanInterval(trip), kSportBikePower, kBasisPower, 7, rows);
  // The stored zone times (what the evaluation computes and the diary stores).
  float block[kZoneBlockWords];
  const TripZoneTimes table = TripZoneTimesOf(trip, ChooseLineZones(kSportBikePower, 0), rows, block);
  // The calendar's day of that ride.
  std::vector<TripSummary> summaries(kTripSlots);
  std::vector<TripZoneTimes> zones(kTripSlots);
  summaries[7].TotalTime = 82;
  zones[7] = table;
  const int32_t day = DateValue(2024, 3, 21);
  ASSERT_TRUE(BuildCalendarModel({{7, day, 0}}, 1, 0, summaries.data(), zones.data(), nullptr));
  const CalendarDay& cal = CalendarDayAt(day - CalendarFirstMonday());
  // The evaluation's zone trend: shares of the record count x interval.
  const ZoneShares shares = StackZoneShares(table, 7);
  // The pie, filled from the stored times.
  TForm10 pie;
  ZonePieFill fill;
  fill.zoneCount = 7;
  for (int z = 0; z < 10; ++z) fill.seconds[static_cast<std::size_t>(z)] = table.Seconds[z];
  ASSERT_TRUE(ShowZonePie(pie, fill));
  ASSERT_EQ(pie.Pie->Count(), 7);

  for (std::size_t z = 0; z < want.size(); ++z) {
    const auto& [name, seconds] = want[z];
    EXPECT_EQ(ZoneNames[z], name);
    EXPECT_EQ(scan.seconds[z], seconds) << name;
    EXPECT_EQ(table.Seconds[z], seconds) << name;
    EXPECT_EQ(cal.ZoneSeconds[z], seconds) << name;
    EXPECT_NEAR(shares.share[z], seconds * 100.0 / 84.0, 1e-3) << name;
    EXPECT_EQ(pie.Pie->Label(static_cast<int>(z)).substr(0, 14), Format("%-5.5s 00:00:%02u", name.c_str(), seconds));
  }
  // 500 W lies above the top bound: counted, shown in no zone.
  EXPECT_EQ(scan.seconds[8], 18);
  EXPECT_EQ(table.Seconds[8], 18u);
  EXPECT_EQ(pie.Pie->Label(2), "GA1   00:00:14 / 21.9% ");  // 14 of the 64 s in shown zones
  CloseZonePie();
  ClearCalendarDays();
}

}  // namespace
}  // namespace tav

namespace tav {
namespace {

// Two heart-rate rides with their own bounds 120/140/160/170/180/190 (the
// rider's bike row names five, so six zones are drawn and the sixth bound
// is 180), one recorded every second and one every two seconds; their power
// lies above every bound, so counting power instead of heart rate fails.
// Ride A, 1 s: 20 records at 120 (zone 1, on the bound), 20 at 140 (zone 2),
// 20 at 140.5 (zone 3): 60 s. Ride B, 2 s: 30 records at 0 (zone 0), 20 at
// 180 (zone 5, on the top bound), 10 at 181 (above the top: counted in the
// total, never drawn): 120 s.
TripFileData HeartRateRide(bool two_seconds) {
  TripFileData t;
  t.Samples = testing_core::RampTrip(61, two_seconds ? 2 : 1, kSportBikeHeartRate);
  t.HasZoneBlock = true;
  t.ZoneBlock[0] = 5555.0f;  // the block holds bounds
  const float bounds[] = {120, 140, 160, 170, 180, 190};
  for (int k = 0; k < 6; ++k) t.ZoneBlock[k + 1] = bounds[k];
  for (int k = 1; k < 61; ++k) {
    TripSample& s = t.Samples[static_cast<std::size_t>(k)];
    s.Power = 400.0f + static_cast<float>(k);
    if (!two_seconds) s.HeartRate = k <= 20 ? 120.0f : k <= 40 ? 140.0f : 140.5f;
    else s.HeartRate = k <= 30 ? 0.0f : k <= 50 ? 180.0f : 181.0f;
  }
  return t;
}

TEST(ZoneScanTest, SecondsLabelsAndCountLineOfRidesAtOneAndTwoSeconds) {
  const RiderZoneRows z = Rows();
  const int zones = ZoneCountOfBasis(z, kBasisBikeHeartRate);
  ASSERT_EQ(zones, 6);
  const TripFileData a = HeartRateRide(false), b = HeartRateRide(true);
  const TripZoneCount ca = CountTripZones(a, ZoneScanInterval(a), kSportBikeHeartRate, kBasisBikeHeartRate, zones, z);
  const TripZoneCount cb = CountTripZones(b, ZoneScanInterval(b), kSportBikeHeartRate, kBasisBikeHeartRate, zones, z);
  struct Row {
    const TripZoneCount& count;
    std::array<int64_t, kZoneClasses> seconds;
    int64_t total;
  } rows[] = {{ca, {0, 20, 20, 20, 0, 0, 0, 0, 0}, 60}, {cb, {60, 0, 0, 0, 0, 40, 0, 0, 20}, 120}};
  for (const Row& r : rows) {
    EXPECT_TRUE(r.count.counted);
    EXPECT_EQ(r.count.seconds, r.seconds);
    EXPECT_EQ(r.count.total, r.total);
  }
  // More than four lines: one bar of the sum, its labels from zone 5 down.
  const std::string la = "20140301_1000001_A;001;*Intervals", lb = "20140302_1000001_A;002;*Easy";
  const std::array<std::string, 2> texts = {"Trips", "Total time"};
  const ZonePicture p = BuildZonePicture(ZoneLayout::Sum, {la, lb, la, lb, "20140306_1000NR3_M;003;"},
                                         {ca, cb, {}, {}, {}}, zones, texts, "01.03.2014  - 06.03.2014 ");
  ASSERT_EQ(p.bars.size(), 1u);
  EXPECT_EQ(p.quarter_total, (std::array<int64_t, 4>{180, 180, 180, 180}));
  ASSERT_EQ(p.texts.size(), 2u);
  EXPECT_EQ(p.texts[0].text, "01.03.2014  - 06.03.2014 ");
  EXPECT_EQ(p.texts[1].text, "2  Trips   ( Total time = 00:03:00)");
  auto width = [](const std::string& s) { return static_cast<int>(s.size()) * 6; };
  const PlannedBar plan = PlanZoneBar(p.bars[0].bar, zones, 300, 720, kLargeBar, 2000, width, 13);
  const struct {
    int zone, left, right;
    const char* label;
  } want[] = {{5, 30, 190, "00:00:40 / 22.22%"}, {4, 190, 190, ""},
              {3, 190, 270, "00:00:20 / 11.11%"}, {2, 270, 350, "00:00:20 / 11.11%"},
              {1, 350, 430, "00:00:20 / 11.11%"}, {0, 430, 670, "00:01:00 / 33.33%"}};
  ASSERT_EQ(plan.segments.size(), std::size(want));
  for (std::size_t i = 0; i < std::size(want); ++i) {
    const ZoneSegment& s = plan.segments[i];
    EXPECT_EQ(s.zone, want[i].zone);
    EXPECT_EQ(s.rect.Left, want[i].left) << want[i].zone;
    EXPECT_EQ(s.rect.Right, want[i].right) << want[i].zone;
    EXPECT_EQ(s.rect.Top, 300 + 15 * static_cast<int>(i)) << want[i].zone;
    EXPECT_EQ(s.label.text, want[i].label);
  }
  // Two lines: each ride its own bar, its date and comment line.
  const ZonePicture few = BuildZonePicture(ZoneLayout::Few, {la, lb}, {ca, cb}, zones, texts, "");
  ASSERT_EQ(few.texts.size(), 4u);
  EXPECT_EQ(few.texts[0].text, "01.03.2014 - 10:00  ");
  EXPECT_EQ(few.texts[1].text, "Intervals  (TT = 00:01:00)");
  EXPECT_EQ(few.texts[3].text, "Easy  (TT = 00:02:00)");
  EXPECT_EQ(few.quarter_total, (std::array<int64_t, 4>{60, 60, 120, 120}));
}

// The window sums rides of 1 s and 2 s under the heart-rate basis, and the
// measuring readout gives the share of that sum.
TEST_F(ZoneScanWindowTest, SumsRidesOfOneAndTwoSecondsUnderTheHeartRateBasis) {
  const uint16_t bike_hr[] = {160, 60, 70, 80, 90, 100, 0};
  std::copy(std::begin(bike_hr), std::end(bike_hr), RiderZones[0][1]);
  const char* const keys[2] = {"20140301_1000001_A", "20140302_1000001_A"};
  for (int k = 0; k < 2; ++k)
    ASSERT_TRUE(WriteTripFile(FsPath(JoinPath(RiderDir, std::string(keys[k]) + ".DEO")), HeartRateRide(k == 1), false,
                              nullptr));
  Form3->Show();
  Form3->SB_SEL_ALL->Tag = kBasisBikeHeartRate;
  SelectedTrips.Clear();
  for (int i = 0; i < 5; ++i) SelectedTrips.Add(std::string(keys[i % 2]) + ";00" + std::to_string(i + 1) + ";");
  ScanList = &SelectedTrips;
  Form56->Show();
  EXPECT_EQ(Form56->Caption, "Analyze of 01.03.2014  to 02.03.2014 ");
  EXPECT_EQ(Form56->BarTotalSeconds, (std::array<int64_t, 4>{420, 420, 420, 420}));  // 3 x 60 + 2 x 120
  Form56->SB_ZOClick(nullptr);
  Form56->Show1->DoMouseDown(TMouseButton::mbLeft, 0, 100, 300);
  Form56->Show1->DoMouseUp(TMouseButton::mbLeft, 0, 100, 300);
  Form56->Show1->DoMouseMove(0, 31 + Form56->BarWidth / 2, 300);
  EXPECT_EQ(Form56->LT1->Caption, "  50.0%  00:03:30 ");
  Form56->Hide();
  // The same two rides under the power basis: heart-rate rides take no part.
  Form3->SB_SEL_ALL->Tag = kBasisPower;
  Form56->Show();
  EXPECT_EQ(Form56->BarTotalSeconds, (std::array<int64_t, 4>{}));
  Form56->Hide();
}

}  // namespace
}  // namespace tav
