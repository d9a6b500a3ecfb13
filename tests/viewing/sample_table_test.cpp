#include "viewing/sample_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <unistd.h>

#include "core/core_data.h"
#include "core/core_test_util.h"
#include "core/demo_rider_program.h"
#include "core/trip_file.h"
#include "platform/grid.h"
#include "platform/strings.h"
#include "viewing/form_snapshot.h"
#include "viewing/sample_table_model.h"

namespace tav {
namespace {

namespace fs = std::filesystem;
using namespace testing_core;

class SampleTableTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    Form40 = new TForm40();
  }
  void TearDown() override {
    snapshot::DeleteForm(Form40);
    TempFolderTest::TearDown();
  }

  // Writes a demo trip to a file and loads it as the diary does.
  fs::path LoadDemoTrip() {
    const std::vector<TripSample> trip = DemoRide(11, 1800);
    LoadIntoCurrent(trip);
    MakeZoneBlock(trip[0], TripZoneBlock);
    const fs::path path = dir_ / "20240501_100000_0_TEST.DEO";
    EXPECT_TRUE(WriteDeoFile(path));
    EXPECT_TRUE(ReadDeoFile(path));
    CurrentTripPath = PathText(path);
    return path;
  }
};

TEST_F(SampleTableTest, ShowsOneRowPerRecordAndSelectsTheChosenCell) {
  LoadDemoTrip();
  TStringGrid* g = Form40->SG_DATA;
  // Each opening selects the wished cell and scrolls to it; wishes outside
  // the table are brought inside.
  struct Wish { int row, col, want_row, want_col; };
  for (const Wish& w : {Wish{2, 0, 2, 0}, Wish{1500, 4, 1500, 4}, Wish{999999, -3, TripSampleCount - 1, 0}}) {
    Form40->SelRow = w.row;
    Form40->SelCol = w.col;
    Form40->Show();
    EXPECT_EQ(g->Row(), w.want_row) << w.row;
    EXPECT_EQ(g->Col(), w.want_col) << w.row;
    EXPECT_LE(g->TopRow(), w.want_row) << w.row;
    EXPECT_GE(g->TopRow() + g->VisibleRowCount(), w.want_row) << w.row;
    Form40->Close();
  }
  Form40->Show();
  EXPECT_EQ(g->RowCount(), TripSampleCount);
  EXPECT_EQ(g->ColCount(), kTableColumns);
  EXPECT_EQ(g->FixedRows(), 1);
  for (int c = 0; c < kTableColumns; ++c) EXPECT_EQ(g->Cell(c, 0), Form40->UiText[c]) << c;
  ASSERT_EQ(Form40->ShownRecords().size(), static_cast<std::size_t>(TripSampleCount));
  EXPECT_EQ(Form40->ShownRecords()[2], TripSamples[2]);
}

TEST_F(SampleTableTest, SaveWritesTheLoadedTripToItsFile) {
  const fs::path path = LoadDemoTrip();
  Form40->SB_Save->Visible = true;  // as after a join
  Form40->Show();
  EXPECT_TRUE(Form40->SB_Save->Visible);
  // The joined trip differs from the stored one.
  for (int i = 1; i < TripSampleCount; ++i) TripSamples[i].Power += 1.0f;
  TripNote = "joined";
  TripNotePresent = true;
  EXPECT_TRUE(Form40->SB_SaveClick(Form40->SB_Save));
  EXPECT_NE(Form40->L_SAVE->Caption.find("OK"), std::string::npos);
  EXPECT_FALSE(snapshot::SaveFormPng(*Form40, "form40_table").empty());

  TripFileData back;
  ASSERT_EQ(ReadTripFile(path, back, nullptr), TripReadError::None);
  ASSERT_EQ(back.Count(), TripSampleCount);
  for (int i = 0; i < TripSampleCount; ++i) ASSERT_EQ(back.Samples[i], TripSamples[i]) << i;
  EXPECT_EQ(back.Note, "joined");
  for (int k = 0; k < kZoneBlockWords; ++k) EXPECT_FLOAT_EQ(back.ZoneBlock[k], TripZoneBlock[k]);
  // No temporary file is left behind.
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir_)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
  // Closing hides the save button again: a plain opening does not offer it.
  Form40->Close();
  EXPECT_FALSE(Form40->SB_Save->Visible);
}

TEST_F(SampleTableTest, RefusedSaveKeepsTheOldFile) {
  const fs::path path = LoadDemoTrip();
  const std::string before = FileBytes(path);
  Form40->Show();

  // The temporary file cannot be made: nothing changes, the table says so.
  const fs::path blocker = fs::path(path.string() + ".tmp" + std::to_string(::getpid()));
  fs::create_directories(blocker / "x");
  for (int i = 1; i < TripSampleCount; ++i) TripSamples[i].Power = 0.0f;
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(Form40->SB_SaveClick(Form40->SB_Save));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Cannot open output file.\n");
  EXPECT_EQ(Form40->L_SAVE->Caption.find("OK"), std::string::npos);
  EXPECT_EQ(FileBytes(path), before);
  fs::remove_all(blocker);

  // Nothing loaded: an unreadable file is never written over the trip.
  TripSampleCount = 0;
  EXPECT_FALSE(Form40->SB_SaveClick(Form40->SB_Save));
  TripSampleCount = 3;
  EXPECT_FALSE(Form40->SB_SaveClick(Form40->SB_Save));
  EXPECT_EQ(FileBytes(path), before);
  // No path: nothing written anywhere.
  TripSampleCount = 500;
  CurrentTripPath.clear();
  EXPECT_FALSE(Form40->SB_SaveClick(Form40->SB_Save));
}

