// A trip file opened from the diary many times is written at most once,
// and only when something changed: the note copied from a diary comment,
// the comment panel's OK, the sample table's save and a join. Writes are
// counted at the step that puts a file in place (the rename onto its name).
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/core_data.h"
#include "core/core_test_util.h"
#include "core/statistics.h"
#include "core/trip_file.h"
#include "core/trip_list.h"
#include "diary/diary_fixture.h"
#include "platform/strings.h"
#include "viewing/form_snapshot.h"
#include "viewing/sample_table.h"

namespace tav {
namespace {

using namespace diary_test;

class DiaryTripWrites : public DiaryForm {
 protected:
  void SetUp() override {
    DiaryForm::SetUp();
    FileStepCheck() = [this](FileStep step, const fs::path& path) {
      if (step == FileStep::Rename) ++renames_[path.string()];
      return 0;
    };
  }
  void TearDown() override {
    FileStepCheck() = nullptr;
    DiaryForm::TearDown();
  }
  // Times the trip file of a line was put in place since the last call.
  int WritesOf(const std::string& line) {
    const std::string key = FsPath(TripPath(line)).string();
    const int n = renames_[key];
    renames_[key] = 0;
    return n;
  }
  std::string Bytes(const std::string& line) const { return testing_core::FileBytes(FsPath(TripPath(line))); }
  TripFileData Read(const std::string& line) const {
    TripFileData data;
    EXPECT_EQ(ReadTripFile(FsPath(TripPath(line)), data, nullptr), TripReadError::None);
    return data;
  }
  // A trip file of the line as the program writes it, with a note in it
  // when one is given.
  void Trip(const std::string& line, int seconds, const char* note, int interval = 1) {
    WriteTrip(line, seconds, interval);
    ASSERT_TRUE(ReadDeoFile(FsPath(TripPath(line))));
    TripNotePresent = note != nullptr;
    TripNote = note ? note : "";
    ASSERT_TRUE(WriteDeoFile(FsPath(TripPath(line))));
  }
  void Click(int col, int row) {
    Mouse('d', col, row);
    f->DBook->DoClick();
  }
  std::map<std::string, int> renames_;
};

TEST_F(DiaryTripWrites, OpeningsCopyAMissingNoteOnceAndWriteNothingElse) {
  struct Row {
    const char* tail;       // the list line's comment ("" none)
    const char* file_note;  // the note already in the file (null none)
    int writes;             // over all the openings
    const char* note_after; // the file's note afterwards (null none)
  } rows[] = {{"*hills", nullptr, 1, "*hills"},
              {"", nullptr, 0, nullptr},
              {"*hills", "*kept", 0, "*kept"},
              {"", "*kept", 0, "*kept"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.tail) + " / " + (r.file_note ? r.file_note : "no note"));
    // Its statistics are due: the activation loads it (twice) too.
    const std::string line = std::string("20140301_0830000_TAV;001PF;") + r.tail;
    const std::string other = TripLine(2, 8, 0, 2);
    PutStats(2, 10, 600);
    TripSummaryTable[1] = TripSummary{};
    TripDistributionTable[1].Mark = 0;
    Trip(line, 900, r.file_note);
    WritesOf(line);
    TripList.Assign(std::vector<std::string>{line, other, "ERASED :"});
    Open(1);
    ASSERT_GT(TripSummaryTable[1].TotalTime, 0);
    const std::string after_first = Bytes(line);
    for (int round = 0; round < 3; ++round) {
      f->DBook->SetRow(2);
      for (TSpeedButton* b : {f->SB_GRAF, f->SB_DATEN, f->SB_PRS, f->SB_PP, f->SB_AW, f->SB_AW}) b->DoClick();
      DiaryRowSelected[2] = DiaryRowSelected[3] = 1;
      f->SB_GRA2->DoClick();  // a comparison loads both trips twice
      EXPECT_TRUE(LoadDiaryTrip(f, 0));
      TripSummaryTable[1].TotalTime = 0;  // due again
      Open(round == 1 ? 0 : 2);
    }
    EXPECT_EQ(WritesOf(line), r.writes);
    EXPECT_EQ(WritesOf(other), 0);
    EXPECT_EQ(Bytes(line), after_first);
    const TripFileData data = Read(line);
    EXPECT_EQ(data.NoteFlag(), r.note_after != nullptr);
    if (r.note_after) {
      EXPECT_EQ(data.Note, r.note_after);
    }
    f->Close();
  }
}

TEST_F(DiaryTripWrites, CommentOkWritesTheFileOnceAndOnlyWhenTheNoteChanges) {
  const std::string bare = TripLine(1, 8, 0, 1), noted = TripLine(2, 8, 0, 2, "*old");
  Trip(bare, 600, nullptr);
  Trip(noted, 600, "*old");
  PutStats(1, 10, 600);
  PutStats(2, 10, 600);
  TripList.Assign(std::vector<std::string>{bare, noted, "ERASED :"});
  Open(1);
  WritesOf(bare);
  WritesOf(noted);
  struct Step {
    int row;
    const char* typed;  // null: OK without a change
    int writes;
    const char* note;
  } steps[] = {
      {2, "climb", 1, "*climb|~\xA7"},   // the file had no note: written once, not twice
      {2, nullptr, 0, "*climb|~\xA7"},   // OK with nothing changed
      {2, "climb", 0, "*climb|~\xA7"},   // the same text typed again
      {2, "descent", 1, "*descent|~\xA7"},
      {3, nullptr, 1, "*old|~\xA7"},     // the stored form of the comment differs from the old note
      {3, nullptr, 0, "*old|~\xA7"},
      {3, "new", 1, "*new|~\xA7"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.typed ? s.typed : "unchanged") + Format(" row %i", s.row));
    const std::string& line = s.row == 2 ? bare : noted;
    Click(1, s.row);
    ASSERT_TRUE(f->DB_TP->Visible);
    if (s.typed) f->DB_Memo->DoSetText(s.typed);
    else f->SB_B1->DoClick();  // the OK is offered without a change
    f->SB_CT->DoClick();
    EXPECT_EQ(WritesOf(line), s.writes);
    EXPECT_EQ(Read(line).Note, s.note);
    EXPECT_EQ(WritesOf(s.row == 2 ? noted : bare), 0);
  }
}

