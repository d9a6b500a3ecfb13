// The diary's edits through its panels and buttons, as a user drives them.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/core_data.h"
#include "core/trip_catalog.h"
#include "core/trip_file.h"
#include "core/trip_list.h"
#include "core/core_test_util.h"
#include "diary/diary_fixture.h"
#include "platform/datetime.h"

namespace tav {
namespace {

using namespace diary_test;

class DiaryEdits : public DiaryForm {
 protected:
  void Click(int col, int row) {  // press and click, as a user's click does
    Mouse('d', col, row);
    f->DBook->DoClick();
  }
  TripFileData ReadTrip(const std::string& line) const {
    TripFileData data;
    EXPECT_EQ(ReadTripFile(FsPath(TripPath(line)), data, nullptr), TripReadError::None) << line;
    return data;
  }
};

TEST_F(DiaryEdits, ManualEntryAddEditDelete) {
  Rides(2);
  Open(1);
  EXPECT_TRUE(f->SB_TRIP_KILL->Enabled);  // the current row is a list row from the start
  UnitFlags = kUnitMiles | kUnitFahrenheit;
  f->SB_NO_RIDE->DoClick();
  f->ED_1->DateTime = DateValue(2014, 3, 5) + 0.9;  // the picker's time of day does not count
  f->ED_2->DateTime = EncodeTime(9, 30, 0);
  f->ED_3->DateTime = EncodeTime(1, 30, 0);
  f->ED_4->Text.clear();
  for (char c : std::string("10,0")) f->ED_4->DoType(c);
  f->ED_6->Text = "68";
  f->IB_1->DoClick();  // kind 5
  f->Memo2->SetText("a\r\nb|c");
  f->ED_OK->DoClick();
  const std::string stored = "20140305_0930NR5_ANNA;003;*a|~b/c";
  ASSERT_EQ(TripList[2], stored);
  EXPECT_EQ(f->DBook->Row(), 4);  // the new entry is the current row
  EXPECT_FALSE(f->P_LSD->Visible);
  // Saved at once, the line with its values.
  EXPECT_FALSE(TripListChanged || TripDatabaseChanged);
  TStringList saved;
  ASSERT_TRUE(saved.LoadFromFile(FsPath(TripListPath)));
  EXPECT_EQ(saved.Lines(), TripList.Lines());
  EXPECT_EQ(TripSummaryTable[3].TotalTime, 5400);
  EXPECT_FLOAT_EQ(TripSummaryTable[3].MeanTemperature, 20.0f);

  // Edits keep the entry's slot and key time (not what the last rebuild left
  // in CurrentTripSlot); a reused slot starts empty.
  TripSummaryTable[3].NP = 999;
  f->SB_NO_RIDE->DoClick();
  Click(3, 4);
  EXPECT_EQ(f->ED_4->Text, "  10.000");
  EXPECT_EQ(f->ED_6->Text, "    68.0");  // the stored degC shown in degF
  EXPECT_TRUE(f->RB_03->Checked);
  CurrentTripSlot = 1;
  f->ED_OK->DoClick();
  EXPECT_FLOAT_EQ(TripSummaryTable[3].MeanTemperature, 20.0f);  // and stored back unchanged
  EXPECT_EQ(TripList.Count(), 4);
  EXPECT_EQ(TripList[2], stored);
  EXPECT_EQ(TripSummaryTable[3].NP, 0.0f);
  EXPECT_EQ(TripSummaryTable[1].TotalTime, 3600);

  // Delete: the button follows the current row; the confirmation deletes.
  Click(0, 7);
  EXPECT_FALSE(f->SB_TRIP_KILL->Enabled);
  Click(0, 2);
  f->SB_TRIP_KILL->DoClick();
  EXPECT_TRUE(f->P_CT->Visible && !f->DBook->Enabled);
  f->B_CL_Trip->DoClick();
  EXPECT_EQ(TripList.Lines(), (std::vector<std::string>{TripLine(2, 8, 0, 2), stored, "ERASED :1;"}));
  EXPECT_TRUE(f->DBook->Enabled && f->SB_TRIP_KILL->Enabled);
  Click(0, 3);
  f->SB_TRIP_KILL->DoClick();
  f->B_CL_Trip->DoClick();  // the last row goes: the current row is no list row now
  EXPECT_EQ(TripList.Lines(), (std::vector<std::string>{TripLine(2, 8, 0, 2), "ERASED :1;3;"}));
  EXPECT_FALSE(f->SB_TRIP_KILL->Enabled);
  EXPECT_EQ(CellOf(kMetricDate, 2), "02.03.2014 - 08:30");
}

// A click below the list keeps a half-typed manual entry; Esc discards it
// as the discard button does.
TEST_F(DiaryEdits, ClickBelowTheListKeepsAHalfTypedEntry) {
  Rides(2);
  Open(1);
  f->SB_NO_RIDE->DoClick();
  f->ED_4->Text = "42.5";
  f->Memo2->SetText("half typed");
  for (int row : {5, 7}) {
    Click(0, row);
    EXPECT_TRUE(f->P_LSD->Visible) << row;
    EXPECT_FALSE(f->SB_NO_RIDE->Flat) << row;
    EXPECT_EQ(f->ED_4->Text, "42.5") << row;
    EXPECT_EQ(f->Memo2->Text(), "half typed\r\n") << row;
  }
  EXPECT_EQ(Key(VK_ESCAPE), 0);
  EXPECT_FALSE(f->P_LSD->Visible);
  EXPECT_TRUE(f->SB_NO_RIDE->Flat);
  EXPECT_EQ(TripList.Count(), 3);  // nothing stored
}

TEST_F(DiaryEdits, NewEntryRefusedWhenEverySlotIsUsed) {
  std::vector<std::string> lines;
  for (int s = 1; s <= kLastTripSlot; ++s) lines.push_back(Format("201401%02i_0800000_T;%03i;", 1 + s % 28, s));
  lines.push_back("ERASED :");
  TripList.Assign(lines);
  testing::internal::CaptureStderr();
  Open(1);
  testing::internal::GetCapturedStderr();
  Application().ShownMessages.clear();
  f->SB_NO_RIDE->DoClick();
  f->ED_OK->DoClick();
  EXPECT_EQ(TripList.Count(), kLastTripSlot + 1);
  ASSERT_EQ(Application().ShownMessages.size(), 1u);
  EXPECT_TRUE(f->P_LSD->Visible);  // nothing typed is lost
}

TEST_F(DiaryEdits, CommentPanelStoresLineAndTripNote) {
  const std::string line = TripLine(1, 8, 0, 1);
  TripList.Assign(std::vector<std::string>{line, "20140302_0800NR3_ANNA;002;*gym", "ERASED :"});
  WriteTrip(line, 600);
  PutStats(1, 10, 600);
  PutStats(2, 5, 1800);
  Open(1);
  // A comment the trip filing wrote is selected whole, so the first typing
  // replaces it; other comments are typed on at their end.
  const std::pair<int, const char*> typed[] = {{2, "x\r\n"}, {3, "gymx\r\n"}};
  for (const auto& [row, after] : typed) {
    Click(1, row);
    EXPECT_EQ(f->DB_Memo->SelText(), row == 2 ? f->DB_Memo->Text() : "");
    f->DB_Memo->DoType('x');
    EXPECT_EQ(f->DB_Memo->Text(), after);
  }
  const std::string stored = "20140301_0830000_TAV;001;*Hill repeats|~5x3 min|~\xA7legs/tired";
  for (int cycle = 0; cycle < 2; ++cycle) {
    Click(1, 2);  // the comment column opens the panel
    if (cycle == 0) f->DB_Memo->DoSetText("Hill repeats\r\n5*3 min\r\n\r\ncut here");
    if (cycle == 0) f->E_Bemerk2->DoSetText("legs|tired");
    f->SB_B1->DoClick();
    f->SB_CT->DoClick();
    EXPECT_EQ(TripList[0], stored);
  }
  EXPECT_EQ(CellOf(kMetricComment, 2), "Hill repeats");
  EXPECT_EQ(CellOf(kMetricRemark2, 2), "legs/tired");
  EXPECT_EQ(ReadTrip(line).Note, stored.substr(stored.find('*')));
  Click(1, 2);
  f->DB_Memo->DoSetText(std::string(400, 'x'));
  f->SB_CT->DoClick();
  EXPECT_EQ(ReadTrip(line).Note.size(), 329u);  // cut to the note block
  // A manual entry's kind changes with its comment (right press on its
  // picture); a comment being typed survives an activation unstored, and
  // its OK stores it.
  Click(1, 3);
  f->SB_B1->DoMouseDown(TMouseButton::mbRight, 0, 1, 1);
  EXPECT_EQ(f->SB_B1->Tag, 4);
  for (int kind : {5, 6, 7, 3, 4}) {  // the last kind leads back to the first
    f->SB_B1->DoMouseDown(TMouseButton::mbRight, 0, 1, 1);
    EXPECT_EQ(f->SB_B1->Tag, kind);
  }
  f->DB_Memo->DoSetText("gym and core");
  Open(2);
  EXPECT_EQ(TripList[1], "20140302_0800NR3_ANNA;002;*gym");
  EXPECT_TRUE(f->DB_TP->Visible);
  f->SB_CT->DoClick();
  EXPECT_EQ(TripList[1], "20140302_0800NR4_ANNA;002;*gym and core|~\xA7");
}

// A comment or manual entry is stored by its OK alone: leaving the diary
// and coming back, closing and opening it, scrolling or sorting its rows
// keep what was typed in the panel and store nothing.
TEST_F(DiaryEdits, TypedTextIsStoredByItsOkAlone) {
  Rides(30);
  const std::string line = TripList[0];  // row 2, a trip with its file
  WriteTrip(line, 600);
  TForm other;
  other.FinishCreate();
  const std::pair<const char*, std::function<void()>> away[] = {
      {"another window and back", [&] { other.Show(); Application().ActivateForm(f); }},
      {"closed and opened", [&] { f->Close(); Open(1); }},
      {"scrolled", [&] {
         f->DBook->UserScrollTo(8, 0);
         ASSERT_EQ(f->DBook->TopRow(), 8);
       }},
      {"a calendar day", [&] {
         BuildTripDateIndex();
         SelectDiaryDay(f, DateValue(2014, 3, 25));
         ASSERT_TRUE(f->Visible);
       }},
      {"sorted by distance descending", [&] {
         SetFlat(f->SB_SOZA, false);
         f->CB_SORT->DoSelect(4);
       }},
  };
  int round = 0;
  for (const auto& [what, leave] : away) {
    SCOPED_TRACE(what);
    Open(1);
    ASSERT_EQ(DiaryRowLine[0], 0);
    f->DBook->SetTopRow(2);
    Click(1, 2);
    const std::string line_before = TripList[0];
    const std::string file_before = testing_core::FileBytes(FsPath(TripPath(line)));
    const std::string typed = Format("typed %i", ++round);
    f->DB_Memo->DoSetText(typed + "\r\nsecond");
    f->E_Bemerk2->DoSetText("half");
    leave();
    EXPECT_EQ(TripList[0], line_before);
    EXPECT_EQ(testing_core::FileBytes(FsPath(TripPath(line))), file_before);
    ASSERT_TRUE(f->DB_TP->Visible);
    EXPECT_TRUE(f->SB_CT->Visible);
    EXPECT_EQ(f->DB_Memo->Text(), typed + "\r\nsecond\r\n");
    EXPECT_EQ(f->E_Bemerk2->Text, "half");
    // The OK stores into the line the panel was opened on, wherever its row is now.
    f->SB_CT->DoClick();
    const std::string stored = line.substr(0, line.find('*')) + "*" + typed + "|~second|~\xA7half";
    EXPECT_EQ(TripList[0], stored);
    EXPECT_EQ(ReadTrip(line).Note, stored.substr(stored.find('*')));
    const int row = 2 + static_cast<int>(std::find(DiaryRowLine.begin(), DiaryRowLine.end(), 0) - DiaryRowLine.begin());
    EXPECT_EQ(CellOf(kMetricComment, row), typed);
    EXPECT_EQ(CellOf(kMetricRemark2, row), "half");
  }

  // A half-typed manual entry likewise.
  Open(1);
  const std::vector<std::string> lines = TripList.Lines();
  f->SB_NO_RIDE->DoClick();
  f->ED_1->DateTime = DateValue(2014, 4, 2);
  f->ED_2->DateTime = EncodeTime(7, 15, 0);
  f->ED_4->Text = "12.5";
  f->Memo2->SetText("swim");
  other.Show();
  Application().ActivateForm(f);
  EXPECT_EQ(TripList.Lines(), lines);
  EXPECT_TRUE(f->P_LSD->Visible);
  EXPECT_EQ(f->ED_4->Text, "12.5");
  EXPECT_EQ(f->Memo2->Text(), "swim\r\n");
  f->ED_OK->DoClick();
  EXPECT_EQ(TripList[30], "20140402_0715NR3_ANNA;031;*swim");
}

// The main window changed the rider: what was open on the old rider's rows
// ends unstored, and the diary shows the new list as newly opened, even
// where both lists hold the same line.
TEST_F(DiaryEdits, AnotherRidersListEndsWhatWasOpenOnTheOld) {
  Rides(5);
  const std::string shared = TripList[0];
  Open(1);
  SetFlat(f->SB_SOZA, false);
  f->CB_SORT->DoSelect(4);  // distance, descending
  ASSERT_EQ(DiarySorted, 1);
  const int row = 2 + static_cast<int>(std::find(DiaryRowLine.begin(), DiaryRowLine.end(), 0) - DiaryRowLine.begin());
  Click(1, row);
  f->DB_Memo->DoSetText("anna's ride");
  f->SB_STA2->DoClick();  // the zone block analysis asks for block 1
  ASSERT_EQ(f->SB_STA2->Tag, 1);

  CurrentRiderName = "BERT";
  std::vector<std::string> bert{shared};
  for (int k = 2; k <= 5; ++k) bert.push_back(TripLine(k, 9, 0, 10 + k, "*bert"));
  bert.push_back("ERASED :");
  TripList.Assign(bert);
  TForm other;
  other.FinishCreate();
  other.Show();
  Application().ActivateForm(f);
  EXPECT_EQ(TripList.Lines(), bert);
  EXPECT_FALSE(f->DB_TP->Visible);
  EXPECT_TRUE(f->DBook->Enabled);
  EXPECT_EQ(DiarySorted, 0);
  EXPECT_EQ(std::vector<int32_t>(DiaryRowLine.begin(), DiaryRowLine.begin() + 5), (std::vector<int32_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(f->SB_STA2->Tag, 0);
  EXPECT_FALSE(f->P_NOTRIP->Visible);
  EXPECT_EQ(f->Tag, 2);
  EXPECT_EQ(CellOf(kMetricComment, 3), "bert");
  // The OK of a panel no longer open stores nothing either.
  f->SB_CT->DoClick();
  EXPECT_EQ(TripList.Lines(), bert);
}

// The delete confirmation deletes the line it asks about and no other:
// rows rebuilt under it (a sort, a list changed while the diary was away)
// close it instead.
TEST_F(DiaryEdits, DeleteConfirmationDeletesOnlyTheLineItAsksAbout) {
  Rides(5);
  const std::vector<std::string> lines = TripList.Lines();
  Open(1);
  Click(0, 2);
  f->SB_TRIP_KILL->DoClick();
  ASSERT_TRUE(f->P_CT->Visible);
  SetFlat(f->SB_SOZA, false);
  f->CB_SORT->DoSelect(4);  // row 2 now shows the last trip
  ASSERT_EQ(DiaryRowLine[0], 4);
  if (f->P_CT->Visible) f->B_CL_Trip->DoClick();
  for (int k = 1; k < 5; ++k) EXPECT_GE(TripList.IndexOf(lines[static_cast<std::size_t>(k)]), 0) << k;
  EXPECT_FALSE(f->P_CT->Visible);
  EXPECT_TRUE(f->DBook->Enabled);

  TForm other;
  other.FinishCreate();
  Open(1);
  Click(0, 3);
  f->SB_TRIP_KILL->DoClick();
  other.Show();
  TripList.Insert(0, TripLine(1, 6, 0, 9));  // an earlier trip filed meanwhile
  Application().ActivateForm(f);
  if (f->P_CT->Visible) f->B_CL_Trip->DoClick();
  EXPECT_EQ(TripList.Count(), 7);
  EXPECT_FALSE(f->P_CT->Visible);
  // Rows as they were: the confirmation stays and deletes its line.
  Click(0, 3);
  f->SB_TRIP_KILL->DoClick();
  other.Show();
  Application().ActivateForm(f);
  ASSERT_TRUE(f->P_CT->Visible);
  f->B_CL_Trip->DoClick();
  EXPECT_EQ(TripList.IndexOf(lines[0]), -1);
  EXPECT_EQ(TripList.Count(), 6);
}

// A comment whose line was deleted meanwhile has nowhere to go: coming
// back closes its panel and stores nothing.
TEST_F(DiaryEdits, TypedCommentOfADeletedLineIsDropped) {
  Rides(3);
  Open(1);
  Click(1, 3);
  f->DB_Memo->DoSetText("lost");
  TripList.Delete(1);
  Open(2);
  EXPECT_FALSE(f->DB_TP->Visible);
  EXPECT_TRUE(f->DBook->Enabled);
  EXPECT_EQ(TripList.Lines(), (std::vector<std::string>{TripLine(1, 8, 0, 1), TripLine(3, 8, 0, 3), "ERASED :"}));
}

TEST_F(DiaryEdits, JoinWritesTripOneAndKeepsTripTwosFile) {
  TripListPath = JoinPath(RiderDir, "ANNA.T_L");
  TripDatabasePath = JoinPath(RiderDir, "ANNA.T_D");
  const std::string a = TripLine(1, 8, 0, 1), b = TripLine(1, 9, 0, 2), c = TripLine(2, 8, 0, 3);
  TripList.Assign(std::vector<std::string>{a, b, c, "ERASED :"});
  WriteTrip(a, 1200);
  WriteTrip(b, 600);
  WriteTrip(c, 600, 2);
  Open(1);
  const int count_a = ReadTrip(a).Count(), count_b = ReadTrip(b).Count();
  DiaryRowSelected[3] = DiaryRowSelected[4] = 1;  // different recording intervals
  f->SB_DEO_DEO->DoClick();
  EXPECT_EQ(f->P_NOTRIP->Caption, f->UiText[14]);
  EXPECT_EQ(TripList.Count(), 4);

  TripListChanged = false;
  DiaryRowSelected[2] = 1;
  DiaryRowSelected[4] = 0;
  // Either trip's file away: nothing is joined.
  for (const std::string* away : {&a, &b}) {
    const fs::path file = FsPath(TripPath(*away));
    fs::rename(file, fs::path(file).concat(".away"));
    f->P_NOTRIP->Hide();
    testing::internal::CaptureStderr();
    f->SB_DEO_DEO->DoClick();
    testing::internal::GetCapturedStderr();
    fs::rename(fs::path(file).concat(".away"), file);
    // The trip that did not open is named, with why.
    EXPECT_TRUE(f->P_NOTRIP->Visible);
    EXPECT_EQ(f->P_NOTRIP->Caption, "The trip " + file.string() + " is not opened: it is missing.");
    EXPECT_EQ(TripList.Count(), 4);
    EXPECT_FALSE(TripListChanged);
    EXPECT_EQ(ReadTrip(a).Count(), count_a);
  }
  f->SB_DEO_DEO->DoClick();
  EXPECT_EQ(TripList.Lines(), (std::vector<std::string>{a, c, "ERASED :"}));
  EXPECT_TRUE(f->SB_TRIP_KILL->Enabled);
  // The list without trip 2 is saved with the join; nothing of the join waits.
  TStringList saved;
  ASSERT_TRUE(saved.LoadFromFile(FsPath(TripListPath)));
  EXPECT_EQ(saved.Lines(), TripList.Lines());
  EXPECT_FALSE(TripListChanged);
  EXPECT_FALSE(fs::exists(JoinJournalPath()));
  EXPECT_FALSE(fs::exists(fs::path(FsPath(TripPath(a))).concat(".JOIN")));
  const TripFileData joined = ReadTrip(a);
  ASSERT_EQ(joined.Count(), count_a + count_b - 1);
  EXPECT_EQ(joined.Samples[static_cast<std::size_t>(count_a)].Time,
            joined.Samples[static_cast<std::size_t>(count_a - 1)].Time + 1);
  EXPECT_EQ(ReadTrip(b).Count(), count_b);  // trip 2's file stays
  EXPECT_EQ(TripSummaryTable[1].TotalTime, count_a + count_b - 2);
}

// A join cut short at any step is finished, or undone before it began, when
// the rider is loaded next: trip 2 is never counted twice nor lost.
TEST_F(DiaryEdits, JoinCutShortIsFinishedOnTheNextLoad) {
  TripListPath = JoinPath(RiderDir, "ANNA.T_L");
  TripDatabasePath = JoinPath(RiderDir, "ANNA.T_D");
  const std::string a = TripLine(1, 8, 0, 1), b = TripLine(1, 9, 0, 2), c = TripLine(2, 8, 0, 3);
  const fs::path file = FsPath(TripPath(a)), records = fs::path(file).concat(".JOIN"), kept = fs::path(file).concat(".joined");
  WriteTrip(a, 1800);
  fs::rename(file, kept);  // the joined records
  WriteTrip(a, 1200);
  TripFileData joined;
  ASSERT_EQ(ReadTripFile(kept, joined, nullptr), TripReadError::None);
  const int before = ReadTrip(a).Count(), after = joined.Count();
  struct Row {
    const char* step;   // where the join stopped
    bool records, journal, b_listed, a_joined;
    bool finished;
  } rows[] = {{"records written", true, false, true, false, false},
              {"journal written", true, true, true, false, true},
              {"list saved", true, true, false, false, true},
              {"records in place", false, true, false, true, true}};
  for (const Row& r : rows) {
    WriteTrip(a, r.a_joined ? 1800 : 1200);
    if (r.records) fs::copy_file(kept, records, fs::copy_options::overwrite_existing);
    if (r.journal) {
      ASSERT_TRUE(WriteJoinJournal(PathText(file.filename()), b));
    }
    TripList.Assign(r.b_listed ? std::vector<std::string>{a, b, c} : std::vector<std::string>{a, c});
    TripSummaryTable[1].TotalTime = 1200;
    std::string message;
    EXPECT_TRUE(FinishPendingJoin(TripList, &message)) << r.step << message;
    EXPECT_EQ(TripList.Count(), r.finished ? 2 : 3) << r.step;
    EXPECT_EQ(ReadTrip(a).Count(), r.finished || r.a_joined ? after : before) << r.step;
    EXPECT_FALSE(fs::exists(records) || fs::exists(JoinJournalPath())) << r.step;
    if (r.records && r.journal) {
      EXPECT_EQ(TripSummaryTable[1].TotalTime, 0) << r.step;  // recomputed from the joined file
    }
  }
  TStringList saved;
  ASSERT_TRUE(saved.LoadFromFile(FsPath(TripListPath)));
  EXPECT_EQ(saved.Lines(), (std::vector<std::string>{a, c}));
}

TEST_F(DiaryEdits, JoinOverTheRecordLimitIsSaidInTheChosenLanguage) {
  const std::string a = TripLine(1, 8, 0, 1), b = TripLine(1, 9, 0, 2);
  TripList.Assign(std::vector<std::string>{a, b, "ERASED :"});
  WriteTrip(a, 30000);
  WriteTrip(b, 14600);
  LanguageIndex = 2;
  Open(1);
  const int count_a = ReadTrip(a).Count(), count_b = ReadTrip(b).Count();
  DiaryRowSelected[2] = DiaryRowSelected[3] = 1;
  f->SB_DEO_DEO->DoClick();
  LanguageIndex = 1;
  EXPECT_EQ(f->P_NOTRIP->Caption, Format("Demasiados registros para unir: %i + %i > 44500", count_a, count_b));
  EXPECT_EQ(TripList.Count(), 3);
  EXPECT_EQ(ReadTrip(a).Count(), count_a);
}

}  // namespace
}  // namespace tav
