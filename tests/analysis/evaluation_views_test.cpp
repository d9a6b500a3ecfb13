// What the evaluation window shows for a small made-up selection, in
// English: the summary rows, each trend's values, series titles, colours,
// axis titles and formats in metric and imperial units, the zone trend of
// trips recorded at 1 s and 2 s, and the zone pie a click on a point opens.
#include "analysis/evaluation_window.h"

#include <gtest/gtest.h>

#include "analysis/zone_pie.h"
#include "analysis_test_util.h"
#include "core/statistics.h"
#include "core/trip_file.h"
#include "diary/diary_window.h"
#include "platform/text.h"
#include "texts/text_tables.h"

namespace tav {
namespace {

constexpr TColor kYellow = RGBColor(255, 255, 0), kRed = RGBColor(255, 0, 0), kBlue = RGBColor(0, 0, 255),
                 kLime = RGBColor(0, 255, 0), kMaroon = RGBColor(128, 0, 0), kGreen = RGBColor(0, 128, 0);

TripSummary Summary(int time, int climbTime, float distance, float climbDistance, float ascent, float powerAll,
                    float powerNonZero, float climbPower, float np, float intensity, float tss, float hr,
                    float speed) {
  TripSummary t;
  t.TotalTime = time;
  t.ClimbTime = climbTime;
  t.Distance = distance;
  t.ClimbDistance = climbDistance;
  t.Ascent = ascent;
  t.MeanPowerAll = powerAll;
  t.MeanPowerNonZero = powerNonZero;
  t.ClimbPower = climbPower;
  t.MaxPower = 800;
  t.NP = np;
  t.IF = intensity;
  t.TSS = tss;
  t.Work = 500;
  t.MeanHeartRate = hr;
  t.MaxHeartRate = 180;
  t.MeanCadence = 88;
  t.MaxCadence = 120;
  t.MeanSpeed = speed;
  t.MaxSpeed = 60;
  return t;
}

class EvalViews : public testing_analysis::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    ApplyLanguage(kEnglishTexts);
    ClimbGradeThreshold = 2.5f;
    RiderTable[CurrentRider].Weight = 80;
    //                               time climb dist cdist ascent pAll pNon0 climbP NP   IF      TSS HR   speed
    TripSummaryTable[1] = Summary(3600, 600, 30, 4, 500, 150, 180, 250, 200, 0.75f, 60, 140, 30);
    TripSummaryTable[2] = Summary(7200, 1200, 70, 6, 1000, 120, 150, 220, 170, 0.625f, 90, 125, 35);
    TripSummaryTable[3] = Summary(1865, 300, 10, 3, 300, 999, 999, 999, 999, 9, 50, 155, 99);  // manual
    const int32_t peaks[3][4] = {{1000, 600, 400, 300}, {900, 550, 350, 280}, {7, 7, 7, 7}};
    for (int s = 0; s < 3; ++s)
      std::copy(peaks[s], peaks[s] + 4, TripDistributionTable[s + 1].Data.Peaks);
  }
  void Open(const std::vector<std::string>& lines, int sport = kSportBikePower) {
    SelectedTrips.Clear();
    for (const std::string& l : lines) SelectedTrips.Add(l);
    ScanList = &SelectedTrips;
    Form3->SB_SEL_ALL->Tag = sport;
    f = Form4;
    if (f->Visible) f->Hide();
    f->Evaluated = false;
    f->Show();
  }
  // A click on point `point` of series `k`, where the user sees it.
  void ClickPoint(int k, int point, TMouseButton b = TMouseButton::mbLeft) {
    TChartSeries* s = f->Series[static_cast<std::size_t>(k)];
    f->Chart->DoMouseDown(b, 0, s->CalcXPos(point), s->CalcYPos(point));
    f->Chart->DoMouseUp(b, 0, s->CalcXPos(point), s->CalcYPos(point));
  }
  // Series k holds exactly these (x, y) points.
  void ExpectPoints(int k, const std::vector<std::pair<double, double>>& want, const char* what) {
    const TChartSeries* s = f->Series[static_cast<std::size_t>(k)];
    ASSERT_EQ(s->Count(), static_cast<int>(want.size())) << what << " series " << k;
    for (int p = 0; p < s->Count(); ++p) {
      EXPECT_EQ(s->XValue(p), want[static_cast<std::size_t>(p)].first) << what << " series " << k << " point " << p;
      EXPECT_NEAR(s->YValue(p), want[static_cast<std::size_t>(p)].second, 1e-4) << what << " series " << k << " point " << p;
    }
  }
  void ExpectTitlesAndColours(const std::array<std::string, 4>& titles, const std::array<TColor, 4>& colours,
                              const char* what) {
    ASSERT_EQ(f->LBox->Items.Count(), 4) << what;
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(f->Series[static_cast<std::size_t>(k)]->Title, titles[static_cast<std::size_t>(k)]) << what << " " << k;
      EXPECT_EQ(f->LBox->Items[k], titles[static_cast<std::size_t>(k)]) << what << " " << k;
      EXPECT_EQ(f->Series[static_cast<std::size_t>(k)]->SeriesColor, colours[static_cast<std::size_t>(k)]) << what << " " << k;
    }
  }
  TForm4* f = nullptr;
  // Line 0 trip A, 1 trip B, 2 the manual entry.
  const std::vector<std::string> lines_ = {"20140301_1015000_TAV;001;*Hills|x", "20140302_0800000_TAV;002;*Flat",
                                           "20140304_0930NR3_X;003;*gym"};
};

