#include "analysis/power_duration_scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "../core/demo_rider_program.h"
#include "../viewing/form_snapshot.h"
#include "analysis/analysis_common.h"
#include "analysis/best_power_worker.h"
#include "core/core_data.h"
#include "core/trip_date_text.h"
#include "diary/diary_window.h"
#include "drawn_curve.h"
#include "no_new_threads.h"
#include "platform/canvas.h"
#include "texts/text_tables.h"
#include "top/forms.h"
#include "top/info_form.h"
#include "top/main_window.h"

namespace tav {
namespace {

TEST(PowerScanTimeLabels, StepsGrowWithTheTime) {
  std::vector<std::string> texts;
  for (const TimeLabel& l : PowerScanTimeLabels(100)) texts.push_back(l.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"0:00:01", "0:00:02", "0:00:03", "0:00:04", "0:00:05", "0:00:06",
                                             "0:00:08", "0:00:10", "0:00:12", "0:00:15", "0:00:20", "0:00:25",
                                             "0:00:30", "0:00:40", "0:00:50", "0:01:00", "0:01:15", "0:01:30"}));
  for (int64_t d : {0, 1}) {
    const auto one = PowerScanTimeLabels(d);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].text, "0:00:01");
    EXPECT_EQ(one[0].x, 1.0);
  }
  EXPECT_EQ(PowerScanTimeLabels(36000).back().text, "9:00:00");
}

TEST(PowerScanReadout, SecondsUpToHalfAMinuteThenClockTime) {
  EXPECT_EQ(PowerScanReadout(20.0, 312.4), "  20.0 SEC  >      312  [ WATT ]  ");
  EXPECT_EQ(PowerScanReadout(30.0, 100.0), "  30.0 SEC  >      100  [ WATT ]  ");
  EXPECT_EQ(PowerScanReadout(45.2, 250.0), "  0:00:45   >      250  [ WATT ]  ");
  EXPECT_EQ(PowerScanReadout(3725.6, 180.0), "  1:02:06   >      180  [ WATT ]  ");
  EXPECT_EQ(PowerScanReadout(std::nan(""), std::nan("")), "   0.0 SEC  >        0  [ WATT ]  ");
}

TEST(PowerScanView, ModeAndLineCountChooseTheView) {
  struct Row { int mode, lines; PowerScanView view; } rows[] = {
      {0, 1, PowerScanView::LongestRunOne},  {0, 12, PowerScanView::LongestRunTrips},
      {3, 1, PowerScanView::LongestRunOne},  {0, 0, PowerScanView::LongestRunTrips},
      {4, 1, PowerScanView::MeanMaxOne},     {4, 3, PowerScanView::MeanMaxTrips},
      {8, 1, PowerScanView::Blocks},         {12, 20, PowerScanView::Blocks},
      {50, 9, PowerScanView::Blocks}};
  for (const Row& r : rows) EXPECT_EQ(ChoosePowerScanView(r.mode, r.lines), r.view) << r.mode << " " << r.lines;
  EXPECT_EQ(LongestRunTop(347), 350);
  EXPECT_EQ(LongestRunTop(340), 350);
  EXPECT_EQ(LongestRunTop(0), 10);
}

