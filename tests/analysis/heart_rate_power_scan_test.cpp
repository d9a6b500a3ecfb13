#include "analysis/heart_rate_power_scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <tuple>

#include "analysis_test_util.h"
#include "../platform/contrast_reference.h"
#include "platform/eventloop.h"
#include "platform/text.h"

namespace tav {
namespace {

// A ride of n records (header included) at `dt` seconds from functions of
// the record index.
std::vector<TripSample> Ride(int n, int dt, const std::function<float(int)>& power,
                             const std::function<float(int)>& hr, int sport = kSportBikePower) {
  std::vector<TripSample> t(static_cast<std::size_t>(n));
  HeaderSport(t[0]) = static_cast<int8_t>(sport);
  for (int i = 1; i < n; ++i) {
    TripSample& s = t[static_cast<std::size_t>(i)];
    s.Time = (i - 1) * dt;
    s.Power = power(i);
    s.HeartRate = hr(i);
    s.Cadence = 90;
    s.Altitude = 300;
  }
  return t;
}

HrPowerInput Input(const std::vector<TripSample>& t, int dt = 1) {
  HrPowerInput in;
  in.samples = t.data();
  in.count = static_cast<int>(t.size());
  in.interval = dt;
  in.powerHalfWidth = in.heartRateHalfWidth = 0;
  in.chartWidth = 850;
  in.texts = {"Shift", "Power     HR", "Up", "Down", "Time", "Pulse", "changes"};
  return in;
}

TEST(HrPowerTest, LeastSquares) {
  FitSums exact;
  for (int x = 0; x < 10; ++x) exact.Add(x, 3 + 2 * x);
  LineFit f = exact.Fit();
  ASSERT_TRUE(f.ok);
  EXPECT_NEAR(f.a, 3, 1e-9);
  EXPECT_NEAR(f.b, 2, 1e-9);
  FitSums noisy;  // large x, where float sums would lose the slope
  for (int x = 0; x < 100000; ++x) noisy.Add(100000 + x, 100 + 0.25 * x + (x % 2 ? 1 : -1));
  f = noisy.Fit();
  EXPECT_NEAR(f.b, 0.25, 1e-6);
  FitSums flat, one;
  for (int k = 0; k < 5; ++k) flat.Add(0.1, k);
  one.Add(1, 1);
  EXPECT_FALSE(flat.Fit().ok);
  EXPECT_FALSE(one.Fit().ok);
  EXPECT_FALSE(FitSums{}.Fit().ok);
  EXPECT_EQ(HeartRateFitText({true, 105.15, 0.244}), "HR =   105.15 + POWER * 0.244");
  EXPECT_EQ(HeartRateFitText({}), "");
  // The drift per hour follows the interval; a fall keeps its minus sign apart.
  EXPECT_EQ(DriftFitText({true, 0.66, -0.00001}, 1, "Time"), "HR / POWER =    0.66 - 0.036 * Time[H]");
  EXPECT_EQ(DriftFitText({true, 0.66, 0.00001}, 5, "Zeit"), "HR / POWER =    0.66 + 0.007 * Zeit[H]");
  EXPECT_EQ(DriftFitText({}, 1, "Time"), "");
}

TEST(HrPowerTest, TimeLabelsZoomAndScroll) {
  struct Step {
    int length, width, dt, step;
  } steps[] = {{4000, 850, 1, 150}, {100, 850, 1, 60}, {100, 850, 5, 30}, {4000, 40, 1, 120000}, {-5, 850, 0, 60}};
  for (const Step& s : steps) EXPECT_EQ(TimeLabelStep(s.length, s.width, s.dt), s.step) << s.length << " " << s.width;
  auto labels = TimeLabels(7300, 3600, 1);
  ASSERT_EQ(labels.size(), 3u);
  EXPECT_EQ(labels[2].text, "2:00");
  labels = TimeLabels(200, 100, 2, 0.5);
  EXPECT_EQ(labels[1].text, " 200   0:03");

  // Zoom in twice on 4000 records, then out; never shorter than the minimum.
  TimeWindow w{0, 4000};
  w = ZoomTimeWindow(w, true, 4000);
  EXPECT_EQ(w, (TimeWindow{1000, 2000}));
  w = ZoomTimeWindow(w, true, 4000);
  EXPECT_EQ(w, (TimeWindow{1500, 1000}));
  EXPECT_EQ(ZoomTimeWindow(w, false, 4000), (TimeWindow{500, 2000}));
  EXPECT_EQ(ZoomTimeWindow({10, 100}, true, 4000), (TimeWindow{10, 100}));
  EXPECT_EQ(ZoomTimeWindow({1000, 3000}, false, 4000), (TimeWindow{0, 4000}));
  EXPECT_EQ(ZoomTimeWindow({3500, 2000}, false, 3000), (TimeWindow{0, 3000}));
  EXPECT_EQ(ScrollTimeWindow(3000, 1000, true, 4000), (TimeWindow{3000, 1000}));  // stops at the end
  EXPECT_EQ(ScrollTimeWindow(2000, 900, true, 4000), (TimeWindow{2600, 900}));
  EXPECT_EQ(ScrollTimeWindow(100, 1000, false, 4000), (TimeWindow{0, 1000}));
}

TEST(HrPowerTest, HeartRateChangePerMinuteAndMargin) {
  const auto t = Ride(400, 1, [](int) { return 200.0f; }, [](int i) { return 100.0f + 0.5f * i; });
  HrPowerInput in = Input(t);
  in.delay = 20;
  HrPowerView v = ComputeHrPowerView(kViewHeartRateChange, in);
  ASSERT_TRUE(v.drawn);
  EXPECT_EQ(v.margin, 20);
  const SeriesPoints& change = v.series[5];
  EXPECT_EQ(change.x.front(), 21);
  EXPECT_EQ(change.x.back(), 379);
  EXPECT_EQ(change.y[100], 30);  // 1 beat over two 1-s records
  EXPECT_EQ(change.color[100], clLime);
  EXPECT_EQ(v.series[2].color[100], clRed);  // rising heart rate
  EXPECT_NEAR(v.left.max, (100 + 0.5 * 379) * 1.1, 1e-3);
  EXPECT_NEAR(v.right.max, v.left.max - 60, 1e-9);
  in = Input(t, 5);
  EXPECT_EQ(ComputeHrPowerView(kViewHeartRateChange, in).series[5].y[100], 6);
  EXPECT_EQ(ComputeHrPowerView(kViewHeartRateChange, in).margin, 10);  // at least 10
}

TEST(HrPowerTest, HeartRateOnPowerSortsRisingAndFallingRecords) {
  // Power 100, 200, 200, 150: one rising, one equal and two falling records
  // in every four; heart rate follows power exactly, `delay` records later.
  const int delay = 5;
  auto power = [](int i) { return std::array<float, 4>{100, 200, 200, 150}[static_cast<std::size_t>((i % 4 + 4) % 4)]; };
  const auto t = Ride(401, 1, power, [&](int i) { return 100 + power(i - delay) / 2; });
  HrPowerInput in = Input(t);
  in.delay = delay;
  HrPowerView v = ComputeHrPowerView(kViewHeartRateOnPower, in);
  ASSERT_TRUE(v.drawn);
  // Records 11 .. 385: 94 rising, 93 equal, 188 falling.
  EXPECT_EQ(v.series[8].x.size(), 94u);
  EXPECT_EQ(v.series[7].x.size(), 188u);
  EXPECT_EQ(v.risingFit, "");  // every rising record at 200 W: no line
  EXPECT_TRUE(v.series[9].x.empty());
  EXPECT_EQ(v.fallingFit, "HR =   100.00 + POWER * 0.500");
  EXPECT_EQ(v.allFit, v.fallingFit);
  // From the diary: 0..500 W over the record axis, heart rate 100..200.
  EXPECT_DOUBLE_EQ(v.powerScale, 401 / 500.0);
  EXPECT_EQ(v.left.min, 100);
  EXPECT_EQ(v.labels.back().text, "500");
  EXPECT_DOUBLE_EQ(v.series[10].x[0], 200 * v.powerScale);  // the line reaches 200/min at 200 W
  // A clip: up to the highest power + 10, heart rate around what it holds.
  in.fromClip = true;
  v = ComputeHrPowerView(kViewHeartRateOnPower, in);
  EXPECT_DOUBLE_EQ(v.powerScale, 401 / 210.0);
  EXPECT_EQ(v.left.min, 145);
  EXPECT_EQ(v.left.max, 205);

  // Clips of other heart rates: none above 60 frames the highest, and a
  // steady heart rate fits a level line across the whole axis.
  struct ClipRow {
    const char* what;
    float (*hr)(int);
    double left_min, left_max;
    std::string all_fit;
  } clips[] = {
      {"no heart rate above 60", [](int i) { return 40.0f + static_cast<float>(i % 16); }, 50, 60, ""},
      {"steady heart rate", [](int) { return 140.0f; }, 135, 145, "HR =   140.00 + POWER * 0.000"},
  };
  for (const ClipRow& r : clips) {
    const auto clip = Ride(401, 1, power, r.hr);
    in = Input(clip);
    in.fromClip = true;
    v = ComputeHrPowerView(kViewHeartRateOnPower, in);
    ASSERT_TRUE(v.drawn) << r.what;
    EXPECT_EQ(v.left.min, r.left_min) << r.what;
    EXPECT_EQ(v.left.max, r.left_max) << r.what;
    for (int s : {9, 10, 11})
      for (double x : v.series[static_cast<std::size_t>(s)].x) EXPECT_TRUE(std::isfinite(x)) << r.what << " " << s;
    if (r.all_fit.empty()) continue;
    EXPECT_EQ(v.allFit, r.all_fit) << r.what;
    EXPECT_EQ(v.series[11].x, (std::vector<double>{0, 401})) << r.what;
    EXPECT_EQ(v.series[11].y, (std::vector<double>{140, 140})) << r.what;
  }
}

TEST(HrPowerTest, PhaseWalkAveragesThePowerOfEachPhase) {
  // Heart rate rises for ten records at 300 W and falls for ten at 100 W.
  auto hr = [](int i) {
    const int r = i % 20;
    return r <= 10 ? 100.0f + 3 * r : 130.0f - 3.3f * static_cast<float>(r - 10);
  };
  const auto t = Ride(401, 1, [](int i) { return i % 20 < 10 ? 300.0f : 100.0f; }, hr);
  const HrPowerView v = ComputeHrPowerView(kViewPhases, Input(t));
  ASSERT_TRUE(v.drawn);
  const SeriesPoints& points = v.series[7];
  ASSERT_GE(points.x.size(), 30u);
  for (std::size_t k = 0; k < points.x.size(); ++k) {
    const bool top = points.y[k] == 130;
    EXPECT_TRUE(top || points.y[k] == 100) << k;
    EXPECT_NEAR(points.x[k], (top ? 300 : 100) * v.powerScale, 1e-6) << k;
  }
  EXPECT_EQ(v.risingFit, "HR =    85.00 + POWER * 0.150");
  EXPECT_EQ(v.series[2].color[5], clLime);  // record 16: falling
  EXPECT_EQ(v.series[2].color[10], clRed);  // record 21: rising
  EXPECT_EQ(v.left.max, 310);
  EXPECT_EQ(v.labels[1].text.substr(0, 4), Format("%4.0f", v.labelStep / v.powerScale));

  // A hand-made trace: heart rate rises 25 records at 200 W, falls 10 at
  // 100 W, rises `short_rise` records at 400 W, falls 10 at 100 W, rises 8
  // at 200 W and falls to the end. A rise counted over two records does not
  // close a phase: its power joins the next rise, (2 x 400 + 7 x 200) / 9.
  // Over three records it is a phase of its own.
  struct PhaseRow {
    int short_rise;
    std::vector<double> mean, end_hr;
  } phases[] = {
      {3, {200, 100, 100, 2200.0 / 9}, {148, 132, 118, 130}},
      {4, {200, 100, 400, 100, 200}, {148, 132, 136, 120, 132}},
  };
  for (const PhaseRow& r : phases) {
    std::vector<float> pw{0}, beat{0};
    float h = 100;
    for (auto [records, step, watts] : {std::tuple{25, 2, 200}, {10, -2, 100}, {r.short_rise, 2, 400},
                                        {10, -2, 100}, {8, 2, 200}, {20, -2, 100}})
      for (int k = 0; k < records; ++k) {
        h += static_cast<float>(step);
        beat.push_back(h);
        pw.push_back(static_cast<float>(watts));
      }
    const auto trace = Ride(static_cast<int>(beat.size()), 1, [&](int i) { return pw[static_cast<std::size_t>(i)]; },
                            [&](int i) { return beat[static_cast<std::size_t>(i)]; });
    const HrPowerView p = ComputeHrPowerView(kViewPhases, Input(trace));
    ASSERT_EQ(p.series[7].x.size(), r.mean.size()) << r.short_rise;
    for (std::size_t k = 0; k < r.mean.size(); ++k) {
      EXPECT_NEAR(p.series[7].x[k] / p.powerScale, r.mean[k], 1e-9) << r.short_rise << " phase " << k;
      EXPECT_EQ(p.series[7].y[k], r.end_hr[k]) << r.short_rise << " phase " << k;
    }
  }
}

TEST(HrPowerTest, DriftOfQualifiedRisingPhases) {
  // Rising for 30 records, falling for 30, the heart rate creeping up 0.01
  // per record at a steady 200 W.
  auto hr = [](int period, float creep) {
    return [=](int i) {
      const int r = i % period, half = period / 2;
      const float tri = r <= half ? static_cast<float>(r) : half - (r - half) * (half / (half - 1.0f));
      return 130 + tri + creep * i;
    };
  };
  auto run = [&](int period, const std::function<float(int)>& power, float alt_step, int dt) {
    auto t = Ride(3601, dt, power, hr(period, 0.01f));
    for (int i = 1; i < 3601; ++i) t[static_cast<std::size_t>(i)].Altitude = 1000 + alt_step * i;
    return ComputeHrPowerView(kViewDrift, Input(t, dt));
  };
  auto steady = [](int) { return 200.0f; };
  HrPowerView v = run(60, steady, 0, 1);
  ASSERT_TRUE(v.drawn);
  EXPECT_GE(v.series[7].x.size(), 55u);
  EXPECT_NE(v.risingFit.find("+ 0.180 * Time[H]"), std::string::npos) << v.risingFit;
  EXPECT_NE(run(60, steady, 0, 5).risingFit.find("+ 0.036 * Time[H]"), std::string::npos);
  // Phases of 20 records or fewer, rising on a descent, or at a ratio of
  // 1.5 x the ride's mean and more give no points.
  EXPECT_TRUE(run(40, steady, 0, 1).series[7].x.empty());
  EXPECT_TRUE(run(60, steady, -0.01f, 1).series[7].x.empty());
  EXPECT_TRUE(run(60, [](int i) { return i % 60 < 30 ? 50.0f : 350.0f; }, 0, 1).series[7].x.empty());
  EXPECT_EQ(run(40, steady, 0, 1).risingFit, "");
}

TEST(HrPowerTest, EarlyStopsGiveEmptyViewsWithoutNaN) {
  const auto no_power = Ride(400, 1, [](int) { return 5.0f; }, [](int i) { return 120.0f + i % 7; });
  const auto no_hr = Ride(400, 1, [](int i) { return 150.0f + i % 9; }, [](int) { return 0.0f; });
  const auto short_clip = Ride(21, 1, [](int) { return 200.0f; }, [](int) { return 150.0f; });
  struct Row {
    const std::vector<TripSample>* ride;
    int view;
  } rows[] = {{&no_power, kViewPhases}, {&no_power, kViewDrift}, {&no_hr, kViewHeartRateChange},
              {&no_hr, kViewHeartRateOnPower}, {&no_hr, kViewPhases}, {&no_hr, kViewDrift}};
  for (const Row& r : rows) {
    for (const auto* ride : {r.ride, &short_clip}) {
      HrPowerInput in = Input(*ride);
      in.fromClip = true;
      const HrPowerView v = ComputeHrPowerView(r.view, in);
      EXPECT_FALSE(v.drawn) << r.view;
      for (const SeriesPoints& s : v.series) EXPECT_TRUE(s.x.empty()) << r.view;
      for (double d : {v.left.min, v.left.max, v.right.min, v.right.max, v.bottom.max})
        EXPECT_TRUE(std::isfinite(d)) << r.view;
      EXPECT_EQ(v.risingFit + v.fallingFit + v.allFit, "");
    }
  }
}

using HrPowerWindowTest = testing_analysis::WindowFixture;

TEST_F(HrPowerWindowTest, KeepsItsRideAndIntervalAndNamesTheViewShown) {
  const auto ride = Ride(1201, 2, [](int i) { return 150.0f + 100 * (i / 60 % 2); },
                         [](int i) { return 120.0f + 20 * std::sin(i / 30.0f); });
  testing_core::LoadInto(TripSamples2, TripSampleCount2, ride);
  SampleInterval = 7;
  struct KeepFactor {
    double saved = AltitudeFactor;
    ~KeepFactor() { AltitudeFactor = saved; }
  } keep_factor;
  AltitudeFactor = 2.5;
  Form16->Tag = 1;
  Form16->Show();
  EXPECT_EQ(Form16->ViewMode, kViewPhases);
  EXPECT_EQ(Form16->Interval(), 2);
  EXPECT_EQ(SampleInterval, 7);  // belongs to the current trip
  EXPECT_EQ(AltitudeFactor, 2.5);
  EXPECT_FALSE(Form16->SB_03->Flat);
  EXPECT_GT(Form16->Series[7]->Count(), 0);
  EXPECT_EQ(Form16->Chart->BottomAxis.Maximum(), 1201);

  // The right axis carries the heart rate in views 0, 2 and 3; view 1 has
  // none.
  struct AxisRow {
    int view;
    bool right;
  } axes[] = {{kViewHeartRateOnPower, false}, {kViewDrift, true}, {kViewHeartRateOnPower, false},
              {kViewHeartRateChange, true}, {kViewHeartRateOnPower, false}, {kViewPhases, true}};
  for (const AxisRow& r : axes) {
    Form16->ShowView(r.view);
    EXPECT_EQ(Form16->Chart->RightAxis.Visible, r.right) << r.view;
  }

  // A resize lays the window out at once, but the view is computed again
  // once only, when the resizing has ended, and not when the chart kept its
  // width.
  auto quiet = [] { MainLoop().RunUntil([] { return false; }, 400); };
  Form16->Series[2]->Clear();
  for (int k = 1; k <= 5; ++k) Form16->SetBounds(Form16->Left, Form16->Top, Form16->Width + 10, Form16->Height);
  EXPECT_EQ(Form16->Chart->Width, Form16->ClientWidth() - 6);
  EXPECT_EQ(Form16->Series[2]->Count(), 0);
  EXPECT_TRUE(MainLoop().RunUntil([] { return Form16->Series[2]->Count() > 0; }, 3000));
  Form16->Series[2]->Clear();
  quiet();
  EXPECT_EQ(Form16->Series[2]->Count(), 0);
  Form16->SetBounds(Form16->Left, Form16->Top, Form16->Width, Form16->Height + 20);
  quiet();
  EXPECT_EQ(Form16->Series[2]->Count(), 0);

  // Zooming keeps within the ride; another view starts whole again.
  Form16->SB_ZOMouseDown(nullptr, TMouseButton::mbLeft, 0, 0, 0);
  EXPECT_EQ(Form16->Chart->BottomAxis.Minimum(), 300);
  EXPECT_EQ(Form16->WindowLength, 600);
  Form16->SB_01Click(nullptr);
  EXPECT_EQ(Form16->ViewMode, kViewHeartRateOnPower);
  EXPECT_FALSE(Form16->SB_ZO->Visible);
  EXPECT_EQ(Form16->Chart->BottomAxis.Minimum(), 0);

  // Coming back to the window keeps the ride, whatever the buffer holds now.
  std::fill(TripSamples2 + 1, TripSamples2 + 1201, TripSample{});
  Form16->FormActivate(nullptr);
  EXPECT_GT(Form16->Series[7]->Count() + Form16->Series[8]->Count(), 0);

  // A ride without power: view 0 only, and an early stop still names its view.
  Form16->Hide();
  const auto hr_only = Ride(600, 1, [](int) { return 0.0f; }, [](int i) { return 110.0f + i % 30; },
                            kSportBikeHeartRate);
  testing_core::LoadInto(TripSamples2, TripSampleCount2, hr_only);
  Form16->Show();
  EXPECT_EQ(Form16->ViewMode, kViewHeartRateChange);
  EXPECT_FALSE(Form16->SB_03->Visible);
  EXPECT_TRUE(Form16->SB_02->Visible);
  Form16->ShowView(kViewDrift);  // not offered: view 0 instead
  EXPECT_EQ(Form16->ViewMode, kViewHeartRateChange);
  Form16->Hide();
  HeaderSport(TripSamples2[0]) = kSportBikePower;  // power of 0: views 2 and 3 stay empty
  Form16->Show();
  Form16->SB_04Click(nullptr);
  EXPECT_EQ(Form16->ViewMode, kViewDrift);
  EXPECT_FALSE(Form16->SB_04->Flat);
  EXPECT_EQ(Form16->Series[1]->Count(), 0);
  EXPECT_EQ(Form16->RisingFitText, "");
  Form16->Hide();
}

// The fit of the rising records is drawn and written in the window's yellow
// only where that reads on the chart's background: on the white default it
// is a darker yellow, its text as its line.
// The altitude range beside the drift view stays in the unit the view was
// shown in, number and unit alike, until it is shown again.
TEST_F(HrPowerWindowTest, AltitudeRangeKeepsTheUnitOfItsShowing) {
  auto ride = Ride(1201, 1, [](int) { return 200.0f; }, [](int) { return 140.0f; });
  for (std::size_t i = 1; i < ride.size(); ++i) ride[i].Altitude = 100.0f + static_cast<float>(i % 50);
  testing_core::LoadInto(TripSamples2, TripSampleCount2, ride);
  UnitFlags = 0;
  Form16->Tag = 1;
  Form16->Show();
  Form16->SB_04Click(nullptr);
  if (!Form16->AltitudeShown) Form16->SB_ALTClick(nullptr);
  ASSERT_TRUE(Form16->AltitudeShown);
  TChart& chart = *Form16->Chart;
  auto painted = [&] {
    TBitmap out(chart.Width, chart.Height);
    chart.Paint(out.Canvas());
    return out;
  };
  TBitmap metres = painted();
  UnitFlags = kUnitMiles;  // changed elsewhere while the window is open
  TBitmap later = painted();
  int differing = 0;
  for (int y = 0; y < chart.Height; ++y)
    for (int x = 0; x < chart.Width; ++x) differing += metres.Pixel(x, y) != later.Pixel(x, y);
  EXPECT_EQ(differing, 0);
  UnitFlags = 0;
}

TEST_F(HrPowerWindowTest, TheRisingFitReadsOnTheChartsBackground) {
  const auto ride = Ride(1201, 1, [](int i) { return 150.0f + 60 * std::sin(i / 20.0f); },
                         [](int i) { return 120.0f + 20 * std::sin((i - 15) / 20.0f); });
  testing_core::LoadInto(TripSamples2, TripSampleCount2, ride);
  Form16->Tag = 1;
  Form16->Show();
  Form16->SB_01Click(nullptr);
  ASSERT_EQ(Form16->ViewMode, kViewHeartRateOnPower);
  ASSERT_NE(Form16->RisingFitText, "");
  TChart& chart = *Form16->Chart;
  const TColor back = chart.PlotBackground();
  EXPECT_EQ(back, ChartColors[0]);
  EXPECT_EQ(Form16->Series[9]->SeriesColor, clYellow);
  const TColor rising = chart.CurveColour(clYellow);
  EXPECT_GE(testing_contrast::Contrast(rising, back), 3.0);
  // Red and blue read on white as they are.
  EXPECT_EQ(chart.CurveColour(Form16->Series[11]->SeriesColor), clRed);
  EXPECT_EQ(chart.CurveColour(Form16->Series[10]->SeriesColor), clBlue);

  auto count = [&](TColor colour) {
    TBitmap out(chart.Width, chart.Height);
    chart.Paint(out.Canvas());
    int n = 0;
    for (int y = 0; y < out.Height(); ++y)
      for (int x = 0; x < out.Width(); ++x) n += out.Pixel(x, y) == colour;
    return n;
  };
  EXPECT_EQ(count(clYellow), 0);
  EXPECT_GT(count(rising), 50);  // the rising records, their line and its text
  // Without the points and the line, the text alone, in the same colour.
  Form16->Series[8]->Active = false;
  Form16->Series[9]->Active = false;
  EXPECT_GT(count(rising), 10);
  Form16->Series[8]->Active = true;
  Form16->Series[9]->Active = true;
  Form16->Hide();
}

}  // namespace
}  // namespace tav