// The table shows a trip; meanwhile another window tries a damaged trip
// file, which is refused: the current trip stays, but the program's trip
// path names the damaged file (the diary's loader sets it first). Back in
// the table, Save must not write the trip shown over that file.
TEST_F(SampleTableTest, SaveAfterARefusedTripFileWritesNoOtherFile) {
  const fs::path path = LoadDemoTrip();
  const std::string mine = FileBytes(path);
  Form40->SB_Save->Visible = true;  // as after a join
  Form40->Show();
  std::vector<TripSample> bad = DemoRide(12, 900);
  bad[400].HeartRate = std::numeric_limits<float>::quiet_NaN();
  const fs::path damaged = dir_ / "20240502_100000_0_TEST.DEO";
  WriteBytes(damaged, EncodeDeoBytes(bad.data(), static_cast<int>(bad.size()), nullptr, nullptr, "", false, nullptr));
  const std::string damaged_bytes = FileBytes(damaged);
  CurrentTripPath = PathText(damaged);
  ASSERT_FALSE(ReadDeoFile(damaged));
  TForm elsewhere;
  elsewhere.FinishCreate();
  elsewhere.Show();
  Application().ActivateForm(Form40);

  EXPECT_FALSE(Form40->SB_SaveClick(Form40->SB_Save));
  EXPECT_EQ(Form40->L_SAVE->Caption,
            Form40->UiText[11] + ": 20240502_100000_0_TEST.DEO is not the file of the trip shown; nothing written.");
  EXPECT_TRUE(FileBytes(damaged) == damaged_bytes);  // (no dump of the bytes)
  EXPECT_TRUE(FileBytes(path) == mine);
  elsewhere.Hide();

  // Opened again for its own trip: saved to its file.
  ASSERT_TRUE(ReadDeoFile(path));
  CurrentTripPath = PathText(path);
  Form40->Hide();
  Form40->Show();
  EXPECT_TRUE(Form40->SB_SaveClick(Form40->SB_Save));
  EXPECT_TRUE(FileBytes(damaged) == damaged_bytes);
}

TEST_F(SampleTableTest, EmptyAndShortBuffersShowAnEmptyTable) {
  for (int count : {0, 1, 30, kMinShowRecords - 1}) {
    SCOPED_TRACE(count);
    TripSampleCount = count;
    Form40->Close();
    Form40->Show();
    EXPECT_EQ(Form40->SG_DATA->RowCount(), 2);
    EXPECT_TRUE(Form40->ShownRecords().empty());
    EXPECT_NO_FATAL_FAILURE(snapshot::RenderForm(*Form40));
  }
}

// Save over a trip file that holds more records than its count says asks
// first; "No" writes nothing, "Yes" keeps the old file as a .BAD copy.
using SampleTableOnDamagedRider = DemoRiderProgram;
TEST_F(SampleTableOnDamagedRider, SaveOverADamagedTripAsksAndKeepsTheOldFile) {
  const std::string line = StoredLines()[2];
  const fs::path trip = TripFileOf(line);
  const int32_t half = le::GetI32(Bytes(FileBytes(trip))) / 2;
  ShrinkCountWord(trip, half, false);
  const std::string damaged = FileBytes(trip);
  Start();
  ASSERT_EQ(LoadTripByListIndex(TripList, 2), 1);
  EXPECT_EQ(TripSampleCount, half);
  Form40->SB_Save->Visible = true;  // as after a join
  Form40->Show();

  Application().SetBackend(std::make_unique<AnswerNoBackend>());
  EXPECT_FALSE(Form40->SB_SaveClick(Form40->SB_Save));
  ASSERT_EQ(Application().ShownMessages.size(), 1u);
  EXPECT_NE(Application().ShownMessages[0].find(PathText(trip)), std::string::npos);
  EXPECT_TRUE(FileHolds(trip, damaged));
  EXPECT_FALSE(fs::exists(trip.string() + ".BAD"));

  Application().SetBackend(nullptr);  // answers "Yes"
  EXPECT_TRUE(Form40->SB_SaveClick(Form40->SB_Save));
  EXPECT_TRUE(FileHolds(trip.string() + ".BAD", damaged));
  const std::string saved = FileBytes(trip);
  EXPECT_EQ(saved.size(), DeoFileBytes(half));
  EXPECT_EQ(le::GetI32(Bytes(saved)), half);
}

}  // namespace
}  // namespace tav
