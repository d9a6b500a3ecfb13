#include "analysis/grade_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis_test_util.h"
#include "../platform/contrast_reference.h"
#include "core/smoothing.h"
#include "core/trip_file.h"
#include "diary/diary_window.h"
#include "platform/canvas.h"
#include "platform/text.h"

namespace tav {
namespace {

TEST(GradeScanTest, ClassesClampBeforeConversion) {
  struct Row {
    double grade;
    int cls;
  } rows[] = {{15.04, 300}, {-15.06, 0}, {0.04, 150}, {0.06, 151}, {-0.06, 149},
              {1e30, 300},  {-1e30, 0},  {NAN, 150},  {INFINITY, 300}};
  for (const Row& r : rows) EXPECT_EQ(GradeClass(r.grade), r.cls) << r.grade;
}

// Records 1..n-1 0.01 km apart, climbing 1 m per record (10 %), except a
// stretch where the distance stands still.
std::vector<TripSample> Climb(int n, int still_from, int still_to) {
  std::vector<TripSample> t(static_cast<std::size_t>(n));
  double d = 0;
  for (int i = 1; i < n; ++i) {
    if (i < still_from || i > still_to) d += 0.01;
    t[static_cast<std::size_t>(i)].Distance = static_cast<float>(d);
  }
  return t;
}

TEST(GradeScanTest, RecordGradesOfOneAndOfSeveralTrips) {
  const int n = 60;
  auto t = Climb(n, 20, 40);
  std::vector<SmoothSample> smooth(n);
  for (int i = 0; i < n; ++i) smooth[static_cast<std::size_t>(i)][kSmoothAltitude] = static_cast<float>(i);
  std::vector<float> one(n), several(n), clamped(n);
  RecordGrades(t.data(), smooth.data(), n, true, 0, one.data());
  RecordGrades(t.data(), smooth.data(), n, false, 0, several.data());
  RecordGrades(t.data(), smooth.data(), n, false, 20, clamped.data());
  EXPECT_NEAR(one[10], 10, 1e-3);     // 14 m over 0.14 km
  EXPECT_NEAR(one[30], one[29], 1e-6);  // 14 records standing: the gradient before repeats
  EXPECT_NEAR(one[25], one[24], 1e-6);  // 0.01 km is no more than 0.02 km: no 140 % spike
  EXPECT_EQ(several[30], 0);          // no distance: 0
  EXPECT_EQ(one[9], 0);
  EXPECT_EQ(one[50], 0);              // records n-10.. are not scanned
  EXPECT_NEAR(one[39], 23.33, 0.01);  // 14 m over 0.06 km
  EXPECT_FLOAT_EQ(clamped[39], 20);
  auto sums = GradeClassSumsOf(t.data(), one.data(), n);
  int records = 0;
  for (int r : sums.records) records += r;
  EXPECT_EQ(records, 40);             // records 10..49
}

TEST(GradeScanTest, CumulativeCurves) {
  GradeClassSums sums;
  sums.distance[250] = 1;   // +10 %
  sums.records[250] = 1;
  sums.distance[100] = 3;   // -5 %
  sums.records[100] = 3;
  auto steep = GradeCurveFromSteep(sums);
  EXPECT_EQ(steep.x, (std::vector<double>{1, 4}));
  EXPECT_NEAR(steep.y[0], 10, 1e-9);
  auto flat = GradeCurveFromFlat(sums);
  EXPECT_EQ(flat.x, (std::vector<double>{3, 4}));
  EXPECT_NEAR(flat.y[0], -5, 1e-9);
  auto share = GradeCurveByShare(sums, 8, 16);  // 1/8 and 3/8 of 16 km
  EXPECT_EQ(share.x, (std::vector<double>{2, 8}));
}

TEST(GradeScanTest, ZoomStaysWithinTheTrip) {
  struct Row {
    const char* op;
    ZoomWindow in;
    double start, width;
  } rows[] = {
      {"in+ctrl", {4, 6}, 4.525, 1.05}, {"in", {4, 1.9}, 4, 1.9}, {"in", {4, 6}, 5.5, 3},
      {"out", {4, 2}, 2, 4},            {"out", {1, 8}, 0, 10},   {"out+ctrl", {3, 2}, 0, 10},
      {"right", {6, 3}, 7, 3},          {"left", {1, 3}, 0, 3},   {"in+ctrl", {9.5, 0.5}, 8.95, 1.05},
  };
  const double total = 10;
  for (const Row& r : rows) {
    const std::string op = r.op;
    const bool ctrl = op.find("ctrl") != std::string::npos;
    ZoomWindow w = op.rfind("in", 0) == 0    ? ZoomIn(r.in, ctrl, total)
                   : op.rfind("out", 0) == 0 ? ZoomOut(r.in, ctrl, total)
                   : op == "right"           ? PanRight(r.in, total)
                                             : PanLeft(r.in, total);
    EXPECT_NEAR(w.start, r.start, 1e-9) << op;
    EXPECT_NEAR(w.width, r.width, 1e-9) << op;
  }
}

TEST(GradeScanTest, ProfileGearAndColourHelpers) {
  ProfileScale s(100, 300, -16, 16);
  EXPECT_DOUBLE_EQ(s(100), -16);
  EXPECT_DOUBLE_EQ(s(300), 16);
  EXPECT_DOUBLE_EQ(ProfileScale(5, 5, -16, 16)(7), -14);  // flat: scale 1
  std::vector<TripSample> t(4);
  t[2].Speed = 30;
  t[2].Cadence = 90;
  t[3].Speed = 20;
  auto gear = GearHeights(t.data(), 4, 100);
  EXPECT_EQ(gear[1], 0);
  EXPECT_NEAR(gear[2], 33.333, 1e-3);
  EXPECT_EQ(gear[3], gear[2]);
  EXPECT_EQ(CadenceColor(0, 100), RGBColor(0, 55, 0));
  EXPECT_EQ(CadenceColor(100, 100), RGBColor(0, 255, 0));
  EXPECT_EQ(CadenceColor(150, 100), RGBColor(0, 255, 0));
  EXPECT_EQ(CadenceColor(-500, 100), RGBColor(0, 0, 0));
  EXPECT_EQ(CadenceColor(0, 0), RGBColor(0, 55, 0));
  EXPECT_EQ(DistanceLabels(0, 10, 0).size(), 2u);
  EXPECT_EQ(DistanceLabels(0, 10, 4)[1].text, "  2.50");
  EXPECT_EQ(DistanceLabelCount(10), 1);
}

class GradeWindowTest : public testing_analysis::WindowFixture {
 protected:
  void List(int trips) {
    SelectedTrips.Clear();
    for (int i = 0; i < trips; ++i) {
      const std::string key = "2014010" + std::to_string(1 + i % 9) + "_100000_0_A";
      TripFileData d;
      d.Samples = testing_core::DemoRide(static_cast<uint32_t>(7 + i), 1800);
      ASSERT_TRUE(WriteTripFile(FsPath(JoinPath(RiderDir, key + ".DEO")), d, false, nullptr));
      SelectedTrips.Add(key + ";001;*T" + std::to_string(i));
    }
    ScanList = &SelectedTrips;
  }
};

TEST_F(GradeWindowTest, OneTripViews) {
  List(1);
  Form51->Show();
  EXPECT_EQ(Form51->Caption, "01.01.2014 - 10:00  T0");
  EXPECT_GT(Form51->Series[3]->Count(), 10);  // sorted from plus to minus
  EXPECT_TRUE(Form51->SB_SK->Visible);
  Form51->SB_ALTClick(nullptr);  // the profile
  EXPECT_TRUE(Form51->ProfileFlag);
  EXPECT_GT(Form51->Series[1]->Count(), 1000);
  Form51->MetricClick(kGradeCadence);
  EXPECT_EQ(Form51->SB_SR->Tag, 10);
  EXPECT_EQ(Form51->Series[8]->Count(), 33);  // gradient axis -16..16
  EXPECT_DOUBLE_EQ(Form51->Chart->RightAxis.Minimum(), Form51->MetricMin);
  EXPECT_DOUBLE_EQ(Form51->Chart->RightAxis.Maximum(), Form51->MetricMax);
  Form51->SB_SRClick(nullptr);  // the gear curve, once
  EXPECT_GT(Form51->Series[4]->Count(), 0);
  EXPECT_EQ(Form51->MetricMin, 0);
  EXPECT_EQ(Form51->SB_SR->Tag, 10);
  Form51->MetricClick(kGradeCadence);
  EXPECT_EQ(Form51->Series[4]->Count(), 0);
  Form51->CB_G_PO->DoSelect(2);
  EXPECT_EQ(Form51->SmoothLevels[kGradeCadence], 2);
  Form51->E_SKA->Text = "12";
  WORD enter = VK_RETURN;
  Form51->E_SKA->DoKeyDown(enter, 0);
  EXPECT_EQ(Form51->Chart->LeftAxis.Minimum(), -12);
  EXPECT_EQ(Form51->Series[8]->Count(), 25);
  Form51->SB_SKClick(nullptr);  // channel against gradient
  EXPECT_TRUE(Form51->Ch_SK->Visible);
  EXPECT_FALSE(Form51->Chart->Visible);
  EXPECT_EQ(Form51->Series10->Count(), Form51->Trip.Count() - 20);
  Form51->SB_SKClick(nullptr);
  EXPECT_TRUE(Form51->Chart->Visible);
  EXPECT_FALSE(Form51->ProfileFlag);
}

// Every trip's curve has pixels of its own on the drawn chart, the eighth
// too, also after a metric view of one trip borrowed its series for the
// right-axis labels.
TEST_F(GradeWindowTest, EveryCurveOfEightTripsIsDrawn) {
  auto expect_every_curve = [&](const char* when) {
    TBitmap out(Form51->Chart->Width, Form51->Chart->Height);
    Form51->Chart->Paint(out.Canvas());
    for (std::size_t k = 1; k <= 8; ++k) {
      const TColor colour = Form51->Chart->CurveColour(Form51->Series[k]->SeriesColor);  // as drawn
      EXPECT_GE(testing_contrast::Contrast(colour, Form51->Chart->PlotBackground()), 3.0) << k;
      const TRect plot = Form51->Chart->PlotRect();  // the legend has swatches
      int pixels = 0;
      for (int y = plot.Top; y < plot.Bottom; ++y)
        for (int x = plot.Left; x < plot.Right; ++x) pixels += out.Pixel(x, y) == colour;
      EXPECT_GT(pixels, 20) << "curve " << k << " " << when;
    }
  };
  List(8);
  Form51->Show();
  expect_every_curve("at first");
  Form51->Hide();
  List(1);
  Form51->Show();
  Form51->SB_ALTClick(nullptr);
  Form51->MetricClick(kGradeCadence);
  EXPECT_FALSE(Form51->Series[8]->LinesVisible);
  Form51->Hide();
  List(8);
  Form51->Show();
  expect_every_curve("after a metric view");
}

TEST_F(GradeWindowTest, SeveralTripsAndSmallCharts) {
  List(9);
  Form51->Show();
  EXPECT_EQ(Form51->ItemCount, 8);
  EXPECT_EQ(Form51->Series[8]->Title, "08.01.2014 - 10:00  T7");
  EXPECT_EQ(Form51->Series[8]->VertAxis, TVertAxis::aLeftAxis);
  EXPECT_FALSE(Form51->SB_SK->Visible);
  Form51->Hide();
  List(4);
  Form51->Show();
  EXPECT_TRUE(Form51->SB_SK->Visible);
  {  // each trip's curve comes from its altitude smoothed at level 2
    TripFileData t;
    ASSERT_EQ(ReadTripFile(FsPath(JoinPath(RiderDir, "20140101_100000_0_A.DEO")), t, nullptr), TripReadError::None);
    std::vector<SmoothSample> smooth(static_cast<std::size_t>(t.Count()));
    SmoothColumnOf(t.Samples.data(), t.Count(), smooth.data(), kSmoothAltitude, HalfWidthOfLevel(2));
    std::vector<float> grade(smooth.size());
    RecordGrades(t.Samples.data(), smooth.data(), t.Count(), false, 0, grade.data());
    const CurvePoints want = GradeCurveFromSteep(GradeClassSumsOf(t.Samples.data(), grade.data(), t.Count()));
    TChartSeries& got = *Form51->Series[1];
    ASSERT_EQ(got.Count(), static_cast<int>(want.y.size()));
    for (int i = 0; i < got.Count(); ++i) {
      EXPECT_DOUBLE_EQ(got.XValue(i), want.x[static_cast<std::size_t>(i)]) << i;
      EXPECT_DOUBLE_EQ(got.YValue(i), want.y[static_cast<std::size_t>(i)]) << i;
    }
  }
  Form51->SB_SKClick(nullptr);
  EXPECT_EQ(Form51->SB_SK->Tag, 14);
  for (TChart* c : Form51->Ch) {
    EXPECT_TRUE(c->Visible);
    EXPECT_GT(c->Series(0)->Count(), 100);
    EXPECT_EQ(c->LeftAxis.Maximum(), Form51->Ch[0]->LeftAxis.Maximum());  // one scale
    EXPECT_LE(c->LeftAxis.Maximum(), 20.0 + 1e-9);
  }
  Form51->MetricClick(kGradePower);
  EXPECT_EQ(Form51->CurrentMetric, kGradePower);
  Form51->SB_SKClick(nullptr);
  EXPECT_EQ(Form51->SB_SK->Tag, 0);
  EXPECT_FALSE(Form51->Ch[0]->Visible);
  EXPECT_TRUE(Form51->Chart->Visible);
}

// F1 puts the small charts of several trips on one scale (their axes and
// the range each chart's second series spans); elsewhere it changes nothing
// (and is consumed everywhere).
TEST_F(GradeWindowTest, F1ActsOnlyOnTheSmallCharts) {
  auto press_f1 = [] {
    WORD key = VK_F1;
    Form51->FormKeyDown(nullptr, key, 0);
    EXPECT_EQ(key, 0);
  };
  List(3);
  Form51->Show();
  Form51->SB_SKClick(nullptr);  // the small charts
  ASSERT_EQ(Form51->SB_SK->Tag, 13);
  Form51->Ch[1]->LeftAxis.SetMinMax(-40, 30);
  Form51->Ch[2]->BottomAxis.SetMinMax(-5, 900);
  press_f1();
  for (std::size_t i = 0; i < 3; ++i) {
    const TChart& c = *Form51->Ch[i];
    EXPECT_EQ(c.LeftAxis.Minimum(), -40) << i;
    EXPECT_EQ(c.LeftAxis.Maximum(), 30) << i;
    EXPECT_EQ(c.BottomAxis.Minimum(), -5) << i;
    EXPECT_EQ(c.BottomAxis.Maximum(), 900) << i;
    ASSERT_EQ(c.Series(1)->Count(), 2) << i;
    EXPECT_EQ(c.Series(1)->XValue(1), 900) << i;
  }

  // The several-trip curves and the one-trip channel view.
  auto press_f1_elsewhere = [&] {
    TChart& c = *Form51->Ch[0];
    c.Series(1)->Clear();
    c.LeftAxis.SetMinMax(-50, 10);
    press_f1();
    EXPECT_EQ(c.Series(1)->Count(), 0);
    EXPECT_EQ(c.LeftAxis.Minimum(), -50);
  };
  Form51->SB_SKClick(nullptr);
  ASSERT_EQ(Form51->SB_SK->Tag, 0);
  press_f1_elsewhere();
  Form51->Hide();
  List(1);
  Form51->Show();
  Form51->SB_SKClick(nullptr);
  ASSERT_TRUE(Form51->Ch_SK->Visible);
  press_f1_elsewhere();
}

// The smoothing combo sets the level of the metric on view and draws it
// again: at level 0 the heart-rate curve spans the raw values; the cadence
// level stays.
TEST_F(GradeWindowTest, SmoothingComboRedrawsTheMetricOnView) {
  List(1);
  float raw_lo = 1e9f, raw_hi = 0;
  const auto ride = testing_core::DemoRide(7, 1800);
  for (std::size_t i = 1; i < ride.size(); ++i) {
    raw_lo = std::min(raw_lo, ride[i].HeartRate);
    raw_hi = std::max(raw_hi, ride[i].HeartRate);
  }
  Form51->Show();
  Form51->SB_ALTClick(nullptr);
  Form51->MetricClick(kGradeHeartRate);
  EXPECT_EQ(Form51->CB_G_PO->ItemIndex, 6);
  const double smoothed_hi = Form51->MetricMax;
  EXPECT_LT(smoothed_hi, raw_hi);
  EXPECT_GT(Form51->MetricMin, raw_lo);
  const std::vector<double> smoothed_curve(Form51->Series[5]->YValues().begin(),
                                           Form51->Series[5]->YValues().end());
  ASSERT_GT(smoothed_curve.size(), 1000u);
  Form51->CB_G_PO->DoSelect(0);
  EXPECT_EQ(Form51->SmoothLevels[kGradeHeartRate], 0);
  EXPECT_EQ(Form51->SmoothLevels[kGradeCadence], 6);
  EXPECT_EQ(Form51->CurrentMetric, kGradeHeartRate);
  EXPECT_EQ(Form51->MetricMax, raw_hi);
  EXPECT_EQ(Form51->MetricMin, raw_lo);
  ASSERT_EQ(Form51->Series[5]->Count(), static_cast<int>(smoothed_curve.size()));
  EXPECT_FALSE(std::equal(smoothed_curve.begin(), smoothed_curve.end(), Form51->Series[5]->YValues().begin()));
  Form51->MetricClick(kGradePower);  // each metric keeps its own level
  EXPECT_EQ(Form51->CB_G_PO->ItemIndex, 6);
}

// Coming back from the diary, where other trips were selected, keeps the
// one-trip views of the trip the window was opened with; the next opening
// takes the new list.
TEST_F(GradeWindowTest, KeepsTheListItWasOpenedWith) {
  List(1);
  const std::vector<std::string> opened = SelectedTrips.Lines();
  Form3->Show();
  Form51->Show();
  EXPECT_EQ(Form51->Caption, "01.01.2014 - 10:00  T0");
  const int curve = Form51->Series[3]->Count();
  List(3);
  Application().ActivateForm(Form3);
  Application().ActivateForm(Form51);
  EXPECT_EQ(Form51->Lines(), opened);
  EXPECT_EQ(Form51->Caption, "01.01.2014 - 10:00  T0");
  EXPECT_EQ(Form51->ItemCount, 1);
  EXPECT_EQ(Form51->Series[3]->Count(), curve);
  Form51->SB_ALTClick(nullptr);  // the profile reads the same trip
  EXPECT_EQ(Form51->Caption, "01.01.2014 - 10:00  T0");
  EXPECT_GT(Form51->Series[1]->Count(), 1000);

  Application().ActivateForm(Form3);
  Form51->Show();
  EXPECT_EQ(Form51->ItemCount, 3);
  EXPECT_EQ(Form51->Series[3]->Title, "03.01.2014 - 10:00  T2");
}

}  // namespace
}  // namespace tav

