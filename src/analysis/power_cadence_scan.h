// TForm52: power against cadence and speed of the trip the diary loaded,
// and pedal torque against cadence with the trip's mean point and one
// iso-power curve per zone bound.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "analysis/analysis_common.h"
#include "core/core_data.h"
#include "platform/chart.h"
#include "platform/controls.h"

namespace tav {

// Newton metres per (watt / (1/min)): torque = power / cadence x this.
inline constexpr double kTorqueFactor = 9.55414;

// The scatter of smoothed cadence (above 40) and smoothed speed (above
// 5 km/h, times speed_factor) against smoothed power over records
// 1..count-1, and the maxima of what is drawn.
struct PowerCadenceSpeedPoints {
  CurvePoints cadence, speed;
  double power_max = 0, cadence_max = 0, speed_max = 0;
};
PowerCadenceSpeedPoints PowerCadenceSpeedOf(const SmoothSample* smooth, int count,
                                            double speed_factor);

// Torque against cadence over records 1..count-1: torque where the smoothed
// cadence is above 20, else 0 (every record is a point); the torque maximum
// over records above 10 rpm; the mean point of the records above 20 rpm when
// there are more than 10 of them.
struct TorqueCadencePoints {
  CurvePoints points;
  double torque_max = 0;
  std::optional<std::array<double, 2>> mean;  // cadence, torque
};
TorqueCadencePoints TorqueCadenceOf(const SmoothSample* smooth, int count);

// The torque of a constant power for cadences 5..149.
CurvePoints IsoPowerCurve(double watts);

// The readouts: a scatter point's cadence or speed and power, and the torque
// view's torque and cadence with the power they make.
std::string ScatterReadout(double cadence_or_speed, double power);
std::string TorqueReadout(double torque, double cadence);

// Power labels every 10 W from 0 up to power_max (at most kMaxPowerLabel).
inline constexpr double kMaxPowerLabel = 20000;
std::vector<AxisTextLabel> PowerLabels(double power_max);

// Smoothing levels of the two views; kept for the rest of the run.
extern int PowerCadenceSmoothLevel;  // starts at 6 (30 s)
extern int TorqueSmoothLevel;        // starts at 4 (15 s)

}  // namespace tav

class TForm52 : public tav::TForm {
 public:
  TForm52();

  std::array<std::string, 1> UiText = {"Speed"};
  std::string SpeedTitle;

  tav::TChart* Chart = nullptr;
  tav::TChartSeries *Series1 = nullptr, *Series2 = nullptr, *Series3 = nullptr, *Series4 = nullptr;
  tav::TChart* Chart1 = nullptr;
  tav::TChartSeries *LineSeries1 = nullptr, *LineSeries2 = nullptr, *Series15 = nullptr;
  std::array<tav::TChartSeries*, 8> IsoSeries{};  // Series5 .. Series12
  tav::TChartSeries *Series13 = nullptr, *Series14 = nullptr;
  tav::TComboBox* CB_G_PO = nullptr;
  tav::TLabel* L_G_PO = nullptr;
  tav::TSpeedButton *SB_PRS = nullptr, *SB_PR = nullptr;
  tav::TStaticText* Show_DAT = nullptr;
  tav::TEdit* E_SKA = nullptr;

  void FormActivate(tav::TControl* sender);
  void FormResize(tav::TControl* sender);
  void SB_PRSClick(tav::TControl* sender);
  void SB_PRClick(tav::TControl* sender);
  void CB_G_POChange(tav::TControl* sender);
  void ChartMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x,
                      int y);
  void Chart1MouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift,
                       int x, int y);
  void ShowPowerCadenceSpeed();
  void ShowTorqueCadence();
  // The trip's records as the window took them.
  const std::vector<tav::TripSample>& Trip() const { return trip_; }

 private:
  // The smallest window: the chart shown with its titles and legend whole
  // and a plot that reads, above the view buttons and the smoothing label
  // beside its box.
  void UpdateLeastSize();
  // Smooths the columns of the taken trip at `level` into smooth_.
  void SmoothTrip(std::initializer_list<tav::SmoothColumn> columns, int level);
  // The trip the diary loaded, its zone bounds and the diary's caption for
  // it, taken when an opener shows the window; kept while the user goes
  // elsewhere (and the diary loads other trips) and comes back.
  std::vector<tav::TripSample> trip_;
  std::array<float, tav::kZoneBlockWords> zones_{};
  std::string trip_caption_;
  std::vector<tav::SmoothSample> smooth_;  // the views' own smoothed channels
  uint64_t taken_at_show_ = 0;
};

extern TForm52* Form52;
