#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "platform/datetime.h"

using namespace tav;

TEST(DateValue, DamagedValuesDecodeAsTheEndsOfTheRange) {
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
  int y, m, d, h, mi, s, ms;
  for (double v : {1e300, 4e9, std::numeric_limits<double>::max()}) {
    DecodeDateTime(v, y, m, d, h, mi, s, ms);
    EXPECT_EQ(y * 10000 + m * 100 + d, 99991231) << v;
    EXPECT_EQ(h * 10000 + mi * 100 + s, 235959) << v;
    EXPECT_EQ(DayOfYear(v), 365);
    EXPECT_EQ(DayOfWeek(v), 6);  // a Friday
  }
  for (double v : {-1e300, -4e9, std::numeric_limits<double>::lowest()}) {
    DecodeDate(v, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 10101) << v;
    EXPECT_GE(DayOfWeek(v), 1);
  }
  DecodeDateTime(2958465.5, y, m, d, h, mi, s, ms);  // the last day itself is kept
  EXPECT_EQ(y * 10000 + m * 100 + d, 99991231);
  EXPECT_EQ(h, 12);
}

// The epoch and its weekday anchor the round trip of four centuries below.
TEST(DateValue, EpochAndKnownDays) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(DayOfWeek(0), 7);  // a Saturday; weeks start on Sunday
  EXPECT_EQ(EncodeDate(1970, 1, 1), kUnixEpoch);
  EXPECT_EQ(EncodeDate(2001, 1, 1), kDeviceEpoch);
  int y, m, d, h, mi, s, ms;
  DecodeDate(-1.25, y, m, d);  // before the epoch: days back, time forward
  EXPECT_EQ(y * 10000 + m * 100 + d, 18991229);
  DecodeTime(-1.25, h, mi, s, ms);
  EXPECT_EQ(h, 6);
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 6, 3) + 0.99), 2);
  EXPECT_EQ(DayOfYear(EncodeDate(2024, 12, 31)), 366);
  EXPECT_EQ(DayOfYear(EncodeDate(2023, 1, 1)), 1);
}

TEST(DateValue, LeapYearsAndInvalidDates) {
  for (auto [year, leap] : {std::pair{2000, true}, {1900, false}, {2024, true}, {2100, false}}) {
    EXPECT_EQ(IsLeapYear(year), leap) << year;
    EXPECT_EQ(DaysInMonth(year, 2), leap ? 29 : 28) << year;
  }
  EXPECT_EQ(DaysInMonth(2023, 13), 0);
  TDateTime v = 123;
  for (auto [m, d] : {std::pair{2, 29}, {0, 1}, {4, 31}}) EXPECT_FALSE(TryEncodeDate(2023, m, d, v)) << m << "/" << d;
  EXPECT_EQ(v, 123);
  EXPECT_THROW(EncodeDate(1900, 2, 29), std::invalid_argument);
}

TEST(DateValue, EveryDayOfFourCenturiesRoundTrips) {
  TDateTime expected = EncodeDate(1800, 1, 1);
  int last_dow = DayOfWeek(expected) - 1;
  for (int y = 1800; y < 2200; ++y)
    for (int m = 1; m <= 12; ++m)
      for (int d = 1; d <= DaysInMonth(y, m); ++d) {
        ASSERT_EQ(EncodeDate(y, m, d), expected) << y << "-" << m << "-" << d;
        int yy, mm, dd;
        // Noon: after the epoch the fraction adds, before it the day counts back.
        DecodeDate(expected >= 0 ? expected + 0.5 : expected - 0.5, yy, mm, dd);
        ASSERT_EQ(yy * 10000 + mm * 100 + dd, y * 10000 + m * 100 + d);
        int dow = DayOfWeek(expected);
        ASSERT_EQ(dow, last_dow % 7 + 1);
        last_dow = dow;
        expected += 1;
      }
}

TEST(DateValue, TimesEncodeDecodeAndRoundToMilliseconds) {
  EXPECT_EQ(EncodeTime(6, 0, 0), 0.25);
  EXPECT_EQ(EncodeTime(12, 0, 0), 0.5);
  EXPECT_THROW(EncodeTime(24, 0, 0), std::invalid_argument);
  EXPECT_THROW(EncodeTime(1, 60, 0), std::invalid_argument);
  TDateTime t = EncodeDate(2023, 7, 14) + EncodeTime(13, 45, 30, 250);
  int y, mo, d, h, mi, s, ms;
  DecodeDateTime(t, y, mo, d, h, mi, s, ms);
  EXPECT_EQ((std::vector<int>{y, mo, d, h, mi, s, ms}), (std::vector<int>{2023, 7, 14, 13, 45, 30, 250}));
  // Just before midnight rounds into the next day, never to 24:00.
  TDateTime late = EncodeDate(2023, 12, 31) + 0.9999999999;
  DecodeDateTime(late, y, mo, d, h, mi, s, ms);
  EXPECT_EQ((std::vector<int>{y, mo, d, h, mi, s, ms}), (std::vector<int>{2024, 1, 1, 0, 0, 0, 0}));
  // Every second of a day survives a round trip.
  for (int sec = 0; sec < 86400; sec += 7) {
    DecodeTime(EncodeTime(sec / 3600, sec / 60 % 60, sec % 60), h, mi, s, ms);
    ASSERT_EQ(h * 3600 + mi * 60 + s, sec);
    ASSERT_EQ(ms, 0);
  }
}

TEST(DateValue, NowTodayAndClockBases) {
  TDateTime now = Now();
  EXPECT_GT(now, EncodeDate(2020, 1, 1));
  EXPECT_LE(Date(), now);
  EXPECT_LT(now - Date(), 1.0);
  EXPECT_EQ(DeviceSecondsToDateTime(0), EncodeDate(2001, 1, 1));
  EXPECT_EQ(DeviceSecondsToDateTime(86400 + 3600), EncodeDate(2001, 1, 2) + EncodeTime(1, 0, 0));
  EXPECT_EQ(DateTimeToDeviceSeconds(EncodeDate(2024, 3, 1) + EncodeTime(10, 20, 30)), 730981230);
  EXPECT_EQ(DateTimeToUnix(EncodeDate(2001, 9, 9) + EncodeTime(1, 46, 40)), 1000000000);
  EXPECT_EQ(UnixToDateTime(0), kUnixEpoch);
}
