// The computations of the heart rate against power window over one ride:
// view 0 the heart rate and its change per minute, view 1 heart rate as a
// straight line of power (rising, falling and all records), view 2 the
// heart-rate phases with their mean power, view 3 the drift of heart rate
// per watt through the ride. Pure functions over the ride's records; the
// window only copies their results into its chart.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/analysis_common.h"
#include "core/trip_types.h"
#include "platform/controls.h"

namespace tav {

enum HrPowerViewKind : int { kViewHeartRateChange = 0, kViewHeartRateOnPower = 1, kViewPhases = 2,
                             kViewDrift = 3 };
inline constexpr int kHrPowerSeries = 12;  // Series1 .. Series12
inline constexpr int kHrDelayItems = 13;   // 0, 5, ..., 60 s
// The shortest part of the ride a zoom shows (records).
inline constexpr int kMinTimeWindow = 60;

// Least-squares line y = a + b x from sums in double precision. A fit of
// fewer than two points, or of points whose x do not vary, is no line.
struct LineFit {
  bool ok = false;
  double a = 0, b = 0;
};
struct FitSums {
  double sx = 0, sy = 0, sxy = 0, sxx = 0;
  int64_t n = 0;
  void Add(double x, double y) {
    sx += x;
    sy += y;
    sxy += x * y;
    sxx += x * x;
    ++n;
  }
  LineFit Fit() const;
};
// "HR = a + POWER * b", "" for no line.
std::string HeartRateFitText(const LineFit& fit);
// The drift per hour of a fit over record indexes (slope x 3600 / interval),
// "HR / POWER = a +- drift * <time word>[H]"; "" for no line.
std::string DriftFitText(const LineFit& fit, int interval, const std::string& timeWord);

// The time labels: every `step` records below `count`, "h:mm" of the
// record's time, or with a power scale "%4.0f   h:mm" led by the power that
// position stands for. The step: (length div (chart width - 50)) x 30,
// at least 60 s and at least 30 records.
int TimeLabelStep(int length, int chartWidth, int interval);
std::vector<AxisTextLabel> TimeLabels(int count, int step, int interval, double powerScale = 0);

// The part of the ride shown (records).
struct TimeWindow {
  int start = 0, length = 0;
  bool operator==(const TimeWindow&) const = default;
};
// Zooming in halves the length (not below kMinTimeWindow) and keeps the
// centre; zooming out doubles it (at most the ride) and moves the start left
// by half the new length. The window always lies within the ride.
TimeWindow ZoomTimeWindow(TimeWindow w, bool in, int count);
// Scrolling moves the start two thirds of the length from the shown minimum,
// keeping the window within the ride.
TimeWindow ScrollTimeWindow(double shownMin, int length, bool right, int count);

// Points of one series; colours empty while every point has the series colour.
struct SeriesPoints {
  std::vector<double> x, y;
  std::vector<TColor> color;
  void Add(double px, double py) {
    x.push_back(px);
    y.push_back(py);
    if (!color.empty()) color.push_back(clTeeColor);
  }
  void Add(double px, double py, TColor c);
};

struct ValueRange {
  double min = 0, max = 0;
};

struct HrPowerInput {
  const TripSample* samples = nullptr;
  int count = 0;            // records, header included
  int interval = 1;         // seconds between records
  int powerHalfWidth = 30;  // smoothing (records)
  int heartRateHalfWidth = 15;
  int delay = 0;            // records by which heart rate follows power
  bool altitude = false;    // altitude overlay
  bool fromClip = false;    // opened on a clip of the trip view (else from the diary)
  int chartWidth = 800;
  std::array<std::string, 7> texts;  // the window's language texts
};

struct HrPowerView {
  bool drawn = false;  // false: stopped early (no power, no heart rate, too short)
  std::array<SeriesPoints, kHrPowerSeries> series;
  std::vector<AxisTextLabel> labels;  // Series1
  int labelStep = 0;
  ValueRange bottom, left{0, 100}, right{0, 100};
  bool rightShown = false, leftGrid = true, rightGrid = true;
  std::string title, leftTitle, rightTitle, bottomTitle;
  std::string risingFit, fallingFit, allFit;
  TColor fitColor = clRed;  // Series10
  int margin = 0;
  double powerScale = 0;    // record positions per watt (views 1 and 2)
  float altitudeMax = 0, altitudeMin = 0, altitudeScale = 1;
};
HrPowerView ComputeHrPowerView(int view, const HrPowerInput& in);

}  // namespace tav
