// Date values: days since 30 December 1899 as a double, the time of day as
// the fraction (06:00 is .25). The trip database stores them this way.
// Before the epoch the whole days count backwards while the fraction still
// counts forwards: -1.25 is 29 December 1899, 06:00.
#pragma once

#include <cstdint>
#include <string>

namespace tav {

using TDateTime = double;

constexpr int kSecondsPerDay = 86400;
constexpr int64_t kMSecsPerDay = 86400000;
constexpr TDateTime kUnixEpoch = 25569.0;    // 1 January 1970
constexpr TDateTime kDeviceEpoch = 36892.0;  // 1 January 2001, the recorder's time base

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // 0 for a month outside 1..12

// False (out untouched) for a date that does not exist or lies outside 1..9999.
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
// Throws std::invalid_argument for a date that does not exist.
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out);
// Throws std::invalid_argument outside 0:00:00.000 .. 23:59:59.999.
TDateTime EncodeTime(int hour, int minute, int second, int msec = 0);

// Decoding rounds to the millisecond; a value that rounds up to midnight
// belongs to the next day (never 24:00:00).
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& msec);
// 1 Sunday .. 7 Saturday.
int DayOfWeek(TDateTime value);
// Day of the year, 1 for 1 January.
int DayOfYear(TDateTime value);

// Local date and time now, today at 0:00, and the time of day.
TDateTime Now();
TDateTime Date();
TDateTime Time();

// Seconds since 1 January 1970 UTC (no time zone applied) and back.
TDateTime UnixToDateTime(int64_t seconds);
int64_t DateTimeToUnix(TDateTime value);
// The recorder's clock: seconds since 1 January 2001 00:00.
TDateTime DeviceSecondsToDateTime(int64_t seconds);
int64_t DateTimeToDeviceSeconds(TDateTime value);

}  // namespace tav
