#include "viewing/trip_view_model.h"

#include <algorithm>
#include <cmath>

#include "core/core_data.h"
#include "platform/text.h"
#include "viewing/clip_file.h"

namespace tav {

RecordRange ShowableTrip(int count) {
  if (count < kMinShowRecords) return {};
  return {1, count - 1};
}

RecordRange SectionInTime(const TripSample* trip, int count, double t_from, double t_to) {
  RecordRange r;
  if (trip == nullptr || count < 2 || !(t_from <= t_to)) return r;
  for (int i = 1; i < count; ++i) {
    const double t = trip[i].Time;
    if (t < t_from || t > t_to) continue;
    if (r.Empty()) r.first = i;
    r.last = i;
  }
  return r;
}

std::vector<float> GradeSeries(const TripSample* trip, int count, int window) {
  std::vector<float> grade(static_cast<std::size_t>(std::max(count, 0)), 0.0f);
  if (trip == nullptr || count < 3) return grade;
  const int half = std::max(1, window / 2);
  for (int i = 1; i < count; ++i) {
    const int a = std::max(1, i - half);
    const int b = std::min(count - 1, i + half);
    const double dist_km = static_cast<double>(trip[b].Distance) - trip[a].Distance;
    if (!(std::fabs(dist_km) >= kGradeMinDistanceKm)) continue;  // also NaN
    double g = (static_cast<double>(trip[b].Altitude) - trip[a].Altitude) / (dist_km * 1000.0) * 100.0;
    if (!std::isfinite(g)) continue;
    grade[static_cast<std::size_t>(i)] = static_cast<float>(std::clamp(g, -kGradeLimit, kGradeLimit));
  }
  return grade;
}

double ChannelValue(const TripSample& r, int channel, float grade) {
  switch (channel) {
    case kChannelPower: return r.Power;
    case kChannelCadence: return std::trunc(r.Cadence);  // the fraction is the leg share
    case kChannelSpeed: return r.Speed;
    case kChannelHeartRate: return r.HeartRate;
    case kChannelAltitude: return r.Altitude;
    case kChannelGrade: return grade;
    case kChannelTemperature: return r.Temperature;
    default: return 0.0;
  }
}


ChannelUnit ChannelUnitOf(int channel, int unit_flags) {
  const bool imperial = (unit_flags & kUnitMiles) != 0;
  switch (channel) {
    case kChannelPower: return {1.0, 0.0, "[W]"};
    case kChannelCadence: return {1.0, 0.0, "[1/min]"};
    case kChannelSpeed: return imperial ? ChannelUnit{kMilesPerKm, 0.0, "[mph]"} : ChannelUnit{1.0, 0.0, "[km/h]"};
    case kChannelHeartRate: return {1.0, 0.0, "[1/min]"};
    case kChannelAltitude: return imperial ? ChannelUnit{kFeetPerMetre, 0.0, "[ft]"} : ChannelUnit{1.0, 0.0, "[m]"};
    case kChannelGrade: return {1.0, 0.0, "[%]"};
    case kChannelTemperature:
      return (unit_flags & kUnitFahrenheit) ? ChannelUnit{1.8, 32.0, "[\xB0""F]"} : ChannelUnit{1.0, 0.0, "[\xB0""C]"};
    default: return {};
  }
}

ChannelSeries BuildChannelSeries(const TripSample* trip, int count, RecordRange range,
                                 int channel, const std::vector<float>& grade,
                                 const ChannelUnit& unit, const std::array<float, 6>* smooth) {
  ChannelSeries s;
  if (trip == nullptr || range.Empty()) return s;
  const int first = std::max(range.first, 1);
  const int last = std::min(range.last, count - 1);
  if (last < first) return s;
  s.x.reserve(static_cast<std::size_t>(last - first + 1));
  s.y.reserve(static_cast<std::size_t>(last - first + 1));
  bool any = false;
  for (int i = first; i <= last; ++i) {
    const float g = static_cast<std::size_t>(i) < grade.size() ? grade[static_cast<std::size_t>(i)] : 0.0f;
    double v = ChannelValue(trip[i], channel, g);
    if (smooth != nullptr) {
      // Columns: power, cadence, speed, heart rate, altitude, temperature.
      static constexpr int kColumn[kViewChannels] = {0, 1, 2, 3, 4, -1, 5};
      const int col = kColumn[channel >= 0 && channel < kViewChannels ? channel : kChannelGrade];
      if (col >= 0) v = smooth[i][static_cast<std::size_t>(col)];
    }
    v = v * unit.factor + unit.offset;
    if (!std::isfinite(v)) v = 0.0;  // damaged records draw as 0
    s.x.push_back(TimeToAxis(trip[i].Time));
    s.y.push_back(v);
    if (!any) {
      s.y_min = s.y_max = v;
      any = true;
    } else {
      s.y_min = std::min(s.y_min, v);
      s.y_max = std::max(s.y_max, v);
    }
  }
  return s;
}

namespace {
// Columns of the smoothed rows: power, cadence, speed, heart rate, altitude,
// temperature; the grade has none.
constexpr int kChannelColumn[kViewChannels] = {0, 1, 2, 3, 4, -1, 5};

// Records range.first..range.last limited to 1..count-1.
bool PointsOf(const TripSample* trip, int count, RecordRange range, int& first, int& last) {
  if (trip == nullptr || range.Empty()) return false;
  first = std::max(range.first, 1);
  last = std::min(range.last, count - 1);
  return first <= last;
}
}  // namespace

int SmoothColumnOfChannel(int channel) {
  return channel >= 0 && channel < kViewChannels ? kChannelColumn[channel] : -1;
}

int AxisMinutes(const TripSample* trip, int count, RecordRange range, double* x) {
  int first = 0, last = -1;
  if (!PointsOf(trip, count, range, first, last)) return 0;
  // Two records at a time in a two-double vector (one SIMD division where
  // the machine has it; each half is TimeToAxis of its record).
  using V2 = double __attribute__((vector_size(16)));
  const V2 minute = {60.0, 60.0};
  int i = first;
  for (; i + 1 <= last; i += 2) {
    const V2 t = {static_cast<double>(trip[i].Time), static_cast<double>(trip[i + 1].Time)};
    const V2 m = t / minute;
    x[i - first] = m[0];
    x[i + 1 - first] = m[1];
  }
  for (; i <= last; ++i) x[i - first] = TimeToAxis(trip[i].Time);
  return last - first + 1;
}

int ChannelValues(const TripSample* trip, int count, RecordRange range, int channel,
                  const std::vector<float>& grade, const ChannelUnit& unit, const float* smoothed,
                  double* y) {
  int first = 0, last = -1;
  if (!PointsOf(trip, count, range, first, last)) return 0;
  const double factor = unit.factor, offset = unit.offset;
  // One loop per kind of value, each in the unit, damaged records as 0.
  auto emit = [&](auto value) {
    for (int i = first; i <= last; ++i) {
      const double v = value(i) * factor + offset;
      y[i - first] = std::isfinite(v) ? v : 0.0;
    }
  };
  if (smoothed != nullptr && SmoothColumnOfChannel(channel) >= 0) {
    emit([&](int i) { return static_cast<double>(smoothed[i]); });
  } else if (channel == kChannelGrade) {
    const int have = std::min(last, static_cast<int>(grade.size()) - 1);
    const float* g = grade.data();
    emit([&](int i) { return static_cast<double>(i <= have ? g[i] : 0.0f); });
  } else if (channel == kChannelCadence) {
    emit([&](int i) { return static_cast<double>(std::trunc(trip[i].Cadence)); });
  } else if (channel >= 0 && channel < kViewChannels) {
    float TripSample::*field = channel == kChannelPower       ? &TripSample::Power
                               : channel == kChannelSpeed     ? &TripSample::Speed
                               : channel == kChannelHeartRate ? &TripSample::HeartRate
                               : channel == kChannelAltitude  ? &TripSample::Altitude
                                                              : &TripSample::Temperature;
    emit([&](int i) { return static_cast<double>(trip[i].*field); });
  } else {
    emit([](int) { return 0.0; });
  }
  return last - first + 1;
}

ChannelSet DefaultChannels(int sport) {
  ChannelSet on{};
  on[kChannelPower] = sport == kSportBikePower;
  on[kChannelCadence] = sport != kSportRun;
  on[kChannelSpeed] = true;
  on[kChannelHeartRate] = true;
  on[kChannelAltitude] = true;
  return on;
}

std::string FormatClock(long long seconds) {
  if (seconds < 0) seconds = 0;
  return Format("%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

std::string ClipText(std::string_view caption, const TripSample* trip, int count,
                     RecordRange section) {
  std::string times;
  if (trip != nullptr && !section.Empty() && section.first >= 1 && section.last < count)
    times = FormatClock(trip[section.first].Time) + " - " + FormatClock(trip[section.last].Time);
  // The times stay whole; the caption gives way.
  const std::size_t room = kClipTextBytes - 1;
  std::string text(caption.substr(0, room > times.size() + 2 ? room - times.size() - 2 : 0));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (!times.empty()) text += (text.empty() ? "" : "  ") + times;
  return text.substr(0, room);
}

}  // namespace tav
