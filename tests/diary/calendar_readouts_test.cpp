// What a rider reads in the week calendar, worked out by hand: the day
// records built from trips whose every channel has its own value, the
// summary column of a week in metric and imperial units, the zone bars, and
// the dates, week numbers and periods at the turn of a year.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/core_data.h"
#include "core/demo_rider.h"
#include "core/statistics.h"
#include "core/trip_list.h"
#include "diary/calendar_cells.h"
#include "diary/calendar_model.h"
#include "../core/core_test_util.h"

namespace tav {
namespace {

std::string Text(const CalendarLineText& t) {
  return t.layout == CalendarLineLayout::Pair ? t.left + "|" + t.right : t.left;
}

class CalendarReadouts : public ::testing::Test {
 protected:
  void TearDown() override { ClearCalendarDays(); }
  bool Build(int sport = 0) {
    changed_ = false;
    return BuildCalendarModel(dates_, static_cast<int>(dates_.size()), sport, summaries_.data(), zones_.data(), &changed_);
  }
  const CalendarDay& On(int32_t day) const { return CalendarDayAt(day - CalendarFirstMonday()); }

  std::vector<TripDateEntry> dates_;
  std::vector<TripSummary> summaries_ = std::vector<TripSummary>(kTripSlots);
  std::vector<TripZoneTimes> zones_ = std::vector<TripZoneTimes>(kTripSlots);
  bool changed_ = false;
};

// Two power trips on one day, every value of one trip different from every
// other: each mean follows its own weight (total time, power time, or the
// total time of the trips with heart rate only).
TEST_F(CalendarReadouts, ADayWeighsEveryChannelByItsOwnTime) {
  const int32_t day = DateValue(2021, 6, 16);  // a Wednesday
  summaries_[5] = {.TotalTime = 3600, .Distance = 30, .Ascent = 400, .MeanPowerAll = 150, .MeanPowerNonZero = 225,
                   .NP = 240, .IF = 0.8f, .TSS = 60, .Work = 540, .MeanHeartRate = 140, .MeanCadence = 90,
                   .MeanSpeed = 30, .MeanTemperature = 20, .PowerTime = 2400, .Weight = 70};
  summaries_[6] = {.TotalTime = 1800, .Distance = 12, .Ascent = 100, .MeanPowerAll = 120, .MeanPowerNonZero = 180,
                   .NP = 210, .IF = 0.5f, .TSS = 30, .Work = 216, .MeanHeartRate = 0, .MeanCadence = 60,
                   .MeanSpeed = 24, .MeanTemperature = 14, .PowerTime = 1200, .Weight = 76};
  for (int z = 0; z < 10; ++z) {
    zones_[5].Seconds[z] = 100u * static_cast<uint32_t>(z + 1);
    zones_[6].Seconds[z] = 7u;
  }
  dates_ = {{5, day, 0}, {6, day, 0}};
  ASSERT_TRUE(Build());
  const CalendarDay& d = On(day);
  EXPECT_EQ(d.RideMinutes, 90);
  EXPECT_EQ(d.PowerMinutes, 60);
  EXPECT_FLOAT_EQ(d.Distance, 42.0f);
  EXPECT_FLOAT_EQ(d.Ascent, 500.0f);
  EXPECT_FLOAT_EQ(d.MeanPowerAll, 140.0f);      // (150 x 3600 + 120 x 1800) / 5400
  EXPECT_FLOAT_EQ(d.MeanPowerNonZero, 210.0f);  // (225 x 2400 + 180 x 1200) / 3600
  EXPECT_FLOAT_EQ(d.NP, 230.0f);                // (240 x 3600 + 210 x 1800) / 5400
  EXPECT_FLOAT_EQ(d.IF, 0.7f);                  // (0.8 x 3600 + 0.5 x 1800) / 5400
  EXPECT_FLOAT_EQ(d.TSS, 90.0f);
  EXPECT_FLOAT_EQ(d.Work, 756.0f);
  EXPECT_FLOAT_EQ(d.MeanHeartRate, 140.0f);     // the second trip has none
  EXPECT_FLOAT_EQ(d.MeanCadence, 80.0f);        // (90 x 3600 + 60 x 1800) / 5400
  EXPECT_FLOAT_EQ(d.MeanSpeed, 28.0f);          // (30 x 3600 + 24 x 1800) / 5400
  EXPECT_FLOAT_EQ(d.MeanTemperature, 18.0f);    // (20 x 3600 + 14 x 1800) / 5400
  EXPECT_FLOAT_EQ(d.Weight, 72.0f);             // (70 x 3600 + 76 x 1800) / 5400
  for (int z = 0; z < 10; ++z) EXPECT_EQ(d.ZoneSeconds[z], 100u * static_cast<uint32_t>(z + 1) + 7u) << z;
  for (int z = 10; z < 15; ++z) EXPECT_EQ(d.ZoneSeconds[z], 0u) << z;
  // What the day's cell then reads.
  const CalendarCellValues v = DayCellValues(d);
  const struct {
    int item;
    const char* text;
  } lines[] = {
      {0, "01:30 h| 42.00 km"}, {1, "TSS =  90|IF =0.70"}, {2, "RPM 80| 28 km/h"},  {3, "RPM 80|HR 140"},
      {4, "  500 hm| 18.0\xB0" "C"}, {5, "P o/m 210 / 140 W"}, {6, "NP =  230 W"},     {7, "P exc  210 W"},
      {8, "P inc  140 W"},      {9, "HR 140.0 1/min"},     {10, "RPM = 80.0 1/min"}, {11, " 28.0 km/h"},
      {12, "  756 kJ"},         {13, "01:30 h"},           {14, " 42.00 km"},        {15, "TSS =  90"},
      {16, "IF =0.70"},         {17, "  500 hm"},          {18, "Temp= 18.0\xB0" "C"}, {19, " 3.19 W/kg"},
  };
  for (const auto& l : lines) EXPECT_EQ(Text(CalendarLine(v, l.item, false, false, 80)), l.text) << l.item;
}

// Minutes are whole minutes of the summed seconds, cut, not rounded; the
// minutes with power are those of the power time.
TEST_F(CalendarReadouts, MinutesAreCutFromTheSummedSeconds) {
  const int32_t day = DateValue(2021, 6, 14);
  summaries_[1] = {.TotalTime = 359, .NP = 100, .PowerTime = 119};
  summaries_[2] = {.TotalTime = 300, .NP = 100, .PowerTime = 60};
  dates_ = {{1, day, 0}, {2, day, 0}};
  ASSERT_TRUE(Build());
  EXPECT_EQ(On(day).RideMinutes, 10);   // 659 s
  EXPECT_EQ(On(day).PowerMinutes, 2);   // 179 s
  EXPECT_EQ(Text(CalendarLine(DayCellValues(On(day)), 13, false, false, 0)), "00:10 h");
}

// NP above 2000 W is a spike: NP, IF and TSS of that trip go to 0. 2000 W
// itself is a ride.
TEST_F(CalendarReadouts, ASpikeIsOnlyAboveTwoThousandWatts) {
  const int32_t day = DateValue(2021, 6, 15);
  summaries_[1] = {.TotalTime = 600, .NP = 2000, .IF = 1.5f, .TSS = 25};
  summaries_[2] = {.TotalTime = 600, .NP = 2000.5f, .IF = 1.6f, .TSS = 30};
  dates_ = {{1, day, 0}};
  ASSERT_TRUE(Build());
  EXPECT_FALSE(changed_);
  EXPECT_FLOAT_EQ(On(day).NP, 2000.0f);
  EXPECT_FLOAT_EQ(On(day).TSS, 25.0f);
  EXPECT_EQ(summaries_[1].NP, 2000.0f);
  dates_ = {{2, day, 0}};
  ASSERT_TRUE(Build());
  EXPECT_TRUE(changed_);
  EXPECT_EQ(summaries_[2].NP, 0.0f);
  EXPECT_EQ(summaries_[2].IF, 0.0f);
  EXPECT_EQ(summaries_[2].TSS, 0.0f);
  EXPECT_EQ(On(day).TSS, 0.0f);
  EXPECT_EQ(On(day).IF, 0.0f);
}

// A trip recorded every second and one recorded every two seconds on one
// day: the day's time and zone seconds follow each trip's own interval.
TEST_F(CalendarReadouts, TripsOfOneAndTwoSecondsOnOneDay) {
  const int32_t day = DateValue(2021, 6, 17);
  const std::vector<TripSample> one = testing_core::RampTrip(601, 1), two = testing_core::RampTrip(601, 2);
  float block[kZoneBlockWords] = {};
  MakeZoneBlock(one[0], block);
  TripInput in;
  in.Samples = one.data();
  in.Count = 601;
  in.Interval = 1;
  ASSERT_TRUE(SummarizeTrip(in, summaries_[1]));
  in.Samples = two.data();
  in.Interval = 2;
  ASSERT_TRUE(SummarizeTrip(in, summaries_[2]));
  ASSERT_EQ(summaries_[1].TotalTime, 600);
  ASSERT_EQ(summaries_[2].TotalTime, 1200);
  zones_[1] = CountZoneTimes(one.data(), 601, 1, block, kZoneChannelPower);
  zones_[2] = CountZoneTimes(two.data(), 601, 2, block, kZoneChannelPower);
  dates_ = {{1, day, 0}, {2, day, 0}};
  ASSERT_TRUE(Build());
  const CalendarDay& d = On(day);
  EXPECT_EQ(d.RideMinutes, 30);  // 10 + 20 minutes
  uint64_t total = 0;
  for (int z = 0; z < 10; ++z) {
    EXPECT_EQ(d.ZoneSeconds[z], zones_[1].Seconds[z] + zones_[2].Seconds[z]) << z;
    EXPECT_EQ(zones_[2].Seconds[z], 2 * zones_[1].Seconds[z]) << z;  // the same records, twice as long each
    total += d.ZoneSeconds[z];
  }
  EXPECT_EQ(total, 1800u);
  // 6 km each (0.01 km per record); the speed is each trip's own.
  EXPECT_EQ(Text(CalendarLine(DayCellValues(d), 0, false, false, 0)), "00:30 h| 12.00 km");
}

// Every kind of sport other than the chosen one marks its own bit; the
// chosen kind is summed and marks nothing.
TEST_F(CalendarReadouts, EveryOtherKindMarksItsOwnBit) {
  const int32_t monday = DateValue(2021, 6, 14);
  summaries_[1] = {.TotalTime = 600};
  for (int kind = 0; kind < 8; ++kind) dates_.push_back({1, monday + kind, kind});
  for (int chosen : {0, 1, 2}) {
    ASSERT_TRUE(Build(chosen));
    for (int kind = 0; kind < 8; ++kind) {
      EXPECT_EQ(CalendarSportMaskAt(monday + kind - CalendarFirstMonday()), kind == chosen ? 0 : 1 << kind)
          << chosen << " " << kind;
      EXPECT_EQ(On(monday + kind).RideMinutes, kind == chosen ? 10 : 0) << chosen << " " << kind;
    }
  }
}

// The first day of the model (its first Monday) and the last (the Sunday
// of its last row) both hold their trips and marks.
TEST_F(CalendarReadouts, TheFirstAndLastDaysOfThePeriodHoldTheirTrips) {
  // 2024 begins on a Monday, so the model has no row more than the period.
  const int32_t first = DateValue(2024, 6, 17), last = DateValue(2024, 6, 30);  // Monday, Sunday
  summaries_[1] = {.TotalTime = 1200};
  summaries_[2] = {.TotalTime = 2400};
  dates_ = {{1, first, 0}, {2, last, 0}, {3, last, 2}, {4, first, 1}};
  ASSERT_TRUE(Build());
  ASSERT_EQ(CalendarFirstMonday(), first);
  const long long last_index = last - first;
  ASSERT_EQ(CalendarDays.size(), static_cast<std::size_t>(last_index + 1));
  EXPECT_EQ(CalendarDayAt(0).RideMinutes, 20);
  EXPECT_EQ(CalendarDayAt(last_index).RideMinutes, 40);
  EXPECT_EQ(CalendarSportMaskAt(0), 2);
  EXPECT_EQ(CalendarSportMaskAt(last_index), 4);
  EXPECT_EQ(CalendarCaption("EVA", 0), "EVA   17.06.2024 - 30.06.2024");
}

// A week's summary: sums, TSS, work and ascent rounded per day, means
// weighted by the days' minutes (the heart rate only over days with heart
// rate, the power without zeros of the pair line by the minutes with power).
TEST(CalendarWeekSummary, ReadsTheWeekInMetricAndImperialUnits) {
  std::array<CalendarDay, 7> week{};
  week[0] = {.RideMinutes = 60, .PowerMinutes = 40, .Distance = 30.3f, .Ascent = 300.5f, .MeanPowerAll = 150,
             .MeanPowerNonZero = 240, .NP = 250, .IF = 0.8f, .TSS = 50.5f, .Work = 600.5f, .MeanHeartRate = 150,
             .MeanCadence = 90, .MeanSpeed = 30, .MeanTemperature = 20, .Weight = 70};
  week[3] = {.RideMinutes = 30, .PowerMinutes = 10, .Distance = 10.5f, .Ascent = 99.4f, .MeanPowerAll = 120,
             .MeanPowerNonZero = 160, .NP = 190, .IF = 0.6f, .TSS = 20.4f, .Work = 199.4f, .MeanHeartRate = 0,
             .MeanCadence = 60, .MeanSpeed = 24, .MeanTemperature = 11, .Weight = 76};
  week[6] = {.RideMinutes = 30, .PowerMinutes = 30, .Distance = 4, .Ascent = 0.5f, .MeanPowerAll = 100,
             .MeanPowerNonZero = 104, .NP = 106, .IF = 0.2f, .TSS = 0.5f, .Work = 0.5f, .MeanHeartRate = 120,
             .MeanCadence = 76, .MeanSpeed = 20, .MeanTemperature = 5, .Weight = 74};
  week[0].ZoneSeconds[0] = 60;
  week[3].ZoneSeconds[0] = 40;
  week[3].ZoneSeconds[9] = 500;
  week[6].ZoneSeconds[4] = 30;
  const CalendarCellValues sum = WeekCellValues(week.data(), 7);
  // Minutes 120; distance 44.8 km = 27.84 miles; speed 26.0 km/h = 16.16 mph.
  const struct {
    int item;
    const char* metric;
    const char* imperial;
  } lines[] = {
      {0, "02:00 h|  44.8 km", "02:00 h|  27.8 miles"},
      {1, "TSS =  72|IF =0.60", nullptr},       // 51 + 20 + 1; (48 + 18 + 6) / 120
      {2, "RPM 79| 26 km/h", "RPM 79|16.2 mph"},  // (5400 + 1800 + 2280) / 120
      {3, "RPM 79|HR 140", nullptr},            // (9000 + 3600) / 90
      {4, "  401 hm| 14.0\xB0" "C", nullptr},   // 301 + 99 + 1; 1680 / 120
      {5, "P o/m 179 / 130 W", nullptr},        // 14320 / 80; 15600 / 120
      {6, "NP =  199 W", nullptr},              // 23880 / 120
      {7, "P exc  186 W", nullptr},             // 22320 / 120
      {8, "P inc  130 W", nullptr},
      {9, "HR 140.0  1/min", nullptr},
      {10, "RPM = 79.0  1/min", nullptr},
      {11, " 26.0 km/h", " 16.2 mph"},
      {12, "  801 kJ", nullptr},                // 601 + 199 + 1
      {13, "02:00 h", nullptr},
      {14, "  44.8 km", "  27.8 miles"},
      {15, "TSS =  72", nullptr},
      {16, "IF =0.60", nullptr},
      {17, "  401 hm", nullptr},
      {18, "Temp= 14.0\xB0" "C", nullptr},
      {19, " 2.74 W/kg", nullptr},              // 199 / 72.5
  };
  for (const auto& l : lines) {
    EXPECT_EQ(Text(CalendarLine(sum, l.item, true, false, 80)), l.metric) << l.item;
    EXPECT_EQ(Text(CalendarLine(sum, l.item, true, true, 80)), l.imperial != nullptr ? l.imperial : l.metric)
        << l.item;
  }
  // The week's zone seconds, zone by zone, the last zone included.
  const std::array<uint64_t, 10> zones = WeekZoneSeconds(week.data(), 7);
  EXPECT_EQ(zones, (std::array<uint64_t, 10>{100, 0, 0, 0, 30, 0, 0, 0, 0, 500}));
  // The first day alone, as a day cell, in miles: 30.3 km = 18.83 miles, 30 km/h = 18.6 mph.
  const CalendarCellValues day = DayCellValues(week[0]);
  EXPECT_EQ(Text(CalendarLine(day, 0, false, true, 80)), "01:00 h|18.83 miles");
  EXPECT_EQ(Text(CalendarLine(day, 14, false, true, 80)), " 18.83 miles");
  EXPECT_EQ(Text(CalendarLine(day, 2, false, true, 80)), "RPM 90|18.6 mph");
  EXPECT_EQ(Text(CalendarLine(day, 11, false, true, 80)), " 18.6 mph");
  EXPECT_EQ(Text(CalendarLine(day, 5, false, false, 80)), "P o/m 240 / 150 W");
  EXPECT_EQ(Text(CalendarLine(day, 7, false, false, 80)), "P exc  240 W");
}

// NP per weight: a weight of exactly 5 kg is the day's own; below it the
// rider's weight stands in.
TEST(CalendarWeekSummary, NpPerWeightTakesTheRidersWeightOnlyBelowFiveKilograms) {
  CalendarCellValues v;
  v.np = 250;
  const struct {
    double weight;
    const char* text;
  } cases[] = {{5.0, "50.00 W/kg"}, {4.99, " 3.12 W/kg"}, {80.0, " 3.12 W/kg"}, {62.5, " 4.00 W/kg"}};
  for (const auto& c : cases) {
    v.weight = c.weight;
    EXPECT_EQ(CalendarLine(v, 19, false, false, 80).left, c.text) << c.weight;
    EXPECT_EQ(CalendarLine(v, 19, true, false, 80).left, c.text) << c.weight;
  }
}

// The day's zone bar: one segment per zone, each as long as its share.
TEST(CalendarWeekSummary, ZoneBarSegmentsFollowTheirShares) {
  const uint32_t seconds[10] = {100, 300, 0, 0, 0, 0, 0, 0, 0, 600};
  EXPECT_EQ(ZoneBarEnds(seconds, 10, 5, 100), (std::vector<int>{15, 45, 45, 45, 45, 45, 45, 45, 45, 105}));
  // With fewer zones only those count: 100 / 400 and 300 / 400 of 200 px from 10.
  EXPECT_EQ(ZoneBarEnds(seconds, 2, 10, 200), (std::vector<int>{60, 210}));
  const uint32_t third[3] = {1, 1, 1};
  EXPECT_EQ(ZoneBarEnds(third, 3, 0, 100), (std::vector<int>{33, 66, 100}));
}

// A period at the turn of a year: the first list date, Thursday
// 22 Dec 2022, makes row 1 start on Monday 19 Dec; Sunday 1 Jan 2023 ends
// week 1 of 2023; Monday 2 Jan begins week 2.
TEST_F(CalendarReadouts, DatesWeekNumbersAndPeriodsAtTheTurnOfAYear) {
  summaries_[1] = {.TotalTime = 600};
  dates_ = {{1, DateValue(2022, 12, 22), 0}, {1, DateValue(2023, 1, 1), 0}, {1, DateValue(2023, 1, 2), 0},
            {1, DateValue(2023, 1, 9), 0}};
  ASSERT_TRUE(Build());
  EXPECT_EQ(CalendarYearStart, DateValue(2022, 1, 1));
  EXPECT_EQ(W_Tag, 5);  // a Saturday
  EXPECT_EQ(t_offset, 357);
  EXPECT_EQ(CalendarFirstMonday(), DateValue(2022, 12, 19));
  EXPECT_EQ(CalendarWeekCount, 5);  // (15 Jan - 22 Dec + 5) div 7 + 1
  const int numbers[] = {0, 52, 1, 2, 3, 4};
  for (int r = 1; r <= 5; ++r) {
    EXPECT_EQ(CalendarWeekNumbers.at(static_cast<std::size_t>(r)), numbers[r]) << r;
    EXPECT_EQ(CalendarWeekNumberOfRow(r), numbers[r]) << r;
  }
  EXPECT_EQ(CalendarCaption("EVA", 0), "EVA   19.12.2022 - 15.01.2023");
  EXPECT_EQ(CalendarCaption("EVA", kUnitUsDate), "EVA   12/19/2022 - 01/15/2023");
  // Sunday 1 Jan is the last day of row 2, Monday 2 Jan the first of row 3.
  EXPECT_EQ(CalendarDayAt(13).RideMinutes, 10);
  EXPECT_EQ(CalendarDayAt(14).RideMinutes, 10);
  EXPECT_EQ(CalendarHitTest(7, 2, 60, CalendarWeekCount), (CalendarHit{CalendarClick::DayDiary, 13}));
  EXPECT_EQ(CalendarHitTest(1, 3, 60, CalendarWeekCount), (CalendarHit{CalendarClick::DayDiary, 14}));
  EXPECT_EQ(CalendarHitTest(8, 2, 39, CalendarWeekCount), (CalendarHit{CalendarClick::WeekPie, 7}));
  EXPECT_EQ(CalendarHitTest(1, 5, 60, CalendarWeekCount), (CalendarHit{CalendarClick::DayDiary, 28}));
  EXPECT_EQ(CalendarHitTest(1, 6, 60, CalendarWeekCount), CalendarHit{});
  EXPECT_EQ(CalendarHitTest(2, 1, 140, CalendarWeekCount), (CalendarHit{CalendarClick::DayDiary, 1}));
  EXPECT_EQ(CalendarHitTest(2, 1, 19, CalendarWeekCount), (CalendarHit{CalendarClick::DaySums, 1}));
  EXPECT_EQ(CalendarHitTest(2, 1, 20, CalendarWeekCount), (CalendarHit{CalendarClick::DayPie, 1}));
  EXPECT_EQ(CalendarHitTest(2, 1, 39, CalendarWeekCount), (CalendarHit{CalendarClick::DayPie, 1}));
  EXPECT_EQ(CalendarHitTest(2, 1, 40, CalendarWeekCount), (CalendarHit{CalendarClick::DayDiary, 1}));

  // The period hint and the overview's days for one, two and eight weeks
  // ending with row 3 (the week of 2 Jan).
  EXPECT_EQ(CalendarPeriodHint(3, 1), "KW  2");
  EXPECT_EQ(CalendarPeriodHint(3, 2), "KW  1 - KW  2");
  EXPECT_EQ(CalendarPeriodHint(3, 4), "KW 52 - KW  2");  // rows 1 and 3
  EXPECT_EQ(CalendarPeriodHint(5, 4), "KW  1 - KW  4");
  const struct {
    int period;
    int32_t first;
    int days;
  } spans[] = {{1, DateValue(2023, 1, 2), 7}, {2, DateValue(2022, 12, 26), 14}, {8, DateValue(2022, 11, 14), 56}};
  for (const auto& s : spans) {
    const CalendarOverviewSpan span = CalendarOverviewSpanOf(3, s.period);
    EXPECT_EQ(span.item_count, s.days) << s.period;
    EXPECT_EQ(span.period_start, s.first) << s.period;
    EXPECT_EQ(span.first_item, s.first - DateValue(2022, 1, 1)) << s.period;
    EXPECT_EQ(span.cal_day_base, 352) << s.period;  // 19 Dec 2022 - 1 Jan 2022
  }
}

}  // namespace
}  // namespace tav
