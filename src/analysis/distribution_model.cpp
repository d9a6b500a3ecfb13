#include "analysis/distribution_model.h"

#include <algorithm>
#include <cmath>

#include "core/core_data.h"
#include "core/smoothing.h"
#include "platform/text.h"

namespace tav {

double GrowBarAxis(double axis_max, double value) {
  return value > axis_max ? 1.05 * value : axis_max;
}

std::string HistogramLabel(Histogram which, int bin, int unit_flags) {
  switch (which) {
    case Histogram::Power:
      if (bin <= 0) return "0 - 25";
      if (bin >= kPowerHistBins - 1) return Format(">%3i", kPowerHistFirst + kPowerHistStep * bin);
      return Format("%3i", kPowerHistFirst + kPowerHistStep * bin);
    case Histogram::HeartRate:
      return Format("%3i", kHrHistFirst + kHrHistStep * bin);
    case Histogram::Speed: {
      const int last = kHistBins - 1;
      if (unit_flags & kUnitMiles) {
        if (bin <= 0) return Format("<%5.1f", kSpeedHistFirst * kMilesPerKm);
        if (bin >= last)
          return Format(">%5.1f", (kSpeedHistStep * last + kSpeedHistFirst - 1) * kMilesPerKm);
        return Format("%5.1f", (kSpeedHistStep * bin + kSpeedHistFirst) * kMilesPerKm);
      }
      if (bin <= 0) return Format("<%3.0f", double{kSpeedHistFirst});
      if (bin >= last) return Format(">%3.0f", double(kSpeedHistStep * last + kSpeedHistFirst - 1));
      return Format("%3.0f", double(kSpeedHistStep * bin + kSpeedHistFirst));
    }
    case Histogram::Cadence:
      if (bin <= 0) return "0 - 41.5";
      return Format("%3.0f", double(kCadenceHistFirst + kCadenceHistStep * bin));
  }
  return {};
}

HistogramChart HistogramBars(Histogram which, const DistributionData& d, int unit_flags) {
  const uint32_t* bins = nullptr;
  int n = kHistBins;
  switch (which) {
    case Histogram::Power: bins = d.PowerHist; n = kPowerHistBins; break;
    case Histogram::HeartRate: bins = d.HeartRateHist; break;
    case Histogram::Speed: bins = d.SpeedHist; break;
    case Histogram::Cadence: bins = d.CadenceHist; break;
  }
  double total = 0;
  int highest = -1;
  for (int b = 0; b < n; ++b) {
    total += bins[b];
    if (bins[b] != 0) highest = b;
  }
  int first = 0, last = highest;
  if (which == Histogram::Power) {
    total = std::max(total, 1.0);
    last = n - 1;
  } else if (which == Histogram::HeartRate) {
    first = 1;
    while (first <= last && bins[first] == 0) ++first;
  }
  HistogramChart chart;
  if (total <= 0 || last < first) return chart;
  chart.Bars.reserve(static_cast<std::size_t>(last - first + 1));
  for (int b = first; b <= last; ++b) {
    const double percent = bins[b] * 100.0 / total;
    chart.AxisMax = GrowBarAxis(chart.AxisMax, percent);
    chart.Bars.push_back({b, percent, HistogramLabel(which, b, unit_flags)});
  }
  return chart;
}

std::vector<ZoneBand> ZoneBands(const int32_t (&limits)[10], int zone_count, int axis_start,
                                int axis_length) {
  std::vector<ZoneBand> bands;
  const int end = axis_start + std::max(0, axis_length);
  auto pixel = [&](int32_t limit) {
    const double x = axis_start + std::trunc((limit - 13.0) / 513.0 * axis_length);
    return static_cast<int>(std::clamp(x, double(axis_start), double(end)));
  };
  const int zones = std::clamp(zone_count, 1, 10);
  int left = axis_start;
  for (int k = 1; k < zones; ++k) {
    const int right = pixel(limits[k]);
    if (right > left) bands.push_back({k, left, right});
    left = std::max(left, right);
  }
  return bands;
}

std::string SelectionLineText(std::string_view line) {
  const std::size_t semi = line.find(';');
  if (semi == std::string_view::npos) return {};
  std::string_view rest = line.substr(semi + 1);
  rest = rest.substr(0, rest.find('|'));
  rest = rest.substr(0, rest.find('~'));
  std::string text(rest.substr(0, 60));
  if (const std::size_t s = text.find(';'); s != std::string::npos) text[s] = ',';
  return text;
}

int CurveSmoothLevel(CurveChannel channel) { return channel == kCurvePower ? 6 : 3; }

ChannelCurve BuildChannelCurve(const TripSample* samples, int count, CurveChannel channel) {
  ChannelCurve c;
  if (samples == nullptr || count < 2) return c;
  SmoothColumn column = kSmoothPower;
  switch (channel) {
    case kCurvePower: column = kSmoothPower; break;
    case kCurveCadence: column = kSmoothCadence; break;
    case kCurveSpeed: column = kSmoothSpeed; break;
    case kCurveHeartRate: column = kSmoothHeartRate; break;
  }
  std::vector<SmoothSample> smooth(static_cast<std::size_t>(count));
  SmoothColumnOf(samples, count, smooth.data(), kSmoothAltitude, HalfWidthOfLevel(4));
  SmoothColumnOf(samples, count, smooth.data(), column, HalfWidthOfLevel(CurveSmoothLevel(channel)));

  // Extremes over the records from 20 on (the start of a trip is often
  // disturbed); the altitude's start from the first of them.
  constexpr int kFirstCounted = 20;
  const int from = std::min(kFirstCounted, count - 1);
  c.AltitudeMin = c.AltitudeMax = smooth[static_cast<std::size_t>(from)][kSmoothAltitude];
  for (int i = from; i < count; ++i) {
    const SmoothSample& s = smooth[static_cast<std::size_t>(i)];
    c.AltitudeMax = std::max(c.AltitudeMax, double{s[kSmoothAltitude]});
    c.AltitudeMin = std::min(c.AltitudeMin, double{s[kSmoothAltitude]});
    c.ValueMax = std::max(c.ValueMax, double{s[column]});
  }
  c.AxisMax = c.ValueMax > 0 ? c.ValueMax : 1.0;
  const double span = c.AltitudeMax - c.AltitudeMin;
  const double scale = span > 0 ? c.AxisMax / span : 1.0;

  const std::size_t n = static_cast<std::size_t>(count - 1);
  c.Distance.resize(n);
  c.Altitude.resize(n);
  c.Value.resize(n);
  for (int i = 1; i < count; ++i) {
    const std::size_t k = static_cast<std::size_t>(i - 1);
    const SmoothSample& s = smooth[static_cast<std::size_t>(i)];
    c.Distance[k] = samples[i].Distance;
    c.Altitude[k] = (s[kSmoothAltitude] - c.AltitudeMin) * scale;
    c.Value[k] = s[column];
  }
  c.TripDistance = samples[count - 1].Distance;
  c.DistanceMax = c.TripDistance > 0 ? c.TripDistance : 1.0;
  return c;
}

}  // namespace tav
