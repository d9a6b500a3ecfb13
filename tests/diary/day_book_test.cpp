#include "diary/day_book.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "core/core_data.h"
#include "core/demo_rider.h"
#include "core/settings.h"
#include "core/trip_file.h"
#include "core/trip_list.h"
#include "diary/trip_date_text.h"
#include "platform/canvas.h"
#include "platform/text.h"

namespace tav {
namespace {

namespace fs = std::filesystem;
using namespace tav::literals;

std::string TripLine(int day, int hour, int kind, int slot, const std::string& tail = "*BIKE POWER") {
  return Format("201403%02i_%02i3000%i_TAV;%03i;", day, hour, kind, slot) + tail;
}
std::string ManualLine(int day, int kind, int slot, const std::string& comment) {
  return Format("201403%02i_0930NR%i_ANNA;%03i;*", day, kind, slot) + comment;
}

void PutStats(int slot, float km, int seconds, float power = 200.0f) {
  TripSummary& s = TripSummaryTable[slot];
  s = TripSummary{};
  s.TotalTime = seconds;
  s.Distance = km;
  s.MeanPowerNonZero = power;
  s.MeanPowerAll = power - 20;
  s.MeanHeartRate = 140;
  s.MeanCadence = 90;
  s.MeanSpeed = km / (seconds / 3600.0f);
  s.MeanTemperature = 15;
  s.NP = power + 10;
  s.IF = 0.8f;
  s.TSS = 60;
  s.Ascent = 500;
  s.Work = 1000;
  s.Weight = 70;
  TripDistributionTable[slot].Mark = kTableMark;  // nothing to load
}

class DiaryForm : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCoreData();
    dir_ = fs::temp_directory_path() / ("tavlog_diary_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    DerivePaths(PathText(dir_));
    RiderDir = PathText(dir_);
    CurrentRiderName = "ANNA";
    form_ = std::make_unique<TForm3>();
    Form3 = form_.get();
    f = form_.get();
  }
  void TearDown() override {
    DiaryCalendarPicture = nullptr;
    Form3 = nullptr;
    form_.reset();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // Activation the way the openers do it.
  void Open(int tag) {
    f->Tag = tag;
    if (f->Visible) f->FormActivate(f);
    else f->Show();
  }
  std::string CellOf(int metric, int row) const { return f->DBook->Cell(DiaryColumnPos[metric], row); }
  bool Marked(int row) const { return DiaryRowSelected.at(static_cast<std::size_t>(row)) != 0; }
  int MarkedCount() const { return static_cast<int>(std::count(DiaryRowSelected.begin(), DiaryRowSelected.end(), 1)); }
  void Press(int col, int row, TMouseButton b = TMouseButton::mbLeft) {
    const TRect r = f->DBook->CellRect(col, row);
    ASSERT_FALSE(r.Width() == 0) << "cell " << col << "," << row << " not in view";
    f->DBook->DoMouseDown(b, 0, r.Left + 3, r.Top + 3);
  }
  void MoveTo(int col, int row) {
    const TRect r = f->DBook->CellRect(col, row);
    f->DBook->DoMouseMove(ssLeft, r.Left + 3, r.Top + 3);
  }
  void Release(int col, int row) {
    const TRect r = f->DBook->CellRect(col, row);
    f->DBook->DoMouseUp(TMouseButton::mbLeft, 0, r.Left + 3, r.Top + 3);
  }
  void Key(WORD key) {
    WORD k = key;
    f->DoKeyDown(k, 0);
  }
  // Every value cell shows its text whole (trailing blanks take no room).
  void ExpectEveryValueFits() {
    TCanvas& m = f->DBook->Canvas();
    for (int col = 0; col < kDiaryColumns; ++col) {
      const int metric = DiaryMetricAtColumn(DiaryColumnOrder, col);
      if (metric == kMetricComment || metric == kMetricRemark2) continue;
      for (int row = 0; row < f->DBook->RowCount(); ++row) {
        const std::string& text = f->DBook->Cell(col, row);
        const std::size_t end = text.find_last_not_of(' ');
        if (end == std::string::npos) continue;
        EXPECT_LE(m.TextWidth(text.substr(0, end + 1)) + 2, f->DBook->ColWidth(col))
            << col << "," << row << " '" << text << "'";
      }
    }
  }
  // A trip file of the rider's folder for the line's key.
  void WriteTrip(const std::string& line, int seconds, bool note_in_file = false) {
    SyntheticRideOptions o;
    o.DurationSeconds = seconds;
    TripFileData data;
    data.Samples = MakeSyntheticRide(o);
    MakeZoneBlock(data.Samples[0], data.ZoneBlock);
    data.HasZoneBlock = true;
    data.Note = note_in_file ? "*file note" : "";
    std::string error;
    ASSERT_TRUE(WriteTripFile(FsPath(JoinPath(RiderDir, line.substr(0, line.find(';')) + ".DEO")), data,
                              note_in_file, &error))
        << error;
  }

  fs::path dir_;
  std::unique_ptr<TForm3> form_;
  TForm3* f = nullptr;
};

// ---- rows, columns, units --------------------------------------------------

TEST_F(DiaryForm, EmptyListShowsTitlesAndZeroTotal) {
  TripList.Assign(std::vector<std::string>{"ERASED :"});
  f->ScanMode = 8;
  f->P_NOTRIP->Show();
  Open(1);
  EXPECT_EQ(f->ScanMode, 0);
  EXPECT_FALSE(f->P_NOTRIP->Visible);
  EXPECT_FALSE(f->SB_TRIP_KILL->Enabled);
  EXPECT_EQ(f->CB_SORT->Items[3], " Dauer");
  EXPECT_EQ(f->CB_SORT->DropDownCount, 17);
  EXPECT_EQ(f->DBook->RowCount(), 10);
  EXPECT_EQ(f->Tag, 2);
  EXPECT_EQ(CellOf(kMetricDistance, 3), "    0.00 ");
  EXPECT_EQ(CellOf(kMetricDate, 0), " Datum / Zeit");
  EXPECT_EQ(CellOf(kMetricDistance, 1), " [km]");
  EXPECT_EQ(CellOf(kMetricDate, 2), "");
  EXPECT_EQ(f->CB_SORT->Items.Count(), 17);
  EXPECT_EQ(f->CB_SORT->ItemIndex, 0);
  EXPECT_EQ(f->Caption, "Tagebuch   ANNA");
  // Design-time texts: the German table's, in Windows-1252.
  EXPECT_EQ(f->SB_STAT->Hint, "Statistik in Zahlen + Grafik (f\xFCr markierte Fahrten)\nRechtsClick");
  EXPECT_EQ(f->SB_SOZA->Hint, "Sortierte Auf \x96 bzw Abw\xE4rts (Rechte Maustaste)");
  EXPECT_EQ(f->B_CL_Trip->Caption, "L\xF6schen");
  // A list without any line (not even the free-slot line) works too.
  TripList.Clear();
  Open(1);
  EXPECT_EQ(f->DBook->RowCount(), 10);
  EXPECT_EQ(CellOf(kMetricDistance, 3), "    0.00 ");
}

TEST_F(DiaryForm, TripRowsAndManualRows) {
  PutStats(1, 42.5f, 5400, 210);
  PutStats(2, 3.0f, 1800);
  TripList.Assign(std::vector<std::string>{TripLine(3, 9, 0, 1, "*BIKE POWER|~\xA7" "easy"),
                                           ManualLine(4, 5, 2, "swim|~second line"), "ERASED :"});
  Open(1);
  EXPECT_EQ(CellOf(kMetricDate, 2), "03.03.2014 - 09:30");
  EXPECT_EQ(CellOf(kMetricComment, 2), "BIKE POWER");
  EXPECT_EQ(CellOf(kMetricRemark2, 2), "easy");
  EXPECT_EQ(CellOf(kMetricTime, 2), "  01:30:00   ");
  EXPECT_EQ(CellOf(kMetricPowerNoZero, 2), "     210 ");
  EXPECT_EQ(CellOf(kMetricKcal, 2), "    1075 ");
  // The manual entry: date, time, duration, distance, heart rate, temperature, comment.
  EXPECT_EQ(CellOf(kMetricDate, 3), "04.03.2014 - 09:30");
  EXPECT_EQ(CellOf(kMetricComment, 3), "swim");
  EXPECT_EQ(CellOf(kMetricRemark2, 3), " ");
  EXPECT_EQ(CellOf(kMetricTime, 3), "  00:30:00   ");
  EXPECT_EQ(CellOf(kMetricDistance, 3), "    3.00 ");
  EXPECT_EQ(CellOf(kMetricHeartRate, 3), "     140 ");
  EXPECT_EQ(CellOf(kMetricTemperature, 3), "    15.0 ");
  for (int m : {kMetricPowerNoZero, kMetricCadence, kMetricSpeed, kMetricNp, kMetricTss, kMetricIf,
                kMetricAscent, kMetricWork, kMetricPowerWithZero, kMetricKcal, kMetricWeight})
    EXPECT_EQ(CellOf(m, 3), "") << "metric " << m;
  EXPECT_EQ(DiaryRowSlot[0], 1);
  EXPECT_EQ(DiaryRowSlot[1], 2);
  EXPECT_EQ(DiaryRowPowerSlot[0], 1);
  EXPECT_EQ(DiaryRowPowerSlot[1], 0);
  // Total of both rows at row n + 3; the free-slot line is not shown.
  EXPECT_EQ(CellOf(kMetricDistance, 5), "   45.50 ");
  EXPECT_EQ(CellOf(kMetricDate, 4), "");
  EXPECT_EQ(TripCounter, 2);
}

TEST_F(DiaryForm, MovedColumnOrderMapsMetricsAndIsKept) {
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
  EXPECT_EQ(f->DBook->Cell(5, 2), "   42.50 ");
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
  EXPECT_EQ(CellOf(kMetricComment, 2), "out of range");
  EXPECT_EQ(CellOf(kMetricTime, 2), "");
  EXPECT_EQ(CellOf(kMetricComment, 3), "no semicolon");
  EXPECT_EQ(CellOf(kMetricDate, 3), "02.03.2014 - 08:00");
  EXPECT_EQ(CellOf(kMetricComment, 4), "slot zero");
  EXPECT_EQ(CellOf(kMetricDate, 5), "..2014 - 00:00");
  // The line after the bad ones is still filled.
  EXPECT_EQ(CellOf(kMetricComment, 6), "fine");
  EXPECT_EQ(CellOf(kMetricDistance, 6), "   10.00 ");
  EXPECT_EQ(DiaryRowSlot[0], 0);
  EXPECT_EQ(DiaryRowSlot[4], 5);
}

TEST_F(DiaryForm, ImperialUnitsAndTheirTitles) {
  PutStats(1, 100.0f, 3600);
  TripSummaryTable[1].MeanTemperature = -10.0f;
  TripList.Assign(std::vector<std::string>{TripLine(3, 9, 0, 1), "ERASED :"});
  UnitFlags = kUnitMiles | kUnitFahrenheit | kUnitPounds | kUnit12Hour | kUnitUsDate;
  Open(1);
  EXPECT_EQ(CellOf(kMetricDate, 2), "03/03/2014 - 09:30AM");
  EXPECT_EQ(CellOf(kMetricDistance, 1), " [mi]");
  EXPECT_EQ(CellOf(kMetricSpeed, 1), " [mph]");
  EXPECT_EQ(CellOf(kMetricTemperature, 1), " [\xB0" "F]");
  EXPECT_EQ(CellOf(kMetricAscent, 1), " [ft]");
  EXPECT_EQ(CellOf(kMetricWeight, 1), " [lbs]");
  EXPECT_EQ(CellOf(kMetricDistance, 2), "   62.14 ");
  EXPECT_EQ(CellOf(kMetricSpeed, 2), "    62.1 ");
  EXPECT_EQ(CellOf(kMetricTemperature, 2), "    14.0 ");
  EXPECT_EQ(CellOf(kMetricAscent, 2), "    1640 ");
  EXPECT_EQ(CellOf(kMetricWeight, 2), "     154 ");
  EXPECT_EQ(CellOf(kMetricDistance, 4), "   62.14 ");
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

TEST_F(DiaryForm, PendingLineIsEvaluatedExactlyOnce) {
  const std::string line = TripLine(3, 9, 0, 7, "*BIKE POWER");
  const std::string pending = line.substr(0, line.find(';') + 4) + "PF" + line.substr(line.find(';') + 4);
  WriteTrip(line, 1200);
  TripList.Assign(std::vector<std::string>{pending, "ERASED :"});
  TripListChanged = false;
  Open(1);
  EXPECT_EQ(f->Memo1->Lines.Count(), 1);
  EXPECT_EQ(f->Memo1->Lines[0], "neu");
  EXPECT_NE(TripList[0].find(";007__;"), std::string::npos) << TripList[0];
  EXPECT_TRUE(TripListChanged);
  EXPECT_GT(TripSummaryTable[7].TotalTime, 1000);
  EXPECT_EQ(TripDistributionTable[7].Mark, kTableMark);
  EXPECT_NE(CellOf(kMetricTime, 2), "");
  // The line comment went into the trip file that had no note.
  TripFileData data;
  ASSERT_EQ(ReadTripFile(FsPath(JoinPath(RiderDir, line.substr(0, line.find(';')) + ".DEO")), data, nullptr),
            TripReadError::None);
  EXPECT_TRUE(data.NoteFlag());
  EXPECT_EQ(data.Note, "*BIKE POWER");
  Open(2);
  Open(1);
  EXPECT_EQ(f->Memo1->Lines.Count(), 1);
}

TEST_F(DiaryForm, MissingFileKeepsTheRowAndDoesNotTouchTheLine) {
  PutStats(3, 5.0f, 600);
  TripList.Assign(std::vector<std::string>{"20140303_0930000_TAV;008PF;*gone", TripLine(4, 9, 0, 3), "ERASED :"});
  TripListChanged = false;
  testing::internal::CaptureStderr();
  Open(1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Cannot open output file."), std::string::npos);
  EXPECT_EQ(TripList[0], "20140303_0930000_TAV;008PF;*gone");
  EXPECT_FALSE(TripListChanged);
  EXPECT_EQ(f->Memo1->Lines.Count(), 0);
  EXPECT_EQ(CellOf(kMetricComment, 2), "gone");
  EXPECT_EQ(CellOf(kMetricDistance, 3), "    5.00 ");
  EXPECT_NE(TripDistributionTable[8].Mark, kTableMark);
}

TEST_F(DiaryForm, ManyDueTripsShowProgressAndRestoreTheWindow) {
  std::vector<std::string> lines;
  for (int k = 0; k < 4; ++k) {
    lines.push_back(TripLine(k + 1, 8, 0, k + 1, "*ride"));
    WriteTrip(lines.back(), 300);
  }
  lines.push_back("ERASED :");
  TripList.Assign(lines);
  f->SB_SOAZ->Enabled = true;
  Open(1);
  EXPECT_EQ(f->Memo1->Lines.Count(), 4);
  EXPECT_FALSE(f->Info_Panel->Visible);
  EXPECT_EQ(f->PB_Info->Position, 4);
  EXPECT_EQ(f->PB_Info->Max, 4);
  EXPECT_TRUE(f->SB_SOAZ->Enabled);
  EXPECT_TRUE(f->DBook->Enabled);
}

// ---- Tag protocol and scrolling -------------------------------------------------------

TEST_F(DiaryForm, TagProtocolScrollsToTheNewestTripsOnce) {
  std::vector<std::string> lines;
  for (int k = 0; k < 120; ++k) {
    PutStats(k + 1, 10.0f, 3600);
    lines.push_back(Format("2014%02i%02i_0800000_TAV;%03i;*ride %i", 1 + k / 28, 1 + k % 28, k + 1, k));
  }
  lines.push_back("ERASED :");
  TripList.Assign(lines);
  Open(1);
  EXPECT_EQ(f->Tag, 2);
  const int visible = f->DBook->Height / f->DBook->DefaultRowHeight() - 5;
  EXPECT_EQ(f->DBook->TopRow(), std::min(f->DBook->MaxTopRow(), 121 - visible));
  EXPECT_GT(f->DBook->TopRow(), 50);
  EXPECT_EQ(DiaryRangeStart, "20140101");
  EXPECT_EQ(DiaryRangeEnd, "20140508");
  // A later activation (Tag 2) keeps the user's scroll position and the marks.
  f->DBook->SetTopRow(10);
  DiaryRowSelected[12] = 1;
  Open(2);
  EXPECT_EQ(f->DBook->TopRow(), 10);
  EXPECT_TRUE(Marked(12));
  // The calendar's Tag 5 keeps them as well; an opener's 0 resets marks and scroll.
  Open(5);
  EXPECT_TRUE(Marked(12));
  Open(0);
  EXPECT_FALSE(Marked(12));
  EXPECT_GT(f->DBook->TopRow(), 50);
}

TEST_F(DiaryForm, TagOneOnListWithoutDatesSkipsThePickers) {
  TripList.Assign(std::vector<std::string>{"BLOCK2", "ERASED :"});
  DiaryRangeStart = "20100101";
  Open(1);
  EXPECT_EQ(DiaryRangeStart, "20100101");
  EXPECT_EQ(f->Tag, 2);
}

TEST_F(DiaryForm, ExportButtonIsOfferedForOneActivation) {
  TripList.Assign(std::vector<std::string>{"ERASED :"});
  f->SB_DEO_CSV->Tag = 0;
  f->SB_DEO_CSV->Show();
  Open(1);
  EXPECT_TRUE(f->SB_DEO_CSV->Visible);
  Open(2);
  EXPECT_FALSE(f->SB_DEO_CSV->Visible);
}

// ---- sorting ------------------------------------------------------------------

class DiarySorting : public DiaryForm {
 protected:
  void SetUp() override {
    DiaryForm::SetUp();
    // Distances: index 3 and 12 equal.
    const float km[14] = {50, 20, 80, 35, 10, 90, 60, 15, 70, 25, 40, 85, 35, 5};
    std::vector<std::string> lines;
    for (int i = 0; i < 14; ++i) {
      PutStats(i + 1, km[i], 3600 + i);
      lines.push_back(Format("201402%02i_0800000_TAV;%03i;*ride", i + 1, i + 1));
    }
    lines[6] = Format("20140207_0800NR3_ANNA;%03i;*gym", 7);
    TripSummaryTable[7].MeanSpeed = 41000.25f;  // a manual entry's start time
    lines.push_back("ERASED :");
    TripList.Assign(lines);
    Open(1);
  }
  std::vector<int> Map() const { return {DiaryRowLine.begin(), DiaryRowLine.begin() + 14}; }
  void SetFlat_(bool ascending) {
    f->SB_SOAZ->Flat = !ascending;
    f->SB_SOZA->Flat = ascending;
  }
};

TEST_F(DiarySorting, DistanceAscendingThenDescendingWithTies) {
  DiaryRowSelected[5] = 1;
  DiaryRowSelected[15] = 1;  // a mark below the list's rows, too
  f->SB_SOAZ->DoClick();
  EXPECT_FALSE(f->SB_SOAZ->Flat);
  EXPECT_TRUE(f->CB_SORT->Visible);
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
  f->SB_SOAZ->DoMouseDown(TMouseButton::mbRight, 0, 1, 1);
  EXPECT_FALSE(f->SB_SOAZ->Visible);
  EXPECT_TRUE(f->SB_SOZA->Visible);
  f->SB_SOZA->DoClick();
  f->CB_SORT->DoSelect(4);
  EXPECT_EQ(Map(), (std::vector<int>{5, 11, 2, 8, 6, 0, 10, 3, 12, 9, 1, 7, 4, 13}));
  EXPECT_EQ(CellOf(kMetricDistance, 2), "   90.00 ");
}

TEST_F(DiarySorting, EveryItemBothWaysIsAPermutationInKeyOrder) {
  for (int item = 0; item < 17; ++item) {
    for (bool up : {true, false}) {
      SetFlat_(up);
      f->CB_SORT->DoSelect(item);
      std::vector<int> map = Map();
      std::vector<int> sorted = map;
      std::sort(sorted.begin(), sorted.end());
      for (int i = 0; i < 14; ++i) ASSERT_EQ(sorted[static_cast<std::size_t>(i)], i) << "item " << item;
      if (item == 0) {
        EXPECT_EQ(map.front(), up ? 0 : 13);
        EXPECT_EQ(DiarySorted, 0);
      } else if (item == 3) {
        EXPECT_EQ(map.front(), up ? 0 : 13) << "total times grow with the index";
      }
    }
  }
  // The manual entry keeps its stored start time although it sorted as 0.
  EXPECT_EQ(TripSummaryTable[7].MeanSpeed, 41000.25f);
}

TEST_F(DiarySorting, ManualEntrySortsAsZeroForPowerKeys) {
  SetFlat_(true);
  f->CB_SORT->DoSelect(9);  // speed
  EXPECT_EQ(DiaryRowLine[0], 6);
  EXPECT_EQ(CellOf(kMetricComment, 2), "gym");
}

TEST_F(DiarySorting, TitleDoubleClicksAlternateAndRestartOnAnotherColumn) {
  auto dbl = [&](int col) {
    Press(col, 0);
    Release(col, 0);
    f->DBook->DoDblClick();
  };
  dbl(DiaryColumnPos[kMetricDistance]);
  EXPECT_EQ(DiaryRowLine[0], 13);
  dbl(DiaryColumnPos[kMetricDistance]);
  EXPECT_EQ(DiaryRowLine[0], 5);
  dbl(DiaryColumnPos[kMetricDistance]);
  EXPECT_EQ(DiaryRowLine[0], 13);
  dbl(DiaryColumnPos[kMetricTime]);  // another column starts ascending
  EXPECT_EQ(DiaryRowLine[0], 0);
  EXPECT_EQ(DiarySortItem, 3);
  dbl(DiaryColumnPos[kMetricTime]);
  EXPECT_EQ(DiaryRowLine[0], 13);
  // A double-click below the titles sorts nothing.
  Press(0, 4);
  Release(0, 4);
  f->DBook->DoDblClick();
  EXPECT_EQ(DiaryRowLine[0], 13);
}

// ---- marking ----------------------------------------------------------------------

TEST_F(DiarySorting, DragMarksAndUnmarks) {
  f->DBook->SetTopRow(2);
  Press(0, 3);
  MoveTo(0, 5);
  MoveTo(0, 7);
  Release(0, 7);
  for (int r = 2; r < 10; ++r) EXPECT_EQ(Marked(r), r >= 3 && r <= 7) << r;
  EXPECT_EQ(DiaryDragRow, -100);
  Press(2, 7);
  MoveTo(2, 4);
  Release(2, 4);
  for (int r = 2; r < 10; ++r) EXPECT_EQ(Marked(r), r == 3) << r;
  // Presses outside the list rows mark nothing.
  Press(0, 16);
  EXPECT_FALSE(Marked(16));
  Press(0, 1);
  EXPECT_FALSE(Marked(1));
}

TEST_F(DiaryForm, DragWorksBeyondRow500) {
  std::vector<std::string> lines;
  for (int k = 0; k < 600; ++k) {
    PutStats(1 + k % 999, 10.0f, 3600);
    lines.push_back(Format("2014%02i%02i_0800000_TAV;%03i;*r", 1 + k / 28 % 12, 1 + k % 28, 1 + k % 999));
  }
  lines.push_back("ERASED :");
  TripList.Assign(lines);
  Open(1);
  ASSERT_GT(f->DBook->TopRow(), 500);
  const int top = f->DBook->TopRow();
  Press(0, top + 1);
  MoveTo(0, top + 4);
  Release(0, top + 4);
  EXPECT_EQ(MarkedCount(), 4);
  EXPECT_TRUE(Marked(top + 4));
  EXPECT_EQ(DiaryRowSelected.size(), static_cast<std::size_t>(f->DBook->RowCount()));
}

TEST_F(DiaryForm, MarkByKindAndSpan) {
  std::vector<std::string> lines;
  for (int k = 0; k < 9; ++k) {
    PutStats(k + 1, 10.0f, 3600);
    lines.push_back(TripLine(k + 1, 8, k % 3, k + 1));
  }
  lines.push_back("ERASED :");
  TripList.Assign(lines);
  Open(1);  // span: the whole list
  EXPECT_EQ(f->SB_SEL_ALL->Hint, "Alle Fahrten auswählen (01.03.2014 - 09.03.2014)"_w);
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
  Key(VK_F2);
  EXPECT_TRUE(f->P_DateDiff->Visible);
  f->DP_Start->SetDate(DateValue(2014, 3, 4));
  f->DP_End->SetDate(DateValue(2014, 3, 7));
  f->B_DDIFF_OK->DoClick();
  EXPECT_FALSE(f->P_DateDiff->Visible);
  EXPECT_EQ(DiaryRangeStart, "20140304");
  f->SB_SEL_ALL->DoClick();
  EXPECT_EQ(MarkedCount(), 1);
  EXPECT_TRUE(Marked(7));  // 6 March, a run
  // Reopening clears the marks and releases the button with them.
  Open(0);
  EXPECT_EQ(MarkedCount(), 0);
  EXPECT_TRUE(f->SB_SEL_ALL->Flat);
}

TEST_F(DiarySorting, SpanByTwoClicks) {
  Key(VK_F3);
  EXPECT_EQ(DiaryRangeClickState, 1);
  EXPECT_TRUE(f->Info_Panel->Visible);
  EXPECT_EQ(f->L_Info1->Caption, f->UiText[28]);
  f->DBook->SetTopRow(2);
  Press(0, 4);
  EXPECT_EQ(DiaryRangeClickState, 2);
  EXPECT_EQ(DiaryRangeStart, "20140203");
  EXPECT_EQ(f->L_Info2->Caption, f->UiText[30]);
  EXPECT_EQ(f->L_Info1->Caption, f->UiText[28]);
  Press(0, 9);
  EXPECT_EQ(DiaryRangeClickState, 3);
  EXPECT_EQ(DiaryRangeEnd, "20140208");
  EXPECT_EQ(DiaryRangeText, " (03.02.2014 - 08.02.2014)");
  EXPECT_EQ(f->SB_SEL_ALL->Hint, f->UiText[27] + DiaryRangeText);
  EXPECT_FALSE(f->Info_Panel->Visible);
  // Later date first: the span is the same.
  Key(VK_F3);
  Press(0, 9);
  Press(0, 4);
  EXPECT_EQ(DiaryRangeStart, "20140203");
  EXPECT_EQ(DiaryRangeEnd, "20140208");
  EXPECT_EQ(DiaryRangeText, " (03.02.2014 - 08.02.2014)");
  // F3 is not offered while the rows are sorted.
  f->CB_SORT->DoSelect(4);
  DiaryRangeClickState = 0;
  Key(VK_F3);
  EXPECT_EQ(DiaryRangeClickState, 0);
}

TEST_F(DiaryForm, FindMarksInAnyCase) {
  for (int slot : {1, 2, 3}) PutStats(slot, 1, 60);
  TripList.Assign(std::vector<std::string>{TripLine(1, 8, 0, 1, "*BIKE POWER"), TripLine(2, 8, 2, 2, "*Run in the r\xE4in"),
                                           TripLine(3, 8, 1, 3, "*bike hr"), "ERASED :bike;"});
  Open(1);
  Key(VK_F1);
  EXPECT_TRUE(f->P_FIND->Visible);
  EXPECT_EQ(f->P_FIND->Left, 400);
  f->E_Find->Text = "  bike ";
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
  f->E_Find->Text = "";
  f->B_Find->DoClick();
  EXPECT_EQ(MarkedCount(), 0);
}

TEST_F(DiaryForm, CommentColumnWidthToggle) {
  PutStats(1, 1, 60);
  TripList.Assign(std::vector<std::string>{TripLine(1, 8, 0, 1, "*" + std::string(80, 'w')), "ERASED :"});
  Open(1);
  f->DBook->SetColWidth(1, 200);
  Press(1, 0, TMouseButton::mbRight);
  EXPECT_GT(f->DBook->ColWidth(1), 400);
  Press(1, 0, TMouseButton::mbRight);
  EXPECT_EQ(f->DBook->ColWidth(1), 200);
}

TEST_F(DiaryForm, FunctionKeysAreConsumed) {
  TripList.Assign(std::vector<std::string>{"ERASED :"});
  Open(1);
  WORD k = VK_F4;
  f->DoKeyDown(k, 0);
  EXPECT_EQ(k, 0);
  EXPECT_TRUE(f->SB_COLLEC->Visible);
  EXPECT_EQ(f->SB_COLLEC->Tag, 0);
  k = VK_F5;
  f->DoKeyDown(k, 0);  // no help file: nothing happens
  EXPECT_EQ(k, 0);
  k = VK_F6;
  f->DoKeyDown(k, 0);
  EXPECT_EQ(k, VK_F6);
}

// ---- info panel -------------------------------------------------------------------

TEST_F(DiaryForm, InfoPanelCases) {
  TripList.Assign(std::vector<std::string>{"ERASED :"});
  Open(1);
  ShowDiaryInfo(f, 3);
  EXPECT_TRUE(f->Info_Panel->Visible);
  EXPECT_TRUE(f->L_Info3->Visible);
  EXPECT_EQ(f->L_Info3->Caption, f->UiText[26]);
  EXPECT_GE(f->Info_Panel->Width, 2 * f->L_Info1->Left + f->L_Info3->Width);
  EXPECT_EQ(f->Info_Panel->Height, f->L_Info3->Top + f->L_Info3->Height + 30);
  EXPECT_EQ(f->C_Button->Left, f->Info_Panel->Width - f->C_Button->Width - 3);
  EXPECT_EQ(f->Info_Panel->Left, (f->ClientWidth() - f->Info_Panel->Width) / 2);
  ShowDiaryInfo(f, 1);
  EXPECT_FALSE(f->L_Info3->Visible);
  EXPECT_EQ(f->L_Info1->Caption, f->UiText[20]);
  EXPECT_EQ(f->L_Info2->Caption, f->UiText[21]);
  ShowDiaryInfo(f, 2);
  EXPECT_EQ(f->L_Info1->Caption, f->UiText[22]);
  ShowDiaryInfo(f, 4);
  EXPECT_EQ(f->L_Info1->Caption, f->PleaseWait());
  EXPECT_EQ(f->L_Info2->Caption, f->PleaseWait());
  ShowDiaryInfo(f, 5);
  ShowDiaryInfo(f, 6);
  EXPECT_EQ(f->L_Info1->Caption, f->UiText[28]);
  EXPECT_EQ(f->L_Info2->Caption, f->UiText[30]);
  f->C_Button->DoClick();
  EXPECT_FALSE(f->Info_Panel->Visible);
  ShowDiaryInfo(f, 2);
  ShowDiaryInfo(f, 0);
  EXPECT_FALSE(f->Info_Panel->Visible);
  ShowDiaryInfo(f, 99);
  EXPECT_FALSE(f->Info_Panel->Visible);
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
  }
};

TEST_F(DiaryCalendar, DayMarksItsRowsAndShowsTheDiary) {
  Open(1);
  f->Hide();
  SelectDiaryDay(f, DateValue(2014, 3, 3));
  EXPECT_TRUE(f->Visible);
  EXPECT_EQ(f->Tag, 2);
  EXPECT_TRUE(Marked(2) && Marked(3));
  EXPECT_EQ(MarkedCount(), 2);
  EXPECT_EQ(f->DBook->Row(), 2);
  EXPECT_FALSE(f->DB_TP->Visible);
}

TEST_F(DiaryCalendar, DayResetsASortedDiary) {
  Open(1);
  f->SB_SOZA->Flat = false;
  f->SB_SOAZ->Flat = true;
  f->CB_SORT->DoSelect(0);  // reversed list order
  ASSERT_EQ(DiaryRowLine[0], 5);
  SelectDiaryDay(f, DateValue(2014, 3, 11));
  EXPECT_EQ(DiaryRowLine[0], 0);
  EXPECT_EQ(DiarySorted, 0);
  EXPECT_TRUE(Marked(6));
  EXPECT_EQ(CellOf(kMetricDate, 6), "11.03.2014 - 12:30");
}

TEST_F(DiaryCalendar, WeekMarksSevenDays) {
  Open(1);
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
  TBitmap picture(50, 50);
  picture.SetPixel(10, 10, clRed);
  int zove_tag = 0;
  DiaryCalendarPicture = [&] { return DiaryMissPicture{&picture, &zove_tag, 30, 40}; };
  Open(1);
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

TEST_F(DiaryCalendar, MissesWithoutCalendarAreCountedByTheDiary) {
  Open(1);
  for (int k = 0; k < 4; ++k) SelectDiaryDay(f, DateValue(2014, 3, 4));
  EXPECT_EQ(f->MissCounter(), 4);
  EXPECT_FALSE(f->Visible);
  EXPECT_FALSE(f->MissPicturePending());
}

TEST_F(DiaryCalendar, DatesAreReadOnlyAsFarAsTheList) {
  Open(1);
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
  ASSERT_TRUE(WriteFileAtomically(FsPath(JoinPath(RiderDir, broken.substr(0, broken.find(';')) + ".DEO")),
                                  std::string("\xA0\x86\x01\x00", 4) + std::string(100, '\0')));
  TripList.Assign(std::vector<std::string>{good, tiny, broken, ManualLine(4, 3, 4, "gym"), "20140305_0800000_TAV",
                                           "ERASED :"});
  Open(1);
  f->DB_Memo->SetText("first line\r\nsecond");
  EXPECT_TRUE(LoadDiaryTrip(f, 0));
  EXPECT_EQ(DiaryTripSlot, 1);
  EXPECT_EQ(LoadedTripCaption, good.substr(0, good.find(';')) + "   =    first line");
  EXPECT_EQ(CurrentTripPath, JoinPath(RiderDir, good.substr(0, good.find(';')) + ".DEO"));
  EXPECT_EQ(SampleInterval, 1);
  EXPECT_EQ(TripSamples[TripSampleCount + 10].Distance, 0.0f);
  EXPECT_FALSE(LoadDiaryTrip(f, 1));  // fewer than 60 records
  testing::internal::CaptureStderr();
  EXPECT_FALSE(LoadDiaryTrip(f, 2));  // a count far beyond its bytes
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Cannot open output file."), std::string::npos);
  EXPECT_FALSE(LoadDiaryTrip(f, 3));  // manual entry
  EXPECT_FALSE(LoadDiaryTrip(f, 4));  // no ';'
  EXPECT_FALSE(LoadDiaryTrip(f, 99));
  EXPECT_FALSE(LoadDiaryTrip(f, -1));

  f->DBook->SetRow(2);
  EXPECT_TRUE(LoadDiaryCompareTrip(f));
  EXPECT_EQ(DiaryCompareSlot, 1);
  EXPECT_GT(TripSampleCount2, 500);
  EXPECT_EQ(TripSamples2[TripSampleCount2 + 499].Distance, 0.0f);
  f->DBook->SetRow(3);
  EXPECT_FALSE(LoadDiaryCompareTrip(f));
  f->DBook->SetRow(4);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(LoadDiaryCompareTrip(f));
  testing::internal::GetCapturedStderr();
  f->DBook->SetRow(5);
  EXPECT_FALSE(LoadDiaryCompareTrip(f));
}

// ---- painting and the demo rider -------------------------------------------------------------

TEST_F(DiaryForm, MarkedRowsPaintTheirDateYellow) {
  PutStats(1, 1, 60);
  PutStats(2, 1, 60);
  TripList.Assign(std::vector<std::string>{TripLine(1, 8, 0, 1), TripLine(2, 8, 0, 2), "ERASED :"});
  Open(1);
  DiaryRowSelected[3] = 1;
  TBitmap bmp(f->DBook->Width, f->DBook->Height);
  f->DBook->Paint(bmp.Canvas());
  const TRect marked = f->DBook->CellRect(0, 3), plain = f->DBook->CellRect(0, 2);
  EXPECT_EQ(bmp.Pixel(marked.Left + 1, marked.Bottom - 2), clYellow);
  EXPECT_NE(bmp.Pixel(plain.Left + 1, plain.Bottom - 2), clYellow);
}

// Renders the diary of the demo rider to a PNG (build folder) for a look.
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

  TBitmap shot(f->ClientWidth(), f->ClientHeight());
  TCanvas& canvas = shot.Canvas();
  canvas.Brush.Color = clBtnFace;
  canvas.FillRect({0, 0, shot.Width(), shot.Height()});
  for (const auto& owned : f->Controls()) {
    TControl* c = owned.get();
    if (!c->Showing() || (c->Parent != nullptr && c->Parent != f)) continue;
    TBitmap part(std::max(1, c->Width), std::max(1, c->Height));
    TCanvas& pc = part.Canvas();
    pc.Brush.Color = c->Color == clNone ? clBtnFace : c->Color;
    pc.FillRect({0, 0, c->Width, c->Height});
    if (c->CustomDrawn()) {
      c->Paint(pc);
    } else {
      pc.Brush.Color = clGray;
      pc.FrameRect({0, 0, c->Width, c->Height});
      pc.Brush.Style = TBrushStyle::bsClear;
      pc.Font = c->Font;
      pc.TextOut(4, 4, c->Caption);
    }
    for (TControl* child : c->Children()) {
      if (!child->Visible) continue;
      pc.Font = child->Font;
      pc.Brush.Style = TBrushStyle::bsClear;
      pc.TextOut(child->Left, child->Top, child->Caption);
    }
    canvas.Draw(c->Left, c->Top, part);
  }
  const char* build = std::getenv("TAVLOG_BUILD_DIR");
  const fs::path out = fs::path(build ? build : ".") / "diary_demo.png";
  EXPECT_TRUE(shot.SaveToPng(out));
  ExpectEveryValueFits();
}

}  // namespace
}  // namespace tav
