// The week calendar's model: one record per day of the calendar period,
// counted from the Monday of the first trip's week (day index 0). The
// calendar builds it on every activation; the six-chart overview reads it in
// its per-day mode.
#pragma once

#include <cstdint>
#include <vector>

namespace tav {

// The sums of one day over the lines of the calendar's chosen kind of sport
// (35 four-byte words). Means are weighted by the trips' total time (mean
// power without zeros by their power time).
struct CalendarDay {
  int32_t RideMinutes = 0;      // word 0: total time [s] summed, div 60
  int32_t PowerMinutes = 0;     // word 1: power time [s] summed, div 60
  float Distance = 0;           // word 2: km
  float Ascent = 0;             // word 3: m
  float MeanPowerAll = 0;       // word 4: W, zeros included
  float MeanPowerNonZero = 0;   // word 5: W, zeros left out
  float NP = 0;                 // word 6: W
  float IF = 0;                 // word 7
  float TSS = 0;                // word 8: sum
  float Work = 0;               // word 9: kJ, sum
  float MeanHeartRate = 0;      // word 10: over the trips with heart rate
  float MeanCadence = 0;        // word 11
  float MeanSpeed = 0;          // word 12: km/h
  float MeanTemperature = 0;    // word 13: degC
  float Weight = 0;             // word 14: kg
  int32_t Unused15[4] = {};     // words 15-18
  uint32_t ZoneSeconds[15] = {};// words 19-33: zones 0-9, the rest 0
  int32_t Unused34 = 0;         // word 34

  static constexpr int kWords = 35;
};
static_assert(sizeof(CalendarDay) == CalendarDay::kWords * 4);

// One record per day index of the period the calendar last built (empty
// until it builds one).
extern std::vector<CalendarDay> CalendarDays;

// The record of a day index; an empty day for indexes outside the model.
const CalendarDay& CalendarDayAt(long long day_index);

}  // namespace tav
