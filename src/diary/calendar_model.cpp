#include "diary/calendar_model.h"

#include <algorithm>
#include <climits>
#include <limits>

#include "core/core_data.h"
#include "core/trip_list.h"
#include "platform/text.h"

namespace tav {

namespace {

// What the caption and the diagnostic lines name besides the published values.
int32_t first_date_ = 0, last_sunday_ = 0;

// The weighted sums of one day while its lines are added.
struct DayAccumulator {
  int64_t total = 0, power = 0;  // seconds
  double distance = 0, ascent = 0, tss = 0, work = 0;
  double power_all = 0, power_nz = 0, np = 0, intensity = 0, cadence = 0, speed = 0, temperature = 0,
         weight = 0, heart_rate = 0, heart_rate_time = 0;
  uint64_t zones[10] = {};

  void Add(const TripSummary& s, const TripZoneTimes& z) {
    const double t = s.TotalTime, p = s.PowerTime;
    total += s.TotalTime;
    power += s.PowerTime;
    distance += s.Distance;
    ascent += s.Ascent;
    tss += s.TSS;
    work += s.Work;
    power_all += s.MeanPowerAll * t;
    power_nz += s.MeanPowerNonZero * p;
    np += s.NP * t;
    intensity += s.IF * t;
    cadence += s.MeanCadence * t;
    speed += s.MeanSpeed * t;
    temperature += s.MeanTemperature * t;
    weight += s.Weight * t;
    if (s.MeanHeartRate != 0) {
      heart_rate += s.MeanHeartRate * t;
      heart_rate_time += t;
    }
    for (int k = 0; k < 10; ++k) zones[k] += z.Seconds[k];
  }