TEST(PowerScanBlocks, OnlyTheExactSeparatorLineSplits) {
  const std::string a = "20140103_1000000_X;001;*one", b = "20140105_1000000_X;002;*BLOCK party",
                    c = "20140210_1000000_X;003;", d = "20140212_1000000_X;004;";
  const std::vector<std::string> lines = {a, b, "BLOCK2", c, d};
  PowerScanBlocks two = SplitPowerScanBlocks(lines, 8);
  EXPECT_EQ(two.Title1, FormatTripDateTime(a).substr(0, 10) + " - " + FormatTripDateTime(b).substr(0, 10));
  EXPECT_EQ(two.Title2, FormatTripDateTime(c).substr(0, 10) + " - " + FormatTripDateTime(d).substr(0, 10));
  EXPECT_EQ(two.Block2, (std::vector<std::string>{c, d}));
  EXPECT_TRUE(two.HasBlock2);
  const PowerScanBlocks one = SplitPowerScanBlocks(lines, 50);
  EXPECT_EQ(one.Title1, two.Title1);
  EXPECT_FALSE(one.HasBlock2);
  const PowerScanBlocks single = SplitPowerScanBlocks({a, "BLOCK2", c}, 12);
  EXPECT_EQ(single.Title2, FormatTripDateTime(c).substr(0, 10) + " - " + FormatTripDateTime(c).substr(0, 10));
  EXPECT_TRUE(SplitPowerScanBlocks({}, 8).Title1.empty());

  LangLabels[10] = "Analyze of %s to %s";
  EXPECT_EQ(PowerScanCaption({c, "BLOCK2", a, b}),
            "Analyze of " + FormatTripDateTime(a).substr(0, 11) + " to " + FormatTripDateTime(c).substr(0, 11));
}

// The window opened from the diary on the demo rider, as a user does.
class PowerScanWindow : public testing_core::DemoRiderProgram {
 protected:
  void SetUp() override {
    DemoRiderProgram::SetUp();
    Start();
    Form3->Show();
    f = Form5;
    for (const std::string& line : TripList.Lines()) {
      if (!IsTripLine(line) || IsManualLine(line)) continue;
      (LineSportDigit(line) == kSportBikePower ? power : other).push_back(line);
    }
    ASSERT_GE(power.size(), 12u);
    ASSERT_FALSE(other.empty());
  }
  // The diary's button: the diary is the active window.
  void Open(int mode, const std::vector<std::string>& lines) {
    Application().ActivateForm(Form3);
    SelectedTrips.Assign(lines);
    ScanList = &SelectedTrips;
    Form3->ScanMode = mode;
    f->Show();
  }
  int InLegend() const {
    int n = 0;
    for (TChartSeries* s : f->Series) n += s->ShowInLegend && s->Count() > 0;
    return n;
  }
  TForm5* f = nullptr;
  std::vector<std::string> power, other;
};

TEST_F(PowerScanWindow, LongestRunViews) {
  Open(0, {power[0]});
  ASSERT_TRUE(f->Visible);
  EXPECT_EQ(f->Chart->Title.Text[0], f->UiText[1]);
  EXPECT_EQ(InLegend(), 6);
  EXPECT_EQ(f->Series[1]->Title, f->L_GLA->Caption + "   0");
  EXPECT_EQ(f->Series[6]->Title, f->L_GLA->Caption + "   2 MIN");
  // Thresholds from the rounded-up maximum down to 21 W, one point each.
  const int32_t top = LongestRunTop(static_cast<int32_t>(f->Chart->LeftAxis.Maximum()));
  EXPECT_EQ(f->Series[1]->Count(), top - 20);
  EXPECT_EQ(f->Series[1]->YValue(0), top);
  EXPECT_GT(f->Series[1]->XValue(top - 21), 600.0);  // above 21 W for longer than ten minutes
  EXPECT_NE(snapshot::SaveFormPng(*f, "power_scan_longest_run_one"), "");

  std::vector<std::string> twelve(power.begin(), power.begin() + 12);
  Open(0, twelve);
  EXPECT_EQ(f->ItemCount, 8);
  EXPECT_EQ(InLegend(), 8);
  EXPECT_EQ(f->Series[1]->Title, TripTitle(twelve[0]));
  EXPECT_NE(snapshot::SaveFormPng(*f, "power_scan_longest_run_trips"), "");

  Open(0, {other[0]});  // not a power trip: the window closes
  EXPECT_FALSE(f->Visible);

  // A damaged record of 900 kW (readable, far above any rider): thresholds
  // and axes stop at the ceiling.
  TripFileData trip;
  ASSERT_TRUE(ReadListedTrip(power[0], trip));
  trip.Samples[100].Power = 9e5f;
  ASSERT_TRUE(WriteTripFile(FsPath(TripPathOfLine(power[0])), trip, false, nullptr));
  Open(0, {power[0]});
  EXPECT_EQ(f->Chart->LeftAxis.Maximum(), kPowerCeiling);
  EXPECT_EQ(f->Series[1]->Count(), LongestRunTop(static_cast<int32_t>(kPowerCeiling)) - 20);
}

