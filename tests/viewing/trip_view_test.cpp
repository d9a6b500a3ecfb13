#include "viewing/trip_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>

#include "analysis/heart_rate_power_scan.h"
#include "core/core_data.h"
#include "core/core_test_util.h"
#include "core/smoothing.h"
#include "diary/calendar_window.h"
#include "diary/diary_window.h"
#include "platform/chart.h"
#include "platform/strings.h"
#include "viewing/clip_file.h"
#include "viewing/form_snapshot.h"

namespace tav {
namespace {

namespace fs = std::filesystem;
using namespace testing_core;

class SingleTripViewTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    ProgramDir = PathText(dir_);
    Form16 = new TForm16();
    Form33 = new TForm33();
    Form30 = new TForm30();
  }
  void TearDown() override {
    snapshot::DeleteForm(Form30);
    snapshot::DeleteForm(Form33);
    snapshot::DeleteForm(Form16);
    TempFolderTest::TearDown();
  }

  static std::vector<TripSample> DemoTrip(int seconds = 3600) { return DemoRide(7, seconds); }
  // Loads a demo trip and opens the view with the default channels.
  static void ShowDemoTrip(int seconds = 3600) {
    LoadIntoCurrent(DemoTrip(seconds));
    ApplyDefaultChannels = 1;
    Form30->Show();
  }
  static void Drag(TChart* strip, int x1, int y1, int x2, int y2) {
    strip->DoMouseDown(TMouseButton::mbLeft, ssLeft, x1, y1);
    strip->DoMouseMove(ssLeft, (x1 + x2) / 2, (y1 + y2) / 2);
    strip->DoMouseMove(ssLeft, x2, y2);
    strip->DoMouseUp(TMouseButton::mbLeft, 0, x2, y2);
  }
};

TEST_F(SingleTripViewTest, ShowsTheWholeTripWithTheDefaultChannels) {
  const char* labels[9] = {"Time", "Distance", "Ascent", "Altitude", "Work", "HR", "Average",
                           "Trip distance", "Section distance"};
  for (int i = 0; i < 9; ++i) SetLangLabel(i, labels[i]);
  ShowDemoTrip();
  EXPECT_EQ(ApplyDefaultChannels, 1);  // read, not changed
  const RecordRange whole{1, TripSampleCount - 1};
  EXPECT_EQ(Form30->VisibleSection(), whole);
  EXPECT_EQ(Form30->EvaluatedSection(), whole);
  EXPECT_EQ(Form30->ShownChannels(), DefaultChannels(kSportBikePower));
  for (int c = 0; c < kViewChannels; ++c)
    EXPECT_EQ(Form30->ChannelChart(c) != nullptr, Form30->ShownChannels()[c]) << c;
  // Every curve holds every record of the trip.
  TChart* power = Form30->ChannelChart(kChannelPower);
  ASSERT_NE(power, nullptr);
  ASSERT_EQ(power->SeriesCount(), 1);
  EXPECT_EQ(power->Series(0)->Count(), TripSampleCount - 1);
  EXPECT_EQ(power->LeftAxis.Title, Form30->UiText[0] + " [W]");
  // The statistics of the whole trip are shown beside the curves.
  EXPECT_FALSE(Form30->L_SUM[0]->Caption.empty());
  EXPECT_EQ(Form30->L_SUM[0]->Caption, SummaryLines[0]);
  EXPECT_GT(Form30->ShownSectionMeans()[kMeanPower], 50.0f);
  EXPECT_FALSE(snapshot::SaveFormPng(*Form30, "form30_trip").empty());

  // A channel switched off and a zoom stay when the view is activated again
  // after another window...
  Form30->SK_4->DoClick();
  EXPECT_EQ(Form30->ChannelChart(kChannelAltitude), nullptr);
  Form30->ZoomToMinutes(10, 20);
  const RecordRange zoomed = Form30->VisibleSection();
  Form33->Show();
  Form30->Show();
  EXPECT_EQ(Application().ActiveForm(), Form30);
  EXPECT_FALSE(Form30->ShownChannels()[kChannelAltitude]);
  EXPECT_EQ(Form30->VisibleSection(), zoomed);
  // ... and when it is opened again without the default channels;
  ApplyDefaultChannels = 0;
  Form30->Hide();
  Form30->Show();
  EXPECT_FALSE(Form30->ShownChannels()[kChannelAltitude]);
  // opened with them, it starts over.
  Form30->Hide();
  ApplyDefaultChannels = 1;
  Form30->Show();
  EXPECT_TRUE(Form30->ShownChannels()[kChannelAltitude]);
  EXPECT_EQ(Form30->VisibleSection(), whole);
}