TEST_F(EvalViews, SummaryCaptionAndButtonsByUnitsAndKind) {
  Open(lines_);
  EXPECT_EQ(f->Caption, "Analyze of 01.03.2014 - 10:15 to 04.03.2014 - 09:30");
  // Distance 110 km = 68.3507 miles in 3:31:05; climbing 10 km (the manual
  // entry's 3 km count not) = 6.2137 miles in 30 min; speed (30 x 1 h + 35 x
  // 2 h) / 3 h = 33.333 km/h = 20.712 mph; ascent 1500 m = 4921.26 ft.
  struct Case {
    int units;
    const char* rows[kSummaryRows];
  } cases[] = {
      {0,
       {"Number of trips  =   3", "Total distance [km]         =   110.0           Time = 03:31:05", nullptr,
        nullptr, nullptr, "Speed[km/h]         Average =    33.3           max  =       60", nullptr, nullptr,
        nullptr, "Altitude difference [m]     =    1500", nullptr,
        "Distance [km]               =    10.0           Time = 00:30:00", "Speed[km/h]         Average =    20.0"}},
      {kUnitMiles,
       {"Number of trips  =   3", "Total distance [miles]      =    68.4           Time = 03:31:05", nullptr,
        nullptr, nullptr, "Speed[mph]          Average =    20.7           max  =       37", nullptr, nullptr,
        nullptr, "Altitude difference [ft]    =    4921", nullptr,
        "Distance [miles]            =     6.2           Time = 00:30:00", "Speed[mph]          Average =    12.4"}},
  };
  for (const Case& c : cases) {
    UnitFlags = c.units;
    f->SB_AWZ->DoClick();
    EXPECT_TRUE(f->ZDP->Visible);
    EXPECT_FALSE(f->SB_AWZ->Flat);
    for (int r = 0; r < kSummaryRows; ++r) {
      if (c.rows[r] != nullptr) {
        EXPECT_EQ(f->ZD[static_cast<std::size_t>(r)]->Caption, c.rows[r]) << c.units << " row " << r;
      }
    }
  }
  EXPECT_EQ(f->ZD[2]->Caption, "NP\x99[Watt]                   =   180.0           IF\x99  =    0.667");

  // The kind of the selection: rows and the power buttons.
  struct Kind {
    int sport;
    const char* count;
    bool powerRows, cadenceRow, powerButtons;
  } kinds[] = {{kSportBikePower, "Number of trips  =   3", true, true, true},
               {kSportBikeHeartRate, "Number of trips  =   3", false, true, false},
               {kSportRun, "Number of sessions  =   3", false, false, false}};
  for (const Kind& k : kinds) {
    Open(lines_, k.sport);
    EXPECT_EQ(f->ZD[0]->Caption, k.count) << k.sport;
    for (int r : {2, 3, 4}) EXPECT_EQ(f->ZD[static_cast<std::size_t>(r)]->Visible, k.powerRows) << k.sport << " row " << r;
    EXPECT_EQ(f->ZD[6]->Visible, k.cadenceRow) << k.sport;
    EXPECT_TRUE(f->ZD[5]->Visible && f->ZD[7]->Visible && f->ZD[12]->Visible) << k.sport;
    EXPECT_EQ(f->SB_PGRAF->Enabled, k.powerButtons) << k.sport;
    EXPECT_EQ(f->SB_SGRAF->Enabled, k.powerButtons) << k.sport;
    EXPECT_TRUE(f->SB_DGRAF->Enabled) << k.sport;
  }
}

