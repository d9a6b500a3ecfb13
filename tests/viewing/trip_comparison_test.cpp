#include "viewing/trip_comparison.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/core_data.h"
#include "core/core_test_util.h"
#include "core/trip_file.h"
#include "openers/openers.h"
#include "platform/chart.h"
#include "viewing/form_snapshot.h"
#include "viewing/trip_view.h"

namespace tav {
namespace {

using testing_core::DemoRide;
using testing_core::LoadInto;

class CompareTripsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCoreData();
    Form30 = new TForm30();  // its channel names title the curves
    Form31 = new TForm31();
  }
  void TearDown() override {
    snapshot::DeleteForm(Form31);
    snapshot::DeleteForm(Form30);
    ResetCoreData();
  }
  static void OpenAsTheDiaryDoes() {
    Form31->Trip1Title = "TRIP1  2024.05.01 10:00  Hills";
    Form31->Trip2Title = "TRIP2  2024.05.08 10:00  Flat";
    Form31->ZK1->Caption = "2024.05.01 10:00  Hills";
    Form31->ZK21->Caption = "2024.05.08 10:00  Flat";
    Form31->Show();
  }
};

TEST_F(CompareTripsTest, PowerAndHeartRateOfBothTrips) {
  LoadInto(TripSamples, TripSampleCount, DemoRide(3, 3600));
  LoadInto(TripSamples2, TripSampleCount2, DemoRide(4, 2400, 2));
  OpenAsTheDiaryDoes();
  ASSERT_TRUE(Form31->Showing2());
  TChart* ch = Form31->CH_CMP;
  ASSERT_EQ(ch->SeriesCount(), 4);  // power 1, power 2, heart rate 1, heart rate 2
  EXPECT_EQ(ch->Series(0)->Count(), TripSampleCount - 1);
  EXPECT_EQ(ch->Series(1)->Count(), TripSampleCount2 - 1);
  EXPECT_EQ(ch->Series(0)->Title.rfind(Form31->Trip1Title, 0), 0u);
  EXPECT_EQ(ch->Series(1)->Title.rfind(Form31->Trip2Title, 0), 0u);
  EXPECT_EQ(ch->Series(2)->VertAxis, TVertAxis::aRightAxis);
  // Both run over time in minutes: trip 2 ends near 40 minutes.
  EXPECT_NEAR(ch->Series(1)->MaxXValue(), 40.0, 0.1);
  EXPECT_EQ(Form31->ZK1->Caption, "2024.05.01 10:00  Hills");
  EXPECT_FALSE(snapshot::SaveFormPng(*Form31, "form31_compare").empty());

  // Cadence added, heart rate taken away.
  Form31->SB_RM->DoClick();
  Form31->SB_HR->DoClick();
  EXPECT_EQ(ch->SeriesCount(), 4);
  EXPECT_TRUE(Form31->PairShown(TForm31::kPairCadence));
  EXPECT_FALSE(Form31->PairShown(TForm31::kPairHeartRate));

  // A drag zooms the chart; the whole-trip button shows both trips again.
  const double whole_to = ch->BottomAxis.Maximum();
  const TRect plot = ch->PlotRect();
  ch->DoMouseDown(TMouseButton::mbLeft, ssLeft, plot.Left + 40, plot.Top + 5);
  ch->DoMouseMove(ssLeft, plot.Left + 140, plot.Bottom - 5);
  ch->DoMouseUp(TMouseButton::mbLeft, 0, plot.Left + 140, plot.Bottom - 5);
  ASSERT_TRUE(ch->IsZoomed());
  EXPECT_LT(ch->BottomAxis.Maximum(), whole_to);
  Form31->SB_FT->DoClick();
  EXPECT_FALSE(ch->IsZoomed());
  EXPECT_DOUBLE_EQ(ch->BottomAxis.Maximum(), whole_to);
}

// At the smallest size, in each language, with every channel pair shown:
// the tool buttons and titles stay inside the window, and the right axis
// title fits the plot's height, naming each of its channels.
TEST_F(CompareTripsTest, SmallestWindowCutsNoTitle) {
  LoadInto(TripSamples, TripSampleCount, DemoRide(3, 3600));
  LoadInto(TripSamples2, TripSampleCount2, DemoRide(4, 2400, 2));
  OpenAsTheDiaryDoes();
  Form31->SB_RM->DoClick();
  Form31->SB_SP->DoClick();
  ASSERT_TRUE(Form31->PairShown(TForm31::kPairCadence));
  ASSERT_GT(Form31->MinClientWidth, 0);
  const std::vector<std::vector<std::string>> names = {
      {"Herzfrequenz", "Trittfrequenz", "Geschwindigkeit"}, {"Heart rate", "Cadence", "Speed"},
      {"Frecuencia cardiaca", "Cadencia", "Velocidad"}};
  for (const auto& row : names) {
    Form30->UiText[kChannelHeartRate] = row[0];
    Form30->UiText[kChannelCadence] = row[1];
    Form30->UiText[kChannelSpeed] = row[2];
    Form31->SetClientSize(Form31->MinClientWidth, Form31->MinClientHeight);
    Form31->SB_SP->DoClick();  // off and on: drawn anew with these names
    Form31->SB_SP->DoClick();
    for (const TControl* b : Form31->P_TOP->Children()) {
      if (b->Visible) {
        EXPECT_LE(b->Left + b->Width, Form31->ClientWidth()) << b->Name;
      }
    }
    const TChartAxis& right = Form31->CH_CMP->RightAxis;
    EXPECT_LE(MeasureTextWidth(right.TitleFont, right.Title), Form31->CH_CMP->PlotRect().Height()) << right.Title;
    for (const std::string& name : row) EXPECT_NE(right.Title.find(name.substr(0, 2)), std::string::npos) << right.Title;
  }
}