// Every shown curve holds, bit for bit, the series built point by point
// from all six columns smoothed one by one at the levels the trip was loaded
// with, in the units now chosen.
void ExpectPlainCurves(const int32_t* levels_at_load) {
  const int count = TripSampleCount;
  std::vector<SmoothSample> rows(static_cast<std::size_t>(count));
  int32_t now[10];
  std::copy(SmoothLevel, SmoothLevel + 10, now);
  std::copy(levels_at_load, levels_at_load + 10, SmoothLevel);
  SmoothAllColumnsOf(TripSamples, count, rows.data());
  std::copy(now, now + 10, SmoothLevel);
  const std::vector<float> grade = GradeSeries(TripSamples, count, kGradeWindows[0]);
  int shown = 0;
  for (int c = 0; c < kViewChannels; ++c) {
    TChart* strip = Form30->ChannelChart(c);
    if (strip == nullptr) continue;
    ++shown;
    const ChannelSeries want = BuildChannelSeries(TripSamples, count, ShowableTrip(count), c, grade,
                                                  ChannelUnitOf(c, UnitFlags), rows.data());
    ASSERT_EQ(strip->SeriesCount(), 1) << c;
    const TChartSeries* got = strip->Series(0);
    ASSERT_EQ(got->XValues().size(), want.x.size()) << c;
    ASSERT_EQ(got->YValues().size(), want.y.size()) << c;
    EXPECT_EQ(std::memcmp(got->XValues().data(), want.x.data(), want.x.size() * sizeof(double)), 0) << c;
    EXPECT_EQ(std::memcmp(got->YValues().data(), want.y.data(), want.y.size() * sizeof(double)), 0) << c;
  }
  EXPECT_GT(shown, 0);
}

TEST_F(SingleTripViewTest, CurvesEqualThePlainSeriesOfEveryShownChannel) {
  std::vector<TripSample> trip = DemoTrip(2400);
  // Damaged records and coasting stretches.
  trip[100].Speed = std::numeric_limits<float>::quiet_NaN();
  trip[700].Altitude = std::numeric_limits<float>::infinity();
  for (int i = 900; i < 960; ++i) trip[static_cast<std::size_t>(i)].Cadence = 2.0f;
  LoadIntoCurrent(trip);
  const int32_t levels[10] = {4, 2, 3, 6, 1, 9, 0, 5, 7, 8};
  std::copy(levels, levels + 10, SmoothLevel);
  ApplyDefaultChannels = 1;
  Form30->Show();
  ExpectPlainCurves(levels);

  // Channels switched on later use the levels the trip was loaded with, and
  // every curve follows a change of units.
  SmoothLevel[kLevelAltitude] = 0;
  SmoothLevel[kLevelPower] = 8;
  UnitFlags = kUnitMiles | kUnitFahrenheit;
  Form30->SB_S15->DoClick();
  Form30->SB_TP->DoClick();
  ASSERT_NE(Form30->ChannelChart(kChannelGrade), nullptr);
  ASSERT_NE(Form30->ChannelChart(kChannelTemperature), nullptr);
  ExpectPlainCurves(levels);
  Form30->SK_0->DoClick();
  EXPECT_EQ(Form30->ChannelChart(kChannelPower), nullptr);
  Form30->SK_0->DoClick();
  Form30->SK_2->DoClick();
  UnitFlags = 0;
  Form30->SK_2->DoClick();
  ExpectPlainCurves(levels);

  // Opened again: the levels as they are now.
  int32_t reopened[10];
  std::copy(SmoothLevel, SmoothLevel + 10, reopened);
  Form30->Hide();
  Form30->Show();
  ExpectPlainCurves(reopened);
  UnitFlags = 0;
}

