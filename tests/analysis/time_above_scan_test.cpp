#include "analysis/time_above_scan.h"

#include <gtest/gtest.h>

#include <set>

#include "analysis_test_util.h"
#include "../platform/contrast_reference.h"
#include "platform/canvas.h"
#include "core/trip_file.h"
#include "diary/diary_window.h"

namespace tav {
namespace {

TEST(TimeAboveTest, ClassesOfEachChannel) {
  struct Row {
    int mode;
    float value;
    int cls;  // -1: not counted
  } rows[] = {
      {kAbovePower, 2499, 249}, {kAbovePower, 2500, -1}, {kAbovePower, 0, 0},
      {kAbovePower, -3, -1},    {kAboveHeartRate, 249.9f, 249}, {kAboveCadence, 90.5f, 90},
      {kAboveSpeed, 40, 24},    // x 0.62137 (miles)
      {kAbovePower, std::numeric_limits<float>::quiet_NaN(), -1},
  };
  for (const Row& r : rows) {
    TripSample t[2];
    t[1].Power = t[1].HeartRate = t[1].Cadence = t[1].Speed = r.value;
    auto h = TimeAboveHistogramOf(t, 2, r.mode, 0.62137);
    double total = 0;
    for (double c : h.counts) total += c;
    EXPECT_EQ(total, r.cls < 0 ? 0 : 1) << r.mode << " " << r.value;
    if (r.cls >= 0) {
      EXPECT_EQ(h.counts[static_cast<std::size_t>(r.cls)], 1) << r.value;
    }
  }
}

TEST(TimeAboveTest, CurveFallsFromTheTopClassAndLeavesClassZeroOut) {
  TimeAboveHistogram h;
  h.counts[0] = 5;    // never drawn
  h.counts[20] = 10;  // 200 W
  h.counts[30] = 3;   // 300 W
  auto time = TimeAboveCurve(h, kAbovePower, 2, 19, false);
  ASSERT_EQ(time.x.size(), 250u);
  EXPECT_EQ(time.y.front(), 2500);
  EXPECT_EQ(time.y.back(), 10);
  EXPECT_EQ(time.x[250 - 30], 6);   // at 300 W or above: 3 records x 2 s
  EXPECT_EQ(time.x[250 - 21], 6);
  EXPECT_EQ(time.x[250 - 20], 26);
  EXPECT_EQ(time.x.back(), 26);     // the 0-W records are missing
  auto share = TimeAboveCurve(h, kAboveHeartRate, 2, 20, true);
  EXPECT_EQ(share.y.back(), 1);
  EXPECT_DOUBLE_EQ(share.x.back(), 65.0);
}

TEST(TimeAboveTest, TimeLabelsAndValueAxis) {
  struct Row {
    int longest, width, step, count;
  } rows[] = {{36000, 650, 1800, 20}, {300, 650, 60, 5}, {3602, 650, 180, 21},
              {36000, 30, 1080000, 1}, {0, 650, 60, 0}};
  for (const Row& r : rows) {
    auto labels = TimeAboveTimeLabels(r.longest, r.width);
    ASSERT_EQ(static_cast<int>(labels.size()), r.count) << r.longest << " " << r.width;
    if (r.count > 1) {
      EXPECT_EQ(labels[1].x, r.step);
    }
  }
  auto labels = TimeAboveTimeLabels(3700, 2000);  // step 60
  EXPECT_EQ(labels[60].text, "1:00");
  EXPECT_EQ(labels[61].text, "1:01");
  EXPECT_EQ(TimeAbovePercentLabels().back().text, "100%");
  EXPECT_EQ(TimeAboveValueAxisMax(kAbovePower, 412), 422);
  EXPECT_EQ(TimeAboveValueAxisMax(kAboveSpeed, 50), 55);
}

using TimeAboveWindowTest = testing_analysis::WindowFixture;

// Every trip's curve has pixels of its own on the drawn chart (the eighth
// used to be white on the white chart, erasing the others where it ran).
TEST_F(TimeAboveWindowTest, EveryCurveOfEightTripsIsDrawn) {
  SelectedTrips.Clear();
  for (int k = 0; k < 8; ++k) {
    TripFileData d;
    d.Samples = testing_core::RampTrip(301 + 250 * k, 1);  // parallel curves below 2500 W
    const std::string key = "2014010" + std::to_string(1 + k) + "_100000_0_A";
    ASSERT_TRUE(WriteTripFile(FsPath(JoinPath(RiderDir, key + ".DEO")), d, false, nullptr));
    SelectedTrips.Add(key + ";001;*T" + std::to_string(k));
  }
  ScanList = &SelectedTrips;
  Form8->Show();
  TBitmap out(Form8->Chart->Width, Form8->Chart->Height);
  Form8->Chart->Paint(out.Canvas());
  const TRect plot = Form8->Chart->PlotRect();
  // Each trip in its own colour, drawn where it reads on the chart's
  // background (the first trip's yellow darkened on white).
  const TColor background = Form8->Chart->PlotBackground();
  EXPECT_EQ(background, ChartColors[0]);
  std::set<TColor> drawn;
  for (std::size_t k = 1; k <= 8; ++k) {
    const TColor colour = Form8->Chart->CurveColour(Form8->Series[k]->SeriesColor);
    EXPECT_GE(testing_contrast::Contrast(colour, background), 3.0) << "curve " << k;
    drawn.insert(colour);
    int pixels = 0;
    for (int y = plot.Top; y < plot.Bottom; ++y)
      for (int x = plot.Left; x < plot.Right; ++x) pixels += out.Pixel(x, y) == colour;
    EXPECT_GT(pixels, 20) << "curve " << k;
  }
  EXPECT_EQ(drawn.size(), 8u);
  EXPECT_EQ(Form8->Series[1]->SeriesColor, clYellow);  // the colour the window gives it stays
}

TEST_F(TimeAboveWindowTest, ScansUpToEightTripsAndKeepsATypedAxis) {
  TripFileData d;
  d.Samples = testing_core::RampTrip(1801, 2);  // power 101 .. 1900 W
  ASSERT_TRUE(WriteTripFile(FsPath(JoinPath(RiderDir, "20140101_100000_0_A.DEO")), d, false, nullptr));
  SelectedTrips.Clear();
  for (int i = 0; i < 9; ++i) SelectedTrips.Add("20140101_100000_0_A;001;*T" + std::to_string(i));
  SelectedTrips.Add("20140110_1000NR3_X;002;");
  ScanList = &SelectedTrips;
  Form8->Show();
  EXPECT_EQ(Form8->ItemCount, 8);
  EXPECT_EQ(Form8->Caption, "Analyze of 01.01.2014 - 10:00 to 01.01.2014 - 10:00");
  EXPECT_EQ(Form8->Series[8]->Title, "01.01.2014 - 10:00  T7");
  EXPECT_EQ(Form8->Chart->BottomAxis.Maximum(), 3602);
  EXPECT_EQ(Form8->Chart->TopAxis.Maximum(), 3602);  // curves and labels share one range
  EXPECT_EQ(Form8->Chart->LeftAxis.Maximum(), 1910);
  WORD enter = VK_RETURN;
  for (const char* typed : {"1e39", "400", "inf"}) {  // values no float holds are rejected
    Form8->E_SKA->Text = typed;
    Form8->E_SKA->DoKeyDown(enter, 0);
  }
  Form8->SB_UMSTClick(nullptr);  // percent view keeps the typed maximum
  EXPECT_EQ(Form8->Chart->LeftAxis.Maximum(), 400);
  EXPECT_EQ(Form8->Chart->BottomAxis.Maximum(), 100);
  Form8->SB_UMSTClick(nullptr);
  Form8->Hide();
  SelectedTrips.Clear();
  Form8->Show();  // an empty list: empty chart, caption without dates
  EXPECT_EQ(Form8->Caption, "Analyze of  to ");
  EXPECT_EQ(Form8->Series[1]->Count(), 0);
}

// The readout names the unit of the channel on view, in the time and in the
// percent view.
TEST_F(TimeAboveWindowTest, ReadoutUnitFollowsTheChannel) {
  TripFileData d;
  d.Samples = testing_core::RampTrip(1801, 2);
  ASSERT_TRUE(WriteTripFile(FsPath(JoinPath(RiderDir, "20140101_100000_0_A.DEO")), d, false, nullptr));
  SelectedTrips.Clear();
  SelectedTrips.Add("20140101_100000_0_A;001;*A");
  ScanList = &SelectedTrips;
  Form8->Show();
  const struct {
    void (TForm8::*click)(TControl*);
    int units;
    const char* unit;
  } rows[] = {{&TForm8::SB_POClick, 0, "[ W ] "},       {&TForm8::SB_PUClick, 0, "[ 1/min ] "},
              {&TForm8::SB_SPClick, 0, "[ km/h ] "},    {&TForm8::SB_SPClick, kUnitMiles, "[ mph ] "},
              {&TForm8::SB_RPMClick, 0, "[ 1/min ] "}, {&TForm8::SB_RPMClick, kUnitMiles, "[ 1/min ] "}};
  for (bool percent : {false, true}) {
    if (percent) Form8->SB_UMSTClick(nullptr);
    for (const auto& r : rows) {
      UnitFlags = r.units;
      (Form8->*r.click)(nullptr);
      const TRect plot = Form8->Chart->PlotRect();
      Form8->ChartMouseDown(nullptr, TMouseButton::mbLeft, 0, plot.Left + plot.Width() / 2,
                            plot.Top + plot.Height() / 2);
      ASSERT_TRUE(Form8->Show_Data->Visible);
      const std::string& text = Form8->Show_Data->Caption;
      EXPECT_TRUE(text.ends_with(std::string(" ") + r.unit)) << text;
      EXPECT_EQ(text.find('%') != std::string::npos, percent) << text;
    }
  }
}

// The user goes to the diary, selects other trips of another kind and comes
// back: the window still shows the trip it was opened with; the next
// opening takes the new list.
TEST_F(TimeAboveWindowTest, KeepsTheListItWasOpenedWith) {
  const struct {
    const char* key;
    int records;
  } trips[] = {{"20140101_100000_0_A", 1801}, {"20140102_100000_0_A", 601}};
  for (const auto& t : trips) {
    TripFileData d;
    d.Samples = testing_core::RampTrip(t.records, 2);
    ASSERT_TRUE(WriteTripFile(FsPath(JoinPath(RiderDir, std::string(t.key) + ".DEO")), d, false, nullptr));
  }
  const std::string a = std::string(trips[0].key) + ";001;*A", b = std::string(trips[1].key) + ";001;*B";
  SelectedTrips.Clear();
  SelectedTrips.Add(a);
  ScanList = &SelectedTrips;
  Form3->Show();
  Form3->SB_SEL_ALL->Tag = 0;  // all trips: every channel
  Form8->Show();
  const std::string caption = Form8->Caption;
  EXPECT_EQ(Form8->Chart->BottomAxis.Maximum(), 3602);

  Application().ActivateForm(Form3);
  SelectedTrips.Clear();
  SelectedTrips.Add(b);
  SelectedTrips.Add(b);
  Form3->SB_SEL_ALL->Tag = 2;  // heart-rate trips: no power, no cadence
  Application().ActivateForm(Form8);
  EXPECT_EQ(Form8->Lines(), std::vector<std::string>{a});
  EXPECT_EQ(Form8->Caption, caption);
  EXPECT_EQ(Form8->Chart->BottomAxis.Maximum(), 3602);
  EXPECT_EQ(Form8->Series[2]->Count(), 0);
  EXPECT_TRUE(Form8->SB_PO->Enabled);

  Application().ActivateForm(Form3);
  Form8->Show();  // opened again from the diary
  EXPECT_EQ(Form8->Lines(), (std::vector<std::string>{b, b}));
  EXPECT_EQ(Form8->Chart->BottomAxis.Maximum(), 1202);
  EXPECT_GT(Form8->Series[2]->Count(), 0);
  EXPECT_FALSE(Form8->SB_PO->Enabled);
}

}  // namespace
}  // namespace tav
