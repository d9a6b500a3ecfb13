// What the power / cadence / speed window shows, worked out by hand: the
// scatter's points and axes in km/h and mph, the power labels, the torque
// view's points, mean point, iso-power curves with their legend texts and
// colours, its cadence labels and axis titles, and the smoothing of each view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/power_cadence_scan.h"
#include "analysis_test_util.h"
#include "platform/text.h"
#include "texts/text_tables.h"

namespace tav {
namespace {

// Newton metres per watt and rpm, written out here.
constexpr double kNm = 9.55414;

SmoothSample At(float power, float cadence, float speed) {
  SmoothSample s{};
  s[kSmoothPower] = power;
  s[kSmoothCadence] = cadence;
  s[kSmoothSpeed] = speed;
  return s;
}

TEST(PowerCadenceReadouts, SpeedThresholdIsInKilometresPerHourWhateverTheUnit) {
  // 6 km/h is drawn (3.73 mph), 5 km/h is not; cadence 41 is drawn, 40 not.
  const std::vector<SmoothSample> s = {At(0, 0, 0), At(120, 41, 6), At(180, 40, 5), At(260, 95, 44)};
  const PowerCadenceSpeedPoints v = PowerCadenceSpeedOf(s.data(), 4, 0.62137);
  EXPECT_EQ(v.speed.x, (std::vector<double>{120, 260}));
  ASSERT_EQ(v.speed.y.size(), 2u);
  EXPECT_NEAR(v.speed.y[0], 6 * 0.62137, 1e-5);
  EXPECT_NEAR(v.speed.y[1], 44 * 0.62137, 1e-5);
  EXPECT_NEAR(v.speed_max, 44 * 0.62137, 1e-5);
  EXPECT_EQ(v.cadence.x, (std::vector<double>{120, 260}));
  EXPECT_EQ(v.cadence.y, (std::vector<double>{41, 95}));
  EXPECT_EQ(v.cadence_max, 95);
  EXPECT_EQ(v.power_max, 260);
}

TEST(PowerCadenceReadouts, TorqueMaximumCountsFromAbove10Rpm) {
  // 10 rpm at 500 W (477.7 Nm) is left out; 10.5 rpm at 100 W (91.0 Nm) counts.
  const std::vector<SmoothSample> s = {At(0, 0, 0), At(500, 10, 0), At(100, 10.5f, 0), At(250, 90, 0)};
  const TorqueCadencePoints t = TorqueCadenceOf(s.data(), 4);
  EXPECT_NEAR(t.torque_max, 100 / 10.5 * kNm, 1e-4);
  EXPECT_EQ(t.points.y, (std::vector<double>{0, 0, 250 / 90.0 * kNm}));
  EXPECT_FALSE(t.mean);
  // The mean point: cadence and torque of the 11 records above 20 rpm.
  std::vector<SmoothSample> m(1, At(0, 0, 0));
  for (int i = 0; i < 11; ++i) m.push_back(At(200, i < 5 ? 80.0f : 100.0f, 0));
  m.push_back(At(900, 15, 0));  // 15 rpm: on the zero line, out of the mean
  const TorqueCadencePoints mean = TorqueCadenceOf(m.data(), static_cast<int>(m.size()));
  ASSERT_TRUE(mean.mean);
  EXPECT_NEAR((*mean.mean)[0], (5 * 80.0 + 6 * 100.0) / 11, 1e-9);
  EXPECT_NEAR((*mean.mean)[1], (5 * 200 / 80.0 * kNm + 6 * 200 / 100.0 * kNm) / 11, 1e-6);
}

TEST(PowerCadenceReadouts, IsoPowerCurveAndLabels) {
  const CurvePoints c = IsoPowerCurve(200);
  ASSERT_EQ(c.x.size(), 145u);  // 5 .. 149 rpm
  EXPECT_EQ(c.x.front(), 5);
  EXPECT_NEAR(c.y.front(), 200 / 5.0 * kNm, 1e-9);  // 382.17 Nm
  EXPECT_NEAR(c.y[95], 200 / 100.0 * kNm, 1e-9);    // 19.11 Nm at 100 rpm
  EXPECT_NEAR(c.y.back(), 200 / 149.0 * kNm, 1e-9);
  // Power labels every 10 W up to the maximum, the maximum included.
  const std::vector<AxisTextLabel> p = PowerLabels(250);
  ASSERT_EQ(p.size(), 26u);
  EXPECT_EQ(p[1].x, 10);
  EXPECT_EQ(p[1].text, "    10");
  EXPECT_EQ(p.back().x, 250);
  EXPECT_EQ(p.back().text, "   250");
  EXPECT_EQ(PowerLabels(249.9).size(), 25u);
  // 20 Nm at 90 rpm are 188 W.
  EXPECT_EQ(TorqueReadout(20, 90), "   20.0 [Nm] /  90.0 [RMP]   >>>     188[W]  ");
}

// ---- The window ----------------------------------------------------------------

class PowerCadenceWindowReadouts : public testing_analysis::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    PowerCadenceSmoothLevel = 6;
    TorqueSmoothLevel = 4;
    for (int j = 0; j < kZoneNameCount; ++j) {
      ZoneColors[j] = RGBColor(20 + 17 * j, 230 - 13 * j, 70 + 5 * j);
      std::snprintf(ZoneNames[j], sizeof ZoneNames[j], "Zn%d", j);
    }
  }
  void TearDown() override {
    ApplyTextTable(1);  // the language the other tests read
    PowerCadenceSmoothLevel = 6;
    TorqueSmoothLevel = 4;
    WindowFixture::TearDown();
  }
};

