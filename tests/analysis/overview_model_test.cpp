#include "analysis/overview_model.h"

#include <gtest/gtest.h>

#include "core/core_data.h"
#include "core/trip_list.h"

namespace tav {
namespace {

class OverviewModel : public ::testing::Test {
 protected:
  void SetUp() override { ResetCoreData(); }
  void TearDown() override {
    ResetCoreData();
    CalendarDays.clear();
  }
};

TEST_F(OverviewModel, ItemsSkipManualEntriesLinesWithoutSlotAndTheFreeSlotLine) {
  const TStringList list{"20140301_093000_0_TAV;005;*ride", "20140302_0930NR3_X;006;*gym",
                         "20140303_100000_1_TAV", "20140304_101500_2_TAV;007PF;*run", "ERASED :001;002;"};
  std::vector<int> lines;
  for (const OverviewItem& item : ListItems(list, -1, 99, false, 0)) lines.push_back(item.Line);
  EXPECT_EQ(lines, (std::vector<int>{0, 3}));
  const OverviewItem last = ListItems(list, 3, 1, true, 0).at(0);
  EXPECT_EQ(last.Key, 7);  // selection mode keys by slot
  EXPECT_EQ(ListItems(list, 0, 1, false, 0).at(0).Key, DateValue(2014, 3, 1));
}

TEST_F(OverviewModel, QuantitiesOfTripsAndDays) {
  // Each quantity reads its own field: give every field a different value.
  const TripSummary trip{.Distance = 100, .Ascent = 1000, .MeanPowerNonZero = 210, .NP = 230, .IF = 0.9f,
                         .TSS = 95, .Work = 2000, .MeanHeartRate = 140, .MeanCadence = 88, .MeanSpeed = 30,
                         .MeanTemperature = 18};
  const CalendarDay d{.Distance = 100, .Ascent = 1000, .MeanPowerNonZero = 210, .NP = 230, .IF = 0.9f,
                      .TSS = 95, .Work = 2000, .MeanHeartRate = 140, .MeanCadence = 88, .MeanSpeed = 30,
                      .MeanTemperature = 18};
  const double metric[kQuantityCount] = {100, 210, 30, 1000, 88, 140, 95, 230, 0.9f, 2000, 18};
  const double miles[kQuantityCount] = {62.137, 210, 18.6411, 3280.84, 88, 140, 95, 230, 0.9f, 2000, 18};
  for (int q = 0; q < kQuantityCount; ++q) {
    EXPECT_NEAR(TripQuantity(trip, q, 0), metric[q], 1e-3) << q;
    EXPECT_NEAR(DayQuantity(d, q, 0), metric[q], 1e-3) << q;
    EXPECT_NEAR(TripQuantity(trip, q, kUnitMiles), miles[q], 1e-3) << q;
    EXPECT_NEAR(DayQuantity(d, q, kUnitMiles), miles[q], 1e-3) << q;
  }
}

TEST_F(OverviewModel, AxisTitlesByModeAndUnits) {
  OverviewTexts ui;
  for (int i = 0; i < kOverviewUiTexts; ++i) ui[static_cast<std::size_t>(i)] = "T" + std::to_string(i);
  EXPECT_EQ(QuantityAxisTitle(0, false, ui, kUnitMiles), "T0 [miles]");
  EXPECT_EQ(QuantityAxisTitle(2, false, ui, 0), "T2 [km/h]");
  EXPECT_EQ(QuantityAxisTitle(3, false, ui, kUnitMiles), "T3 [ft]");
  EXPECT_EQ(QuantityAxisTitle(5, true, ui, 0), "T4 [%]");
  EXPECT_EQ(QuantityAxisTitle(7, false, ui, 0), "NP\x99[W]");
  EXPECT_EQ(QuantityAxisTitle(10, false, ui, 0), "T13 [\xB0" "C]");
  EXPECT_EQ(QuantityAxisTitle(10, true, ui, 0), "T13 [%]");
  EXPECT_EQ(QuantityName(6, ui), "TSS\x99");
  EXPECT_EQ(QuantityName(10, ui), "T13");
}

TEST_F(OverviewModel, ValuesAxisAndPercentMode) {
  TripSummaryTable[1].Distance = 98;
  TripSummaryTable[1].TotalTime = 5400;
  TripSummaryTable[2].Distance = 49;
  std::vector<OverviewItem> items(3);
  items[0].Slot = 1;
  items[1].Slot = 2;
  items[2].Slot = 1000;  // outside the table: zero
  const OverviewMode list = OverviewMode::List;
  OverviewChartValues v = ChartValues(items, list, 0, false, 0);
  EXPECT_EQ(v.Values, (std::vector<double>{98, 49, 0}));
  EXPECT_EQ(v.Minutes, (std::vector<double>{90, 0, 0}));
  EXPECT_NEAR(v.AxisMax, 102.9, 1e-9);
  v = ChartValues(items, list, 0, true, 0);
  EXPECT_EQ(v.Values, (std::vector<double>{100, 50, 0}));
  EXPECT_NEAR(v.AxisMax, 105, 1e-9);
  // Percent mode over nothing but zeros draws zeros.
  v = ChartValues(items, list, 6, true, 0);
  EXPECT_EQ(v.Values, (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(v.AxisMax, 3.0);
  // Small values keep the start of the axis.
  TripSummaryTable[1].Distance = 2;
  TripSummaryTable[2].Distance = 1;
  EXPECT_EQ(ChartValues(items, list, 0, false, 0).AxisMax, 3.0);
  // The axis grows once 1.05 times a value passes it, not the value itself.
  TripSummaryTable[1].Distance = 2.9f;
  EXPECT_NEAR(ChartValues(items, list, 0, false, 0).AxisMax, 2.9f * 1.05, 1e-9);
}

TEST_F(OverviewModel, SettingsAreCheckedWhereTheyAreUsed) {
  const int32_t stored[6] = {-1, 11, 10, 3, 1 << 20, 9};
  const int used[6] = {0, 1, 10, 3, 4, 9};
  for (int k = 0; k < 6; ++k) {
    Graf6Settings[k] = stored[k];
    EXPECT_EQ(Graf6Quantity(k), used[k]) << k;
  }
  Graf6Settings[7] = 1;
  Graf6Settings[8] = 5;
  EXPECT_TRUE(Graf6Percent(0));
  EXPECT_FALSE(Graf6Percent(1));
  // Chart 1's minute axis: the reference speed 25 km/h maps 100 km to 240 min.
  EXPECT_DOUBLE_EQ(MinuteAxisMax(70, 100, 25), 240);
  EXPECT_DOUBLE_EQ(MinuteAxisMax(70, 100, 10), 90);
}

}  // namespace
}  // namespace tav
