// What the evaluation's summary and trends say, for small made-up
// selections whose sums and means are worked out by hand: every summary row
// in metric and imperial units, each trend series with its own values, and
// the stacked zone shares of trips at 1 s and 2 s.
#include "analysis/evaluation_model.h"

#include <gtest/gtest.h>

#include "../core/core_test_util.h"
#include "core/statistics.h"
#include "platform/text.h"

namespace tav {
namespace {

// The English short labels and window texts, as the language table sets them.
const LabelTexts kL = {"Time",    "Distance",       "Altitude difference", "Altitude", "Work", "HR",
                       "Average", "Total distance", "Select distance",     "",         "",     ""};
const EvaluationTexts kU = {"Distance",           "Cumulated altitude",       "Intensity factor(IF)",
                            "Portion in %",       "Gradient",                 "Number of trips",
                            "Speed",              "Gradient",                 "training zones portion",
                            "Number of sessions", "training zones power",     "training zones HR (bike)",
                            "training zones HR (run)", "alt correction",      "No stops"};

struct Fields {
  int time, climbTime;
  float distance, climbDistance, ascent, powerAll, powerNonZero, climbPower, maxPower, np, intensity, tss, work,
      hr, maxHr, cadence, maxCadence, speed, maxSpeed;
};
TripSummary Summary(const Fields& f) {
  TripSummary t;
  t.TotalTime = f.time;
  t.ClimbTime = f.climbTime;
  t.Distance = f.distance;
  t.ClimbDistance = f.climbDistance;
  t.Ascent = f.ascent;
  t.MeanPowerAll = f.powerAll;
  t.MeanPowerNonZero = f.powerNonZero;
  t.ClimbPower = f.climbPower;
  t.MaxPower = f.maxPower;
  t.NP = f.np;
  t.IF = f.intensity;
  t.TSS = f.tss;
  t.Work = f.work;
  t.MeanHeartRate = f.hr;
  t.MaxHeartRate = f.maxHr;
  t.MeanCadence = f.cadence;
  t.MaxCadence = f.maxCadence;
  t.MeanSpeed = f.speed;
  t.MaxSpeed = f.maxSpeed;
  return t;
}

// Three trips and a manual entry, every field its own value. The manual
// entry's large values must show nowhere but in distance, time and heart rate.
//                         time  climb  dist  cdist ascent pAll  pNon0 climbP maxP  NP    IF     TSS  work  HR   maxHR cad  maxCad spd maxSpd
const Fields kA =        {3600, 600,   30,   4,    500,   150,  180,  250,   800,  200,  0.75f, 60,  540,  140, 170,  85,  120,   30,  55};
const Fields kB =        {7200, 1200,  70,   6,    1000,  120,  150,  220,   700,  170,  0.625f, 90, 864,  125, 180,  91,  110,   35,  62};
const Fields kManual =   {1865, 300,   10,   3,    300,   999,  999,  999,   999,  999,  9,     50,  100,  155, 199,  199, 199,   99,  99};
const Fields kNoHr =     {1800, 0,     15,   0,    0,     100,  110,  0,     600,  190,  0.875f, 30, 180,  0,   0,    80,  100,   30,  50};

class EvalSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    table.assign(kTripSlots, TripSummary{});
    table[1] = Summary(kA);
    table[2] = Summary(kB);
    table[3] = Summary(kManual);
    table[4] = Summary(kNoHr);
    dist.assign(kTripSlots, TripDistribution{});
    const float peaks[5][4] = {{}, {1000, 600, 400, 300}, {900, 550, 350, 280}, {1, 1, 1, 1}, {800, 500, 330, 260}};
    for (int s = 1; s <= 4; ++s)
      for (int k = 0; k < 4; ++k) dist[static_cast<std::size_t>(s)].Data.Peaks[k] = static_cast<int32_t>(peaks[s][k]);
  }
  // Lines 0 A, 1 B, 2 without a slot, 3 the manual entry, 4 the trip without heart rate.
  const std::vector<std::string> lines = {"20140301_1015000_TAV;001;*Hills", "20140302_0800000_TAV;002;*Flat",
                                          "20140303_1200000_TAV", "20140304_0930NR3_X;003;*gym",
                                          "20140305_1700000_TAV;004;"};
  std::vector<TripSummary> table;
  std::vector<TripDistribution> dist;
};