namespace tav {
namespace {

// What each view names and spans, on a ride of 601 records 2 s apart whose
// power steps between 150 and 250 W every two minutes and whose heart rate
// swings 110..150 around its own rhythm: titles, axis ranges worked out from
// the ride's own means and maxima, the time labels at 2 s a record.
TEST(HrPowerTest, TitlesRangesAndTimeLabelsOfEachView) {
  const auto power = [](int i) { return 150.0f + 100 * static_cast<float>(i / 60 % 2); };
  const auto hr = [](int i) { return 130.0f + 20 * std::sin(static_cast<float>(i) / 40.0f); };
  const auto t = Ride(601, 2, power, hr);
  HrPowerInput in = Input(t, 2);
  double psum = 0, hsum = 0, hmax = 0;
  for (int i = 1; i < 601; ++i) {
    psum += t[static_cast<std::size_t>(i)].Power;
    hsum += t[static_cast<std::size_t>(i)].HeartRate;
  }
  for (int i = 11; i < 601 - 10; ++i) hmax = std::max<double>(hmax, t[static_cast<std::size_t>(i)].HeartRate);
  const double pm = psum / 600, hm = hsum / 600;
  struct Row {
    int view;
    const char *title, *left_title, *right_title, *bottom_title;
    bool right_shown, right_grid;
    ValueRange left, right;
    TColor fit;
  } rows[] = {
      {kViewHeartRateChange, "changes", "HR [1/min]", "delta - HR [1/min]", "Time [hh:mm]", true, true,
       {0, hmax * 1.1}, {-60, hmax * 1.1 - 60}, clRed},
      {kViewHeartRateOnPower, "Power     HR", "Pulse [1/min]", "", "Power [W]", false, true, {100, 200}, {0, 100},
       clYellow},
      {kViewPhases, "Power     HR", "Power [Watt] , HR [1/min]", "Power [Watt] , HR [1/min]",
       "Power [Watt], Time [hh:mm]", true, true, {0, 260}, {0, 260}, clRed},
      {kViewDrift, "Power     HR", "Power [W]", "Pulse [1/min]", "Time [hh:mm]", true, false, {0, 250},
       {hm * 0.5, (250 - pm) * 0.5 / (pm / hm) + hm}, clBlue},
  };
  for (const Row& r : rows) {
    const HrPowerView v = ComputeHrPowerView(r.view, in);
    ASSERT_TRUE(v.drawn) << r.view;
    EXPECT_EQ(v.title, r.title) << r.view;
    EXPECT_EQ(v.leftTitle, r.left_title) << r.view;
    EXPECT_EQ(v.rightTitle, r.right_title) << r.view;
    EXPECT_EQ(v.bottomTitle, r.bottom_title) << r.view;
    EXPECT_EQ(v.rightShown, r.right_shown) << r.view;
    EXPECT_EQ(v.rightGrid, r.right_grid) << r.view;
    EXPECT_NEAR(v.left.min, r.left.min, 1e-4) << r.view;
    EXPECT_NEAR(v.left.max, r.left.max, 1e-4) << r.view;
    EXPECT_NEAR(v.right.min, r.right.min, 1e-4) << r.view;
    EXPECT_NEAR(v.right.max, r.right.max, 1e-4) << r.view;
    EXPECT_EQ(v.fitColor, r.fit) << r.view;
    EXPECT_EQ(v.bottom.max, 601) << r.view;
    if (r.view == kViewHeartRateOnPower) {  // power labels every 25 W
      ASSERT_GE(v.labels.size(), 3u);
      EXPECT_EQ(v.labels[2].text, "50");
      EXPECT_DOUBLE_EQ(v.labels[2].x, 50 * 601 / 500.0);
      continue;
    }
    // A label every 30 records, 60 s apart at 2 s a record.
    ASSERT_GE(v.labels.size(), 3u) << r.view;
    EXPECT_EQ(v.labels[1].x, 30) << r.view;
    const std::string second = r.view == kViewPhases ? Format("%4.0f   0:01", 30 / v.powerScale) : "0:01";
    EXPECT_EQ(v.labels[1].text, second) << r.view;
    EXPECT_EQ(v.labels[2].text.substr(v.labels[2].text.size() - 4), "0:02") << r.view;
  }
  // The drift view draws power and the heart rate scaled onto the power
  // axis around the ride's means, and the mean power as a dashed line.
  const HrPowerView drift = ComputeHrPowerView(kViewDrift, in);
  ASSERT_GT(drift.series[2].x.size(), 100u);
  for (std::size_t k = 0; k < drift.series[2].x.size(); k += 37) {
    const int i = static_cast<int>(drift.series[2].x[k]);
    const double h = t[static_cast<std::size_t>(i)].HeartRate;
    EXPECT_NEAR(drift.series[2].y[k], ((h - hm) * 2.0 / hm + 1.0) * pm, 1e-3) << i;
    EXPECT_EQ(drift.series[1].y[k], t[static_cast<std::size_t>(i)].Power) << i;
  }
  ASSERT_FALSE(drift.series[3].y.empty());
  EXPECT_NEAR(drift.series[3].y.front(), pm, 1e-9);
  // The heart-rate change view draws heart rate and its change per minute at 2 s a record.
  const HrPowerView change = ComputeHrPowerView(kViewHeartRateChange, in);
  for (std::size_t k = 0; k < change.series[5].x.size(); k += 41) {
    const int i = static_cast<int>(change.series[5].x[k]);
    const double d = static_cast<double>(t[static_cast<std::size_t>(i + 1)].HeartRate) - t[static_cast<std::size_t>(i - 1)].HeartRate;
    EXPECT_EQ(change.series[5].y[k], std::trunc(d * 15)) << i;
    EXPECT_EQ(change.series[2].y[k], t[static_cast<std::size_t>(i)].HeartRate) << i;
  }
}

// The window shows what each view names: axis titles, ranges and the
// altitude unit in metric and imperial units.
TEST_F(HrPowerWindowTest, AxisTitlesAndRangesOfEachView) {
  const auto ride = Ride(1201, 2, [](int i) { return 150.0f + 100 * static_cast<float>(i / 300 % 2); },
                         [](int i) { return 120.0f + 20 * std::sin(static_cast<float>(i) / 30.0f); });
  testing_core::LoadInto(TripSamples2, TripSampleCount2, ride);
  for (int units : {0, kUnitMiles}) {
    UnitFlags = units;
    Form16->Tag = 0;
    Form16->Show();
    EXPECT_EQ(Form16->AltitudeUnitText, units ? "[ft]" : "[m]");
    const struct {
      void (TForm16::*click)(TControl*);
      const char *left, *right, *bottom;
      bool right_shown;
    } rows[] = {
        {&TForm16::SB_01Click, "Pulse [1/min]", "", "Power [W]", false},
        {&TForm16::SB_03Click, "Power [Watt] , HR [1/min]", "Power [Watt] , HR [1/min]", "Power [Watt], Time [hh:mm]",
         true},
        {&TForm16::SB_04Click, "Power [W]", "Pulse [1/min]", "Time [hh:mm]", true},
        {&TForm16::SB_02Click, "HR [1/min]", "delta - HR [1/min]", "Time [hh:mm]", true},
    };
    for (const auto& r : rows) {
      (Form16->*r.click)(nullptr);
      EXPECT_EQ(Form16->Chart->LeftAxis.Title, r.left) << r.left;
      EXPECT_EQ(Form16->Chart->RightAxis.Title, r.right) << r.left;
      EXPECT_EQ(Form16->Chart->BottomAxis.Title, r.bottom) << r.left;
      EXPECT_EQ(Form16->Chart->RightAxis.Visible, r.right_shown) << r.left;
      EXPECT_EQ(Form16->Chart->BottomAxis.Maximum(), 1201) << r.left;
    }
    Form16->SB_01Click(nullptr);
    EXPECT_EQ(Form16->Chart->LeftAxis.Minimum(), 100);  // opened from the diary: 100..200
    EXPECT_EQ(Form16->Chart->LeftAxis.Maximum(), 200);
    EXPECT_EQ(Form16->Series[9]->SeriesColor, clYellow);
    Form16->SB_03Click(nullptr);
    EXPECT_EQ(Form16->Chart->LeftAxis.Maximum(), 260);  // the highest power and 10 W
    EXPECT_EQ(Form16->Chart->RightAxis.Maximum(), 260);
    Form16->SB_04Click(nullptr);
    EXPECT_EQ(Form16->Chart->LeftAxis.Maximum(), 250);
    EXPECT_EQ(Form16->Series[9]->SeriesColor, clBlue);
    Form16->Hide();
  }
  UnitFlags = 0;
}

}  // namespace
}  // namespace tav