TEST_F(CompareTripsTest, ShortTripsShowAnEmptyView) {
  LoadInto(TripSamples, TripSampleCount, DemoRide(3, 3600));
  TripSampleCount2 = 20;
  OpenAsTheDiaryDoes();
  EXPECT_FALSE(Form31->Showing2());
  EXPECT_EQ(Form31->CH_CMP->SeriesCount(), 0);
  EXPECT_TRUE(Form31->L_EMPTY->Visible);
  EXPECT_NO_FATAL_FAILURE(snapshot::RenderForm(*Form31));
  // Second trip loaded: the view fills on the next activation.
  LoadInto(TripSamples2, TripSampleCount2, DemoRide(5, 1800));
  Form31->Hide();
  Form31->Show();
  EXPECT_TRUE(Form31->Showing2());
  TripSampleCount = 0;
  TripSampleCount2 = 0;
  Form31->Hide();
  Form31->Show();
  EXPECT_FALSE(Form31->Showing2());
}

// The values of a series, to tell one drawing from another.
std::vector<double> ValuesOf(const TChartSeries& s) {
  std::vector<double> v;
  for (int i = 0; i < s.Count(); ++i) v.push_back(s.YValue(i));
  return v;
}

// Opened as the diary opens it; then a trip file is refused into the
// comparison buffer (a record of it holds no measured values) and another
// trip takes the current buffer (as the first trip of a refused pair, or
// another view, leaves it). Coming back, the comparison still draws its two
// trips under their titles; so do the channel buttons.
TEST_F(CompareTripsTest, ShownAgainAfterARefusedTripDrawsTheTripsItWasOpenedWith) {
  const std::vector<TripSample> one = DemoRide(3, 3600), two = DemoRide(4, 2400, 2);
  LoadInto(TripSamples, TripSampleCount, one);
  LoadInto(TripSamples2, TripSampleCount2, two);
  OpenComparison("2024.05.01 10:00  Hills", "2024.05.08 10:00  Flat");
  TChart* ch = Form31->CH_CMP;
  ASSERT_EQ(ch->SeriesCount(), 4);
  const std::vector<double> power1 = ValuesOf(*ch->Series(0)), power2 = ValuesOf(*ch->Series(1));
  const std::string title2 = ch->Series(1)->Title;
  const double left_max = ch->LeftAxis.Maximum();
  ASSERT_EQ(static_cast<int>(power1.size()), static_cast<int>(one.size()) - 1);

  std::vector<TripSample> damaged = DemoRide(5, 1800);
  for (std::size_t i = 1000; i < damaged.size(); ++i) damaged[i].Power = 3.0e30f;
  const std::filesystem::path path =
      std::filesystem::path(::testing::TempDir()) / "compare_damaged_trip.DEO";
  ASSERT_TRUE(WriteFileAtomically(path, EncodeDeoBytes(damaged.data(), static_cast<int>(damaged.size()),
                                                       nullptr, nullptr, "", false, nullptr)));
  int32_t count = 0;
  EXPECT_NE(ReadTripSamples(path, TripSamples2, kTripBufferRecords, count, nullptr), TripReadError::None);
  std::filesystem::remove(path);
  EXPECT_EQ(TripSampleCount2, static_cast<int32_t>(two.size()));
  EXPECT_EQ(TripSamples2[500], two[500]);
  const std::vector<TripSample> other = DemoRide(6, 600);
  LoadInto(TripSamples, TripSampleCount, other);

  Form30->Show();  // the user goes elsewhere and comes back
  Application().ActivateForm(Form31);
  ASSERT_EQ(ch->SeriesCount(), 4);
  EXPECT_EQ(ValuesOf(*ch->Series(0)), power1);
  EXPECT_EQ(ValuesOf(*ch->Series(1)), power2);
  EXPECT_EQ(ch->Series(1)->Title, title2);
  EXPECT_DOUBLE_EQ(ch->LeftAxis.Maximum(), left_max);
  // Cadence added: drawn for the same two trips.
  Form31->SB_RM->DoClick();
  ASSERT_EQ(ch->SeriesCount(), 6);
  EXPECT_EQ(ValuesOf(*ch->Series(0)), power1);
  EXPECT_EQ(ch->Series(4)->Count(), static_cast<int>(one.size()) - 1);
  EXPECT_EQ(ch->Series(5)->Count(), static_cast<int>(two.size()) - 1);
  // Opened again: the trips now in the buffers.
  Form30->Show();
  LoadInto(TripSamples2, TripSampleCount2, DemoRide(7, 1200));
  OpenComparison("a", "b");
  EXPECT_EQ(ch->Series(0)->Count(), static_cast<int>(other.size()) - 1);
  // The same two trips under new titles (a comment edited in the diary):
  // the legend names them anew.
  Form30->Show();
  OpenComparison("a", "2024.05.08 10:00  Flat and windy");
  EXPECT_EQ(ch->Series(1)->Title.rfind("TRIP2  2024.05.08 10:00  Flat and windy  ", 0), 0u) << ch->Series(1)->Title;
  EXPECT_EQ(Form31->ZK21->Caption, "2024.05.08 10:00  Flat and windy");
}

}  // namespace
}  // namespace tav