TEST_F(EvalViews, PowerTrendInWattsAndPerWeightInKilogramsAndPounds) {
  Open(lines_);
  f->UiText[7] = "uphill";  // the climbing text, told apart from the grade text [4]
  f->SB_PGRAF->DoClick();
  EXPECT_EQ(f->Chart->Tag, 10);
  EXPECT_TRUE(f->SB_Po_Gew->Visible);
  ExpectTitlesAndColours({"NP\x99", "Power uphill", "Power 1 (exc 0 W)", "Power 2 (inc 0 W)"},
                         {kYellow, kRed, kBlue, kLime}, "power");
  EXPECT_EQ(f->Chart->LeftAxis.Title, "Power [W]");
  EXPECT_EQ(f->Chart->LeftAxis.ValueFormat, "###0");
  EXPECT_FALSE(f->Chart->RightAxis.Visible);
  for (TChartSeries* s : f->Series) EXPECT_EQ(s->VertAxis, TVertAxis::aLeftAxis);
  ExpectPoints(0, {{0, 200}, {1, 170}, {2, 0}}, "watts");
  ExpectPoints(1, {{0, 250}, {1, 220}, {2, 0}}, "watts");
  ExpectPoints(2, {{0, 180}, {1, 150}, {2, 0}}, "watts");
  ExpectPoints(3, {{0, 150}, {1, 120}, {2, 0}}, "watts");
  EXPECT_EQ(f->Series[0]->Label(0), "01.03.2014 ");
  EXPECT_EQ(f->Series[0]->Label(2), "");

  // Per weight: 80 kg, also while the distances are in miles.
  UnitFlags = kUnitMiles;
  f->FormActivate(f);
  f->SB_Po_Gew->DoClick();
  EXPECT_EQ(f->SB_Po_Gew->Caption, "Power/kg");
  EXPECT_EQ(f->Chart->LeftAxis.Title, "Power [W/kg]");
  EXPECT_EQ(f->Chart->LeftAxis.ValueFormat, "###0.0");
  ExpectPoints(0, {{0, 2.5}, {1, 2.125}, {2, 0}}, "per kg");
  ExpectPoints(1, {{0, 3.125}, {1, 2.75}, {2, 0}}, "per kg");
  ExpectPoints(3, {{0, 1.875}, {1, 1.5}, {2, 0}}, "per kg");
  // In pounds: 80 kg = 176.37 lbs.
  UnitFlags = kUnitPounds;
  f->FormActivate(f);
  f->SB_PGRAF->DoClick();
  EXPECT_EQ(f->Chart->LeftAxis.Title, "Power [W/lbs]");
  const double lbs = 80 * 2.2046226;
  ExpectPoints(0, {{0, 200 / lbs}, {1, 170 / lbs}, {2, 0}}, "per lbs");
  ExpectPoints(2, {{0, 180 / lbs}, {1, 150 / lbs}, {2, 0}}, "per lbs");
  // Off again: watts.
  f->SB_Po_Gew->DoClick();
  EXPECT_EQ(f->SB_Po_Gew->Caption, "Power");
  EXPECT_EQ(f->Chart->LeftAxis.Title, "Power [W]");
  ExpectPoints(0, {{0, 200}, {1, 170}, {2, 0}}, "watts again");
}