TEST_F(SingleTripViewTest, DragZoomShowsAndEvaluatesTheSection) {
  ShowDemoTrip();
  TChart* hr = Form30->ChannelChart(kChannelHeartRate);
  ASSERT_NE(hr, nullptr);
  const TRect plot = hr->PlotRect();
  Drag(hr, hr->BottomAxis.ValueToPixel(10.0), plot.Top + 3, hr->BottomAxis.ValueToPixel(25.0), plot.Bottom - 3);

  // Every strip shows the dragged span.
  const double from = hr->BottomAxis.Minimum(), to = hr->BottomAxis.Maximum();
  const double minute_per_pixel = 60.0 / hr->BottomAxis.Length();
  EXPECT_NEAR(from, 10.0, 2 * minute_per_pixel * 60);
  EXPECT_NEAR(to, 25.0, 2 * minute_per_pixel * 60);
  for (int c = 0; c < kViewChannels; ++c)
    if (TChart* s = Form30->ChannelChart(c)) {
      EXPECT_DOUBLE_EQ(s->BottomAxis.Minimum(), from) << c;
      EXPECT_DOUBLE_EQ(s->BottomAxis.Maximum(), to) << c;
      EXPECT_FALSE(s->IsZoomed()) << c;
    }
  const RecordRange want = SectionInTime(TripSamples, TripSampleCount, from * 60.0, to * 60.0);
  ASSERT_FALSE(want.Empty());
  EXPECT_EQ(Form30->VisibleSection(), want);
  EXPECT_EQ(Form30->EvaluatedSection(), want);
  for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(Form30->ShownSectionMeans()[i], SectionMeans[i]) << i;
  EXPECT_FALSE(snapshot::SaveFormPng(*Form30, "form30_zoomed").empty());

  // The whole-trip button evaluates the whole trip while the zoom stays.
  Form30->SB_AW->DoClick();
  EXPECT_EQ(Form30->EvaluatedSection(), (RecordRange{1, TripSampleCount - 1}));
  EXPECT_EQ(Form30->VisibleSection(), want);
  Form30->SB_AT->DoClick();
  EXPECT_EQ(Form30->EvaluatedSection(), want);
  // A drag backwards shows the whole trip.
  Drag(hr, plot.Right - 20, plot.Bottom - 5, plot.Left + 20, plot.Top + 5);
  EXPECT_EQ(Form30->VisibleSection(), (RecordRange{1, TripSampleCount - 1}));
}

TEST_F(SingleTripViewTest, ZoomedValueAxesNeverRepeatALabel) {
  // A section whose heart rate moves by a few beats only.
  std::vector<TripSample> trip = DemoTrip(1800);
  for (std::size_t i = 1; i < trip.size(); ++i) {
    trip[i].HeartRate = 157.0f + static_cast<float>(i % 7) * 0.5f;
    trip[i].Altitude = 400.0f + static_cast<float>(i % 3) * 0.2f;
  }
  LoadIntoCurrent(trip);
  ApplyDefaultChannels = 1;
  Form30->Show();
  Form30->ZoomToMinutes(10.0, 12.0);
  for (int c : {kChannelHeartRate, kChannelAltitude, kChannelSpeed, kChannelPower}) {
    TChart* strip = Form30->ChannelChart(c);
    ASSERT_NE(strip, nullptr) << c;
    const std::vector<TAxisLabel> labels = strip->LeftAxis.Labels();
    ASSERT_GE(labels.size(), 2u) << c;
    for (std::size_t k = 1; k < labels.size(); ++k)
      EXPECT_NE(labels[k].Text, labels[k - 1].Text) << "channel " << c << " label " << k;
  }
}

