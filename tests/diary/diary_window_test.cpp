#include "diary/diary_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <unistd.h>

#include "core/core_data.h"
#include "core/demo_rider.h"
#include "core/demo_rider_program.h"
#include "core/settings.h"
#include "core/trip_date_text.h"
#include "core/trip_file.h"
#include "core/trip_list.h"
#include "diary/diary_fixture.h"
#include "platform/canvas.h"
#include "platform/text.h"
#include "viewing/form_snapshot.h"

namespace tav {
namespace {

using namespace diary_test;
namespace fs = std::filesystem;

// ---- rows, columns, units --------------------------------------------------

TEST_F(DiaryForm, EmptyListShowsTitlesAndZeroTotal) {
  TripList.Assign(std::vector<std::string>{"ERASED :"});
  f->ScanMode = 8;
  f->P_NOTRIP->Show();
  f->SB_DEO_CSV->Tag = 0;  // offered by the main window's export command
  f->SB_DEO_CSV->Show();
  DiaryRangeStart = "20100101";
  Open(1);
  EXPECT_EQ(f->ScanMode, 0);
  EXPECT_FALSE(f->P_NOTRIP->Visible);
  EXPECT_FALSE(f->SB_TRIP_KILL->Enabled);
  EXPECT_EQ(f->DBook->RowCount(), 10);
  EXPECT_EQ(f->Tag, 2);
  EXPECT_EQ(CellOf(kMetricDistance, 3), "    0.00 ");
  EXPECT_EQ(CellOf(kMetricDate, 0), " Datum / Zeit");
  EXPECT_EQ(CellOf(kMetricDistance, 1), " [km]");
  EXPECT_EQ(f->CB_SORT->Items.Count(), 17);
  EXPECT_EQ(f->Caption, "Tagebuch   ANNA");
  EXPECT_EQ(DiaryRangeStart, "20100101");  // no dates: the pickers step is skipped
  // The export button is offered for one activation only.
  EXPECT_TRUE(f->SB_DEO_CSV->Visible);
  Open(2);
  EXPECT_FALSE(f->SB_DEO_CSV->Visible);
  // A list without any line, or with no dated line, works too.
  for (const char* only : {"", "BLOCK2"}) {
    TripList.Clear();
    if (*only) TripList.Add(only);
    Open(1);
    EXPECT_EQ(f->DBook->RowCount(), 10);
    EXPECT_EQ(CellOf(kMetricDistance, *only ? 4 : 3), "    0.00 ");
    EXPECT_EQ(DiaryRangeStart, "20100101");
  }
  // Function keys: F4 offers the collection button, F5 (no help file) does
  // nothing visible; both are consumed, other keys are not.
  EXPECT_EQ(Key(VK_F4), 0);
  EXPECT_TRUE(f->SB_COLLEC->Visible);
  EXPECT_EQ(f->SB_COLLEC->Tag, 0);
  EXPECT_EQ(Key(VK_F5), 0);
  EXPECT_EQ(Key(VK_F6), VK_F6);
}

TEST_F(DiaryForm, TripRowsAndManualRows) {
  PutStats(1, 42.5f, 5400, 210);
  PutStats(2, 3.0f, 1800);
  TripList.Assign(std::vector<std::string>{TripLine(3, 9, 0, 1, "*BIKE POWER|~\xA7" "easy"),
                                           "20140304_0930NR5_ANNA;002;*swim|~second line", "ERASED :"});
  Open(1);
  // Every column of both rows, in metric order.
  EXPECT_EQ(RowOf(2, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}),
            (Texts{"03.03.2014 - 09:30", "BIKE POWER", "  01:30:00   ", "   42.50 ", "     210 ", "     140 ",
                   "      90 ", "    28.3 ", "    15.0 ", "     220 ", "      60 ", "   0.800 ", "     500 ",
                   "    1000 ", "     190 ", "easy", "    1075 ", "      70 "}));
  // The manual entry: date, duration, distance, heart rate, temperature and comment only.
  EXPECT_EQ(RowOf(3, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}),
            (Texts{"04.03.2014 - 09:30", "swim", "  00:30:00   ", "    3.00 ", "", "     140 ", "", "",
                   "    15.0 ", "", "", "", "", "", "", " ", "", ""}));
  EXPECT_EQ(DiaryRowSlot[1], 2);
  EXPECT_EQ(DiaryRowPowerSlot[0], 1);
  EXPECT_EQ(DiaryRowPowerSlot[1], 0);
  // Total of both rows at row n + 3; the free-slot line is not shown.
  EXPECT_EQ(ColumnOf(kMetricDistance, 4, 6), (Texts{"", "   45.50 "}));
  EXPECT_EQ(CellOf(kMetricDate, 4), "");
  EXPECT_EQ(TripCounter, 2);
}

TEST_F(DiaryForm, MovedColumnOrderMapsMetricsAndIsSaved) {
  PutStats(1, 42.5f, 5400);
  TripList.Assign(std::vector<std::string>{TripLine(3, 9, 0, 1), "ERASED :"});
  Open(1);
  // The user drags the distance column (3) to position 5.
  f->DBook->MoveColumn(3, 5);
  f->DBookColumnMoved(f->DBook, 3, 5);
  EXPECT_EQ(DiaryColumnOrder[5], kMetricDistance);
  // The new order is in the settings file at once.
  std::string saved;
  ASSERT_TRUE(ReadWholeFile(FsPath(SettingsPath), saved));
  ResetDiaryColumnOrder(DiaryColumnOrder);
  ASSERT_TRUE(DecodeSettings(saved));
  EXPECT_EQ(DiaryColumnOrder[5], kMetricDistance);
  Open(2);
  EXPECT_EQ(f->DBook->Cell(5, 1), " [km]");
  EXPECT_EQ(f->DBook->Cell(5, 4), "   42.50 ");  // total follows the column
  EXPECT_EQ(f->DBook->Cell(3, 2), "     200 ");  // power moved left
  // A move onto the comment column is not recorded: the grid is refilled in the stored order.
  f->DBook->MoveColumn(3, 1);
  f->DBookColumnMoved(f->DBook, 3, 1);
  EXPECT_EQ(DiaryColumnOrder[5], kMetricDistance);
  EXPECT_EQ(f->DBook->Cell(1, 2), "BIKE POWER");
  EXPECT_EQ(f->DBook->Cell(5, 2), "   42.50 ");
}