TEST_F(EvalViews, NormalisedPowerTrendWithHeartRateOnTheLeftAndIFOnTheRight) {
  Open(lines_);
  f->SB_SGRAF->DoClick();
  EXPECT_FALSE(f->SB_SGRAF->Flat);
  EXPECT_FALSE(f->SB_Po_Gew->Visible);
  ExpectTitlesAndColours({"NP\x99", "HR", "TSS\x99", "IF\x99"}, {kYellow, kRed, kBlue, kLime}, "NP");
  EXPECT_EQ(f->Chart->LeftAxis.Title, "Power [W],   HR [1/min],   TSS\x99");
  EXPECT_EQ(f->Chart->RightAxis.Title, "IF\x99");
  EXPECT_EQ(f->Chart->LeftAxis.ValueFormat, "###0");
  EXPECT_EQ(f->Chart->RightAxis.ValueFormat, "###0.00");
  EXPECT_TRUE(f->Chart->RightAxis.Visible);
  EXPECT_EQ(f->Series[3]->VertAxis, TVertAxis::aRightAxis);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(f->Series[static_cast<std::size_t>(k)]->VertAxis, TVertAxis::aLeftAxis) << k;
  ExpectPoints(0, {{0, 200}, {1, 170}, {2, 0}}, "NP");
  ExpectPoints(1, {{0, 140}, {1, 125}, {2, 155}}, "NP");  // the manual entry's heart rate
  ExpectPoints(2, {{0, 60}, {1, 90}, {2, 0}}, "NP");
  ExpectPoints(3, {{0, 0.75}, {1, 0.625}, {2, 0}}, "NP");
  EXPECT_EQ(f->Series[0]->Label(2), "04.03.2014 ");

  // The grid follows the side clicked: left of 10 % of the width the left
  // axis's, right of 80 % the right axis's; in between, and on the bounds
  // themselves, nothing changes.
  const int w = f->Chart->Width;
  struct Click {
    int x;
    bool left, right;  // grids after the click
  } clicks[] = {{w * 80 / 100 + 1, false, true}, {w * 10 / 100, false, true}, {w * 10 / 100 - 1, true, false},
                {w * 80 / 100, true, false},     {w / 2, true, false},       {w - 1, false, true}};
  for (const Click& c : clicks) {
    f->ChartMouseDown(f->Chart, TMouseButton::mbLeft, 0, c.x, 40);
    EXPECT_EQ(f->Chart->LeftAxis.GridVisible, c.left) << c.x << " of " << w;
    EXPECT_EQ(f->Chart->RightAxis.GridVisible, c.right) << c.x << " of " << w;
  }
}

