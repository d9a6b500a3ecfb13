// The calendar on the demo rider, opened from the main window as a user does.
#include "diary/calendar_window.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "analysis/distribution_charts.h"
#include "analysis/overview_charts.h"
#include "analysis/zone_pie.h"
#include "core/demo_rider_program.h"
#include "core/trip_line.h"
#include "platform/text.h"
#include "core/trip_date_text.h"
#include "diary/diary_window.h"
#include "viewing/form_snapshot.h"
#include "../platform/contrast_reference.h"
#include "diary/calendar_cells.h"
#include "platform/canvas.h"
#include "texts/text_tables.h"

namespace tav {
namespace {

class CalendarWindow : public testing_core::DemoRiderProgram {
 protected:
  void Open() {
    Start();
    Form1->SB_KAL->DoClick();
    ASSERT_TRUE(Form33->Visible);
    c = Form33;
  }
  // A left press dy pixels below the top of a cell, scrolled into view first.
  void Press(int col, int row, int dy) {
    if (c->CalGrid->CellRect(col, row).Width() == 0) c->CalGrid->SetTopRow(row);
    const TRect r = c->CalGrid->CellRect(col, row);
    ASSERT_GT(r.Width(), 0) << col << "," << row;
    c->CalGrid->DoMouseDown(TMouseButton::mbLeft, 0, r.Left + 5, r.Top + dy);
    c->CalGrid->DoMouseUp(TMouseButton::mbLeft, 0, r.Left + 5, r.Top + dy);
  }
  // The last day index with ride minutes, and one without any line.
  static long long LastRideDay() {
    for (long long d = static_cast<long long>(CalendarDays.size()) - 1; d >= 0; --d)
      if (CalendarDayAt(d).RideMinutes > 0) return d;
    return -1;
  }
  static long long EmptyDayBefore(long long day) {
    while (day > 0 && (CalendarDayAt(day).RideMinutes > 0 || CalendarSportMaskAt(day) != 0)) --day;
    return day;
  }
  static double DateOf(long long day) { return CalendarFirstMonday() + static_cast<double>(day); }
  // Dates of the marked diary rows.
  static std::vector<int32_t> MarkedDates() {
    std::vector<int32_t> out;
    for (std::size_t row = 2; row < DiaryRowSelected.size() && row - 2 < TripDates.size(); ++row)
      if (DiaryRowSelected[row] != 0) out.push_back(TripDates[row - 2].Date);
    return out;
  }
  TForm33* c = nullptr;
};

TEST_F(CalendarWindow, OpensOnTheLastWeeksAndItsClicksReachTheirWindows) {
  Open();
  EXPECT_EQ(Form1->SB_KAL->Tag, 0);
  EXPECT_EQ(c->CalGrid->TopRow(), std::max(1, CalendarWeekCount - 3));
  EXPECT_EQ(c->Caption.rfind("DEMO   ", 0), 0u) << c->Caption;
  EXPECT_FALSE(snapshot::SaveFormPng(*c, "form33_calendar").empty());

  const long long day = LastRideDay();
  ASSERT_GE(day, 0);
  const int row = static_cast<int>(day / 7) + 1, col = static_cast<int>(day % 7) + 1;
  Press(col, row, 25);  // the zone bar: the day's pie
  ASSERT_TRUE(Form10->Visible);
  EXPECT_EQ(Form10->C_Detail->Title.Text[0], FormatDisplayDate(DateOf(day)));
  Press(col, row, 5);  // the date line: the day's distributions
  EXPECT_TRUE(Form34->Visible);
  Press(col, row, 60);  // below: the day's rows in the diary
  ASSERT_TRUE(Form3->Visible);
  EXPECT_EQ(MarkedDates(), std::vector<int32_t>(MarkedDates().size(), static_cast<int32_t>(DateOf(day))));
  EXPECT_FALSE(MarkedDates().empty());
  Press(8, row, 60);  // the week's rows
  for (int32_t d : MarkedDates()) EXPECT_EQ((d - CalendarFirstMonday()) / 7, row - 1);

  // A day without time leaves the visible pie as it is.
  Press(8, row, 10);
  ASSERT_TRUE(Form10->Visible);
  const std::string week_title = Form10->C_Detail->Title.Text[0];
  EXPECT_EQ(week_title.rfind(c->UiText[10] + "  ", 0), 0u) << week_title;
  const long long empty = EmptyDayBefore(day);
  Press(static_cast<int>(empty % 7) + 1, static_cast<int>(empty / 7) + 1, 25);
  EXPECT_EQ(Form10->C_Detail->Title.Text[0], week_title);
}

TEST_F(CalendarWindow, PeriodKindAndOverviewButtons) {
  Open();
  EXPECT_EQ(c->SB_NW->Tag, 8);  // the stored default 3 is no period
  c->SB_NW->DoClick();
  EXPECT_EQ(c->SB_NW->Tag, 1);
  EXPECT_EQ(Graf6Settings[6], 1);
  EXPECT_EQ(c->SB_NW->Caption, "1W");
  EXPECT_EQ(c->SB_NW->Hint, CalendarPeriodHint(c->LastWeekOnScreen(), 1));  // the week numbers of the period
  EXPECT_EQ(c->SB_NW->Hint.rfind("KW", 0), 0u) << c->SB_NW->Hint;
  c->SB_NW->DoClick();
  EXPECT_EQ(c->SB_NW->Hint, CalendarPeriodHint(c->LastWeekOnScreen(), c->SB_NW->Tag));
  c->SB_G6->DoClick();
  ASSERT_TRUE(Form35->Visible);
  EXPECT_EQ(Form35->Tag, 10);
  ASSERT_EQ(Form35->Items().size(), 14u);
  EXPECT_EQ(c->PeriodStart, DateOf(7LL * (c->LastWeekOnScreen() - 2)));
  EXPECT_EQ(Form35->Items()[0].Key, static_cast<int32_t>(c->PeriodStart));

  // The kind button rebuilds the calendar: the power trips now only mark their days.
  c->SB_SEL->DoClick();
  EXPECT_TRUE(c->Visible);
  EXPECT_EQ(c->SB_SEL->Tag, 1);
  EXPECT_EQ(c->SB_SEL->Hint, c->UiText[32]);
  int marked = 0;
  for (int32_t m : CalendarSportMasks) marked += (m & 1) != 0;
  EXPECT_GT(marked, 0);
}

TEST_F(CalendarWindow, SettingsPanelEditsTheConfigurationItShows) {
  Open();
  c->DO_1Click(nullptr);
  ASSERT_TRUE(c->Cal_Edit->Visible);
  EXPECT_EQ(c->CB_Cal_Z[0]->Items.Count(), kCalendarItems);
  EXPECT_TRUE(c->RB_01->Checked);
  c->RB_02->DoClick();
  c->CB1->DoSelect(3);  // five lines
  EXPECT_TRUE(c->CB_Cal_Z[4]->Visible);
  c->CB_Cal_Z[4]->DoSelect(19);
  const CalendarShow first = CalendarShows[0];
  c->Cal_OK->DoClick();
  EXPECT_EQ(CalendarShows[1].Values[0], 3);
  EXPECT_EQ(CalendarShows[1].Values[5], 19);
  EXPECT_EQ(CalendarShows[0], first);

  // Coming back to the window keeps the panel on the configuration it edits.
  c->FormActivate(c);
  EXPECT_EQ(c->CB1->ItemIndex, 3);
  EXPECT_EQ(c->CB_Cal_Z[4]->ItemIndex, 19);
  c->CB_Cal_Z[0]->DoSelect(12);
  c->Cal_NO->DoClick();
  EXPECT_EQ(c->CB_Cal_Z[0]->ItemIndex, CalendarShows[1].Values[1]);
  c->Cal_OK->DoClick();
  EXPECT_EQ(CalendarShows[0], first);

  c->RB_S2->DoClick();
  EXPECT_EQ(c->CalendarLinesIndex, 3);
  EXPECT_FALSE(snapshot::SaveFormPng(*c, "form33_settings").empty());
  c->ZDP_SB->DoClick();
  EXPECT_FALSE(c->Visible);
  EXPECT_FALSE(c->Cal_Edit->Visible);
}

// The settings panel stores by its OK alone: going to another window and
// back, or choosing another number of lines, keeps what was chosen in it;
// closing the calendar stores nothing.
TEST_F(CalendarWindow, SettingsPanelKeepsItsChoicesUntilItsOk) {
  Open();
  const CalendarShow stored = CalendarShows[0];
  const int item = stored.Values[1] == 7 ? 8 : 7;
  const int lines = stored.Values[0] == 3 ? 1 : 3;  // 3 or 5 lines
  c->DO_1Click(nullptr);
  c->CB_Cal_Z[0]->DoSelect(item);
  c->CB1->DoSelect(lines);
  EXPECT_EQ(c->CB_Cal_Z[0]->ItemIndex, item);
  EXPECT_EQ(c->CB_Cal_Z[2]->Visible, true);
  const std::string settings = testing_core::FileBytes(SettingsFile());
  Application().ActivateForm(Form1);  // the main window saves the settings on activation
  Application().ActivateForm(c);
  EXPECT_TRUE(c->Cal_Edit->Visible);
  EXPECT_EQ(c->CB_Cal_Z[0]->ItemIndex, item);
  EXPECT_EQ(c->CB1->ItemIndex, lines);
  EXPECT_EQ(CalendarShows[0], stored);
  EXPECT_EQ(testing_core::FileBytes(SettingsFile()), settings);
  // Closed: nothing stored, and the next opening shows the stored values.
  c->ZDP_SB->DoClick();
  EXPECT_EQ(CalendarShows[0], stored);
  Form1->SB_CAL_NEW->DoClick();
  EXPECT_EQ(c->CB_Cal_Z[0]->ItemIndex, stored.Values[1]);
  EXPECT_EQ(c->CB1->ItemIndex, stored.Values[0]);
  c->CB_Cal_Z[0]->DoSelect(item);
  c->CB1->DoSelect(lines);
  c->Cal_OK->DoClick();
  EXPECT_EQ(CalendarShows[0].Values[1], item);
  EXPECT_EQ(CalendarShows[0].Values[0], lines);
}

// After the main window changed to a rider with more trips, a click on a
// day of one of the newer trips marks that day's rows in the diary.
TEST_F(CalendarWindow, ADayOfARiderWithMoreTripsMarksItsDiaryRows) {
  TStringList few;
  for (const char* l : {"20240301_0800000_X;001;*BIKE POWER", "20240302_0800000_X;002;*BIKE POWER", "ERASED :"})
    few.Add(l);
  std::filesystem::create_directories(dir_ / "DATA" / "FEW");
  ASSERT_TRUE(few.SaveToFile(dir_ / "DATA" / "FEW" / "FEW.T_L"));
  Start();
  ASSERT_TRUE(Form1->ChooseRider("FEW"));
  testing::internal::CaptureStderr();  // FEW's trips have no files
  Form1->SB_DB->DoClick();
  testing::internal::GetCapturedStderr();
  Form3->Close();
  Form1->SB_KAL->DoClick();
  ASSERT_TRUE(Form33->Visible);
  Application().ActivateForm(Form1);  // the user goes to the main window's rider box
  ASSERT_TRUE(Form1->ChooseRider("DEMO"));
  Form1->SB_KAL->DoClick();
  c = Form33;
  const long long day = LastRideDay();
  ASSERT_GE(day, 0);
  const int32_t date = static_cast<int32_t>(DateOf(day));
  // The rows of that day, counted from the list itself.
  std::size_t on_day = 0;
  for (const std::string& line : TripList)
    if (LineDateValue(line) == date) ++on_day;
  ASSERT_GT(on_day, 0u);
  Press(static_cast<int>(day % 7) + 1, static_cast<int>(day / 7) + 1, 60);
  ASSERT_TRUE(Form3->Visible);
  EXPECT_EQ(MarkedDates(), std::vector<int32_t>(on_day, date));
  EXPECT_EQ(c->Zove->Tag, 0);  // no miss counted
}

// Coming back to a calendar whose rows now stand for another rider's weeks
// shows that rider's last weeks.
TEST_F(CalendarWindow, AnotherRidersCalendarShowsItsLastWeeks) {
  TStringList many;
  for (int week = 0; week < 30; ++week) {
    const int32_t d = DateValue(2022, 1, 3) + 7 * week;
    int y = 0, m = 0, dd = 0;
    DateOfValue(d, y, m, dd);
    many.Add(Format("%04i%02i%02i_0800000_X;%03i;*BIKE POWER", y, m, dd, week + 1));
  }
  many.Add("ERASED :");
  std::filesystem::create_directories(dir_ / "DATA" / "MANY");
  ASSERT_TRUE(many.SaveToFile(dir_ / "DATA" / "MANY" / "MANY.T_L"));
  Open();
  c->CalGrid->UserScrollTo(1, 0);
  ASSERT_EQ(c->CalGrid->TopRow(), 1);
  Application().ActivateForm(Form1);
  ASSERT_TRUE(Form1->ChooseRider("MANY"));
  Application().ActivateForm(c);
  ASSERT_GE(CalendarWeekCount, 30);  // 3 Jan 2022 (a Monday) to 25 Jul 2022
  EXPECT_GT(c->CalGrid->TopRow(), 20);
  EXPECT_EQ(c->CalGrid->TopRow(), std::min(CalendarWeekCount - 3, c->CalGrid->MaxTopRow()));
  // The same rider's calendar keeps the weeks the user scrolled to.
  c->CalGrid->UserScrollTo(5, 0);
  Application().ActivateForm(Form1);
  Application().ActivateForm(c);
  EXPECT_EQ(c->CalGrid->TopRow(), 5);
}

// Esc closes the settings panel as a discard and leaves the calendar open;
// with the panel closed Esc is not taken.
TEST_F(CalendarWindow, EscClosesTheSettingsPanelAsADiscard) {
  Open();
  const CalendarShow stored = CalendarShows[0];
  for (int round = 0; round < 2; ++round) {
    c->DO_1Click(nullptr);
    ASSERT_TRUE(c->Cal_Edit->Visible);
    c->CB_Cal_Z[0]->DoSelect(stored.Values[1] == 7 ? 8 : 7);
    WORD key = VK_ESCAPE;
    c->DoKeyDown(key, 0);
    EXPECT_EQ(key, 0) << round;
    EXPECT_FALSE(c->Cal_Edit->Visible) << round;
    EXPECT_TRUE(c->Visible) << round;
    EXPECT_EQ(c->CB_Cal_Z[0]->ItemIndex, stored.Values[1]) << round;
    EXPECT_EQ(CalendarShows[0], stored) << round;
  }
  WORD key = VK_ESCAPE;
  c->DoKeyDown(key, 0);
  EXPECT_EQ(key, VK_ESCAPE);
  EXPECT_TRUE(c->Visible);
}

// A day with lines and another kind of sport: its icon, small beside the
// date, leaves every line and the date as they were. The line places are
// the calendar's (20 px below the cell top, then one line height each).
TEST_F(CalendarWindow, TheIconOfADayWithLinesCoversNoText) {
  Open();
  const long long day = LastRideDay();
  ASSERT_GE(day, 0);
  const int row = static_cast<int>(day / 7) + 1, col = static_cast<int>(day % 7) + 1;
  c->CalGrid->SetTopRow(row);
  const TRect cell = c->CalGrid->CellRect(col, row);
  ASSERT_GT(cell.Width(), 0);
  if (CalendarSportMasks.size() <= static_cast<std::size_t>(day)) CalendarSportMasks.resize(static_cast<std::size_t>(day) + 1);
  auto render = [&](int32_t mask) {
    CalendarSportMasks[static_cast<std::size_t>(day)] = mask;
    TBitmap out(c->CalGrid->Width, c->CalGrid->Height);
    c->CalGrid->Paint(out.Canvas());
    return out;
  };
  const int choice = std::clamp(CalendarShows[c->CalendarShowIndex].Values[0], 0, 3);
  const int lines = choice + 2, height = kCalendarLineHeights[choice];
  const int text_height = MeasureText(c->CalGrid->Font, "0123456789").Y;
  const std::string date = FormatDisplayDate(DateOf(day));
  const int date_width = MeasureText(c->CalGrid->Font, date).X;
  const TRect date_text{cell.Left + (cell.Width() - date_width) / 2, cell.Top + 3,
                        cell.Left + (cell.Width() + date_width) / 2 + 1, cell.Top + 3 + text_height};
  for (int32_t mask : {4, 64, 4 | 16}) {  // runner, mountain, several kinds
    const TBitmap plain = render(0), marked = render(mask);
    int changed = 0;
    for (int y = cell.Top; y < cell.Bottom; ++y)
      for (int x = cell.Left; x < cell.Right; ++x) {
        if (plain.Pixel(x, y) == marked.Pixel(x, y)) continue;
        ++changed;
        EXPECT_FALSE(date_text.Contains(x, y)) << "mask " << mask << " at " << x << "," << y;
        for (int k = 1; k <= lines; ++k) {
          const int top = cell.Top + 20 + k * height - (lines == 2 ? 10 : 0);
          EXPECT_FALSE(y >= top && y < top + text_height) << "mask " << mask << " line " << k << " at " << x << "," << y;
        }
      }
    EXPECT_GT(changed, 10) << "mask " << mask << ": the icon shows";
  }
  CalendarSportMasks[static_cast<std::size_t>(day)] = 0;
  // A day with no lines keeps the large icon below its zone bar.
  const long long empty = EmptyDayBefore(day);
  const TRect free_cell = c->CalGrid->CellRect(static_cast<int>(empty % 7) + 1, static_cast<int>(empty / 7) + 1);
  if (free_cell.Width() > 0) {
    const TBitmap plain = render(0);
    CalendarSportMasks[static_cast<std::size_t>(empty)] = 4;
    TBitmap out(c->CalGrid->Width, c->CalGrid->Height);
    c->CalGrid->Paint(out.Canvas());
    int below = 0;
    for (int y = free_cell.Top + 30; y < free_cell.Bottom; ++y)
      for (int x = free_cell.Left; x < free_cell.Right; ++x) below += plain.Pixel(x, y) != out.Pixel(x, y);
    EXPECT_GT(below, 100);
    CalendarSportMasks[static_cast<std::size_t>(empty)] = 0;
  }
}

// After a switch of language the kind button names its kind, and hints it,
// in the new language when the calendar shows again.
TEST_F(CalendarWindow, TheKindButtonFollowsTheLanguage) {
  Open();
  for (int language : {2, 0}) {
    c->Close();
    ApplyTextTable(language);
    Form1->SB_KAL->DoClick();
    ASSERT_TRUE(c->Visible);
    EXPECT_EQ(c->SB_SEL->Caption, language == 2 ? "Bici P" : "Rad P");
    EXPECT_EQ(c->SB_SEL->Hint, language == 2 ? "An\xE1lisis bicicleta (potencia)" : "Auswertung f\xFCr Rad (Power)");
  }
}

// The zone legend's names read on every zone colour.
TEST_F(CalendarWindow, TheZoneLegendReadsOnEveryZoneColour) {
  Open();
  const int zones = std::min(ZoneCount, 10);
  ASSERT_GE(zones, 7);  // dark blue (1) and purple (6) among them
  for (int k = 0; k < zones; ++k) {
    const std::string name = Format(" %-5.5s  ", std::string(ZoneNames[k], strnlen(ZoneNames[k], kZoneNameChars)).c_str());
    const TPoint size = MeasureText(c->CalGrid->Font, name);
    const int left = 15 + 55 * k;
    double strongest = 1;
    for (int y = 7; y < 6 + size.Y - 1; ++y)
      for (int x = left + 1; x < left + size.X - 1; ++x)
        strongest = std::max(strongest, testing_contrast::Contrast(c->Show_Zonen->Pixel(x, y), ZoneColors[k]));
    EXPECT_GE(strongest, 4.5) << "zone " << k;
  }
}

// The zone pie opens beside the click, inside the screen, and clear of the
// caption bar of a window lying where it would first go.
TEST_F(CalendarWindow, TheZonePieOpensBesideTheClickClearOfCaptionBars) {
  Open();
  const long long day = LastRideDay();
  const int row = static_cast<int>(day / 7) + 1, col = static_cast<int>(day % 7) + 1;
  Press(col, row, 5);  // the day's distributions: a second window
  ASSERT_TRUE(Form34->Visible);
  Form10->Hide();
  const TPoint click{700, 500};
  Form34->SetBounds(click.X - 100, click.Y + 100, Form34->Width, Form34->Height);
  c->SetBounds(100, 100, c->Width, c->Height);
  auto caption_bar = [](const TForm* f) {
    const int border = (f->Width - f->ClientWidth()) / 2;
    return TRect{f->Left, f->Top, f->Left + f->Width, f->Top + f->Height - f->ClientHeight() - border};
  };
  Application().CursorPos = click;
  Press(col, row, 25);  // the zone bar
  ASSERT_TRUE(Form10->Visible);
  const TRect pie{Form10->Left, Form10->Top, Form10->Left + Form10->Width, Form10->Top + Form10->Height};
  EXPECT_GE(pie.Left, 0);
  EXPECT_GE(pie.Top, 0);
  EXPECT_LE(pie.Right, Screen().Width);
  EXPECT_LE(pie.Bottom, Screen().Height);
  EXPECT_FALSE(pie.Contains(click.X, click.Y));
  // Beside it: within 20 px of the click across or down.
  const int dx = click.X < pie.Left ? pie.Left - click.X : click.X >= pie.Right ? click.X - pie.Right + 1 : 0;
  const int dy = click.Y < pie.Top ? pie.Top - click.Y : click.Y >= pie.Bottom ? click.Y - pie.Bottom + 1 : 0;
  EXPECT_LE(std::min(dx, dy), 20) << dx << " " << dy;
  for (const TForm* f : {static_cast<const TForm*>(Form34), static_cast<const TForm*>(c)}) {
    const TRect bar = caption_bar(f);
    const bool meets = pie.Left < bar.Right && bar.Left < pie.Right && pie.Top < bar.Bottom && bar.Top < pie.Bottom;
    EXPECT_FALSE(meets) << f->Name;
  }
}

}  // namespace
}  // namespace tav
