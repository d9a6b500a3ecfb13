#include "platform/datetime.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <stdexcept>

namespace tav {

namespace {

// Days since 1 January 1970 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

// The first and the last millisecond of the years 1..9999 (before the epoch
// the days count backwards while the time of day counts forwards).
constexpr double kLastMillisecond = static_cast<double>(kMSecsPerDay - 1) / kMSecsPerDay;
constexpr double kFirstDay = -693593.0 - kLastMillisecond;  // 1 January 0001, 23:59:59.999
constexpr double kLastDay = 2958465.0 + kLastMillisecond;   // 31 December 9999, 23:59:59.999

// Whole days (counted from the epoch as the date value counts them) and
// milliseconds into the day, rounded, with midnight carried into the day.
void Split(TDateTime value, int64_t& days, int64_t& msecs) {
  if (!std::isfinite(value)) value = 0;
  // A damaged value far outside the years 1..9999 decodes as the nearest
  // end of that range instead of overflowing the day count.
  value = std::clamp(value, kFirstDay, kLastDay);
  const double whole = std::trunc(value);
  days = static_cast<int64_t>(whole);
  msecs = std::llround(std::fabs(value - whole) * static_cast<double>(kMSecsPerDay));
  if (msecs >= kMSecsPerDay) {
    msecs -= kMSecsPerDay;
    days += value >= 0 ? 1 : -1;
  }
}

constexpr int64_t kEpochOffset = 25569;  // days from 30 Dec 1899 to 1 Jan 1970

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  out = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                            kEpochOffset);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime value;
  if (!TryEncodeDate(year, month, day, value)) throw std::invalid_argument("Invalid argument to date encode");
  return value;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
    return false;
  out = static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + msec) / static_cast<double>(kMSecsPerDay);
  return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  TDateTime value;
  if (!TryEncodeTime(hour, minute, second, msec, value)) throw std::invalid_argument("Invalid argument to time encode");
  return value;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  int64_t days, msecs;
  Split(value, days, msecs);
  CivilFromDays(days - kEpochOffset, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
  int64_t days, msecs;
  Split(value, days, msecs);
  msec = static_cast<int>(msecs % 1000);
  int64_t secs = msecs / 1000;
  second = static_cast<int>(secs % 60);
  minute = static_cast<int>(secs / 60 % 60);
  hour = static_cast<int>(secs / 3600);
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& msec) {
  DecodeDate(value, year, month, day);
  DecodeTime(value, hour, minute, second, msec);
}

int DayOfWeek(TDateTime value) {
  int64_t days, msecs;
  Split(value, days, msecs);
  // Day 0 (30 Dec 1899) was a Saturday.
  int64_t w = (days + 6) % 7;
  if (w < 0) w += 7;
  return static_cast<int>(w) + 1;
}

int DayOfYear(TDateTime value) {
  int y, m, d;
  DecodeDate(value, y, m, d);
  int64_t days, msecs;
  Split(value, days, msecs);
  return static_cast<int>(days - kEpochOffset - DaysFromCivil(y, 1, 1)) + 1;
}

TDateTime Now() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  if (ms < 0) ms += 1000;
  std::tm local{};
  localtime_r(&t, &local);
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), ms);
}

TDateTime Date() { return std::floor(Now()); }

TDateTime Time() {
  TDateTime now = Now();
  return now - std::floor(now);
}

TDateTime UnixToDateTime(int64_t seconds) {
  return kUnixEpoch + static_cast<double>(seconds) / kSecondsPerDay;
}

int64_t DateTimeToUnix(TDateTime value) { return std::llround((value - kUnixEpoch) * kSecondsPerDay); }

TDateTime DeviceSecondsToDateTime(int64_t seconds) {
  return kDeviceEpoch + static_cast<double>(seconds) / kSecondsPerDay;
}

int64_t DateTimeToDeviceSeconds(TDateTime value) { return std::llround((value - kDeviceEpoch) * kSecondsPerDay); }

}  // namespace tav
