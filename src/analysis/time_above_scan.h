// TForm8: time above a value of up to eight trips of the selection: per trip
// a falling curve of the time (or share of records) spent at each value of
// power, heart rate, speed or cadence or above it.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "analysis/analysis_common.h"
#include "core/trip_types.h"
#include "platform/chart.h"
#include "platform/controls.h"

namespace tav {

// Channels of the scan (the mode numbers of the window).
enum TimeAboveMode : int { kAbovePower = 1, kAboveHeartRate = 2, kAboveSpeed = 3, kAboveCadence = 4 };
inline constexpr int kTimeAboveClasses = 251;  // class 0..250 (power in 10-W classes)

// Records per value class of records 1..count-1, and the channel maximum
// (raw values; speed times speed_factor). Values below 0 or of class 250
// and above are not counted.
struct TimeAboveHistogram {
  std::array<double, kTimeAboveClasses> counts{};
  double channel_max = 0;
};
TimeAboveHistogram TimeAboveHistogramOf(const TripSample* samples, int count, int mode,
                                        double speed_factor);

// The curve of one trip: for classes 250 down to 1 the time in seconds
// (count x interval), or with `percent` the share of the count records, at
// that class or above; y is the class (x 10 for power).
CurvePoints TimeAboveCurve(const TimeAboveHistogram& h, int mode, int interval, int count,
                           bool percent);

// Labels of the time axis: every step seconds below `longest` ("h:mm"),
// the step (longest div (chart width - 50)) x 30 and at least 60 s.
std::vector<AxisTextLabel> TimeAboveTimeLabels(int longest, int chart_width);
// 0, 5, ..., 100 percent.
std::vector<AxisTextLabel> TimeAbovePercentLabels();
// The value axis maximum of a mode from the channel maximum over all trips.
double TimeAboveValueAxisMax(int mode, double channel_max);

}  // namespace tav

class TForm8 : public tav::TForm {
 public:
  TForm8();

  // Language texts: [0..3] chart titles per mode, [4] heart-rate axis,
  // [5] speed axis, [6] share axis, [7] time axis.
  std::array<std::string, 8> UiText = {"Power  Time", "HR     Time", "Speed  Time", "RPM    Time",
                                       "Pulse",       "Speed",       "Part",        "Time"};
  int FirstItem = 0;
  int ItemCount = 0;

  tav::TChart* Chart = nullptr;
  std::array<tav::TChartSeries*, 9> Series{};  // Series1 .. Series9
  tav::TSpeedButton *SB_PO = nullptr, *SB_PU = nullptr, *SB_SP = nullptr, *SB_RPM = nullptr,
                    *SB_UMST = nullptr, *SB_UMSP = nullptr;
  tav::TEdit* E_SKA = nullptr;
  tav::TStaticText* Show_Data = nullptr;

  void FormActivate(tav::TControl* sender);
  void FormResize(tav::TControl* sender);
  void SB_POClick(tav::TControl* sender);
  void SB_PUClick(tav::TControl* sender);
  void SB_SPClick(tav::TControl* sender);
  void SB_RPMClick(tav::TControl* sender);
  void SB_UMSTClick(tav::TControl* sender);
  void ScanDistribution(int mode);
  void ChartMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x,
                      int y);
  // The lines the window was opened with.
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  void SelectMode(tav::TSpeedButton* button, int mode);
  // The smallest window: the chart with its titles and legend whole and a
  // plot that reads, above the row of buttons.
  void UpdateLeastSize();
  // Taken from ScanList and the diary's selection kind when an opener shows
  // the window; kept while the user goes elsewhere and comes back.
  std::vector<std::string> lines_;
  int basis_ = 0;
  uint64_t taken_at_show_ = 0;
};

extern TForm8* Form8;

namespace tav {
// Typed value-axis maxima per mode (-1: computed), the mode of the last scan
// and the unit of the readout.
extern std::array<float, 4> AllTimeAxisMax;
extern int AllTimeMode;
extern std::string AllTimeUnitText;
}  // namespace tav