TEST_F(DiaryForm, CorruptColumnOrderAndSlotsShowWhatTheyCan) {
  for (int c = 0; c < kDiaryColumnOrderSize; ++c) DiaryColumnOrder[c] = 77777 * c;  // garbage settings
  PutStats(5, 10.0f, 600);
  TripList.Assign(std::vector<std::string>{
      TripLine(1, 8, 0, 5000, "*out of range"),
      "20140302_0800000_TAV*no semicolon",
      TripLine(3, 8, 0, 0, "*slot zero"),
      "2014",
      TripLine(5, 8, 0, 5, "*fine"),
      "ERASED :"});
  Open(1);
  EXPECT_TRUE(DiaryColumnOrderValid(DiaryColumnOrder));
  // Bad slots and lines show their date and comment; the line after them is filled.
  EXPECT_EQ(ColumnOf(kMetricComment, 2, 7), (Texts{"out of range", "no semicolon", "slot zero", "keine", "fine"}));
  EXPECT_EQ(ColumnOf(kMetricDate, 3, 6), (Texts{"02.03.2014 - 08:00", "03.03.2014 - 08:30", "  .  .2014 - 00:00"}));
  EXPECT_EQ(ColumnOf(kMetricDistance, 2, 7), (Texts{"", "", "", "", "   10.00 "}));
  EXPECT_EQ(DiaryRowSlot[0], 0);
  EXPECT_EQ(DiaryRowSlot[4], 5);
}

TEST_F(DiaryForm, ImperialUnitsAndValuesThatAlwaysFit) {
  PutStats(1, 100.0f, 3600);
  TripList.Assign(std::vector<std::string>{TripLine(3, 9, 0, 1), "ERASED :"});
  UnitFlags = kUnitMiles | kUnitFahrenheit | kUnitPounds | kUnit12Hour | kUnitUsDate;
  Open(1);
  EXPECT_EQ(CellOf(kMetricDate, 2), "03/03/2014 - 09:30AM");
  EXPECT_EQ(CellOf(kMetricDistance, 1), " [mi]");
  EXPECT_EQ(CellOf(kMetricAscent, 1), " [ft]");
  EXPECT_EQ(CellOf(kMetricDistance, 2), "   62.14 ");
  EXPECT_EQ(CellOf(kMetricAscent, 2), "    1640 ");
  EXPECT_EQ(CellOf(kMetricDistance, 4), "   62.14 ");  // the total in miles
  EXPECT_DOUBLE_EQ(SpeedFactor, 0.62137);
  EXPECT_EQ(f->LED_4->Caption, "Strecke[miles]");
  EXPECT_EQ(f->LED_6->Caption, "Temp. [\xB0" "F]");
  // Values far beyond the usual still show whole, also in a later row.
  PutStats(2, 1609.0f, 360000);
  TripSummary& big = TripSummaryTable[2];
  big.Ascent = 30479.0f;
  big.Work = 99999.0f;
  big.TSS = 1234.0f;
  big.NP = 1999.0f;
  big.IF = 12.345f;
  big.MeanTemperature = -40.0f;
  TripList.Insert(1, TripLine(4, 12, 0, 2));
  Open(1);
  EXPECT_EQ(CellOf(kMetricTime, 3), "  100:00:00   ");
  ExpectEveryValueFits();
}

// ---- evaluation on activation ----------------------------------------------------