// The sample table's save and a join write a file only with new bytes.
TEST_F(DiaryTripWrites, SampleTableSaveAndJoinWriteOnlyChangedFiles) {
  Form40 = new TForm40();
  const std::string a = TripLine(1, 8, 0, 1, "*a"), b = TripLine(1, 9, 0, 2, "*b");
  Trip(a, 1200, "*a", 2);
  Trip(b, 600, "*b", 2);
  PutStats(1, 10, 1200);
  PutStats(2, 10, 600);
  TripList.Assign(std::vector<std::string>{a, b, "ERASED :"});
  WritesOf(a);
  WritesOf(b);
  Open(1);
  f->DBook->SetRow(2);
  f->SB_DATEN->DoClick();
  EXPECT_EQ(WritesOf(a), 0);
  ASSERT_TRUE(Form40->Visible);
  Form40->SB_Save->Show();
  const std::string stored = Bytes(a);
  EXPECT_TRUE(Form40->SB_SaveClick(Form40->SB_Save));  // nothing changed
  EXPECT_NE(Form40->L_SAVE->Caption.find("OK"), std::string::npos);
  EXPECT_EQ(WritesOf(a), 0);
  TripSamples[5].Power += 1.0f;  // a corrected value
  EXPECT_TRUE(Form40->SB_SaveClick(Form40->SB_Save));
  EXPECT_EQ(WritesOf(a), 1);
  EXPECT_NE(Bytes(a), stored);
  EXPECT_TRUE(Form40->SB_SaveClick(Form40->SB_Save));
  EXPECT_EQ(WritesOf(a), 0);
  Form40->Close();

  // The join: trip 1's file once, trip 2's never; the sample table it opens
  // then saves nothing new.
  const int count_a = Read(a).Count(), count_b = Read(b).Count();
  DiaryRowSelected[2] = DiaryRowSelected[3] = 1;
  f->SB_DEO_DEO->DoClick();
  ASSERT_EQ(TripList.Count(), 2);
  EXPECT_EQ(WritesOf(a), 1);
  EXPECT_EQ(WritesOf(b), 0);
  const TripFileData joined = Read(a);
  ASSERT_EQ(joined.Count(), count_a + count_b - 1);
  // Trip 2's records go on at its own 2 s interval.
  const std::size_t joint = static_cast<std::size_t>(count_a);
  EXPECT_EQ(joined.Samples[joint].Time, joined.Samples[joint - 1].Time + 2);
  EXPECT_EQ(joined.Samples[joint + 1].Time, joined.Samples[joint - 1].Time + 4);
  EXPECT_EQ(joined.Samples[joint].Pause, 55);
  EXPECT_EQ(TripSummaryTable[1].TotalTime, (count_a + count_b - 2) * 2);
  ASSERT_TRUE(Form40->Visible);
  EXPECT_TRUE(Form40->SB_SaveClick(Form40->SB_Save));
  EXPECT_EQ(WritesOf(a), 0);
  snapshot::DeleteForm(Form40);
}

}  // namespace
}  // namespace tav