// A trip of constant power, cadence and speed (600 records).
std::vector<TripSample> Steady(float power, float cadence, float speed) {
  auto t = testing_core::RampTrip(601);
  for (std::size_t i = 1; i < t.size(); ++i) {
    t[i].Power = power;
    t[i].Cadence = cadence;
    t[i].Speed = speed;
    t[i].HeartRate = 150;
  }
  return t;
}

TEST_F(PowerCadenceWindowReadouts, ScatterPointsTitlesAndLabelsInKmhAndMph) {
  testing_core::LoadIntoCurrent(Steady(250, 90, 36));
  struct Row {
    int language, units;
    double speed;  // as drawn
    const char* title;
    const char* speed_legend;
    const char* left;
  } rows[] = {
      {1, 0, 36, "Power / RPM / Speed", "Power / Speed", "Speed [km/h]          RPM [1/min]"},
      {1, kUnitMiles, 36 * 0.62137, "Power / RPM / Speed", "Power / Speed", "Speed [mph]          RPM [1/min]"},
      {2, kUnitFahrenheit | kUnitPounds, 36, "Power / RPM / Velocidad", "Power / Velocidad",
       "Velocidad [km/h]          RPM [1/min]"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.language * 100 + r.units);
    ApplyTextTable(r.language);
    UnitFlags = r.units;
    Form52->Hide();
    Form52->Show();
    TChart& c = *Form52->Chart;
    ASSERT_EQ(c.Title.Text.Count(), 1);
    EXPECT_EQ(c.Title.Text[0], r.title);
    EXPECT_EQ(Form52->Series2->Title, "Power / RPM");
    EXPECT_EQ(Form52->Series3->Title, r.speed_legend);
    EXPECT_EQ(c.LeftAxis.Title, r.left);
    EXPECT_EQ(c.BottomAxis.Title, "Power [W]");
    ASSERT_EQ(Form52->Series2->Count(), 600);
    ASSERT_EQ(Form52->Series3->Count(), 600);
    EXPECT_FLOAT_EQ(static_cast<float>(Form52->Series2->XValue(0)), 250);
    EXPECT_FLOAT_EQ(static_cast<float>(Form52->Series2->YValue(599)), 90);
    EXPECT_FLOAT_EQ(static_cast<float>(Form52->Series3->XValue(599)), 250);
    EXPECT_NEAR(Form52->Series3->YValue(0), r.speed, 1e-4);
    EXPECT_EQ(c.LeftAxis.Maximum(), 90);  // the cadence is above the speed in either unit
    EXPECT_EQ(c.BottomAxis.Maximum(), 250);
    ASSERT_EQ(Form52->Series1->Count(), 26);
    EXPECT_EQ(Form52->Series1->Label(25), "   250");
    EXPECT_EQ(Form52->Series1->XValue(25), 250);
    EXPECT_EQ(Form52->Series1->Label(3), "    30");
  }
}