TEST_F(DiaryForm, DueTripsAreEvaluatedOnceWithProgress) {
  // Three trips without statistics, one marked "PF", one "PF" whose file is gone.
  std::vector<std::string> lines;
  for (int k = 0; k < 3; ++k) {
    lines.push_back(TripLine(k + 1, 8, 0, k + 1, "*ride"));
    WriteTrip(lines.back(), 300);
  }
  WriteTrip(TripLine(5, 9, 0, 7), 1200);
  lines.push_back("20140305_0930000_TAV;007PF;*BIKE POWER");
  lines.push_back("20140306_0930000_TAV;008PF;*gone");
  lines.push_back("ERASED :");
  TripList.Assign(lines);
  TripListChanged = false;
  f->SB_SOAZ->Enabled = true;
  testing::internal::CaptureStderr();
  Open(1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Cannot open output file."), std::string::npos);
  EXPECT_EQ(f->Memo1->Lines.Count(), 4);
  EXPECT_EQ(f->Memo1->Lines[3], "neu");
  EXPECT_EQ(TripList[3], "20140305_0930000_TAV;007__;*BIKE POWER");
  EXPECT_EQ(TripList[4], "20140306_0930000_TAV;008PF;*gone");  // not loaded: kept for the next time
  EXPECT_TRUE(TripListChanged);
  EXPECT_GT(TripSummaryTable[7].TotalTime, 1000);
  EXPECT_EQ(TripDistributionTable[7].Mark, kTableMark);
  EXPECT_NE(TripDistributionTable[8].Mark, kTableMark);
  EXPECT_NE(CellOf(kMetricTime, 5), "");
  EXPECT_EQ(CellOf(kMetricComment, 6), "gone");
  // The progress went through all five due rows; the window is usable again.
  EXPECT_FALSE(f->Info_Panel->Visible);
  EXPECT_EQ(f->PB_Info->Max, 5);
  EXPECT_EQ(f->PB_Info->Position, 5);
  EXPECT_TRUE(f->SB_SOAZ->Enabled);
  EXPECT_TRUE(f->DBook->Enabled);
  // The line comment went into the trip file that had no note.
  TripFileData data;
  ASSERT_EQ(ReadTripFile(FsPath(TripPath(TripList[3])), data, nullptr), TripReadError::None);
  EXPECT_TRUE(data.NoteFlag());
  EXPECT_EQ(data.Note, "*BIKE POWER");
  // Later activations evaluate a slot again only when it has no total time.
  testing::internal::CaptureStderr();
  Open(2);
  Open(1);
  EXPECT_EQ(f->Memo1->Lines.Count(), 4);
  TripSummaryTable[7].TotalTime = 0;
  Open(2);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(f->Memo1->Lines.Count(), 5);
  EXPECT_GT(TripSummaryTable[7].TotalTime, 1000);
  // A line with slot 0 is evaluated like any slot of the tables.
  const std::string zero = TripLine(9, 8, 0, 0, "*zero");
  WriteTrip(zero, 600);
  TripList.Insert(TripList.Count() - 1, zero);
  testing::internal::CaptureStderr();
  Open(2);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(f->Memo1->Lines.Count(), 6);
  EXPECT_GT(TripSummaryTable[0].TotalTime, 500);
}

// ---- Tag protocol and scrolling -------------------------------------------------------

TEST_F(DiaryForm, TagProtocolScrollsToTheNewestTripsAndMarksBeyondRow500) {
  std::vector<std::string> lines;
  for (int k = 0; k < 600; ++k) {
    PutStats(1 + k % 999, 10.0f, 3600);
    lines.push_back(Format("%04i%02i%02i_0800000_TAV;%03i;*ride %i", 2014 + k / 336, 1 + k / 28 % 12, 1 + k % 28,
                           1 + k, k));
  }
  lines.push_back("ERASED :");
  TripList.Assign(lines);
  Open(1);
  EXPECT_EQ(f->Tag, 2);
  const int visible = f->DBook->Height / f->DBook->DefaultRowHeight() - 5;
  EXPECT_EQ(f->DBook->TopRow(), std::min(f->DBook->MaxTopRow(), 601 - visible));
  EXPECT_EQ(DiaryRangeStart, "20140101");
  EXPECT_EQ(DiaryRangeEnd, "20151012");
  // Marking works on rows beyond 500.
  const int top = f->DBook->TopRow();
  ASSERT_GT(top, 500);
  Drag(0, top + 1, top + 4);
  EXPECT_EQ(MarkedCount(), 4);
  EXPECT_TRUE(Marked(top + 4));
  EXPECT_EQ(DiaryRowSelected.size(), static_cast<std::size_t>(f->DBook->RowCount()));
  // A later activation (Tag 2) keeps the user's scroll position and the marks,
  // the calendar's Tag 5 as well; an opener's 0 resets marks and scroll.
  f->DBook->SetTopRow(10);
  DiaryRowSelected[12] = 1;
  Open(2);
  EXPECT_EQ(f->DBook->TopRow(), 10);
  EXPECT_TRUE(Marked(12));
  Open(5);
  EXPECT_TRUE(Marked(12));
  Open(0);
  EXPECT_EQ(MarkedCount(), 0);
  EXPECT_EQ(f->DBook->TopRow(), top);
}

// ---- sorting ------------------------------------------------------------------

class DiarySorting : public DiaryForm {
 protected:
  void SetUp() override {
    DiaryForm::SetUp();
    // Distances: index 3 and 12 equal; total times grow with the index.
    const float km[14] = {50, 20, 80, 35, 10, 90, 60, 15, 70, 25, 40, 85, 35, 5};
    std::vector<std::string> lines;
    for (int i = 0; i < 14; ++i) {
      PutStats(i + 1, km[i], 3600 + i);
      lines.push_back(Format("201402%02i_0800000_TAV;%03i;*ride", i + 1, i + 1));
    }
    lines[6] = "20140207_0800NR3_ANNA;007;*gym";
    TripSummaryTable[7].MeanSpeed = 41000.25f;  // a manual entry's start time
    lines.push_back("ERASED :");
    TripList.Assign(lines);
    Open(1);
  }
  std::vector<int> Map() const { return {DiaryRowLine.begin(), DiaryRowLine.begin() + 14}; }
  std::vector<int> SortBy(int item, bool ascending) {
    f->SB_SOAZ->Flat = !ascending;
    f->SB_SOZA->Flat = ascending;
    f->CB_SORT->DoSelect(item);
    return Map();
  }
  void TitleDoubleClick(int col) {
    Mouse('d', col, 0);
    Mouse('u', col, 0);
    f->DBook->DoDblClick();
  }
};

TEST_F(DiarySorting, DistanceAscendingWithTiesAndTheDirectionButtons) {
  DiaryRowSelected[5] = 1;
  DiaryRowSelected[15] = 1;  // a mark below the list's rows, too
  f->SB_SOAZ->DoClick();
  EXPECT_FALSE(f->SB_SOAZ->Flat);
  EXPECT_TRUE(f->CB_SORT->Visible);
  EXPECT_FALSE(f->SB_SEL_ALL->Visible);
  f->CB_SORT->DoSelect(4);
  EXPECT_EQ(Map(), (std::vector<int>{13, 4, 7, 1, 9, 12, 3, 10, 0, 6, 8, 2, 11, 5}));
  EXPECT_EQ(DiarySorted, 1);
  EXPECT_EQ(DiarySortItem, 4);
  EXPECT_EQ(MarkedCount(), 0);
  EXPECT_FALSE(f->CB_SORT->Visible);
  EXPECT_TRUE(f->SB_SEL_ALL->Visible);
  EXPECT_TRUE(f->SB_SOAZ->Flat && f->SB_SOZA->Flat);
  EXPECT_EQ(CellOf(kMetricDistance, 2), "    5.00 ");
  EXPECT_EQ(CellOf(kMetricDate, 2), "14.02.2014 - 08:00");
  // A right press swaps the buttons; a click on the other one sorts down.
  f->SB_SOAZ->DoMouseDown(TMouseButton::mbRight, 0, 1, 1);
  EXPECT_FALSE(f->SB_SOAZ->Visible);
  EXPECT_TRUE(f->SB_SOZA->Visible);
  f->SB_SOZA->DoClick();
  f->CB_SORT->DoSelect(4);
  EXPECT_EQ(CellOf(kMetricDistance, 2), "   90.00 ");
}

TEST_F(DiarySorting, EveryItemDescendingIsAscendingReversed) {
  for (int item = 0; item < 17; ++item) {
    std::vector<int> up = SortBy(item, true);
    const std::vector<int> down = SortBy(item, false);
    std::reverse(up.begin(), up.end());
    EXPECT_EQ(up, down) << "item " << item;
    std::sort(up.begin(), up.end());
    for (int i = 0; i < 14; ++i) ASSERT_EQ(up[static_cast<std::size_t>(i)], i) << "item " << item;
    EXPECT_EQ(DiarySorted, item == 0 ? 0 : 1);
  }
  EXPECT_EQ(SortBy(0, true).front(), 0);
  EXPECT_EQ(SortBy(3, true).front(), 0);
  // The manual entry sorts as 0 by speed and keeps its stored start time.
  EXPECT_EQ(SortBy(9, true).front(), 6);
  EXPECT_EQ(CellOf(kMetricComment, 2), "gym");
  EXPECT_EQ(TripSummaryTable[7].MeanSpeed, 41000.25f);
}

TEST_F(DiarySorting, TitleDoubleClicksAlternateAndRestartOnAnotherColumn) {
  TitleDoubleClick(DiaryColumnPos[kMetricDistance]);
  EXPECT_EQ(DiaryRowLine[0], 13);
  TitleDoubleClick(DiaryColumnPos[kMetricDistance]);
  EXPECT_EQ(DiaryRowLine[0], 5);
  TitleDoubleClick(DiaryColumnPos[kMetricDistance]);
  EXPECT_EQ(DiaryRowLine[0], 13);
  TitleDoubleClick(DiaryColumnPos[kMetricTime]);  // another column starts ascending
  EXPECT_EQ(DiaryRowLine[0], 0);
  EXPECT_EQ(DiarySortItem, 3);
  TitleDoubleClick(DiaryColumnPos[kMetricTime]);
  EXPECT_EQ(DiaryRowLine[0], 13);
  // A double-click below the titles sorts nothing.
  Mouse('d', 0, 4);
  Mouse('u', 0, 4);
  f->DBook->DoDblClick();
  EXPECT_EQ(DiaryRowLine[0], 13);
}

// ---- marking ----------------------------------------------------------------------

TEST_F(DiarySorting, DragMarksAndUnmarks) {
  f->DBook->SetTopRow(2);
  Drag(0, 3, 7);
  for (int r = 2; r < 10; ++r) EXPECT_EQ(Marked(r), r >= 3 && r <= 7) << r;
  EXPECT_EQ(DiaryDragRow, -100);
  Drag(2, 7, 4);
  for (int r = 2; r < 10; ++r) EXPECT_EQ(Marked(r), r == 3) << r;
  // Presses outside the list rows mark nothing.
  Mouse('d', 0, 16);
  EXPECT_FALSE(Marked(16));
  Mouse('d', 0, 1);
  EXPECT_FALSE(Marked(1));
}

TEST_F(DiaryForm, MarkByKindAndSpan) {
  Rides(9, {0, 1, 2});
  Open(1);  // span: the whole list
  EXPECT_EQ(f->SB_SEL_ALL->Hint, "Alle Fahrten ausw\xE4hlen (01.03.2014 - 09.03.2014)");
  // Kind cycle with the right button: 0 -> 1 -> 2.
  f->SB_SEL_ALL->DoMouseDown(TMouseButton::mbRight, 0, 1, 1);
  f->SB_SEL_ALL->DoMouseDown(TMouseButton::mbRight, 0, 1, 1);
  EXPECT_EQ(f->SB_SEL_ALL->Tag, 2);
  EXPECT_EQ(f->SB_SEL_ALL->Caption, f->SB_SEL2->Caption);
  EXPECT_EQ(f->SB_PT->Tag, 2);
  EXPECT_TRUE(f->SB_GD->Visible);
  f->SB_SEL_ALL->DoClick();
  EXPECT_FALSE(f->SB_SEL_ALL->Flat);
  for (int r = 2; r < 11; ++r) EXPECT_EQ(Marked(r), (r - 2) % 3 == 2) << r;
  // A narrower span from the pickers.
  f->SB_SEL_ALL->DoClick();  // flat again: all unmarked
  EXPECT_EQ(MarkedCount(), 0);
  EXPECT_EQ(Key(VK_F2), 0);
  EXPECT_TRUE(f->P_DateDiff->Visible);
  f->DP_Start->SetDate(DateValue(2014, 3, 4));
  f->DP_End->SetDate(DateValue(2014, 3, 7));
  f->B_DDIFF_OK->DoClick();
  EXPECT_FALSE(f->P_DateDiff->Visible);
  EXPECT_EQ(DiaryRangeStart, "20140304");
  f->SB_SEL_ALL->DoClick();
  EXPECT_EQ(MarkedCount(), 1);
  EXPECT_TRUE(Marked(7));  // 6 March, a run
  // Reopening clears the marks; the button keeps its kind and state.
  Open(0);
  EXPECT_EQ(MarkedCount(), 0);
  EXPECT_FALSE(f->SB_SEL_ALL->Flat);
}

// Esc on the prompt of the span by two clicks ends the mode: the next click
// in the date column takes no date and brings no panel back.
TEST_F(DiarySorting, EscEndsTheSpanByTwoClicks) {
  DiaryRangeStart = "20000101";
  for (int clicks_before : {0, 1}) {
    EXPECT_EQ(Key(VK_F3), 0);
    f->DBook->SetTopRow(2);
    if (clicks_before) Mouse('d', 0, 9);
    EXPECT_EQ(DiaryRangeClickState, 1 + clicks_before);
    const std::string start = DiaryRangeStart;
    EXPECT_EQ(Key(VK_ESCAPE), 0);
    EXPECT_EQ(DiaryRangeClickState, 0) << clicks_before;
    EXPECT_FALSE(f->Info_Panel->Visible);
    Mouse('d', 0, 4);
    EXPECT_EQ(DiaryRangeStart, start) << clicks_before;
    EXPECT_FALSE(f->Info_Panel->Visible) << clicks_before;
  }
}

TEST_F(DiarySorting, SpanByTwoClicks) {
  EXPECT_EQ(Key(VK_F3), 0);
  EXPECT_EQ(DiaryRangeClickState, 1);
  EXPECT_TRUE(f->Info_Panel->Visible);
  EXPECT_EQ(f->L_Info1->Caption, f->UiText[28]);
  f->DBook->SetTopRow(2);
  Mouse('d', 0, 4);
  EXPECT_EQ(DiaryRangeClickState, 2);
  EXPECT_EQ(DiaryRangeStart, "20140203");
  EXPECT_EQ(f->L_Info2->Caption, f->UiText[30]);
  EXPECT_EQ(f->L_Info1->Caption, f->UiText[28]);
  Mouse('d', 0, 9);
  EXPECT_EQ(DiaryRangeClickState, 3);
  EXPECT_EQ(DiaryRangeEnd, "20140208");
  EXPECT_EQ(DiaryRangeText, " (03.02.2014 - 08.02.2014)");
  EXPECT_EQ(f->SB_SEL_ALL->Hint, f->UiText[27] + DiaryRangeText);
  EXPECT_FALSE(f->Info_Panel->Visible);
  // Later date first: the span is the same.
  Key(VK_F3);
  Mouse('d', 0, 9);
  Mouse('d', 0, 4);
  EXPECT_EQ(DiaryRangeStart, "20140203");
  EXPECT_EQ(DiaryRangeEnd, "20140208");
  EXPECT_EQ(DiaryRangeText, " (03.02.2014 - 08.02.2014)");
  // F3 is not offered while the rows are sorted.
  f->CB_SORT->DoSelect(4);
  DiaryRangeClickState = 0;
  Key(VK_F3);
  EXPECT_EQ(DiaryRangeClickState, 0);
}

TEST_F(DiaryForm, FindMarksInAnyCaseAndCommentWidthToggles) {
  for (int slot : {1, 2, 3}) PutStats(slot, 1, 60);
  TripList.Assign(std::vector<std::string>{TripLine(1, 8, 0, 1, "*BIKE POWER " + std::string(60, 'w')),
                                           TripLine(2, 8, 2, 2, "*Run in the r\xE4in"),
                                           TripLine(3, 8, 1, 3, "*bike hr"), "ERASED :bike;"});
  Open(1);
  EXPECT_EQ(Key(VK_F1), 0);
  EXPECT_TRUE(f->P_FIND->Visible);
  EXPECT_EQ(f->P_FIND->Left, 400);
  f->E_Find->Text = "  bike\t";
  f->B_Find->DoClick();
  EXPECT_FALSE(f->P_FIND->Visible);
  EXPECT_TRUE(Marked(2));
  EXPECT_FALSE(Marked(3));
  EXPECT_TRUE(Marked(4));
  EXPECT_FALSE(Marked(5));  // the free-slot line is no row
  f->E_Find->Text = "R\xC4IN";
  f->B_Find->DoClick();
  EXPECT_EQ(MarkedCount(), 1);
  EXPECT_TRUE(Marked(3));
  f->E_Find->Text = " \x01 ";
  f->B_Find->DoClick();
  EXPECT_EQ(MarkedCount(), 0);
  // A right press on the comment title widens the column to its widest text and back.
  f->DBook->SetColWidth(1, 200);
  Mouse('d', 1, 0, TMouseButton::mbRight);
  EXPECT_GT(f->DBook->ColWidth(1), 400);
  Mouse('d', 1, 0, TMouseButton::mbRight);
  EXPECT_EQ(f->DBook->ColWidth(1), 200);
}

// Esc closes whichever panel is open as its cancel does; the marks stay.
TEST_F(DiaryForm, EscClosesEachPanelAndKeepsTheMarks) {
  Rides(3);
  Open(1);
  DiaryRowSelected[3] = 1;
  EXPECT_EQ(Key(VK_ESCAPE), VK_ESCAPE);  // nothing open: the key goes on
  f->B_Nein->OnClick = [&](TControl*) { f->P_CT->Hide(); };
  const std::pair<TPanel*, WORD> panels[] = {{f->P_FIND, VK_F1}, {f->P_DateDiff, VK_F2}, {f->Info_Panel, VK_F3},
                                             {f->P_CT, 0},       {f->DB_TP, 0},         {f->P_LSD, 0},
                                             {f->ZDP, 0}};
  for (auto [panel, key] : panels) {
    key ? (void)Key(key) : panel->Show();
    EXPECT_EQ(Key(VK_ESCAPE), 0) << panel->Name;
    EXPECT_FALSE(panel->Visible) << panel->Name;
  }
  EXPECT_EQ(MarkedCount(), 1);
}

// ---- info panel -------------------------------------------------------------------

TEST_F(DiaryForm, InfoPanelCases) {
  TripList.Assign(std::vector<std::string>{"ERASED :"});
  Open(1);
  ShowDiaryInfo(f, 3);
  EXPECT_TRUE(f->Info_Panel->Visible);
  EXPECT_TRUE(f->L_Info3->Visible);
  EXPECT_EQ(f->L_Info1->Caption + f->L_Info2->Caption + f->L_Info3->Caption, f->UiText[24] + f->UiText[25] + f->UiText[26]);
  EXPECT_GE(f->Info_Panel->Width, 2 * f->L_Info1->Left + f->L_Info3->Width);
  const std::pair<int, std::pair<int, int>> cases[] = {{1, {20, 21}}, {2, {22, 23}}, {5, {28, 29}}};
  for (const auto& [n, texts] : cases) {
    ShowDiaryInfo(f, n);
    EXPECT_FALSE(f->L_Info3->Visible);
    EXPECT_EQ(f->L_Info1->Caption, f->UiText[static_cast<std::size_t>(texts.first)]) << n;
    EXPECT_EQ(f->L_Info2->Caption, f->UiText[static_cast<std::size_t>(texts.second)]) << n;
  }
  ShowDiaryInfo(f, 6);  // the second line only
  EXPECT_EQ(f->L_Info1->Caption, f->UiText[28]);
  EXPECT_EQ(f->L_Info2->Caption, f->UiText[30]);
  ShowDiaryInfo(f, 4);
  EXPECT_EQ(f->L_Info1->Caption, f->PleaseWait());
  EXPECT_EQ(f->L_Info2->Caption, f->PleaseWait());
  f->C_Button->DoClick();
  EXPECT_FALSE(f->Info_Panel->Visible);
  for (int n : {0, 99}) {
    ShowDiaryInfo(f, 2);
    ShowDiaryInfo(f, n);
    EXPECT_FALSE(f->Info_Panel->Visible);
  }
}

// ---- calendar selections ----------------------------------------------------------------

class DiaryCalendar : public DiaryForm {
 protected:
  void SetUp() override {
    DiaryForm::SetUp();
    std::vector<std::string> lines;
    const int days[6] = {3, 3, 5, 10, 11, 20};
    for (int k = 0; k < 6; ++k) {
      PutStats(k + 1, 10.0f, 3600);
      lines.push_back(TripLine(days[k], 8 + k, 0, k + 1));
    }
    lines.push_back("ERASED :");
    TripList.Assign(lines);
    BuildTripDateIndex();
    Open(1);
  }
};

TEST_F(DiaryCalendar, DayMarksItsRowsAndShowsTheDiaryInListOrder) {
  f->Hide();
  SelectDiaryDay(f, DateValue(2014, 3, 3));
  EXPECT_TRUE(f->Visible);
  EXPECT_EQ(f->Tag, 2);
  EXPECT_TRUE(Marked(2) && Marked(3));
  EXPECT_EQ(MarkedCount(), 2);
  EXPECT_EQ(f->DBook->Row(), 2);
  EXPECT_FALSE(f->DB_TP->Visible);
  // An open diary in reversed order is shown in list order again.
  f->SB_SOZA->Flat = false;
  f->SB_SOAZ->Flat = true;
  f->CB_SORT->DoSelect(0);
  ASSERT_EQ(DiaryRowLine[0], 5);
  SelectDiaryDay(f, DateValue(2014, 3, 11));
  EXPECT_EQ(DiaryRowLine[0], 0);
  EXPECT_EQ(DiarySorted, 0);
  EXPECT_TRUE(Marked(6));
  EXPECT_EQ(CellOf(kMetricDate, 6), "11.03.2014 - 12:30");
}

TEST_F(DiaryCalendar, WeekMarksSevenDays) {
  DiaryRowSelected[2] = 1;
  SelectDiaryDays(f, DateValue(2014, 3, 5));
  EXPECT_TRUE(f->Visible);
  EXPECT_EQ(MarkedCount(), 3);
  EXPECT_TRUE(Marked(4) && Marked(5) && Marked(6));
  EXPECT_TRUE(f->SB_SEL_ALL->Flat);
  EXPECT_EQ(f->DBook->TopRow(), std::min(4, f->DBook->MaxTopRow()));
  // No trip in that week: the diary closes.
  SelectDiaryDays(f, DateValue(2015, 1, 1));
  EXPECT_FALSE(f->Visible);
}

TEST_F(DiaryCalendar, MissesCloseAndEveryFourthShowsThePicture) {
  // Without the calendar the diary counts the misses itself and closes at once.
  for (int k = 0; k < 4; ++k) SelectDiaryDay(f, DateValue(2014, 3, 4));
  EXPECT_EQ(f->MissCounter(), 4);
  EXPECT_FALSE(f->Visible);
  EXPECT_FALSE(f->MissPicturePending());

  TBitmap picture(50, 50);
  picture.SetPixel(10, 10, clRed);
  int zove_tag = 0;
  DiaryCalendarPicture = [&] { return DiaryMissPicture{&picture, &zove_tag, 30, 40}; };
  for (int miss = 1; miss <= 3; ++miss) {
    f->Show();
    SelectDiaryDay(f, DateValue(2014, 3, 4));
    EXPECT_FALSE(f->Visible) << miss;
    EXPECT_EQ(zove_tag, miss);
  }
  f->Show();
  SelectDiaryDay(f, DateValue(2014, 3, 4));
  EXPECT_EQ(zove_tag, 4);
  EXPECT_TRUE(f->Visible);  // the picture shows for a while
  EXPECT_TRUE(f->PB_Miss->Visible);
  EXPECT_TRUE(f->MissPicturePending());
  EXPECT_EQ(f->PB_Miss->Left, f->DBook->Left + 30);
  f->T_Miss->OnTimer(f->T_Miss);
  EXPECT_FALSE(f->Visible);
  EXPECT_FALSE(f->PB_Miss->Visible);
  // A hit resets the counter and cancels a pending close.
  SelectDiaryDay(f, DateValue(2014, 3, 20));
  EXPECT_EQ(zove_tag, 0);
  EXPECT_TRUE(f->Visible);
  EXPECT_FALSE(f->MissPicturePending());
}

// The grid may still hold the rows of another rider with fewer trips: a
// day or week of the current list is marked all the same.
TEST_F(DiaryForm, CalendarMarksTheCurrentListBeyondTheRowsOfTheLastOpening) {
  Rides(3);
  Open(1);
  f->Close();
  ASSERT_EQ(f->DBook->RowCount(), 10);
  CurrentRiderName = "BERT";  // the main window's rider change
  Rides(25);
  BuildTripDateIndex();
  SelectDiaryDay(f, DateValue(2014, 3, 20));  // the 20th trip: grid row 21
  ASSERT_TRUE(f->Visible);
  EXPECT_EQ(MarkedCount(), 1);
  EXPECT_TRUE(Marked(21));
  EXPECT_EQ(f->DBook->Row(), 21);
  EXPECT_EQ(CellOf(kMetricDate, 21), "20.03.2014 - 08:30");
  EXPECT_EQ(f->MissCounter(), 0);
  f->Close();
  CurrentRiderName = "ANNA";
  Rides(3);
  Open(1);
  f->Close();
  CurrentRiderName = "BERT";
  Rides(25);
  BuildTripDateIndex();
  SelectDiaryDays(f, DateValue(2014, 3, 17));  // Monday: the trips of the 17th to the 23rd
  ASSERT_TRUE(f->Visible);
  EXPECT_EQ(MarkedCount(), 7);
  for (int row = 18; row <= 24; ++row) EXPECT_TRUE(Marked(row)) << row;
}

// A calendar day of a new rider's list: the span of the select-by-kind
// button becomes that list's, not the old rider's.
TEST_F(DiaryForm, ANewRidersListReplacesTheDateSpan) {
  Rides(3);  // March 2014
  Open(1);
  ASSERT_EQ(DiaryRangeStart + "-" + DiaryRangeEnd, "20140301-20140303");
  f->Close();
  CurrentRiderName = "BERT";
  std::vector<std::string> lines;
  for (int d = 1; d <= 4; ++d) {
    PutStats(d, 5.0f, 1800);
    lines.push_back(Format("201404%02i_0800000_TAV;%03i;*April", d, d));
  }
  lines.push_back("ERASED :");
  TripList.Assign(lines);
  BuildTripDateIndex();
  SelectDiaryDay(f, DateValue(2014, 4, 2));
  ASSERT_TRUE(f->Visible);
  EXPECT_EQ(DiaryRangeStart + "-" + DiaryRangeEnd, "20140401-20140404");
  f->SB_SEL_ALL->DoClick();  // every power trip of the span
  EXPECT_EQ(MarkedCount(), 4);
}

// A drag begun before the diary lost the focus marks nothing more when the
// user comes back.
TEST_F(DiaryForm, DragMarkingEndsWithAStayInAnotherWindow) {
  Rides(6);
  Open(1);
  Mouse('d', 0, 2);
  TForm other;
  other.FinishCreate();
  other.Show();  // the button is released there
  Application().ActivateForm(f);
  Mouse('m', 0, 5);
  EXPECT_EQ(MarkedCount(), 1);
  EXPECT_TRUE(Marked(2));
}

TEST_F(DiaryCalendar, DatesAreReadOnlyAsFarAsTheList) {
  TripDates.resize(2);  // an index shorter than the list
  SelectDiaryDay(f, DateValue(2014, 3, 5));
  EXPECT_FALSE(f->Visible);
  EXPECT_EQ(MarkedCount(), 0);
  BuildTripDateIndex();
  TripDates.resize(40, TripDates[0]);  // longer than the list
  SelectDiaryDay(f, DateValue(2014, 3, 3));
  EXPECT_EQ(MarkedCount(), 2);
}

// ---- loaders -----------------------------------------------------------------------------

TEST_F(DiaryForm, LoadersRefuseManualEntriesAndBadFiles) {
  const std::string good = TripLine(1, 8, 0, 1, "*ok");
  WriteTrip(good, 600);
  PutStats(1, 1, 60);
  const std::string tiny = TripLine(2, 8, 0, 2, "*tiny");
  WriteTrip(tiny, 30);
  const std::string broken = TripLine(3, 8, 0, 3, "*broken");
  ASSERT_TRUE(WriteFileAtomically(FsPath(TripPath(broken)), std::string("\xA0\x86\x01\x00", 4) + std::string(100, '\0')));
  TripList.Assign(std::vector<std::string>{good, tiny, broken, "20140304_0930NR3_ANNA;004;*gym", "20140305_0800000_TAV",
                                           "ERASED :"});
  Open(1);
  f->DB_Memo->SetText("first line\r\nsecond");
  EXPECT_TRUE(LoadDiaryTrip(f, 0));
  EXPECT_EQ(DiaryTripSlot, 1);
  EXPECT_EQ(LoadedTripCaption, good.substr(0, good.find(';')) + "   =    first line");
  EXPECT_EQ(CurrentTripPath, TripPath(good));
  EXPECT_EQ(SampleInterval, 1);
  EXPECT_EQ(TripSamples[TripSampleCount + 10].Distance, 0.0f);
  EXPECT_FALSE(LoadDiaryTrip(f, 1));  // fewer than 60 records
  testing::internal::CaptureStderr();
  EXPECT_FALSE(LoadDiaryTrip(f, 2));  // a count far beyond its bytes
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Cannot open output file."), std::string::npos);
  for (int position : {3, 4, 99, -1}) EXPECT_FALSE(LoadDiaryTrip(f, position)) << position;  // manual, no ';', none

  const std::string path_before = CurrentTripPath;
  f->DBook->SetRow(2);
  EXPECT_TRUE(LoadDiaryCompareTrip(f));
  EXPECT_EQ(DiaryCompareSlot, 1);
  EXPECT_GT(TripSampleCount2, 500);
  EXPECT_EQ(TripSamples2[TripSampleCount2 + 499].Distance, 0.0f);
  EXPECT_EQ(CurrentTripPath, path_before);
  testing::internal::CaptureStderr();
  for (int row : {3, 4, 5, 6}) {
    f->DBook->SetRow(row);
    EXPECT_FALSE(LoadDiaryCompareTrip(f)) << row;
  }
  testing::internal::GetCapturedStderr();
}

// A trip whose count word was cut keeps every byte when the diary opens it:
// its statistics are computed from the records the count covers, and the
// diary comment is not copied into it (that would drop the records beyond).
using DiaryOnDamagedRider = testing_core::DemoRiderProgram;
TEST_F(DiaryOnDamagedRider, NoteCopyLeavesATripLongerThanItsCountAlone) {
  const std::string line = DueLine();
  const fs::path trip = TripFileOf(line);
  const std::string stored = testing_core::FileBytes(trip);
  ShrinkCountWord(trip, le::GetI32(testing_core::Bytes(stored)) / 2, true);
  const std::string damaged = testing_core::FileBytes(trip);
  Start();
  Form1->SB_DBClick(Form1->SB_DB);
  EXPECT_EQ(Form3->Memo1->Lines.Count(), 1);  // the due trip was evaluated
  Stop();
  EXPECT_TRUE(testing_core::FileHolds(trip, damaged));
  EXPECT_FALSE(fs::exists(trip.string() + ".BAD"));
}

// ---- painting and the demo rider -------------------------------------------------------------

TEST_F(DiaryForm, MarkedRowsPaintTheirDateYellow) {
  Rides(3);
  Open(1);
  DiaryRowSelected[3] = 1;
  f->DBook->SetRow(4);  // rows 2 and 3 are not the current row
  TBitmap bmp(f->DBook->Width, f->DBook->Height);
  f->DBook->Paint(bmp.Canvas());
  const TRect marked = f->DBook->CellRect(0, 3), plain = f->DBook->CellRect(0, 2);
  EXPECT_EQ(bmp.Pixel(marked.Left + 1, marked.Bottom - 2), clYellow);
  EXPECT_NE(bmp.Pixel(plain.Left + 1, plain.Bottom - 2), clYellow);
  // The date's digits sit on the same pixel rows in both cells.
  auto ink_rows = [&](const TRect& c) {
    std::vector<int> rows;
    for (int y = c.Top; y < c.Bottom; ++y)
      for (int x = c.Left; x < c.Right && (rows.empty() || rows.back() != y - c.Top); ++x)
        if (GetRValue(bmp.Pixel(x, y)) < 96) rows.push_back(y - c.Top);
    return rows;
  };
  const std::vector<int> plain_rows = ink_rows(plain);
  EXPECT_GT(plain_rows.size(), 5u);
  EXPECT_EQ(ink_rows(marked), plain_rows);
}

// Renders the diary of the demo rider to a PNG for a look.
TEST_F(DiaryForm, DemoRiderRendersOffscreen) {
  DemoRiderSummary summary;
  std::string error;
  ASSERT_TRUE(MakeDemoRider(dir_, 24, &summary, &error)) << error;
  form_ = std::make_unique<TForm3>();
  Form3 = f = form_.get();
  Open(1);
  EXPECT_EQ(f->Memo1->Lines.Count(), summary.PendingLines);
  for (int i = 0; i < TripList.Count(); ++i) EXPECT_EQ(TripList[i].find("PF;"), std::string::npos);
  DiaryRowSelected[f->DBook->TopRow() + 2] = 1;
  DiaryRowSelected[f->DBook->TopRow() + 3] = 1;
  ShowDiaryInfo(f, 5);
  EXPECT_NE(snapshot::SaveFormPng(*f, "diary_demo"), "");
  ExpectEveryValueFits();
}

}  // namespace
}  // namespace tav

