// What the distribution charts window shows, read off its charts: the bars,
// labels, colours, titles and axes of all five charts in metric and imperial
// units and in another language, the shares of a sum over a 1 s and a 2 s
// trip, and the channel curve of each chart with its titles and ranges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/distribution_charts.h"
#include "analysis/distribution_model.h"
#include "core/core_test_util.h"
#include "core/statistics.h"
#include "core/trip_file.h"
#include "openers/openers.h"
#include "texts/text_tables.h"
#include "viewing/form_snapshot.h"

namespace tav {
namespace {

using namespace testing_core;

// 300 records over 1.5 km: power 150 W then 250 W (from record 151),
// altitude 100 m then 140 m, and the other channels each at its own level.
std::vector<TripSample> StepTrip() {
  std::vector<TripSample> t(301);
  HeaderSport(t[0]) = kSportBikePower;
  for (int i = 1; i <= 300; ++i) {
    TripSample& s = t[static_cast<std::size_t>(i)];
    s.Time = i - 1;
    s.Distance = 0.005f * i;
    s.Power = i <= 150 ? 150.0f : 250.0f;
    s.Altitude = i <= 150 ? 100.0f : 140.0f;
    s.Cadence = 85;
    s.Speed = 32.5f;
    s.HeartRate = 141;
    s.Temperature = 21;
  }
  return t;
}

// A trip of 600 records at `interval` seconds, every channel constant.
std::vector<TripSample> SteadyTrip(int interval, float power, float cadence, float speed, float hr) {
  std::vector<TripSample> t(601);
  HeaderSport(t[0]) = kSportBikePower;
  for (int i = 1; i <= 600; ++i) {
    TripSample& s = t[static_cast<std::size_t>(i)];
    s.Time = (i - 1) * interval;
    s.Distance = 0.01f * i;
    s.Power = power;
    s.Cadence = cadence;
    s.Speed = speed;
    s.HeartRate = hr;
    s.Altitude = 300;
    s.Temperature = 15;
  }
  return t;
}

double MovingMean(const std::vector<TripSample>& t, float TripSample::*field, int i, int w) {
  const int last = static_cast<int>(t.size()) - 1;
  double sum = 0;
  for (int j = i - w; j <= i + w; ++j) sum += t[static_cast<std::size_t>(std::clamp(j, 1, last))].*field;
  return sum / (2 * w + 1);
}

class DistributionWindowReadouts : public CoreFixture {
 protected:
  void SetUp() override {
    CoreFixture::SetUp();
    Form34 = new TForm34();
    Form34->SetActualClientSize(1000 - TForm::kFrameWidth, 700 - TForm::kFrameHeight);
    for (int k = 0; k < kChartColorCount; ++k) ChartColors[k] = RGBColor(10 + 15 * k, 200 - 11 * k, 40 + 7 * k);
    const std::vector<TripSample> t = StepTrip();
    ASSERT_TRUE(WriteFileAtomically(FsPath(JoinPath(RiderDir, "20140301_093000_0_TAV.DEO")),
                                    EncodeDeoBytes(t.data(), static_cast<int>(t.size()), nullptr, ScaleMax,
                                                   "", false, nullptr)));
    SelectedTrips.Assign(std::vector<std::string>{"20140228_1800NR3_X;009;*gym", "20140301_093000_0_TAV;005;*Steps"});
    ScanList = &SelectedTrips;
  }
  void TearDown() override {
    ApplyTextTable(1);  // the language the other tests read
    snapshot::DeleteForm(Form34);
    CoreFixture::TearDown();
  }
  // A record whose four histograms differ in every respect.
  static DistributionData DistinctRecord() {
    DistributionData d;
    const int32_t peaks[4] = {812, 402, 301, 255};
    std::copy(std::begin(peaks), std::end(peaks), d.Peaks);
    d.PowerHist[0] = 10;
    d.PowerHist[8] = 30;
    d.PowerHist[50] = 60;
    d.HeartRateHist[0] = 20;
    d.HeartRateHist[16] = 30;
    d.HeartRateHist[18] = 50;
    d.SpeedHist[2] = 25;
    d.SpeedHist[14] = 75;
    d.CadenceHist[15] = 40;
    d.CadenceHist[16] = 60;
    return d;
  }
  static void OpenLine(int line) {
    SetDistributionItemLine(line);
    ShowDistributionSums("Time = 00:05:00");
    SetDistributionItemLine(-1);
  }
};

struct ChartLook {
  const char* title;
  const char* left;
  const char* bottom;
};

void ExpectLook(const TChart& c, const ChartLook& look) {
  ASSERT_EQ(c.Title.Text.Count(), 1) << c.Name;
  EXPECT_EQ(c.Title.Text[0], look.title) << c.Name;
  EXPECT_EQ(c.LeftAxis.Title, look.left) << c.Name;
  EXPECT_EQ(c.BottomAxis.Title, look.bottom) << c.Name;
}

// Bars: count, then (index, value, label) rows, and every bar's colour.
struct BarRow {
  int index;
  double value;
  const char* label;
};
void ExpectBars(const TChartSeries& s, int count, const std::vector<BarRow>& rows, TColor color) {
  ASSERT_EQ(s.Count(), count);
  for (const BarRow& r : rows) {
    EXPECT_NEAR(s.YValue(r.index), r.value, 1e-9) << r.index;
    EXPECT_EQ(s.Label(r.index), r.label) << r.index;
  }
  for (int i = 0; i < s.Count(); ++i) EXPECT_EQ(s.PointColor(i), color) << i;
}

TEST_F(DistributionWindowReadouts, BarsTitlesAndAxesInMetricImperialAndSpanish) {
  DistributionView = DistinctRecord();
  struct Row {
    int language, units;
    ChartLook peaks, power, heart, speed, cadence;
    const char* speed_label;  // the bar of 31 km/h
  };
  const Row rows[] = {
      {1, 0, {"PP 5 sec - 20 min", "Power [W]", ""}, {"Power", "Time [%]", "Power [W]"},
       {"Pulse division", "Time [%]", "HR [ 1/min]"}, {"Speed division", "Time [%]", "Speed [km/h]"},
       {"RPM division", "Time [%]", "RPM [1/min]"}, " 31"},
      {1, kUnitMiles, {"PP 5 sec - 20 min", "Power [W]", ""}, {"Power", "Time [%]", "Power [W]"},
       {"Pulse division", "Time [%]", "HR [ 1/min]"}, {"Speed division", "Time [%]", "Speed [mph]"},
       {"RPM division", "Time [%]", "RPM [1/min]"}, " 19.3"},
      // The power chart's titles are the same words in every language.
      {2, kUnitFahrenheit | kUnitPounds, {"PP 5 seg - 20 min", "Potencia [W]", ""},
       {"Power", "Tiempo [%]", "Power [W]"}, {"Divisi\xF3n pulso", "Tiempo [%]", "Pulso [ 1/min]"},
       {"Divisi\xF3n velocidad", "Tiempo [%]", "Velocidad [km/h]"}, {"Divisi\xF3n RPM", "Tiempo [%]", "RPM [1/min]"},
       " 31"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.language * 100 + r.units);
    ApplyTextTable(r.language);
    UnitFlags = r.units;
    Form34->Hide();
    ShowDistributionSums("Time = 00:01:40");

    // Peaks in their order and colours.
    const TChartSeries& peaks = *Form34->Series1;
    ASSERT_EQ(peaks.Count(), 4);
    const double watts[4] = {812, 402, 301, 255};
    const char* const labels[4] = {"5[sec]", "1[min]", "5[min]", "20[min]"};
    const TColor colours[4] = {RGBColor(255, 0, 0), RGBColor(255, 255, 0), RGBColor(0, 255, 0), RGBColor(0, 128, 0)};
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(peaks.YValue(k), watts[k]) << k;
      EXPECT_EQ(peaks.Label(k), labels[k]) << k;
      EXPECT_EQ(peaks.PointColor(k), colours[k]) << k;
    }
    ExpectLook(*Form34->Ch_LO, r.peaks);

    // Shares of the 100 s of each histogram; the axis 1.05 x the largest.
    ExpectBars(*Form34->BarSeries1, 51, {{0, 10, "0 - 25"}, {8, 30, "100"}, {9, 0, "110"}, {50, 60, ">520"}},
               RGBColor(255, 255, 0));
    ExpectLook(*Form34->Ch_RO, r.power);
    EXPECT_NEAR(Form34->Ch_RO->LeftAxis.Maximum(), 63, 1e-9);
    EXPECT_EQ(Form34->Ch_RO->LeftAxis.Minimum(), 0);

    ExpectBars(*Form34->BarSeries2, 3, {{0, 30, "140"}, {1, 0, "145"}, {2, 50, "150"}}, RGBColor(255, 0, 0));
    ExpectLook(*Form34->Ch_LU, r.heart);
    EXPECT_NEAR(Form34->Ch_LU->LeftAxis.Maximum(), 52.5, 1e-9);

    ExpectBars(*Form34->BarSeries4, 15, {{2, 25, r.units & kUnitMiles ? "  4.3" : "  7"}, {14, 75, r.speed_label}},
               RGBColor(0, 0, 255));
    ExpectLook(*Form34->Ch_MU, r.speed);
    EXPECT_NEAR(Form34->Ch_MU->LeftAxis.Maximum(), 78.75, 1e-9);

    ExpectBars(*Form34->BarSeries3, 17, {{0, 0, "0 - 41.5"}, {15, 40, " 85"}, {16, 60, " 88"}}, RGBColor(0, 255, 0));
    ExpectLook(*Form34->Ch_RU, r.cadence);
    EXPECT_NEAR(Form34->Ch_RU->LeftAxis.Maximum(), 63, 1e-9);
  }
}

// The sum over a 1 s trip and a 2 s trip of 600 records each: the second
// holds two thirds of the 30 minutes in every chart.
TEST_F(DistributionWindowReadouts, SharesOfASumFollowEachTripsInterval) {
  LoadIntoCurrent(SteadyTrip(1, 100, 85, 31, 120));
  ComputeTripDistribution(11);
  LoadIntoCurrent(SteadyTrip(2, 300, 94, 41, 160));
  ComputeTripDistribution(12);
  DistributionData sum = TripDistributionTable[11].Data;
  sum.Add(TripDistributionTable[12].Data);
  ASSERT_EQ(sum.TotalTime, 600 + 1200);
  DistributionView = sum;
  ShowDistributionSums("Time = 00:30:00");
  const double third = 100.0 / 3, two_thirds = 200.0 / 3;
  // Power: 100 W is bar "100" (bin 8), 300 W bar "300" (bin 28).
  EXPECT_EQ(Form34->BarSeries1->Label(8), "100");
  EXPECT_NEAR(Form34->BarSeries1->YValue(8), third, 1e-9);
  EXPECT_EQ(Form34->BarSeries1->Label(28), "300");
  EXPECT_NEAR(Form34->BarSeries1->YValue(28), two_thirds, 1e-9);
  // Heart rate from 120 to 160: bars "120" .. "160".
  ASSERT_EQ(Form34->BarSeries2->Count(), 9);
  EXPECT_EQ(Form34->BarSeries2->Label(0), "120");
  EXPECT_NEAR(Form34->BarSeries2->YValue(0), third, 1e-9);
  EXPECT_EQ(Form34->BarSeries2->Label(8), "160");
  EXPECT_NEAR(Form34->BarSeries2->YValue(8), two_thirds, 1e-9);
  // Speed 31 and 41 km/h; cadence 85 and 94 rpm.
  ASSERT_EQ(Form34->BarSeries4->Count(), 20);
  EXPECT_NEAR(Form34->BarSeries4->YValue(14), third, 1e-9);
  EXPECT_EQ(Form34->BarSeries4->Label(19), " 41");
  EXPECT_NEAR(Form34->BarSeries4->YValue(19), two_thirds, 1e-9);
  ASSERT_EQ(Form34->BarSeries3->Count(), 19);
  EXPECT_EQ(Form34->BarSeries3->Label(15), " 85");
  EXPECT_NEAR(Form34->BarSeries3->YValue(15), third, 1e-9);
  EXPECT_EQ(Form34->BarSeries3->Label(18), " 94");
  EXPECT_NEAR(Form34->BarSeries3->YValue(18), two_thirds, 1e-9);
  EXPECT_NEAR(Form34->Ch_RO->LeftAxis.Maximum(), 1.05 * two_thirds, 1e-9);
  // Peaks over 5, 60 and 300 records: the higher trip's power; neither
  // trip has the 1200 records of the last.
  const double peaks[4] = {300, 300, 300, 0};
  for (int k = 0; k < 4; ++k) EXPECT_EQ(Form34->Series1->YValue(k), peaks[k]) << k;
}

// Each distribution chart's click draws its own channel with its titles,
// colours and ranges; distances and speeds stay metric in imperial mode.
TEST_F(DistributionWindowReadouts, ChannelCurveOfEachChart) {
  const std::vector<TripSample> t = StepTrip();
  struct Row {
    TChart* TForm34::*chart;
    const char* title;
    const char* left;
    int colour_slot;
    float TripSample::*field;
    int half_width;
    double max;
  };
  const Row rows[] = {
      {&TForm34::Ch_RO, "Power", "Power [W]", 1, &TripSample::Power, 15, 250},
      {&TForm34::Ch_RU, "RPM", "RPM [1/min]", 2, &TripSample::Cadence, 4, 85},
      {&TForm34::Ch_MU, "Speed", "Speed [km/h]", 4, &TripSample::Speed, 4, 32.5},
      {&TForm34::Ch_LU, "HR", "HR [ 1/min]", 3, &TripSample::HeartRate, 4, 141},
  };
  for (int units : {0, kUnitMiles}) {
    UnitFlags = units;
    for (const Row& r : rows) {
      SCOPED_TRACE(std::string(r.title) + " " + std::to_string(units));
      Form34->Hide();
      OpenLine(1);
      ASSERT_FALSE(Form34->Ch_LO2->Visible);
      (Form34->*r.chart)->DoMouseDown(TMouseButton::mbLeft, ssLeft, 200, 120);
      (Form34->*r.chart)->DoClick();
      TChart& c = *Form34->Ch_LO2;
      ASSERT_TRUE(c.Visible);
      ASSERT_EQ(c.Title.Text.Count(), 1);
      EXPECT_EQ(c.Title.Text[0], r.title);
      EXPECT_EQ(c.Title.Font.Color, ChartColors[r.colour_slot]);
      EXPECT_EQ(c.LeftAxis.Title, r.left);
      EXPECT_NEAR(c.LeftAxis.Maximum(), r.max, 1e-4);
      EXPECT_EQ(c.LeftAxis.Minimum(), 0);
      EXPECT_FLOAT_EQ(static_cast<float>(c.BottomAxis.Maximum()), 1.5f);
      EXPECT_EQ(Form34->Series3->SeriesColor, ChartColors[r.colour_slot]);
      EXPECT_EQ(Form34->Series2->SeriesColor, ChartColors[5]);
      ASSERT_EQ(Form34->Series3->Count(), 300);
      ASSERT_EQ(Form34->Series2->Count(), 300);
      for (int i : {1, 150, 151, 300}) {
        const int k = i - 1;
        EXPECT_FLOAT_EQ(static_cast<float>(Form34->Series3->XValue(k)), 0.005f * i) << i;
        EXPECT_NEAR(Form34->Series3->YValue(k), MovingMean(t, r.field, i, r.half_width), 1e-3) << i;
        EXPECT_NEAR(Form34->Series2->YValue(k),
                    (MovingMean(t, &TripSample::Altitude, i, 7) - 100) * r.max / 40, 1e-3) << i;
      }
      EXPECT_NEAR(Form34->CurveAltitudeMax, 140, 1e-4);
      EXPECT_NEAR(Form34->CurveAltitudeMin, 100, 1e-4);
      // Distance labels about every 30 pixels from 0 to the trip's 1.5 km.
      const int n = std::max(1, (c.Width - 2 * c.MarginPixels().Left) / 30);
      ASSERT_EQ(Form34->LineSeries1->Count(), n + 1);
      for (int k : {0, 1, n / 2, n}) {
        char text[32];
        std::snprintf(text, sizeof text, "%6.2f", 1.5 / n * k);
        EXPECT_EQ(Form34->LineSeries1->Label(k), text) << k;
        EXPECT_NEAR(Form34->LineSeries1->XValue(k), 1.5 / n * k, 1e-5) << k;
      }
      EXPECT_EQ(Form34->LineSeries1->Label(n), "  1.50");
    }
  }
}

// Only a press near the top-left corner (both x and y below 50) opens the
// axis editor; any other press leaves the click to the curve.
TEST_F(DistributionWindowReadouts, EditorCornerAndCurveClick) {
  const struct {
    int x, y;
    bool editor;
  } presses[] = {{49, 49, true}, {10, 60, false}, {60, 10, false}, {50, 10, false}, {10, 50, false}};
  for (const auto& p : presses) {
    Form34->Hide();
    OpenLine(1);
    Form34->Ch_RU->DoMouseDown(TMouseButton::mbLeft, ssLeft, p.x, p.y);
    Form34->Ch_RU->DoClick();
    EXPECT_EQ(Form34->E_RU->Visible, p.editor) << p.x << "," << p.y;
    EXPECT_EQ(Form34->Ch_LO2->Visible, !p.editor) << p.x << "," << p.y;
    if (p.editor) {
      EXPECT_EQ(Form34->E_RU->Text, "     3");  // the axis of an empty record
    }
  }
}

// The zone strip under the power axis is 6 pixels high, in each zone's colour.
TEST_F(DistributionWindowReadouts, ZoneStripUnderThePowerAxis) {
  for (int k = 0; k < kZoneNameCount; ++k) ZoneColors[k] = RGBColor(30 + 14 * k, 220 - 12 * k, 120);
  DistributionView = DistinctRecord();
  const int32_t limits[10] = {5555, 140, 190, 225, 260, 300, 375, 0, 0, 0};
  std::copy(std::begin(limits), std::end(limits), DistributionView.ZoneLimits);
  ZoneCount = 7;
  ShowDistributionSums("caption");
  TChart& c = *Form34->Ch_RO;
  TBitmap bmp(c.Width, c.Height);
  c.Paint(bmp.Canvas());
  const int a = c.BottomAxis.StartPos(), w = c.BottomAxis.Length();
  const int strip_top = c.LeftAxis.EndPos() + 1;
  // Zone k spans from the pixel of limit k - 1 (zone 1 from the axis start)
  // to the pixel of limit k: a + trunc((L - 13) / 513 x w).
  int left = a;
  for (int k = 1; k <= 6; ++k) {
    const int right = a + static_cast<int>((limits[k] - 13.0) / 513.0 * w);
    const int x = (left + right) / 2;
    for (int y = strip_top; y < strip_top + 6; ++y) EXPECT_EQ(bmp.Pixel(x, y), ZoneColors[k]) << k << " " << y;
    EXPECT_NE(bmp.Pixel(x, strip_top + 6), ZoneColors[k]) << k;
    left = right;
  }
}

// A widened chart and a typed axis end last until the window is shown again.
TEST_F(DistributionWindowReadouts, ShownAgainChartsAreInPlaceWithTheirOwnAxis) {
  DistributionView = DistinctRecord();
  ShowDistributionSums("Time = 00:01:40");
  TChart& power = *Form34->Ch_RO;
  const TRect normal = power.BoundsRect();
  EXPECT_EQ(normal.Left, Form34->HalfWidth + 9);
  EXPECT_EQ(power.Width, Form34->HalfWidth);
  Form34->SB_RO->DoClick();
  ASSERT_EQ(power.Width, Form34->ClientWidth() - 10);
  power.DoMouseDown(TMouseButton::mbLeft, ssLeft, 10, 10);
  ASSERT_TRUE(Form34->E_RO->Visible);
  EXPECT_EQ(Form34->E_RO->Text, "    63");
  Form34->E_RO->Text = "12";
  WORD enter = VK_RETURN;
  Form34->E_RO->DoKeyDown(enter, 0);
  ASSERT_EQ(power.LeftAxis.Maximum(), 12);
  Form34->Hide();
  Form34->Show();
  EXPECT_EQ(power.BoundsRect(), normal);
  EXPECT_EQ(Form34->SB_RO->Tag, 0);
  EXPECT_EQ(Form34->SB_RO->Glyph, Form34->SB_7->Glyph);
  EXPECT_NEAR(power.LeftAxis.Maximum(), 63, 1e-9);
}

// The altitude range printed beside the curve, in metres or in feet: the
// chart as painted equals the chart with those two texts printed by hand.
TEST_F(DistributionWindowReadouts, CurveAltitudeRangeInMetresAndFeet) {
  const struct {
    int units;
    const char* top;
    const char* bottom;
  } rows[] = {{0, "   140 [m]", "   100 [m]"}, {kUnitMiles, "   459 [ft]", "   328 [ft]"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.units);
    UnitFlags = r.units;
    Form34->Hide();
    OpenLine(1);
    Form34->Ch_RO->DoClick();
    TChart& c = *Form34->Ch_LO2;
    ASSERT_TRUE(c.Visible);
    TBitmap painted(c.Width, c.Height);
    c.Paint(painted.Canvas());
    // The same chart with the expected texts printed in the same place.
    const auto handler = c.OnAfterDraw;
    c.OnAfterDraw = [&c, &r](TControl*, TCanvas& cv) {
      const TRect plot = c.PlotRect();
      const TFont saved = cv.Font;
      cv.Font.Size = 8;
      cv.Font.Color = c.CurveColour(ChartColors[5]);
      cv.Brush.Style = TBrushStyle::bsClear;
      cv.TextOut(4, plot.Top - 10 - cv.TextHeight("0") / 2, r.top);
      cv.TextOut(4, plot.Bottom + 5, r.bottom);
      cv.Font = saved;
    };
    TBitmap expected(c.Width, c.Height);
    c.Paint(expected.Canvas());
    c.OnAfterDraw = handler;
    int differing = 0;
    for (int y = 0; y < c.Height; ++y)
      for (int x = 0; x < c.Width; ++x) differing += painted.Pixel(x, y) != expected.Pixel(x, y);
    EXPECT_EQ(differing, 0);
  }
}

}  // namespace
}  // namespace tav