TEST_F(SingleTripViewTest, SectionMeansMatchHandComputedValues) {
  // 600 records at 1 s, flat at 200 m, 36 km/h, 20 degC; the records of
  // minutes 4 to 6 alternate 100 W / 200 W at 80 / 90 rpm, the others ride
  // 300 W at 95 rpm.
  std::vector<TripSample> trip = RampTrip(601);
  for (int i = 1; i <= 600; ++i) {
    const bool inside = trip[i].Time >= 240 && trip[i].Time <= 360;
    trip[i].Power = inside ? (i % 2 ? 100.0f : 200.0f) : 300.0f;
    trip[i].Cadence = inside ? (i % 2 ? 80.0f : 90.0f) : 95.0f;
  }
  LoadIntoCurrent(trip);
  Form30->Show();
  Form30->ZoomToMinutes(4.0, 6.0);
  EXPECT_EQ(Form30->VisibleSection(), (RecordRange{241, 361}));  // times 240 .. 360
  // 121 records: 61 odd (100 W, 80 rpm) and 60 even (200 W, 90 rpm).
  const auto& m = Form30->ShownSectionMeans();
  EXPECT_NEAR(m[kMeanPower], (61 * 100.0 + 60 * 200.0) / 121.0, 0.05);
  EXPECT_NEAR(m[kMeanCadence], (61 * 80.0 + 60 * 90.0) / 121.0, 0.05);
  EXPECT_NEAR(m[kMeanSpeed], 36.0, 0.4);
  EXPECT_NEAR(m[kMeanGrade], 0.0, 1e-3);
  EXPECT_NEAR(m[kMeanTemperature], 20.0, 1e-3);
  EXPECT_NEAR(m[kMeanAltitude], 200.0, 1e-3);
  // Without zoom: the whole trip's means.
  Form30->SB_FT->DoClick();
  EXPECT_NEAR(Form30->ShownSectionMeans()[kMeanPower], (480 * 300.0 + 61 * 100.0 + 60 * 200.0) / 600.0, 1.0);
}

TEST_F(SingleTripViewTest, ClipOpensTheHeartRateScanOnTheSection) {
  ShowDemoTrip();
  Form30->ZoomToMinutes(5.0, 15.0);
  const RecordRange s = Form30->VisibleSection();
  ASSERT_FALSE(s.Empty());
  const int n = s.Size();
  TripSample marker;
  marker.Power = 1234.0f;
  std::fill(TripSamples2, TripSamples2 + kTripBufferRecords, marker);

  Form30->SB_POPU->DoClick();

  // The file: count, header and section records, text.
  const std::string bytes = FileBytes(dir_ / kClipFileName);
  ASSERT_EQ(bytes.size(), 4u + static_cast<std::size_t>(n + 1) * 40u + 100u);
  EXPECT_EQ(le::GetI32(Bytes(bytes)), n);
  // Read back into the second buffer, cleared after its end.
  EXPECT_EQ(TripSampleCount2, n + 1);
  EXPECT_EQ(TripSamples2[0], TripSamples[0]);
  EXPECT_EQ(TripSamples2[1], TripSamples[s.first]);
  EXPECT_EQ(TripSamples2[n], TripSamples[s.last]);
  EXPECT_EQ(TripSamples2[n + kClipFillRecords], TripSample{});
  // The scan is opened on the clip.
  EXPECT_EQ(Form16->Tag, 1);
  EXPECT_TRUE(Form16->Visible);
  const std::string text = ClipText(Form30->Caption, TripSamples, TripSampleCount, s);
  EXPECT_EQ(Form16->Caption, "Clip = " + text);
  EXPECT_NE(text.find(" - "), std::string::npos);
}

