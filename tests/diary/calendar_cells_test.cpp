#include "diary/calendar_cells.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/core_data.h"
#include "core/trip_list.h"

namespace tav {
namespace {

std::string Text(const CalendarLineText& t) {
  return t.layout == CalendarLineLayout::Pair ? t.left + "|" + t.right : t.left;
}

TEST(CalendarCells, DayAndSummaryTextsOfEveryItem) {
  // Day 2 has no heart rate and no power time; its sums round up per day.
  std::array<CalendarDay, 7> week{
      CalendarDay{.RideMinutes = 95, .PowerMinutes = 90, .Distance = 42.5f, .Ascent = 512.4f, .MeanPowerAll = 180.4f,
                  .MeanPowerNonZero = 201.6f, .NP = 215.6f, .IF = 0.856f, .TSS = 87.6f, .Work = 1234.4f,
                  .MeanHeartRate = 142.3f, .MeanCadence = 88.44f, .MeanSpeed = 26.7f, .MeanTemperature = 18.3f,
                  .Weight = 71.5f},
      CalendarDay{.RideMinutes = 30, .Distance = 10, .Ascent = 0.4f, .MeanPowerAll = 120, .MeanPowerNonZero = 150,
                  .NP = 100, .IF = 0.5f, .TSS = 10.5f, .Work = 100.5f, .MeanCadence = 80, .MeanSpeed = 20,
                  .MeanTemperature = 10, .Weight = 70}};
  CalendarDay& d = week[0];
  const CalendarCellValues day = DayCellValues(d), sum = WeekCellValues(week.data(), 7);
  const struct {
    const char* day;
    const char* summary;
  } items[kCalendarItems] = {
      {"01:35 h| 42.50 km", "02:05 h|  52.5 km"},
      {"TSS =  88|IF =0.86", "TSS =  99|IF =0.77"},
      {"RPM 88| 27 km/h", "RPM 86| 25 km/h"},
      {"RPM 88|HR 142", "RPM 86|HR 142"},
      {"  512 hm| 18.3\xB0" "C", "  512 hm| 16.3\xB0" "C"},
      {"P o/m 202 / 180 W", "P o/m 202 / 166 W"},
      {"NP =  216 W", "NP =  188 W"},
      {"P exc  202 W", "P exc  189 W"},
      {"P inc  180 W", "P inc  166 W"},
      {"HR 142.3 1/min", "HR 142.3  1/min"},
      {"RPM = 88.4 1/min", "RPM = 86.4  1/min"},
      {" 26.7 km/h", " 25.1 km/h"},
      {" 1234 kJ", " 1335 kJ"},
      {"01:35 h", "02:05 h"},
      {" 42.50 km", "  52.5 km"},
      {"TSS =  88", "TSS =  99"},
      {"IF =0.86", "IF =0.77"},
      {"  512 hm", "  512 hm"},
      {"Temp= 18.3\xB0" "C", "Temp= 16.3\xB0" "C"},
      {" 3.02 W/kg", " 2.64 W/kg"},
  };
  for (int i = 0; i < kCalendarItems; ++i) {
    EXPECT_EQ(Text(CalendarLine(day, i, false, false, 80)), items[i].day) << i;
    EXPECT_EQ(Text(CalendarLine(sum, i, true, false, 80)), items[i].summary) << i;
  }
  EXPECT_EQ(CalendarLine(day, 5, false, false, 80).layout, CalendarLineLayout::Left);
  EXPECT_EQ(CalendarLine(day, 20, false, false, 80), CalendarLineText{});
  // Imperial units change distances and speeds only.
  const struct {
    int item;
    const char* day;
    const char* summary;
  } imperial[] = {
      {0, "01:35 h|26.41 miles", "02:05 h|  32.6 miles"},
      {2, "RPM 88|16.6 mph", "RPM 86|15.6 mph"},
      {11, " 16.6 mph", " 15.6 mph"},
      {14, " 26.41 miles", "  32.6 miles"},
  };
  for (const auto& r : imperial) {
    EXPECT_EQ(Text(CalendarLine(day, r.item, false, true, 80)), r.day) << r.item;
    EXPECT_EQ(Text(CalendarLine(sum, r.item, true, true, 80)), r.summary) << r.item;
  }
  for (int i : {1, 3, 4, 5, 9, 12, 17, 18, 19})
    EXPECT_EQ(CalendarLine(day, i, false, true, 80), CalendarLine(day, i, false, false, 80)) << i;
  // NP per weight: a weight below 5 kg takes the rider's; no weight at all shows 0.00.
  d.Weight = 3;
  EXPECT_EQ(CalendarLine(DayCellValues(d), 19, false, false, 70).left, " 3.08 W/kg");
  EXPECT_EQ(CalendarLine(DayCellValues(d), 19, false, false, 0).left, " 0.00 W/kg");
}

TEST(CalendarCells, HitTestOfTheGrid) {
  const struct {
    int col, row, dy;
    CalendarClick what;
    long long day;
  } cases[] = {
      {0, 1, 50, CalendarClick::PeriodSums, 0}, {3, 2, 10, CalendarClick::DaySums, 9},
      {3, 2, 25, CalendarClick::DayPie, 9},     {3, 2, 60, CalendarClick::DayDiary, 9},
      {7, 1, 20, CalendarClick::DayPie, 6},     {8, 3, 39, CalendarClick::WeekPie, 14},
      {8, 3, 40, CalendarClick::WeekDiary, 14}, {3, 0, 60, CalendarClick::None, 0},
      {3, 4, 60, CalendarClick::None, 0},       {9, 1, 60, CalendarClick::None, 0},
      {-1, 1, 60, CalendarClick::None, 0},      {3, 1, 141, CalendarClick::None, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CalendarHitTest(c.col, c.row, c.dy, 3), (CalendarHit{c.what, c.day})) << c.col << "," << c.row << "," << c.dy;
}

TEST(CalendarCells, PeriodCycleHintAndOverviewSpan) {
  const int weeks[][3] = {{1, 1, 2}, {2, 2, 4}, {4, 4, 8}, {8, 8, 1}, {3, 8, 8}, {0, 8, 8}, {-5, 8, 8}};
  for (const auto& w : weeks) {
    EXPECT_EQ(CalendarPeriodWeeks(w[0]), w[1]) << w[0];
    EXPECT_EQ(NextCalendarPeriod(w[0]), w[2]) << w[0];
  }
  EXPECT_EQ(CalendarPeriodCaption(3), "8W");

  // Rows: 1 week 53 of 2017 (Monday 25 Dec), 2 and 3 weeks 1 and 2 of 2018.
  std::vector<TripDateEntry> dates = {{1, DateValue(2017, 12, 28), 0}, {2, DateValue(2018, 1, 2), 0}};
  std::vector<TripSummary> s(kTripSlots);
  std::vector<TripZoneTimes> z(kTripSlots);
  ASSERT_TRUE(BuildCalendarModel(dates, 2, 0, s.data(), z.data(), nullptr));
  EXPECT_EQ(CalendarPeriodHint(3, 1), "KW  2");
  EXPECT_EQ(CalendarPeriodHint(3, 2), "KW  1 - KW  2");
  EXPECT_EQ(CalendarPeriodHint(3, 8), "KW 53 - KW  6");  // before row 1: rows 1 and 7
  const CalendarOverviewSpan span = CalendarOverviewSpanOf(3, 2);
  EXPECT_EQ(span.item_count, 14);
  EXPECT_EQ(span.cal_day_base, 358);
  EXPECT_EQ(span.first_item - span.cal_day_base, 7);  // the Monday of row 2
  EXPECT_EQ(span.period_start, DateValue(2018, 1, 1));
  ClearCalendarDays();
}

TEST(CalendarCells, ZoneBarsIconsAndSilhouettes) {
  const uint32_t seconds[3] = {10, 0, 30};
  EXPECT_EQ(ZoneBarEnds(seconds, 3, 5, 100), (std::vector<int>{30, 30, 105}));
  EXPECT_EQ(ZoneBarEnds(seconds, 0, 5, 100), (std::vector<int>{105}));  // at least zone 0
  EXPECT_TRUE(ZoneBarEnds(seconds + 1, 1, 5, 100).empty());
  const int icons[][2] = {{1, 0}, {2, 0}, {32, 0}, {4, 1}, {8, 1}, {64, 2}, {128, 3}, {16, 4}, {3, 5}, {6, 5}};
  for (const auto& i : icons) EXPECT_EQ(CalendarIconOfMask(i[0]), i[1]) << i[0];

  TBitmap icon(4, 4);  // white, with two dark pixels
  icon.SetPixel(0, 0, clRed);
  icon.SetPixel(2, 2, clRed);
  const std::vector<TPoint> mask = SilhouetteMask(icon);
  ASSERT_EQ(mask.size(), 2u);
  TBitmap cell(10, 10);
  cell.Fill(clGray);
  cell.SetPixel(5, 5, clBlack);  // text already drawn there
  DrawSilhouette(cell.Canvas(), mask, 3, 3, {0, 0, 3, 3}, clGray, clNavy);
  EXPECT_EQ(cell.Pixel(3, 3), clGray);  // outside the clip
  DrawSilhouette(cell.Canvas(), mask, 3, 3, {0, 0, 10, 10}, clGray, clNavy);
  EXPECT_EQ(cell.Pixel(3, 3), clNavy);
  EXPECT_EQ(cell.Pixel(5, 5), clBlack);
  EXPECT_EQ(cell.Pixel(4, 4), clGray);
}

}  // namespace
}  // namespace tav

namespace tav {
namespace {

// The configurations a new rider starts with show each quantity once: no
// two of the lines in use begin with the same word (the cadence of
// "RPM .. km/h" and "RPM .. HR" showed twice).
TEST(CalendarCells, DefaultConfigurationsShowNoLineTwice) {
  ResetCoreData();
  CalendarCellValues v;
  for (int k = 0; k < kCalendarShowCount; ++k) {
    const CalendarShow& s = CalendarShows[k];
    const int lines = CalendarLinesChoice(s) + 2;
    std::vector<std::string> words;
    for (int line = 1; line <= lines && line <= 5; ++line) {
      const CalendarLineText t = CalendarLine(v, s.Values[line], false, false, 70.0f);
      for (const std::string& part : {t.left, t.right}) {
        const std::size_t a = part.find_first_not_of(' ');
        if (a == std::string::npos) continue;
        const std::string word = part.substr(a, part.find_first_of(" =0123456789", a) - a);
        if (word.empty()) continue;
        EXPECT_EQ(std::count(words.begin(), words.end(), word), 0) << k << " line " << line << ": " << word;
        words.push_back(word);
      }
    }
  }
}

}  // namespace
}  // namespace tav