namespace tav {
namespace {

// A made-up trip of 121 records a second apart, 10 m each: 3 % up for the
// first 60 records, then 2 % down; every channel with values of its own.
std::vector<TripSample> ClimbTrip() {
  auto t = testing_core::RampTrip(121, 1);
  for (int k = 1; k < 121; ++k) {
    TripSample& s = t[static_cast<std::size_t>(k)];
    s.Distance = 0.01f * static_cast<float>(k);
    s.Altitude = k <= 60 ? 200.0f + 0.3f * static_cast<float>(k) : 218.0f - 0.2f * static_cast<float>(k - 60);
    s.Power = 150.0f + 2.0f * static_cast<float>(k);
    s.HeartRate = 130.0f + static_cast<float>(k % 11);
    s.Speed = 20.0f + static_cast<float>(k % 13);
    s.Cadence = k % 17 == 0 ? 0.0f : 70.0f + static_cast<float>(k % 9);
    s.Temperature = 15.0f;
  }
  return t;
}

std::vector<double> Smoothed(const std::vector<TripSample>& t, SmoothColumn column, int level) {
  std::vector<SmoothSample> out(t.size());
  SmoothColumnOf(t.data(), static_cast<int>(t.size()), out.data(), column, HalfWidthOfLevel(level));
  std::vector<double> v(t.size());
  for (std::size_t i = 0; i < t.size(); ++i) v[i] = out[i][column];
  return v;
}

class GradeValuesTest : public testing_analysis::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    trip_ = ClimbTrip();
    TripFileData d;
    d.Samples = trip_;
    ASSERT_TRUE(WriteTripFile(FsPath(JoinPath(RiderDir, "20140101_100000_0_A.DEO")), d, false, nullptr));
    SelectedTrips.Clear();
    SelectedTrips.Add("20140101_100000_0_A;001;*Climb");
    ScanList = &SelectedTrips;
    // The gradients by the plain definition: altitude smoothed over 7
    // records each side, 14-record windows.
    const std::vector<double> a = Smoothed(trip_, kSmoothAltitude, 4);
    const int n = static_cast<int>(trip_.size());
    grade_.assign(trip_.size(), 0.0f);
    for (int i = 10; i <= n - 11; ++i) {
      const double dd = static_cast<double>(trip_[static_cast<std::size_t>(i + 7)].Distance) -
                        trip_[static_cast<std::size_t>(i - 7)].Distance;
      grade_[static_cast<std::size_t>(i)] =
          static_cast<float>(0.1 * (a[static_cast<std::size_t>(i + 7)] - a[static_cast<std::size_t>(i - 7)]) / dd);
    }
    altitude_ = a;
  }
  std::vector<TripSample> trip_;
  std::vector<float> grade_;
  std::vector<double> altitude_;
};

