// Helpers of the power-duration tests: a trip's mean-maximal curve read the
// way the chart draws it (straight lines between its own points, nothing
// outside them), the period curve made of several trips by that plain
// definition, and power trips written to a rider's folder.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "analysis/power_duration_curves.h"
#include "core/core_test_util.h"
#include "core/trip_file.h"

namespace tav::testing_analysis {

// A trip's curve as drawn: its own points (x = length x interval seconds,
// y = best mean), straight lines between them, nothing outside them.
struct DrawnCurve {
  std::vector<int64_t> x;
  std::vector<float> y;

  explicit DrawnCurve(const TripCurve& trip) {
    const std::vector<int32_t> lengths = MeanMaxLengths(trip.Count);
    for (std::size_t i = 0; i < std::min(lengths.size(), trip.Best.size()); ++i) {
      x.push_back(static_cast<int64_t>(lengths[i]) * trip.Interval);
      y.push_back(trip.Best[i]);
    }
  }
  // The value at duration d [s]: at a point that point's value, between two
  // points the straight line joining them. False below the first point and
  // beyond the last one (value untouched).
  bool At(int64_t d, float& value) const {
    const auto after = std::upper_bound(x.begin(), x.end(), d);  // first point beyond d
    if (after == x.begin()) return false;
    const std::size_t i = static_cast<std::size_t>(after - x.begin()) - 1;
    const float y0 = y[i];
    if (x[i] == d) {
      value = y0;
      return true;
    }
    if (after == x.end()) return false;
    const float y1 = y[i + 1];
    const double slope = (static_cast<double>(y1) - y0) / static_cast<double>(x[i + 1] - x[i]);
    value = y0 == y1 ? y0 : static_cast<float>(y0 + slope * static_cast<double>(d - x[i]));
    return true;
  }
};

// The period curve by its definition: at each duration 1 .. entries - 1 the
// highest value of the loaded trips' drawn curves (in list order, a later
// one only when strictly greater), 0 where none reaches.
inline std::vector<float> PeriodCurve(const std::vector<TripCurve>& trips, int entries) {
  std::vector<float> table(static_cast<std::size_t>(entries), 0.0f);
  for (const TripCurve& trip : trips) {
    if (!trip.Loaded) continue;
    const DrawnCurve curve(trip);
    if (curve.x.empty()) continue;
    for (int64_t d = 1; d < entries && d <= curve.x.back(); ++d) {
      float v = 0.0f;
      if (curve.At(d, v) && v > table[static_cast<std::size_t>(d)]) table[static_cast<std::size_t>(d)] = v;
    }
  }
  return table;
}

// Writes a bike-with-power trip of `records` records (header included) at
// `interval` seconds, power(r) at record r, as `key`.DEO in `dir`, and
// returns its trip list line.
inline std::string WritePowerTrip(const std::filesystem::path& dir, const std::string& key, int records,
                                  int interval, const std::function<float(int)>& power) {
  std::vector<TripSample> t(static_cast<std::size_t>(records));
  t[0].Power = 9999.0f;  // the header's threshold: never a sample
  for (int r = 1; r < records; ++r) {
    t[static_cast<std::size_t>(r)].Time = (r - 1) * interval;
    t[static_cast<std::size_t>(r)].Power = power(r);
  }
  testing_core::WriteBytes(dir / (key + ".DEO"),
                           EncodeDeoBytes(t.data(), records, nullptr, nullptr, "", false, nullptr));
  return key + ";001;*BIKE POWER";
}

// 30 s at 550 W, 30 s at 200 W, over and over, from the first record on.
// Every 60 s holds 30 s of each: best 60 s (30 x 550 + 30 x 200) / 60 =
// 375 W; the best 90 s hold 60 s at 550 W: 39000 / 90 = 433.3 W.
inline float IntervalRide(int r) { return ((r - 1) / 30) % 2 == 0 ? 550.0f : 200.0f; }

}  // namespace tav::testing_analysis
