// The diary's edits through its panels and buttons, as a user drives them.
#include <gtest/gtest.h>

#include "core/core_data.h"
#include "core/trip_file.h"
#include "core/trip_list.h"
#include "diary/diary_edits.h"
#include "diary/diary_fixture.h"
#include "diary/diary_window.h"
#include "platform/datetime.h"
#include "platform/text.h"

namespace tav {
namespace {

using namespace diary_test;

class DiaryEdits : public DiaryForm {
 protected:
  // Press and click on a cell, as a user's click does.
  void Click(int col, int row) {
    Mouse('d', col, row);
    Mouse('u', col, row);
    f->DBook->DoClick();
  }
  int LineOf(const std::string& start) const {
    for (int i = 0; i < TripList.Count(); ++i)
      if (TripList[i].rfind(start, 0) == 0) return i;
    return -1;
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
  UnitFlags = kUnitMiles | kUnitFahrenheit;
  f->SB_NO_RIDE->DoClick();
  ASSERT_TRUE(f->P_LSD->Visible);
  EXPECT_TRUE(f->RB_01->Checked);
  f->ED_1->DateTime = DateValue(2014, 3, 5) + 0.9;  // the picker's time of day does not count
  f->ED_2->DateTime = DateValue(2000, 1, 1) + EncodeTime(9, 30, 0);
  f->ED_3->DateTime = EncodeTime(1, 30, 0);
  f->ED_4->Text.clear();
  for (char c : std::string("10,0")) f->ED_4->DoType(c);
  EXPECT_EQ(f->ED_4->Text, "10.0");
  f->ED_5->Text = "132";
  f->ED_6->Text = "68";
  f->IB_1->DoClick();  // kind 5
  f->Memo2->SetText("a\r\nb|c");
  f->ED_OK->DoClick();
  EXPECT_FALSE(f->P_LSD->Visible);
  EXPECT_TRUE(f->SB_NO_RIDE->Flat);
  const int idx = LineOf("20140305_0930NR5_ANNA");
  ASSERT_GE(idx, 0);
  EXPECT_EQ(TripList[idx], "20140305_0930NR5_ANNA;003;*a|~b/c");
  EXPECT_TRUE(TripListChanged);
  EXPECT_EQ(TripSummaryTable[3].TotalTime, 5400);
  EXPECT_FLOAT_EQ(TripSummaryTable[3].Distance, static_cast<float>(10 / 0.62137));
  EXPECT_FLOAT_EQ(TripSummaryTable[3].MeanTemperature, 20.0f);
  EXPECT_EQ(CellOf(kMetricDate, idx + 2), "05.03.2014 - 09:30");

  // Edit: the panel shows the entry, the stored line keeps its slot and key
  // time, and a reused slot starts empty.
  TripSummaryTable[3].NP = 999;
  f->SB_NO_RIDE->DoClick();
  Click(3, idx + 2);
  EXPECT_EQ(f->SB_NO_RIDE->Tag, 1);
  EXPECT_EQ(f->ED_4->Text, "  10.000");
  EXPECT_EQ(f->ED_6->Text, "    68.0");
  EXPECT_EQ(f->Memo2->Lines.Lines(), (std::vector<std::string>{"a", "b/c"}));
  EXPECT_TRUE(f->RB_03->Checked);
  f->ED_4->Text = "5";
  CurrentTripSlot = 1;  // whatever the last rebuild left
  for (int cycle = 0; cycle < 3; ++cycle) {
    f->ED_OK->DoClick();
    f->SB_NO_RIDE->DoClick();
    Click(3, LineOf("20140305_0930NR5") + 2);
  }
  f->ED_NO->DoClick();
  EXPECT_EQ(TripList.Count(), 4);
  EXPECT_EQ(TripList[LineOf("20140305")], "20140305_0930NR5_ANNA;003;*a|~b/c");
  EXPECT_FLOAT_EQ(TripSummaryTable[3].Distance, static_cast<float>(5 / 0.62137));
  EXPECT_EQ(TripSummaryTable[3].NP, 0.0f);
  EXPECT_EQ(TripSummaryTable[1].TotalTime, 3600);

  // Delete: the button follows the current row; the confirmation deletes.
  Click(0, 7);  // below the list
  EXPECT_FALSE(f->SB_TRIP_KILL->Enabled);
  Click(0, 2);
  EXPECT_TRUE(f->SB_TRIP_KILL->Enabled);
  f->SB_TRIP_KILL->DoClick();
  EXPECT_TRUE(f->P_CT->Visible);
  EXPECT_FALSE(f->DBook->Enabled);
  f->B_Nein->DoClick();
  EXPECT_EQ(TripList.Count(), 4);
  EXPECT_TRUE(f->DBook->Enabled);
  f->SB_TRIP_KILL->DoClick();
  f->B_CL_Trip->DoClick();
  EXPECT_EQ(TripList.Lines(), (std::vector<std::string>{TripLine(2, 8, 0, 2), "20140305_0930NR5_ANNA;003;*a|~b/c",
                                                        "ERASED :1;"}));
  EXPECT_TRUE(f->DBook->Enabled);
  EXPECT_EQ(CellOf(kMetricDate, 2), "02.03.2014 - 08:30");
  UnitFlags = 0;
}

TEST_F(DiaryEdits, NewEntryRefusedWhenEverySlotIsUsed) {
  std::vector<std::string> lines;
  for (int s = 1; s <= kLastTripSlot; ++s) lines.push_back(Format("2014%04i_0800000_T;%03i;", 101 + s % 28, s));
  lines.push_back("ERASED :");
  TripList.Assign(lines);
  Open(1);
  Application().ShownMessages.clear();
  f->SB_NO_RIDE->DoClick();
  f->ED_OK->DoClick();
  EXPECT_EQ(TripList.Count(), kLastTripSlot + 1);
  ASSERT_EQ(Application().ShownMessages.size(), 1u);
  EXPECT_NE(Application().ShownMessages[0].find("998"), std::string::npos);
  EXPECT_TRUE(f->P_LSD->Visible);  // nothing typed is lost
}

TEST_F(DiaryEdits, CommentPanelStoresLineAndTripNote) {
  const std::string line = TripLine(1, 8, 0, 1);
  TripList.Assign(std::vector<std::string>{line, "20140302_0800NR3_ANNA;002;*gym", "ERASED :"});
  WriteTrip(line, 600);
  PutStats(1, 10, 600);
  PutStats(2, 5, 1800);
  Open(1);
  Click(1, 2);  // the comment column opens the panel
  ASSERT_TRUE(f->DB_TP->Visible);
  EXPECT_EQ(f->DB_Memo->Text(), "BIKE POWER\r\n");
  EXPECT_FALSE(f->SB_CT->Visible);
  f->DB_Memo->DoSetText("Hill repeats\r\n5*3 min\r\n\r\ncut here");
  f->E_Bemerk2->DoSetText("legs|tired");
  EXPECT_TRUE(f->SB_CT->Visible);
  f->SB_CT->DoClick();
  const std::string stored = "20140301_0830000_TAV;001;*Hill repeats|~5x3 min|~\xA7legs/tired";
  EXPECT_EQ(TripList[0], stored);
  EXPECT_FALSE(f->DB_TP->Visible);
  EXPECT_EQ(CellOf(kMetricComment, 2), "Hill repeats");
  EXPECT_EQ(CellOf(kMetricRemark2, 2), "legs/tired");
  EXPECT_EQ(ReadTrip(line).Note, "*Hill repeats|~5x3 min|~\xA7legs/tired");
  // Opening and storing again changes nothing; a long note is cut to its block.
  for (int cycle = 0; cycle < 3; ++cycle) {
    Click(1, 2);
    f->SB_B1->DoClick();
    f->SB_CT->DoClick();
  }
  EXPECT_EQ(TripList[0], stored);
  Click(1, 2);
  f->DB_Memo->DoSetText(std::string(400, 'x'));
  f->SB_CT->DoClick();
  EXPECT_EQ(ReadTrip(line).Note.size(), 329u);
  // A manual entry's kind changes with its comment (right press on the picture);
  // a comment being typed survives an activation.
  Click(1, 3);
  EXPECT_EQ(f->SB_B1->Tag, 3);
  f->SB_B1->DoMouseDown(TMouseButton::mbRight, 0, 1, 1);
  f->DB_Memo->DoSetText("gym and core");
  Open(2);
  EXPECT_EQ(TripList[1], "20140302_0800NR4_ANNA;002;*gym and core|~\xA7");
  EXPECT_TRUE(f->DBook->Enabled);
}

TEST_F(DiaryEdits, JoinWritesTripOneAndKeepsTripTwosFile) {
  const std::string a = TripLine(1, 8, 0, 1), b = TripLine(1, 9, 0, 2), c = TripLine(2, 8, 0, 3);
  TripList.Assign(std::vector<std::string>{a, b, c, "ERASED :"});
  WriteTrip(a, 1200);
  WriteTrip(b, 600);
  WriteTrip(c, 600, 2);
  Open(1);
  const int count_a = ReadTrip(a).Count(), count_b = ReadTrip(b).Count();
  // Different recording intervals are not joined.
  DiaryRowSelected[3] = DiaryRowSelected[4] = 1;
  f->SB_DEO_DEO->DoClick();
  EXPECT_TRUE(f->P_NOTRIP->Visible);
  EXPECT_EQ(f->P_NOTRIP->Caption, f->UiText[14]);
  EXPECT_EQ(TripList.Count(), 4);
  EXPECT_EQ(ReadTrip(b).Count(), count_b);
  // One marked row is not enough.
  DiaryRowSelected[4] = 0;
  f->SB_DEO_DEO->DoClick();
  EXPECT_EQ(f->P_NOTRIP->Caption, f->UiText[13]);

  TripListChanged = false;
  DiaryRowSelected[2] = 1;
  f->SB_DEO_DEO->DoClick();
  EXPECT_EQ(TripList.Lines(), (std::vector<std::string>{a, c, "ERASED :"}));
  EXPECT_TRUE(TripListChanged);
  const TripFileData joined = ReadTrip(a);
  ASSERT_EQ(joined.Count(), count_a + count_b - 1);
  const TripSample& joint = joined.Samples[static_cast<std::size_t>(count_a)];
  EXPECT_EQ(joint.Pause, 55);
  EXPECT_EQ(joint.Time, joined.Samples[static_cast<std::size_t>(count_a - 1)].Time + 1);
  EXPECT_GT(joint.Distance, joined.Samples[static_cast<std::size_t>(count_a - 1)].Distance);
  EXPECT_EQ(ReadTrip(b).Count(), count_b);  // trip 2's file stays
  EXPECT_EQ(TripSummaryTable[1].TotalTime, (count_a + count_b - 2));
  EXPECT_EQ(MarkedCount(), 0);
}

}  // namespace
}  // namespace tav
