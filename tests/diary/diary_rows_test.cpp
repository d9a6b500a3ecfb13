#include "diary/diary_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "core/core_data.h"
#include "core/trip_line.h"
#include "platform/strings.h"
#include "platform/text.h"

namespace tav {
namespace {

TEST(DiaryCells, ImperialValuesAndUnitTexts) {
  DiaryStats s;
  s.distance = 100.0f;
  s.speed = 32.45f;
  s.temperature = -5.0f;
  s.ascent = 1000.0f;
  s.weight = 70.0f;
  s.work = 2000.0f;
  DiaryCells c{};
  FillDiaryValueCells(s, true, DiaryUnits::FromFlags(kUnitMiles | kUnitFahrenheit | kUnitPounds), c);
  EXPECT_EQ(c[kMetricDistance], "   62.14 ");    // mi
  EXPECT_EQ(c[kMetricSpeed], "    20.2 ");       // mph
  EXPECT_EQ(c[kMetricTemperature], "    23.0 "); // °F
  EXPECT_EQ(c[kMetricAscent], "    3281 ");      // ft
  EXPECT_EQ(c[kMetricWeight], "     154 ");      // lbs
  EXPECT_EQ(c[kMetricKcal], "    2150 ");        // 2000 kJ x 0.2389 x 4.5, in any units
  // Unit row: each unit option on its own.
  const DiaryCells miles = DiaryUnitTexts(DiaryUnits::FromFlags(kUnitMiles));
  const DiaryCells other = DiaryUnitTexts(DiaryUnits::FromFlags(kUnitFahrenheit | kUnitPounds | kUnit12Hour));
  for (auto [metric, mi, f_lbs] : {std::tuple{kMetricDistance, " [mi]", " [km]"}, {kMetricSpeed, " [mph]", " [km/h]"},
                                   {kMetricAscent, " [ft]", " [m]"}, {kMetricTemperature, " [\xB0" "C]", " [\xB0" "F]"},
                                   {kMetricWeight, " [kg]", " [lbs]"}}) {
    EXPECT_EQ(miles[metric], mi) << metric;
    EXPECT_EQ(other[metric], f_lbs) << metric;
  }
  EXPECT_TRUE(other[kMetricTss].empty() && other[kMetricIf].empty() && other[kMetricRemark2].empty());
}

TEST(DiaryCells, TitlesAndSortChoices) {
  std::array<std::string, kDiaryUiTexts> ui;
  for (int i = 0; i < kDiaryUiTexts; ++i) ui[static_cast<std::size_t>(i)] = "T" + std::to_string(i);
  const DiaryCells t = DiaryTitles(ui, "Weight");
  EXPECT_EQ(t[kMetricDate], " T1");
  EXPECT_EQ(t[kMetricPowerNoZero], " Power 1");
  EXPECT_EQ(t[kMetricWork], " T12");
  EXPECT_EQ(t[kMetricKcal], " T12");
  EXPECT_EQ(t[kMetricRemark2], " T18");
  EXPECT_EQ(t[kMetricNp], "  NP\x99");
  EXPECT_EQ(t[kMetricAscent], " D ALT");
  EXPECT_EQ(t[kMetricWeight], "Weight");
  const std::vector<std::string> items = DiarySortChoices(t);
  EXPECT_EQ(items, (std::vector<std::string>{" T1", " T2", " T18", " T3", " T4", " Power 1", " Power 2", " T6",
                                             " T7", " T8", " T9", " NP\x99", " TSS\x99", " IF\x99", " D ALT",
                                             " T12", "Weight"}));
}

TEST(DiaryLines, CommentRemarkAndSlot) {
  EXPECT_EQ(DiaryCommentText("20140305_0930NR5_ANNA;012;*a|~b", "none"), "a");
  EXPECT_EQ(DiaryCommentText("20140305_0930000_X;001;*hill; wind~x", "none"), "hill, wind");
  EXPECT_EQ(DiaryCommentText("20140305_0930000_X;001;", "none"), "none");
  EXPECT_EQ(DiaryCommentText("x*a;b;c", "none"), "a,b;c");  // only the first ';'
  EXPECT_EQ(DiarySecondRemarkText("k;001;*comment|~\xA7remark two"), "remark two");
  EXPECT_EQ(DiarySecondRemarkText("k;001;*comment"), " ");

  DiarySlotField f = ParseDiarySlot("20140305_0930000_X;012PF;*c");
  EXPECT_TRUE(f.present && f.pending);
  EXPECT_EQ(f.slot, 12);
  EXPECT_EQ(f.pf_pos, 22u);
  EXPECT_FALSE(ParseDiarySlot("20140305_0930000_X;012__;").pending);
  EXPECT_FALSE(ParseDiarySlot("20140305_0930000_X").present);
  EXPECT_FALSE(DiarySlotInRange(ParseDiarySlot("k;99999999999;").slot));
  EXPECT_FALSE(DiarySlotInRange(0));
  EXPECT_TRUE(DiarySlotInRange(999));
  EXPECT_FALSE(DiarySlotInRange(1000));
  EXPECT_TRUE(IsManualEntryKeyLine("20140305_0930NR5_ANNA;012;"));
  EXPECT_FALSE(IsDiaryTripRow("20140305_0930NR5_ANNA;012;"));
  EXPECT_TRUE(IsDiaryTripRow("short"));
  TStringList list{"a;001;", "b;002;", "ERASED :5;"};
  EXPECT_EQ(DiaryShownLineCount(list), 2);
  list.Delete(2);
  EXPECT_EQ(DiaryShownLineCount(list), 2);
}

TEST(DiaryColumnOrder, MovesAndCorruptOrders) {
  int32_t order[kDiaryOrderSize] = {};
  int32_t pos[kDiaryOrderSize] = {};
  // A zeroed order is corrupt and gets the identity.
  EXPECT_FALSE(BuildDiaryColumnPos(order, pos));
  EXPECT_EQ(order[0], kDiaryOrderMarker);
  for (int m = 0; m <= 19; ++m) EXPECT_EQ(pos[m], m);
  // The distance column (3) moved to position 5, then back to 2.
  EXPECT_TRUE(MoveDiaryColumn(order, 3, 5));
  EXPECT_TRUE(BuildDiaryColumnPos(order, pos));
  EXPECT_EQ(pos[kMetricDistance], 5);
  EXPECT_EQ(pos[kMetricPowerNoZero], 3);
  EXPECT_EQ(pos[kMetricCadence], 6);
  EXPECT_EQ(DiaryMetricAtColumn(order, 5), kMetricDistance);
  EXPECT_EQ(DiaryMetricAtColumn(order, 0), kMetricDate);
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
  EXPECT_GE(pos[19], 18);  // metrics 18 and 19 have no visible column

  // A metric twice, a wild value or a wrong marker: reset.
  for (auto [index, value] : std::initializer_list<std::pair<int, int32_t>>{{4, 3}, {7, -123456}, {0, 54}}) {
    ResetDiaryColumnOrder(order);
    order[index] = value;
    EXPECT_FALSE(DiaryColumnOrderValid(order)) << index;
    EXPECT_FALSE(BuildDiaryColumnPos(order, pos));
    EXPECT_EQ(pos[4], 4);
  }
  order[7] = 1 << 30;
  EXPECT_TRUE(MoveDiaryColumn(order, 2, 2));
  EXPECT_TRUE(DiaryColumnOrderValid(order));  // the move repaired it first
}

TEST(DiaryWidths, FromTitlesFirstRowAndWidestValues) {
  DiaryCells titles{}, units{}, first{};
  for (auto& t : titles) t = "xxxx";  // 40 px at 10 px a character
  titles[kMetricTime] = "x";
  first[kMetricDate] = std::string(18, 'x');
  first[kMetricTime] = std::string(13, 'x');
  units[kMetricWeight] = std::string(9, 'x');  // wider than its title
  const auto tw = [](const std::string& s) { return 10 * static_cast<int>(s.size()); };
  DiaryWidths widest{};
  // By metric: date 18 chars + 4, time its first cell, distance x 1.25 at
  // least 55, the others title + 8 at least 50 (cadence, speed 45), fixed NP,
  // TSS, IF, kcal as work, weight by its wider unit text.
  EXPECT_EQ(DiaryMetricWidths(titles, units, first, widest, tw),
            (DiaryWidths{184, -1, 130, 55, 50, 50, 48, 48, 50, 50, 50, 54, 50, 50, 50, 50, 50, 98}));
  titles[kMetricDistance] = std::string(8, 'x');
  titles[kMetricWork] = std::string(8, 'x');
  // A value wider than its column's rule widens the column; text columns stay.
  widest[kMetricTss] = 70;
  widest[kMetricKcal] = 90;
  widest[kMetricDate] = 300;
  widest[kMetricRemark2] = 500;
  EXPECT_EQ(DiaryMetricWidths(titles, units, first, widest, tw),
            (DiaryWidths{304, -1, 130, 100, 50, 50, 48, 48, 50, 50, 74, 54, 50, 88, 50, 50, 94, 98}));
  // A list without values (an empty rider): the titles whole, 2 pixels in
  // and 2 before the line; the time column as wide as "Tiempo" and its
  // margins, the fixed NP, TSS and IF columns wider for wider titles.
  titles[kMetricTime] = "Tiempo";
  first[kMetricTime].clear();
  titles[kMetricNp] = std::string(6, 'x');
  titles[kMetricIf] = std::string(6, 'x');
  const DiaryWidths empty = DiaryMetricWidths(titles, units, first, DiaryWidths{}, tw);
  EXPECT_EQ(empty[kMetricTime], 64);
  EXPECT_EQ(empty[kMetricNp], 64);
  EXPECT_EQ(empty[kMetricIf], 64);
  EXPECT_EQ(empty[kMetricTss], 50);
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

struct SortRows {
  std::vector<std::string> lines;
  std::vector<DiaryStats> stats;
  std::vector<DiarySortRow> Rows() const {
    std::vector<DiarySortRow> rows;
    for (std::size_t i = 0; i < lines.size(); ++i) rows.push_back({lines[i], &stats[i]});
    return rows;
  }
};

TEST(DiarySort, EveryNumericItemInValueOrderWithTiesByIndexText) {
  // 14 rows; every field carries the same value, rows 3 and 12 are equal.
  SortRows f;
  for (int i = 0; i < 14; ++i) {
    f.lines.push_back(Format("201401%02i_1000000_X;%03i;*ride", i + 1, i + 1));
    DiaryStats s;
    const float v = static_cast<float>((i * 7) % 11) + 1.0f;  // distinct for 0..10
    s.total_time = static_cast<int32_t>(v * 100);
    s.distance = s.ascent = s.power_with_zero = s.power_no_zero = s.np = s.intensity = s.tss = v;
    s.work = s.heart_rate = s.cadence = s.speed = s.weight = v;
    s.temperature = v - 6.0f;  // negative for small values
    f.stats.push_back(s);
  }
  f.stats[12] = f.stats[3];
  for (int item = 3; item <= 16; ++item) {
    const std::vector<int> order = DiarySortOrder(item, f.Rows());
    ASSERT_EQ(order.size(), 14u);
    for (std::size_t k = 1; k < order.size(); ++k)
      EXPECT_LE(f.stats[static_cast<std::size_t>(order[k - 1])].temperature,
                f.stats[static_cast<std::size_t>(order[k])].temperature)
          << "item " << item;
    // The tie: index 12 right before index 3 (text order of the indexes).
    EXPECT_EQ(std::find(order.begin(), order.end(), 3) - std::find(order.begin(), order.end(), 12), 1) << item;
  }
  // Item 0 and out-of-range items keep list order.
  EXPECT_EQ(DiarySortOrder(0, f.Rows())[13], 13);
  EXPECT_EQ(DiarySortOrder(99, f.Rows())[13], 13);
}

TEST(DiarySort, NumbersKeysAsShownManualEntriesAndMissingSlots) {
  SortRows f;
  const float temps[] = {3.0f, -12.5f, -2.0f, 0.0f, 25.0f};
  for (int i = 0; i < 5; ++i) {
    f.lines.push_back(Format("2014010%i_1000000_X;%03i;", i + 1, i + 1));
    DiaryStats s;
    s.temperature = temps[i];
    f.stats.push_back(s);
  }
  EXPECT_EQ(DiarySortOrder(10, f.Rows()), (std::vector<int>{1, 2, 3, 0, 4}));  // negative as numbers
  // Keys compare at the precision they show: 10.0004 and 10.0001 km are equal.
  f.stats[0].distance = 10.0004f;
  f.stats[1].distance = 10.0001f;
  f.stats[2].distance = 9.9f;
  f.stats[3].distance = f.stats[4].distance = 11;
  EXPECT_EQ(DiarySortOrder(4, f.Rows()), (std::vector<int>{2, 0, 1, 3, 4}));
  // A manual entry counts 0 for the power, cadence, speed ... keys, keeps its
  // own heart rate, and its stored fields are not touched.
  f.lines[1] = "20140102_0930NR3_ANNA;002;*swim";
  for (int i = 0; i < 5; ++i) f.stats[static_cast<std::size_t>(i)].speed = 20.0f + static_cast<float>(i);
  f.stats[1].speed = 40000.0f;  // a manual entry keeps its start time here
  f.stats[1].heart_rate = 200;
  EXPECT_EQ(DiarySortOrder(9, f.Rows()), (std::vector<int>{1, 0, 2, 3, 4}));
  EXPECT_EQ(DiarySortOrder(7, f.Rows()).back(), 1);
  EXPECT_EQ(f.stats[1].speed, 40000.0f);
  // Rows without statistics count 0; not-a-number sorts first.
  std::vector<DiarySortRow> rows = f.Rows();
  rows[4].stats = nullptr;
  f.stats[0].distance = std::nanf("");
  EXPECT_EQ(DiarySortOrder(4, rows), (std::vector<int>{0, 4, 2, 1, 3}));
}

TEST(DiarySort, TextItemsIgnoreCaseAndAccents) {
  SortRows f;
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
}

TEST(DiaryMarks, ByKindAndSpanFollowTheRowMap) {
  TStringList list{"20140101_1000000_X;001;", "20140102_1000002_X;002;", "20140110_1000002_X;003;",
                   "20140201_1000002_X;004;", "20140105_0930NR3_A;005;", "ERASED :"};
  std::vector<int32_t> row_line = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  std::vector<uint8_t> sel(9, 1);
  MarkDiaryByKindAndSpan(list, row_line, DiaryShownLineCount(list), 2, "20140102", "20140131", sel);
  EXPECT_EQ(sel, (std::vector<uint8_t>{1, 1, 0, 1, 1, 0, 0, 1, 1}));
  MarkDiaryByKindAndSpan(list, row_line, 5, 2, "", "", sel);  // an empty span marks nothing
  EXPECT_EQ(std::count(sel.begin() + 2, sel.begin() + 7, 1), 0);
  // A sorted map is followed; bad map entries are skipped.
  row_line = {3, 2, 1, -7, 400};
  MarkDiaryByKindAndSpan(list, row_line, 5, 2, "20140101", "20141231", sel);
  EXPECT_EQ(sel, (std::vector<uint8_t>{1, 1, 1, 1, 1, 0, 0, 1, 1}));
  // Find: the whole line, slot text included.
  EXPECT_EQ(MarkDiaryFound(list, row_line, 5, DiaryFindText(" 003\t"), sel), 1);
  EXPECT_EQ(sel[3], 1);
}

}  // namespace
}  // namespace tav
