// TForm35: the six-chart overview. Six bar charts side by side over one
// sequence of items (trips of the trip list, trips of the selection, or the
// days of a calendar period), each showing one quantity per item as a value
// or as a percentage of the largest; chart 1 also draws each item's ride
// time against a minute axis. A right click on a bar opens the distribution
// charts of that trip or day.
//
// Openers set Tag (and, where needed, FirstItem, ItemCount and the
// calendar's PeriodStart) and show the window:
//   5  settings panel, then the first trips of the trip list (Tag becomes 6);
//   10 ItemCount days of the calendar from its PeriodStart (the date of
//      day FirstItem, counted from the calendar's year start, at the
//      opening); each day's values are read by its date, so a
//      calendar rebuilt since (another rider, an earlier trip) cannot put
//      one day's values under another day's date;
//   20 the selection list, all of it: read anew on every activation, so
//      ItemCount becomes its line count then (a list handed over by another
//      window since the opening is shown whole, never cut to the old count);
//   any other value: trip-list lines FirstItem .. FirstItem + ItemCount - 1.
// ItemCount is the span the opener asked for; the items taken from it (manual
// entries and lines without a slot are left out) are Items().
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "analysis/overview_model.h"
#include "platform/chart.h"
#include "platform/controls.h"

class TForm35 : public tav::TForm {
 public:
  TForm35();
  ~TForm35() override;

  // ---- Texts (the language tables write them) ------------------------------
  // 0 distance, 1 power, 2 speed, 3 ascent, 4 heart rate, 5 work, 6-9 average
  // power, speed, cadence, heart rate, 10 normalised power, 11 absolute
  // value, 12 percent, 13 temperature.
  tav::OverviewTexts UiText;
  // The caption's date placeholders while there is nothing to chart: day
  // first, and month first (US date order).
  std::string DateHolders[2] = {"tt.mm.jjjj", "mm/tt/jjjj"};

  // ---- Set by the openers ------------------------------------------------------
  int FirstItem = 0;
  int ItemCount = 0;

  // ---- Items ----------------------------------------------------------------------
  const std::vector<tav::OverviewItem>& Items() const { return items_; }
  void LoadListItems();      // trip-list lines FirstItem .. FirstItem + ItemCount - 1
  void LoadSelectedTrips();  // selection lines 0 .. ItemCount - 1
  void BuildDayItems();      // ItemCount days from the calendar's PeriodStart
  tav::OverviewMode Mode() const { return tav::OverviewModeOfTag(Tag); }

  // Fills chart k (0-5) with its quantity in its mode.
  void FillChart(int k);
  // The statistics of an item (a trip of the selection, a day of the
  // calendar) in the distribution charts; only for a button other than the
  // left one. Nothing in list mode or for an index without item.
  void ShowItemStats(int item, tav::TMouseButton button);
  // Open the distribution charts of a day (a date value) and of a trip (a
  // slot): the diary's zone sums.
  std::function<void(double date)> OpenDayStats;
  std::function<void(int slot)> OpenTripStats;

  // Quantities and modes as the settings panel opened with them.
  int32_t Graf6SettingsBackup[2][6] = {};

  // ---- Handlers ---------------------------------------------------------------------
  void FormActivate(tav::TControl* sender);
  void FormResize(tav::TControl* sender);
  void FormClose(tav::TControl* sender, tav::TCloseAction& action);
  void FormKeyDown(tav::TControl* sender, tav::WORD& key, tav::TShiftState shift);
  void FormMouseMove(tav::TControl* sender, tav::TShiftState shift, int x, int y);
  void CB_G6_1Change(tav::TControl* sender);
  void CB_G6_2Change(tav::TControl* sender);
  void CB_G6_3Change(tav::TControl* sender);
  void G6l_OKClick(tav::TControl* sender);
  void G6l_NOClick(tav::TControl* sender);
  void ZDP_SBClick(tav::TControl* sender);
  void EnlargeClick(int k);
  void ChartMouseDown(int k, tav::TMouseButton button, int x, int y);
  void ChartMouseMove(int k, int x, int y);
  void ChartClickSeries(int k, tav::TChartSeries* series, int index, tav::TMouseButton button, int x, int y);
  void QuantityComboClick(int k);  // CB_C2 (k 1) and CB_C5 (k 4)

  // ---- Controls -----------------------------------------------------------------------
  std::array<tav::TChart*, 6> Ch{};             // Ch_1 .. Ch_6
  std::array<tav::TChartSeries*, 6> Bars{};     // the bar series of each chart
  std::array<tav::TChartSeries*, 6> Lines{};    // the line series (ride time, chart 1)
  std::array<tav::TSpeedButton*, 6> SB{};       // SB_1 .. SB_6
  std::array<tav::TEdit*, 6> E{};               // E_1 .. E_6
  std::array<tav::TStaticText*, 6> Ch_L{};      // value labels Ch_L1 .. Ch_L6
  std::array<tav::TShape*, 6> Shapes{};         // cursor lines Shape1 .. Shape6
  std::array<tav::TStaticText*, 6> Zeiger{};    // cursor labels Zeiger_1 .. Zeiger_6
  tav::TShape* Shape = nullptr;                 // chart 1's minute cursor
  tav::TEdit* E_11 = nullptr;                   // reference speed of the minute axis
  tav::TComboBox *CB_C2 = nullptr, *CB_C5 = nullptr;
  tav::TPanel* P_G6 = nullptr;
  tav::TComboBox *CB_G6_1 = nullptr, *CB_G6_2 = nullptr, *CB_G6_3 = nullptr;
  tav::TButton *G6l_OK = nullptr, *G6l_NO = nullptr;
  tav::TSpeedButton* ZDP_SB = nullptr;
  tav::TSpeedButton *SB_7 = nullptr, *SB_0 = nullptr;  // glyph holders
  tav::TMemo* Mem = nullptr;                           // hidden: the weights of the last fill

 private:
  void CreateControls();
  // The smallest window: each chart, whichever quantity it shows, with its
  // title beside the enlarge button and its value-axis title along the
  // plot; the settings panel over one row.
  void UpdateLeastSize();
  void PlaceSettingsPanel();
  void PlaceChart(int k);
  void FitCursor(int k);
  void HideCursor(int k);
  int ChartOfCombo(const tav::TComboBox* combo) const;
  std::vector<tav::OverviewItem> items_;
  int last_cursor_ = -1;           // chart whose cursor was shown last
  std::array<int, 6> cursor_{};    // 0 none, 1 value axis, 2 minute axis (chart 1)
};

extern TForm35* Form35;
