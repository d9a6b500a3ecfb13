// TForm4: the evaluation window over the trips picked in the diary. A
// summary of the summed statistics and five trend charts with one point per
// trip: power, NP with heart rate and training stress, distance with speed
// and ascent, time in training zones, and peak powers. A click on a point
// shows that trip's zone pie (left button) or its distribution charts
// (right button, through the six-chart overview).
//
// The diary fills the selection list, clears Evaluated and shows the window;
// the first activation after that copies the selection, so later changes of
// the selection list by other windows cannot change what this window shows.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "analysis/evaluation_model.h"
#include "platform/chart.h"
#include "platform/controls.h"

class TForm4 : public tav::TForm {
 public:
  TForm4();

  // ---- Members other windows use ------------------------------------------------
  int FirstLine = 0;  // always 0
  int LineCount = 0;  // selection lines at the first activation
  // Texts (the language tables write them): 0 distance, 1 ascent, 2 IF,
  // 3 shares title, 4 and 7 grade, 5 trips, 6 speed, 8 zone shares,
  // 9 sessions, 10-12 zone titles (power, bike heart rate, run), 13 altitude
  // correction, 14 no stops.
  tav::EvaluationTexts UiText;
  float (&SectionMeans)[6] = tav::SectionMeans;
  // Cleared by the diary each time it hands over a new selection: the next
  // activation builds the caption, the summary and the overview's items once.
  bool Evaluated = false;
  std::string WeightUnitSuffix = "/kg";
  // Per selection line the zone shares in percent (column 1 also marks the
  // row as computed).
  std::vector<tav::ZoneShareRow> LineZoneShares;

  // The selection this window shows and its kind of sport (the diary's
  // selector when it was taken).
  const std::vector<std::string>& Lines() const { return lines_; }
  int Sport() const { return sport_; }
  // The selection line a chart point was drawn for, -1 when none.
  int LineOfPoint(const tav::TChartSeries* series, int point) const;

  // ---- Handlers ---------------------------------------------------------------------
  void FormActivate(tav::TControl* sender);
  void FormResize(tav::TControl* sender);
  void FormClose(tav::TControl* sender, tav::TCloseAction& action);
  void FormKeyDown(tav::TControl* sender, tav::WORD& key, tav::TShiftState shift);
  void SB_AWZClick(tav::TControl* sender);
  void SB_PGRAFClick(tav::TControl* sender);
  void SB_SGRAFClick(tav::TControl* sender);
  void SB_DGRAFClick(tav::TControl* sender);
  void SB_TGRAFClick(tav::TControl* sender);
  void SB_TGRAFMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void ShowPowerPeakTrend();
  void SB_Po_GewClick(tav::TControl* sender);
  void SB_TIMEClick(tav::TControl* sender);
  void SB_G6Click(tav::TControl* sender);
  void ChartClickSeries(tav::TControl* sender, tav::TChartSeries* series, int point, tav::TMouseButton button,
                        tav::TShiftState shift, int x, int y);
  void ChartClickLegend(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void ChartMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void LBoxClick(tav::TControl* sender);
  void ResetEvaluationView();
  void LayoutSummaryRows();
  void EnsureLineZoneShares(int line);

  // ---- Controls ---------------------------------------------------------------------
  tav::TChart* Chart = nullptr;
  // The ten line series (Series1, 5, 6, 7, 9, 2, 3, 4, 8, 11 of the design).
  std::array<tav::TChartSeries*, 10> Series{};
  tav::TSpeedButton *SB_AWZ = nullptr, *SB_PGRAF = nullptr, *SB_SGRAF = nullptr, *SB_DGRAF = nullptr,
                    *SB_TGRAF = nullptr, *SB_TIME = nullptr, *SB_G6 = nullptr, *SB_STAT = nullptr;
  tav::TSpeedButton* SB_Po_Gew = nullptr;  // on the chart: per-weight toggle
  tav::TLabel* LKennung_TB = nullptr;      // on the chart: which zones
  tav::TListBox* LBox = nullptr;           // on the chart: series on and off
  tav::TPanel* ZDP = nullptr;              // summary
  std::array<tav::TLabel*, tav::kSummaryRows> ZD{};  // ZD0 .. ZD9, ZDA, ZDB, ZDC
  tav::TShape* TRENN_L = nullptr;
  tav::TStaticText* TM_Label = nullptr;
  tav::TProgressBar* PB_Zones = nullptr;   // progress of the zone chart's reading

 private:
  void CreateControls();
  // Starts a chart: view reset, own button marked, series cleared, active,
  // on the left axis, out of the legend, and with no title.
  void BeginChart(tav::TSpeedButton* own);
  void ShowTrend(tav::TrendKind kind);
  bool HasRiderWeight() const;
  void FillSeries(const tav::TrendSeries& points);
  void FinishChart(int shown_series);
  // The smallest window: the view buttons beside the trademark line, the
  // summary at its full font, the chart of the view shown with its titles
  // and legend whole. A window below it grows.
  void UpdateLeastSize();
  // The selection list of the program becomes this window's selection (for
  // the windows opened from here) and the overview lists its trips.
  void HandSelectionOn();
  void PrimeOverview();
  void ApplySportEnabling();
  void SetBusy(bool on);

  std::vector<std::string> lines_;
  int sport_ = 0;
  int generation_ = 0;  // bumped by every new selection
  bool busy_ = false;
  bool abort_ = false;
  std::vector<std::pair<tav::TControl*, bool>> busy_saved_;
};

extern TForm4* Form4;
