// TForm16: heart rate against power of one ride (the comparison trip
// buffer, loaded by the diary or as a clip of the single-trip view), in four
// views on one chart: heart rate and its change, heart rate on power with
// fitted lines, heart-rate phases over time, and the drift of heart rate
// per watt.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/heart_rate_power_views.h"
#include "platform/chart.h"
#include "platform/controls.h"

class TForm16 : public tav::TForm {
 public:
  TForm16();

  // Language texts: [0] delay, [1] chart title, [2] rising, [3] falling,
  // [4] time, [5] heart rate, [6] title of view 0.
  std::array<std::string, 7> UiText = {"Shift", "Power     HR", "Up", "Down", "Time", "Pulse",
                                       "heartrate changes (?\?\?)"};
  int WindowLength = 0, WindowStart = 0;  // records shown
  float PowerScale = 0;
  uint8_t ViewMode = tav::kViewPhases;
  bool AltitudeShown = false;
  float AltitudeMax = 0, AltitudeMin = 0, AltitudeScale = 1;
  std::string AltitudeUnitText = "[m]";
  int HeartRateDelay = 0;  // records
  int SmoothMargin = 0;
  std::string RisingFitText, FallingFitText, AllFitText;

  tav::TChart* Chart = nullptr;
  std::array<tav::TChartSeries*, tav::kHrPowerSeries> Series{};  // Series1 .. Series12
  tav::TSpeedButton *SB_02 = nullptr, *SB_01 = nullptr, *SB_03 = nullptr, *SB_04 = nullptr;
  tav::TSpeedButton *SB_ZO = nullptr, *SB_ZL = nullptr, *SB_ZR = nullptr, *SB_ALT = nullptr;
  tav::TComboBox *CB_VS = nullptr, *CB_G_PO = nullptr, *CB_G_HR = nullptr;
  tav::TLabel *L_VS = nullptr, *L_G_PO = nullptr, *L_G_HR = nullptr;

  void FormActivate(tav::TControl* sender);
  void FormResize(tav::TControl* sender);
  void SB_02Click(tav::TControl* sender);
  void SB_01Click(tav::TControl* sender);
  void SB_03Click(tav::TControl* sender);
  void SB_04Click(tav::TControl* sender);
  void SB_ALTClick(tav::TControl* sender);
  void SB_ZOMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x,
                      int y);
  void SB_ZLClick(tav::TControl* sender);
  void SB_ZRClick(tav::TControl* sender);
  void ChartMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x,
                      int y);
  void ChartAfterDraw(tav::TControl* sender, tav::TCanvas& canvas);
  // Computes and shows a view (0..3).
  void ShowView(int view);
  // Seconds between the ride's records, as the window took them.
  int Interval() const { return interval_; }

 private:
  // PlaceControls, then UpdateLeastSize.
  void LayoutControls();
  // The chart, the view buttons, the boxes with their labels and the zoom
  // buttons placed in the client area.
  void PlaceControls();
  // The smallest window: the chart with its titles whole and a plot that
  // reads; below it the view buttons, each label above its box, and the
  // zoom buttons side by side.
  void UpdateLeastSize();
  void SelectButton(tav::TSpeedButton* button);
  void ApplyTimeWindow();
  void Recompute() { ShowView(ViewMode); }
  std::vector<tav::TripSample> trip_;  // the ride, taken when the window is opened
  int interval_ = 1;
  uint64_t taken_at_show_ = 0;
  int computed_width_ = -1;  // chart width of the last computation
  int left_row_end_ = 0;     // right end of the view buttons and the labelled boxes
  tav::TTimer* resize_timer_ = nullptr;
};

extern TForm16* Form16;
