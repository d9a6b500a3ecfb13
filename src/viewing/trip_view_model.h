// What the trip views show, computed from plain trip buffers: the channels
// and their values, the section of records a zoomed time axis shows, the
// series the charts plot, and the texts of a section.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/trip_types.h"

namespace tav {

// A run of records first..last of a trip (record 0 is the header, so a
// non-empty range lies inside 1..count-1).
struct RecordRange {
  int first = 0;
  int last = -1;
  bool Empty() const { return last < first; }
  int Size() const { return Empty() ? 0 : last - first + 1; }
  bool operator==(const RecordRange&) const = default;
};

// Records 1..count-1 of a trip that can be shown (at least kMinShowRecords
// records including the header); empty otherwise.
RecordRange ShowableTrip(int count);

// The records whose time lies within [t_from, t_to] seconds, limited to
// records 1..count-1. Works on damaged trips whose times do not rise: it
// takes the first and the last record inside the interval.
RecordRange SectionInTime(const TripSample* trip, int count, double t_from, double t_to);

// Channels of the single-trip view in the order of their names.
enum ViewChannel : int {
  kChannelPower = 0, kChannelCadence = 1, kChannelSpeed = 2, kChannelHeartRate = 3,
  kChannelAltitude = 4, kChannelGrade = 5, kChannelTemperature = 6
};
inline constexpr int kViewChannels = 7;

// Grade windows (records) the grade channel can be taken over.
inline constexpr int kGradeWindows[3] = {15, 30, 60};
// A grade is computed only over at least this distance [km]; shorter runs
// (standing still) give grade 0. Grades are limited to +-kGradeLimit %.
inline constexpr double kGradeMinDistanceKm = 0.005;
inline constexpr double kGradeLimit = 40.0;

// Grade [%] of every record of trip over `window` records centred on it
// (ends use the records that exist). Entry 0 (the header) is 0.
std::vector<float> GradeSeries(const TripSample* trip, int count, int window);

// The value of a channel at record i (grade from a precomputed series).
double ChannelValue(const TripSample& r, int channel, float grade);

// How a channel is shown in the chosen units: value x factor + offset.
struct ChannelUnit {
  double factor = 1.0;
  double offset = 0.0;
  std::string unit;  // e.g. "[W]", "[km/h]", "[mph]"
};
// unit_flags: bit 1 miles and feet, bit 2 Fahrenheit.
ChannelUnit ChannelUnitOf(int channel, int unit_flags);

// Points of one channel: x the record's time in minutes, y the
// channel's value in the unit given, for records range.first..range.last.
// With `smooth` (one entry per record) power, cadence, speed, heart rate,
// altitude and temperature are taken from its columns.
struct ChannelSeries {
  std::vector<double> x;
  std::vector<double> y;
  double y_min = 0.0, y_max = 0.0;  // extremes of y (0 and 0 when empty)
};
ChannelSeries BuildChannelSeries(const TripSample* trip, int count, RecordRange range,
                                 int channel, const std::vector<float>& grade,
                                 const ChannelUnit& unit = {},
                                 const std::array<float, 6>* smooth = nullptr);

// The same points in the caller's buffers, each at most range.Size()
// entries: the x of BuildChannelSeries into x, and its y into y, where
// `smoothed` (when given, and the channel is not the grade) holds the
// channel's smoothed values by record, as column SmoothColumnOfChannel of
// BuildChannelSeries' `smooth` rows. Each returns the number of points.
int AxisMinutes(const TripSample* trip, int count, RecordRange range, double* x);
int ChannelValues(const TripSample* trip, int count, RecordRange range, int channel,
                  const std::vector<float>& grade, const ChannelUnit& unit, const float* smoothed,
                  double* y);
// Which smoothed column (SmoothColumn) a channel is drawn from; -1 for the
// grade.
int SmoothColumnOfChannel(int channel);

// Minutes on the view's time axis of a record time, and back.
inline double TimeToAxis(int32_t time_s) { return time_s / 60.0; }
inline double AxisToTime(double axis_min) { return axis_min * 60.0; }

// Which channels the view shows. The default: power (bike with power only),
// cadence, speed, heart rate and altitude; grade and temperature hidden.
using ChannelSet = std::array<bool, kViewChannels>;
ChannelSet DefaultChannels(int sport);

// "h:mm:ss" of a number of seconds (negative as 0).
std::string FormatClock(long long seconds);

// The text saved with a clip: the view caption and the section's times,
// cut to fit the clip's text field.
std::string ClipText(std::string_view caption, const TripSample* trip, int count,
                     RecordRange section);

}  // namespace tav
