// What the diary shows a rider, cell by cell: every column of a trip row and
// of a manual entry in metric and imperial units, the distance total, times
// of trips recorded at 1 s and 2 s, the order of every sort, the bounds of
// the date spans, the CSV export byte for byte and the values a manual
// entry stores. Expected texts are worked out by hand from the made-up
// values below.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/distribution_charts.h"
#include "analysis/heart_rate_power_scan.h"
#include "core/core_data.h"
#include "core/trip_file.h"
#include "core/trip_list.h"
#include "diary/diary_edits.h"
#include "diary/diary_export.h"
#include "diary/diary_fixture.h"
#include "openers/openers.h"
#include "platform/datetime.h"
#include "viewing/form_snapshot.h"
#include "viewing/trip_comparison.h"

namespace tav {
namespace {

using namespace diary_test;

// A trip whose every shown value differs from every other one.
void PutTripStats(int slot) {
  TripSummary& s = TripSummaryTable[slot];
  s = TripSummary{};
  s.TotalTime = 5025;  // 01:23:45
  s.Distance = 40.5f;
  s.MeanPowerNonZero = 231;
  s.MeanPowerAll = 212;
  s.MeanHeartRate = 143;
  s.MeanCadence = 87;
  s.MeanSpeed = 29.0f;
  s.MeanTemperature = 12.5f;
  s.NP = 247;
  s.TSS = 88;
  s.IF = 0.875f;
  s.Ascent = 640;
  s.Work = 1200;
  s.Weight = 68;
  TripDistributionTable[slot].Mark = kTableMark;
  for (int k = 0; k < 4; ++k) TripDistributionTable[slot].Data.Peaks[k] = 100 + k;
}

// A manual entry as its panel stores it, with stray values in the fields
// a manual entry never shows.
void PutEntryStats(int slot) {
  TripSummary& s = TripSummaryTable[slot];
  s = TripSummary{};
  s.TotalTime = 2700;  // 00:45:00
  s.Distance = 8.0f;
  s.MeanHeartRate = 131;
  s.MeanTemperature = 25.0f;
  s.MeanSpeed = 0.7916f;  // its start time of day
  s.MaxSpeed = 41700.0f;  // its date
  s.NP = 99, s.TSS = 99, s.IF = 9.9f, s.Work = 999, s.Weight = 99, s.MeanCadence = 99;
}

const std::string kTripLine = "20140301_0830000_TAV;001;*hills|~\xA7" "easy";
const std::string kEntryLine = "20140302_1900NR4_ANNA;002;*swim";

class DiaryReadouts : public DiaryForm {
 protected:
  void TwoRows() {
    PutTripStats(1);
    PutEntryStats(2);
    TripList.Assign(std::vector<std::string>{kTripLine, kEntryLine, "ERASED :"});
  }
  Texts AllOf(int row) const {
    return RowOf(row, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17});
  }
};

// ---- rows, units and the total -------------------------------------------------

TEST_F(DiaryReadouts, EveryColumnUnitAndTheTotalInEachUnitOption) {
  // By metric: 0 date, 1 comment, 2 time, 3 distance, 4 power without
  // zeros, 5 heart rate, 6 cadence, 7 speed, 8 temperature, 9 NP, 10 TSS,
  // 11 IF, 12 ascent, 13 work, 14 power with zeros, 15 remark, 16 kcal
  // (1200 kJ x 0.2389 x 4.5 = 1290.06), 17 weight.
  const Texts trip_metric = {"01.03.2014 - 08:30", "hills", "  01:23:45   ", "   40.50 ", "     231 ",
                             "     143 ", "      87 ", "    29.0 ", "    12.5 ", "     247 ", "      88 ",
                             "   0.875 ", "     640 ", "    1200 ", "     212 ", "easy", "    1290 ", "      68 "};
  const Texts entry_metric = {"02.03.2014 - 19:00", "swim", "  00:45:00   ", "    8.00 ", "", "     131 ", "", "",
                              "    25.0 ", "", "", "", "", "", "", " ", "", ""};
  const Texts units_metric = {" ", " ", " ", " [km]", "[EXC 0 W]", " [1/min]", " ", " [km/h]", " [\xB0" "C]",
                              " [W]", "", "", " [m]", " [kJ]", "[INC 0 W]", "", " [kcal]", " [kg]"};
  struct Row {
    int flags;
    // metric -> {trip value, entry value, unit}; metrics not named keep the metric texts
    std::vector<std::tuple<int, const char*, const char*, const char*>> changed;
    const char* total;
    const char* distance_label;
    const char* temperature_label;
  } rows[] = {
      {0, {}, "   48.50 ", "Strecke [km]", "Temp. [\xB0" "C]"},
      // 40.5 km = 25.165 mi, 8 km = 4.971 mi, 29 km/h = 18.02 mph, 640 m =
      // 2099.7 ft; the total 48.5 km = 30.136 mi.
      {kUnitMiles,
       {{kMetricDistance, "   25.17 ", "    4.97 ", " [mi]"},
        {kMetricSpeed, "    18.0 ", "", " [mph]"},
        {kMetricAscent, "    2100 ", "", " [ft]"}},
       "   30.14 ", "Strecke[miles]", "Temp. [\xB0" "C]"},
      // 12.5 degC = 54.5 degF, 25 degC = 77 degF.
      {kUnitFahrenheit, {{kMetricTemperature, "    54.5 ", "    77.0 ", " [\xB0" "F]"}}, "   48.50 ", "Strecke [km]",
       "Temp. [\xB0" "F]"},
      // 68 kg = 149.9 lb.
      {kUnitPounds, {{kMetricWeight, "     150 ", "", " [lbs]"}}, "   48.50 ", "Strecke [km]", "Temp. [\xB0" "C]"},
      {kUnitMiles | kUnitFahrenheit | kUnitPounds,
       {{kMetricDistance, "   25.17 ", "    4.97 ", " [mi]"},
        {kMetricSpeed, "    18.0 ", "", " [mph]"},
        {kMetricAscent, "    2100 ", "", " [ft]"},
        {kMetricTemperature, "    54.5 ", "    77.0 ", " [\xB0" "F]"},
        {kMetricWeight, "     150 ", "", " [lbs]"}},
       "   30.14 ", "Strecke[miles]", "Temp. [\xB0" "F]"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.flags);
    TwoRows();
    UnitFlags = r.flags;
    Open(1);
    Texts trip = trip_metric, entry = entry_metric, units = units_metric;
    for (const auto& [metric, t, e, u] : r.changed) {
      trip[static_cast<std::size_t>(metric)] = t;
      entry[static_cast<std::size_t>(metric)] = e;
      units[static_cast<std::size_t>(metric)] = u;
    }
    EXPECT_EQ(AllOf(2), trip);
    EXPECT_EQ(AllOf(3), entry);
    EXPECT_EQ(AllOf(1), units);
    // The total one row below the last entry, and nothing in between.
    EXPECT_EQ(ColumnOf(kMetricDistance, 4, 6), (Texts{"", r.total}));
    EXPECT_EQ(f->LED_4->Caption, r.distance_label);
    EXPECT_EQ(f->LED_6->Caption, r.temperature_label);
    EXPECT_EQ(f->LED_3->Caption, "Dauer");
    EXPECT_EQ(f->LED_5->Caption, "Puls");
    EXPECT_EQ(DiaryRowSlot[0], 1);
    EXPECT_EQ(DiaryRowSlot[1], 2);
    EXPECT_EQ(DiaryRowPowerSlot[0], 1);
    EXPECT_EQ(DiaryRowPowerSlot[1], 0);
  }
  UnitFlags = 0;
  // The titles, each its own, and the caption.
  EXPECT_EQ(AllOf(0), (Texts{" Datum / Zeit", " Bemerkung", " Dauer", " Strecke", " Power 1", " Puls", " RPM",
                             " Geschw.", " Temp.", "  NP\x99", "  TSS\x99", "  IF\x99", " D ALT", " Arbeit",
                             " Power 2", " Bemerk.2", " Arbeit", MainWeightTitle()}));
  EXPECT_EQ(f->Caption, "Tagebuch   ANNA");
}

// A manual entry whose values were lost ("PF" after its slot) shows its
// date and comment only, and adds nothing to the total.
TEST_F(DiaryReadouts, ManualEntryWithLostValuesShowsNone) {
  PutTripStats(1);
  PutEntryStats(2);
  TripList.Assign(std::vector<std::string>{kTripLine, "20140302_1900NR4_ANNA;002PF;*swim", "ERASED :"});
  Open(1);
  EXPECT_EQ(AllOf(3), (Texts{"02.03.2014 - 19:00", "swim", "", "", "", "", "", "", "", "", "", "", "", "", "", " ",
                             "", ""}));
  EXPECT_EQ(CellOf(kMetricDistance, 5), "   40.50 ");
}

// The duration of a trip follows its own recording interval: 90 records
// are 1:30 at 1 s and 3:00 at 2 s; each channel lands in its own column.
TEST_F(DiaryReadouts, TripsOfOneAndTwoSecondsShowTheirOwnTimes) {
  auto write = [&](const std::string& line, int interval, int records) {
    TripFileData data;
    data.Samples.resize(static_cast<std::size_t>(records) + 1);
    TripSample& h = data.Samples[0];
    HeaderThreshold(h) = 250;
    HeaderSport(h) = kSportBikePower;
    for (int i = 1; i <= records; ++i) {
      TripSample& s = data.Samples[static_cast<std::size_t>(i)];
      s.Time = (i - 1) * interval;
      s.Distance = static_cast<float>(i * interval) / 120.0f;  // 30 km/h
      s.Power = 200;
      s.Cadence = 90;
      s.HeartRate = 150;
      s.Speed = 30;
      s.Temperature = 20;
      s.Altitude = 300;
    }
    MakeZoneBlock(h, data.ZoneBlock);
    data.HasZoneBlock = true;
    std::string error;
    ASSERT_TRUE(WriteTripFile(FsPath(TripPath(line)), data, false, &error)) << error;
  };
  const std::string one = "20140301_0800000_TAV;001PF;*one", two = "20140302_0800000_TAV;002PF;*two",
                    hour = "20140303_0800000_TAV;003PF;*hour";
  write(one, 1, 90);
  write(two, 2, 90);
  write(hour, 2, 3600);
  TripList.Assign(std::vector<std::string>{two, one, hour, "ERASED :"});
  Open(1);
  // Time, distance, power without and with zeros, heart rate, cadence,
  // temperature, work (200 W over 180 s, 90 s, 7200 s) and its kcal.
  EXPECT_EQ(RowOf(2, {kMetricTime, kMetricDistance, kMetricPowerNoZero, kMetricPowerWithZero, kMetricHeartRate,
                      kMetricCadence, kMetricTemperature, kMetricWork, kMetricKcal}),
            (Texts{"  00:03:00   ", "    1.50 ", "     200 ", "     200 ", "     150 ", "      90 ", "    20.0 ",
                   "      36 ", "      39 "}));
  EXPECT_EQ(RowOf(3, {kMetricTime, kMetricDistance, kMetricWork, kMetricKcal}),
            (Texts{"  00:01:30   ", "    0.75 ", "      18 ", "      19 "}));
  EXPECT_EQ(RowOf(4, {kMetricTime, kMetricDistance, kMetricWork}), (Texts{"  02:00:00   ", "   60.00 ", "    1440 "}));
  EXPECT_EQ(CellOf(kMetricDistance, 6), "   62.25 ");
}

// ---- sorting ---------------------------------------------------------------------

// Four trips whose fields each order them differently: sorting by a field
// gives its own order, so a sort by the wrong field is seen.
TEST_F(DiaryReadouts, EverySortItemOrdersByItsOwnField) {
  struct Item {
    int item;
    std::vector<int> ascending;  // list indexes, lowest value first
    std::function<void(TripSummary&, float)> set;
  };
  const Item items[] = {
      {3, {1, 3, 0, 2}, [](TripSummary& s, float v) { s.TotalTime = static_cast<int32_t>(v * 100); }},
      {4, {2, 0, 3, 1}, [](TripSummary& s, float v) { s.Distance = v; }},
      {5, {1, 2, 0, 3}, [](TripSummary& s, float v) { s.MeanPowerNonZero = v; }},
      {6, {3, 2, 1, 0}, [](TripSummary& s, float v) { s.MeanPowerAll = v; }},
      {7, {3, 1, 0, 2}, [](TripSummary& s, float v) { s.MeanHeartRate = v; }},
      {8, {2, 1, 3, 0}, [](TripSummary& s, float v) { s.MeanCadence = v; }},
      {9, {3, 0, 2, 1}, [](TripSummary& s, float v) { s.MeanSpeed = v; }},
      {10, {1, 3, 2, 0}, [](TripSummary& s, float v) { s.MeanTemperature = v - 12; }},
      {11, {0, 2, 1, 3}, [](TripSummary& s, float v) { s.NP = v; }},
      {12, {0, 3, 1, 2}, [](TripSummary& s, float v) { s.TSS = v; }},
      {13, {2, 3, 0, 1}, [](TripSummary& s, float v) { s.IF = v / 1000; }},  // 0.011 .. 0.014
      {14, {1, 0, 3, 2}, [](TripSummary& s, float v) { s.Ascent = v; }},
      {15, {3, 1, 2, 0}, [](TripSummary& s, float v) { s.Work = v; }},
      {16, {0, 1, 3, 2}, [](TripSummary& s, float v) { s.Weight = v; }},
  };
  std::vector<std::string> lines;
  for (int i = 0; i < 4; ++i) {
    TripSummaryTable[i + 1] = TripSummary{};
    TripDistributionTable[i + 1].Mark = kTableMark;
    lines.push_back(Format("201403%02i_0800000_TAV;%03i;*ride", i + 1, i + 1));
  }
  for (const Item& it : items)
    for (int k = 0; k < 4; ++k) it.set(TripSummaryTable[it.ascending[static_cast<std::size_t>(k)] + 1], 11.0f + k);
  lines.push_back("ERASED :");
  TripList.Assign(lines);
  Open(1);
  for (const Item& it : items) {
    for (bool up : {true, false}) {
      SCOPED_TRACE(Format("item %i %s", it.item, up ? "ascending" : "descending"));
      SetFlat(f->SB_SOAZ, !up);
      SetFlat(f->SB_SOZA, up);
      f->CB_SORT->DoSelect(it.item);
      std::vector<int> want = it.ascending;
      if (!up) std::reverse(want.begin(), want.end());
      EXPECT_EQ(std::vector<int>(DiaryRowLine.begin(), DiaryRowLine.begin() + 4), want);
      // The rows show the trips in that order.
      for (int k = 0; k < 4; ++k)
        EXPECT_EQ(CellOf(kMetricDate, 2 + k), Format("%02i.03.2014 - 08:00", want[static_cast<std::size_t>(k)] + 1));
    }
  }
}

// ---- date spans ---------------------------------------------------------------------

TEST_F(DiaryReadouts, DateSpanMarksItsFirstAndLastDayAndNothingBeyond) {
  const std::vector<std::string> lines = {
      "20140301_0800000_TAV;001;*day before", "20140302_0800000_TAV;002;*first day",
      "20140302_0900001_TAV;003;*first day, heart rate", "20140315_0800000_TAV;004;*middle",
      "20140331_2300000_TAV;005;*last day", "20140401_0000000_TAV;006;*day after", "ERASED :"};
  for (int s = 1; s <= 6; ++s) PutStats(s, 10, 600);
  TripList.Assign(lines);
  for (int flags : {0, kUnitUsDate}) {
    UnitFlags = flags;
    Open(0);
    f->DP_Start->SetDate(DateValue(2014, 3, 2));
    f->DP_End->SetDate(DateValue(2014, 3, 31));
    f->B_DDIFF_OK->DoClick();
    EXPECT_EQ(DiaryRangeStart + "-" + DiaryRangeEnd, "20140302-20140331");
    EXPECT_EQ(f->SB_SEL_ALL->Hint, f->UiText[27] + (flags ? " (03/02/2014 - 03/31/2014)" : " (02.03.2014 - 31.03.2014)"));
    f->SB_SEL_ALL->DoClick();  // power trips of the span
    std::vector<int> marked;
    for (int r = 2; r < 9; ++r)
      if (Marked(r)) marked.push_back(r);
    EXPECT_EQ(marked, (std::vector<int>{3, 5, 6})) << flags;
    f->SB_SEL_ALL->DoClick();  // off
    EXPECT_EQ(MarkedCount(), 0);
    f->SB_SEL_ALL->DoMouseDown(TMouseButton::mbRight, 0, 1, 1);  // heart-rate trips
    f->SB_SEL_ALL->DoClick();
    EXPECT_EQ(MarkedCount(), 1);
    EXPECT_TRUE(Marked(4));
    f->SB_SEL_ALL->DoClick();
    f->SB_SEL_ALL->DoMouseDown(TMouseButton::mbRight, 0, 1, 1);
    f->SB_SEL_ALL->DoMouseDown(TMouseButton::mbRight, 0, 1, 1);  // back to power
  }
  UnitFlags = 0;
}

// A calendar week is its seven days: the day before and the eighth day are
// not marked and not summed.
TEST_F(DiaryReadouts, WeekMarksAndSumsItsSevenDaysOnly) {
  const int days[] = {9, 10, 16, 17};  // Sunday, Monday, Sunday, Monday
  std::vector<std::string> lines;
  for (int k = 0; k < 4; ++k) {
    lines.push_back(TripLine(days[k], 8, 0, k + 1));
    PutStats(k + 1, 10, 600);
    DistributionData& d = TripDistributionTable[k + 1].Data;
    d.TotalTime = 60 * (k + 1);  // 1, 2, 3, 4 min
    d.CadenceHist[1] = 1;
  }
  lines.push_back("ERASED :");
  TripList.Assign(lines);
  BuildTripDateIndex();
  Open(1);
  SelectDiaryDays(f, DateValue(2014, 3, 10));
  EXPECT_EQ(MarkedCount(), 2);
  EXPECT_TRUE(Marked(3) && Marked(4));
  Form34 = new TForm34();
  SumZoneStatsForPeriod(f, DateValue(2014, 3, 10));
  // Trips 2 and 3: 2 + 3 min.
  EXPECT_EQ(Form34->Caption, "Gesamtzeit = 00:05:00   10.03.2014  -  16.03.2014");
  // A day's sum: the trips of that day only.
  SumZoneStatsForDay(f, DateValue(2014, 3, 16));
  EXPECT_EQ(Form34->Caption, "Gesamtzeit = 00:03:00   16.03.2014 - 08:30");
  snapshot::DeleteForm(Form34);
}

// ---- CSV export ------------------------------------------------------------------------

TEST_F(DiaryReadouts, CsvBytesOfATripAndAManualEntry) {
  TwoRows();
  Open(1);
  const std::string w = MainWeightTitle();
  const std::string want =
      "Trip; Datum / Zeit; Bemerkung; Dauer; Strecke; Power 1; Puls; RPM; Geschw.; Temp.;  NP\x99;  TSS\x99;  IF\x99;"
      " D ALT; Arbeit; Power 2; Bemerk.2; Arbeit;" + w + ";PP (5 sec);PP (1 min);PP (5 min);PP (20 min)\r\n"
      " ; ; ; ; [km];[EXC 0 W]; [1/min]; ; [km/h]; [\xB0" "C]; [W];;; [m]; [kJ];[INC 0 W];; [kcal]; [kg];"
      "[W];[W];[W];[W]\r\n"
      "  ;0;1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21 \r\n"
      "20140301-0830;01.03.2014 - 08:30;hills;  01:23:45   ;   40.50 ;     231 ;     143 ;      87 ;    29,0 ;"
      "    12,5 ;     247 ;      88 ;   0,875 ;     640 ;    1200 ;     212 ;easy;    1290 ;      68 ;"
      "100;101;102;103;\r\n"
      "20140302-1900;02.03.2014 - 19:00;swim;  00:45:00   ;    8.00 ;;     131 ;;;    25,0 ;;;;;;; ;;;"
      "0;0;0;0;\r\n";
  EXPECT_EQ(DiaryCsvText(*f->DBook, TripList, DiaryRowLine, DiaryRowPowerSlot, DiaryColumnPos, f->ShownLineCount()),
            want);
  // A cell the grid never wrote reads "(null)" in the old program: a blank.
  f->DBook->Cells(DiaryColumnPos[kMetricRemark2], 3) = "(null)";
  const std::string text =
      DiaryCsvText(*f->DBook, TripList, DiaryRowLine, DiaryRowPowerSlot, DiaryColumnPos, f->ShownLineCount());
  EXPECT_NE(text.find(";; ;;;0;0;0;0;\r\n"), std::string::npos);
  EXPECT_EQ(text.find("(null)"), std::string::npos);
  // Slot 0 is no trip's: a row without a power slot writes no peaks of it.
  for (int k = 0; k < 4; ++k) TripDistributionTable[0].Data.Peaks[k] = 7;
  EXPECT_EQ(DiaryCsvText(*f->DBook, TripList, DiaryRowLine, DiaryRowPowerSlot, DiaryColumnPos, f->ShownLineCount())
                .find("7;7;7;7;"),
            std::string::npos);
}

// ---- manual entries ------------------------------------------------------------------------

TEST_F(DiaryReadouts, ManualEntryStoresWhatWasTypedInEitherUnits) {
  struct Row {
    int flags;
    TImage* TForm3::*picture;
    int kind;
    const char *distance, *heart_rate, *temperature;
    float km, celsius;
    const char *shown_distance, *shown_temperature;     // grid cells
    const char *edit_distance, *edit_temperature;        // the panel when the entry is edited
  } rows[] = {
      {0, &TForm3::IB_2, 3, "12.5", "133", "21.5", 12.5f, 21.5f, "   12.50 ", "    21.5 ", "  12.500", "    21.5"},
      {0, &TForm3::IB_4, 4, "12.5", "133", "21.5", 12.5f, 21.5f, "   12.50 ", "    21.5 ", "  12.500", "    21.5"},
      {0, &TForm3::IB_1, 5, "12.5", "133", "21.5", 12.5f, 21.5f, "   12.50 ", "    21.5 ", "  12.500", "    21.5"},
      {0, &TForm3::IB_6, 6, "12.5", "133", "21.5", 12.5f, 21.5f, "   12.50 ", "    21.5 ", "  12.500", "    21.5"},
      // 10 mi = 16.0934 km; 50 degF = 10 degC.
      {kUnitMiles | kUnitFahrenheit, &TForm3::IB_7, 7, "10", "133", "50", static_cast<float>(10 / 0.62137), 10.0f,
       "   10.00 ", "    50.0 ", "  10.000", "    50.0"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.kind);
    Rides(1);
    UnitFlags = r.flags;
    Open(1);
    f->SB_NO_RIDE->DoClick();
    f->ED_1->DateTime = DateValue(2014, 3, 5);
    f->ED_2->DateTime = EncodeTime(9, 30, 0);
    f->ED_3->DateTime = EncodeTime(1, 2, 3);  // 3723 s
    f->ED_4->Text = r.distance;
    f->ED_5->Text = r.heart_rate;
    f->ED_6->Text = r.temperature;
    (f->*r.picture)->DoClick();
    f->ED_OK->DoClick();
    const int slot = LineSlot(TripList[1]).value_or(0);
    ASSERT_EQ(TripList[1], Format("20140305_0930NR%i_ANNA;%03i;*", r.kind, slot));
    ASSERT_TRUE(slot > 1 && slot < 999);
    const TripSummary& s = TripSummaryTable[slot];
    EXPECT_EQ(s.TotalTime, 3723);
    EXPECT_FLOAT_EQ(s.Distance, r.km);
    EXPECT_FLOAT_EQ(s.MeanHeartRate, 133.0f);
    EXPECT_FLOAT_EQ(s.MeanTemperature, r.celsius);
    EXPECT_FLOAT_EQ(s.MeanSpeed, 9.5f / 24.0f);  // start time of day
    EXPECT_FLOAT_EQ(s.MaxSpeed, 41703.0f);       // 5 March 2014
    EXPECT_EQ(s.MeanPowerAll, 0.0f);
    EXPECT_EQ(RowOf(3, {kMetricTime, kMetricDistance, kMetricHeartRate, kMetricTemperature}),
              (Texts{"  01:02:03   ", r.shown_distance, "     133 ", r.shown_temperature}));
    // Editing it shows the stored values back in the units typed.
    f->SB_NO_RIDE->DoClick();
    f->DBook->SetRow(3);
    f->DBook->DoClick();
    EXPECT_EQ(f->ED_4->Text, r.edit_distance);
    EXPECT_EQ(f->ED_5->Text, "   133.0");
    EXPECT_EQ(f->ED_6->Text, r.edit_temperature);
    EXPECT_NEAR(f->ED_3->DateTime * 86400.0, 3723.0, 0.01);
    TRadioButton* const radios[5] = {f->RB_01, f->RB_02, f->RB_03, f->RB_04, f->RB_05};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(radios[k]->Checked, k + 3 == r.kind) << k;
    f->ED_NO->DoClick();
  }
  UnitFlags = 0;
}

// ---- loaders ------------------------------------------------------------------------------------

// A short trip loaded after a long one: the 500 records after its end read
// as distance 0 in either buffer, not the long trip's distances.
TEST_F(DiaryReadouts, RecordsAfterAShortTripHaveNoDistance) {
  const std::string longer = TripLine(1, 8, 0, 1, "*long"), shorter = TripLine(2, 8, 0, 2, "*short");
  WriteTrip(longer, 2400);
  WriteTrip(shorter, 600);
  PutStats(1, 10, 2400);
  PutStats(2, 10, 600);
  TripList.Assign(std::vector<std::string>{longer, shorter, "ERASED :"});
  Open(1);
  for (int k = 0; k < 2; ++k) ASSERT_TRUE(LoadDiaryTrip(f, 0));  // both buffers hold the long trip
  ASSERT_TRUE(LoadDiaryTrip(f, 1));
  const int n = TripSampleCount;
  ASSERT_EQ(n, 601);
  EXPECT_GT(TripSamples[n - 1].Distance, 1.0f);
  for (int i = n; i < n + 500; ++i) ASSERT_EQ(TripSamples[i].Distance, 0.0f) << i;
  EXPECT_GT(TripSamples[n + 500].Distance, 1.0f);  // the long trip's record, beyond what is cleared
  f->DBook->SetRow(2);
  ASSERT_TRUE(LoadDiaryCompareTrip(f));
  f->DBook->SetRow(3);
  ASSERT_TRUE(LoadDiaryCompareTrip(f));
  for (int i = n; i < n + 500; ++i) ASSERT_EQ(TripSamples2[i].Distance, 0.0f) << i;
}

// ---- statistics panel and comparison ----------------------------------------------------------

// The statistics panel recomputes the row's slot and rewrites the row's
// metrics 2 to 14 in the display units, without the trailing blank.
TEST_F(DiaryReadouts, StatisticsPanelRewritesTheRowInImperialUnits) {
  const std::string line = TripLine(1, 8, 0, 1, "*hills");
  TripList.Assign(std::vector<std::string>{line, TripLine(2, 8, 0, 2), "ERASED :"});
  WriteTrip(line, 1800);
  PutStats(1, 1, 60);
  PutStats(2, 1, 60);
  UnitFlags = kUnitMiles | kUnitFahrenheit;
  Open(1);
  f->DBook->SetRow(2);
  f->SB_AW->DoClick();
  ASSERT_TRUE(f->ZDP->Visible);
  const TripSummary& s = TripSummaryTable[1];
  ASSERT_EQ(s.TotalTime, 1800);
  const std::pair<int, std::string> want[] = {
      {kMetricTime, "  00:30:00"},
      {kMetricDistance, Format("%8.2f", s.Distance * 0.62137)},
      {kMetricPowerNoZero, Format("%8.0f", double{s.MeanPowerNonZero})},
      {kMetricHeartRate, Format("%8.0f", double{s.MeanHeartRate})},
      {kMetricCadence, Format("%8.0f", double{s.MeanCadence})},
      {kMetricSpeed, Format("%8.1f", s.MeanSpeed * 0.62137)},
      {kMetricTemperature, Format("%8.1f", s.MeanTemperature * 1.8 + 32)},
      {kMetricNp, Format("%8.0f", double{s.NP})},
      {kMetricTss, Format("%8.0f", double{s.TSS})},
      {kMetricIf, Format("%8.3f", double{s.IF})},
      {kMetricAscent, Format("%8.0f", s.Ascent * 3.28084)},
      {kMetricWork, Format("%8.0f", double{s.Work})},
      {kMetricPowerWithZero, Format("%8.0f", double{s.MeanPowerAll})},
  };
  for (const auto& [metric, text] : want) EXPECT_EQ(CellOf(metric, 2), text) << metric;
  UnitFlags = 0;
}

// The comparison's second trip is measured against the rider's threshold.
TEST_F(DiaryReadouts, ComparisonTakesTheRidersThresholdForTheSecondTrip) {
  Form31 = new TForm31();
  const std::string a = TripLine(1, 8, 0, 1, "*a"), b = TripLine(2, 8, 0, 2, "*b");
  TripList.Assign(std::vector<std::string>{a, b, "ERASED :"});
  WriteTrip(a, 900);
  WriteTrip(b, 600);
  PutStats(1, 1, 900);
  PutStats(2, 1, 600);
  RiderZones[CurrentRider][kZoneRowPower][0] = 280;
  Open(1);
  DiaryRowSelected[2] = DiaryRowSelected[3] = 1;
  f->DBook->SetRow(2);
  f->SB_GRA2->DoClick();
  ASSERT_TRUE(Form31->Visible);
  EXPECT_EQ(HeaderThreshold(TripSamples2[0]), 280.0f);
  EXPECT_EQ(HeaderThreshold(TripSamples[0]), 250.0f);  // trip 1 keeps its own
  snapshot::DeleteForm(Form31);
}

// A manual entry sorts as 0 by the power, cadence, speed, NP, TSS, IF,
// ascent and work keys, and by its own time, distance, heart rate,
// temperature and weight.
TEST(DiarySortKeys, ManualEntryCountsZeroOnlyForTheTripsOwnFields) {
  std::vector<std::string> lines = {"20140301_0800000_X;001;*a", "20140302_0930NR3_ANNA;002;*swim",
                                    "20140303_0800000_X;003;*b"};
  std::vector<DiaryStats> stats(3);
  for (int i : {0, 2}) {  // the trips: 10 and 20 in every field
    DiaryStats& t = stats[static_cast<std::size_t>(i)];
    const float v = i == 0 ? 10.0f : 20.0f;
    t.total_time = static_cast<int32_t>(v);
    t.distance = t.power_no_zero = t.power_with_zero = t.heart_rate = t.cadence = t.speed = v;
    t.temperature = t.np = t.tss = t.intensity = t.ascent = t.work = t.weight = v;
  }
  DiaryStats& m = stats[1];  // the entry: 30 in every field
  m.total_time = 30;
  m.distance = m.power_no_zero = m.power_with_zero = m.heart_rate = m.cadence = m.speed = 30;
  m.temperature = m.np = m.tss = m.intensity = m.ascent = m.work = m.weight = 30;
  std::vector<DiarySortRow> rows;
  for (std::size_t i = 0; i < 3; ++i) rows.push_back({lines[i], &stats[i]});
  // item: the entry first (counted 0) or last (its own 30)
  const std::pair<int, bool> items[] = {{3, false},  {4, false}, {5, true},  {6, true},  {7, false}, {8, true},
                                        {9, true},   {10, false}, {11, true}, {12, true}, {13, true}, {14, true},
                                        {15, true},  {16, false}};
  for (const auto& [item, zero] : items)
    EXPECT_EQ(DiarySortOrder(item, rows), zero ? (std::vector<int>{1, 0, 2}) : (std::vector<int>{0, 2, 1})) << item;
}

// The service view (Ctrl+Alt and a right press on the table button): each
// trip's device offset in column 4 and K-factor in column 5.
TEST_F(DiaryReadouts, ServiceViewShowsEachTripsOffsetAndKFactor) {
  const std::string a = TripLine(1, 8, 0, 1, "*a"), b = TripLine(2, 8, 0, 2, "*b");
  const struct { const std::string* line; float offset, k; } trips[] = {{&a, 512.0f, 0.9f}, {&b, -3.0f, 2.5f}};
  for (const auto& t : trips) {
    WriteTrip(*t.line, 600);
    TripFileData data;
    ASSERT_EQ(ReadTripFile(FsPath(TripPath(*t.line)), data, nullptr), TripReadError::None);
    HeaderDeviceOffset(data.Samples[0]) = t.offset;
    HeaderKFactor(data.Samples[0]) = t.k;
    ASSERT_TRUE(WriteTripFile(FsPath(TripPath(*t.line)), data, false, nullptr));
  }
  PutStats(1, 10, 600);
  PutStats(2, 10, 600);
  PutEntryStats(3);
  TripList.Assign(std::vector<std::string>{a, b, "20140303_1900NR4_ANNA;003;*swim", "ERASED :"});
  Open(1);
  f->SB_DATEN->DoMouseDown(TMouseButton::mbRight, ssCtrl | ssAlt, 1, 1);
  EXPECT_EQ(f->DBook->Cell(4, 2) + "|" + f->DBook->Cell(5, 2), "   512.0 |     0.9 ");
  EXPECT_EQ(f->DBook->Cell(4, 3) + "|" + f->DBook->Cell(5, 3), "    -3.0 |     2.5 ");
  EXPECT_EQ(f->DBook->Cell(4, 4) + "|" + f->DBook->Cell(5, 4), "|     131 ");  // the manual entry keeps its cells
}

// The heart-rate scan looks at the heart rate of the trip it opens, not at
// the trip shown before.
TEST_F(DiaryReadouts, HeartRateScanTestsTheTripItOpens) {
  Form16 = new TForm16();
  const std::string with = TripLine(1, 8, 1, 1, "*with"), without = TripLine(2, 8, 0, 2, "*without");
  WriteTrip(with, 600, 1, kSportBikeHeartRate);
  WriteTrip(without, 600);
  TripFileData data;
  ASSERT_EQ(ReadTripFile(FsPath(TripPath(without)), data, nullptr), TripReadError::None);
  for (std::size_t i = 1; i < data.Samples.size(); ++i) data.Samples[i].HeartRate = 0;
  ASSERT_TRUE(WriteTripFile(FsPath(TripPath(without)), data, false, nullptr));
  PutStats(1, 10, 600);
  PutStats(2, 10, 600);
  TripList.Assign(std::vector<std::string>{with, without, "ERASED :"});
  Open(1);
  for (int shown : {3, 2}) {  // the other trip is the one on show
    const int scanned = shown == 3 ? 2 : 3;
    f->DBook->SetRow(shown);
    f->SB_GRAF->DoClick();
    f->P_NOTRIP->Hide();
    Form16->Hide();
    f->DBook->SetRow(scanned);
    f->SB_PP->DoClick();
    EXPECT_EQ(Form16->Visible, scanned == 2) << scanned;
    EXPECT_EQ(f->P_NOTRIP->Visible, scanned == 3) << scanned;
    if (scanned == 3) {
      EXPECT_EQ(f->P_NOTRIP->Caption, f->UiText[15]);
    }
  }
  snapshot::DeleteForm(Form16);
}

// The block prompts: yellow for block 1, green for block 2.
TEST_F(DiaryReadouts, BlockPromptsInTheirColours) {
  Rides(3);
  Open(1);
  f->DBook->SetRow(2);
  for (TSpeedButton* b : {f->SB_PA, f->SB_STA2}) {
    f->P_NOTRIP->DoClick();
    b->DoClick();
    EXPECT_EQ(f->P_NOTRIP->Caption, "SELECT BLOCK 1");
    EXPECT_EQ(f->P_NOTRIP->Color, kDiaryPanelYellow);
    DiaryRowSelected[3] = 1;
    b->DoClick();
    EXPECT_EQ(f->P_NOTRIP->Caption, "SELECT BLOCK 2");
    EXPECT_EQ(f->P_NOTRIP->Color, kDiaryPanelGreen);
  }
  f->P_NOTRIP->DoClick();
  StopBestPowerWorker(f);
}

// ---- edits at their bounds ---------------------------------------------------------------------

TEST(DiaryEditBounds, ACommentEndsAtItsFirstEmptyLineAfterTheFirst) {
  EXPECT_EQ(CommentTail({"", "x", "", "y"}, "r"), "*|~x|~\xA7r");
  EXPECT_EQ(CommentTail({"a", "b", "", "c"}, ""), "*a|~b|~\xA7");
}

TEST(DiaryEditBounds, HeartRateOfThirtyDoesNotCountAndTheLastSlotIsFreed) {
  // 100 records of 30 beats: none counts; the same at 30.5 all count.
  for (float hr : {30.0f, 30.5f}) {
    std::vector<TripSample> t(101);
    for (std::size_t i = 1; i < t.size(); ++i) t[i].HeartRate = hr;
    EXPECT_EQ(HeartRateUsable(t.data(), 101), hr > 30.0f) << hr;
  }
  ResetCoreData();
  TStringList list{"20140301_0800000_T;998;*last slot", "20140302_0800000_T;001;*first slot", "ERASED :"};
  EXPECT_TRUE(DeleteDiaryLine(list, 0).freed);
  EXPECT_TRUE(DeleteDiaryLine(list, 0).freed);
  EXPECT_EQ(list[0], "ERASED :998;1;");
}

}  // namespace
}  // namespace tav
