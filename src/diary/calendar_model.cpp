#include "diary/calendar_model.h"

namespace tav {

std::vector<CalendarDay> CalendarDays;

const CalendarDay& CalendarDayAt(long long day_index) {
  static const CalendarDay kEmptyDay;
  if (day_index < 0 || day_index >= static_cast<long long>(CalendarDays.size())) return kEmptyDay;
  return CalendarDays[static_cast<std::size_t>(day_index)];
}

}  // namespace tav