// The three cumulative curves of one trip, their titles, the distance axis
// and labels, and the readout of gradient, distance and share.
TEST_F(GradeValuesTest, OneTripCurvesAxesAndReadout) {
  Form51->Show();
  const int n = static_cast<int>(trip_.size());
  EXPECT_NEAR(grade_[30], 3.0, 1e-3);  // the made-up climb
  EXPECT_NEAR(grade_[100], -2.0, 1e-3);
  std::array<double, 301> km{};
  std::array<int, 301> records{};
  for (int i = 10; i <= n - 11; ++i) {
    int c = static_cast<int>(std::trunc(grade_[static_cast<std::size_t>(i)] * 10.0 + 150.5));
    c = std::clamp(c, 0, 300);
    km[static_cast<std::size_t>(c)] += static_cast<double>(trip_[static_cast<std::size_t>(i)].Distance) -
                                       trip_[static_cast<std::size_t>(i - 1)].Distance;
    ++records[static_cast<std::size_t>(c)];
  }
  const double total = trip_.back().Distance;
  struct Row {
    std::size_t series;
    const char* title;
    bool from_steep, by_share;
  } rows[] = {{3, "Sorted from plus to minus", true, false},
              {2, "Sorted from minus to plus", false, false},
              {4, "Ordered by time", true, true}};
  for (const Row& r : rows) {
    const TChartSeries& s = *Form51->Series[r.series];
    EXPECT_EQ(s.Title, r.title);
    EXPECT_TRUE(s.ShowInLegend);
    std::vector<double> xs, ys;
    double run = 0;
    for (int j = 0; j <= 300; ++j) {
      const int c = r.from_steep ? 300 - j : j;
      const auto cc = static_cast<std::size_t>(c);
      const bool used = r.by_share ? records[cc] > 0 : km[cc] > 0;
      run += r.by_share ? static_cast<double>(records[cc]) / n * total : km[cc];
      if (used) {
        xs.push_back(run);
        ys.push_back(0.1 * c - 15);
      }
    }
    ASSERT_EQ(s.Count(), static_cast<int>(xs.size())) << r.title;
    for (int i = 0; i < s.Count(); ++i) {
      EXPECT_NEAR(s.XValue(i), xs[static_cast<std::size_t>(i)], 1e-9) << r.title << " " << i;
      EXPECT_NEAR(s.YValue(i), ys[static_cast<std::size_t>(i)], 1e-9) << r.title << " " << i;
    }
  }
  EXPECT_NEAR(Form51->Series[3]->YValues().front(), 3.0, 1e-9);   // steepest first
  EXPECT_NEAR(Form51->Series[2]->YValues().front(), -2.0, 1e-9);  // flattest first
  EXPECT_NEAR(Form51->Chart->BottomAxis.Maximum(), 1.2, 1e-6);
  EXPECT_NEAR(Form51->Chart->TopAxis.Maximum(), 1.2, 1e-6);
  EXPECT_EQ(Form51->Chart->LeftAxis.Minimum(), -16);
  EXPECT_EQ(Form51->Chart->LeftAxis.Maximum(), 16);
  EXPECT_EQ(Form51->Chart->LeftAxis.Title, "Gradient [%]");
  EXPECT_EQ(Form51->Chart->Title.Text.Text(), "Distribution of the gradients\r\n");
  const TChartSeries& labels = *Form51->Series[0];
  ASSERT_GE(labels.Count(), 2);
  EXPECT_EQ(labels.Label(0), "  0.00");
  EXPECT_EQ(labels.Label(labels.Count() - 1), "  1.20");
  EXPECT_NEAR(labels.XValue(1), 1.2 / (labels.Count() - 1), 1e-6);

  const TRect plot = Form51->Chart->PlotRect();
  const struct {
    int x, y;
    double grade, km, share;
  } clicks[] = {{plot.Left + plot.Width() / 2, plot.Top + plot.Height() / 4, 8, 0.6, 50},
                {plot.Left + plot.Width() / 4, plot.Top + 3 * plot.Height() / 4, -8, 0.3, 25}};
  for (const auto& c : clicks) {
    Form51->ChartMouseDown(nullptr, TMouseButton::mbLeft, 0, c.x, c.y);
    ASSERT_TRUE(Form51->Show_DAT->Visible);
    double g = 0, d = 0, share = 0;
    ASSERT_EQ(std::sscanf(Form51->Show_DAT->Caption.c_str(), "Gradient= %lf %% Distance= %lf  Share= %lf %%", &g,
                          &d, &share),
              3)
        << Form51->Show_DAT->Caption;
    EXPECT_NEAR(g, c.grade, 0.15) << Form51->Show_DAT->Caption;
    EXPECT_NEAR(d, c.km, 0.005) << Form51->Show_DAT->Caption;
    EXPECT_NEAR(share, d / 1.2 * 100, 0.051) << Form51->Show_DAT->Caption;
    EXPECT_NEAR(share, c.share, 0.5) << Form51->Show_DAT->Caption;
  }
}

