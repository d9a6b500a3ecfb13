#include "diary/calendar_model.h"

#include <gtest/gtest.h>

#include "core/core_data.h"
#include "core/trip_list.h"

namespace tav {
namespace {

int32_t Day(int y, int m, int d) { return DateValue(y, m, d); }

TEST(CalendarDates, WeekdaysMondaysAndWeekNumbers) {
  const struct {
    int32_t day;
    int weekday;
    int32_t monday;
  } days[] = {
      {Day(2018, 1, 1), 0, Day(2018, 1, 1)},    {Day(2017, 12, 31), 6, Day(2017, 12, 25)},
      {Day(2020, 2, 29), 5, Day(2020, 2, 24)},  {Day(2020, 3, 1), 6, Day(2020, 2, 24)},
      {Day(1899, 12, 30), 5, Day(1899, 12, 25)}, {Day(1899, 12, 25), 0, Day(1899, 12, 25)},
  };
  for (const auto& r : days) {
    EXPECT_EQ(WeekdayFromMonday(r.day), r.weekday) << r.day;
    EXPECT_EQ(MondayOf(r.day), r.monday) << r.day;
  }
  // Week 1 is the week whose Sunday falls on 1-7 January; years beginning on
  // a Sunday end with week 53.
  const struct {
    int32_t sunday;
    int week;
  } weeks[] = {
      {Day(2018, 1, 7), 1},   {Day(2018, 1, 14), 2},  {Day(2018, 12, 30), 52}, {Day(2019, 1, 6), 1},
      {Day(2017, 12, 31), 53}, {Day(2023, 12, 31), 53}, {Day(2012, 12, 30), 53}, {Day(2013, 1, 6), 1},
      {Day(2020, 12, 27), 52}, {Day(2021, 1, 3), 1},
  };
  for (const auto& r : weeks) EXPECT_EQ(WeekNumberOfSunday(r.sunday), r.week) << r.sunday;
}

class CalendarBuild : public ::testing::Test {
 protected:
  void TearDown() override { ClearCalendarDays(); }
  void Line(int32_t day, int sport, int slot = 0) { dates_.push_back({slot, day, sport}); }
  TripSummary& Trip(int slot, int seconds, float np) {
    TripSummary& s = summaries_[static_cast<std::size_t>(slot)];
    s.TotalTime = seconds;
    s.NP = np;
    return s;
  }
  bool Build(int sport = 0) {
    changed_ = false;
    return BuildCalendarModel(dates_, static_cast<int>(dates_.size()), sport, summaries_.data(), zones_.data(), &changed_);
  }
  const CalendarDay& On(int32_t day) const { return CalendarDayAt(day - CalendarFirstMonday()); }
  int32_t MaskOn(int32_t day) const { return CalendarSportMaskAt(day - CalendarFirstMonday()); }

