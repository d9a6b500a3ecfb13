// The week calendar's day records, process-wide: one record per day of the
// calendar period, counted from the Monday of the first trip's week (day
// index 0), the week numbers of the grid rows and the kinds of sport of the
// other days. The calendar builds them (diary/calendar_model.h) on every
// activation; the six-chart overview reads them in its per-day mode.
//
// Dates: a date value counts whole days since 30 Dec 1899. Day index d is
// the date CalendarFirstMonday() + d; grid row r (r >= 1) holds the day
// indexes 7(r - 1) .. 7(r - 1) + 6, Monday to Sunday.
#pragma once

#include <cstdint>
#include <vector>

namespace tav {

// The sums of one day over the lines of the calendar's chosen kind of sport
// (35 four-byte words). Means are weighted by the trips' total time (mean
// power without zeros by their power time); a mean without weight is 0.
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

// ---- The model (process-wide; empty until the calendar builds one) ----------
// 1 January of the year of the first dated line.
extern double CalendarYearStart;
// Weekday of CalendarYearStart, Monday 0 .. Sunday 6.
extern int32_t W_Tag;
// Days from the Monday of the week of CalendarYearStart to day index 0 (a
// multiple of 7).
extern int32_t t_offset;
// Week rows of the period (0: no model).
extern int32_t CalendarWeekCount;
// Week number per grid row (index 0 unused), rows 1 .. CalendarWeekCount.
extern std::vector<int> CalendarWeekNumbers;
// Per day index: bit (1 << kind) for each line of another kind than the
// chosen one on that day.
extern std::vector<int32_t> CalendarSportMasks;
// One record per day index, CalendarWeekCount * 7 of them.
extern std::vector<CalendarDay> CalendarDays;

// The record of a day index; an empty day for indexes outside the model.
const CalendarDay& CalendarDayAt(long long day_index);
// The kind mask of a day index; 0 outside the model.
int32_t CalendarSportMaskAt(long long day_index);
// Date value of day index 0 (CalendarYearStart - W_Tag + t_offset).
int32_t CalendarFirstMonday();

}  // namespace tav