// The profile: the gradient of each record over its distance and the
// altitude filling the gradient axis from its lowest to its highest value
// (records 20 on), the altitude marks in metres or feet.
TEST_F(GradeValuesTest, ProfileGradientAndAltitude) {
  Form51->Show();
  Form51->SB_ALTClick(nullptr);
  const int n = static_cast<int>(trip_.size());
  double lo = 1e9, hi = -1e9;
  for (int k = 20; k < n; ++k) {
    lo = std::min(lo, altitude_[static_cast<std::size_t>(k)]);
    hi = std::max(hi, altitude_[static_cast<std::size_t>(k)]);
  }
  EXPECT_NEAR(Form51->AltitudeMax, hi, 1e-9);
  EXPECT_NEAR(Form51->AltitudeMin, lo, 1e-9);
  const TChartSeries& g = *Form51->Series[1];
  const TChartSeries& a = *Form51->Series[6];
  EXPECT_EQ(g.Title, "Current gradient");
  EXPECT_EQ(a.Title, "Terrain");
  ASSERT_EQ(g.Count(), n - 20);
  ASSERT_EQ(a.Count(), n - 20);
  for (int i = 10; i <= n - 11; ++i) {
    const auto k = static_cast<std::size_t>(i);
    const int j = i - 10;
    EXPECT_NEAR(g.XValue(j), trip_[k].Distance, 1e-6) << i;
    EXPECT_NEAR(g.YValue(j), grade_[k], 1e-6) << i;
    EXPECT_NEAR(a.XValue(j), trip_[k].Distance, 1e-6) << i;
    EXPECT_NEAR(a.YValue(j), (altitude_[k] - lo) * 32 / (hi - lo) - 16, 1e-6) << i;
  }
  for (int units : {0, kUnitMiles}) {
    UnitFlags = units;
    TBitmap out(Form51->Chart->Width, Form51->Chart->Height);
    Form51->Chart->Paint(out.Canvas());
    EXPECT_DOUBLE_EQ(AltitudeFactor, units ? 3.28084 : 1.0);
  }
  UnitFlags = 0;
}