TEST_F(EvalViews, DistanceTrendInKilometresAndMiles) {
  Open(lines_);
  struct Case {
    int units;
    double sf, af;
    const char* left;
    const char* right;
  } cases[] = {{0, 1, 1, "Distance [km],Speed [km/h]", "Cumulated altitude [m]"},
               {kUnitMiles, 0.62137, 3.28084, "Distance [miles],Speed [mph]", "Cumulated altitude [ft]"},
               {kUnitPounds | kUnitFahrenheit, 1, 1, "Distance [km],Speed [km/h]", "Cumulated altitude [m]"}};
  for (const Case& c : cases) {
    UnitFlags = c.units;
    f->SB_DGRAF->DoClick();
    EXPECT_FALSE(f->SB_DGRAF->Flat);
    ExpectTitlesAndColours({"Distance", "Distance  Gradient(2.50%)", "Speed", "Cumulated altitude"},
                           {kYellow, kRed, kBlue, kMaroon}, c.left);
    EXPECT_EQ(f->Chart->LeftAxis.Title, c.left);
    EXPECT_EQ(f->Chart->RightAxis.Title, c.right);
    EXPECT_TRUE(f->Chart->RightAxis.Visible);
    EXPECT_EQ(f->Series[3]->VertAxis, TVertAxis::aRightAxis);
    EXPECT_EQ(f->Series[2]->VertAxis, TVertAxis::aLeftAxis);
    ExpectPoints(0, {{0, 30 * c.sf}, {1, 70 * c.sf}, {2, 10 * c.sf}}, c.left);
    ExpectPoints(1, {{0, 4 * c.sf}, {1, 6 * c.sf}, {2, 0}}, c.left);
    ExpectPoints(2, {{0, 30 * c.sf}, {1, 35 * c.sf}, {2, 0}}, c.left);
    ExpectPoints(3, {{0, 500 * c.af}, {1, 1000 * c.af}, {2, 0}}, c.left);
  }
}

TEST_F(EvalViews, PeakTrendInWattsAndPerWeight) {
  Open(lines_);
  f->SB_TGRAF->DoMouseDown(TMouseButton::mbRight, 0, 2, 2);
  EXPECT_EQ(f->Chart->Tag, 20);
  EXPECT_FALSE(f->SB_TGRAF->Flat);
  ExpectTitlesAndColours({"5[sec]", "1[min]", "5[min]", "20[min]"}, {kRed, kYellow, kLime, kGreen}, "peaks");
  EXPECT_EQ(f->Chart->LeftAxis.Title, "Power Peak [Watt]");
  EXPECT_EQ(f->Chart->LeftAxis.ValueFormat, "###0");
  ExpectPoints(0, {{0, 1000}, {1, 900}}, "peaks");  // none of the manual entry
  ExpectPoints(1, {{0, 600}, {1, 550}}, "peaks");
  ExpectPoints(2, {{0, 400}, {1, 350}}, "peaks");
  ExpectPoints(3, {{0, 300}, {1, 280}}, "peaks");
  f->SB_Po_Gew->DoClick();
  EXPECT_EQ(f->Chart->Tag, 20);
  EXPECT_EQ(f->Chart->LeftAxis.Title, "Power Peak [Watt/kg]");
  EXPECT_EQ(f->Chart->LeftAxis.ValueFormat, "###0.0");
  ExpectPoints(0, {{0, 12.5}, {1, 11.25}}, "peaks per kg");
  ExpectPoints(3, {{0, 3.75}, {1, 3.5}}, "peaks per kg");
  UnitFlags = kUnitPounds;
  f->FormActivate(f);
  f->ShowPowerPeakTrend();
  EXPECT_EQ(f->Chart->LeftAxis.Title, "Power Peak [Watt/lbs]");
  ExpectPoints(1, {{0, 600 / (80 * 2.2046226)}, {1, 550 / (80 * 2.2046226)}}, "peaks per lbs");
}