  void StoreInto(CalendarDay& d) const {
    auto minutes = [](int64_t seconds) {
      return static_cast<int32_t>(std::clamp<int64_t>(seconds / 60, INT32_MIN, INT32_MAX));
    };
    auto mean = [](double sum, double weight_sum) { return static_cast<float>(weight_sum > 0 ? sum / weight_sum : 0.0); };
    const double t = static_cast<double>(total), p = static_cast<double>(power);
    d.RideMinutes = minutes(total);
    d.PowerMinutes = minutes(power);
    d.Distance = static_cast<float>(distance);
    d.Ascent = static_cast<float>(ascent);
    d.MeanPowerAll = mean(power_all, t);
    d.MeanPowerNonZero = mean(power_nz, p);
    d.NP = mean(np, t);
    d.IF = mean(intensity, t);
    d.TSS = static_cast<float>(tss);
    d.Work = static_cast<float>(work);
    d.MeanHeartRate = mean(heart_rate, heart_rate_time);
    d.MeanCadence = mean(cadence, t);
    d.MeanSpeed = mean(speed, t);
    d.MeanTemperature = mean(temperature, t);
    d.Weight = mean(weight, t);
    for (int k = 0; k < 10; ++k) d.ZoneSeconds[k] = static_cast<uint32_t>(std::min<uint64_t>(zones[k], UINT32_MAX));
  }
};

std::string DateText(int32_t day, const char* format, bool month_first) {
  int y = 0, m = 0, d = 0;
  DateOfValue(day, y, m, d);
  return month_first ? Format(format, m, d, y) : Format(format, d, m, y);
}

}  // namespace

int CalendarWeekNumberOfRow(int row) {
  if (CalendarWeekCount <= 0 || row < 1 || row > INT32_MAX / 7 - 1) return 0;
  return WeekNumberOfSunday(CalendarFirstMonday() + 7 * row - 1);
}

int WeekdayFromMonday(int32_t day) {
  // 30 Dec 1899 (day 0) was a Saturday.
  const int r = static_cast<int>((static_cast<int64_t>(day) + 5) % 7);
  return r < 0 ? r + 7 : r;
}

int WeekNumberOfSunday(int32_t sunday) {
  int y = 0, m = 0, d = 0;
  DateOfValue(sunday, y, m, d);
  if (m == 1 && d <= 7) return 1;
  const int32_t jan1 = DateValue(y, 1, 1);
  const int32_t first_sunday = jan1 + 6 - WeekdayFromMonday(jan1);
  return (sunday - first_sunday) / 7 + 1;
}

void ClearCalendarDays() {
  CalendarYearStart = 0;
  W_Tag = t_offset = CalendarWeekCount = 0;
  CalendarWeekNumbers.clear();
  CalendarSportMasks.clear();
  CalendarDays.clear();
  first_date_ = last_sunday_ = 0;
}

bool BuildCalendarModel(const std::vector<TripDateEntry>& dates, int line_count, int sport,
                        TripSummary* summaries, const TripZoneTimes* zones, bool* summaries_changed) {
  ClearCalendarDays();
  const int n = std::clamp(line_count, 0, static_cast<int>(dates.size()));
  int32_t first = INT32_MAX, last = INT32_MIN;
  for (int i = 0; i < n; ++i) {
    const int32_t day = dates[static_cast<std::size_t>(i)].Date;
    if (day == 0) continue;
    first = std::min(first, day);
    last = std::max(last, day);
  }
  if (first > last) return false;
  if (static_cast<int64_t>(last) - first >= kMaxCalendarDays) first = last - kMaxCalendarDays + 1;

  int y = 0, m = 0, d = 0;
  DateOfValue(first, y, m, d);
  const int32_t year_start = DateValue(y, 1, 1);
  CalendarYearStart = year_start;
  W_Tag = WeekdayFromMonday(year_start);
  const int32_t delta_t = first - year_start + W_Tag;
  t_offset = delta_t / 7 * 7;
  last_sunday_ = last + 6 - WeekdayFromMonday(last);
  first_date_ = first;
  // Counted from the weekday of 1 January, so the grid may hold one week
  // row more than the period needs.
  CalendarWeekCount = (last_sunday_ - first + W_Tag) / 7 + 1;
  const std::size_t day_count = static_cast<std::size_t>(CalendarWeekCount) * 7;
  CalendarDays.assign(day_count, CalendarDay{});
  CalendarSportMasks.assign(day_count, 0);
  CalendarWeekNumbers.assign(static_cast<std::size_t>(CalendarWeekCount) + 1, 0);
  for (int r = 1; r <= CalendarWeekCount; ++r) CalendarWeekNumbers[static_cast<std::size_t>(r)] = CalendarWeekNumberOfRow(r);

  // The lines of the chosen kind by day (in list order within a day), so
  // every day is summed whole whatever the order of the list.
  const int32_t first_monday = CalendarFirstMonday();
  std::vector<std::pair<int32_t, int32_t>> summed;  // day index, slot
  summed.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const TripDateEntry& e = dates[static_cast<std::size_t>(i)];
    const int64_t di = static_cast<int64_t>(e.Date) - first_monday;
    if (e.Date == 0 || di < 0 || di >= static_cast<int64_t>(day_count)) continue;
    if (e.Sport != sport) {
      if (e.Sport >= 0 && e.Sport < 31) CalendarSportMasks[static_cast<std::size_t>(di)] |= int32_t{1} << e.Sport;
      continue;
    }
    if (IsTableSlot(e.Slot)) summed.emplace_back(static_cast<int32_t>(di), e.Slot);
  }
  std::stable_sort(summed.begin(), summed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t k = 0; k < summed.size();) {
    const int32_t day = summed[k].first;
    DayAccumulator acc;
    for (; k < summed.size() && summed[k].first == day; ++k) {
      TripSummary& s = summaries[summed[k].second];
      if (s.NP > 2000.0f) {  // a power spike, not a ride
        s.NP = s.IF = s.TSS = 0.0f;
        if (summaries_changed != nullptr) *summaries_changed = true;
      }
      acc.Add(s, zones[summed[k].second]);
    }
    acc.StoreInto(CalendarDays[static_cast<std::size_t>(day)]);
  }
  return true;
}

std::string CalendarCaption(const std::string& rider, int unit_flags) {
  if (CalendarWeekCount <= 0) return rider;
  const bool us = (unit_flags & kUnitUsDate) != 0;
  const char* format = us ? "%02i/%02i/%4i" : "%02i.%02i.%4i";
  return rider + "   " + DateText(CalendarFirstMonday(), format, us) + " - " + DateText(last_sunday_, format, us);
}

std::vector<std::string> CalendarDiagnosticLines() {
  std::vector<std::string> out;
  if (CalendarWeekCount <= 0) return out;
  const int32_t delta_t = first_date_ - static_cast<int32_t>(CalendarYearStart) + W_Tag;
  out.push_back(Format("W_Tag          %i", W_Tag));
  out.push_back(Format("Anzahl Wochen  %i", CalendarWeekCount));
  out.push_back("1. Datum       " + DateText(first_date_, "%02i.%02i.%04i", false));
  out.push_back(Format("delta_t   %i", delta_t));
  out.push_back(Format("t_offset  %i", t_offset));
  out.push_back(Format("1. Woche  %i", CalendarWeekNumberOfRow(1)));
  for (int r = 2; r <= CalendarWeekCount; ++r)
    out.push_back(DateText(CalendarFirstMonday() + 7 * r - 1, "%02i.%02i.%04i", false) +
                  Format(" -> KW %02i", CalendarWeekNumbers[static_cast<std::size_t>(r)]));
  return out;
}

}  // namespace tav
