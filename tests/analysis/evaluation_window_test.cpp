#include "analysis/evaluation_window.h"

#include <gtest/gtest.h>

#include "../core/demo_rider_program.h"
#include "../platform/contrast_reference.h"
#include "../viewing/form_snapshot.h"
#include "analysis/analysis_common.h"
#include "analysis/distribution_charts.h"
#include "analysis/zone_pie.h"
#include "core/trip_date_text.h"
#include "diary/diary_window.h"

namespace tav {
namespace {

class EvaluationWindow : public testing_core::DemoRiderProgram {
 protected:
  // Opens the evaluation as the diary does, over the trip-list lines given.
  void Open(const std::vector<int>& list_lines, int sport = kSportBikePower) {
    Start();
    SelectedTrips.Clear();
    for (int i : list_lines) SelectedTrips.Add(TripList[i]);
    ScanList = &SelectedTrips;
    Form3->SB_SEL_ALL->Tag = sport;
    f = Form4;
    f->Evaluated = false;
    f->Show();
  }
  // A left click on point `point` of series `k`, where the user sees it.
  void ClickPoint(int k, int point, TShiftState shift = 0, TMouseButton b = TMouseButton::mbLeft) {
    TChartSeries* s = f->Series[static_cast<std::size_t>(k)];
    f->Chart->DoMouseDown(b, shift, s->CalcXPos(point), s->CalcYPos(point));
    f->Chart->DoMouseUp(b, shift, s->CalcXPos(point), s->CalcYPos(point));
  }
  TForm4* f = nullptr;
};

// Power trips 1-4, the manual entry, more power trips: every view is drawn
// and saved as a picture.
TEST_F(EvaluationWindow, EveryViewOfTheDemoRider) {
  Open({1, 2, 3, 4, 12, 13, 14, 16, 17});
  const auto& lines = f->Lines();
  ASSERT_EQ(f->LineCount, 9);
  EXPECT_EQ(f->Caption, SpanCaption(FormatTripDateTime(lines.front()), FormatTripDateTime(lines.back())));
  EXPECT_EQ(f->ZD[0]->Caption.substr(f->ZD[0]->Caption.size() - 4), "   9");
  EXPECT_NE(snapshot::SaveFormPng(*f, "evaluation_summary"), "");

  for (TSpeedButton* b : {f->SB_PGRAF, f->SB_SGRAF, f->SB_DGRAF, f->SB_TGRAF}) {
    b->DoClick();
    EXPECT_TRUE(f->Chart->Visible && !b->Flat) << b->Name;
    // Nine lines, the manual entry has no zone point.
    EXPECT_EQ(f->Series[0]->Count(), b == f->SB_TGRAF ? 8 : 9) << b->Name;
    EXPECT_NE(snapshot::SaveFormPng(*f, "evaluation_" + b->Name), "");
  }
  // The zone curves stack up to nearly 100 % (the demo rides' sprints above
  // the top bound are in no zone) and all lie on the left axis.
  TChartSeries* top = f->Series[static_cast<std::size_t>(ZoneCount - 1)];
  for (int p = 0; p < top->Count(); ++p) {
    EXPECT_GT(top->YValue(p), 97.0);
    EXPECT_LE(top->YValue(p), 100.0);
  }
  for (TChartSeries* s : f->Series) EXPECT_EQ(s->VertAxis, TVertAxis::aLeftAxis);

  f->SB_TGRAF->DoMouseDown(TMouseButton::mbRight, 0, 2, 2);
  EXPECT_EQ(f->Chart->Tag, 20);
  EXPECT_EQ(f->Series[0]->Count(), 8);  // no peaks of the manual entry
  EXPECT_NE(snapshot::SaveFormPng(*f, "evaluation_peaks"), "");
}

// The yellow of the NP and distance trends reads on the chart's background:
// kept where it does, darker on the white default; red reads as it is.
TEST_F(EvaluationWindow, TheYellowTrendsReadOnTheChartsBackground) {
  Open({1, 2, 3, 4, 13, 14});
  TChart& chart = *f->Chart;
  for (TSpeedButton* b : {f->SB_SGRAF, f->SB_DGRAF}) {
    b->DoClick();
    const TColor back = chart.PlotBackground();
    EXPECT_EQ(back, ChartColors[0]);
    EXPECT_EQ(f->Series[0]->SeriesColor, RGBColor(255, 255, 0)) << b->Name;
    const TColor drawn = chart.CurveColour(f->Series[0]->SeriesColor);
    EXPECT_GE(testing_contrast::Contrast(drawn, back), 3.0) << b->Name;
    EXPECT_EQ(chart.CurveColour(RGBColor(255, 0, 0)), RGBColor(255, 0, 0));
    TBitmap out(chart.Width, chart.Height);
    chart.Paint(out.Canvas());
    int yellow = 0, shown = 0;
    for (int y = 0; y < out.Height(); ++y)
      for (int x = 0; x < out.Width(); ++x) {
        yellow += out.Pixel(x, y) == RGBColor(255, 255, 0);
        shown += out.Pixel(x, y) == drawn;
      }
    EXPECT_EQ(yellow, 0) << b->Name;
    EXPECT_GT(shown, 50) << b->Name;  // the trend's line, its points and its legend entry
  }
}

TEST_F(EvaluationWindow, ClicksNameTheLineOfThePointAfterSkippedLines) {
  Open({11, 12, 13, 14});  // the manual entry is line 2
  f->SB_TGRAF->DoClick();
  ASSERT_EQ(f->Series[0]->Count(), 3);
  const std::vector<std::string> mine = f->Lines();
  // Other windows refill the selection list meanwhile.
  SelectedTrips.Clear();
  SelectedTrips.Add(TripList[1]);
  ClickPoint(0, 2);  // the third point is line 3
  ASSERT_TRUE(Form10->Visible);
  EXPECT_EQ(Form10->C_Detail->Foot.Text[0], TripTitle(mine[3]).substr(0, 65));
  EXPECT_EQ(Form10->Pie->Count(), ZoneCount);
  EXPECT_EQ(Form10->C_Detail->Title.Text[1], f->UiText[10]);
  EXPECT_GT(f->LineZoneShares[3][1] + f->LineZoneShares[3][2], 0.0f);
  // A slot without zone times is counted from the file; the current trip stays.
  const int slot = *LineTableSlot(mine[1]);
  TripZoneTable[slot].Mark = 0;
  f->LineZoneShares[1] = {};
  TripSampleCount = 77;
  SampleInterval = 3;
  CurrentTripSlot = 5;
  ClickPoint(0, 1);
  EXPECT_EQ(TripZoneTable[slot].Mark, kTableMark);
  EXPECT_GT(f->LineZoneShares[1][0] + f->LineZoneShares[1][1], 0.0f);
  EXPECT_EQ(Form10->C_Detail->Foot.Text[0], TripTitle(mine[1]).substr(0, 65));
  EXPECT_EQ(TripSampleCount, 77);
  EXPECT_EQ(SampleInterval, 3);
  EXPECT_EQ(CurrentTripSlot, 5);
  // Windows opened from here walk this window's selection again.
  f->SB_TIME->DoClick();
  EXPECT_EQ(ScanList->Lines(), mine);
  EXPECT_TRUE(f->ZDP->Showing());

  // Ctrl-click hides a series, its legend entry shows it again.
  ClickPoint(1, 0, ssCtrl);
  EXPECT_FALSE(f->Series[1]->Active);
  f->SB_PGRAF->DoClick();
  f->Series[1]->Active = false;
  f->ChartClickLegend(f->Chart, TMouseButton::mbLeft, 0, 50, 40);
  EXPECT_TRUE(f->LBox->Visible);
  f->LBox->DoSelect(1);
  EXPECT_TRUE(f->Series[1]->Active);
  EXPECT_FALSE(f->LBox->Visible);

  // A right click opens the distribution charts of the trip it was made on,
  // through the overview; the manual entry's point opens nothing.
  Form10->Hide();
  ClickPoint(0, 2, 0, TMouseButton::mbRight);
  EXPECT_FALSE(Form34->Visible);
  f->SB_TGRAF->DoClick();
  ClickPoint(0, 2, 0, TMouseButton::mbRight);  // the third zone point is line 3
  ASSERT_TRUE(Form34->Visible);
  EXPECT_EQ(Form34->ShownItemLine, 3);
  EXPECT_NE(Form34->Caption.find(TripTitle(mine[3]).substr(0, 18)), std::string::npos) << Form34->Caption;
  f->Close();
  EXPECT_FALSE(Form10->Visible);
}

TEST_F(EvaluationWindow, PerWeightValuesAndTitles) {
  Open({1, 2});
  RiderTable[CurrentRider].Weight = 80;
  f->SB_PGRAF->DoClick();
  const double np = f->Series[0]->YValue(0);
  f->SB_Po_Gew->DoClick();
  EXPECT_NEAR(f->Series[0]->YValue(0), np / 80, 1e-4);
  EXPECT_EQ(f->Chart->LeftAxis.Title, "Power [W/kg]");
  EXPECT_EQ(f->SB_Po_Gew->Caption, "Power/kg");
  UnitFlags |= kUnitPounds;
  f->FormActivate(f);  // back from another window
  f->SB_PGRAF->DoClick();
  EXPECT_NEAR(f->Series[0]->YValue(0), np / (80 * kPoundsPerKg), 1e-4);
  EXPECT_EQ(f->Chart->LeftAxis.Title, "Power [W/lbs]");
  // No weight: plain watts.
  RiderTable[CurrentRider].Weight = 0;
  f->SB_Po_Gew->DoClick();
  f->SB_Po_Gew->DoClick();
  EXPECT_EQ(f->Series[0]->YValue(0), np);
  EXPECT_EQ(f->Chart->LeftAxis.Title, "Power [W]");  // the axis says what is drawn
  EXPECT_EQ(f->Chart->LeftAxis.ValueFormat, "###0");
  f->ShowPowerPeakTrend();
  EXPECT_EQ(f->Chart->LeftAxis.Title, "Power Peak [Watt]");
}

TEST_F(EvaluationWindow, HeartRateSelectionCountsPowerTripsInHeartRateZones) {
  Open({0, 2, 10}, kSportBikeHeartRate);  // heart-rate, power, heart-rate trip
  EXPECT_FALSE(f->SB_PGRAF->Enabled);
  EXPECT_FALSE(f->ZD[2]->Visible);
  const int slot = *LineTableSlot(f->Lines()[1]);
  auto seconds = [&] { return std::vector<uint32_t>(std::begin(TripZoneTable[slot].Seconds), std::end(TripZoneTable[slot].Seconds)); };
  const auto before = seconds();
  f->SB_TGRAF->DoClick();
  EXPECT_EQ(TripZoneTable[slot].ZoneSet, 1);
  EXPECT_EQ(TripZoneTable[slot].Mark, kTableMark);
  EXPECT_NE(seconds(), before);
  EXPECT_EQ(f->LKennung_TB->Caption, f->UiText[11]);
  EXPECT_EQ(f->Series[0]->Count(), 3);
}

TEST_F(EvaluationWindow, SummaryFontStopsShrinkingAtSixPoints) {
  Open({1, 2, 3});
  f->SetClientSize(200, 400);
  f->FormResize(f);
  f->SB_AWZ->DoClick();
  EXPECT_EQ(f->ZD[1]->Font.Size, 6);
  f->SetClientSize(1400, 600);
  f->FormResize(f);
  EXPECT_EQ(f->ZD[1]->Font.Size, 10);
}

}  // namespace
}  // namespace tav