// Two power trips with a zone block in their files (100, 150, 200, 250, 300,
// 350 W): one of 121 records at 1 s, one of 61 records at 2 s.
class EvalZoneViews : public EvalViews {
 protected:
  void SetUp() override {
    EvalViews::SetUp();
    Write("20140310_0900000_TAV", 121, 1, kSportBikePower, [](int i) { return i <= 30 ? 100.0f : i <= 90 ? 120.0f : 310.0f; });
    Write("20140312_0900000_TAV", 61, 2, kSportBikePower, [](int i) { return i <= 15 ? 0.0f : i <= 45 ? 200.0f : 260.0f; });
    Write("20140313_0900001_TAV", 61, 1, kSportBikeHeartRate, [](int) { return 0.0f; });
    TripSummaryTable[11] = Summary(3725, 0, 42.5f, 0, 0, 0, 0, 0, 0, 0, 0, 140, 30);
    TripSummaryTable[12] = Summary(93722, 0, 61.25f, 0, 0, 0, 0, 0, 0, 0, 0, 140, 30);
  }
  template <class PowerOf>
  void Write(const std::string& key, int records, int interval, int sport, PowerOf power) {
    TripFileData d;
    d.Samples = testing_core::RampTrip(records, interval, sport);
    for (int i = 1; i < records; ++i) {
      d.Samples[static_cast<std::size_t>(i)].Power = power(i);
      d.Samples[static_cast<std::size_t>(i)].HeartRate = 140;
    }
    d.HasZoneBlock = true;
    const float block[] = {5555.0f, 100, 150, 200, 250, 300, 350};
    std::copy(std::begin(block), std::end(block), d.ZoneBlock);
    ASSERT_TRUE(WriteTripFile(FsPath(JoinPath(RiderDir, key + ".DEO")), d, false, nullptr));
  }
  const std::vector<std::string> zoneLines_ = {"20140310_0900000_TAV;011;*Intervals|more", "20140311_0930NR3_X;003;*gym",
                                               "20140312_0900000_TAV;012;*Tempo"};
};

TEST_F(EvalZoneViews, StackedSharesOfTripsAtOneAndTwoSeconds) {
  Open(zoneLines_);
  ASSERT_EQ(ZoneCount, 7);
  f->SB_TGRAF->DoClick();
  EXPECT_FALSE(f->SB_TGRAF->Flat);
  EXPECT_FALSE(f->Chart->LeftAxis.Automatic());
  EXPECT_EQ(f->Chart->LeftAxis.Minimum(), 0);
  EXPECT_EQ(f->Chart->LeftAxis.Maximum(), 102);
  EXPECT_EQ(f->Chart->LeftAxis.Title, "training zones portion [%]");
  EXPECT_TRUE(f->LKennung_TB->Visible);
  EXPECT_EQ(f->LKennung_TB->Caption, "training zones power");
  // Seconds per zone 0..6: 30 records of 100 W (zone 1), 60 of 120 W, 30 of
  // 310 W in 121 s; at 2 s 15 records of 0 W, 30 of 200 W, 15 of 260 W in 122 s.
  const double one[7] = {0, 30, 60, 0, 0, 0, 30}, two[7] = {30, 0, 0, 60, 0, 30, 0};
  const char* names[7] = {"NULL", "REKOM", "GA1", "GA2", "EB", "SB", "K-SB"};
  double c1 = 0, c2 = 0;
  ASSERT_EQ(f->LBox->Items.Count(), 7);
  for (int z = 0; z < 7; ++z) {
    c1 += one[z] * 100 / 121;
    c2 += two[z] * 100 / 122;
    ExpectPoints(z, {{0, c1}, {2, c2}}, "zones");
    EXPECT_EQ(f->Series[static_cast<std::size_t>(z)]->Title, names[z]);
    EXPECT_EQ(f->LBox->Items[z], names[z]);
    EXPECT_EQ(f->Series[static_cast<std::size_t>(z)]->SeriesColor, ZoneColors[z]) << z;
    EXPECT_NEAR(f->LineZoneShares[0][static_cast<std::size_t>(z)], one[z] * 100 / 121, 1e-4) << z;
    EXPECT_NEAR(f->LineZoneShares[2][static_cast<std::size_t>(z)], two[z] * 100 / 122, 1e-4) << z;
  }
  EXPECT_EQ(f->Series[0]->Label(1), "12.03.2014 ");
  EXPECT_EQ(TripZoneTable[12].SampleInterval, 2);
  EXPECT_EQ(TripZoneTable[12].RecordCount, 61);

  // A heart-rate trip last: the heart-rate zones are named.
  Open({zoneLines_[0], "20140313_0900001_TAV;013;"});
  f->SB_TGRAF->DoClick();
  EXPECT_EQ(f->LKennung_TB->Caption, "training zones HR (bike)");
}

