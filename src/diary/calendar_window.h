// TForm33: the week calendar. A grid of weeks, Monday first, one cell per
// day with the day's sums of the chosen kind of sport in up to five text
// lines, a zone bar and an icon for the other kinds, and a summary column
// per week. Clicks open the zone sums, the zone pie and the diary's rows of
// a day or a week; the chart button opens the six-chart overview for the
// last weeks on screen. The model is rebuilt on every activation.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "diary/calendar_cells.h"
#include "platform/canvas.h"
#include "platform/controls.h"
#include "platform/graphics.h"
#include "platform/grid.h"

class TForm33 : public tav::TForm {
 public:
  TForm33();
  ~TForm33() override;

  // ---- Texts (the language tables write them): 0 week-number title, 1-7
  // Monday to Sunday, 8 summary title, 10 "week", 11-30 the line items,
  // 31-33 hints of SB_SEL by kind.
  static constexpr int kUiTexts = 34;
  std::array<std::string, kUiTexts> UiText;

  // First day of the period the overview button hands to the six-chart
  // overview (a date value).
  double PeriodStart = 0.0;

  // ---- State -------------------------------------------------------------------
  int CalendarShowIndex = 0;  // configuration in use (RB_S1..RB_S3)
  int CalendarLinesIndex = 2; // its lines-per-cell choice
  int CalendarEditIndex = 0;  // configuration open in the settings panel
  // Where the diary shows Zove's picture after a missed day click (grid
  // coordinates).
  int ZoveX = 160, ZoveY = 60;

  // ---- Handlers ----------------------------------------------------------------
  void FormActivate(tav::TControl* sender);
  void FormResize(tav::TControl* sender);
  void FormClose(tav::TControl* sender, tav::TCloseAction& action);
  void FormKeyDown(tav::TControl* sender, tav::WORD& key, tav::TShiftState shift);
  void CalGridDrawCell(tav::TControl* sender, tav::TCanvas& canvas, int col, int row, const tav::TRect& rect,
                       tav::TGridDrawState state);
  void CalGridMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void CalGridSelectCell(tav::TControl* sender, int col, int row, bool& can_select);
  void SB_SELClick(tav::TControl* sender);
  void SB_NWClick(tav::TControl* sender);
  void SB_G6Click(tav::TControl* sender);
  // Opens the settings panel on the configuration in use.
  void DO_1Click(tav::TControl* sender);
  void CB1Change(tav::TControl* sender);
  void RB_0Click(int index);   // RB_01..RB_03: the configuration to edit
  void RB_SClick(int index);   // RB_S1..RB_S3: the configuration in use
  void Cal_OKClick(tav::TControl* sender);
  void Cal_NOClick(tav::TControl* sender);
  void ZDP_SBClick(tav::TControl* sender);

  // Builds the model for the current list and kind, the caption and the
  // diagnostic memo (the model is cleared with fewer than 2 list lines).
  void BuildCalendar();
  // The grid row of the last week on screen (the row under the point at
  // 7/8 of the grid's width, 30 px above its bottom; the last row when no
  // row lies there).
  int LastWeekOnScreen() const;
  // The zone pie of a day (days 1) or of the week from a day index (days 7).
  void ShowCalendarPie(long long day_index, int days);

  // ---- Controls ------------------------------------------------------------------------
  tav::TStringGrid* CalGrid = nullptr;
  tav::TImage* Show_Zonen = nullptr;   // zone colour legend
  tav::TMemo* Mem = nullptr;           // hidden: the model's period values
  tav::TSpeedButton* SB_SEL = nullptr; // kind of sport: Tag 0 bike power, 1 bike HR, 2 run
  tav::TSpeedButton* SB_NW = nullptr;  // period of the overview button: Tag 1, 2, 4, 8
  tav::TSpeedButton* SB_G6 = nullptr;  // six-chart overview
  tav::TSpeedButton* DO_1 = nullptr;   // settings panel
  tav::TRadioButton *RB_S1 = nullptr, *RB_S2 = nullptr, *RB_S3 = nullptr;
  // Settings panel.
  tav::TPanel* Cal_Edit = nullptr;
  tav::TLabel* CaEL1 = nullptr;
  tav::TComboBox* CB1 = nullptr;  // lines "2".."5"
  std::array<tav::TComboBox*, 5> CB_Cal_Z{};  // CB_Cal_Z1..CB_Cal_Z5: item of each line
  tav::TRadioButton *RB_01 = nullptr, *RB_02 = nullptr, *RB_03 = nullptr;
  tav::TButton *Cal_OK = nullptr, *Cal_NO = nullptr;
  tav::TSpeedButton* ZDP_SB = nullptr;
  // Icons (80 x 80): PIC_01 bike, PIC_02 runner, PIC_03 mountain,
  // PIC_04 weights, PIC_05 swimmer, RuS several kinds; Zove: the picture the
  // diary shows after missed day clicks (its Tag counts the misses).
  tav::TImage *PIC_01 = nullptr, *PIC_02 = nullptr, *PIC_03 = nullptr, *PIC_04 = nullptr, *PIC_05 = nullptr,
              *RuS = nullptr, *Zove = nullptr;

 private:
  void CreateControls();
  void DrawPictures();
  // Shows the panel with as many item boxes as CB1 chooses lines; with
  // stored_items the boxes take the edited configuration's stored items.
  void ShowSettingsPanel(bool stored_items = true);
  void ConfigurationToCombos(int index);
  void DrawZoneLegend();
  // The settings panel's controls as wide as their texts, the panel around
  // them, inside the window.
  void LayoutSettingsPanel();
  // The narrowest day and summary column that shows every line a cell can
  // show (any item of the settings, with wide values) and the column titles
  // whole.
  int LeastColumnWidth() const;
  void DrawDayCell(tav::TCanvas& canvas, int col, int row, const tav::TRect& rect);
  void DrawSummaryCell(tav::TCanvas& canvas, int row, const tav::TRect& rect);
  void DrawLines(tav::TCanvas& canvas, const tav::TRect& rect, int x, int width, bool summary,
                 const tav::CalendarCellValues& values);
  bool first_resize_ = true;
  uint64_t activations_ = 0;
  // The rider and first Monday the grid's rows were scrolled for.
  std::string rows_rider_;
  int32_t rows_monday_ = 0;
  std::array<std::vector<tav::TPoint>, 6> masks_;  // silhouettes of PIC_01..PIC_05, RuS
  std::array<std::vector<tav::TPoint>, 6> small_masks_;  // the same, small (beside a date)
};

extern TForm33* Form33;
