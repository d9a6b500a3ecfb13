#include "analysis/overview_charts.h"

#include <gtest/gtest.h>

#include "analysis/distribution_charts.h"
#include "core/core_test_util.h"
#include "core/trip_list.h"
#include "diary/calendar_model.h"
#include "diary/calendar_window.h"
#include "platform/text.h"
#include "texts/text_tables.h"
#include "viewing/form_snapshot.h"

namespace tav {
namespace {

using namespace testing_core;

class OverviewChartsTest : public CoreFixture {
 protected:
  void SetUp() override {
    CoreFixture::SetUp();
    Form33 = new TForm33();
    Form34 = new TForm34();
    Form35 = new TForm35();
    Form35->SetActualClientSize(1200 - TForm::kFrameWidth, 760 - TForm::kFrameHeight);
    TripList.Assign(std::vector<std::string>{
        "20140301_093000_0_TAV;001;*a", "20140302_0930NR3_X;002;*gym", "20140303_093000_0_TAV;003;*b",
        "20140304_0930NR4_X;004;*yoga", "20140305_093000_0_TAV;005;*c", "ERASED :"});
    for (int s = 1; s <= 5; ++s) {
      TripSummaryTable[s].Distance = 20.0f * s;
      TripSummaryTable[s].TotalTime = 1800 * s;
    }
    Form35->OpenDayStats = [this](double d) { days_.push_back(d); };
    Form35->OpenTripStats = [this](int slot) {
      trips_.push_back(slot);
      lines_.push_back(Form34->NextItemLine);
    };
  }
  void TearDown() override {
    snapshot::DeleteForm(Form35);
    snapshot::DeleteForm(Form34);
    snapshot::DeleteForm(Form33);
    ClearCalendarDays();
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
  std::vector<int> trips_, lines_;
};

TEST_F(OverviewChartsTest, SettingsStepThenTheTripsOfTheList) {
  Open(5);
  EXPECT_EQ(Form35->Tag, 6);
  EXPECT_EQ(Form35->ItemCount, 5);  // the list's trip and manual lines, not the free-slot line
  ASSERT_EQ(Form35->Items().size(), 3u);  // the settings step shows its trips at once
  EXPECT_EQ(Form35->Bars[0]->Count(), 3);
  EXPECT_EQ(Form35->Bars[0]->YValue(2), 100.0);
  EXPECT_EQ(Form35->Lines[0]->YValue(2), 150.0);
  EXPECT_EQ(Form35->Lines[1]->Count(), 0);  // only chart 1 shows the ride time
  EXPECT_EQ(Form35->Caption, "Analyze of 01.03.2014 to 05.03.2014");
  EXPECT_TRUE(Form35->P_G6->Visible);
  EXPECT_FALSE(Form35->SB[0]->Visible);
  EXPECT_FALSE(snapshot::SaveFormPng(*Form35, "form35_settings").empty());

  // Chart 5 gets temperature in percent; the panel moves over the upper row;
  // discarding restores chart 5 only.
  Form35->CB_G6_1->DoSelect(4);
  EXPECT_EQ(Form35->P_G6->Top + Form35->P_G6->Height, Form35->Ch[0]->Top + Form35->Ch[0]->Height);
  Form35->CB_G6_2->DoSelect(9);
  Form35->CB_G6_3->DoSelect(1);
  Form35->CB_G6_1->DoSelect(0);
  Form35->CB_G6_2->DoSelect(6);
  EXPECT_EQ(Form35->P_G6->Top, Form35->Ch[3]->Top);
  Form35->CB_G6_1->DoSelect(4);
  Form35->G6l_NO->DoClick();
  EXPECT_EQ(Graf6Settings[4], 4);
  EXPECT_EQ(Graf6Settings[11], 0);
  EXPECT_EQ(Graf6Settings[0], 6);
  EXPECT_EQ(Form35->Ch[0]->LeftAxis.Title, "TSS\x99");
  Form35->ZDP_SB->DoClick();
  EXPECT_FALSE(Form35->Visible);
  EXPECT_FALSE(Form35->P_G6->Visible);
  // Reopened in list mode: the span asked for is kept, not shrunk to the items.
  Open(6, 1, 4);
  EXPECT_EQ(Form35->Items().size(), 2u);
  Form35->G6l_OK->DoClick();
  EXPECT_EQ(Form35->Items().size(), 2u);
  EXPECT_EQ(Form35->Caption, "Analyze of 03.03.2014 to 05.03.2014");
}

// Esc on the settings panel discards as its discard button does and closes
// the panel: the chart shown in it gets back the quantity and mode it had
// when the panel opened, the enlarge buttons show again, the window stays.
TEST_F(OverviewChartsTest, EscClosesTheSettingsPanelAsItsDiscard) {
  Open(5);
  ASSERT_TRUE(Form35->P_G6->Visible);
  Form35->CB_G6_1->DoSelect(1);
  Form35->CB_G6_2->DoSelect(8);  // chart 2: IF
  Form35->CB_G6_3->DoSelect(1);  // in percent
  ASSERT_EQ(Graf6Settings[1], 8);
  WORD other = VK_RETURN;
  Form35->CB_G6_2->DoKeyDown(other, 0);
  EXPECT_TRUE(Form35->P_G6->Visible);
  WORD esc = VK_ESCAPE;
  Form35->CB_G6_2->DoKeyDown(esc, 0);
  EXPECT_EQ(esc, 0);
  EXPECT_FALSE(Form35->P_G6->Visible);
  EXPECT_TRUE(Form35->Visible);
  EXPECT_EQ(Graf6Settings[1], 1);  // average power, as at the opening
  EXPECT_EQ(Graf6Settings[8], 0);  // absolute
  EXPECT_EQ(Form35->Ch[1]->Title.Text[0], "Average power");
  for (const TSpeedButton* b : Form35->SB) EXPECT_TRUE(b->Visible) << b->Name;
  // Without the panel Esc is left alone.
  esc = VK_ESCAPE;
  Form35->Ch[0]->DoKeyDown(esc, 0);
  EXPECT_EQ(esc, VK_ESCAPE);
  EXPECT_TRUE(Form35->Visible);
}

TEST_F(OverviewChartsTest, SelectionItemsOpenTheirTripByLine) {
  SelectedTrips.Assign(TripList.Lines());
  ScanList = &SelectedTrips;
  Open(20, 0, SelectedTrips.Count());
  ASSERT_EQ(Form35->Items().size(), 3u);
  // A right click on the second bar names line 2, the trip of slot 3.
  Form35->ChartClickSeries(0, Form35->Bars[0], 1, TMouseButton::mbRight, 100, 100);
  EXPECT_TRUE(Form35->Ch_L[0]->Visible);
  // Items past the last and left clicks open nothing.
  Form35->ShowItemStats(2, TMouseButton::mbMiddle);
  Form35->ShowItemStats(3, TMouseButton::mbRight);
  Form35->ShowItemStats(-1, TMouseButton::mbRight);
  Form35->ShowItemStats(2, TMouseButton::mbLeft);
  EXPECT_EQ(trips_, (std::vector<int>{3, 5}));
  EXPECT_EQ(lines_, (std::vector<int>{2, 4}));
  EXPECT_EQ(Form34->NextItemLine, -1);
  // The quantity combo of chart 2 shows with the enlarged chart; temperature.
  Form35->SB[1]->DoClick();
  EXPECT_TRUE(Form35->CB_C2->Visible);
  Form35->CB_C2->DoSelect(10);
  EXPECT_EQ(Graf6Settings[1], 10);
  EXPECT_EQ(Form35->Ch[1]->Title.Text[0], "Temperature");
  Form35->SB[1]->DoClick();
  EXPECT_FALSE(Form35->CB_C2->Visible);
  // List mode opens nothing.
  Open(6, 0, 5);
  Form35->ShowItemStats(0, TMouseButton::mbRight);
  EXPECT_EQ(trips_.size(), 2u);
}

// A value read off a bar does not come back with other charts: neither
// after closing and opening again, nor when the window is filled anew
// while open.
TEST_F(OverviewChartsTest, AValueReadOffABarDoesNotShowAgain) {
  SelectedTrips.Assign(TripList.Lines());
  ScanList = &SelectedTrips;
  for (bool close : {true, false}) {
    Open(20, 0, SelectedTrips.Count());
    for (int k : {0, 3, 5}) {
      Form35->ChartClickSeries(k, Form35->Bars[k], 1, TMouseButton::mbLeft, 100, 100);
      EXPECT_TRUE(Form35->Ch_L[k]->Visible) << k;
    }
    if (close) {
      Form35->ZDP_SB->DoClick();
      EXPECT_FALSE(Form35->Visible);
      Open(6, 0, 3);
    } else {
      Form35->Tag = 6;
      Form35->FormActivate(Form35);
    }
    for (int k = 0; k < 6; ++k) EXPECT_FALSE(Form35->Ch_L[k]->Visible) << k << " " << close;
  }
}

// Opened for a selection of two trips, then shown again after another window
// handed over a selection of three: all three are drawn and named, none is
// cut off at the count of the opening.
TEST_F(OverviewChartsTest, SelectionShownAgainIsTheWholeListItReads) {
  SelectedTrips.Assign(std::vector<std::string>{TripList[0], TripList[2]});
  ScanList = &SelectedTrips;
  Open(20, 0, SelectedTrips.Count());
  ASSERT_EQ(Form35->Bars[0]->Count(), 2);
  EXPECT_EQ(Form35->Caption, "Analyze of 01.03.2014 to 03.03.2014");

  SelectedTrips.Assign(std::vector<std::string>{TripList[2], TripList[0], TripList[4]});
  Form35->Hide();
  Form35->Show();
  ASSERT_EQ(Form35->Bars[0]->Count(), 3);
  const double km[3] = {60, 20, 100};  // slots 3, 1 and 5
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Form35->Bars[0]->YValue(i), km[i]) << i;
  EXPECT_EQ(Form35->Bars[0]->Label(2), "05.03.2014 ");
  EXPECT_EQ(Form35->Caption, "Analyze of 03.03.2014 to 05.03.2014");
  // The third bar's right click names the third line.
  Form35->ShowItemStats(2, TMouseButton::mbRight);
  EXPECT_EQ(trips_, (std::vector<int>{5}));
  EXPECT_EQ(lines_, (std::vector<int>{2}));
}

TEST_F(OverviewChartsTest, CalendarDaysAndEmptyPeriods) {
  // A model whose day index 0 is Monday 3 Feb 2014: 1 January 2014 is a
  // Wednesday (W_Tag 2), five weeks on from the Monday of its week.
  CalendarYearStart = DateValue(2014, 1, 1);
  W_Tag = 2;
  t_offset = 35;
  CalendarDays.assign(21, CalendarDay{});
  CalendarDays[9].Distance = 42;
  CalendarDays[9].RideMinutes = 80;
  // Two weeks from day index 7 (Monday 10 Feb) as the calendar opens them.
  Form33->PeriodStart = DateValue(2014, 2, 10);
  Open(10, 33 + 7, 14);
  ASSERT_EQ(Form35->Bars[0]->Count(), 14);
  EXPECT_EQ(Form35->Bars[0]->Label(2), "12.02.2014");
  EXPECT_EQ(Form35->Bars[0]->YValue(2), 42.0);
  EXPECT_EQ(Form35->Lines[0]->YValue(2), 80.0);
  Form35->ChartClickSeries(3, Form35->Bars[3], 2, TMouseButton::mbRight, 50, 50);
  EXPECT_EQ(days_, (std::vector<double>{double(DateValue(2014, 2, 12))}));
  // The calendar rebuilt behind the open window from a trip a week earlier:
  // day index 0 is now 27 January, 12 February's ride is day 16. Shown
  // again, the bar dated 12.02.2014 still shows that day's ride.
  t_offset = 28;
  CalendarDays.assign(28, CalendarDay{});
  CalendarDays[16].Distance = 42;
  CalendarDays[16].RideMinutes = 80;
  Form35->Hide();
  Form35->Show();
  EXPECT_EQ(Form35->Bars[0]->Label(2), "12.02.2014");
  EXPECT_EQ(Form35->Bars[0]->YValue(2), 42.0);
  EXPECT_EQ(Form35->Bars[0]->MaxYValue(), 42.0);
  // A period reaching before the model's first day reads empty days.
  Form33->PeriodStart = DateValue(2013, 12, 2);
  Open(10, 0, 14);
  EXPECT_EQ(Form35->Bars[0]->Label(0), "02.12.2013");
  EXPECT_EQ(Form35->Bars[0]->MaxYValue(), 0.0);
  // No items: the caption names no dates.
  UnitFlags = kUnitUsDate;
  Open(10, 0, 0);
  EXPECT_EQ(Form35->Caption, "Analyze of mm/tt/jjjj to mm/tt/jjjj");
  // ... in the words of the chosen language.
  const struct {
    int language;
    int units;
    const char* caption;
  } languages[] = {
      {2, kUnitUsDate, "An\xE1lisis de mm/dd/aaaa a mm/dd/aaaa"},
      {2, 0, "An\xE1lisis de dd.mm.aaaa a dd.mm.aaaa"},
      {0, 0, "Auswertung vom tt.mm.jjjj bis tt.mm.jjjj"},
      {1, kUnitUsDate, "Analyze of mm/tt/jjjj to mm/tt/jjjj"},
  };
  for (const auto& l : languages) {
    ApplyTextTable(l.language);
    UnitFlags = l.units;
    Open(10, 0, 0);
    EXPECT_EQ(Form35->Caption, l.caption) << l.language;
  }
}

TEST_F(OverviewChartsTest, AxisEditsMinuteAxisAndCursor) {
  Graf6Scale = 25.0f;
  Open(6, 0, 5);
  TChart* c = Form35->Ch[0];
  EXPECT_DOUBLE_EQ(c->RightAxis.Maximum(), c->LeftAxis.Maximum() * 60 / 25);
  auto enter = [](TEdit* e, const char* text) {
    e->Text.clear();
    for (const char* p = text; *p; ++p) e->DoType(*p);
    WORD key = VK_RETURN;
    e->DoKeyDown(key, 0);
  };
  c->DoMouseDown(TMouseButton::mbLeft, ssLeft, 10, 10);
  ASSERT_TRUE(Form35->E[0]->Visible);
  enter(Form35->E[0], "100,0");
  EXPECT_DOUBLE_EQ(c->LeftAxis.Maximum(), 100.0);
  c->DoMouseDown(TMouseButton::mbLeft, ssLeft, c->Width - 10, 10);
  ASSERT_TRUE(Form35->E_11->Visible);
  for (const char* bad : {"", "0", "-25", "x", "900"}) enter(Form35->E_11, bad);
  EXPECT_EQ(Graf6Scale, 25.0f);
  // A rejected speed is named, not dropped in silence.
  EXPECT_TRUE(Form35->Ch_L[0]->Visible);
  EXPECT_EQ(Form35->Ch_L[0]->Caption, "Reference speed: above 0 up to 200 km/h");
  enter(Form35->E_11, "20");
  EXPECT_FALSE(Form35->Ch_L[0]->Visible);
  EXPECT_EQ(Graf6Scale, 20.0f);
  EXPECT_DOUBLE_EQ(c->RightAxis.Maximum(), 300.0);

  // The cursor line follows the mouse without repainting the chart.
  const TRect plot = c->PlotRect();
  c->DoMouseDown(TMouseButton::mbLeft, ssLeft, plot.Left - 5, plot.Top + 100);
  ASSERT_TRUE(Form35->Shapes[0]->Visible);
  const uint64_t painted = c->PaintGeneration();
  c->DoMouseMove(0, plot.Left + 40, plot.Bottom - plot.Height() / 2 + 5);
  EXPECT_EQ(Form35->Shapes[0]->Top, plot.Bottom - plot.Height() / 2);
  EXPECT_NEAR(ToDouble(Form35->Zeiger[0]->Caption), 50.0, 0.5);
  EXPECT_EQ(c->PaintGeneration(), painted);
  Form35->Ch[2]->DoMouseMove(0, 10, 10);
  EXPECT_FALSE(Form35->Shapes[0]->Visible);
}

}  // namespace
}  // namespace tav
