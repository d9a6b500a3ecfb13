// TForm34: the distribution charts. Five bar charts of one distribution
// record (DistributionView): the peak powers and where the time went by
// power, heart rate, speed and cadence; for a trip picked in the six-chart
// overview's selection also the smoothed curve of one channel over the
// distance with the altitude profile.
//
// Openers fill DistributionView, set the caption and show the window; every
// activation refills the charts. A view of a selection line (opened through
// the overview's ShowItemStats) names the line's label in the caption and
// offers the channel curve; the opener states that by setting NextItemLine
// before it shows the window.
//
// An opening takes its record and its selection line: the window shown
// again later draws that record and names that line, whatever other windows
// have left in DistributionView or in the selection list since, so the
// caption, the bars and the curve always belong to one trip (or one sum).
#pragma once

#include <array>
#include <memory>
#include <string>

#include "core/trip_file.h"
#include "platform/canvas.h"
#include "platform/chart.h"
#include "platform/controls.h"

class TForm34 : public tav::TForm {
 public:
  TForm34();
  ~TForm34() override;

  // ---- Texts (the language tables write them) ------------------------------
  // 0 time axis, 1 heart-rate title, 2 heart-rate axis, 3 speed title,
  // 4 speed axis, 5 cadence title, 6 cadence axis, 7 peak title, 8 power.
  std::array<std::string, 9> UiText;

  // ---- Openers ---------------------------------------------------------------
  // The index in ScanList of the selection line whose trip the next opening
  // shows (-1: the next opening shows no selection line). Taken and reset by
  // the activation that follows a new opening.
  int NextItemLine = -1;
  // Set by an opener that filled DistributionView anew: the next activation
  // takes the record (and NextItemLine) even under an unchanged caption.
  bool NewOpening = false;
  // The caption as the opener set it (the sums' totals and dates); the
  // window extends this one on activation, so the caption never grows.
  std::string OpenerCaption;
  // The selection line shown now (-1: a trip, a day or a period of the
  // diary or the calendar); the channel curve is offered only for a line.
  int ShownItemLine = -1;
  // That line as it read when the window was opened: the caption names it,
  // and the curve is drawn only while the selection still holds it there.
  std::string ShownLine;
  // The record the bars show: DistributionView as the opener left it.
  tav::DistributionData ShownView;

  // ---- Layout (kept by the resize handler) ------------------------------------
  int HalfWidth = 0;   // (client width - 12) / 2
  int ThirdWidth = 0;  // (client width - 18) / 3

  // ---- Handlers ------------------------------------------------------------------
  void FormActivate(tav::TControl* sender);
  void FormResize(tav::TControl* sender);
  void FormKeyDown(tav::TControl* sender, tav::WORD& key, tav::TShiftState shift);
  // Widens a distribution chart to the window's width, or puts it back.
  void WidenClick(tav::TControl* button);
  void Ch_RODblClick(tav::TControl* sender);
  void Ch_LO2DblClick(tav::TControl* sender);
  // The curve of channel c (1 power, 2 cadence, 3 speed, 4 heart rate) of
  // the trip of ShownItemLine; nothing for other views, manual lines and
  // trips that cannot be read.
  void ShowChannelCurve(int channel);

  // Fill the five bar charts from ShownView.
  void ShowPeakBars();
  void ShowPowerDistribution();
  void ShowHeartRateDistribution();
  void ShowSpeedDistribution();
  void ShowCadenceDistribution();

  // ---- Controls --------------------------------------------------------------------
  tav::TChart *Ch_LO = nullptr, *Ch_RO = nullptr, *Ch_LU = nullptr, *Ch_MU = nullptr,
              *Ch_RU = nullptr, *Ch_LO2 = nullptr;
  tav::TChartSeries *Series1 = nullptr, *BarSeries1 = nullptr, *BarSeries2 = nullptr,
                    *BarSeries3 = nullptr, *BarSeries4 = nullptr;
  tav::TChartSeries *LineSeries1 = nullptr, *Series2 = nullptr, *Series3 = nullptr;
  tav::TSpeedButton *SB_RO = nullptr, *SB_LU = nullptr, *SB_MU = nullptr, *SB_RU = nullptr;
  tav::TEdit *E_RO = nullptr, *E_LU = nullptr, *E_MU = nullptr, *E_RU = nullptr;
  // Holders of the widen buttons' glyphs: normal and widened.
  tav::TSpeedButton *SB_7 = nullptr, *SB_0 = nullptr;

  // The altitude range of the last drawn curve [m].
  double CurveAltitudeMax = 0, CurveAltitudeMin = 0;

 private:
  struct Panel {
    tav::TChart* chart;
    tav::TSpeedButton* button;
    tav::TEdit* edit;
  };
  void CreateControls();
  // The smallest window: every chart with its titles whole, beside its
  // widen button, and a plot that reads.
  void UpdateLeastSize();
  // The charts placed in the client area (FormResize: then measured).
  void PlaceCharts();
  void PlaceChart(const Panel& p, bool widened);
  void PaintZoneBands(tav::TCanvas& canvas, bool full_height);
  void ChartMouseDown(const Panel& p, int x, int y);
  std::array<Panel, 4> panels_{};  // power, heart rate, speed, cadence
  bool editor_opened_ = false;      // the last press opened an axis editor
  std::string shown_caption_;       // the caption as last composed
  bool view_taken_ = false;         // ShownView holds an opener's record
};

extern TForm34* Form34;