// The pie of a clicked point: its title, its foot with the trip's time and
// distance, one slice per zone with name, time and share.
TEST_F(EvalZoneViews, PieOfTheClickedTripInKilometresAndMiles) {
  Open(zoneLines_);
  f->SB_TGRAF->DoClick();
  ClickPoint(0, 1);  // the 2-s trip, line 2
  ASSERT_TRUE(Form10->Visible);
  const TChart& chart = *Form10->C_Detail;
  ASSERT_EQ(chart.Title.Text.Count(), 2);
  EXPECT_EQ(chart.Title.Text[0], "Portion in %");
  EXPECT_EQ(chart.Title.Text[1], "training zones power");
  ASSERT_EQ(chart.Foot.Text.Count(), 2);
  EXPECT_EQ(chart.Foot.Text[0], "12.03.2014 - 09:00  Tempo");
  EXPECT_EQ(chart.Foot.Text[1], "Time = 26:02:02    Distance [km] =   61.250");
  struct Slice {
    double seconds;
    const char* label;
  };
  auto expectSlices = [&](const std::vector<Slice>& want, const char* what) {
    ASSERT_EQ(Form10->Pie->Count(), static_cast<int>(want.size())) << what;
    for (int z = 0; z < Form10->Pie->Count(); ++z) {
      EXPECT_EQ(Form10->Pie->YValue(z), want[static_cast<std::size_t>(z)].seconds) << what << " " << z;
      EXPECT_EQ(Form10->Pie->Label(z), want[static_cast<std::size_t>(z)].label) << what << " " << z;
      EXPECT_EQ(Form10->Pie->ValueColor(z), ZoneColors[z]) << what << " " << z;
    }
  };
  expectSlices({{30, "NULL  00:00:30 / 25.0% "},
                {0, "REKOM 00:00:00 /  0.0% "},
                {0, "GA1   00:00:00 /  0.0% "},
                {60, "GA2   00:01:00 / 50.0% "},
                {0, "EB    00:00:00 /  0.0% "},
                {30, "SB    00:00:30 / 25.0% "},
                {0, "K-SB  00:00:00 /  0.0% "}},
               "2-s trip");

  UnitFlags = kUnitMiles;  // 42.5 km = 26.408 miles
  ClickPoint(0, 0);
  EXPECT_EQ(chart.Foot.Text[0], "10.03.2014 - 09:00  Intervals");
  EXPECT_EQ(chart.Foot.Text[1], "Time = 01:02:05    Distance [miles] =   26.408");
  EXPECT_EQ(chart.Title.Text.Count(), 2);
  expectSlices({{0, "NULL  00:00:00 /  0.0% "},
                {30, "REKOM 00:00:30 / 25.0% "},
                {60, "GA1   00:01:00 / 50.0% "},
                {0, "GA2   00:00:00 /  0.0% "},
                {0, "EB    00:00:00 /  0.0% "},
                {0, "SB    00:00:00 /  0.0% "},
                {30, "K-SB  00:00:30 / 25.0% "}},
               "1-s trip");

  // A trip whose zone times are not in the table yet, clicked on the power
  // trend: counted from its file, in its own zones.
  UnitFlags = 0;
  Open(zoneLines_);
  TripZoneTable[11] = TripZoneTimes{};
  f->SB_PGRAF->DoClick();
  ClickPoint(0, 0);
  EXPECT_EQ(TripZoneTable[11].Mark, kTableMark);
  EXPECT_EQ(Form10->Pie->Label(2), "GA1   00:01:00 / 50.0% ");
  EXPECT_EQ(Form10->Pie->Label(6), "K-SB  00:00:30 / 25.0% ");
  EXPECT_NEAR(f->LineZoneShares[0][2], 60 * 100.0 / 121, 1e-4);
}

}  // namespace
}  // namespace tav