TEST_F(PowerScanWindow, MeanMaximalViews) {
  Open(4, {power[1]});
  EXPECT_EQ(f->Chart->Title.Text[0], f->UiText[0]);
  EXPECT_EQ(f->Caption, TripTitle(power[1]));
  TripFileData trip;
  ASSERT_TRUE(ReadListedTrip(power[1], trip));
  EXPECT_EQ(f->Series[1]->Count(), static_cast<int>(MeanMaxLengths(trip.Count()).size()));
  EXPECT_EQ(f->Chart->BottomAxis.Maximum(), static_cast<double>(trip.Count() * trip.Interval()));
  EXPECT_NE(snapshot::SaveFormPng(*f, "power_scan_mean_max_one"), "");

  Open(4, {power[2], "20140101_0900NR3_DEMO;000;*gym", power[3], power[4]});
  EXPECT_EQ(InLegend(), 3);
  EXPECT_EQ(f->Series[2]->Count(), 0);  // the manual entry's series stays empty
  EXPECT_NE(snapshot::SaveFormPng(*f, "power_scan_mean_max_trips"), "");
}

// Block 1 comes from the diary's worker; the window keeps its mode and lines
// when the diary resets its own, and draws no block 1 without a job.
TEST_F(PowerScanWindow, BlockViews) {
  const std::vector<std::string> block1(power.begin(), power.begin() + 5);
  StartBestPowerWorker(Form3, block1);
  std::vector<std::string> lines = block1;
  lines.push_back("BLOCK2");
  lines.insert(lines.end(), power.begin() + 5, power.begin() + 9);
  Open(8, lines);
  EXPECT_FALSE(f->L_GLA->Visible);
  ASSERT_TRUE(f->BlockDone.IsSet());
  int expected = 0;
  for (int d = 1; d < f->Chart->BottomAxis.Maximum() && d < kBestPowerEntries; ++d) expected += BestPowerCurve[d] > 5.0f;
  EXPECT_GT(expected, 700);
  EXPECT_EQ(f->Series[1]->Count(), expected);
  EXPECT_GT(f->Series[2]->Count(), 700);
  EXPECT_EQ(InLegend(), 2);
  EXPECT_EQ(f->Series[2]->Title, SplitPowerScanBlocks(lines, 8).Title2);
  EXPECT_NE(snapshot::SaveFormPng(*f, "power_scan_blocks"), "");

  Form3->Show();  // the user goes to the diary (which resets its mode) and comes back
  EXPECT_EQ(Form3->ScanMode, 0);
  Application().ActivateForm(f);
  EXPECT_EQ(f->Mode(), 8);
  EXPECT_EQ(f->Series[1]->Count(), expected);

  StopBestPowerWorker(Form3);  // no job: block 2 alone, no waiting
  Open(12, lines);
  EXPECT_EQ(f->Series[1]->Count(), 0);
  EXPECT_GT(f->Series[2]->Count(), 700);

  {  // a job that could not start is no job either
    testing_analysis::NoNewThreads no_threads;
    ASSERT_TRUE(no_threads.Active());
    StartBestPowerWorker(Form3, block1);
    EXPECT_EQ(Form3->Worker, nullptr);
    EXPECT_TRUE(f->BlockDone.IsSet());
  }
  Open(12, lines);
  EXPECT_EQ(f->Series[1]->Count(), 0);
  EXPECT_GT(f->Series[2]->Count(), 700);

  Open(50, lines);
  EXPECT_EQ(f->Series[2]->Count(), 0);
}

