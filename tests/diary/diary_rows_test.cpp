#include "diary/diary_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/strings.h"
#include "platform/text.h"

namespace tav {
namespace {

std::array<std::string, kDiaryUiTexts> EnglishTexts() {
  std::array<std::string, kDiaryUiTexts> ui;
  for (int i = 0; i < kDiaryUiTexts; ++i) ui[static_cast<std::size_t>(i)] = "T" + std::to_string(i);
  ui[1] = "Date / Time";
  ui[2] = "Comment";
  ui[3] = "Time";
  ui[4] = "Distance";
  ui[6] = "HR";
  ui[7] = "RPM";
  ui[8] = "Speed";
  ui[9] = "Temp.";
  ui[12] = "Work";
  ui[18] = "Comment2";
  ui[19] = "no comment";
  return ui;
}

DiaryStats SampleStats() {
  DiaryStats s;
  s.total_time = 3 * 3600 + 4 * 60 + 5;
  s.distance = 100.0f;
  s.ascent = 1000.0f;
  s.power_with_zero = 180.4f;
  s.power_no_zero = 201.6f;
  s.np = 215.2f;
  s.intensity = 0.8765f;
  s.tss = 123.4f;
  s.work = 2000.0f;
  s.heart_rate = 141.4f;
  s.cadence = 88.6f;
  s.speed = 32.45f;
  s.temperature = -5.0f;
  s.weight = 70.0f;
  return s;
}

TEST(DiaryCells, MetricFormatsAndManualRows) {
  const DiaryUnits metric = DiaryUnits::FromFlags(0);
  DiaryCells trip{}, manual{};
  FillDiaryValueCells(SampleStats(), true, metric, trip);
  FillDiaryValueCells(SampleStats(), false, metric, manual);
  EXPECT_EQ(trip[kMetricTime], "  03:04:05   ");
  EXPECT_EQ(trip[kMetricDistance], "  100.00 ");
  EXPECT_EQ(trip[kMetricPowerNoZero], "     202 ");
  EXPECT_EQ(trip[kMetricHeartRate], "     141 ");
  EXPECT_EQ(trip[kMetricCadence], "      89 ");
  EXPECT_EQ(trip[kMetricSpeed], "    32.5 ");
  EXPECT_EQ(trip[kMetricTemperature], "    -5.0 ");
  EXPECT_EQ(trip[kMetricNp], "     215 ");
  EXPECT_EQ(trip[kMetricTss], "     123 ");
  EXPECT_EQ(trip[kMetricIf], "   0.877 ");
  EXPECT_EQ(trip[kMetricAscent], "    1000 ");
  EXPECT_EQ(trip[kMetricWork], "    2000 ");
  EXPECT_EQ(trip[kMetricPowerWithZero], "     180 ");
  EXPECT_EQ(trip[kMetricKcal], "    2150 ");  // 2000 * 0.2389 * 4.5
  EXPECT_EQ(trip[kMetricWeight], "      70 ");
  // A manual entry shows time, distance, heart rate and temperature only.
  for (int m = 0; m < kDiaryColumns; ++m) {
    const bool shown = m == kMetricTime || m == kMetricDistance || m == kMetricHeartRate ||
                       m == kMetricTemperature;
    EXPECT_EQ(manual[static_cast<std::size_t>(m)].empty(), !shown) << "metric " << m;
  }
  EXPECT_TRUE(trip[kMetricDate].empty() && trip[kMetricComment].empty() && trip[kMetricRemark2].empty());
}

TEST(DiaryCells, ImperialUnitsScaleEveryColumn) {
  const DiaryUnits u = DiaryUnits::FromFlags(1 | 2 | 4);
  EXPECT_DOUBLE_EQ(u.speed, 0.62137);
  EXPECT_DOUBLE_EQ(u.altitude, 3.28084);
  EXPECT_DOUBLE_EQ(u.weight, 2.2046226);
  DiaryCells c{};
  FillDiaryValueCells(SampleStats(), true, u, c);
  EXPECT_EQ(c[kMetricDistance], "   62.14 ");  // mi
  EXPECT_EQ(c[kMetricSpeed], "    20.2 ");     // mph
  EXPECT_EQ(c[kMetricTemperature], "    23.0 "); // °F
  EXPECT_EQ(c[kMetricAscent], "    3281 ");    // ft
  EXPECT_EQ(c[kMetricWeight], "     154 ");    // lbs
  EXPECT_EQ(c[kMetricKcal], "    2150 ");      // kcal do not change
  const DiaryCells units = DiaryUnitTexts(u);
  EXPECT_EQ(units[kMetricDistance], " [mi]");
  EXPECT_EQ(units[kMetricSpeed], " [mph]");
  EXPECT_EQ(units[kMetricTemperature], " [\xB0" "F]");
  EXPECT_EQ(units[kMetricAscent], " [ft]");
  EXPECT_EQ(units[kMetricWeight], " [lbs]");
  EXPECT_EQ(units[kMetricKcal], " [kcal]");
  // Only miles: feet and mph without Fahrenheit or pounds.
  const DiaryCells miles = DiaryUnitTexts(DiaryUnits::FromFlags(1));
  EXPECT_EQ(miles[kMetricTemperature], " [\xB0" "C]");
  EXPECT_EQ(miles[kMetricWeight], " [kg]");
  const DiaryCells metric = DiaryUnitTexts(DiaryUnits::FromFlags(8 | 16));
  EXPECT_EQ(metric[kMetricDistance], " [km]");
  EXPECT_EQ(metric[kMetricSpeed], " [km/h]");
  EXPECT_EQ(metric[kMetricAscent], " [m]");
  EXPECT_EQ(metric[kMetricPowerNoZero], "[EXC 0 W]");
  EXPECT_EQ(metric[kMetricPowerWithZero], "[INC 0 W]");
  EXPECT_TRUE(metric[kMetricTss].empty() && metric[kMetricIf].empty() && metric[kMetricRemark2].empty());
}

TEST(DiaryCells, TitlesAndSortChoices) {
  const DiaryCells t = DiaryTitles(EnglishTexts(), "Weight");
  EXPECT_EQ(t[kMetricDate], " Date / Time");
  EXPECT_EQ(t[kMetricWork], " Work");
  EXPECT_EQ(t[kMetricKcal], " Work");
  EXPECT_EQ(t[kMetricNp], "  NP\x99");
  EXPECT_EQ(t[kMetricWeight], "Weight");
  const auto items = DiarySortChoices(t);
  ASSERT_EQ(items.size(), 17u);
  EXPECT_EQ(items[0], " Date / Time");
  EXPECT_EQ(items[2], " Comment2");
  EXPECT_EQ(items[6], " Power 2");
  EXPECT_EQ(items[11], " NP\x99");
  EXPECT_EQ(items[13], " IF\x99");
  EXPECT_EQ(items[16], "Weight");
}

TEST(DiaryCells, CommentAndSecondRemark) {
  EXPECT_EQ(DiaryCommentText("20140305_0930NR5_ANNA;012;*a|~b", "none"), "a");
  EXPECT_EQ(DiaryCommentText("20140305_0930000_X;001;*hill; wind~x", "none"), "hill, wind");
  EXPECT_EQ(DiaryCommentText("20140305_0930000_X;001;", "none"), "none");
  EXPECT_EQ(DiaryCommentText("20140305_0930000_X;001;*", "none"), "");
  EXPECT_EQ(DiaryCommentText("x*a;b;c", "none"), "a,b;c");  // only the first ';'
  EXPECT_EQ(DiarySecondRemarkText("k;001;*comment|~\xA7remark two"), "remark two");
  EXPECT_EQ(DiarySecondRemarkText("k;001;*comment"), " ");
  EXPECT_EQ(DiarySecondRemarkText("k;001;*c\xA7"), "");
}

TEST(DiaryLines, SlotKindAndManualRecognition) {
  DiarySlotField f = ParseDiarySlot("20140305_0930000_X;012PF;*c");
  EXPECT_TRUE(f.present && f.pending);
  EXPECT_EQ(f.slot, 12);
  EXPECT_EQ(f.pf_pos, 22u);
  f = ParseDiarySlot("20140305_0930000_X;012__;");
  EXPECT_TRUE(f.present && !f.pending);
  f = ParseDiarySlot("20140305_0930000_X");
  EXPECT_FALSE(f.present);
  f = ParseDiarySlot("k;99999999999;");
  EXPECT_FALSE(DiarySlotInRange(f.slot));
  EXPECT_FALSE(DiarySlotInRange(0));
  EXPECT_TRUE(DiarySlotInRange(999));
  EXPECT_FALSE(DiarySlotInRange(1000));
  EXPECT_TRUE(IsManualEntryKey("20140305_0930NR5_ANNA;012;"));
  EXPECT_FALSE(IsDiaryTripRow("20140305_0930NR5_ANNA;012;"));
  EXPECT_TRUE(IsDiaryTripRow("20140305_0930000_X;001;"));
  EXPECT_TRUE(IsDiaryTripRow("short"));
  TStringList list{"a;001;", "b;002;", "ERASED :5;"};
  EXPECT_EQ(DiaryShownLineCount(list), 2);
  list.Delete(2);
  EXPECT_EQ(DiaryShownLineCount(list), 2);
  EXPECT_EQ(DiaryShownLineCount(TStringList{}), 0);
}

TEST(DiaryColumnOrder, MovesMapMetricsToColumns) {
  int32_t order[kDiaryOrderSize] = {};
  int32_t pos[kDiaryOrderSize] = {};
  // A fresh (zeroed) order is corrupt and gets the identity.
  EXPECT_FALSE(BuildDiaryColumnPos(order, pos));
  EXPECT_EQ(order[0], kDiaryOrderMarker);
  for (int m = 0; m <= 19; ++m) EXPECT_EQ(pos[m], m);
  // The distance column (3) moved to position 5.
  EXPECT_TRUE(MoveDiaryColumn(order, 3, 5));
  EXPECT_TRUE(BuildDiaryColumnPos(order, pos));
  EXPECT_EQ(pos[kMetricDistance], 5);
  EXPECT_EQ(pos[kMetricPowerNoZero], 3);
  EXPECT_EQ(pos[kMetricHeartRate], 4);
  EXPECT_EQ(pos[kMetricCadence], 6);
  EXPECT_EQ(DiaryMetricAtColumn(order, 5), kMetricDistance);
  EXPECT_EQ(DiaryMetricAtColumn(order, 0), kMetricDate);
  // And back leftwards.
  EXPECT_TRUE(MoveDiaryColumn(order, 5, 2));
  BuildDiaryColumnPos(order, pos);
  EXPECT_EQ(pos[kMetricDistance], 2);
  EXPECT_EQ(pos[kMetricTime], 3);
  // Moves from or to the date and comment columns are not recorded.
  int32_t before[kDiaryOrderSize];
  std::copy(order, order + kDiaryOrderSize, before);
  EXPECT_FALSE(MoveDiaryColumn(order, 3, 1));
  EXPECT_FALSE(MoveDiaryColumn(order, 0, 4));
  EXPECT_FALSE(MoveDiaryColumn(order, 4, 25));
  EXPECT_TRUE(std::equal(order, order + kDiaryOrderSize, before));
  // Metrics 18 and 19 keep columns beyond the grid.
  EXPECT_GE(pos[18], 18);
  EXPECT_GE(pos[19], 18);
}

TEST(DiaryColumnOrder, CorruptOrdersAreReset) {
  int32_t pos[kDiaryOrderSize] = {};
  int32_t dup[kDiaryOrderSize];
  ResetDiaryColumnOrder(dup);
  dup[4] = 3;  // metric 3 twice, 4 missing
  EXPECT_FALSE(BuildDiaryColumnPos(dup, pos));
  EXPECT_EQ(pos[4], 4);
  int32_t wild[kDiaryOrderSize];
  ResetDiaryColumnOrder(wild);
  wild[7] = -123456;
  EXPECT_FALSE(DiaryColumnOrderValid(wild));
  wild[7] = 1 << 30;
  EXPECT_FALSE(MoveDiaryColumn(wild, 2, 2) && !DiaryColumnOrderValid(wild));
  EXPECT_TRUE(DiaryColumnOrderValid(wild));  // the move repaired it first
  int32_t marker[kDiaryOrderSize];
  ResetDiaryColumnOrder(marker);
  marker[0] = 54;
  EXPECT_FALSE(DiaryColumnOrderValid(marker));
}

TEST(DiaryWidths, FromTitlesAndFirstRow) {
  DiaryCells titles{}, first{};
  for (auto& t : titles) t = "xxxx";  // 40 px at 10 px a character
  titles[kMetricTime] = "x";
  first[kMetricDate] = std::string(18, 'x');
  first[kMetricTime] = std::string(13, 'x');
  DiaryCells units{};
  units[kMetricWeight] = std::string(9, 'x');  // wider than its title
  const auto tw = [](const std::string& s) { return 10 * static_cast<int>(s.size()); };
  DiaryWidths widest{};
  const auto w = DiaryMetricWidths(titles, units, first, widest, tw);
  EXPECT_EQ(w[kMetricDate], 184);
  EXPECT_EQ(w[kMetricComment], -1);
  EXPECT_EQ(w[kMetricTime], 130);
  EXPECT_EQ(w[kMetricDistance], 55);  // 40 * 1.25 = 50, at least 55
  EXPECT_EQ(w[kMetricPowerNoZero], 50);
  EXPECT_EQ(w[kMetricCadence], 48);
  EXPECT_EQ(w[kMetricNp], 50);
  EXPECT_EQ(w[kMetricIf], 54);
  EXPECT_EQ(w[kMetricKcal], w[kMetricWork]);
  EXPECT_EQ(w[kMetricWeight], 98);
  titles[kMetricDistance] = std::string(8, 'x');
  titles[kMetricWork] = std::string(8, 'x');
  // A value wider than its column's rule widens the column; text columns stay.
  widest[kMetricTss] = 70;
  widest[kMetricKcal] = 90;
  widest[kMetricDate] = 300;
  widest[kMetricRemark2] = 500;
  const auto w2 = DiaryMetricWidths(titles, units, first, widest, tw);
  EXPECT_EQ(w2[kMetricDistance], 100);
  EXPECT_EQ(w2[kMetricWork], 88);
  EXPECT_EQ(w2[kMetricKcal], 94);
  EXPECT_EQ(w2[kMetricTss], 74);
  EXPECT_EQ(w2[kMetricDate], 304);
  EXPECT_EQ(w2[kMetricRemark2], 50);
  EXPECT_EQ(w2[kMetricNp], 50);
  // Value widths from character advances, fractions rounded up.
  int calls = 0;
  DiaryTextWidths value_width([&](const std::string& s) {
    ++calls;
    return static_cast<int>(s.size()) * 7 + (s[0] == ' ' ? 0 : static_cast<int>(s.size()) / 3);
  });
  EXPECT_EQ(value_width("   12.5   "), 51);  // 3 x 7 + 4 x 7.3125 = 50.25
  EXPECT_EQ(value_width("   "), 0);
  EXPECT_EQ(value_width("21.5"), 30);  // advances measured once each
  EXPECT_EQ(calls, 5);
}

// ---- sorting ----

struct SortFixture {
  std::vector<std::string> lines;
  std::vector<DiaryStats> stats;
  std::vector<DiarySortRow> Rows() const {
    std::vector<DiarySortRow> rows;
    for (std::size_t i = 0; i < lines.size(); ++i) rows.push_back({lines[i], &stats[i]});
    return rows;
  }
};

// 14 lines; equal values at indexes 3 and 12 for every numeric key.
SortFixture MakeSortFixture() {
  SortFixture f;
  for (int i = 0; i < 14; ++i) {
    f.lines.push_back(Format("201401%02i_1000000_X;%03i;*ride %c", i + 1, i + 1, 'a' + (13 - i)));
    DiaryStats s;
    const float v = static_cast<float>((i * 7) % 11) + 1.0f;  // distinct for 0..10
    s.total_time = static_cast<int32_t>(v * 100);
    s.distance = s.ascent = s.power_with_zero = s.power_no_zero = s.np = s.intensity = s.tss = v;
    s.work = s.heart_rate = s.cadence = s.speed = s.weight = v;
    s.temperature = v - 6.0f;  // negative for small values
    f.stats.push_back(s);
  }
  f.stats[12] = f.stats[3];
  return f;
}

TEST(DiarySort, EveryNumericItemAscendingWithTies) {
  const SortFixture f = MakeSortFixture();
  for (int item = 3; item <= 16; ++item) {
    const std::vector<int> order = DiarySortOrder(item, f.Rows());
    ASSERT_EQ(order.size(), 14u);
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < 14; ++i) ASSERT_EQ(sorted[static_cast<std::size_t>(i)], i) << "a permutation";
    for (std::size_t k = 1; k < order.size(); ++k) {
      const DiaryStats& a = f.stats[static_cast<std::size_t>(order[k - 1])];
      const DiaryStats& b = f.stats[static_cast<std::size_t>(order[k])];
      EXPECT_LE(a.temperature, b.temperature) << "item " << item;
    }
    // The tie: index 12 before index 3 (text order of the indexes).
    const auto p12 = std::find(order.begin(), order.end(), 12);
    const auto p3 = std::find(order.begin(), order.end(), 3);
    EXPECT_EQ(p3 - p12, 1) << "item " << item;
  }
}

TEST(DiarySort, NegativeTemperaturesSortAsNumbers) {
  SortFixture f;
  const float temps[] = {3.0f, -12.5f, -2.0f, 0.0f, 25.0f};
  for (int i = 0; i < 5; ++i) {
    f.lines.push_back(Format("2014010%i_1000000_X;%03i;", i + 1, i + 1));
    DiaryStats s;
    s.temperature = temps[i];
    f.stats.push_back(s);
  }
  EXPECT_EQ(DiarySortOrder(10, f.Rows()), (std::vector<int>{1, 2, 3, 0, 4}));
}

TEST(DiarySort, PrecisionOfTheKeyDecidesTies) {
  SortFixture f;
  for (int i = 0; i < 3; ++i) f.lines.push_back("20140101_1000000_X;001;");
  DiaryStats a, b, c;
  a.distance = 10.0004f;  // shows as 10.000
  b.distance = 10.0001f;  // 10.000 too: equal keys
  c.distance = 9.9f;
  f.stats = {a, b, c};
  EXPECT_EQ(DiarySortOrder(4, f.Rows()), (std::vector<int>{2, 0, 1}));
}

TEST(DiarySort, ManualEntriesCountZeroWithoutTouchingTheirStats) {
  SortFixture f;
  f.lines = {"20140101_1000000_X;001;", "20140102_0930NR3_ANNA;002;*swim", "20140103_1000000_X;003;"};
  DiaryStats trip1, manual, trip2;
  trip1.speed = 30;
  trip2.speed = 20;
  manual.speed = 40000.0f;  // a manual entry keeps its start time here
  manual.heart_rate = 200;
  trip1.heart_rate = 100;
  trip2.heart_rate = 150;
  f.stats = {trip1, manual, trip2};
  const std::vector<DiaryStats> before = f.stats;
  EXPECT_EQ(DiarySortOrder(9, f.Rows()), (std::vector<int>{1, 2, 0}));   // speed: manual first
  EXPECT_EQ(DiarySortOrder(7, f.Rows()), (std::vector<int>{0, 2, 1}));   // heart rate: its own value
  EXPECT_EQ(f.stats[1].speed, before[1].speed);
}

TEST(DiarySort, RowsWithoutStatisticsCountZero) {
  std::vector<std::string> lines = {"a;001;", "b", "c;003;"};
  DiaryStats s1, s3;
  s1.distance = 5;
  s3.distance = -1;
  std::vector<DiarySortRow> rows = {{lines[0], &s1}, {lines[1], nullptr}, {lines[2], &s3}};
  EXPECT_EQ(DiarySortOrder(4, rows), (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(DiarySortOrder(3, rows), (std::vector<int>{0, 1, 2}));
  DiaryStats bad;
  bad.distance = std::nanf("");
  rows[0].stats = &bad;
  EXPECT_EQ(DiarySortOrder(4, rows), (std::vector<int>{0, 2, 1}));
}

TEST(DiarySort, TextItemsIgnoreCaseAndAccents) {
  SortFixture f;
  f.lines = {
      "20140101_1000000_X;001;*zebra",
      "20140102_1000000_X;002;*BIKE POWER*apple",  // after the second '*'
      "20140103_1000000_X;003;",                   // no comment: "___"
      "20140104_1000000_X;004;*\xC4pfel",          // Äpfel
      "20140105_1000000_X;005;*Banana|~\xA7" "b-remark",
      "20140106_1000000_X;006;*apple",
  };
  f.stats.resize(f.lines.size());
  // Comment: "___" sorts before letters, Äpfel before apple, equal texts by index.
  EXPECT_EQ(DiarySortOrder(1, f.Rows()), (std::vector<int>{2, 3, 1, 5, 4, 0}));
  // Second remark: lines without one are "____"; the remark sorts among them by case-folded text.
  EXPECT_EQ(DiarySortOrder(2, f.Rows()), (std::vector<int>{0, 1, 2, 3, 5, 4}));
  EXPECT_EQ(DiaryCollationKey("\xC4" "Bc"), "abc");
  EXPECT_EQ(DiaryCollationKey("\xF7"), "\xF7");
  // Item 0 and out-of-range items keep list order.
  EXPECT_EQ(DiarySortOrder(0, f.Rows()), (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(DiarySortOrder(99, f.Rows()), (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

TEST(DiarySort, TitleDoubleClicksAndMetricMap) {
  DiaryTitleClicks clicks;
  EXPECT_TRUE(clicks.Next(3));   // ascending
  EXPECT_FALSE(clicks.Next(3));  // descending
  EXPECT_TRUE(clicks.Next(3));
  EXPECT_TRUE(clicks.Next(5));   // another column starts over
  EXPECT_FALSE(clicks.Next(5));
  EXPECT_TRUE(clicks.Next(3));
  const int expected[18] = {0, 1, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15, 6, 2, 15, 16};
  for (int m = 0; m < 18; ++m) EXPECT_EQ(DiarySortItemForMetric(m), expected[m]);
  EXPECT_EQ(DiarySortItemForMetric(19), 0);
  EXPECT_EQ(DiarySortItemForMetric(21), 0);
  EXPECT_EQ(DiarySortItemForMetric(-1), 0);
}

// ---- selections ----

TEST(DiaryMarks, ByKindAndSpan) {
  TStringList list{"20140101_1000000_X;001;", "20140102_1000002_X;002;", "20140110_1000002_X;003;",
                   "20140201_1000002_X;004;", "20140105_0930NR3_A;005;", "ERASED :"};
  std::vector<int32_t> row_line = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  std::vector<uint8_t> sel(9, 1);
  MarkDiaryByKindAndSpan(list, row_line, DiaryShownLineCount(list), 2, "20140102", "20140131", sel);
  EXPECT_EQ(sel, (std::vector<uint8_t>{1, 1, 0, 1, 1, 0, 0, 1, 1}));
  MarkDiaryByKindAndSpan(list, row_line, 5, 3, "20140101", "20141231", sel);
  EXPECT_EQ(sel, (std::vector<uint8_t>{1, 1, 0, 0, 0, 0, 1, 1, 1}));
  // An empty span marks nothing.
  MarkDiaryByKindAndSpan(list, row_line, 5, 2, "", "", sel);
  EXPECT_EQ(std::count(sel.begin() + 2, sel.begin() + 7, 1), 0);
  // A sorted map is followed; bad map entries are skipped.
  row_line = {3, 2, 1, -7, 400};
  MarkDiaryByKindAndSpan(list, row_line, 5, 2, "20140101", "20141231", sel);
  EXPECT_EQ(sel, (std::vector<uint8_t>{1, 1, 1, 1, 1, 0, 0, 1, 1}));
}

TEST(DiaryMarks, FindFoldsCaseInWindows1252) {
  TStringList list{"20140101_1000000_X;001;*BIKE POWER", "20140102_1000002_X;002;*run in the r\xE4in",
                   "20140103_1000001_X;003;*Bike hr", "ERASED :bike;"};
  std::vector<int32_t> row_line = {0, 1, 2, 3, 4, 5};
  std::vector<uint8_t> sel(6, 0);
  const int shown = DiaryShownLineCount(list);
  EXPECT_EQ(DiaryFindText("  bike\t\r\n"), "BIKE");
  EXPECT_EQ(MarkDiaryFound(list, row_line, shown, DiaryFindText("bike"), sel), 2);
  EXPECT_EQ(sel, (std::vector<uint8_t>{0, 0, 1, 0, 1, 0}));
  EXPECT_EQ(MarkDiaryFound(list, row_line, shown, DiaryFindText("R\xC4IN"), sel), 1);
  EXPECT_EQ(sel, (std::vector<uint8_t>{0, 0, 0, 1, 0, 0}));
  EXPECT_EQ(MarkDiaryFound(list, row_line, shown, DiaryFindText("003"), sel), 1);  // slot text too
  EXPECT_EQ(MarkDiaryFound(list, row_line, shown, DiaryFindText(" \x01 "), sel), 0);
  EXPECT_EQ(std::count(sel.begin(), sel.end(), 1), 0);
}

}  // namespace
}  // namespace tav
