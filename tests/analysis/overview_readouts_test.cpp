// What the six-chart overview shows, worked out by hand: every quantity's
// name, colour, axis titles and values (trips and calendar days, metric and
// imperial, absolute and percent), chart 1's ride-time line, the settings
// panel's choices per chart, and the texts read off the charts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/distribution_charts.h"
#include "analysis/overview_charts.h"
#include "analysis/overview_model.h"
#include "core/core_test_util.h"
#include "core/statistics.h"
#include "core/trip_list.h"
#include "diary/calendar_window.h"
#include "platform/text.h"
#include "viewing/form_snapshot.h"

namespace tav {
namespace {

using namespace testing_core;

// Per quantity: name, colour slot, axis titles (absolute metric, absolute
// imperial, percent), with the texts "T0" .. "T13".
struct QuantityLook {
  const char* name;
  int slot;
  const char* metric;
  const char* imperial;
  const char* percent;
};
const QuantityLook kLooks[kQuantityCount] = {
    {"T0", 5, "T0 [km]", "T0 [miles]", "T0 [%]"},
    {"T6", 1, "T1 [W]", "T1 [W]", "T1 [%]"},
    {"T7", 4, "T2 [km/h]", "T2 [mph]", "T2 [%]"},
    {"T3", 5, "T3 [m]", "T3 [ft]", "T3 [%]"},
    {"T8", 2, "RPM [1/m]", "RPM [1/m]", "RPM [%]"},
    {"T9", 3, "T4 [ 1/min]", "T4 [ 1/min]", "T4 [%]"},
    {"TSS\x99", 1, "TSS\x99", "TSS\x99", "TSS\x99[%]"},
    {"T10", 1, "NP\x99[W]", "NP\x99[W]", "NP\x99[%]"},
    {"IF\x99", 1, "IF\x99", "IF\x99", "IF\x99[%]"},
    {"T5", 3, "T5 [kJ]", "T5 [kJ]", "T5 [%]"},
    {"T13", 7, "T13 [\xB0" "C]", "T13 [\xB0" "C]", "T13 [%]"},
};

TEST(OverviewReadouts, NameColourAndAxisTitlesOfEveryQuantity) {
  OverviewTexts ui;
  for (int i = 0; i < kOverviewUiTexts; ++i) ui[static_cast<std::size_t>(i)] = "T" + std::to_string(i);
  const int not_miles = kUnitFahrenheit | kUnitPounds | kUnit12Hour | kUnitUsDate;
  for (int q = 0; q < kQuantityCount; ++q) {
    const QuantityLook& l = kLooks[q];
    EXPECT_EQ(QuantityName(q, ui), l.name) << q;
    EXPECT_EQ(QuantityColorSlot(q), l.slot) << q;
    EXPECT_EQ(QuantityAxisTitle(q, false, ui, 0), l.metric) << q;
    EXPECT_EQ(QuantityAxisTitle(q, false, ui, not_miles), l.metric) << q;
    EXPECT_EQ(QuantityAxisTitle(q, false, ui, kUnitMiles), l.imperial) << q;
    EXPECT_EQ(QuantityAxisTitle(q, true, ui, 0), l.percent) << q;
    EXPECT_EQ(QuantityAxisTitle(q, true, ui, kUnitMiles), l.percent) << q;
  }
}

// Three trips whose fields all differ (MeanPowerAll is never shown).
TripSummary Trip(float km, float watts, float kmh, float ascent, float rpm, float hr, float tss, float np,
                 float iff, float kj, float celsius, int32_t seconds) {
  TripSummary s;
  s.Distance = km;
  s.MeanPowerNonZero = watts;
  s.MeanPowerAll = watts - 37;
  s.MeanSpeed = kmh;
  s.Ascent = ascent;
  s.MeanCadence = rpm;
  s.MeanHeartRate = hr;
  s.TSS = tss;
  s.NP = np;
  s.IF = iff;
  s.Work = kj;
  s.MeanTemperature = celsius;
  s.TotalTime = seconds;
  s.MaxSpeed = 2 * kmh;
  s.MaxPower = 3 * watts;
  return s;
}
const TripSummary kTrips[3] = {
    Trip(42.5f, 215, 28.5f, 640, 87, 138, 75, 232, 0.82f, 980, 17.5f, 5400),
    Trip(80, 190, 31, 1200, 91, 145, 140, 210, 0.75f, 1700, 22, 9000),
    Trip(20, 250, 25, 150, 80, 150, 50, 260, 0.95f, 600, 9.5f, 3600),
};
const int kSlots[3] = {3, 7, 9};

// A quantity of a trip by hand: miles and feet for distance, speed and ascent.
double Expected(const TripSummary& s, int q, bool miles) {
  const double d = miles ? 0.62137 : 1.0, a = miles ? 3.28084 : 1.0;
  const float fields[kQuantityCount] = {s.Distance, s.MeanPowerNonZero, s.MeanSpeed, s.Ascent, s.MeanCadence,
                                        s.MeanHeartRate, s.TSS, s.NP, s.IF, s.Work, s.MeanTemperature};
  const double factor = q == 0 || q == 2 ? d : q == 3 ? a : 1.0;
  return static_cast<float>(fields[q] * factor);
}

TEST(OverviewReadouts, ValuesOfTripsByTheirSlotAndOfDaysByTheirDate) {
  ResetCoreData();
  std::vector<OverviewItem> items(3);
  for (int i = 0; i < 3; ++i) {
    TripSummaryTable[kSlots[i]] = kTrips[i];
    items[static_cast<std::size_t>(i)].Slot = kSlots[i];
    items[static_cast<std::size_t>(i)].Line = i + 1;  // lines and slots differ
  }
  for (int units : {0, kUnitMiles, kUnitFahrenheit | kUnitPounds}) {
    for (int q = 0; q < kQuantityCount; ++q) {
      const OverviewChartValues v = ChartValues(items, OverviewMode::Selection, q, false, units);
      double largest = 0;
      for (int i = 0; i < 3; ++i) {
        const double want = Expected(kTrips[i], q, units & kUnitMiles);
        EXPECT_NEAR(v.Values[static_cast<std::size_t>(i)], want, 1e-4 * (1 + want)) << q << " " << units;
        largest = std::max(largest, want);
      }
      EXPECT_NEAR(v.AxisMax, std::max(3.0, 1.05 * largest), 1e-3) << q;
      EXPECT_EQ(v.Minutes, (std::vector<double>{90, 150, 60})) << q;
      EXPECT_EQ(v.Weights, (std::vector<double>{5400, 9000, 3600})) << q;
    }
  }
  // Percent of the largest: 42.5, 80 and 20 km are 53.125, 100 and 25 %.
  OverviewChartValues p = ChartValues(items, OverviewMode::Selection, 0, true, kUnitMiles);
  EXPECT_NEAR(p.Values[0], 53.125, 1e-4);
  EXPECT_EQ(p.Values[1], 100.0);
  EXPECT_EQ(p.Values[2], 25.0);
  EXPECT_NEAR(p.AxisMax, 105, 1e-9);

  // Days: a calendar whose day index 0 is Monday 3 Feb 2014.
  CalendarYearStart = DateValue(2014, 1, 1);
  W_Tag = 2;
  t_offset = 35;
  CalendarDays.assign(21, CalendarDay{});
  CalendarDays[8].Distance = 30;
  CalendarDays[8].MeanSpeed = 24;
  CalendarDays[8].RideMinutes = 75;
  CalendarDays[10].Distance = 60;
  CalendarDays[10].Ascent = 500;
  CalendarDays[10].Work = 1500;
  CalendarDays[10].RideMinutes = 150;
  const std::vector<OverviewItem> days = DayItems(DateValue(2014, 2, 11), 3, 0);
  ASSERT_EQ(days.size(), 3u);
  EXPECT_EQ(days[0].Key, DateValue(2014, 2, 11));
  EXPECT_EQ(days[2].Key, DateValue(2014, 2, 13));
  EXPECT_EQ(days[0].Label, "11.02.2014");
  EXPECT_EQ(DayItems(DateValue(2014, 2, 11), 1, kUnitUsDate)[0].Label, "02/11/2014");
  struct Row {
    int q, units;
    std::vector<double> values;
  };
  const Row rows[] = {
      {0, 0, {30, 0, 60}},
      {0, kUnitMiles, {30 * 0.62137, 0, 60 * 0.62137}},
      {2, kUnitMiles, {24 * 0.62137, 0, 0}},
      {3, kUnitMiles, {0, 0, 500 * 3.28084}},
      {9, kUnitMiles, {0, 0, 1500}},
  };
  for (const Row& r : rows) {
    const OverviewChartValues v = ChartValues(days, OverviewMode::Calendar, r.q, false, r.units);
    for (int i = 0; i < 3; ++i)
      EXPECT_NEAR(v.Values[static_cast<std::size_t>(i)], r.values[static_cast<std::size_t>(i)], 1e-3) << r.q << " " << i;
    EXPECT_EQ(v.Minutes, (std::vector<double>{75, 0, 150}));
    EXPECT_EQ(v.Weights, (std::vector<double>{4500, 0, 9000}));
  }
  CalendarDays.clear();
  ResetCoreData();
}

TEST(OverviewReadouts, MinuteAxisAtAndAboveTheReferenceSpeedBound) {
  EXPECT_DOUBLE_EQ(MinuteAxisMax(130, 84, 10.0), 150);  // 10 km/h is no reference speed
  EXPECT_DOUBLE_EQ(MinuteAxisMax(130, 84, 10.5), 84 * 60 / 10.5);
  EXPECT_DOUBLE_EQ(MinuteAxisMax(130, 84, 30), 168);
  EXPECT_DOUBLE_EQ(MinuteAxisMax(130, 84, 0), 150);
}

// ---- The window ------------------------------------------------------------------

class OverviewWindowReadouts : public CoreFixture {
 protected:
  void SetUp() override {
    CoreFixture::SetUp();
    Form33 = new TForm33();
    Form34 = new TForm34();
    Form35 = new TForm35();
    Form35->SetActualClientSize(1200 - TForm::kFrameWidth, 760 - TForm::kFrameHeight);
    for (int k = 0; k < kChartColorCount; ++k) ChartColors[k] = RGBColor(10 + 15 * k, 200 - 11 * k, 40 + 7 * k);
    for (int i = 0; i < 3; ++i) TripSummaryTable[kSlots[i]] = kTrips[i];
    // The selection: a manual entry first, so lines and items differ.
    SelectedTrips.Assign(std::vector<std::string>{"20140228_0930NR3_X;002;*gym", "20140301_093000_0_TAV;003;*a",
                                                  "20140303_093000_0_TAV;007;*b", "20140305_093000_0_TAV;009;*c"});
    ScanList = &SelectedTrips;
    Form35->OpenDayStats = [this](double d) { days_.push_back(d); };
    Form35->OpenTripStats = [this](int slot) { trips_.push_back(slot); };
  }
  void TearDown() override {
    snapshot::DeleteForm(Form35);
    snapshot::DeleteForm(Form34);
    snapshot::DeleteForm(Form33);
    CalendarDays.clear();
    CoreFixture::TearDown();
  }
  static void Open(int tag, int first = 0, int count = 0) {
    Form35->Hide();
    Form35->Tag = tag;
    Form35->FirstItem = first;
    Form35->ItemCount = count;
    Form35->Show();
  }
  std::vector<double> days_;
  std::vector<int> trips_;
};

const char* const kEnglishNames[kQuantityCount] = {
    "Distance", "Average power", "Average speed", "Altitude difference", "Average RPM", "Average pulse",
    "TSS\x99", "Normalized power", "IF\x99", "Work", "Temperature"};
const char* const kEnglishAxes[kQuantityCount][3] = {  // metric, imperial, percent
    {"Distance [km]", "Distance [miles]", "Distance [%]"},
    {"Power [W]", "Power [W]", "Power [%]"},
    {"Speed [km/h]", "Speed [mph]", "Speed [%]"},
    {"Altitude difference [m]", "Altitude difference [ft]", "Altitude difference [%]"},
    {"RPM [1/m]", "RPM [1/m]", "RPM [%]"},
    {"HR [ 1/min]", "HR [ 1/min]", "HR [%]"},
    {"TSS\x99", "TSS\x99", "TSS\x99[%]"},
    {"NP\x99[W]", "NP\x99[W]", "NP\x99[%]"},
    {"IF\x99", "IF\x99", "IF\x99[%]"},
    {"Work [kJ]", "Work [kJ]", "Work [%]"},
    {"Temperature [\xB0" "C]", "Temperature [\xB0" "C]", "Temperature [%]"},
};

// Every quantity on a chart of its own, in both units and both modes: the
// bars read the trip's field, in the quantity's colour, under its titles.
TEST_F(OverviewWindowReadouts, EveryQuantityOnEveryChartInSelectionMode) {
  for (int units : {0, kUnitMiles}) {
    for (bool percent : {false, true}) {
      for (int q = 0; q < kQuantityCount; ++q) {
        const int k = (q + (percent ? 3 : 0)) % 6;
        SCOPED_TRACE(std::to_string(q) + " on chart " + std::to_string(k + 1) + (percent ? " %" : "") +
                     (units ? " miles" : ""));
        for (int c = 0; c < 6; ++c) {
          Graf6Settings[c] = c;
          Graf6Settings[7 + c] = 0;
        }
        Graf6Settings[k] = q;
        Graf6Settings[7 + k] = percent ? 1 : 0;
        UnitFlags = units;
        Open(20);
        const TChart& c = *Form35->Ch[static_cast<std::size_t>(k)];
        const TChartSeries& bars = *Form35->Bars[static_cast<std::size_t>(k)];
        ASSERT_EQ(bars.Count(), 3);
        double want[3], largest = 0;
        for (int i = 0; i < 3; ++i) largest = std::max(largest, want[i] = Expected(kTrips[i], q, units));
        for (int i = 0; i < 3; ++i) {
          const double v = percent ? want[i] * 100 / largest : want[i];
          EXPECT_NEAR(bars.YValue(i), v, 1e-4 * (1 + v)) << i;
          EXPECT_EQ(bars.PointColor(i), ChartColors[kLooks[q].slot]) << i;
        }
        EXPECT_EQ(bars.Label(0), "01.03.2014 ");
        EXPECT_EQ(bars.Label(2), "05.03.2014 ");
        ASSERT_EQ(c.Title.Text.Count(), 1);
        EXPECT_EQ(c.Title.Text[0], kEnglishNames[q]);
        EXPECT_EQ(c.LeftAxis.Title, kEnglishAxes[q][percent ? 2 : units ? 1 : 0]);
        EXPECT_EQ(c.BottomAxis.Title, "");
        EXPECT_NEAR(c.LeftAxis.Maximum(), std::max(3.0, 1.05 * (percent ? 100 : largest)), 1e-3);
        EXPECT_EQ(c.LeftAxis.Minimum(), 0);
        // The ride time only on chart 1.
        for (int o = 1; o < 6; ++o) EXPECT_EQ(Form35->Lines[static_cast<std::size_t>(o)]->Count(), 0) << o;
      }
    }
  }
}

// Chart 1's line: each trip's ride time in minutes on the minute axis, in
// the text colour; the hidden memo keeps the seconds.
TEST_F(OverviewWindowReadouts, RideTimeLineAndMinuteAxis) {
  Graf6Scale = 30.0f;
  Open(20);
  const TChartSeries& line = *Form35->Lines[0];
  ASSERT_EQ(line.Count(), 3);
  const double minutes[3] = {90, 150, 60};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(line.YValue(i), minutes[i]) << i;
    EXPECT_EQ(line.PointColor(i), ChartColors[9]) << i;
  }
  EXPECT_EQ(line.SeriesColor, ChartColors[9]);
  TChart& c = *Form35->Ch[0];
  EXPECT_EQ(c.RightAxis.Title, " t [min]");
  // 80 km x 1.05 = 84 km at 30 km/h: 168 minutes.
  EXPECT_NEAR(c.LeftAxis.Maximum(), 84, 1e-4);
  EXPECT_NEAR(c.RightAxis.Maximum(), 168, 1e-3);
  EXPECT_EQ(c.RightAxis.Minimum(), 0);
  // The memo holds the weights of the last chart filled.
  EXPECT_EQ(Form35->Mem->Lines.Lines(), (std::vector<std::string>{"5400", "9000", "3600"}));
  // A reference speed of 40 typed: trunc(84 / 40 x 60) = 126 minutes.
  c.DoMouseDown(TMouseButton::mbLeft, ssLeft, c.Width - 10, 10);
  ASSERT_TRUE(Form35->E_11->Visible);
  EXPECT_EQ(Form35->E_11->Text, "168");
  Form35->E_11->Text = "40";
  WORD enter = VK_RETURN;
  Form35->E_11->DoKeyDown(enter, 0);
  EXPECT_EQ(Graf6Scale, 40.0f);
  EXPECT_EQ(c.RightAxis.Maximum(), 126);
}

// A 1 s and a 2 s trip of 600 records at 200 W: 10 and 20 minutes, 120 and
// 240 kJ, 6 and 12 km.
TEST_F(OverviewWindowReadouts, TripsOfOneAndTwoSecondsShowTheirOwnTimes) {
  for (int interval : {1, 2}) {
    std::vector<TripSample> t = RampTrip(601, interval);
    for (std::size_t i = 1; i < t.size(); ++i) {
      t[i].Power = 200;
      t[i].Distance = 0.01f * static_cast<float>(i) * static_cast<float>(interval);
    }
    LoadIntoCurrent(t);
    CurrentTripSlot = 20 + interval;
    EvaluateTrip();
  }
  SelectedTrips.Assign(std::vector<std::string>{"20140401_093000_0_TAV;021;*one", "20140402_093000_0_TAV;022;*two"});
  Graf6Settings[0] = 9;  // work
  Graf6Settings[1] = 0;  // distance
  Open(20);
  ASSERT_EQ(Form35->Lines[0]->Count(), 2);
  EXPECT_EQ(Form35->Lines[0]->YValue(0), 10);
  EXPECT_EQ(Form35->Lines[0]->YValue(1), 20);
  EXPECT_NEAR(Form35->Bars[0]->YValue(0), 120, 1e-3);
  EXPECT_NEAR(Form35->Bars[0]->YValue(1), 240, 1e-3);
  EXPECT_NEAR(Form35->Bars[1]->YValue(0), 6, 1e-3);
  EXPECT_NEAR(Form35->Bars[1]->YValue(1), 12, 1e-3);
}

// Calendar mode: the days' records, the ride minutes of each day on the
// minute line, miles for distances.
TEST_F(OverviewWindowReadouts, CalendarDaysInEveryChart) {
  CalendarYearStart = DateValue(2014, 1, 1);
  W_Tag = 2;
  t_offset = 35;  // day index 0: Monday 3 Feb 2014
  CalendarDays.assign(21, CalendarDay{});
  CalendarDay& d = CalendarDays[8];  // 11 Feb
  d.Distance = 30;
  d.MeanPowerNonZero = 180;
  d.MeanPowerAll = 150;
  d.MeanSpeed = 24;
  d.Ascent = 500;
  d.MeanCadence = 84;
  d.MeanHeartRate = 131;
  d.TSS = 66;
  d.NP = 199;
  d.IF = 0.8f;
  d.Work = 1500;
  d.MeanTemperature = 12.5f;
  d.RideMinutes = 75;
  const double metric[kQuantityCount] = {30, 180, 24, 500, 84, 131, 66, 199, 0.8f, 1500, 12.5};
  const double miles[kQuantityCount] = {30 * 0.62137, 180, 24 * 0.62137, 500 * 3.28084, 84, 131, 66, 199, 0.8f,
                                        1500, 12.5};
  Form33->PeriodStart = DateValue(2014, 2, 10);
  for (int units : {0, kUnitMiles | kUnitUsDate}) {  // imperial units with US dates
    for (int q = 0; q < kQuantityCount; ++q) {
      const int k = q % 6;
      for (int c = 0; c < 6; ++c) Graf6Settings[c] = c;
      Graf6Settings[k] = q;
      UnitFlags = units;
      Open(10, 40, 7);
      const TChartSeries& bars = *Form35->Bars[static_cast<std::size_t>(k)];
      ASSERT_EQ(bars.Count(), 7);
      EXPECT_EQ(bars.Label(1), units ? "02/11/2014" : "11.02.2014") << q;
      EXPECT_NEAR(bars.YValue(1), (units ? miles : metric)[q], 1e-3) << q << " " << units;
      EXPECT_EQ(bars.YValue(0), 0) << q;
      EXPECT_EQ(bars.PointColor(1), ChartColors[kLooks[q].slot]) << q;
      EXPECT_EQ(Form35->Ch[static_cast<std::size_t>(k)]->LeftAxis.Title, kEnglishAxes[q][units ? 1 : 0]) << q;
      EXPECT_EQ(Form35->Lines[0]->YValue(1), 75) << q;
      EXPECT_EQ(Form35->Lines[0]->YValue(2), 0) << q;
    }
  }
  // A right click on the second day opens 11 February.
  Form35->ShowItemStats(1, TMouseButton::mbRight);
  EXPECT_EQ(days_, (std::vector<double>{double(DateValue(2014, 2, 11))}));
}

// The settings panel: ten trips of a longer list, the choices it offers,
// each chart's quantity and mode stored in its own place, the panel over
// the other row, and discard restoring the chart shown in it.
TEST_F(OverviewWindowReadouts, SettingsPanelStoresEachChartsChoice) {
  std::vector<std::string> lines;
  for (int i = 0; i < 12; ++i) {
    lines.push_back(Format("201403%02i_093000_0_TAV;%03i;*t", i + 1, 100 + i));
    TripSummaryTable[100 + i].Distance = 10.0f + i;
  }
  lines.push_back("ERASED :");
  TripList.Assign(lines);
  for (int c = 0; c < 6; ++c) {
    Graf6Settings[c] = 9 - c;
    Graf6Settings[7 + c] = c % 2;
  }
  Open(5);
  EXPECT_EQ(Form35->ItemCount, 10);
  ASSERT_EQ(Form35->Items().size(), 10u);
  EXPECT_EQ(Form35->Caption, "Analyze of 01.03.2014 to 10.03.2014");
  ASSERT_EQ(Form35->CB_G6_2->Items.Count(), 10);
  for (int q = 0; q < 10; ++q) EXPECT_EQ(Form35->CB_G6_2->Items[q], kEnglishNames[q]) << q;
  ASSERT_EQ(Form35->CB_G6_3->Items.Count(), 2);
  EXPECT_EQ(Form35->CB_G6_3->Items[0], "Absolute value");
  EXPECT_EQ(Form35->CB_G6_3->Items[1], "Percent");
  // Chart 1 shown first: work, absolute.
  EXPECT_EQ(Form35->CB_G6_2->ItemIndex, 9);
  EXPECT_EQ(Form35->CB_G6_3->ItemIndex, 0);

  // Chart 3 (index 2): the panel over the lower row; chart 4 over the upper row.
  Form35->CB_G6_1->DoSelect(2);
  EXPECT_EQ(Form35->CB_G6_2->ItemIndex, 7);
  EXPECT_EQ(Form35->CB_G6_3->ItemIndex, 0);
  EXPECT_EQ(Form35->P_G6->Top, Form35->Ch[3]->Top);
  Form35->CB_G6_2->DoSelect(3);
  Form35->CB_G6_3->DoSelect(1);
  const int32_t after[14] = {9, 8, 3, 6, 5, 4, Graf6Settings[6], 0, 1, 1, 1, 0, 1, Graf6Settings[13]};
  for (int i = 0; i < 14; ++i) EXPECT_EQ(Graf6Settings[i], after[i]) << i;
  Form35->CB_G6_1->DoSelect(3);
  EXPECT_EQ(Form35->P_G6->Top + Form35->P_G6->Height, Form35->Ch[0]->Top + Form35->Ch[0]->Height);
  EXPECT_EQ(Form35->CB_G6_2->ItemIndex, 6);
  EXPECT_EQ(Form35->CB_G6_3->ItemIndex, 1);
  // Chart 4 changed too, then discarded: quantity 6 and percent come back.
  Form35->CB_G6_2->DoSelect(0);
  Form35->CB_G6_3->DoSelect(0);
  Form35->G6l_NO->DoClick();
  EXPECT_EQ(Graf6Settings[3], 6);
  EXPECT_EQ(Graf6Settings[10], 1);
  // Chart 3 keeps its change: ascent in percent, shown in the list mode.
  EXPECT_EQ(Graf6Settings[2], 3);
  EXPECT_EQ(Graf6Settings[9], 1);
  EXPECT_EQ(Form35->Ch[2]->Title.Text[0], "Altitude difference");
  EXPECT_EQ(Form35->Ch[2]->LeftAxis.Title, "Altitude difference [%]");
  EXPECT_EQ(Form35->Ch[3]->LeftAxis.Title, "TSS\x99[%]");
  EXPECT_EQ(Form35->Ch[0]->Title.Text[0], "Work");
}

// The chart combos offer all eleven quantities, show the chart's own, and
// a choice there is drawn as an absolute value.
TEST_F(OverviewWindowReadouts, ChartCombosShowTheirChartsQuantityAbsolute) {
  for (int c = 0; c < 6; ++c) Graf6Settings[c] = c;
  Graf6Settings[1] = 7;
  Graf6Settings[4] = 2;
  Graf6Settings[8] = 1;  // chart 2 in percent
  Open(20);
  for (TComboBox* cb : {Form35->CB_C2, Form35->CB_C5}) {
    ASSERT_EQ(cb->Items.Count(), kQuantityCount);
    for (int q = 0; q < kQuantityCount; ++q) EXPECT_EQ(cb->Items[q], kEnglishNames[q]) << q;
  }
  EXPECT_EQ(Form35->CB_C2->ItemIndex, 7);
  EXPECT_EQ(Form35->CB_C5->ItemIndex, 2);
  EXPECT_EQ(Form35->Ch[1]->LeftAxis.Title, "NP\x99[%]");
  Form35->SB[1]->DoClick();
  Form35->CB_C2->DoSelect(5);
  EXPECT_EQ(Graf6Settings[1], 5);
  EXPECT_EQ(Graf6Settings[8], 0);
  EXPECT_EQ(Form35->Ch[1]->LeftAxis.Title, "HR [ 1/min]");
  EXPECT_EQ(Form35->Bars[1]->YValue(1), 145);
  EXPECT_EQ(Form35->Lines[1]->Count(), 0);
}

// Texts read off the charts: a bar's value, the value cursor and the
// minute cursor (hours and minutes).
TEST_F(OverviewWindowReadouts, ValueLabelAndCursorTexts) {
  for (int c = 0; c < 6; ++c) Graf6Settings[c] = c;
  Open(20);
  // A click on chart 1's first bar: 42.5 km.
  Form35->ChartClickSeries(0, Form35->Bars[0], 0, TMouseButton::mbLeft, 300, 200);
  EXPECT_EQ(Form35->Ch_L[0]->Caption, "   42.50 ");
  Form35->ChartClickSeries(4, Form35->Bars[4], 2, TMouseButton::mbLeft, 300, 200);
  EXPECT_EQ(Form35->Ch_L[4]->Caption, "   80.00 ");  // average cadence of the third trip

  // The value cursor on chart 2, its axis one unit per pixel.
  TChart& c = *Form35->Ch[1];
  const int len = c.LeftAxis.Length();
  c.LeftAxis.SetMinMax(0, len);
  const TRect plot = c.PlotRect();
  const int start = c.LeftAxis.StartPos();
  c.DoMouseDown(TMouseButton::mbLeft, ssLeft, plot.Left - 5, start + 40 + 5);
  ASSERT_TRUE(Form35->Shapes[1]->Visible);
  ASSERT_EQ(Form35->Shapes[1]->Top, start + 40);
  EXPECT_EQ(Form35->Zeiger[1]->Caption, Format("%7.1f ", double(len - 40)));
  // The minute cursor of chart 1: 75 minutes are 01:15.
  TChart& first = *Form35->Ch[0];
  const int mlen = first.RightAxis.Length();
  first.RightAxis.SetMinMax(0, mlen);
  const TRect fplot = first.PlotRect();
  const int y = first.RightAxis.StartPos() + (mlen - 75);
  first.DoMouseDown(TMouseButton::mbLeft, ssLeft, fplot.Right + 5, y + 5);
  ASSERT_TRUE(Form35->Shape->Visible);
  EXPECT_EQ(Form35->Zeiger[0]->Caption, " 01:15 ");
}

}  // namespace
}  // namespace tav