// The torque view of a trip at 250 W and 90 rpm with zone bounds of 150,
// 200, 999 and 1000 W (bound 4) and 300 W as bound 7.
TEST_F(PowerCadenceWindowReadouts, TorqueViewCurvesLegendAndAxes) {
  testing_core::LoadIntoCurrent(Steady(250, 90, 36));
  const float zones[kZoneBlockWords] = {5555.0f, 150, 200, 999, 1000, 0, 0, 300, 0};
  std::copy(std::begin(zones), std::end(zones), TripZoneBlock);
  Form52->Show();
  Form52->SB_PRClick(nullptr);
  TChart& c = *Form52->Chart1;
  ASSERT_EQ(c.Title.Text.Count(), 1);
  EXPECT_EQ(c.Title.Text[0], "Torque / RPM");
  EXPECT_EQ(c.LeftAxis.Title, "Torque [Nm]");
  EXPECT_EQ(c.BottomAxis.Title, "RPM [1/min]");
  const double torque = 250 / 90.0 * kNm;  // 26.54 Nm
  EXPECT_NEAR(c.LeftAxis.Maximum(), torque + 5, 1e-4);
  EXPECT_EQ(c.BottomAxis.Maximum(), 150);
  ASSERT_EQ(Form52->LineSeries2->Count(), 600);
  EXPECT_FLOAT_EQ(static_cast<float>(Form52->LineSeries2->XValue(10)), 90);
  EXPECT_NEAR(Form52->LineSeries2->YValue(10), torque, 1e-4);
  EXPECT_EQ(Form52->LineSeries2->Title, "Torque / RPM   ");
  // The mean point: 90 rpm, 26.54 Nm.
  ASSERT_EQ(Form52->Series15->Count(), 1);
  EXPECT_NEAR(Form52->Series15->XValue(0), 90, 1e-4);
  EXPECT_NEAR(Form52->Series15->YValue(0), torque, 1e-4);
  EXPECT_EQ(Form52->Series15->PointColor(0), RGBColor(255, 0, 0));
  // Curves of bounds 1, 2, 3 and 7; none for 1000 W or 0.
  const struct {
    int j;
    const char* title;  // empty: no curve
  } curves[] = {{1, "Zn1      150[W]   "}, {2, "Zn2      200[W]   "}, {3, "Zn3      999[W]   "}, {4, ""},
                {5, ""}, {6, ""}, {7, "Zn7      300[W]   "}, {8, ""}};
  for (const auto& cv : curves) {
    const TChartSeries& s = *Form52->IsoSeries[static_cast<std::size_t>(cv.j - 1)];
    SCOPED_TRACE(cv.j);
    if (*cv.title == '\0') {
      EXPECT_FALSE(s.ShowInLegend);
      EXPECT_EQ(s.Count(), 0);
      continue;
    }
    const double watts = zones[cv.j];
    EXPECT_TRUE(s.ShowInLegend);
    EXPECT_EQ(s.Title, cv.title);
    EXPECT_EQ(s.SeriesColor, ZoneColors[cv.j]);
    ASSERT_EQ(s.Count(), 145);
    EXPECT_EQ(s.XValue(0), 5);
    EXPECT_NEAR(s.YValue(0), watts / 5 * kNm, 1e-6);
    EXPECT_EQ(s.XValue(144), 149);
    EXPECT_NEAR(s.YValue(144), watts / 149 * kNm, 1e-6);
  }
  // Cadence labels every 5 rpm from 0 to 150.
  ASSERT_EQ(Form52->LineSeries1->Count(), 31);
  EXPECT_EQ(Form52->LineSeries1->Label(1), "     5");
  EXPECT_EQ(Form52->LineSeries1->XValue(1), 5);
  EXPECT_EQ(Form52->LineSeries1->Label(30), "   150");
}

// Each view smooths at its own level: a power step from 150 W to 250 W
// (record 301) is averaged over 31 records in the scatter (level 6, "30 SEC")
// and over 15 in the torque view (level 4); the combo shows the view's level.
TEST_F(PowerCadenceWindowReadouts, EachViewSmoothsAtItsOwnLevel) {
  std::vector<TripSample> t = Steady(150, 100, 30);
  for (std::size_t i = 301; i < t.size(); ++i) t[i].Power = 250;
  testing_core::LoadIntoCurrent(t);
  Form52->Show();
  // Record 300 (point 299) over records 285-315: 16 at 150 W and 15 at 250 W.
  EXPECT_NEAR(Form52->Series2->XValue(299), (16 * 150.0 + 15 * 250.0) / 31, 1e-3);
  EXPECT_EQ(Form52->CB_G_PO->ItemIndex, 6);
  Form52->SB_PRClick(nullptr);
  EXPECT_EQ(Form52->CB_G_PO->ItemIndex, 4);
  // Record 300 over records 293-307: 8 at 150 W, 7 at 250 W, at 100 rpm.
  EXPECT_NEAR(Form52->LineSeries2->YValue(299), (8 * 150.0 + 7 * 250.0) / 15 / 100 * kNm, 1e-4);
  Form52->SB_PRSClick(nullptr);
  EXPECT_EQ(Form52->CB_G_PO->ItemIndex, 6);
  // Level 0 in the scatter: the raw step.
  Form52->CB_G_PO->DoSelect(0);
  EXPECT_EQ(PowerCadenceSmoothLevel, 0);
  EXPECT_EQ(TorqueSmoothLevel, 4);
  EXPECT_EQ(Form52->Series2->XValue(299), 150);
  EXPECT_EQ(Form52->Series2->XValue(300), 250);
}

}  // namespace
}  // namespace tav
