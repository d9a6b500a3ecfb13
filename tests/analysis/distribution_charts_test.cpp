#include "analysis/distribution_charts.h"

#include <gtest/gtest.h>

#include "core/core_test_util.h"
#include "core/statistics.h"
#include "core/trip_file.h"
#include "analysis/distribution_model.h"
#include "openers/openers.h"
#include "platform/text.h"
#include "viewing/form_snapshot.h"

namespace tav {
namespace {

using namespace testing_core;

class DistributionChartsTest : public CoreFixture {
 protected:
  void SetUp() override {
    CoreFixture::SetUp();
    Form34 = new TForm34();
    Form34->SetActualClientSize(1000 - TForm::kFrameWidth, 700 - TForm::kFrameHeight);
    // One real trip in the rider's folder, listed in the selection.
    const std::vector<TripSample> t = DemoRide(3, 2400);
    float zone[kZoneBlockWords] = {5555.0f, 140, 190, 225, 260, 300, 375};
    ASSERT_TRUE(WriteFileAtomically(FsPath(JoinPath(RiderDir, "20140301_093000_0_TAV.DEO")),
                                    EncodeDeoBytes(t.data(), static_cast<int>(t.size()), zone, ScaleMax,
                                                   "", false, nullptr)));
    SelectedTrips.Assign(std::vector<std::string>{"20140228_1800NR3_X;009;*gym", "20140301_093000_0_TAV;005;*Hill ride|~\xA7" "x"});
    ScanList = &SelectedTrips;
    LoadIntoCurrent(t);
    std::copy(std::begin(zone), std::end(zone), TripZoneBlock);
    ComputeZoneTimes(nullptr, 5, 0);
    ComputeTripDistribution(5);
    ZoneCount = 7;
  }
  void TearDown() override {
    snapshot::DeleteForm(Form34);
    CoreFixture::TearDown();
  }
  static void Open(const std::string& caption, int line = -1) {
    Form34->Hide();
    Form34->NextItemLine = line;
    Form34->Caption = caption;
    Form34->Show();
  }
};

TEST_F(DistributionChartsTest, ActivationFillsTheChartsAndNamesTheSelectionLine) {
  Open("Time = 00:40:00   01.03.2014 - 09:30", 1);
  EXPECT_EQ(Form34->BarSeries1->Count(), 51);
  EXPECT_GT(Form34->BarSeries2->Count(), 3);
  EXPECT_EQ(Form34->Series1->Count(), 4);
  EXPECT_EQ(Form34->Series1->YValue(0), DistributionView.Peaks[0]);
  double sum = 0;
  for (double v : Form34->BarSeries3->YValues()) sum += v;
  EXPECT_NEAR(sum, 100.0, 1e-6);
  EXPECT_EQ(Form34->Caption, "Time = 00:40:00   01.03.2014 - 09:30   005,*Hill ride");
  // Later activations keep the caption as it is; a new opener replaces it.
  Form34->Hide();
  Form34->Show();
  EXPECT_EQ(Form34->Caption, "Time = 00:40:00   01.03.2014 - 09:30   005,*Hill ride");
  EXPECT_EQ(Form34->ShownItemLine, 1);
  Open("Time = 01:00:00   a day");
  EXPECT_EQ(Form34->Caption, "Time = 01:00:00   a day");
  EXPECT_EQ(Form34->ShownItemLine, -1);
  // The same base again, now for a selection line; a line outside the list adds nothing.
  Open("Time = 01:00:00   a day", 1);
  EXPECT_EQ(Form34->Caption, "Time = 01:00:00   a day   005,*Hill ride");
  Open("x", 7);
  EXPECT_EQ(Form34->Caption, "x");
  EXPECT_FALSE(snapshot::SaveFormPng(*Form34, "form34_distribution").empty());
}

TEST_F(DistributionChartsTest, ChannelCurveOnlyForATripOfTheSelection) {
  for (int line : {-1, 0}) {  // a day of the calendar; a manual line
    Open("caption", line);
    Form34->Ch_RO->DoClick();
    EXPECT_FALSE(Form34->Ch_LO2->Visible) << line;
  }
  // A trip of the selection: every record over its distance.
  Open("caption", 1);
  Form34->Ch_LU->DoClick();
  ASSERT_TRUE(Form34->Ch_LO2->Visible);
  EXPECT_EQ(Form34->Series3->Count(), TripSampleCount - 1);
  EXPECT_EQ(Form34->Ch_LO2->LeftAxis.Title, "HR [ 1/min]");
  EXPECT_NEAR(Form34->Ch_LO2->BottomAxis.Maximum(), TripSamples[TripSampleCount - 1].Distance, 1e-4);
  EXPECT_GT(Form34->CurveAltitudeMax, Form34->CurveAltitudeMin);
  EXPECT_FALSE(snapshot::SaveFormPng(*Form34, "form34_curve").empty());
  Form34->Ch_LO2->DoDblClick();
  EXPECT_FALSE(Form34->Ch_LO2->Visible);
  // A selection that changed since the opening, and a trip file that is gone.
  SelectedTrips.Assign(std::vector<std::string>{"20140301_093000_0_TAV;005;*Hill ride"});
  Form34->Ch_RO->DoClick();
  EXPECT_FALSE(Form34->Ch_LO2->Visible);
  std::filesystem::remove(FsPath(JoinPath(RiderDir, "20140301_093000_0_TAV.DEO")));
  Open("caption", 0);
  Form34->Ch_RO->DoClick();
  EXPECT_FALSE(Form34->Ch_LO2->Visible);
}

// Opened from a point of the evaluation (the overview names the line, the
// trip's sum fills the record), then shown again after the diary made a new
// selection and filled the record of another trip: the caption, the bars and
// the curve stay those of the trip the window was opened for.
TEST_F(DistributionChartsTest, ShownAgainAfterANewSelectionKeepsTheTripItWasOpenedFor) {
  const std::vector<TripSample> other = DemoRide(9, 900);
  ASSERT_TRUE(WriteFileAtomically(FsPath(JoinPath(RiderDir, "20140305_180000_0_TAV.DEO")),
                                  EncodeDeoBytes(other.data(), static_cast<int>(other.size()), nullptr, ScaleMax,
                                                 "", false, nullptr)));
  const DistributionData hill = TripDistributionTable[5].Data;
  SetDistributionItemLine(1);
  ShowDistributionSums("Time = 00:40:00   01.03.2014 - 09:30");
  SetDistributionItemLine(-1);
  const std::string opened = "Time = 00:40:00   01.03.2014 - 09:30   005,*Hill ride";
  ASSERT_EQ(Form34->Caption, opened);

  // The new selection holds another trip at the same place; its record is
  // what the diary left in DistributionView.
  SelectedTrips.Assign(std::vector<std::string>{"20140228_1800NR3_X;009;*gym", "20140305_180000_0_TAV;006;*Flat"});
  LoadIntoCurrent(other);
  ComputeTripDistribution(6);
  ASSERT_NE(DistributionView.Peaks[0], hill.Peaks[0]);
  Form34->Hide();
  Form34->Show();
  EXPECT_EQ(Form34->Caption, opened);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(Form34->Series1->YValue(k), hill.Peaks[k]) << k;
  // Power bar of 20 + 10 x 15 = 170 W: its share of the ride's time.
  uint64_t total = 0;
  for (uint32_t v : hill.PowerHist) total += v;
  ASSERT_GT(total, 0u);
  EXPECT_NEAR(Form34->BarSeries1->YValue(15), hill.PowerHist[15] * 100.0 / static_cast<double>(total), 1e-9);
  // No curve of the other trip; with the line back in its place, the curve
  // of the trip the caption names.
  Form34->Ch_RO->DoClick();
  EXPECT_FALSE(Form34->Ch_LO2->Visible);
  SelectedTrips.Assign(std::vector<std::string>{"20140228_1800NR3_X;009;*gym", "20140301_093000_0_TAV;005;*Hill ride|~\xA7" "x"});
  Form34->Ch_RO->DoClick();
  ASSERT_TRUE(Form34->Ch_LO2->Visible);
  EXPECT_EQ(Form34->Series3->Count(), static_cast<int>(DemoRide(3, 2400).size()) - 1);  // records 1 .. of the hill ride
  EXPECT_EQ(Form34->Caption, opened);

  // A new opening (from another window: this one is not the active one)
  // takes the new record under an unchanged caption.
  Form34->Hide();
  ShowDistributionSums("Time = 00:40:00   01.03.2014 - 09:30");
  EXPECT_EQ(Form34->Series1->YValue(0), TripDistributionTable[6].Data.Peaks[0]);
  EXPECT_EQ(Form34->Caption, "Time = 00:40:00   01.03.2014 - 09:30");
}

TEST_F(DistributionChartsTest, AxisEditsAndWidening) {
  Open("caption", 1);
  TChart* chart = Form34->Ch_MU;
  chart->DoMouseDown(TMouseButton::mbLeft, ssLeft, 10, 10);
  ASSERT_TRUE(Form34->E_MU->Visible);
  EXPECT_EQ(ToInt(Form34->E_MU->Text), static_cast<int>(chart->LeftAxis.Maximum()));
  chart->DoClick();  // the press opened the editor: no curve
  EXPECT_FALSE(Form34->Ch_LO2->Visible);
  struct Row {
    const char* typed;
    double max;  // 0: unchanged
  };
  const Row rows[] = {{"12,5", 12.5}, {"abc", 0}, {"-4", 0}, {"0", 0}, {" 40", 40}};
  for (const Row& r : rows) {
    const double before = chart->LeftAxis.Maximum();
    chart->DoMouseDown(TMouseButton::mbLeft, ssLeft, 10, 10);
    Form34->E_MU->Text.clear();
    for (const char* c = r.typed; *c; ++c) Form34->E_MU->DoType(*c);
    WORD enter = VK_RETURN;
    Form34->E_MU->DoKeyDown(enter, 0);
    EXPECT_FALSE(Form34->E_MU->Visible) << r.typed;
    EXPECT_DOUBLE_EQ(chart->LeftAxis.Maximum(), r.max ? r.max : before) << r.typed;
  }
  // Widen and back.
  const TRect normal = chart->BoundsRect();
  Form34->SB_MU->DoClick();
  EXPECT_EQ(chart->Left, 3);
  EXPECT_EQ(chart->Width, Form34->ClientWidth() - 10);
  EXPECT_EQ(Form34->SB_MU->Left, chart->Width - Form34->SB_MU->Width - 3);
  EXPECT_EQ(Form34->SB_MU->Glyph, Form34->SB_0->Glyph);
  Form34->SB_MU->DoClick();
  EXPECT_EQ(chart->BoundsRect(), normal);
  EXPECT_EQ(Form34->SB_MU->Tag, 0);
}

TEST_F(DistributionChartsTest, ZoneColoursUnderAndBehindThePowerBars) {
  for (int k = 0; k < 7; ++k) ZoneColors[k] = RGBColor(20 + 30 * k, 200 - 20 * k, 90);
  Open("caption");
  TChart* chart = Form34->Ch_RO;
  const std::vector<ZoneBand> bands = ZoneBands(DistributionView.ZoneLimits, ZoneCount,
                                                chart->BottomAxis.StartPos(), chart->BottomAxis.Length());
  ASSERT_GE(bands.size(), 5u);
  const ZoneBand& b = bands[2];
  const int x = (b.Left + b.Right) / 2;
  const int strip = chart->LeftAxis.EndPos() + 3;
  const int high = chart->LeftAxis.StartPos() + 2;  // above every bar
  for (int clicks : {0, 1, 2}) {
    if (clicks > 0) chart->DoDblClick();
    TBitmap bmp(chart->Width, chart->Height);
    chart->Paint(bmp.Canvas());
    EXPECT_EQ(bmp.Pixel(x, strip), ZoneColors[b.Zone]) << clicks;
    EXPECT_EQ(bmp.Pixel(x, high) == ZoneColors[b.Zone], clicks == 1) << clicks;
  }
}

}  // namespace
}  // namespace tav
