// The program's windows and the ways they reach each other. A window never
// includes another window's header: it opens, asks or closes another window
// through the functions declared here, each defined beside the window it
// concerns, and each doing nothing (or answering "none") while that window
// does not exist. The top (top/forms.cpp) creates the windows.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/controls.h"

// ---- The windows ------------------------------------------------------------------
// Each global is set while its window exists.
class TForm1;    // main window
class TForm3;    // diary
class TForm4;    // evaluation of a selection
class TForm5;    // power-duration scan
class TForm7;    // device date and time
class TForm8;    // time above power
class TForm10;   // zone pie
class TForm11;   // language
class TForm12;   // help topics
class TForm16;   // heart rate against power
class TForm30;   // trip view
class TForm31;   // comparison of two trips
class TForm33;   // week calendar
class TForm34;   // distribution charts
class TForm35;   // six-chart overview
class TForm40;   // sample table
class TForm50;   // firmware update
class TForm51;   // grade scan
class TForm52;   // power, cadence and speed scan
class TForm56;   // time in zones
class TForm80;   // mail
class TForm200;  // device user display
class TForm400;  // power model
class TForm530;  // device
extern TForm1* Form1;
extern TForm3* Form3;
extern TForm4* Form4;
extern TForm5* Form5;
extern TForm7* Form7;
extern TForm8* Form8;
extern TForm10* Form10;
extern TForm11* Form11;
extern TForm12* Form12;
extern TForm16* Form16;
extern TForm30* Form30;
extern TForm31* Form31;
extern TForm33* Form33;
extern TForm34* Form34;
extern TForm35* Form35;
extern TForm40* Form40;
extern TForm50* Form50;
extern TForm51* Form51;
extern TForm52* Form52;
extern TForm56* Form56;
extern TForm80* Form80;
extern TForm200* Form200;
extern TForm400* Form400;
extern TForm530* Form530;

class TTAV_Thread;

