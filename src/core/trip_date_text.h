// Date and time texts of trips: the diary's first column and every caption
// or series title that names a trip, and the date texts of the calendar sums.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tav {

// Formats the date and time of a trip key (the start of a trip-list line:
// yyyymmdd_hhmm...). Only the first 13 characters are read; a shorter key
// gives empty fields and hour or minute 0. unit_flags as UnitFlags (US date
// order kUnitUsDate, 12-hour clock kUnit12Hour):
//   24.12.2013 - 14:05    12/24/2013 - 02:05PM (US date, 12-hour clock)
std::string TripDateTimeText(std::string_view key, int unit_flags);

// A calendar date value (days since 30 Dec 1899; the fraction is ignored)
// as dd.mm.yyyy, or mm/dd/yyyy in US date order. Values that are no
// representable date give an empty text.
std::string DisplayDateText(double date, int unit_flags);

// The same with the program's current UnitFlags.
// Writes the text into out (30 bytes are enough) and returns out.
char* FormatTripDateTime(const char* key, char* out);
std::string FormatTripDateTime(std::string_view key);
std::string FormatDisplayDate(double date);

// The whole day of a calendar date value (days since 30 Dec 1899; the
// fraction is the time of day); false when the value is no finite date
// between the years 1 and 9999.
bool DateValueDay(double date, int32_t& day);

}  // namespace tav
