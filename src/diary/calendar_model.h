// The week calendar's model: building the day records (core/calendar_days.h)
// from the trip list on every activation, the week numbers of the grid rows,
// the caption and the diagnostic lines.
//
// Dates: a date value counts whole days since 30 Dec 1899. Day index d is
// the date CalendarFirstMonday() + d; grid row r (r >= 1) holds the day
// indexes 7(r - 1) .. 7(r - 1) + 6, Monday to Sunday.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/calendar_days.h"
#include "core/trip_types.h"

namespace tav {

// The week number of any grid row r >= 1, also beyond the model's rows
// (0 without a model or for r < 1).
int CalendarWeekNumberOfRow(int row);

// ---- Dates ----------------------------------------------------------------------
// Weekday of a date value, Monday 0 .. Sunday 6.
int WeekdayFromMonday(int32_t day);
inline int32_t MondayOf(int32_t day) { return day - WeekdayFromMonday(day); }
// Week 1 is the Monday-to-Sunday week whose Sunday falls on 1-7 January;
// the following weeks count on until the next such week. The number of the
// week that ends on the given Sunday.
int WeekNumberOfSunday(int32_t sunday);

// ---- Building ----------------------------------------------------------------------
// Spans longer than this many days keep their latest part (a bogus date in
// the list cannot make the model huge).
inline constexpr int32_t kMaxCalendarDays = 100 * 366;

// Empties the model.
void ClearCalendarDays();

// Builds the model from the first `line_count` entries of `dates` (the trip
// list's lines without its free-slot line): the period runs from the Monday
// of the earliest dated entry to the Sunday of the latest, whatever their
// order. Lines of kind `sport` are summed into their day from
// `summaries` and `zones` (slots outside the tables are skipped; a summary
// whose NP is above 2000 W first gets NP, IF and TSS 0 in the table itself,
// and *summaries_changed is set); lines of other kinds set their bit in the
// day's mask. Without a dated entry the model is cleared and false returned.
bool BuildCalendarModel(const std::vector<TripDateEntry>& dates, int line_count, int sport,
                        TripSummary* summaries, const TripZoneTimes* zones, bool* summaries_changed);

// The window caption of the built model: "<rider>   dd.mm.yyyy - dd.mm.yyyy"
// (first Monday, last Sunday; mm/dd/yyyy in US date order).
std::string CalendarCaption(const std::string& rider, int unit_flags);
// The diagnostic lines of the built model (period values and the Sunday and
// week number of rows 2 onwards).
std::vector<std::string> CalendarDiagnosticLines();

}  // namespace tav