namespace tav {

// Where a window stands on the screen.
struct WindowPlace {
  int Left = 0, Top = 0, Width = 0, Height = 0;
};

// ---- Main window (top/main_window.cpp) ----------------------------------------------
std::optional<WindowPlace> MainPlace();
// The size of the main window's picture box PB (Left and Top 0).
std::optional<WindowPlace> MainPicturePlace();
// The weight unit label beside the rider's weight (" kg" without the window).
std::string MainWeightTitle();
// The lines of the main window's info memo Z_INFO; null without the window.
TStringList* MainInfoLines();
// The calendar button's Tag: set while the main window is opening the
// calendar, so the calendar scrolls to the last weeks once.
bool CalendarAskedByMain();
void CalendarAskAnswered();
// The main window's calendar button: the diary brought into list order, then
// the calendar shown. False without the main window.
bool OpenCalendarFromMain();
// The mail settings, opened over the main window's picture box.
void OpenMailSettings();
// Lists the files of the selected trips in the main window and mails them.
void ListTripFiles();

// ---- Language (top/language_form.cpp) -----------------------------------------------
// Saves the settings and applies the text table of LanguageIndex to every
// window (the language window's FormClick).
void ApplyChosenLanguage();

// ---- Help (top/info_form.cpp) -------------------------------------------------------
// Shows help topic n in the info window.
void ShowHelpTopic(int n);
// F5 shows help topic `topic` and consumes the key; true when it did.
bool HandleHelpKey(WORD& key, int topic);
// Closes the info window when it is open.
void CloseHelp();

// ---- Diary (diary/diary_window.cpp, diary/diary_export.cpp) ---------------------------
std::optional<WindowPlace> DiaryPlace();
// The kind of sport of the diary's selection (SB_SEL_ALL's Tag).
std::optional<int> DiarySelectionKind();
// The diary's kind-of-sport button of a kind (SB_SEL0, SB_SEL1, SB_SEL2 for
// 0, 1, 2); null without the diary.
const TSpeedButton* DiaryKindButton(int kind);
// The calendar's day and week clicks: the diary shows the rows of a day or
// of seven days from date.
void ShowDiaryDay(double date);
void ShowDiaryWeek(double date);
// The distribution charts of the sums of a day, of one trip's slot and of
// seven days from date.
void OpenDayZoneSums(double date);
void OpenTripZoneSums(int slot);
void OpenPeriodZoneSums(double date);

// The best-power job of the diary's block analysis (TForm3::Worker), read by
// the power-duration window (analysis/power_duration_scan.cpp).
extern TTAV_Thread* BestPowerJob;
// Starts a new job on a copy of the lines in the rider's folder, handing over
// to BestPowerCurve and the power-duration window, after stopping and joining
// the one running (nothing without a diary).
void StartBestPowerWorker(TForm3* diary, std::vector<std::string> block1_lines);
// Stops and joins the running job, if any (a new analysis, program exit).
void StopBestPowerWorker(TForm3* diary);

// What the calendar lends the diary for a missed click: its 50 x 50 picture,
// the picture's miss counter and where on the grid to show it. Until the
// calendar sets the hook (diary/diary_window.cpp) the diary counts misses
// itself and shows no picture.
struct DiaryMissPicture {
  const TBitmap* picture = nullptr;
  int* miss_counter = nullptr;
  int x = 0, y = 0;
};
extern std::function<DiaryMissPicture()> DiaryCalendarPicture;

// ---- Week calendar (diary/calendar_window.cpp) --------------------------------------
// The first day of the period the calendar handed to the overview (0 without
// the calendar).
double CalendarPeriodStart();
// The calendar's kind of sport (its SB_SEL's Tag; 0 without the calendar).
int CalendarKind();
// Brings a visible calendar to the front; false when it is not shown.
bool BringCalendarToFront();

// ---- Analyses (analysis/*.cpp) ------------------------------------------------------
// The evaluation of the selection, evaluated anew.
void OpenEvaluation();
// The six-chart overview: Tag, first item and item count set, then shown.
void OpenOverview(int tag, int first_item, int item_count);
// The same set for the selection (Tag 20 from item 0) and its items loaded
// without showing the window.
void LoadOverviewSelection(int item_count);
// A right or middle click on item `item` of the overview.
void ShowOverviewItemStats(int item, TMouseButton button);
// The distribution charts of the sums in DistributionView under a caption.
void ShowDistributionSums(const std::string& caption);
// The list line the distribution charts take for the next opening (-1: none).
void SetDistributionItemLine(int line);
void OpenTimeAbove();
void OpenPowerDuration();
void OpenGradeScan();
void OpenPowerCadenceScan();
// Time in zones over ScanList. The window draws two blocks exactly when the
// list it walks holds the line "BLOCK2", as a list handed over for two blocks
// does.
void OpenZoneTimeScan();
// Heart rate against power: Tag 0 for the current trip, 1 for a clip.
void OpenHeartRatePower(int tag, const std::string& caption);

// What a caller shows in the zone pie. The evaluation's point click and the
// calendar's day and week pies differ only in these fields.
struct ZonePieFill {
  std::vector<std::string> title;   // title lines
  std::vector<std::string> foot;    // foot lines (none for the calendar)
  std::array<double, 10> seconds{}; // time in zone z at [z], seconds
  int zoneCount = 1;                // zones shown: 0 .. zoneCount - 1 (clamped to 1..10)
  // True: zones without any time still give their slices of 0 s and 0 %
  // (the evaluation). False: with no time in the zones the popup is left
  // untouched and not shown (the calendar).
  bool showWhenEmpty = true;
};
// The zone pie filled (see ShowZonePie); false when nothing was shown.
bool OpenZonePie(const ZonePieFill& fill);
// Closes the zone pie when it is open.
void CloseZonePie();

// ---- Views of trips (viewing/*.cpp) -------------------------------------------------
// 1: the trip view starts with its default channels when it activates.
extern int ApplyDefaultChannels;
void OpenTripView();
// The sample table; with offer_save its Save button shows.
void OpenSampleTable(bool offer_save);
// The cell the sample table selects when it shows next.
void PlaceSampleTableCursor(int sel_row, int sel_col);
// The comparison of TripSamples and TripSamples2 under the two trips' titles.
void OpenComparison(const std::string& title1, const std::string& title2);

}  // namespace tav
