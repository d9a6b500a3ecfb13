#include "analysis/evaluation_model.h"

#include <gtest/gtest.h>

#include "../core/core_test_util.h"
#include "core/statistics.h"
#include "platform/text.h"

namespace tav {
namespace {

using testing_core::RampTrip;

// A trip line of slot `slot` on day `day` of March 2014, or a manual entry.
std::string Line(int day, int slot, bool manual = false, int sport = 0) {
  return manual ? Format("201403%02i_0930NR%i_X;%03i;*gym", day, 3, slot)
                : Format("201403%02i_101500%i_TAV;%03i;*ride", day, sport, slot);
}

TripSummary Trip(int time, float hr, float np = 200, float maxPower = 500) {
  TripSummary t;
  t.TotalTime = time;
  t.Distance = time / 100.0f;
  t.MeanHeartRate = hr;
  t.MaxHeartRate = hr + 30;
  t.NP = np;
  t.IF = np / 250;
  t.TSS = 50;
  t.MaxPower = maxPower;
  t.MeanPowerAll = 150;
  t.MeanPowerNonZero = 180;
  t.MeanSpeed = 30;
  t.MaxSpeed = 60;
  t.Work = 1000;
  return t;
}

TEST(EvaluationSums, WeightedMeansManualLinesAndImplausibleNP) {
  std::vector<TripSummary> table(kTripSlots);
  table[1] = Trip(3600, 150);
  table[2] = Trip(7200, 120, 300);
  table[3] = Trip(1800, 0, 2500, 900);   // no heart rate; NP not plausible
  table[4] = Trip(5400, 180, 0, 9999);   // manual entry: only distance, time, heart rate
  table[4].MaxHeartRate = 250;
  table[4].MeanSpeed = 41700.4f;          // a manual entry's start time
  table[1].ClimbPower = 300;
  table[2].ClimbPower = 150;
  const std::vector<std::string> lines = {Line(1, 1), Line(2, 2), Line(3, 3), Line(4, 4, true),
                                          "no slot here", Line(5, 1500)};
  const SelectionSums s = SumSelection(lines, 0, 99, table.data());
  EXPECT_EQ(s.time, 3600 + 7200 + 1800 + 5400);
  EXPECT_NEAR(s.distance, 180.0, 1e-3);
  // Heart rate: (1 h x 150 + 2 h x 120 + 1.5 h x 180) / 4.5 h; the trip without one counts not.
  EXPECT_NEAR(s.MeanHeartRate(), (150.0 + 240 + 270) / 4.5, 1e-9);
  // The NP of 2500 is reset in the table and counts as 0 with its time.
  EXPECT_EQ(table[3].NP, 0);
  EXPECT_EQ(table[3].TSS, 0);
  EXPECT_EQ(table[3].IF, 0);
  EXPECT_EQ(s.npResets, 1);
  EXPECT_NEAR(s.Mean(s.np), (200.0 * 3600 + 300.0 * 7200) / 12600, 1e-9);
  EXPECT_EQ(s.tss, 100);
  EXPECT_NEAR(s.Mean(s.climbPower), (300.0 * 3600 + 150.0 * 7200) / 12600, 1e-9);  // weighted by trip time
  // Maxima and speeds come from trips only.
  EXPECT_EQ(s.maxPower, 900);
  EXPECT_EQ(s.maxHeartRate, 180);
  EXPECT_EQ(s.maxSpeed, 60);
  EXPECT_NEAR(s.Mean(s.speed), 30, 1e-9);
  // Nothing summed: every mean is 0.
  const SelectionSums none = SumSelection(lines, 4, 5, table.data());
  EXPECT_EQ(none.Mean(none.np), 0);
  EXPECT_EQ(none.MeanHeartRate(), 0);
}

TEST(EvaluationSums, RowsByKindUnitsAndLongTimes) {
  LabelTexts L;
  for (int i = 0; i < kLangLabelSlots; ++i) L[static_cast<std::size_t>(i)] = "L" + std::to_string(i);
  EvaluationTexts U;
  for (int i = 0; i < kEvaluationUiTexts; ++i) U[static_cast<std::size_t>(i)] = "U" + std::to_string(i);
  SelectionSums s;
  s.time = 120 * 3600 + 5 * 60 + 7;
  s.distance = 100;
  s.climbTime = 99 * 3600;
  s.climbDistance = 10;
  s.weight = 1;
  s.climbPower = 250;

  const SummaryRows bike = FormatSummaryRows(s, 7, kSportBikePower, 0, 2.5f, L, U);
  EXPECT_EQ(bike.text[0], "U5  =   7");
  EXPECT_EQ(bike.text[1], "L7 [km]                     =   100.0             L0 =120:05:07");
  EXPECT_EQ(bike.text[11], "L1 [km]                     =    10.0             L0 = 99:00:00");
  EXPECT_EQ(bike.text[10], "U4 > 2.50%                            Power(EXC 0 W) =    250.0");
  EXPECT_EQ(bike.text[12], "U6[km/h]                 L6 =     0.1");
  EXPECT_EQ(bike.text[2].substr(0, 3), "NP\x99");
  for (bool v : bike.visible) EXPECT_TRUE(v);

  const SummaryRows run = FormatSummaryRows(s, 7, kSportRun, kUnitMiles, 2.5f, L, U);
  EXPECT_EQ(run.text[0], "U9  =   7");
  EXPECT_EQ(run.text[1].substr(0, 37), "L7 [miles]                  =    62.1");
  EXPECT_EQ(run.text[10], "U4 > 2.50%                          ");  // the label alone
  EXPECT_EQ(run.text[9].substr(0, 8), "L2 [ft] ");
  // A long speed title takes the free room of its label instead of being cut.
  EvaluationTexts es = U;
  es[6] = "Velocidad";
  LabelTexts es_l = L;
  es_l[6] = "Promedio";
  EXPECT_EQ(FormatSummaryRows(s, 7, kSportRun, 0, 2.5f, es_l, es).text[12], "Velocidad[km/h]    Promedio =     0.1");
  // The mean-speed row likewise, in both units: the unit stays whole, the '=' column stays.
  EXPECT_EQ(FormatSummaryRows(s, 7, kSportRun, 0, 2.5f, es_l, es).text[5].substr(0, 29), "Velocidad[km/h]    Promedio =");
  EXPECT_EQ(FormatSummaryRows(s, 7, kSportRun, kUnitMiles, 2.5f, es_l, es).text[5].substr(0, 29),
            "Velocidad[mph]     Promedio =");
  const bool runShown[kSummaryRows] = {1, 1, 0, 0, 0, 1, 0, 1, 1, 1, 1, 1, 1};
  const SummaryRows hr = FormatSummaryRows(s, 7, kSportBikeHeartRate, 0, 2.5f, L, U);
  for (int r = 0; r < kSummaryRows; ++r) {
    EXPECT_EQ(run.visible[static_cast<std::size_t>(r)], runShown[r]) << r;
    EXPECT_EQ(hr.visible[static_cast<std::size_t>(r)], runShown[r] || r == 6) << r;
  }
}

TEST(EvaluationTrends, EveryTrendKeepsLinePositionsAndManualLines) {
  std::vector<TripSummary> sums(kTripSlots);
  std::vector<TripDistribution> dist(kTripSlots);
  sums[1] = Trip(3600, 150, 240);
  sums[1].Ascent = 1000;
  sums[2] = Trip(3600, 130);
  sums[2].Distance = 42;
  dist[1].Data.Peaks[0] = 900;
  dist[1].Data.Peaks[3] = 280;
  dist[2].Data.Peaks[0] = 700;
  // Line 1 has no slot, line 2 is manual: points keep x = line - first.
  const std::vector<std::string> lines = {Line(1, 1), "broken", Line(2, 2, true), Line(3, 1)};
  auto build = [&](TrendKind k, TrendOptions o = {}) {
    return BuildTrend(k, lines, 0, 4, sums.data(), dist.data(), o);
  };
  auto xs = [](const std::vector<TrendPoint>& pts) {
    std::vector<double> x;
    for (const auto& p : pts) x.push_back(p.x);
    return x;
  };
  const std::vector<double> all = {0, 2, 3}, trips = {0, 3};

  const TrendSeries power = build(TrendKind::Power, {.divisor = 80.0});
  EXPECT_EQ(xs(power[0]), all);
  EXPECT_DOUBLE_EQ(power[0][0].y, 3.0);   // 240 W / 80 kg
  EXPECT_EQ(power[0][0].label, "01.03.2014 ");
  EXPECT_TRUE(power[3][1].y == 0 && power[3][1].label.empty());  // manual: 0 without label

  const TrendSeries np = build(TrendKind::NpHeartRate);
  EXPECT_EQ(np[1][1].y, 130);             // a manual line's heart rate
  EXPECT_TRUE(np[0][1].y == 0 && np[0][1].label == "02.03.2014 ");

  const TrendSeries dist_trend = build(TrendKind::Distance, {.speedFactor = 0.5, .altitudeFactor = 2});
  EXPECT_DOUBLE_EQ(dist_trend[0][1].y, 21);  // a manual line's distance
  EXPECT_DOUBLE_EQ(dist_trend[3][0].y, 2000);

  const TrendSeries peaks = build(TrendKind::Peaks, {.divisor = 2});
  EXPECT_EQ(xs(peaks[0]), trips);          // manual lines add no peaks
  EXPECT_DOUBLE_EQ(peaks[0][0].y, 450);
  EXPECT_DOUBLE_EQ(peaks[3][1].y, 140);

  // Weight not above 0: plain watts.
  EXPECT_EQ(PerWeightDivisor(0, kPoundsPerKg), 1.0);
  EXPECT_DOUBLE_EQ(PerWeightDivisor(70, kPoundsPerKg), 70 * kPoundsPerKg);
}

TEST(EvaluationZones, SharesStackAndMatchAtOneAndTwoSeconds) {
  ResetCoreData();
  RiderZoneRows zones;
  const uint16_t power[] = {250, 55, 75, 90, 105, 120, 150};
  std::copy(power, power + 7, zones.rows[kZoneRowPower]);
  // The same ride at 1 s and 2 s: power steps through the zones.
  auto ride = [](int interval) {
    TripFileData d;
    d.Samples = RampTrip(3600 / interval + 1, interval);
    // 0..374 W: nothing above the top bound (375 W)
    for (int i = 1; i < d.Count(); ++i) d.Samples[static_cast<std::size_t>(i)].Power = static_cast<float>((i * interval) % 375);
    return d;
  };
  float block[kZoneBlockWords];
  const LineZoneChoice own = ChooseLineZones(kSportBikePower, 0);
  const TripZoneTimes one = TripZoneTimesOf(ride(1), own, zones, block);
  EXPECT_FLOAT_EQ(block[1], 250 * 0.55f);  // no zone block in the file: the rider's rows
  const TripZoneTimes two = TripZoneTimesOf(ride(2), own, zones, block);
  const ZoneShares a = StackZoneShares(one, 7), b = StackZoneShares(two, 7);
  for (int z = 0; z < 7; ++z) {
    EXPECT_NEAR(a.cumulative[z], b.cumulative[z], 0.5) << z;
    EXPECT_NEAR(a.share[z], a.cumulative[z] - (z ? a.cumulative[z - 1] : 0), 1e-4) << z;
  }
  EXPECT_GT(a.cumulative[6], 99.9);  // the top curve ends near 100 %
  EXPECT_LE(a.cumulative[6], 100.0);
  EXPECT_EQ(a.cumulative[7], 0);     // zones beyond the count stay empty
  // No time base: no division, all shares 0.
  TripZoneTimes empty = one;
  empty.SampleInterval = 0;
  EXPECT_EQ(StackZoneShares(empty, 7).cumulative[0], 0);
}

TEST(EvaluationZones, HeartRateZonesForPowerTripsInAHeartRateSelection) {
  RiderZoneRows zones;
  const uint16_t hr[] = {180, 60, 70, 80, 90, 100, 0};
  std::copy(hr, hr + 7, zones.rows[kZoneRowBikeHeartRate]);
  TripFileData d;
  d.Samples = RampTrip(601);  // heart rate 100..149, power 101..700
  d.HasZoneBlock = true;      // a power zone block in the file
  const float power_block[kZoneBlockWords] = {kZoneBlockMark, 150, 200, 250, 300, 350, 400};
  std::copy(power_block, power_block + kZoneBlockWords, d.ZoneBlock);
  float block[kZoneBlockWords];

  const LineZoneChoice c = ChooseLineZones(kSportBikePower, kSportBikeHeartRate);
  EXPECT_TRUE(c.heartRateOverride);
  EXPECT_EQ(c.zoneSet, 1);
  EXPECT_FALSE(ChooseLineZones(kSportBikePower, kSportBikePower).heartRateOverride);
  EXPECT_EQ(ChooseLineZones(kSportRun, kSportBikeHeartRate).zoneSet, 2);

  // Header heart-rate threshold 170: bounds 102, 119, ...; heart rate is binned.
  TripZoneTimes z = TripZoneTimesOf(d, c, zones, block);
  EXPECT_FLOAT_EQ(block[1], 170 * 0.6f);
  EXPECT_EQ(z.ZoneSet, 1);
  EXPECT_EQ(z.Seconds[0], 0u);   // no record without heart rate
  EXPECT_EQ(z.Seconds[1], 36u);  // 100, 101 and 102 beats, up to the first bound
  EXPECT_EQ(z.Seconds[1] + z.Seconds[2] + z.Seconds[3] + z.Seconds[4], 600u);  // 149 <= 153, bound 4
  // Without a usable threshold in the header the rider's row gives it.
  HeaderHrThreshold(d.Samples[0]) = 0;
  TripZoneTimesOf(d, c, zones, block);
  EXPECT_FLOAT_EQ(block[1], 180 * 0.6f);
  // The trip's own zones: power against the file's block.
  z = TripZoneTimesOf(d, ChooseLineZones(kSportBikePower, 0), zones, block);
  EXPECT_EQ(block[1], 150);
  EXPECT_EQ(z.Seconds[1], 50u);  // 101..150 W
  EXPECT_EQ(z.Seconds[8], 300u);  // 401..700 W lie above the top bound
}

TEST(EvaluationLines, OverviewItemsSkipManualAndBrokenLines) {
  const std::vector<std::string> lines = {Line(1, 1), Line(2, 2, true), "broken", Line(3, 3), Line(4, 4)};
  const int expected[] = {0, -1, -1, 1, 2};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(OverviewItemOfLine(lines, i), expected[i]) << i;
  EXPECT_EQ(OverviewItemOfLine(lines, 5), -1);
  EXPECT_EQ(OverviewItemOfLine(lines, -1), -1);
}

}  // namespace
}  // namespace tav