TEST_F(SingleTripViewTest, ClipThatCannotBeWrittenOpensNothing) {
  ShowDemoTrip(1200);
  ProgramDir = PathText(dir_ / "missing" / "folder");
  TripSample marker;
  marker.HeartRate = 99.0f;
  std::fill(TripSamples2, TripSamples2 + 5000, marker);
  TripSampleCount2 = 77;
  ::testing::internal::CaptureStderr();
  Form30->SB_POPU->DoClick();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Cannot open output file.\n");
  EXPECT_FALSE(Form16->Visible);
  EXPECT_EQ(Form16->Tag, 0);
  EXPECT_EQ(TripSampleCount2, 77);
  EXPECT_EQ(TripSamples2[1], marker);
}

TEST_F(SingleTripViewTest, EmptyAndShortBuffersShowAnEmptyView) {
  for (int count : {0, 1, 2, 30, kMinShowRecords - 1}) {
    SCOPED_TRACE(count);
    std::vector<TripSample> trip = DemoTrip(120);
    trip.resize(static_cast<std::size_t>(count));
    LoadIntoCurrent(trip);
    Form30->Hide();
    Form30->Show();
    EXPECT_TRUE(Form30->VisibleSection().Empty());
    for (int c = 0; c < kViewChannels; ++c) EXPECT_EQ(Form30->ChannelChart(c), nullptr);
    EXPECT_TRUE(Form30->L_EMPTY->Visible);
    // Nothing to clip or zoom.
    Form30->SB_POPU->DoClick();
    Form30->SB_FT->DoClick();
    Form30->ZoomToMinutes(1, 2);
    EXPECT_FALSE(fs::exists(dir_ / kClipFileName));
    EXPECT_FALSE(Form16->Visible);
    EXPECT_NO_FATAL_FAILURE(snapshot::RenderForm(*Form30));
  }
  // A trip loaded afterwards shows again.
  LoadIntoCurrent(DemoTrip(600));
  Form30->Hide();
  Form30->Show();
  EXPECT_FALSE(Form30->VisibleSection().Empty());
  EXPECT_FALSE(Form30->L_EMPTY->Visible);
}

// At its smallest, with every channel shown, nothing of the view is cut:
// the tool rows, each strip's value-axis title, the statistics lines.
TEST_F(SingleTripViewTest, SmallestWindowCutsNothing) {
  ShowDemoTrip();
  for (TSpeedButton* b : {Form30->SK_0, Form30->SK_1, Form30->SK_2, Form30->SK_3, Form30->SK_4, Form30->SB_S15, Form30->SB_TP})
    if (!b->Down) b->DoClick();
  Form30->SetClientSize(Form30->MinClientWidth, Form30->MinClientHeight);
  for (const TControl* b : Form30->P_TOP->Children()) EXPECT_LE(b->Left + b->Width, Form30->ClientWidth()) << b->Name;
  for (int c = 0; c < kViewChannels; ++c) {
    const TChart* strip = Form30->ChannelChart(c);
    ASSERT_NE(strip, nullptr);
    const TChartAxis& axis = strip->LeftAxis;
    EXPECT_TRUE(!axis.Title.empty() && MeasureTextWidth(axis.TitleFont, axis.Title) <= strip->PlotRect().Height()) << c;
    // The channel's name stays (at least its first two letters), so cadence
    // and heart rate, both in 1/min, are told apart.
    const std::string name = Form30->UiText[static_cast<std::size_t>(c)];
    const std::size_t first = name.find_first_not_of(' ');
    ASSERT_NE(first, std::string::npos) << c;
    EXPECT_EQ(axis.Title.substr(0, 2), name.substr(first, 2)) << c << ": " << axis.Title;
    EXPECT_LE(strip->Left + strip->Width, Form30->P_SUM->Left);
  }
  EXPECT_LE(Form30->P_SUM->Left + Form30->P_SUM->Width, Form30->ClientWidth());
  for (const TLabel* l : Form30->L_SUM) EXPECT_LE(l->Left + MeasureTextWidth(l->Font, l->Caption), Form30->P_SUM->Width);
  EXPECT_FALSE(snapshot::SaveFormPng(*Form30, "form30_smallest").empty());
}

