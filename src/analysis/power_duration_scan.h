// TForm5: the power-duration scan over trips picked in the diary, on a
// logarithmic time axis: how long each power was held (the longest run above
// every threshold, per trip or for one trip at six smoothing levels), the
// best mean power for every duration (per trip), and two blocks of trips
// compared (block 1 from the best-power worker, block 2 computed here).
//
// The window takes the diary's mode (TForm3::ScanMode) and selection
// (ScanList) each time it is opened and recomputes from them on every
// activation, so the diary resetting its mode later changes nothing here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/power_duration_curves.h"
#include "platform/chart.h"
#include "platform/controls.h"
#include "platform/thread.h"

namespace tav {

// What the window draws for a mode and a number of lines.
enum class PowerScanView { LongestRunOne, LongestRunTrips, MeanMaxOne, MeanMaxTrips, Blocks };
PowerScanView ChoosePowerScanView(int mode, int item_count);

// The label points of the time axis up to the duration D (seconds): text
// "h:mm:ss" at x; the step grows with x; at least one label.
struct TimeLabel {
  double x = 0;
  std::string text;
};
std::vector<TimeLabel> PowerScanTimeLabels(int64_t duration);

// The readout of a chart point at time t [s] and power [W].
std::string PowerScanReadout(double seconds, double power);

// The highest threshold of the longest-run curves for a power maximum P:
// P rounded up to the next ten above P + 9.
int32_t LongestRunTop(int32_t max_power);
inline constexpr int32_t kLongestRunBottom = 21;  // the lowest threshold [W]

// The window caption: LangLabels[10] with the dates of the first and the
// last of the lines longer than 10 characters in text order.
std::string PowerScanCaption(const std::vector<std::string>& lines);

// The lines of a block view: block 2 (the lines after the separator line
// "BLOCK2"; none in mode 50) and the legend titles: block 1 from its first
// to its last date, block 2 likewise (a single date twice).
struct PowerScanBlocks {
  std::string Title1, Title2;
  std::vector<std::string> Block2;
  bool HasBlock2 = false;
};
PowerScanBlocks SplitPowerScanBlocks(const std::vector<std::string>& lines, int mode);

}  // namespace tav

class TForm5 : public tav::TForm {
 public:
  TForm5();
  ~TForm5() override;

  // ---- Members other windows and the texts use ---------------------------------------
  int FirstItem = 0;    // always 0
  int ItemCount = 0;    // lines processed (cut to 8 in the per-trip views)
  int SmoothChoice = 0; // smoothing level 0..9 of the longest-run curves
  // [0] mean-maximal title, [1] longest-run title, [2] time axis stem
  // (German until a text table is applied).
  std::array<std::string, 3> UiText{"Power Max Mittel", "Power Max Interval", "Zeit"};

  // Hand-over of the best-power worker: written by the worker before it
  // signals BlockDone, read by the block view only after the signal.
  float BlockMaxPower = 0.0f;
  int32_t BlockMaxDuration = 3600;
  tav::TEvent BlockDone;

  // The mode and lines taken at the last opening.
  int Mode() const { return mode_; }
  const std::vector<std::string>& Lines() const { return lines_; }

  // ---- Handlers -------------------------------------------------------------------------
  void FormActivate(tav::TControl* sender);
  void FormResize(tav::TControl* sender);
  void FormClose(tav::TControl* sender, tav::TCloseAction& action);
  void FormKeyDown(tav::TControl* sender, tav::WORD& key, tav::TShiftState shift);
  void CB_GlattChange(tav::TControl* sender);
  void ChartMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void ChartMouseUp(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void SB_01Click(tav::TControl* sender);

  // Curve builders (SB_01Click picks one through BuildView).
  void ScanPowerDurationSingle();
  void ScanMeanMaxPowerSingle();
  void ScanMeanMaxPower();
  void ScanMeanMaxPowerBlocks();

  // ---- Controls -------------------------------------------------------------------------
  tav::TChart* Chart = nullptr;
  // Series1 (time labels on the bottom axis) .. Series9; Series[k] is Seriesk+1.
  std::array<tav::TChartSeries*, 9> Series{};
  tav::TComboBox* CB_Glatt = nullptr;
  tav::TLabel* L_GLA = nullptr;
  tav::TStaticText* Show_DAT = nullptr;
  tav::TEdit* E_SKA = nullptr;
  tav::TProgressBar* PB_Scan = nullptr;  // progress of long computations

 protected:
  // Draws the view into the prepared chart (one pass of SB_01Click).
  virtual void BuildView(tav::PowerScanView view);

 private:
  void CreateControls();
  void PlaceControls();
  // The smallest window: the chart with its titles and legend whole and a
  // plot that reads, above the smoothing row with room for the progress bar.
  void UpdateLeastSize();
  void TakeOpening();
  void PrepareChart();
  void PerTripLongestRuns();
  void FinishLongestRuns(int32_t max_power, int64_t max_duration);
  void SetTimeAxes(int64_t duration);
  void AddTimeLabels(int64_t duration);
  bool TakeBlock1();
  // Walks the trips of lines on all cores, showing progress while it takes
  // long; false when a newer request came in meanwhile.
  bool WalkTrips(const std::vector<std::string>& lines, std::vector<tav::TripCurve>& out);
  void AddCurvePoints(tav::TChartSeries* series, const tav::TripCurve& trip);

  int mode_ = 0;
  std::vector<std::string> lines_;
  uint64_t job_id_ = 0;          // the worker job of this opening (0: none)
  uint64_t seen_show_calls_ = 0;
  // Block 1 of this opening, once its job has finished.
  bool have_block1_ = false;
  std::vector<float> block1_curve_;
  float block1_power_ = 0.0f;
  int32_t block1_duration_ = 3600;
  bool busy_ = false;
  bool rerun_ = false;
};

extern TForm5* Form5;