// Each channel over the distance in the profile: its own smoothed values
// filling the gradient axis, the right-axis scale from its lowest to its
// highest value, titles; speed and cadence with the gear curve.
TEST_F(GradeValuesTest, ChannelViewsOfEachMetric) {
  struct Row {
    int metric;
    SmoothColumn column;
    const char *right_title, *legend, *sk_bottom, *sk_title;
    double gear_factor;
  } rows[] = {
      {kGradePower, kSmoothPower, "Power [W]", "Power", "Power [W]", "Distribution of gradient/power", 0},
      {kGradeHeartRate, kSmoothHeartRate, "HR [1/min]", "HR", "HR [1/min]", "Distribution of gradient/pulse", 0},
      {kGradeSpeed, kSmoothSpeed, "Speed [km/h]", "Speed", "Speed [km / h]", "Distribution of gradient/speed", 50},
      {kGradeCadence, kSmoothCadence, "RPM [1/m]", "RPM", "RPM [1/min]", "Distribution of gradient/RPM", 100},
  };
  Form51->Show();
  Form51->SB_ALTClick(nullptr);
  const int n = static_cast<int>(trip_.size());
  for (const Row& r : rows) {
    const std::vector<double> v = Smoothed(trip_, r.column, 6);
    double lo = 1e9, hi = -1e9;
    for (int k = 1; k < n; ++k) {
      lo = std::min(lo, v[static_cast<std::size_t>(k)]);
      hi = std::max(hi, v[static_cast<std::size_t>(k)]);
    }
    for (bool gear : {false, true}) {
      if (gear && r.gear_factor == 0) continue;
      Form51->MetricClick(r.metric);
      if (gear) Form51->SB_SRClick(nullptr);
      const double min = gear ? 0 : lo;
      EXPECT_NEAR(Form51->MetricMax, hi, 1e-9) << r.legend;
      EXPECT_NEAR(Form51->MetricMin, min, 1e-9) << r.legend;
      const TChartSeries& s = *Form51->Series[5];
      EXPECT_EQ(s.Title, r.legend);
      EXPECT_EQ(Form51->Chart->RightAxis.Title, r.right_title);
      ASSERT_EQ(s.Count(), n - 1) << r.legend;
      const double scale = 32 / (hi - min);
      for (int k = 1; k < n; ++k) {
        EXPECT_NEAR(s.XValue(k - 1), trip_[static_cast<std::size_t>(k)].Distance, 1e-6);
        ASSERT_NEAR(s.YValue(k - 1), (v[static_cast<std::size_t>(k)] - min) * scale - 16, 1e-6)
            << r.legend << " " << k;
      }
      const TChartSeries& scale_labels = *Form51->Series[8];
      ASSERT_EQ(scale_labels.Count(), 33);
      EXPECT_EQ(scale_labels.Label(0), Format("%6.1f", min));
      EXPECT_EQ(scale_labels.Label(32), Format("%6.1f", hi));
      const TChartSeries& gears = *Form51->Series[4];
      if (!gear) {
        EXPECT_EQ(gears.Count(), 0) << r.legend;
        continue;
      }
      EXPECT_EQ(gears.Title, "Gears");
      ASSERT_EQ(gears.Count(), n - 1);
      double last = 0;
      for (int k = 1; k < n; ++k) {
        const TripSample& t = trip_[static_cast<std::size_t>(k)];
        if (t.Cadence > 0) last = static_cast<double>(t.Speed) / t.Cadence * r.gear_factor;
        ASSERT_NEAR(gears.YValue(k - 1), (last - min) * scale - 16, 1e-6) << r.legend << " " << k;
      }
    }
  }
  // Against the gradient: every record's channel value at its gradient.
  Form51->SB_SKClick(nullptr);
  const std::vector<double> cadence = Smoothed(trip_, kSmoothCadence, 6);
  for (const Row& r : rows) {
    Form51->MetricClick(r.metric);
    const std::vector<double> v = Smoothed(trip_, r.column, 6);
    EXPECT_EQ(Form51->Ch_SK->Title.Text.Text(), std::string(r.sk_title) + "\r\n");
    EXPECT_EQ(Form51->Ch_SK->BottomAxis.Title, r.sk_bottom);
    const TChartSeries& s = *Form51->Series10;
    ASSERT_EQ(s.Count(), n - 20);
    double cmax = 0;
    for (int i = 10; i <= n - 11; ++i) cmax = std::max(cmax, cadence[static_cast<std::size_t>(i)]);
    EXPECT_EQ(Form51->L_3->Caption, std::to_string(static_cast<int>(cmax + 0.5)));
    for (int i = 10; i <= n - 11; ++i) {
      const auto k = static_cast<std::size_t>(i);
      ASSERT_NEAR(s.XValue(i - 10), v[k], 1e-6) << r.legend << " " << i;
      ASSERT_NEAR(s.YValue(i - 10), grade_[k], 1e-6) << r.legend << " " << i;
      const int green = static_cast<int>(255 - (cmax - cadence[k]) * 200 / cmax);
      ASSERT_EQ(s.ValueColor(i - 10), RGBColor(0, green, 0)) << r.legend << " " << i;
    }
  }
}

}  // namespace
}  // namespace tav