// The power a series draws at duration x (NaN when it has no point there).
double DrawnY(const TChartSeries& s, double x) {
  for (int i = 0; i < s.Count(); ++i)
    if (s.XValue(i) == x) return s.YValue(i);
  return std::nan("");
}

// A block of one 30 s on / 30 s off ride draws the ride's own curve: 375 W
// at 60 s and 433.3 W at 90 s, in the trip's own view and as block 1 and
// block 2 alike.
TEST_F(PowerScanWindow, ABlockOfOneIntervalRideDrawsItsOwnCurve) {
  const std::filesystem::path dir(FsPath(RiderDir));
  const std::string ride =
      testing_analysis::WritePowerTrip(dir, "20240201_1000000_IV", 601, 1, testing_analysis::IntervalRide);
  const double best60 = 375.0, best90 = static_cast<double>(39000.0f / 90.0f);
  Open(4, {ride});
  EXPECT_EQ(DrawnY(*f->Series[1], 60), best60);
  EXPECT_EQ(DrawnY(*f->Series[1], 90), best90);
  StartBestPowerWorker(Form3, {ride});
  Open(8, {ride, "BLOCK2", ride});
  for (int k : {1, 2}) {
    EXPECT_EQ(DrawnY(*f->Series[k], 60), best60) << k;
    EXPECT_EQ(DrawnY(*f->Series[k], 90), best90) << k;
    EXPECT_EQ(DrawnY(*f->Series[k], 30), 550.0) << k;
  }
}

// A trip at 1 s (400 W) and one at 2 s (300 W) in each block: each block
// curve has a point at every second from 1 s to the 2-s trip's end (its odd
// seconds included), the higher trip wherever both reach, none beyond.
TEST_F(PowerScanWindow, BlocksOfOneAndTwoSecondTripsDrawEverySecond) {
  const std::filesystem::path dir(FsPath(RiderDir));
  const std::string one =
      testing_analysis::WritePowerTrip(dir, "20240202_1000000_ONE", 300, 1, [](int) { return 400.0f; });
  const std::string two =
      testing_analysis::WritePowerTrip(dir, "20240203_1000000_TWO", 300, 2, [](int) { return 300.0f; });
  StartBestPowerWorker(Form3, {one, two});
  Open(8, {one, two, "BLOCK2", one, two});
  for (int k : {1, 2}) {
    const TChartSeries& s = *f->Series[k];
    ASSERT_GE(s.Count(), 540) << k;
    ASSERT_LT(s.Count(), 600) << k;
    for (int i = 0; i < s.Count(); ++i) {
      const int d = i + 1;
      EXPECT_EQ(s.XValue(i), d) << k;
      if (d <= 270) {
        EXPECT_EQ(s.YValue(i), 400.0) << k << " at " << d;
      } else if (d >= 300) {
        EXPECT_EQ(s.YValue(i), 300.0) << k << " at " << d;
      }
    }
  }
}

// The smoothing combo stands right after its label in every language, also
// when the language changes while the window is open.
TEST_F(PowerScanWindow, SmoothingComboFollowsItsLabelInEveryLanguage) {
  Open(0, std::vector<std::string>(power.begin(), power.begin() + 3));
  std::vector<std::string> captions;
  for (TextLanguage l : {kGermanTexts, kEnglishTexts, kSpanishTexts, kGermanTexts}) {
    ApplyLanguage(l);
    Application().ActivateForm(Form3);
    Application().ActivateForm(f);
    captions.push_back(f->L_GLA->Caption);
    EXPECT_EQ(f->L_GLA->Width, MeasureText(f->L_GLA->Font, f->L_GLA->Caption).X) << l;
    const int label_end = f->L_GLA->Left + f->L_GLA->Width;
    EXPECT_GE(f->CB_Glatt->Left, label_end + 4) << l;
    EXPECT_LE(f->CB_Glatt->Left, label_end + 12) << l;
    EXPECT_GE(f->PB_Scan->Left, f->CB_Glatt->Left + f->CB_Glatt->Width) << l;
  }
  EXPECT_EQ(captions, (std::vector<std::string>{"Gl\xE4ttung", "Smoothing", "Suavizar curva", "Gl\xE4ttung"}));
}

