#include "core/calendar_days.h"

#include <cstddef>

namespace tav {

double CalendarYearStart = 0;
int32_t W_Tag = 0;
int32_t t_offset = 0;
int32_t CalendarWeekCount = 0;
std::vector<int> CalendarWeekNumbers;
std::vector<int32_t> CalendarSportMasks;
std::vector<CalendarDay> CalendarDays;

const CalendarDay& CalendarDayAt(long long day_index) {
  static const CalendarDay kEmptyDay;
  if (day_index < 0 || day_index >= static_cast<long long>(CalendarDays.size())) return kEmptyDay;
  return CalendarDays[static_cast<std::size_t>(day_index)];
}

int32_t CalendarSportMaskAt(long long day_index) {
  if (day_index < 0 || day_index >= static_cast<long long>(CalendarSportMasks.size())) return 0;
  return CalendarSportMasks[static_cast<std::size_t>(day_index)];
}

int32_t CalendarFirstMonday() { return static_cast<int32_t>(CalendarYearStart) - W_Tag + t_offset; }

}  // namespace tav
