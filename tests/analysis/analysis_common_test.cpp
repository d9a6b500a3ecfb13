#include "analysis/analysis_common.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

#include "../core/core_test_util.h"
#include "core/trip_file.h"
#include "no_new_threads.h"
#include "platform/text.h"
#include "platform/thread.h"

namespace tav {
namespace {

using testing_core::CoreFixture;

TEST(AnalysisCommonTest, FillTwoTextsReplacesOnlyTheFirstTwoPlaceholders) {
  struct Row {
    const char* format;
    const char* want;
  } rows[] = {
      {"Analyze of %s to %s", "Analyze of A to B"},
      {"%s", "A"},                       // one placeholder: the second text is unused
      {"%s %s %s", "A B %s"},            // a third stays as it stands
      {"100% %d %n %s%%s", "100% %d %n A%B"},  // no printf: other '%' kept byte for byte
      {"trailing %", "trailing %"},
  };
  for (const Row& r : rows) EXPECT_EQ(FillTwoTexts(r.format, "A", "B"), r.want) << r.format;
}

TEST(AnalysisCommonTest, TitlesAndSpanCaptions) {
  ResetCoreData();
  EXPECT_EQ(TripTitle("20131224_140500_0_X;012;*Ride|~\xA7more"), "24.12.2013 - 14:05  Ride");
  EXPECT_EQ(TripTitle("20131224_140500_0_X;012;"), "24.12.2013 - 14:05  ");
  TStringList list{"20140305_093000_0_X;001;", "20140306_100000_0_X;002;"};
  SetLangLabel(10, "Von %s bis %s");
  EXPECT_EQ(SpanCaptionOfLines(list, 0, 5), "Von 05.03.2014 - 09:30 bis 06.03.2014 - 10:00");
  EXPECT_EQ(SpanCaptionOfLines(TStringList{}, 0, 7), "Von  bis ");
  SetLangLabel(10, "");
  EXPECT_EQ(SpanCaption("a", "b"), "Analyze of a to b");
}

TEST(AnalysisCommonTest, AxisEditorAppliesOnlyPositiveNumbers) {
  EnsureGuiApplication();
  TForm form;
  auto* chart = form.Make<TChart>("Chart");
  chart->SetBounds(0, 0, 600, 400);
  chart->AddLineSeries()->AddXY(0, 1);
  std::vector<double> applied;
  TEdit* edit = MakeAxisEditor(form, chart, [&](double v) { applied.push_back(v); });
  const TRect plot = chart->PlotRect();
  EXPECT_TRUE(InAxisEditorCorner(*chart, plot.Left - 5, plot.Top + 29));
  EXPECT_FALSE(InAxisEditorCorner(*chart, plot.Left - 5, plot.Top + 30));
  EXPECT_FALSE(InAxisEditorCorner(*chart, plot.Left + 1, plot.Top));
  OpenAxisEditor(*edit, *chart, 400);
  EXPECT_TRUE(edit->Visible);
  EXPECT_EQ(edit->Text, "   400");
  EXPECT_EQ(edit->Left + edit->Width, plot.Left);
  for (const char* typed : {"abc", " -5", "0", " 12.5x"}) {
    edit->Text = typed;
    edit->Show();
    WORD key = VK_RETURN;
    edit->DoKeyDown(key, 0);
    EXPECT_FALSE(edit->Visible);
  }
  EXPECT_EQ(applied, std::vector<double>{12.5});
}

class ListedTripsTest : public CoreFixture {};

TEST_F(ListedTripsTest, ReadsTripsWithoutTouchingTheCurrentTrip) {
  auto write = [&](const char* key, int records) {
    TripFileData d;
    d.Samples = testing_core::RampTrip(records, 2);
    ASSERT_TRUE(WriteTripFile(FsPath(JoinPath(RiderDir, std::string(key) + ".DEO")), d, false, nullptr));
  };
  write("20140101_100000_0_A", 200);
  write("20140102_100000_0_B", 59);  // too short to analyse
  const std::vector<std::string> lines = {
      "20140101_100000_0_A;001;*one", "20140102_100000_0_B;002;", "20140103_100000_0_C;003;",
      "20140104_0900NR3_X;004;", "BLOCK2", "20140101_100000_0_A;001;"};
  CurrentTripPath = "untouched";
  TripSampleCount = 7;
  auto trips = ReadListedTrips(lines);
  ASSERT_EQ(trips.size(), lines.size());
  const bool want[] = {true, false, false, false, false, true};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(trips[i].ok, want[i]) << lines[i];
    TripFileData one;
    EXPECT_EQ(ReadListedTrip(lines[i], one), want[i]) << lines[i];
  }
  EXPECT_EQ(trips[0].data.Count(), 200);
  EXPECT_EQ(trips[0].data.Interval(), 2);
  EXPECT_EQ(CurrentTripPath, "untouched");
  EXPECT_EQ(TripSampleCount, 7);
}

TEST_F(ListedTripsTest, ManyTripsStreamWithProgressAndStop) {
  TripFileData d;
  d.Samples = testing_core::RampTrip(100);
  std::vector<std::string> lines;
  for (int k = 0; k < 40; ++k) {
    const std::string key = Format("201401%02i_100000_0_A", k % 28 + 1) + std::to_string(k);
    ASSERT_TRUE(WriteTripFile(FsPath(JoinPath(RiderDir, key + ".DEO")), d, false, nullptr));
    lines.push_back(key + ";001;");
  }
  std::vector<int> counts(lines.size(), 0);
  int last_done = -1;
  ForEachListedTrip(
      lines, [&](std::size_t i, TripFileData& trip) { counts[i] = trip.Count(); },
      [&](int done, int total) {
        EXPECT_TRUE(done >= last_done && total == 40);
        last_done = done;
        return true;
      });
  EXPECT_EQ(counts, std::vector<int>(lines.size(), 100));
  ForEachListedTrip({}, [&](std::size_t, TripFileData&) { ADD_FAILURE(); }, [](int, int) { return true; });
  // A waiting hook that says stop: no trip is started after it.
  std::vector<std::string> many;
  for (int r = 0; r < 20; ++r) many.insert(many.end(), lines.begin(), lines.end());
  std::atomic<int> used{0};
  ForEachListedTrip(
      many, [&](std::size_t, TripFileData&) {
        used.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      },
      [](int, int) { return false; });
  EXPECT_LT(used.load(), 800);
}

// Without threads to be had the calling thread reads every trip, with and
// without a waiting hook; a waiting hook that throws has the reading threads
// stopped and joined before the exception leaves.
TEST_F(ListedTripsTest, TripsAreReadWithoutThreadsAndThreadsAreJoinedOnAnException) {
  TripFileData d;
  d.Samples = testing_core::RampTrip(100);
  std::vector<std::string> lines;
  for (int k = 0; k < 6; ++k) {
    const std::string key = Format("201402%02i_100000_0_A", k + 1);
    ASSERT_TRUE(WriteTripFile(FsPath(JoinPath(RiderDir, key + ".DEO")), d, false, nullptr));
    lines.push_back(key + ";001;");
  }
  {
    testing_analysis::NoNewThreads no_threads;
    ASSERT_TRUE(no_threads.Active());
    for (bool hook : {false, true}) {
      std::vector<int> counts(lines.size(), 0);
      std::function<bool(int, int)> waiting;
      if (hook) waiting = [](int, int) { return true; };
      ForEachListedTrip(lines, [&](std::size_t i, TripFileData& trip) { counts[i] = trip.Count(); }, waiting);
      EXPECT_EQ(counts, std::vector<int>(lines.size(), 100)) << hook;
    }
  }
  // The readers hold on until the hook has been called; the hook then throws.
  TEvent hook_called;
  std::atomic<int> used{0};
  EXPECT_THROW(ForEachListedTrip(
                   lines,
                   [&](std::size_t, TripFileData&) {
                     hook_called.Wait(10000);
                     used.fetch_add(1);
                   },
                   [&](int, int) -> bool {
                     hook_called.Set();
                     throw std::runtime_error("waiting failed");
                   }),
               std::runtime_error);
  EXPECT_TRUE(hook_called.IsSet());
  EXPECT_GE(used.load(), 1);  // the readers were joined: what they did is done
}

// The smallest chart for its titles: at that size each title fits (the
// title line with its corner room within the width, the axis titles along
// the plot's sides, the least plot); one pixel less in height and the long
// value-axis title no longer fits the plot; the chart is left as it was.
TEST(AnalysisCommonTest, LeastChartSizeFitsEveryTitleAndNoLess) {
  EnsureGuiApplication();
  TForm form;
  TChart* chart = form.Make<TChart>("Chart");
  chart->SetBounds(0, 0, 900, 600);
  TChartSeries* s = chart->AddLineSeries();
  for (int i = 0; i < 20; ++i) s->AddXY(i, i * 10.0);
  chart->Title.Text.Add("Title");
  chart->LeftAxis.Title = "Power [W]";
  ChartTexts texts;
  texts.titles = {"A rather long chart title of a choice"};
  texts.left = {"Diferencia de altitudes acumuladas [m]", "x"};
  texts.bottom = {"Distancia [km]"};
  texts.cornerRoom = 24;
  const ChartSize least = LeastChartSize(*chart, texts);
  EXPECT_EQ(chart->Width, 900);
  EXPECT_EQ(chart->Height, 600);
  EXPECT_EQ(chart->LeftAxis.Title, "Power [W]");
  EXPECT_EQ(chart->BottomAxis.Title, "");
  EXPECT_EQ(chart->Title.Text.Lines(), std::vector<std::string>{"Title"});

  const int left_w = MeasureTextWidth(chart->LeftAxis.TitleFont, texts.left[0]);
  const int title_w = MeasureTextWidth(chart->Title.Font, texts.titles[0]);
  chart->LeftAxis.Title = texts.left[0];
  chart->BottomAxis.Title = texts.bottom[0];
  chart->SetBounds(0, 0, least.width, least.height);
  const TRect m = chart->MarginPixels();
  EXPECT_GE(chart->PlotRect().Height(), left_w);
  EXPECT_GE(chart->PlotRect().Height(), texts.plotHeight);
  EXPECT_GE(chart->PlotRect().Width(), texts.plotWidth);
  EXPECT_GE(chart->PlotRect().Width(), MeasureTextWidth(chart->BottomAxis.TitleFont, texts.bottom[0]));
  EXPECT_GE(least.width - m.Left - m.Right, title_w + 2 * texts.cornerRoom);
  chart->SetBounds(0, 0, least.width, least.height - 1);
  EXPECT_LT(chart->PlotRect().Height(), left_w);
  // A title wider than anything else sets the width.
  chart->SetBounds(0, 0, least.width - 1, least.height);
  EXPECT_LT(least.width - 1 - chart->MarginPixels().Left - chart->MarginPixels().Right, title_w + 2 * texts.cornerRoom);
}

TEST(AnalysisCommonTest, RecordIntervalIsAtLeastOne) {
  TripSample s[4];
  struct Row {
    int t2, t3, count, want;
  } rows[] = {{10, 12, 4, 2}, {10, 10, 4, 1}, {10, 5, 4, 1}, {10, 12, 3, 1},
              {-2000000000, 2000000000, 4, 1}};
  for (const Row& r : rows) {
    s[2].Time = r.t2;
    s[3].Time = r.t3;
    EXPECT_EQ(RecordInterval(s, r.count), r.want) << r.t2 << " " << r.t3;
  }
}

}  // namespace
}  // namespace tav
