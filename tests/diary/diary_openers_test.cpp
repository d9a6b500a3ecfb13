// The diary's openers of views and analyses: what each hands over, and that
// each stops when its trip does not load.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>

#include "analysis/best_power_worker.h"
#include "analysis/evaluation_window.h"
#include "analysis/grade_scan.h"
#include "analysis/heart_rate_power_scan.h"
#include "analysis/power_cadence_scan.h"
#include "analysis/power_duration_scan.h"
#include "analysis/zone_time_scan.h"
#include "core/core_data.h"
#include "core/trip_file.h"
#include "diary/diary_fixture.h"
#include "diary/diary_window.h"
#include "platform/text.h"
#include "viewing/form_snapshot.h"
#include "viewing/sample_table.h"
#include "viewing/trip_comparison.h"
#include "viewing/trip_view.h"

namespace tav {
namespace {

using namespace diary_test;
using snapshot::DeleteForm;

unsigned char* testing_bytes(std::string& s) { return reinterpret_cast<unsigned char*>(s.data()); }

void WriteBytes(const fs::path& p, const std::string& bytes) { ASSERT_TRUE(WriteFileAtomically(p, bytes)); }

class DiaryOpeners : public DiaryForm {
 protected:
  void SetUp() override {
    DiaryForm::SetUp();
    TripListPath = JoinPath(RiderDir, "ANNA.T_L");
    TripDatabasePath = JoinPath(RiderDir, "ANNA.T_D");
    Form4 = new TForm4(), Form5 = new TForm5(), Form16 = new TForm16(), Form30 = new TForm30();
    Form31 = new TForm31(), Form40 = new TForm40(), Form51 = new TForm51(), Form52 = new TForm52();
    Form56 = new TForm56();
    // Rows: 2 power trip, 3 heart-rate trip, 4 manual entry, 5 missing
    // file, 6 power trip at 2 s, 7 power trip.
    lines_ = {TripLine(1, 8, 0, 1, "*hills"), TripLine(2, 8, 1, 2, "*BIKE HR"), "20140303_0800NR3_ANNA;003;*gym",
              TripLine(4, 8, 0, 4, "*gone"),  TripLine(5, 8, 0, 5),         TripLine(6, 8, 0, 6)};
    WriteTrip(lines_[0], 900);
    WriteTrip(lines_[1], 900, 1, kSportBikeHeartRate);
    WriteTrip(lines_[4], 900, 2);
    WriteTrip(lines_[5], 600);
    for (int s = 1; s <= 6; ++s) PutStats(s, 10, 900);
    std::vector<std::string> list = lines_;
    list.push_back("ERASED :");
    TripList.Assign(list);
    Open(1);
  }
  void TearDown() override {
    StopBestPowerWorker(f);
    DeleteForm(Form4), DeleteForm(Form5), DeleteForm(Form16), DeleteForm(Form30), DeleteForm(Form31);
    DeleteForm(Form40), DeleteForm(Form51), DeleteForm(Form52), DeleteForm(Form56);
    DiaryForm::TearDown();
  }
  void AtRow(int row) { f->DBook->SetRow(row); }
  void Mark(std::initializer_list<int> rows) {
    for (int r : rows) DiaryRowSelected[static_cast<std::size_t>(r)] = 1;
  }
  std::vector<std::string> Selected() const { return SelectedTrips.Lines(); }
  std::vector<std::string> lines_;
};

TEST_F(DiaryOpeners, ViewsOfTheCurrentRowStopWhenItDoesNotLoad) {
  testing::internal::CaptureStderr();
  for (int row : {4, 5}) {  // manual entry, missing file
    AtRow(row);
    for (TSpeedButton* b : {f->SB_GRAF, f->SB_DATEN, f->SB_PRS, f->SB_AW, f->SB_PP}) b->DoClick();
    for (TForm* w : std::initializer_list<TForm*>{Form30, Form40, Form52, Form16}) EXPECT_FALSE(w->Visible) << row;
    EXPECT_TRUE(!f->ZDP->Visible && f->SB_AW->Flat);
    Mark({row});
    f->SB_DEO_CSV->Show();
    f->SB_DEO_CSV->DoClick();  // nothing written: the offer stays, no done message
    EXPECT_TRUE(f->SB_DEO_CSV->Visible && !f->Info_Panel->Visible) << row;
    DiaryRowSelected[static_cast<std::size_t>(row)] = 0;
  }
  // The per-trip CSV is done only when its file was written: a folder in the
  // file's place leaves the offer and says so.
  const std::filesystem::path csv = std::filesystem::path(FsPath(TripPath(lines_[0]))).replace_extension(".CSV");
  std::filesystem::create_directory(csv);
  AtRow(2);
  for (bool blocked : {true, false}) {
    if (!blocked) std::filesystem::remove(csv);
    Mark({2});
    Application().ShownMessages.clear();
    f->SB_DEO_CSV->Show();
    f->SB_DEO_CSV->DoClick();
    EXPECT_EQ(f->SB_DEO_CSV->Visible, blocked);
    EXPECT_EQ(f->Info_Panel->Visible, !blocked);
    EXPECT_EQ(Application().ShownMessages.size(), blocked ? 1u : 0u);
    EXPECT_EQ(std::filesystem::is_regular_file(csv), !blocked);
  }
  DiaryRowSelected[2] = 0;
  testing::internal::GetCapturedStderr();
  AtRow(3);
  f->SB_PRS->DoClick();  // power trips only
  EXPECT_FALSE(Form52->Visible);
  AtRow(2);
  f->SB_PRS->DoClick();
  EXPECT_TRUE(Form52->Visible);
  EXPECT_EQ(f->ViewCaption, "TRIP 01.03.2014 - 08:30   hills");
  Mark({3});
  f->SB_GRAF->DoClick();
  EXPECT_TRUE(Form30->Visible && ApplyDefaultChannels == 1);
  EXPECT_EQ(MarkedCount(), 0);
  Form40->SelRow = 50;
  f->SB_DATEN->DoClick();
  EXPECT_TRUE(Form40->Visible && Form40->SelRow == 2);
  EXPECT_EQ(LoadedTripCaption, "TRIP 01.03.2014 - 08:30");

  // Statistics panel: the summary lines, the row's cells from the new slot,
  // the database saved; a second click closes it.
  TripSummaryTable[1].Distance = 0;
  f->SB_AW->DoClick();
  EXPECT_TRUE(f->ZDP->Visible && !f->SB_AW->Flat);
  EXPECT_EQ(f->ZD0->Caption, SummaryLines[0]);
  EXPECT_EQ(CellOf(kMetricDistance, 2), Format("%8.2f", TripSummaryTable[1].Distance));
  EXPECT_TRUE(std::filesystem::exists(FsPath(TripDatabasePath)));
  f->SB_AW->DoClick();
  EXPECT_FALSE(f->ZDP->Visible);

  // Heart rate against power, with the row's caption.
  AtRow(3);
  f->SB_PP->DoClick();
  EXPECT_TRUE(Form16->Visible && Form16->Tag == 0);
  EXPECT_EQ(Form16->Caption, "TRIP 02.03.2014 - 08:30   BIKE HR");
}

TEST_F(DiaryOpeners, ComparisonNeedsTwoMarkedTripsOfOneInterval) {
  AtRow(2);
  Mark({2});
  f->SB_GRA2->DoClick();
  EXPECT_EQ(f->P_NOTRIP->Caption, f->UiText[13]);
  // The second trip does not load (a manual entry, a missing file): no
  // comparison; the missing file is named with why, the manual entry has
  // nothing to open.
  testing::internal::CaptureStderr();
  for (int second : {4, 5}) {
    Mark({second});
    f->P_NOTRIP->Hide();
    f->SB_GRA2->DoClick();
    EXPECT_FALSE(Form31->Visible) << second;
    EXPECT_EQ(f->P_NOTRIP->Visible, second == 5);
    if (second == 5) {
      EXPECT_EQ(f->P_NOTRIP->Caption, "The trip " + TripPath(lines_[3]) + " is not opened: it is missing.");
    }
    EXPECT_EQ(f->SB_GRA2->Tag, 0);
    DiaryRowSelected[static_cast<std::size_t>(second)] = 0;
  }
  testing::internal::GetCapturedStderr();
  Mark({6});  // 2 s records
  f->SB_GRA2->DoClick();
  EXPECT_EQ(f->P_NOTRIP->Caption, f->UiText[14]);
  EXPECT_FALSE(Form31->Visible);
  DiaryRowSelected[6] = 0;
  Mark({7});
  f->SB_GRA2->DoClick();  // rows 2 and 7: the longer one is trip 1
  ASSERT_TRUE(Form31->Visible);
  EXPECT_EQ(Form31->Trip1Title, "TRIP1  01.03.2014 - 08:30  hills");
  EXPECT_EQ(Form31->Trip2Title, "TRIP2  06.03.2014 - 08:30  BIKE POWER");
  EXPECT_EQ(Form31->ZK21->Caption, "06.03.2014 - 08:30  BIKE POWER");
  Form31->Hide();
  WriteTrip(lines_[5], 1200);  // now row 7 is the longer one: it comes first
  f->SB_GRA2->DoClick();
  ASSERT_TRUE(Form31->Visible);
  EXPECT_EQ(Form31->Trip1Title, "TRIP1  06.03.2014 - 08:30  BIKE POWER");
  EXPECT_EQ(Form31->Trip2Title, "TRIP2  01.03.2014 - 08:30  hills");

  // A damaged trip whose first times lie further apart than an int holds is
  // never compared, and nothing overflows on the way.
  Form31->Hide();
  TripFileData far;
  std::string error;
  ASSERT_EQ(ReadTripFile(FsPath(TripPath(lines_[5])), far, &error), TripReadError::None) << error;
  far.Samples[1].Time = -2000000000;
  for (std::size_t i = 2; i < far.Samples.size(); ++i) far.Samples[i].Time = 2000000000 + static_cast<int32_t>(i);
  ASSERT_TRUE(WriteTripFile(FsPath(TripPath(lines_[5])), far, false, &error)) << error;
  f->SB_GRA2->DoClick();
  EXPECT_FALSE(Form31->Visible);
}

TEST_F(DiaryOpeners, BlockProtocolStateMachine) {
  AtRow(2);
  // First click without marks asks for block 1.
  f->SB_PA->DoClick();
  EXPECT_TRUE(f->ScanMode == 4 && f->SB_PA->Tag == 1);
  EXPECT_EQ(f->P_NOTRIP->Caption, "SELECT BLOCK 1");
  // Block 1 (the heart-rate trip does not count): the worker starts on it.
  Mark({2, 3, 6});
  f->SB_PA->DoClick();
  EXPECT_EQ(Selected(), (std::vector<std::string>{lines_[0], lines_[4], "BLOCK2"}));
  EXPECT_TRUE(f->SB_PA->Tag == 2 && f->Block1Count == 2 && f->Worker != nullptr);
  EXPECT_EQ(f->P_NOTRIP->Color, kDiaryPanelGreen);
  // Going to another window and back keeps the mode.
  Open(2);
  EXPECT_EQ(f->ScanMode, 8);
  // Block 2 opens the window with both blocks.
  Mark({7});
  f->SB_PA->DoClick();
  EXPECT_TRUE(Form5->Visible && !f->P_NOTRIP->Visible);
  EXPECT_TRUE(f->ScanMode == 12 && f->SB_PA->Tag == 0);
  EXPECT_EQ(Selected(), (std::vector<std::string>{lines_[0], lines_[4], "BLOCK2", lines_[5]}));

  // No block 2 marked: block 1 alone.
  Open(2);
  f->ScanMode = 0;
  f->SB_PA->DoClick();
  Mark({2});
  f->SB_PA->DoClick();
  f->SB_PA->DoClick();
  EXPECT_EQ(f->ScanMode, 50);
  EXPECT_EQ(Selected(), (std::vector<std::string>{lines_[0], "BLOCK2"}));

  // A few marked trips at once: mean-maximal curves, no block.
  Open(2);
  Mark({2, 6, 7});
  f->SB_PA->DoClick();
  EXPECT_TRUE(f->ScanMode == 4 && Selected().size() == 3u);
  // The clicked message panel ends a waiting block analysis.
  f->SB_PA->DoClick();
  f->SB_STA2->DoClick();
  EXPECT_EQ(f->SB_STA2->Tag, 1);
  f->P_NOTRIP->DoClick();
  EXPECT_TRUE(f->SB_PA->Tag == 0 && f->SB_STA2->Tag == 0 && f->ScanMode == 0);

  // The zone scan takes two blocks without a worker, and keeps its mode.
  f->SB_STA2->DoClick();
  Mark({3, 4});
  f->SB_STA2->DoClick();
  EXPECT_EQ(f->Block1Count, 2);
  Mark({7});
  f->SB_STA2->DoClick();
  EXPECT_TRUE(Form56->Visible && Form56->BlockMode() == 2);
  EXPECT_EQ(Selected(), (std::vector<std::string>{lines_[1], lines_[2], "BLOCK2", lines_[5]}));

  // Nine marked power trips on the first click: block 1 at once.
  std::vector<std::string> list;
  for (int k = 0; k < 10; ++k) list.push_back(TripLine(10 + k, 8, 0, 10 + k));
  list.push_back("ERASED :");
  TripList.Assign(list);
  Open(0);
  for (int r = 2; r < 11; ++r) Mark({r});
  f->SB_PA->DoClick();
  EXPECT_TRUE(f->ScanMode == 50 && f->Block1Count == 9 && SelectedTrips[9] == "BLOCK2");
}

TEST_F(DiaryOpeners, EvaluationAndScansOfTheMarkedTrips) {
  AtRow(2);
  Mark({2, 3});
  f->SB_STAT->DoClick();  // one of the marked is of the selected kind
  EXPECT_EQ(f->P_NOTRIP->Caption, f->UiText[13]);
  Mark({6});
  f->SB_STAT->DoClick();
  EXPECT_TRUE(Form4->Visible && Form4->LineCount == 2);
  Mark({7});  // a new selection is evaluated anew
  Application().ActivateForm(f);
  f->SB_STAT->DoClick();
  EXPECT_EQ(Form4->LineCount, 3);

  f->SB_GD->DoClick();
  EXPECT_TRUE(Form51->Visible && Selected().size() == 4u);

  // P-t: the power scan of the marked trips (unmarked afterwards), only when
  // the first is a power trip.
  f->ScanMode = 8;
  f->SB_PT->DoClick();
  EXPECT_TRUE(Form5->Visible && f->ScanMode == 0 && MarkedCount() == 0);
  Form5->Hide();
  AtRow(3);
  f->SB_PT->DoClick();
  EXPECT_FALSE(Form5->Visible);
}

// A trip the diary does not open is named with the reason, in the chosen
// language; the fixed line on the error stream stays for files it cannot read.
TEST_F(DiaryOpeners, ATripThatDoesNotOpenIsNamedWithWhy) {
  const std::string path = TripPath(lines_[3]);  // row 5
  const fs::path file = FsPath(path);
  auto trip = [&](int seconds, void (*damage)(std::string&)) {
    return [=, this] {
      WriteTrip(lines_[3], seconds);
      std::string bytes;
      ASSERT_TRUE(ReadWholeFile(file, bytes));
      damage(bytes);
      WriteBytes(file, bytes);
    };
  };
  struct Row {
    const char* why;
    std::function<void()> make;
    bool stderr_line;
    int language = 1;
  } rows[] = {
      {"it is missing", [] {}, true},
      {"a folder stands in its place", [&] { fs::create_directory(file); }, true},
      {"a link that leads to no file stands in its place", [&] { fs::create_symlink(dir_ / "nowhere", file); }, true},
      {"a link that leads to no file stands in its place", [&] { fs::create_directory_symlink(dir_, file); }, true},
      {"its records are no measured samples",
       trip(900, [](std::string& b) { le::PutF32(testing_bytes(b) + 4 + 40 * 30 + 8, std::nanf("")); }), true},
      {"it is damaged: its length does not match its number of records",
       trip(900, [](std::string& b) { b.resize(4 + 40 * 100); }), true},
      {"it holds only 31 records, at least 60 are needed", trip(30, [](std::string&) {}), false},
      {"sie fehlt", [] {}, true, 0},
      {"no existe", [] {}, true, 2},
  };
  AtRow(5);
  // The trip on show before: a refused trip leaves it, its path and count.
  const std::vector<TripSample> shown(TripSamples, TripSamples + 61);
  TripSampleCount = 61;
  CurrentTripPath = "shown.DEO";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    fs::remove_all(file);
    row.make();
    LanguageIndex = static_cast<uint8_t>(row.language);
    f->P_NOTRIP->Hide();
    testing::internal::CaptureStderr();
    f->SB_GRAF->DoClick();
    const std::string err = testing::internal::GetCapturedStderr();
    LanguageIndex = 1;
    EXPECT_FALSE(Form30->Visible);
    EXPECT_TRUE(f->P_NOTRIP->Visible);
    const std::string said = row.language == 0   ? "Die Fahrt " + path + " wird nicht ge\xF6" "ffnet: " + row.why + "."
                             : row.language == 2 ? "El recorrido " + path + " no se abre: " + row.why + "."
                                                  : "The trip " + path + " is not opened: " + row.why + ".";
    EXPECT_EQ(f->P_NOTRIP->Caption, said);
    EXPECT_EQ(err.find("Cannot open output file.\n") != std::string::npos, row.stderr_line) << err;
    EXPECT_EQ(TripSampleCount, 61);
    EXPECT_EQ(CurrentTripPath, "shown.DEO");
    EXPECT_TRUE(std::equal(shown.begin(), shown.end(), TripSamples));
  }
  fs::remove_all(file);
}

// The per-trip CSV and the collection with no trip marked say so.
TEST_F(DiaryOpeners, ExportsWithNothingMarkedSaySo) {
  const std::string said = "No trip is marked: please mark trips first.";
  AtRow(2);
  for (int manual : {0, 1}) {  // nothing marked; only a manual entry marked
    if (manual) Mark({4});
    f->P_NOTRIP->Hide();
    f->SB_DEO_CSV->Show();
    f->SB_DEO_CSV->DoClick();
    EXPECT_TRUE(f->P_NOTRIP->Visible && f->SB_DEO_CSV->Visible) << manual;
    EXPECT_EQ(f->P_NOTRIP->Caption, said);
  }
  // The collection takes the current row when nothing is marked; below the
  // list there is none.
  f->ClearMarks();
  AtRow(12);
  f->P_NOTRIP->Hide();
  f->SB_COLLEC->Show();
  f->SB_COLLEC->DoClick();
  EXPECT_TRUE(f->P_NOTRIP->Visible && f->SB_COLLEC->Visible);
  EXPECT_EQ(f->P_NOTRIP->Caption, said);
  EXPECT_FALSE(fs::exists(FsPath(CollectionListPath)));
  LanguageIndex = 2;
  f->SB_COLLEC->DoClick();
  LanguageIndex = 1;
  EXPECT_EQ(f->P_NOTRIP->Caption, "Ning\xFAn recorrido marcado: marque primero los recorridos.");
}

}  // namespace
}  // namespace tav