  std::vector<TripDateEntry> dates_;
  std::vector<TripSummary> summaries_ = std::vector<TripSummary>(kTripSlots);
  std::vector<TripZoneTimes> zones_ = std::vector<TripZoneTimes>(kTripSlots);
  bool changed_ = false;
};

TEST_F(CalendarBuild, PeriodAndWeekNumbersFollowTheFirstAndLastDates) {
  const struct {
    int32_t first, last, first_monday;
    int w_tag, t_offset, weeks, week1, week2;
  } cases[] = {
      // Wednesday 3 January of a year beginning on a Monday: row 1 is week 1.
      {Day(2018, 1, 3), Day(2018, 1, 20), Day(2018, 1, 1), 0, 0, 3, 1, 2},
      // Monday 31 December of such a year: its Sunday is 6 January.
      {Day(2018, 12, 31), Day(2019, 1, 8), Day(2018, 12, 31), 0, 364, 2, 1, 2},
      // Thursday 28 December, week ending on Sunday 31 December: 53, then 1;
      // counted from the weekday of 1 January the grid gets one row more.
      {Day(2017, 12, 28), Day(2018, 1, 2), Day(2017, 12, 25), 6, 364, 3, 53, 1},
  };
  for (const auto& c : cases) {
    dates_.clear();
    Line(c.last, 0, 1);  // out of order: the last date first
    Line(c.first, 0, 2);
    ASSERT_TRUE(Build());
    EXPECT_EQ(CalendarFirstMonday(), c.first_monday) << c.first;
    EXPECT_EQ(W_Tag, c.w_tag) << c.first;
    EXPECT_EQ(t_offset, c.t_offset) << c.first;
    EXPECT_EQ(CalendarWeekCount, c.weeks) << c.first;
    EXPECT_EQ(CalendarDays.size(), static_cast<std::size_t>(7 * c.weeks));
    EXPECT_EQ(CalendarWeekNumbers.at(1), c.week1) << c.first;
    EXPECT_EQ(CalendarWeekNumbers.at(2), c.week2) << c.first;
  }
  EXPECT_EQ(CalendarCaption("ANNA", 0), "ANNA   25.12.2017 - 07.01.2018");
  EXPECT_EQ(CalendarCaption("ANNA", kUnitUsDate), "ANNA   12/25/2017 - 01/07/2018");
  const std::vector<std::string> diag = CalendarDiagnosticLines();
  ASSERT_EQ(diag.size(), 8u);
  EXPECT_EQ(diag[0], "W_Tag          6");
  EXPECT_EQ(diag[3], "delta_t   367");
  EXPECT_EQ(diag[5], "1. Woche  53");
  EXPECT_EQ(diag[6], "07.01.2018 -> KW 01");
}

TEST_F(CalendarBuild, DaysSumTheirTripsWithTimeWeightedMeans) {
  const int32_t tue = Day(2014, 3, 4), wed = Day(2014, 3, 5), fri = Day(2014, 3, 7);
  summaries_[1] = {.TotalTime = 3600, .Distance = 30, .MeanPowerAll = 190, .MeanPowerNonZero = 210, .NP = 200,
                   .TSS = 70, .MeanHeartRate = 150, .PowerTime = 3000, .Weight = 70};
  summaries_[2] = {.TotalTime = 1800, .Distance = 12.5f, .MeanPowerAll = 100, .NP = 260, .TSS = 40, .Weight = 76};
  zones_[1].Seconds[2] = 1000;
  zones_[2].Seconds[2] = 500;
  zones_[2].Seconds[9] = 7;
  Trip(3, 600, 2100).TSS = 400;  // a spike, no ride
  Trip(4, 900, 2500);
  // Lines of one day need not be neighbours; other kinds only mark the day.
  Line(tue, 0, 1);
  Line(wed, 1, 4);
  Line(tue, 2, 9);
  Line(fri, 4);
  Line(tue, 0, 2);
  Line(wed, 0, 3);
  Line(wed, 0, 1000);  // no table slot
  ASSERT_TRUE(Build());

  const CalendarDay& t = On(tue);
  EXPECT_EQ(t.RideMinutes, 90);
  EXPECT_EQ(t.PowerMinutes, 50);
  EXPECT_FLOAT_EQ(t.NP, 220.0f);  // (200 x 3600 + 260 x 1800) / 5400
  EXPECT_FLOAT_EQ(t.MeanPowerAll, 160.0f);
  EXPECT_FLOAT_EQ(t.MeanPowerNonZero, 210.0f);  // by power time
  EXPECT_FLOAT_EQ(t.MeanHeartRate, 150.0f);     // only over trips with heart rate
  EXPECT_FLOAT_EQ(t.Distance, 42.5f);
  EXPECT_FLOAT_EQ(t.TSS, 110.0f);
  EXPECT_FLOAT_EQ(t.Weight, 72.0f);
  EXPECT_EQ(t.ZoneSeconds[2], 1500u);
  EXPECT_EQ(t.ZoneSeconds[9], 7u);
  EXPECT_EQ(MaskOn(tue), 4);

  // The spike's NP, IF and TSS become 0 in the table; means without weight are 0.
  EXPECT_TRUE(changed_);
  EXPECT_EQ(summaries_[3].NP, 0.0f);
  EXPECT_EQ(summaries_[3].TSS, 0.0f);
  EXPECT_EQ(summaries_[4].NP, 2500.0f);  // another kind: not examined
  const CalendarDay& w = On(wed);
  EXPECT_EQ(w.RideMinutes, 10);
  EXPECT_EQ(w.NP, 0.0f);
  EXPECT_EQ(w.MeanHeartRate, 0.0f);
  EXPECT_EQ(w.MeanPowerNonZero, 0.0f);
  EXPECT_EQ(MaskOn(wed), 2);
  EXPECT_EQ(MaskOn(fri), 16);
  EXPECT_EQ(On(fri).RideMinutes, 0);

  // Another chosen kind: the power trips only mark their days.
  ASSERT_TRUE(Build(2));
  EXPECT_EQ(On(tue).RideMinutes, 0);
  EXPECT_EQ(MaskOn(tue), 1);
  EXPECT_FALSE(changed_);
}

TEST_F(CalendarBuild, LongSpansAreSizedFromTheDataAndOutsideReadsEmpty) {
  Trip(1, 3600, 200);
  Line(Day(2010, 1, 4), 0, 1);
  Line(Day(2014, 6, 30), 0, 1);
  ASSERT_TRUE(Build());
  EXPECT_GT(CalendarDays.size(), 1600u);
  EXPECT_EQ(On(Day(2014, 6, 30)).RideMinutes, 60);
  EXPECT_EQ(CalendarDayAt(-1).RideMinutes, 0);
  EXPECT_EQ(CalendarDayAt(static_cast<long long>(CalendarDays.size())).RideMinutes, 0);
  EXPECT_EQ(CalendarSportMaskAt(1LL << 40), 0);
  EXPECT_GT(CalendarWeekNumberOfRow(CalendarWeekCount + 10), 0);  // rows beyond the model still have numbers

  // A bogus early date does not make the model huge; the recent trips stay.
  Line(Day(5, 1, 1), 0, 1);
  ASSERT_TRUE(Build());
  EXPECT_LE(CalendarDays.size(), static_cast<std::size_t>(kMaxCalendarDays + 14));
  EXPECT_EQ(On(Day(2014, 6, 30)).RideMinutes, 60);

  // No dated line: no model.
  dates_ = {{1, 0, 0}};
  EXPECT_FALSE(Build());
  EXPECT_EQ(CalendarWeekCount, 0);
  EXPECT_TRUE(CalendarDays.empty());
  EXPECT_EQ(CalendarCaption("ANNA", 0), "ANNA");
}

}  // namespace
}  // namespace tav