// Means weighted by each trip's time: NP (200 x 1 h + 170 x 2 h + 190 x 0.5 h)
// / 3.5 h = 181.43; IF 0.6964; power 125.71 / 152.86; speed 32.857 km/h =
// 20.416 mph; cadence 87.71; heart rate (140 x 3600 + 125 x 7200 + 155 x
// 1865) / 12665 s = 133.68 (the trip without heart rate counts not, the
// manual entry does); work 1584 kJ = 1584 x 0.2398 x 4.5 = 1709.3 kcal;
// ascent 1500 m = 4921.3 ft; climbing 10 km = 6.2137 miles in 30 min.
TEST_F(EvalSelection, SummaryRowsInMetricAndImperialUnits) {
  const SelectionSums s = SumSelection(lines, 0, 5, table.data());
  const std::array<std::string, kSummaryRows> metric = {
      "Number of trips  =   5",
      "Total distance [km]         =   125.0           Time = 04:01:05",
      "NP\x99[Watt]                   =   181.4           IF\x99  =    0.696",
      "                                                TSS\x99 =      180",
      "Power (INC 0 W/ EXC 0 W)    =   125.7 / 152.9   max  =      800",
      "Speed[km/h]         Average =    32.9           max  =       62",
      "RPM                 Average =    87.7           max  =      120",
      "HR                  Average =   133.7           max  =      180",
      "Work [kJoule]               =    1584         [kcal] =     1709",
      "Altitude difference [m]     =    1500",
      "Gradient > 2.50%                      Power(EXC 0 W) =    197.1",
      "Distance [km]               =    10.0           Time = 00:30:00",
      "Speed[km/h]         Average =    20.0",
  };
  const std::array<std::string, kSummaryRows> imperial = {
      "Number of trips  =   5",
      "Total distance [miles]      =    77.7           Time = 04:01:05",
      "NP\x99[Watt]                   =   181.4           IF\x99  =    0.696",
      "                                                TSS\x99 =      180",
      "Power (INC 0 W/ EXC 0 W)    =   125.7 / 152.9   max  =      800",
      "Speed[mph]          Average =    20.4           max  =       39",
      "RPM                 Average =    87.7           max  =      120",
      "HR                  Average =   133.7           max  =      180",
      "Work [kJoule]               =    1584         [kcal] =     1709",
      "Altitude difference [ft]    =    4921",
      "Gradient > 2.50%                      Power(EXC 0 W) =    197.1",
      "Distance [miles]            =     6.2           Time = 00:30:00",
      "Speed[mph]          Average =    12.4",
  };
  struct Case {
    int units;
    const std::array<std::string, kSummaryRows>& rows;
  } cases[] = {{0, metric}, {kUnitMiles, imperial}, {kUnitMiles | kUnitFahrenheit | kUnitPounds, imperial},
               {kUnitPounds | kUnitFahrenheit, metric}};
  for (const Case& c : cases) {
    const SummaryRows r = FormatSummaryRows(s, 5, kSportBikePower, c.units, 2.5f, kL, kU);
    for (int k = 0; k < kSummaryRows; ++k) EXPECT_EQ(r.text[static_cast<std::size_t>(k)], c.rows[static_cast<std::size_t>(k)]) << "units " << c.units << " row " << k;
  }
}

