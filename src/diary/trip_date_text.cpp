#include "diary/trip_date_text.h"

#include <algorithm>
#include <cmath>

#include "core/core_data.h"
#include "core/trip_list.h"
#include "platform/text.h"

namespace tav {

namespace {

// Characters [pos, pos + len) of the key, as far as the key reaches.
std::string_view Field(std::string_view key, std::size_t pos, std::size_t len) {
  if (pos >= key.size()) return {};
  return key.substr(pos, len);
}

// A two-character number as the C library reads it: leading blanks, an
// optional sign, then digits; 0 when there are none.
int PairValue(std::string_view key, std::size_t pos) { return ToInt(Field(key, pos, 2)); }

}  // namespace

std::string TripDateTimeText(std::string_view key, int unit_flags) {
  // A key ends at its first terminator, as a C string would.
  if (auto z = key.find('\0'); z != std::string_view::npos) key = key.substr(0, z);
  const std::string_view year = Field(key, 0, 4), month = Field(key, 4, 2), day = Field(key, 6, 2);
  const int hour = PairValue(key, 9), minute = PairValue(key, 11);

  std::string out;
  out.reserve(24);
  if (unit_flags & kUnitFlagUsDate) {
    out.append(month).append("/").append(day).append("/").append(year);
  } else {
    out.append(day).append(".").append(month).append(".").append(year);
  }
  out.append(" - ");
  if (unit_flags & kUnitFlagClock12) {
    // Noon reads 12:xxPM and midnight 12:xxAM.
    int h = hour;
    bool pm = false;
    if (hour >= 13) {
      h = hour - 12;
      pm = true;
    } else if (hour == 12) {
      pm = true;
    } else if (hour == 0) {
      h = 12;
    }
    out += Format("%02i:%02i%s", h, minute, pm ? "PM" : "AM");
  } else {
    out += Format("%02i:%02i", hour, minute);
  }
  return out;
}

bool DateValueToCivil(double date, CivilDate& out) {
  if (!std::isfinite(date)) return false;
  const double whole = std::floor(date);
  // 1 Jan 0001 is -693593, 31 Dec 9999 is 2958465.
  if (whole < -693593.0 || whole > 2958465.0) return false;
  DateOfValue(static_cast<int32_t>(whole), out.year, out.month, out.day);
  return true;
}

double CivilToDateValue(int year, int month, int day) {
  return static_cast<double>(DateValue(year, month, day));
}

std::string DisplayDateText(double date, int unit_flags) {
  CivilDate c;
  if (!DateValueToCivil(date, c)) return {};
  if (unit_flags & kUnitFlagUsDate) return Format("%02i/%02i/%04i", c.month, c.day, c.year);
  return Format("%02i.%02i.%04i", c.day, c.month, c.year);
}

char* FormatTripDateTime(const char* key, char* out) {
  const std::string text = TripDateTimeText(key ? std::string_view(key) : std::string_view(), UnitFlags);
  const std::size_t n = std::min<std::size_t>(text.size(), 29);
  text.copy(out, n);
  out[n] = '\0';
  return out;
}

std::string FormatTripDateTime(std::string_view key) { return TripDateTimeText(key, UnitFlags); }

std::string FormatDisplayDate(double date) { return DisplayDateText(date, UnitFlags); }

}  // namespace tav
