// The distribution charts' computation, apart from the window: the bars of
// each histogram (share of the total time per bin) with their labels and the
// growth of the value axis, the zone bands behind the power bars, the
// caption text of a selection line, and the channel curve of one trip.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/trip_types.h"

namespace tav {

// The four histograms of a distribution record.
enum class Histogram { Power, HeartRate, Speed, Cadence };

struct HistogramBar {
  int Bin = 0;
  double Percent = 0;  // bin x 100 / the histogram's total time
  std::string Label;
};

// Start of every distribution chart's value axis; a bar above the axis end
// moves it to 1.05 x the bar.
inline constexpr double kBarAxisStart = 3.0;
double GrowBarAxis(double axis_max, double value);

// The bars of one histogram with the value axis they need:
//  - power: all 51 bins (a total of 0 counts as 1, so an empty record gives
//    51 bars of 0 %);
//  - heart rate: from the lowest non-zero bin above bin 0 to the highest
//    non-zero bin (bin 0 counts in the total but never gets a bar);
//  - speed and cadence: from bin 0 to the highest non-zero bin.
// An empty heart-rate, speed or cadence histogram gives no bars. Speed
// labels are in mph with kUnitMiles in unit_flags, else km/h.
struct HistogramChart {
  std::vector<HistogramBar> Bars;
  double AxisMax = kBarAxisStart;
};
HistogramChart HistogramBars(Histogram which, const DistributionData& d, int unit_flags);

// The label of bin b (within the histogram's bins).
std::string HistogramLabel(Histogram which, int bin, int unit_flags);

// Columns of the power chart's zone colours: zone k (1 .. zone_count - 1)
// spans from the pixel of limit k - 1 (the axis start for zone 1) to the
// pixel of limit k, where 13 W lies on the axis start and 526 W on its end.
// Every column is kept inside the axis; empty columns are left out.
struct ZoneBand {
  int Zone = 0;
  int Left = 0, Right = 0;  // pixels, Left < Right
};
std::vector<ZoneBand> ZoneBands(const int32_t (&limits)[10], int zone_count, int axis_start,
                                int axis_length);

// What the caption names of a selection line: the text after its first ';'
// (slot, then the label), cut at the first '|' and at the first '~', its
// first ';' turned into ',', at most 60 characters. "" for a line without ';'.
std::string SelectionLineText(std::string_view line);

// The channels of the curve chart.
enum CurveChannel : int { kCurvePower = 1, kCurveCadence = 2, kCurveSpeed = 3, kCurveHeartRate = 4 };

// One channel of a trip over its distance, with the altitude profile scaled
// into the channel's range. Altitude is smoothed at level 4, the channel at
// its own level (power 6, cadence 3, speed 3, heart rate 3). The extremes
// are taken over the records from 20 on.
struct ChannelCurve {
  std::vector<double> Distance;  // km, records 1 .. count - 1
  std::vector<double> Altitude;  // (altitude - AltitudeMin) x scale
  std::vector<double> Value;     // the smoothed channel
  double AltitudeMin = 0, AltitudeMax = 0;
  double ValueMax = 0;           // the channel's largest value (0 when none)
  double TripDistance = 0;       // km, distance of the last record
  double AxisMax = 1;            // value axis end: ValueMax, or 1 when that is not above 0
  double DistanceMax = 1;        // distance axis end: TripDistance, or 1 when not above 0
};
ChannelCurve BuildChannelCurve(const TripSample* samples, int count, CurveChannel channel);

// The smoothing level of a curve channel (power 6, the others 3).
int CurveSmoothLevel(CurveChannel channel);

}  // namespace tav
