// TForm51: the grade scan. How the distance ridden spreads over the road
// gradient: one cumulative curve per trip for several trips; for one trip
// three cumulative curves, or the gradient profile over distance with the
// altitude (zoom and pan along the distance) and a channel drawn under it
// (power, heart rate, speed, cadence, with a gear curve); a channel against
// the gradient of every record coloured by cadence, for one trip or in small
// charts for two to four trips.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "analysis/analysis_common.h"
#include "core/core_data.h"
#include "platform/chart.h"
#include "platform/controls.h"
#include "platform/graphics.h"

namespace tav {

// Gradient classes: class c stands for 0.1 x c - 15 percent.
inline constexpr int kGradeClasses = 301;
// The class of a gradient in percent: trunc(g x 10 + 150.5), clamped to
// 0..300 before the conversion (huge gradients; NaN counts as flat).
int GradeClass(double grade);
inline double GradeOfClass(int c) { return 0.1 * c - 15; }

// Gradient [%] of records 10..count-11 from a 14-record window of distance
// (km) and smoothed altitude (m), written to grade[i] (other entries 0).
// one_trip: a window of at most 0.02 km repeats the gradient before it (0
// at the start); otherwise a window of no distance gives 0. clamp > 0 limits
// the gradients to +-clamp.
void RecordGrades(const TripSample* samples, const SmoothSample* smooth, int count, bool one_trip,
                  double clamp, float* grade);

// Distance (km) and record count per class over records 10..count-11.
struct GradeClassSums {
  std::array<double, kGradeClasses> distance{};
  std::array<int, kGradeClasses> records{};
};
GradeClassSums GradeClassSumsOf(const TripSample* samples, const float* grade, int count);

// Cumulative curves: distance at each gradient or steeper (from +15 % down),
// at each gradient or flatter (from -15 % up), and by record share (count
// records scaled to total km), each with a point per non-empty class.
CurvePoints GradeCurveFromSteep(const GradeClassSums& sums);
CurvePoints GradeCurveFromFlat(const GradeClassSums& sums);
CurvePoints GradeCurveByShare(const GradeClassSums& sums, int count, double total);

// Distance labels "%6.2f": count + 1 labels over [start, start + width].
std::vector<AxisTextLabel> DistanceLabels(double start, double width, int count);
// The label count of a chart: (width - margins) div 30, at least 1.
int DistanceLabelCount(int plot_width);

// The zoom window along the distance (km).
struct ZoomWindow {
  double start = 0, width = 0;
};
// Zoom in (halve around the centre; Ctrl: to 1.05 km; below 2 km nothing),
// out (double; Ctrl: whole trip), pan right and left by two thirds; every
// result lies within 0..total.
ZoomWindow ZoomIn(ZoomWindow w, bool ctrl, double total);
ZoomWindow ZoomOut(ZoomWindow w, bool ctrl, double total);
ZoomWindow PanRight(ZoomWindow w, double total);
ZoomWindow PanLeft(ZoomWindow w, double total);

// Maps values in [lo, hi] onto [axis_lo, axis_hi] (profile curves drawn on
// the gradient axis); a flat range maps with scale 1.
struct ProfileScale {
  double lo = 0, scale = 1, axis_lo = 0;
  ProfileScale(double value_lo, double value_hi, double axis_lo, double axis_hi);
  double operator()(double v) const { return (v - lo) * scale + axis_lo; }
};

// Gear heights of records 1..count-1: raw speed / raw cadence x factor,
// repeating the last one where there is no cadence (0 before the first).
std::vector<double> GearHeights(const TripSample* samples, int count, double factor);

// The green of a point by its smoothed cadence: 55 at 0 and 255 at the
// maximum (raised to 10), clamped to 0..255.
TColor CadenceColor(double cadence, double cadence_max);

// Metrics of the channel views.
enum GradeMetric : int { kGradePower = 1, kGradeHeartRate = 2, kGradeSpeed = 3, kGradeCadence = 4 };

}  // namespace tav

class TForm51 : public tav::TForm {
 public:
  TForm51();

  // Language texts (see the window's titles and legends).
  std::array<std::string, 16> UiText = {
      "Distribution of gradient/power", "Distribution of gradient/pulse",
      "Distribution of gradient/speed", "Distribution of gradient/RPM", "HR", "Terrain",
      "Current gradient", "Sorted from plus to minus", "Sorted from minus to plus",
      "Ordered by time", "Distribution of the gradients", "Gradient", "Speed", "Gears",
      "Distance", "Share"};