TEST_F(SingleTripViewTest, CaptionNamesTheTrip) {
  LoadIntoCurrent(DemoTrip(600));
  // Opened for a trip named on the command line: its file name.
  CommandLineTrip = PathText(dir_ / "20240501_101500_0_X.DEO");
  Form30->Show();
  EXPECT_EQ(Form30->Caption, "TRIP 20240501_101500_0_X.DEO");
  // Closing the view forgets the command-line trip.
  Form30->Close();
  EXPECT_TRUE(CommandLineTrip.empty());
  // Opened from the diary: the diary's caption of the row.
  Form3 = new TForm3();
  Form3->ViewCaption = "TRIP 01.05.2024 10:15   Hills";
  Form30->Show();
  EXPECT_EQ(Form30->Caption, "TRIP 01.05.2024 10:15   Hills");
  snapshot::DeleteForm(Form3);
}

// The diary names in its caption the trip it opened last, also one it
// opened in another window (the heart-rate scan takes its trip into the
// comparison buffer). Coming back to the view of the same trip keeps the
// view's caption; a new opening, or another trip in the buffer, takes the
// diary's.
TEST_F(SingleTripViewTest, ShownAgainTheCaptionStaysWithTheTrip) {
  Form3 = new TForm3();
  ViewCaption = "TRIP 01.05.2024 10:15   Hills";
  ShowDemoTrip(600);
  ASSERT_EQ(Form30->Caption, "TRIP 01.05.2024 10:15   Hills");
  ViewCaption = "TRIP 08.05.2024 09:00   Flat";
  TForm elsewhere;
  elsewhere.FinishCreate();
  elsewhere.Show();
  Application().ActivateForm(Form30);
  EXPECT_EQ(Form30->Caption, "TRIP 01.05.2024 10:15   Hills");
  // The diary opens the view again: its caption now.
  Application().ActivateForm(&elsewhere);
  Form30->Show();
  EXPECT_EQ(Form30->Caption, "TRIP 08.05.2024 09:00   Flat");
  // Another trip loaded meanwhile (with its caption): shown with it.
  Application().ActivateForm(&elsewhere);
  ViewCaption = "TRIP 09.05.2024 18:00   Evening";
  LoadIntoCurrent(DemoRide(8, 900));
  Application().ActivateForm(Form30);
  EXPECT_EQ(Form30->Caption, "TRIP 09.05.2024 18:00   Evening");
  elsewhere.Hide();
  snapshot::DeleteForm(Form3);
}

TEST_F(SingleTripViewTest, CalendarButtonOnlyRaisesAVisibleCalendar) {
  ShowDemoTrip(600);
  Form30->SB_KALClick(Form30->SB_KAL);
  EXPECT_FALSE(Form33->Visible);
  Form33->Show();
  Form30->Show();
  Form30->SB_KALClick(Form30->SB_KAL);
  EXPECT_TRUE(Form33->Visible);
  EXPECT_EQ(Application().ActiveForm(), Form33);
}

TEST_F(SingleTripViewTest, OfferedCommandsAreEnabledTheOthersShownDisabled) {
  snapshot::ExpectControls(*Form30, {"SB_ZV", "SB_CL1", "SB_POCP", "SB_DB"}, snapshot::kDisabled);
  // What the view offers: the whole trip after a zoom, whole-trip or section
  // statistics, the channels, the heart-rate scan and the calendar.
  ShowDemoTrip(600);
  snapshot::ExpectControls(*Form30, {"SB_FT", "SB_AW", "SB_AT", "SK_0", "SK_1", "SK_2", "SK_3", "SK_4",
                                     "SB_S15", "SB_TP", "SB_POPU", "SB_KAL"},
                           snapshot::kEnabled);
}

}  // namespace
}  // namespace tav