TEST_F(EvalSelection, RowsShownAndCountTitleByKindOfSport) {
  const SelectionSums s = SumSelection(lines, 0, 5, table.data());
  struct Case {
    int sport;
    const char* count;
    const char* climb;
    bool shown[kSummaryRows];
  } cases[] = {
      {kSportBikePower, "Number of trips  =   5", "Gradient > 2.50%                      Power(EXC 0 W) =    197.1",
       {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
      {kSportBikeHeartRate, "Number of trips  =   5", "Gradient > 2.50%                    ",
       {1, 1, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1}},
      {kSportRun, "Number of sessions  =   5", "Gradient > 2.50%                    ",
       {1, 1, 0, 0, 0, 1, 0, 1, 1, 1, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    const SummaryRows r = FormatSummaryRows(s, 5, c.sport, 0, 2.5f, kL, kU);
    EXPECT_EQ(r.text[0], c.count) << c.sport;
    EXPECT_EQ(r.text[10], c.climb) << c.sport;
    for (int k = 0; k < kSummaryRows; ++k) EXPECT_EQ(r.visible[static_cast<std::size_t>(k)], c.shown[k]) << c.sport << " row " << k;
  }
}

// Times on the bounds of the row formats and of the climbing speed.
TEST(EvalSummaryBounds, HundredHoursAndOneClimbingSecond) {
  struct Case {
    int64_t time;
    int64_t climbTime;
    double climbDistance;
    const char* timeText;       // end of ZD1
    const char* climbTimeText;  // end of ZDB
    const char* climbSpeed;     // end of ZDC
  } cases[] = {
      {100 * 3600, 1, 0.0125, "Time =100:00:00", "Time = 00:00:01", "=    45.0"},  // 0.0125 km in 1 s
      {100 * 3600 - 1, 0, 0.5, "Time = 99:59:59", "Time = 00:00:00", "=     0.0"},   // no climbing time: 0
      {3599, 100 * 3600 + 61, 1000, "Time = 00:59:59", "Time =100:01:01", "=    10.0"},
  };
  for (const Case& c : cases) {
    SelectionSums s;
    s.time = c.time;
    s.climbTime = c.climbTime;
    s.climbDistance = c.climbDistance;
    const SummaryRows r = FormatSummaryRows(s, 1, kSportBikePower, 0, 2.5f, kL, kU);
    auto ends = [](const std::string& text, const std::string& tail) {
      return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    };
    EXPECT_TRUE(ends(r.text[1], c.timeText)) << r.text[1];
    EXPECT_TRUE(ends(r.text[11], c.climbTimeText)) << r.text[11];
    EXPECT_TRUE(ends(r.text[12], c.climbSpeed)) << r.text[12];
  }
}

// NP above 2000 W is no measurement: its trip's NP, TSS and IF become 0 in
// the table; exactly 2000 W stays.
TEST(EvalSummaryBounds, ImplausibleNormalisedPowerFromAbove2000) {
  struct Case {
    float np;
    bool reset;
  } cases[] = {{1999.5f, false}, {2000.0f, false}, {2000.5f, true}, {2500.0f, true}};
  for (const Case& c : cases) {
    std::vector<TripSummary> table(kTripSlots);
    table[7] = Summary({3600, 0, 10, 0, 0, 100, 100, 0, 500, c.np, 1.25f, 80, 360, 0, 0, 0, 0, 10, 20});
    const SelectionSums s = SumSelection({"20140301_1015000_TAV;007;"}, 0, 1, table.data());
    EXPECT_EQ(table[7].NP, c.reset ? 0.0f : c.np) << c.np;
    EXPECT_EQ(table[7].TSS, c.reset ? 0.0f : 80.0f) << c.np;
    EXPECT_EQ(table[7].IF, c.reset ? 0.0f : 1.25f) << c.np;
    EXPECT_EQ(s.npResets, c.reset ? 1 : 0) << c.np;
    EXPECT_DOUBLE_EQ(s.Mean(s.np), c.reset ? 0.0 : c.np) << c.np;
    EXPECT_DOUBLE_EQ(s.tss, c.reset ? 0.0 : 80.0) << c.np;
    EXPECT_DOUBLE_EQ(s.Mean(s.powerAll), 100.0) << c.np;  // the rest of the trip still counts
  }
}

// Each trend series carries its own field; manual entries, lines without a
// slot and the per-weight divisor as the chart shows them.
TEST_F(EvalSelection, EachTrendSeriesHoldsItsOwnField) {
  const std::string a = "01.03.2014 ", b = "02.03.2014 ", m = "04.03.2014 ", c = "05.03.2014 ";
  struct Point {
    double x, y;
    std::string label;
  };
  using Want = std::array<std::vector<Point>, 4>;
  struct Case {
    const char* what;
    TrendKind kind;
    TrendOptions options;
    Want want;
  } cases[] = {
      {"power in watts", TrendKind::Power, {},
       {{{{0, 200, a}, {1, 170, b}, {3, 0, ""}, {4, 190, c}},
         {{0, 250, a}, {1, 220, b}, {3, 0, ""}, {4, 0, c}},
         {{0, 180, a}, {1, 150, b}, {3, 0, ""}, {4, 110, c}},
         {{0, 150, a}, {1, 120, b}, {3, 0, ""}, {4, 100, c}}}}},
      {"power per 80 kg", TrendKind::Power, {.divisor = 80},
       {{{{0, 2.5, a}, {1, 2.125, b}, {3, 0, ""}, {4, 2.375, c}},
         {{0, 3.125, a}, {1, 2.75, b}, {3, 0, ""}, {4, 0, c}},
         {{0, 2.25, a}, {1, 1.875, b}, {3, 0, ""}, {4, 1.375, c}},
         {{0, 1.875, a}, {1, 1.5, b}, {3, 0, ""}, {4, 1.25, c}}}}},
      {"NP, heart rate, TSS, IF", TrendKind::NpHeartRate, {.divisor = 80},
       {{{{0, 200, a}, {1, 170, b}, {3, 0, m}, {4, 190, c}},
         {{0, 140, a}, {1, 125, b}, {3, 155, m}, {4, 0, c}},
         {{0, 60, a}, {1, 90, b}, {3, 0, m}, {4, 30, c}},
         {{0, 0.75, a}, {1, 0.625, b}, {3, 0, m}, {4, 0.875, c}}}}},
      {"distance in km", TrendKind::Distance, {},
       {{{{0, 30, a}, {1, 70, b}, {3, 10, m}, {4, 15, c}},
         {{0, 4, a}, {1, 6, b}, {3, 0, ""}, {4, 0, c}},
         {{0, 30, a}, {1, 35, b}, {3, 0, ""}, {4, 30, c}},
         {{0, 500, a}, {1, 1000, b}, {3, 0, ""}, {4, 0, c}}}}},
      {"distance in miles and feet", TrendKind::Distance, {.speedFactor = kMilesPerKm, .altitudeFactor = kFeetPerMetre},
       {{{{0, 30 * 0.62137, a}, {1, 70 * 0.62137, b}, {3, 10 * 0.62137, m}, {4, 15 * 0.62137, c}},
         {{0, 4 * 0.62137, a}, {1, 6 * 0.62137, b}, {3, 0, ""}, {4, 0, c}},
         {{0, 30 * 0.62137, a}, {1, 35 * 0.62137, b}, {3, 0, ""}, {4, 30 * 0.62137, c}},
         {{0, 500 * 3.28084, a}, {1, 1000 * 3.28084, b}, {3, 0, ""}, {4, 0, c}}}}},
      {"peaks in watts", TrendKind::Peaks, {},
       {{{{0, 1000, a}, {1, 900, b}, {4, 800, c}},
         {{0, 600, a}, {1, 550, b}, {4, 500, c}},
         {{0, 400, a}, {1, 350, b}, {4, 330, c}},
         {{0, 300, a}, {1, 280, b}, {4, 260, c}}}}},
      {"peaks per 80 kg", TrendKind::Peaks, {.divisor = 80},
       {{{{0, 12.5, a}, {1, 11.25, b}, {4, 10, c}},
         {{0, 7.5, a}, {1, 6.875, b}, {4, 6.25, c}},
         {{0, 5, a}, {1, 4.375, b}, {4, 4.125, c}},
         {{0, 3.75, a}, {1, 3.5, b}, {4, 3.25, c}}}}},
  };
  for (const Case& cs : cases) {
    const TrendSeries got = BuildTrend(cs.kind, lines, 0, 5, table.data(), dist.data(), cs.options);
    for (std::size_t k = 0; k < 4; ++k) {
      ASSERT_EQ(got[k].size(), cs.want[k].size()) << cs.what << " series " << k;
      for (std::size_t p = 0; p < got[k].size(); ++p) {
        EXPECT_EQ(got[k][p].x, cs.want[k][p].x) << cs.what << " series " << k << " point " << p;
        EXPECT_NEAR(got[k][p].y, cs.want[k][p].y, 1e-4) << cs.what << " series " << k << " point " << p;
        EXPECT_EQ(got[k][p].label, cs.want[k][p].label) << cs.what << " series " << k << " point " << p;
      }
    }
  }
  // From the second line on: x counts from the first line shown.
  const TrendSeries from1 = BuildTrend(TrendKind::Power, lines, 1, 5, table.data(), dist.data(), {});
  ASSERT_EQ(from1[0].size(), 3u);
  EXPECT_EQ(from1[0][0].x, 0);
  EXPECT_EQ(from1[0][2].x, 3);
  EXPECT_EQ(from1[0][0].y, 170);
}

// Shares of records x interval: a trip of 121 records at 1 s (121 s) and
// one of 61 records at 2 s (122 s).
TEST(EvalZoneShares, StackedSharesFollowEachTripsInterval) {
  struct Case {
    int records, interval;
    std::array<uint32_t, 10> seconds;
    double total;
  } cases[] = {
      {121, 1, {0, 30, 60, 0, 0, 0, 30, 0, 0, 0}, 121},
      {61, 2, {30, 0, 0, 60, 0, 30, 0, 0, 0, 0}, 122},
  };
  for (const Case& c : cases) {
    TripZoneTimes t;
    std::copy(c.seconds.begin(), c.seconds.end(), t.Seconds);
    t.RecordCount = c.records;
    t.SampleInterval = c.interval;
    const ZoneShares z = StackZoneShares(t, 7);
    double sum = 0;
    for (std::size_t k = 0; k < 10; ++k) {
      const double own = k < 7 ? c.seconds[k] * 100.0 / c.total : 0.0;
      sum += own;
      EXPECT_NEAR(z.share[k], own, 1e-4) << c.interval << " s, zone " << k;
      EXPECT_NEAR(z.cumulative[k], k < 7 ? sum : 0.0, 1e-9) << c.interval << " s, zone " << k;
    }
  }
  // All ten zones when the rider has ten.
  TripZoneTimes ten;
  ten.RecordCount = 11;
  ten.SampleInterval = 1;
  ten.Seconds[9] = 11;
  EXPECT_NEAR(StackZoneShares(ten, 10).cumulative[9], 100.0, 1e-9);
  EXPECT_EQ(StackZoneShares(ten, 9).cumulative[9], 0.0);
}

// Which zones a line is counted in: a power trip in heart-rate zones only
// while the selection is one of bike heart-rate trips.
TEST(EvalZoneShares, ZonesOfALineBySelection) {
  struct Case {
    int lineSport, selector, zoneSet;
    bool heartRate;
  } cases[] = {{0, 0, 0, false}, {0, 1, 1, true},  {0, 2, 0, false}, {1, 0, 1, false},
               {1, 1, 1, false}, {2, 1, 2, false}, {-1, 0, 0, false}, {-1, 1, 1, true}};
  for (const Case& c : cases) {
    const LineZoneChoice z = ChooseLineZones(c.lineSport, c.selector);
    EXPECT_EQ(z.zoneSet, c.zoneSet) << c.lineSport << " " << c.selector;
    EXPECT_EQ(z.heartRateOverride, c.heartRate) << c.lineSport << " " << c.selector;
  }
}

// A power trip's zones come from its power, a heart-rate trip's from its
// heart rate: the two channels lie in different zones here.
TEST(EvalZoneShares, EachKindBinsItsOwnChannel) {
  RiderZoneRows rows;
  const uint16_t power[] = {250, 40, 60, 80, 100, 120, 140};     // 100, 150, 200, 250, 300, 350 W
  const uint16_t bikeHr[] = {150, 60, 70, 80, 90, 100, 110};     // 90, 105, 120, 135, 150, 165
  std::copy(std::begin(power), std::end(power), rows.rows[kZoneRowPower]);
  std::copy(std::begin(bikeHr), std::end(bikeHr), rows.rows[kZoneRowBikeHeartRate]);
  rows.rows[kZoneRowRun][0] = 150;
  std::copy(std::begin(bikeHr) + 1, std::end(bikeHr), rows.rows[kZoneRowRun] + 1);
  struct Case {
    int kind;
    int zone;  // of every record
  } cases[] = {{kSportBikePower, 3}, {kSportBikeHeartRate, 5}, {kSportRun, 5}};
  for (const Case& c : cases) {
    TripFileData d;
    d.Samples = testing_core::RampTrip(61, 2, c.kind);
    // The header's threshold is the one of the trip's own kind.
    HeaderThreshold(d.Samples[0]) = c.kind == kSportBikePower ? 250.0f : 150.0f;
    for (std::size_t i = 1; i < d.Samples.size(); ++i) {
      d.Samples[i].Power = 180;      // zone 3: above 150, up to 200 W
      d.Samples[i].HeartRate = 140;  // zone 5: above 135, up to 150
    }
    float block[kZoneBlockWords];
    const TripZoneTimes z = TripZoneTimesOf(d, ChooseLineZones(c.kind, c.kind), rows, block);
    for (int k = 0; k < 10; ++k) EXPECT_EQ(z.Seconds[k], k == c.zone ? 120u : 0u) << "kind " << c.kind << " zone " << k;
    EXPECT_EQ(z.RecordCount, 61);
    EXPECT_EQ(z.SampleInterval, 2);
  }
}

}  // namespace
}  // namespace tav