  // ---- State -----------------------------------------------------------------
  int FirstItem = 0, ItemCount = 0;
  tav::ZoomWindow Zoom;
  double TotalDistance = 0;
  double MetricMax = 0, MetricMin = 0;
  bool ProfileFlag = false;
  int LabelCount = 0;
  std::array<int, 5> SmoothLevels = {6, 6, 6, 6, 6};  // [metric], [0] unused
  int CurrentMetric = tav::kGradePower;
  double CadenceMax = 0;
  double AltitudeMax = 0, AltitudeMin = 0;
  std::string TripTitleText;
  // The loaded one-trip scan: the trip, its smoothed channels and gradients.
  tav::TripFileData Trip;
  std::vector<tav::SmoothSample> Smooth;
  std::vector<float> GradePerRecord;

  // ---- Controls --------------------------------------------------------------
  tav::TChart* Chart = nullptr;
  std::array<tav::TChartSeries*, 9> Series{};  // Series1 .. Series9
  tav::TChart* Ch_SK = nullptr;
  tav::TChartSeries *Series10 = nullptr, *Series11 = nullptr;
  std::array<tav::TChart*, 4> Ch{};  // Ch_1 .. Ch_4
  tav::TPaintBox* RPM_Legende = nullptr;
  tav::TLabel *L_1 = nullptr, *L_2 = nullptr, *L_3 = nullptr, *L_GLA = nullptr;
  tav::TComboBox* CB_G_PO = nullptr;
  tav::TSpeedButton *SB_ALT = nullptr, *SB_SK = nullptr, *SB_ZL = nullptr, *SB_ZO = nullptr,
                    *SB_ZR = nullptr, *SB_PO = nullptr, *SB_PU = nullptr, *SB_SP = nullptr,
                    *SB_RPM = nullptr, *SB_SR = nullptr;
  tav::TEdit* E_SKA = nullptr;
  tav::TStaticText* Show_DAT = nullptr;
  tav::TMemo* Memo1 = nullptr;

  // ---- Handlers --------------------------------------------------------------
  void FormActivate(tav::TControl* sender);
  void FormResize(tav::TControl* sender);
  void FormKeyDown(tav::TControl* sender, tav::WORD& key, tav::TShiftState shift);
  void SB_01Click(tav::TControl* sender);
  void ScanGradeTrip();
  void SB_ALTClick(tav::TControl* sender);
  void SB_ZOMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift,
                      int x, int y);
  void SB_ZLClick(tav::TControl* sender);
  void SB_ZRClick(tav::TControl* sender);
  void ApplyZoom();
  void ChartMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x,
                      int y);
  void ChartAfterDraw(tav::TControl* sender, tav::TCanvas& canvas);
  void ColorChart(tav::TChart& chart);
  // Metric views.
  void MetricClick(int metric);
  void CB_G_POChange(tav::TControl* sender);
  void SB_SRClick(tav::TControl* sender);
  void SB_SKClick(tav::TControl* sender);
  void ShowMetricOverGrade(int metric);
  void ScanMetricOverGradeTrips(int metric);
  void FillSmallChart(int metric, tav::TChart& chart, const std::string& title,
                      const tav::TripFileData& trip, const std::vector<tav::SmoothSample>& smooth,
                      const std::vector<float>& grade);
  void LayoutSmallCharts();
  // The smallest window: the chart with its titles and legend whole and a
  // plot that reads; the row below with every button, the smoothing label
  // beside its box and the zoom buttons or the cadence legend.
  void UpdateLeastSize();
  void CommonSmallChartScale();
  void DrawMetricScale();
  void SelectMetricButton(int metric);
  // The lines the window was opened with.
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  // Taken from ScanList when an opener shows the window; kept while the
  // user goes elsewhere and comes back.
  std::vector<std::string> lines_;
  uint64_t taken_at_show_ = 0;
  void SetUpAxes();
  void SmoothMetric(int metric, const tav::TripFileData& trip, std::vector<tav::SmoothSample>& out);
  void DrawAltitude(double axis_lo, double axis_hi);
  void ScanSeveralTrips();
  void LeaveSmallCharts();
  bool MetricSelected() const;
};

extern TForm51* Form51;