namespace tav {
namespace {

using namespace diary_test;

// At its smallest the diary's bottom row has no two controls on top of each
// other and none outside the window, with every button of the row shown;
// the manual-entry panel fits above the row.
TEST_F(DiaryForm, SmallestWindowOverlapsNothing) {
  Rides(3);
  Open(1);
  ASSERT_GT(f->MinClientWidth, 0);
  ASSERT_GT(f->MinClientHeight, 0);
  f->SetClientSize(f->MinClientWidth, f->MinClientHeight);
  f->FormResize(f);
  EXPECT_EQ(f->ClientWidth(), f->MinClientWidth);
  const std::vector<TControl*> row = {f->SB_DATEN, f->SB_GRAF,    f->SB_GRA2,   f->SB_AW,     f->SB_STA2,
                                      f->SB_STAT,  f->SB_PA,      f->SB_MAIL,   f->SB_PT,     f->SB_DEO_CSV,
                                      f->SB_DEO_DEO, f->SB_COLLEC, f->SB_SEL_ALL, f->SB_SOZA, f->SB_NO_RIDE,
                                      f->SB_TRIP_KILL};
  for (std::size_t a = 0; a < row.size(); ++a) {
    const TControl* c = row[a];
    EXPECT_GE(c->Left, 0) << c->Name;
    EXPECT_LE(c->Left + c->Width, f->ClientWidth()) << c->Name;
    EXPECT_LE(c->Top + c->Height, f->ClientHeight()) << c->Name;
    EXPECT_GE(c->Top, f->DBook->Top + f->DBook->Height) << c->Name;
    for (std::size_t b = a + 1; b < row.size(); ++b) {
      const TControl* d = row[b];
      const bool apart = c->Left + c->Width <= d->Left || d->Left + d->Width <= c->Left;
      EXPECT_TRUE(apart) << c->Name << " and " << d->Name;
    }
  }
  f->SB_NO_RIDE->DoClick();
  ASSERT_TRUE(f->P_LSD->Visible);
  EXPECT_GE(f->P_LSD->Left, 0);
  EXPECT_LE(f->P_LSD->Left + f->P_LSD->Width, f->ClientWidth());
  EXPECT_LE(f->P_LSD->Top + f->P_LSD->Height, f->SB_NO_RIDE->Top);
}

}  // namespace
}  // namespace tav
