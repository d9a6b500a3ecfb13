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

namespace tav {
namespace {

// Two trips, one recorded every second and one every two seconds, each
// channel with values of its own; record k (1 .. n-1) of trip t holds
// power 200 + 10k + 100t, heart rate 90 + k + 20t, speed 20 + k/4 + 10t,
// cadence 40 + k + 5t.
struct AboveTrip {
  const char* key;
  int records, interval;
};
constexpr AboveTrip kAboveTrips[] = {{"20140101_100000_0_A", 121, 1}, {"20140102_100000_0_A", 61, 2}};

double AboveValue(int mode, int t, int k, bool miles) {
  switch (mode) {
    case kAbovePower: return 200 + 10 * k + 100 * t;
    case kAboveHeartRate: return 90 + k + 20 * t;
    case kAboveSpeed: return (20 + 0.25 * k + 10 * t) * (miles ? 0.62137 : 1.0);
    default: return 40 + k + 5 * t;
  }
}

class TimeAboveValuesTest : public testing_analysis::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    SelectedTrips.Clear();
    for (int t = 0; t < 2; ++t) {
      const AboveTrip& a = kAboveTrips[t];
      TripFileData d;
      d.Samples = testing_core::RampTrip(a.records, a.interval);
      for (int k = 1; k < a.records; ++k) {
        TripSample& s = d.Samples[static_cast<std::size_t>(k)];
        s.Power = static_cast<float>(200 + 10 * k + 100 * t);
        s.HeartRate = static_cast<float>(90 + k + 20 * t);
        s.Speed = static_cast<float>(20 + 0.25 * k + 10 * t);
        s.Cadence = static_cast<float>(40 + k + 5 * t);
        s.Altitude = 500.0f + k;
        s.Temperature = 11.0f;
      }
      ASSERT_TRUE(WriteTripFile(FsPath(JoinPath(RiderDir, std::string(a.key) + ".DEO")), d, false, nullptr));
      SelectedTrips.Add(std::string(a.key) + ";001;*T" + std::to_string(t));
    }
    ScanList = &SelectedTrips;
  }
};

// Every point of both curves, the axis ranges and titles of each channel, in
// metric and imperial units, in the time and in the percent view.
TEST_F(TimeAboveValuesTest, CurvesAxesAndTitlesOfEveryChannel) {
  struct Row {
    void (TForm8::*click)(TControl*);
    int mode, units;
    double left_max;
    const char *title, *left_title;
  } rows[] = {
      {&TForm8::SB_POClick, kAbovePower, 0, 1400 + 10, "Power  Time", "Power [W]"},
      {&TForm8::SB_PUClick, kAboveHeartRate, 0, 210 + 5, "HR     Time", "Pulse [1/min]"},
      {&TForm8::SB_SPClick, kAboveSpeed, 0, 50 + 5, "Speed  Time", "Speed [km/h]"},
      {&TForm8::SB_SPClick, kAboveSpeed, kUnitMiles, 50 * 0.62137 + 5, "Speed  Time", "Speed [mph]"},
      {&TForm8::SB_RPMClick, kAboveCadence, kUnitMiles, 160 + 10, "RPM    Time", "RPM [1/m]"},
      {&TForm8::SB_RPMClick, kAboveCadence, 0, 160 + 10, "RPM    Time", "RPM [1/m]"},
  };
  Form8->Show();
  for (bool percent : {false, true}) {
    if (percent) Form8->SB_UMSTClick(nullptr);
    for (const Row& r : rows) {
      UnitFlags = r.units;
      (Form8->*r.click)(nullptr);
      const std::string what = std::string(r.left_title) + (percent ? " %" : " s");
      EXPECT_EQ(Form8->Chart->Title.Text.Text(), std::string(r.title) + "\r\n") << what;
      EXPECT_EQ(Form8->Chart->LeftAxis.Title, r.left_title) << what;
      EXPECT_EQ(Form8->Chart->BottomAxis.Title, percent ? "Part  [%]" : "Time  [hh:mm]") << what;
      EXPECT_NEAR(Form8->Chart->LeftAxis.Maximum(), r.left_max, 1e-4) << what;
      EXPECT_EQ(Form8->Chart->LeftAxis.Minimum(), 0) << what;
      EXPECT_EQ(Form8->Chart->BottomAxis.Maximum(), percent ? 100 : 122) << what;  // 61 x 2 s
      const double step = r.mode == kAbovePower ? 10 : 1;
      for (int t = 0; t < 2; ++t) {
        const AboveTrip& a = kAboveTrips[t];
        const TChartSeries* s = Form8->Series[static_cast<std::size_t>(t + 1)];
        ASSERT_EQ(s->Count(), 250) << what;
        for (int j = 0; j < 250; ++j) {
          const int cls = 250 - j;
          int above = 0;
          for (int k = 1; k < a.records; ++k)
            above += std::floor(AboveValue(r.mode, t, k, r.units != 0) / step) >= cls;
          const double x = percent ? above * 100.0 / a.records : above * a.interval;
          ASSERT_NEAR(s->XValue(j), x, 1e-9) << what << " trip " << t << " class " << cls;
          ASSERT_EQ(s->YValue(j), cls * step) << what;
        }
      }
    }
  }
  UnitFlags = 0;
}

// The readout under the mouse: the time at the pointer in h:mm:ss, the
// value, the unit.
TEST_F(TimeAboveValuesTest, ReadoutTimeAndValue) {
  Form8->Show();
  Form8->SB_POClick(nullptr);
  Form8->E_SKA->Text = "1000";
  WORD enter = VK_RETURN;
  Form8->E_SKA->DoKeyDown(enter, 0);
  const TRect plot = Form8->Chart->PlotRect();
  Form8->ChartMouseDown(nullptr, TMouseButton::mbLeft, 0, plot.Left, plot.Top + plot.Height() / 2);
  const std::string& text = Form8->Show_Data->Caption;
  EXPECT_TRUE(text.starts_with("  0:00:00   > ")) << text;
  const double value = std::stod(text.substr(14));
  EXPECT_NEAR(value, 500, 2) << text;
  Form8->ChartMouseDown(nullptr, TMouseButton::mbLeft, 0, plot.Right - 1, plot.Bottom - 1);
  EXPECT_TRUE(Form8->Show_Data->Caption.starts_with("  0:02:0")) << Form8->Show_Data->Caption;
}

}  // namespace
}  // namespace tav
