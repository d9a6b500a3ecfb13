#include "analysis/power_cadence_scan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "analysis_test_util.h"
#include "diary/diary_window.h"

namespace tav {
namespace {

SmoothSample Smoothed(float power, float cadence, float speed) {
  SmoothSample s{};
  s[kSmoothPower] = power;
  s[kSmoothCadence] = cadence;
  s[kSmoothSpeed] = speed;
  return s;
}

TEST(PowerCadenceTest, ThresholdsAndMaximaOfTheScatter) {
  // Entry 0 is the header's and never counts, however large.
  std::vector<SmoothSample> s = {Smoothed(9999, 999, 999), Smoothed(200, 40, 5),
                                 Smoothed(250, 40.5f, 5.5f), Smoothed(300, 90, 30)};
  auto v = PowerCadenceSpeedOf(s.data(), 4, 0.5);
  EXPECT_EQ(v.cadence.x, (std::vector<double>{250, 300}));
  EXPECT_EQ(v.speed.y, (std::vector<double>{2.75, 15}));
  EXPECT_EQ(v.power_max, 300);
  EXPECT_EQ(v.cadence_max, 90);
  EXPECT_EQ(v.speed_max, 15);
  EXPECT_EQ(PowerLabels(25).size(), 3u);
  EXPECT_EQ(PowerLabels(1e30).size(), 2001u);  // capped
  EXPECT_EQ(PowerLabels(25)[2].text, "    20");
}

TEST(PowerCadenceTest, TorqueScatterAndMeanPoint) {
  for (int above : {10, 11}) {
    std::vector<SmoothSample> s(1, Smoothed(5000, 500, 0));
    for (int i = 0; i < above; ++i) s.push_back(Smoothed(314.0f, 100, 0));
    s.push_back(Smoothed(100, 20, 0));  // 20 rpm: on the zero line, but counts for the maximum
    auto t = TorqueCadenceOf(s.data(), static_cast<int>(s.size()));
    EXPECT_EQ(t.points.x.size(), s.size() - 1);
    EXPECT_EQ(t.points.y.back(), 0);
    EXPECT_NEAR(t.torque_max, 100 / 20.0 * kTorqueFactor, 1e-9);
    ASSERT_EQ(t.mean.has_value(), above == 11);
    if (t.mean) {
      EXPECT_NEAR((*t.mean)[1], 314.0 / 100 * kTorqueFactor, 1e-4);
    }
  }
  auto iso = IsoPowerCurve(150);
  EXPECT_NEAR(iso.y.front(), 286.6, 0.05);
  EXPECT_EQ(iso.x.back(), 149);
  EXPECT_NEAR(iso.y.back(), 9.6, 0.05);
}

TEST(PowerCadenceTest, ReadoutTexts) {
  struct Row {
    double torque, cadence;
    const char* text;
  } rows[] = {{30, 100, "   30.0 [Nm] / 100.0 [RMP]   >>>     314[W]  "},
              {60, 50, "   60.0 [Nm] /  50.0 [RMP]   >>>     314[W]  "},
              {0, 120, "    0.0 [Nm] / 120.0 [RMP]   >>>       0[W]  "},
              {95.5, 149, "   95.5 [Nm] / 149.0 [RMP]   >>>    1489[W]  "}};
  for (const Row& r : rows) EXPECT_EQ(TorqueReadout(r.torque, r.cadence), r.text) << r.torque << " " << r.cadence;
  EXPECT_EQ(ScatterReadout(92.4, 251.6), "   92.4    /       252  ");
  EXPECT_EQ(ScatterReadout(74.5644, 1200), "   74.6    /      1200  ");
}

using PowerCadenceWindowTest = testing_analysis::WindowFixture;

TEST_F(PowerCadenceWindowTest, ViewsKeepTheirSmoothingAndDrawZoneCurves) {
  testing_core::LoadIntoCurrent(testing_core::DemoRide(4, 1800));
  const float zones[] = {5555.0f, 150, 200, 250, 0, 0, 0, 0, 0};
  std::memcpy(TripZoneBlock, zones, sizeof zones);
  std::strcpy(ZoneNames[1], "Zone1");
  UnitFlags = kUnitMiles;
  SmoothLevel[kLevelPower] = 1;
  Form3->ViewCaption = "TRIP x";
  Form52->Show();
  EXPECT_EQ(Form52->Caption, "TRIP x");
  EXPECT_EQ(Form52->CB_G_PO->ItemIndex, 6);
  EXPECT_EQ(Form52->Chart->LeftAxis.Title, "Speed [mph]          RPM [1/min]");
  EXPECT_GT(Form52->Series2->Count(), 1000);
  EXPECT_EQ(SmoothLevel[kLevelPower], 1);
  Form52->SB_PRClick(nullptr);
  EXPECT_EQ(Form52->CB_G_PO->ItemIndex, 4);
  EXPECT_EQ(Form52->IsoSeries[0]->Title, "Zone1    150[W]   ");
  int curves = 0;
  for (auto* s : Form52->IsoSeries) curves += s->ShowInLegend;
  EXPECT_EQ(curves, 3);
  Form52->CB_G_PO->DoSelect(2);
  EXPECT_EQ(TorqueSmoothLevel, 2);
  EXPECT_TRUE(Form52->Chart1->Visible);
  Form52->Hide();
  Form52->Show();  // the power view again, its level unchanged
  EXPECT_EQ(Form52->CB_G_PO->ItemIndex, PowerCadenceSmoothLevel);
  EXPECT_EQ(TorqueSmoothLevel, 2);
}

// A trip of constant power, cadence and speed: its smoothed values are the
// same, so the axes the views set are known.
std::vector<TripSample> SteadyTrip(float power, float cadence, float speed) {
  auto t = testing_core::RampTrip(601);
  for (std::size_t i = 1; i < t.size(); ++i) {
    t[i].Power = power;
    t[i].Cadence = cadence;
    t[i].Speed = speed;
  }
  return t;
}

// The left axis reaches the larger of the drawn cadence and speed (cadence
// of 40 or less and speed of 5 or less are not drawn), the power axes the
// power; the torque view's left axis the torque plus 5, its cadence axes 150.
TEST_F(PowerCadenceWindowTest, AxesFollowWhatIsDrawn) {
  struct Row {
    float power, cadence, speed;
    bool miles;
    double left, torque_left;
  } rows[] = {
      {250, 90, 30, false, 90, 31.5393},      // cadence above speed
      {250, 60, 120, false, 120, 44.8089},    // speed above cadence
      {250, 60, 120, true, 74.5644, 44.8089}, // in mph
      {300, 30, 20, false, 20, 100.5414},     // 30 rpm is not drawn
  };
  for (const Row& r : rows) {
    testing_core::LoadIntoCurrent(SteadyTrip(r.power, r.cadence, r.speed));
    UnitFlags = r.miles ? kUnitMiles : 0;
    Form52->Hide();
    Form52->Show();
    EXPECT_NEAR(Form52->Chart->LeftAxis.Maximum(), r.left, 1e-3) << r.cadence << " " << r.speed;
    EXPECT_EQ(Form52->Chart->BottomAxis.Maximum(), r.power);
    EXPECT_EQ(Form52->Chart->TopAxis.Maximum(), r.power);
    EXPECT_EQ(Form52->Series2->Count(), r.cadence > 40 ? 600 : 0);
    Form52->SB_PRClick(nullptr);
    EXPECT_NEAR(Form52->Chart1->LeftAxis.Maximum(), r.torque_left, 1e-3) << r.cadence;
    EXPECT_EQ(Form52->Chart1->BottomAxis.Maximum(), 150);
    EXPECT_EQ(Form52->Chart1->TopAxis.Maximum(), 150);
  }
}

// The torque view's readout under the mouse, and the scatter's axis editor
// in the corner above the left axis.
TEST_F(PowerCadenceWindowTest, ReadoutAndAxisEditor) {
  testing_core::LoadIntoCurrent(SteadyTrip(300, 30, 20));  // torque axis 0 .. 100.5 Nm
  Form52->Show();
  Form52->SB_PRClick(nullptr);
  TChart& torque = *Form52->Chart1;
  const int x = torque.BottomAxis.ValueToPixel(100), y = torque.LeftAxis.ValueToPixel(30);
  Form52->Chart1MouseDown(nullptr, TMouseButton::mbLeft, 0, x, y);
  ASSERT_TRUE(Form52->Show_DAT->Visible);
  const std::string text = Form52->Show_DAT->Caption;
  double nm = 0, rpm = 0, watts = 0;
  ASSERT_EQ(std::sscanf(text.c_str(), " %lf [Nm] / %lf [RMP] >>>%lf[W]", &nm, &rpm, &watts), 3) << text;
  EXPECT_NEAR(nm, 30, 0.3);
  EXPECT_NEAR(rpm, 100, 0.3);
  EXPECT_NEAR(watts, 314, 3);
  Form52->Chart1MouseDown(nullptr, TMouseButton::mbLeft, 0, 2, 2);  // outside: no readout, no editor
  EXPECT_FALSE(Form52->E_SKA->Visible);

  Form52->SB_PRSClick(nullptr);
  TChart& scatter = *Form52->Chart;
  const TRect plot = scatter.PlotRect();
  Form52->ChartMouseDown(nullptr, TMouseButton::mbLeft, 0, plot.Left - 5, plot.Top + 5);
  ASSERT_TRUE(Form52->E_SKA->Visible);
  EXPECT_EQ(Form52->E_SKA->Text, "    20");
  const struct {
    const char* typed;
    double left;
  } typed[] = {{" 0", 20}, {"150", 150}, {"-3", 150}};
  for (const auto& t : typed) {
    Form52->E_SKA->Text = t.typed;
    Form52->E_SKA->Show();
    WORD enter = VK_RETURN;
    Form52->E_SKA->DoKeyDown(enter, 0);
    EXPECT_EQ(scatter.LeftAxis.Maximum(), t.left) << t.typed;
  }
}

// The diary loads other trips (the sample table, another scan) while the
// window stays open: coming back keeps the trip, its zones and its caption;
// the next opening takes the trip then loaded.
TEST_F(PowerCadenceWindowTest, KeepsTheTripItWasOpenedWith) {
  const auto a = testing_core::DemoRide(4, 1800);
  testing_core::LoadIntoCurrent(a);
  const float zones[] = {5555.0f, 150, 200, 250, 0, 0, 0, 0, 0};
  std::memcpy(TripZoneBlock, zones, sizeof zones);
  Form3->ViewCaption = "TRIP A";
  Form3->Show();
  Form52->Show();
  const int scatter = Form52->Series2->Count();
  EXPECT_GT(scatter, 1000);

  testing_core::LoadIntoCurrent(testing_core::DemoRide(9, 300));
  const float other_zones[] = {5555.0f, 100, 0, 0, 0, 0, 0, 0, 0};
  std::memcpy(TripZoneBlock, other_zones, sizeof other_zones);
  Form3->ViewCaption = "TRIP B";
  Application().ActivateForm(Form3);
  Application().ActivateForm(Form52);
  EXPECT_EQ(Form52->Caption, "TRIP A");
  EXPECT_EQ(Form52->Trip().size(), a.size());
  EXPECT_EQ(Form52->Series2->Count(), scatter);
  Form52->SB_PRClick(nullptr);  // the torque view of the same trip and zones
  EXPECT_EQ(Form52->LineSeries2->Count(), static_cast<int>(a.size()) - 1);
  int curves = 0;
  for (auto* s : Form52->IsoSeries) curves += s->ShowInLegend;
  EXPECT_EQ(curves, 3);
  EXPECT_EQ(Form52->Caption, "TRIP A");

  Application().ActivateForm(Form3);
  Form52->Show();
  EXPECT_EQ(Form52->Caption, "TRIP B");
  EXPECT_EQ(Form52->Trip().size(), 301u);
  Form52->SB_PRClick(nullptr);
  EXPECT_EQ(Form52->LineSeries2->Count(), 300);
  curves = 0;
  for (auto* s : Form52->IsoSeries) curves += s->ShowInLegend;
  EXPECT_EQ(curves, 1);
}

}  // namespace
}  // namespace tav
