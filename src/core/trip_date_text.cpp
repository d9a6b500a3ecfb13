#include "core/trip_date_text.h"

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
  // Fields are right-aligned in their width, as "%2.2s" and "%4.4s" write them.
  auto padded = [](std::string_view field, std::size_t width) {
    return std::string(width - field.size(), ' ').append(field);
  };
  const std::string year = padded(Field(key, 0, 4), 4), month = padded(Field(key, 4, 2), 2),
                    day = padded(Field(key, 6, 2), 2);
  const int hour = PairValue(key, 9), minute = PairValue(key, 11);

  std::string out;
  out.reserve(24);
  if (unit_flags & kUnitUsDate) {
    out.append(month).append("/").append(day).append("/").append(year);
  } else {
    out.append(day).append(".").append(month).append(".").append(year);
  }
  out.append(" - ");
  if (unit_flags & kUnit12Hour) {
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

bool DateValueDay(double date, int32_t& day) {
  if (!std::isfinite(date)) return false;
  const double whole = std::floor(date);
  // 1 Jan 0001 is -693593, 31 Dec 9999 is 2958465.
  if (whole < -693593.0 || whole > 2958465.0) return false;
  day = static_cast<int32_t>(whole);
  return true;
}

std::string DisplayDateText(double date, int unit_flags) {
  int32_t value = 0;
  if (!DateValueDay(date, value)) return {};
  int year = 0, month = 0, day = 0;
  DateOfValue(value, year, month, day);
  if (unit_flags & kUnitUsDate) return Format("%02i/%02i/%04i", month, day, year);
  return Format("%02i.%02i.%04i", day, month, year);
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
