// What the calendar window shows for a few made-up trips around the turn of
// 2022 to 2023, read off the painted grid: the lines of a day and of a
// week's summary in metric and imperial units, dates and week numbers, the
// zone bars, the zone pies of each kind of sport with their titles, and the
// settings the window keeps.
#include "diary/calendar_window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "analysis/zone_pie.h"
#include "core/demo_rider_program.h"
#include "core/trip_date_text.h"
#include "core/trip_list.h"
#include "diary/calendar_cells.h"
#include "platform/canvas.h"
#include "platform/text.h"
#include "texts/text_tables.h"

namespace tav {
namespace {

// Where a text is drawn in a band of the grid: at x, with its top at y.
struct Placed {
  int x = 0;
  std::string text;
};

class CalendarWindowReadouts : public testing_core::DemoRiderProgram {
 protected:
  // The trips: Thursday 22 Dec 2022 (row 1), Monday 26 Dec and Sunday
  // 1 Jan (first and last day of row 2), Monday 2 Jan (row 3); a bike
  // trip with heart rate only on 1 Jan and a run on 2 Jan. Row 4 stays
  // empty. Every trip's values are its own.
  void Open() {
    Start();
    ApplyTextTable(0);
    TripList.Clear();
    for (const char* line : {"20221222_0800000_X;001;*BIKE POWER", "20221226_0800000_X;002;*BIKE POWER",
                             "20230101_0800000_X;003;*BIKE POWER", "20230101_1000001_X;004;*BIKE HR",
                             "20230102_0800002_X;005;*RUN", "20230102_1000000_X;006;*BIKE POWER", "ERASED :"})
      TripList.Add(line);
    TripSummaryTable[1] = {.TotalTime = 2700, .Distance = 20, .Ascent = 150, .MeanPowerAll = 170,
                           .MeanPowerNonZero = 200, .NP = 230, .IF = 0.9f, .TSS = 45, .Work = 459,
                           .MeanHeartRate = 160, .MeanCadence = 85, .MeanSpeed = 26.6f, .MeanTemperature = 3,
                           .PowerTime = 2700, .Weight = 71};
    TripSummaryTable[2] = {.TotalTime = 3600, .Distance = 30.3f, .Ascent = 300.5f, .MeanPowerAll = 150,
                           .MeanPowerNonZero = 240, .NP = 250, .IF = 0.8f, .TSS = 50.5f, .Work = 600.5f,
                           .MeanHeartRate = 150, .MeanCadence = 90, .MeanSpeed = 30, .MeanTemperature = 20,
                           .PowerTime = 2400, .Weight = 70};
    TripSummaryTable[3] = {.TotalTime = 1800, .Distance = 4, .Ascent = 0.5f, .MeanPowerAll = 100,
                           .MeanPowerNonZero = 104, .NP = 106, .IF = 0.2f, .TSS = 0.5f, .Work = 0.5f,
                           .MeanHeartRate = 120, .MeanCadence = 76, .MeanSpeed = 20, .MeanTemperature = 5,
                           .PowerTime = 1800, .Weight = 74};
    TripSummaryTable[4] = {.TotalTime = 2400, .Distance = 18, .MeanHeartRate = 135, .MeanCadence = 80,
                           .MeanSpeed = 27, .MeanTemperature = 8, .Weight = 72};
    TripSummaryTable[5] = {.TotalTime = 1500, .Distance = 5, .MeanHeartRate = 155, .MeanSpeed = 12,
                           .MeanTemperature = 4, .Weight = 72};
    TripSummaryTable[6] = {.TotalTime = 1200, .Distance = 9, .Ascent = 20, .MeanPowerAll = 180,
                           .MeanPowerNonZero = 190, .NP = 195, .IF = 0.75f, .TSS = 18, .Work = 216,
                           .MeanHeartRate = 140, .MeanCadence = 95, .MeanSpeed = 27, .MeanTemperature = 6,
                           .PowerTime = 1100, .Weight = 0};  // no weight: the rider's stands in
    for (int slot = 1; slot <= 6; ++slot) TripZoneTable[slot] = TripZoneTimes{};
    zones_ = ZoneCount;
    ASSERT_GE(zones_, 7);
    last_ = zones_ - 1;
    TripZoneTable[1].Seconds[0] = 777;
    TripZoneTable[2].Seconds[1] = 600;
    TripZoneTable[2].Seconds[3] = 1200;
    TripZoneTable[3].Seconds[3] = 300;
    TripZoneTable[3].Seconds[last_] = 900;
    TripZoneTable[4].Seconds[2] = 1800;
    TripZoneTable[4].Seconds[4] = 600;
    TripZoneTable[5].Seconds[1] = 900;
    TripZoneTable[5].Seconds[5] = 600;
    TripZoneTable[6].Seconds[2] = 555;
    UnitFlags = 0;
    Form1->SB_KAL->DoClick();
    ASSERT_TRUE(Form33->Visible);
    c = Form33;
    ASSERT_EQ(CalendarFirstMonday(), DateValue(2022, 12, 19));
    ASSERT_EQ(CalendarWeekCount, 4);
    c->CalGrid->SetTopRow(1);
  }
  // Chooses configuration `index` with these items in use.
  void Show(int index, int choice, std::vector<int> items) {
    CalendarShow& s = CalendarShows[index];
    s = CalendarShow{};
    s.Values[0] = choice;
    for (std::size_t k = 0; k < items.size(); ++k) s.Values[k + 1] = items[k];
    TRadioButton* const buttons[3] = {c->RB_S1, c->RB_S2, c->RB_S3};
    buttons[index]->DoClick();
  }
  TBitmap Paint() {
    TBitmap out(c->CalGrid->Width, c->CalGrid->Height);
    c->CalGrid->Paint(out.Canvas());
    return out;
  }
  // Whether the band from y down one text height, between left and right,
  // shows exactly these texts on the background colour.
  ::testing::AssertionResult Reads(const TBitmap& shot, TColor background, int left, int right, int y,
                                   const std::vector<Placed>& texts) {
    TBitmap ref(shot.Width(), shot.Height());
    ref.Fill(background);
    TCanvas& rc = ref.Canvas();
    rc.Font = c->CalGrid->Font;
    rc.Brush.Style = TBrushStyle::bsClear;
    std::string all;
    for (const Placed& p : texts) {
      rc.TextOut(p.x, y, p.text);
      all += "[" + p.text + "]";
    }
    const int height = MeasureTextHeight(c->CalGrid->Font);
    int differ = 0, first_x = -1;
    for (int yy = y; yy < y + height; ++yy)
      for (int x = left; x < right; ++x)
        if (shot.Pixel(x, yy) != ref.Pixel(x, yy)) {
          ++differ;
          if (first_x < 0) first_x = x;
        }
    if (differ == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << all << " at y " << y << ": " << differ << " pixels differ, the first at x "
                                         << first_x;
  }
  // Whether text line k of a day (summary false) or summary cell reads
  // `line` as the calendar lays it out: a pair ("left|right") from the
  // left edge and right-aligned 5 px before the edge, a left text, or a
  // centred one.
  ::testing::AssertionResult LineReads(const TBitmap& shot, const TRect& cell, bool summary, int lines, int k,
                                       const std::string& line, bool centred) {
    const int heights[4] = {35, 25, 20, 17};
    const int y = cell.Top + 20 + k * heights[lines - 2] - (lines == 2 ? 10 : 0);
    const int x = summary ? cell.Left + 6 : cell.Left, width = summary ? cell.Width() - 6 : cell.Width();
    const TFont& font = c->CalGrid->Font;
    std::vector<Placed> texts;
    const std::size_t bar = line.find('|');
    if (bar != std::string::npos) {
      const std::string right = line.substr(bar + 1);
      texts = {{x + 2, line.substr(0, bar)}, {x + width - 5 - MeasureTextWidth(font, right), right}};
    } else if (centred) {
      texts = {{x + (width - MeasureTextWidth(font, line)) / 2, line}};
    } else {
      texts = {{x + 2, line}};
    }
    return Reads(shot, c->CalGrid->Color, cell.Left + 1, cell.Right - 1, y, texts);
  }
  // Press dy px below the top of a cell.
  void Press(int col, int row, int dy) {
    const TRect r = c->CalGrid->CellRect(col, row);
    ASSERT_GT(r.Width(), 0) << col << "," << row;
    c->CalGrid->DoMouseDown(TMouseButton::mbLeft, 0, r.Left + 5, r.Top + dy);
    c->CalGrid->DoMouseUp(TMouseButton::mbLeft, 0, r.Left + 5, r.Top + dy);
  }
  static std::string ZoneName(int k) { return std::string(ZoneNames[k], strnlen(ZoneNames[k], kZoneNameChars)); }
  // The pie's slices: zone k with s seconds of a total T.
  void ExpectPie(const std::vector<std::string>& title, const std::vector<std::pair<int, int>>& seconds) {
    ASSERT_TRUE(Form10->Visible);
    const TChart& chart = *Form10->C_Detail;
    ASSERT_EQ(chart.Title.Text.Count(), static_cast<int>(title.size()));
    for (std::size_t i = 0; i < title.size(); ++i) EXPECT_EQ(chart.Title.Text[static_cast<int>(i)], title[i]) << i;
    EXPECT_EQ(chart.Foot.Text.Count(), 0);
    ASSERT_EQ(Form10->Pie->Count(), zones_);
    double total = 0;
    for (const auto& z : seconds) total += z.second;
    for (int k = 0; k < zones_; ++k) {
      int s = 0;
      for (const auto& z : seconds)
        if (z.first == k) s = z.second;
      EXPECT_EQ(Form10->Pie->YValue(k), s) << k;
      EXPECT_EQ(Form10->Pie->ValueColor(k), ZoneColors[k]) << k;
      const std::string label = Format("%-5.5s %02i:%02i:%02i / %4.1f%% ", ZoneName(k).c_str(), s / 3600,
                                       s % 3600 / 60, s % 60, 100.0 * s / total);
      EXPECT_EQ(Form10->Pie->Label(k), label) << k;
    }
  }

  TForm33* c = nullptr;
  int zones_ = 0, last_ = 0;
};

// Five lines of every layout in a day cell and in the week's summary, in
// kilometres and in miles; the date and week number of each row.
TEST_F(CalendarWindowReadouts, DayAndWeekLinesInMetricAndImperialUnits) {
  Open();
  Show(0, 3, {0, 5, 11, 9, 19});
  struct Line {
    const char* metric;
    const char* imperial;
    bool centred;
  };
  // Monday 26 Dec: 60 min, 30.3 km (18.83 miles), 30 km/h (18.6 mph), NP 250 W at 70 kg.
  const Line day[5] = {{"01:00 h| 30.30 km", "01:00 h|18.83 miles", false},
                       {"P o/m 240 / 150 W", nullptr, false},
                       {" 30.0 km/h", " 18.6 mph", true},
                       {"HR 150.0 1/min", nullptr, true},
                       {" 3.57 W/kg", nullptr, true}};
  // Row 2: Monday 26 Dec and Sunday 1 Jan, 60 + 30 min (40 + 30 with
  // power): 34.3 km (21.3 miles); power without zeros (240 x 40 + 104 x 30)
  // / 70; with zeros (150 x 60 + 100 x 30) / 90; speed 2400 / 90 = 26.7
  // km/h (16.6 mph); heart rate 12600 / 90; NP 202 W over 71.33 kg.
  const Line week[5] = {{"01:30 h|  34.3 km", "01:30 h|  21.3 miles", false},
                        {"P o/m 182 / 133 W", nullptr, false},
                        {" 26.7 km/h", " 16.6 mph", true},
                        {"HR 140.0  1/min", nullptr, true},
                        {" 2.83 W/kg", nullptr, true}};
  for (bool miles : {false, true}) {
    UnitFlags = miles ? kUnitMiles : 0;
    const TBitmap shot = Paint();
    const TRect monday = c->CalGrid->CellRect(1, 2), summary = c->CalGrid->CellRect(8, 2);
    for (int k = 0; k < 5; ++k) {
      const Line& d = day[k];
      const Line& w = week[k];
      EXPECT_TRUE(LineReads(shot, monday, false, 5, k + 1, miles && d.imperial ? d.imperial : d.metric, d.centred))
          << "day line " << k + 1 << (miles ? " miles" : " km");
      EXPECT_TRUE(LineReads(shot, summary, true, 5, k + 1, miles && w.imperial ? w.imperial : w.metric, w.centred))
          << "week line " << k + 1 << (miles ? " miles" : " km");
    }
    // The neighbouring weeks hold only their own trips.
    EXPECT_TRUE(LineReads(shot, c->CalGrid->CellRect(8, 1), true, 5, 1, miles ? "00:45 h|  12.4 miles" : "00:45 h|  20.0 km", false));
    EXPECT_TRUE(LineReads(shot, c->CalGrid->CellRect(8, 3), true, 5, 1, miles ? "00:20 h|   5.6 miles" : "00:20 h|   9.0 km", false));
    EXPECT_TRUE(LineReads(shot, c->CalGrid->CellRect(4, 1), false, 5, 1, miles ? "00:45 h|12.43 miles" : "00:45 h| 20.00 km", false));
  }
  // Monday 2 Jan has no weight: NP per weight takes the current rider's,
  // 195 W / 78 kg, in the day and in the week.
  const int8_t rider = CurrentRider;
  CurrentRider = rider == 1 ? 2 : 1;
  RiderTable[rider].Weight = 60;
  RiderTable[0].Weight = 60;
  RiderTable[CurrentRider].Weight = 78;
  UnitFlags = 0;
  const TBitmap weighed = Paint();
  EXPECT_TRUE(LineReads(weighed, c->CalGrid->CellRect(1, 3), false, 5, 5, " 2.50 W/kg", true));
  EXPECT_TRUE(LineReads(weighed, c->CalGrid->CellRect(8, 3), true, 5, 5, " 2.50 W/kg", true));
  CurrentRider = rider;
  const TBitmap shot = Paint();
  // Dates centred 3 px below the top of each cell; the week numbers of the
  // rows at the turn of the year: 52, 1, 2, 3.
  const TFont& font = c->CalGrid->Font;
  const struct {
    int col, row;
    const char* date;
  } dates[] = {{1, 1, "19.12.2022"}, {4, 1, "22.12.2022"}, {7, 1, "25.12.2022"}, {1, 2, "26.12.2022"},
               {7, 2, "01.01.2023"}, {1, 3, "02.01.2023"}, {7, 4, "15.01.2023"}};
  for (const auto& d : dates) {
    const TRect r = c->CalGrid->CellRect(d.col, d.row);
    const int w = MeasureTextWidth(font, d.date), x = r.Left + (r.Width() - w) / 2;
    EXPECT_TRUE(Reads(shot, c->CalGrid->Color, x, x + w, r.Top + 3, {{x, d.date}})) << d.date;
  }
  const char* numbers[] = {"52", "1", "2", "3"};
  for (int row = 1; row <= 4; ++row) {
    const TRect r = c->CalGrid->CellRect(0, row);
    EXPECT_TRUE(Reads(shot, c->CalGrid->FixedColor, r.Left + 1, r.Right - 1, r.Top + 3, {{r.Left + 2, numbers[row - 1]}}))
        << row;
  }
  // Row 4 has no trip: its summary cell stays empty.
  const TRect empty = c->CalGrid->CellRect(8, 4);
  int inked = 0;
  for (int y = empty.Top + 1; y < empty.Bottom - 1; ++y)
    for (int x = empty.Left + 1; x < empty.Right - 1; ++x) inked += shot.Pixel(x, y) != c->CalGrid->Color;
  EXPECT_EQ(inked, 0);
  // Tuesday 20 Dec has no trip: below its date line nothing is drawn.
  const TRect tuesday = c->CalGrid->CellRect(2, 1);
  inked = 0;
  for (int y = tuesday.Top + 17; y < tuesday.Bottom - 1; ++y)
    for (int x = tuesday.Left + 1; x < tuesday.Right - 1; ++x) inked += shot.Pixel(x, y) != c->CalGrid->Color;
  EXPECT_EQ(inked, 0);
}

// Two lines sit 10 px higher than three; the lines in use are those of the
// configuration chosen below the grid, whatever configuration the panel
// edits meanwhile.
TEST_F(CalendarWindowReadouts, LinesOfTheConfigurationInUseAtTheirHeights) {
  Open();
  CalendarShows[1] = CalendarShow{};
  Show(0, 0, {13, 14});
  Show(1, 1, {6, 16, 10});
  c->RB_S1->DoClick();
  TBitmap shot = Paint();
  const TRect monday = c->CalGrid->CellRect(1, 2), summary = c->CalGrid->CellRect(8, 2);
  EXPECT_TRUE(LineReads(shot, monday, false, 2, 1, "01:00 h", true));
  EXPECT_TRUE(LineReads(shot, monday, false, 2, 2, " 30.30 km", true));
  EXPECT_TRUE(LineReads(shot, summary, true, 2, 1, "01:30 h", true));
  EXPECT_TRUE(LineReads(shot, summary, true, 2, 2, "  34.3 km", true));
  c->RB_S2->DoClick();
  shot = Paint();
  EXPECT_TRUE(LineReads(shot, monday, false, 3, 1, "NP =  250 W", true));
  EXPECT_TRUE(LineReads(shot, monday, false, 3, 2, "IF =0.80", true));
  EXPECT_TRUE(LineReads(shot, monday, false, 3, 3, "RPM = 90.0 1/min", true));
  // (0.8 x 60 + 0.2 x 30) / 90 and (90 x 60 + 76 x 30) / 90.
  EXPECT_TRUE(LineReads(shot, summary, true, 3, 2, "IF =0.60", true));
  EXPECT_TRUE(LineReads(shot, summary, true, 3, 3, "RPM = 85.3  1/min", true));
  // The panel stores five lines into the third configuration: the grid
  // keeps the three lines of the second.
  c->DO_1Click(nullptr);
  c->RB_03->DoClick();
  c->CB1->DoSelect(3);
  for (int k = 0; k < 5; ++k) c->CB_Cal_Z[static_cast<std::size_t>(k)]->DoSelect(12);
  c->Cal_OK->DoClick();
  EXPECT_EQ(CalendarShows[2].Values[0], 3);
  shot = Paint();
  EXPECT_TRUE(LineReads(shot, monday, false, 3, 1, "NP =  250 W", true));
  EXPECT_TRUE(LineReads(shot, monday, false, 3, 3, "RPM = 90.0 1/min", true));
  c->RB_S3->DoClick();
  shot = Paint();
  EXPECT_TRUE(LineReads(shot, summary, true, 5, 5, "  602 kJ", true));  // 600.5 and 0.5 kJ, rounded per day
}

// The day's bar: one segment per zone in its colour, as long as its share,
// from 5 px in over the cell's width less 8, 23 to 33 px below the top. The
// week's bars: one per zone, (width - 16) / zones wide from 7 px in, rising
// from 33 px below the top by 30 px times the zone's share of the largest.
TEST_F(CalendarWindowReadouts, ZoneBarsOfTheDayAndOfTheWeek) {
  Open();
  Show(0, 0, {13, 14});
  const TBitmap shot = Paint();
  const TColor ground = c->CalGrid->Color;
  // Monday 26 Dec: zone 1 600 s, zone 3 1200 s.
  const TRect r = c->CalGrid->CellRect(1, 2);
  const int x = r.Left, w = r.Width(), top = r.Top;
  const int end1 = x + 5 + (w - 8) / 3, end3 = x + 5 + (w - 8);
  for (int y : {top + 23, top + 28, top + 32}) {
    EXPECT_EQ(shot.Pixel(x + 4, y), ground) << y;
    EXPECT_EQ(shot.Pixel(x + 5, y), ZoneColors[1]) << y;
    EXPECT_EQ(shot.Pixel(end1 - 1, y), ZoneColors[1]) << y;
    EXPECT_EQ(shot.Pixel(end1 + 1, y), ZoneColors[3]) << y;
    EXPECT_EQ(shot.Pixel(end3 - 1, y), ZoneColors[3]) << y;
    EXPECT_EQ(shot.Pixel(end3, y), ground) << y;
  }
  for (int y : {top + 22, top + 33}) EXPECT_EQ(shot.Pixel(x + 10, y), ground) << y;
  // The line under the date, 16 px below the top, across the cell.
  for (int xx : {x + 1, x + 10, x + w - 2}) {
    EXPECT_EQ(shot.Pixel(xx, top + 16), ChartColors[8]) << xx;
    EXPECT_EQ(shot.Pixel(xx, top + 17), ground) << xx;
  }

  // Row 2: zone 1 600 s, zone 3 1500 s (the largest), the last zone 900 s.
  const TRect s = c->CalGrid->CellRect(8, 2);
  const int bar = (s.Width() - 16) / zones_, base = s.Top + 33;
  const int heights[3][2] = {{1, 12}, {3, 30}, {last_, 18}};
  for (const auto& h : heights) {
    const int left = s.Left + 7 + h[0] * bar, right = left + bar - 1;
    for (int xx : {left, right}) {
      EXPECT_EQ(shot.Pixel(xx, base - 1), ZoneColors[h[0]]) << h[0];
      EXPECT_EQ(shot.Pixel(xx, base - h[1]), ZoneColors[h[0]]) << h[0];
      EXPECT_EQ(shot.Pixel(xx, base - h[1] - 1), ground) << h[0];
      EXPECT_EQ(shot.Pixel(xx, base), ground) << h[0];
    }
  }
  EXPECT_EQ(shot.Pixel(s.Left + 7 + 2 * bar + bar / 2, base - 1), ground);  // zone 2: no time
  EXPECT_EQ(shot.Pixel(s.Left + 7 + zones_ * bar, base - 1), ground);       // after the last bar
  EXPECT_EQ(shot.Pixel(s.Left + 6, base - 1), ground);
  // The legend: one name per zone, 55 px apart from 15.
  EXPECT_EQ(c->Show_Zonen->Width, 15 + 55 * zones_);
  // Painting a week with trips names the weeks of the overview button's
  // period in its hint: eight weeks, the last on screen being row 4, so
  // rows 1 and 7 (the week ending Sunday 5 Feb 2023).
  ASSERT_EQ(c->SB_NW->Tag, 8);
  ASSERT_EQ(c->LastWeekOnScreen(), 4);
  c->SB_NW->Hint.clear();
  Paint();
  EXPECT_EQ(c->SB_NW->Hint, "KW 52 - KW  6");
}

// The zone pies of a day and of a week for each kind of sport: the title
// names the date or the week and the kind's zones; each zone's slice holds
// its time of the chosen kind only, with its share.
TEST_F(CalendarWindowReadouts, ZonePiesOfEachKindOfSport) {
  Open();
  const std::string power = "Trainingsbereiche Power", bike_hr = "Trainingsbereiche Puls (Rad)",
                    run = "Trainingsbereiche Puls (Laufen)";
  Press(1, 2, 25);  // Monday 26 Dec
  ExpectPie({"26.12.2022", power}, {{1, 600}, {3, 1200}});
  Press(8, 2, 10);  // the week of 26 Dec to 1 Jan
  ExpectPie({"Woche  26.12.2022 - 01.01.2023", power}, {{1, 600}, {3, 1500}, {last_, 900}});
  Press(7, 2, 30);  // Sunday 1 Jan: its power trip only
  ExpectPie({"01.01.2023", power}, {{3, 300}, {last_, 900}});
  Press(8, 1, 39);
  ExpectPie({"Woche  19.12.2022 - 25.12.2022", power}, {{0, 777}});
  // The pie's band of a day runs from 20 to 39 px below the top.
  Form10->Hide();
  Press(1, 2, 19);  // the date line: the day's distributions, no pie
  EXPECT_FALSE(Form10->Visible);
  Press(1, 2, 20);
  ExpectPie({"26.12.2022", power}, {{1, 600}, {3, 1200}});

  c->SB_SEL->DoClick();  // bike with heart rate
  ASSERT_EQ(c->SB_SEL->Tag, 1);
  c->CalGrid->SetTopRow(1);
  Press(7, 2, 25);
  ExpectPie({"01.01.2023", bike_hr}, {{2, 1800}, {4, 600}});
  Press(8, 2, 20);
  ExpectPie({"Woche  26.12.2022 - 01.01.2023", bike_hr}, {{2, 1800}, {4, 600}});
  EXPECT_EQ(CalendarDayAt(13).RideMinutes, 40);

  c->SB_SEL->DoClick();  // run
  ASSERT_EQ(c->SB_SEL->Tag, 2);
  c->CalGrid->SetTopRow(1);
  Press(1, 3, 25);  // Monday 2 Jan
  ExpectPie({"02.01.2023", run}, {{1, 900}, {5, 600}});
  Press(8, 3, 5);
  ExpectPie({"Woche  02.01.2023 - 08.01.2023", run}, {{1, 900}, {5, 600}});
  EXPECT_EQ(CalendarDayAt(14).RideMinutes, 25);
}

// The period of the overview button and the configurations are kept in the
// settings: after a restart the calendar shows them again. The settings
// panel shows one item box per line.
TEST_F(CalendarWindowReadouts, PeriodAndConfigurationsOutliveARestart) {
  Open();
  for (int period : {1, 2}) {
    c->SB_NW->DoClick();
    EXPECT_EQ(c->SB_NW->Tag, period);
  }
  EXPECT_EQ(c->SB_NW->Caption, "2W");
  c->DO_1Click(nullptr);
  c->RB_02->DoClick();
  for (int choice = 0; choice < 4; ++choice) {
    c->CB1->DoSelect(choice);
    for (int k = 0; k < 5; ++k)
      EXPECT_EQ(c->CB_Cal_Z[static_cast<std::size_t>(k)]->Visible, k < choice + 2) << choice << " " << k;
  }
  c->CB1->DoSelect(1);
  const int items[3] = {17, 4, 19};
  for (int k = 0; k < 3; ++k) c->CB_Cal_Z[static_cast<std::size_t>(k)]->DoSelect(items[k]);
  c->Cal_OK->DoClick();
  c->Close();
  Application().ActivateForm(Form1);  // saves the settings
  Stop();
  Start();
  Form1->SB_KAL->DoClick();
  c = Form33;
  ASSERT_TRUE(c->Visible);
  EXPECT_EQ(c->SB_NW->Tag, 2);
  EXPECT_EQ(c->SB_NW->Caption, "2W");
  EXPECT_EQ(CalendarShows[1].Values[0], 1);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(CalendarShows[1].Values[k + 1], items[k]) << k;
  c->DO_1Click(nullptr);
  c->RB_02->DoClick();
  EXPECT_EQ(c->CB1->ItemIndex, 1);
  EXPECT_EQ(c->CB_Cal_Z[2]->ItemIndex, 19);
  EXPECT_FALSE(c->CB_Cal_Z[3]->Visible);
}

}  // namespace
}  // namespace tav