// F5 opens the help of the view: longest runs (modes below 4) or mean
// maxima (4 and the block views), from the window and from its combo.
TEST_F(PowerScanWindow, F5ShowsTheHelpOfTheView) {
  testing_core::WriteBytes(FsPath(HelpTopicPath(HelpPathPrefix, LanguageIndex, 18)), "longest runs\r\n");
  testing_core::WriteBytes(FsPath(HelpTopicPath(HelpPathPrefix, LanguageIndex, 15)), "mean maxima\r\n");
  const std::vector<std::string> blocks = {power[0], "BLOCK2", power[1]};
  struct Row {
    int mode;
    bool from_combo;
    const char* help;
  } rows[] = {{0, false, "longest runs"}, {0, true, "longest runs"}, {3, false, "longest runs"},
              {4, false, "mean maxima"},  {4, true, "mean maxima"},  {8, false, "mean maxima"}};
  for (const Row& row : rows) {
    Open(row.mode, row.mode == 8 ? blocks : std::vector<std::string>{power[0]});
    Form12->Hide();
    WORD key = VK_F5;
    TControl* target = row.from_combo ? static_cast<TControl*>(f->CB_Glatt) : f;
    target->DoKeyDown(key, {});
    EXPECT_EQ(key, 0) << row.mode;
    EXPECT_TRUE(Form12->Visible) << row.mode;
    EXPECT_NE(Form12->RichEdit1->Text().find(row.help), std::string::npos) << row.mode << " " << row.from_combo;
  }
}

// Leaving the program stops and joins a running block-1 job: no thread of
// it is left once the windows are gone.
TEST_F(PowerScanWindow, ExitStopsAndJoinsTheRunningJob) {
  auto threads = [] {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task")) ++n;
    return n;
  };
  const std::size_t before = threads();
  std::vector<std::string> block1;
  for (int round = 0; round < 20; ++round) block1.insert(block1.end(), power.begin(), power.end());
  StartBestPowerWorker(Form3, block1);
  ASSERT_NE(Form3->Worker, nullptr);
  EXPECT_TRUE(Form3->Worker->Started());
  Form1->Close();
  DestroyAllForms();
  EXPECT_EQ(Form3, nullptr);
  EXPECT_EQ(threads(), before);
}

// A build that fails (the user is shown the error) leaves the window free:
// the next request draws again, with the chart shown and no progress bar.
class FailingPowerScan : public TForm5 {
 public:
  bool fail = true;

 protected:
  void BuildView(PowerScanView view) override {
    if (fail) throw std::runtime_error("the build failed");
    TForm5::BuildView(view);
  }
};

TEST_F(PowerScanWindow, AFailedBuildLeavesTheWindowUsable) {
  auto w = std::make_unique<FailingPowerScan>();
  Application().ActivateForm(Form3);
  SelectedTrips.Assign(std::vector<std::string>{power[0]});
  ScanList = &SelectedTrips;
  Form3->ScanMode = 0;
  Application().ShownMessages.clear();
  w->Show();
  EXPECT_EQ(Application().ShownMessages, std::vector<std::string>{"the build failed"});
  EXPECT_EQ(w->Series[1]->Count(), 0);
  EXPECT_TRUE(w->Chart->Visible);
  EXPECT_FALSE(w->PB_Scan->Visible);
  w->fail = false;
  w->SB_01Click(w.get());
  EXPECT_EQ(w->Series[1]->Count(), w->Series[6]->Count());
  EXPECT_GT(w->Series[1]->Count(), 100);
}

}  // namespace
}  // namespace tav
