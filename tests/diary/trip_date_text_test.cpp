#include "diary/trip_date_text.h"

#include "core/core_data.h"
#include "core/trip_list.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tav {
namespace {

constexpr int kUs = kUnitUsDate, k12 = kUnit12Hour;

TEST(TripDateText, FourDateAndClockForms) {
  const std::string key = "20131224_140512_0_ANNA;001;*BIKE POWER";
  EXPECT_EQ(TripDateTimeText(key, 0), "24.12.2013 - 14:05");
  EXPECT_EQ(TripDateTimeText(key, kUs), "12/24/2013 - 14:05");
  EXPECT_EQ(TripDateTimeText(key, k12), "24.12.2013 - 02:05PM");
  EXPECT_EQ(TripDateTimeText(key, kUs | k12), "12/24/2013 - 02:05PM");
  // Other unit bits change nothing.
  EXPECT_EQ(TripDateTimeText(key, 1 | 2 | 4), "24.12.2013 - 14:05");
}

TEST(TripDateText, TwelveHourClockAroundNoonAndMidnight) {
  auto at = [](const char* hhmm) {
    return TripDateTimeText(std::string("20140305_") + hhmm + "00_0_X", k12).substr(13);
  };
  EXPECT_EQ(at("0015"), "12:15AM");  // midnight
  EXPECT_EQ(at("0100"), "01:00AM");
  EXPECT_EQ(at("0930"), "09:30AM");
  EXPECT_EQ(at("1159"), "11:59AM");
  EXPECT_EQ(at("1215"), "12:15PM");  // noon
  EXPECT_EQ(at("1300"), "01:00PM");
  EXPECT_EQ(at("2359"), "11:59PM");
}

TEST(TripDateText, ManualEntryKeyAndDateOrder) {
  EXPECT_EQ(TripDateTimeText("20140305_0930NR3_ANNA;012;*a", 0), "05.03.2014 - 09:30");
  EXPECT_EQ(TripDateTimeText("20140305_0930NR3_ANNA;012;*a", kUs).substr(0, 13), "03/05/2014 - ");
}

TEST(TripDateText, ShortAndDamagedKeysAreReadSafely) {
  EXPECT_EQ(TripDateTimeText("BLOCK2", 0), ".K2.BLOC - 00:00");
  EXPECT_EQ(TripDateTimeText("20140305", 0), "05.03.2014 - 00:00");
  EXPECT_EQ(TripDateTimeText("20140305_9", 0), "05.03.2014 - 09:00");
  EXPECT_EQ(TripDateTimeText("", kUs | k12), "// - 12:00AM");
  // A terminator inside the view ends the key.
  EXPECT_EQ(TripDateTimeText(std::string_view("2014\0" "0305_0930", 14), 0), "..2014 - 00:00");
  // Letters where digits belong read as 0; the text stays within 30 bytes.
  const std::string t = TripDateTimeText("yyyymmdd_hhmm", k12);
  EXPECT_EQ(t, "dd.mm.yyyy - 12:00AM");
  EXPECT_LT(TripDateTimeText("99999999_9999", k12).size(), 30u);
}

TEST(TripDateText, DisplayDateFormatsItself) {
  const double d = DateValue(2013, 12, 24);
  EXPECT_EQ(d, 41632.0);
  EXPECT_EQ(DisplayDateText(d, 0), "24.12.2013");
  EXPECT_EQ(DisplayDateText(d, kUs), "12/24/2013");
  EXPECT_EQ(DisplayDateText(d + 0.75, 0), "24.12.2013");  // time of day ignored
  EXPECT_EQ(DisplayDateText(DateValue(2014, 3, 5), kUs | k12), "03/05/2014");
  EXPECT_EQ(DisplayDateText(0.0, 0), "30.12.1899");
  EXPECT_EQ(DisplayDateText(-1.5, 0), "28.12.1899");
  EXPECT_EQ(DisplayDateText(DateValue(2000, 2, 29), 0), "29.02.2000");
}

TEST(TripDateText, DisplayDateRejectsNonDates) {
  EXPECT_EQ(DisplayDateText(std::nan(""), 0), "");
  EXPECT_EQ(DisplayDateText(1e300, 0), "");
  EXPECT_EQ(DisplayDateText(-1e9, kUs), "");
  int32_t day = 0;
  EXPECT_TRUE(DateValueDay(-693593.0, day));  // 1 Jan 0001
  EXPECT_EQ(DisplayDateText(day, 0), "01.01.0001");
  EXPECT_TRUE(DateValueDay(2958465.99, day));  // 31 Dec 9999, late in the day
  EXPECT_EQ(day, 2958465);
  EXPECT_FALSE(DateValueDay(2958466.0, day));
  EXPECT_FALSE(DateValueDay(-693594.0, day));
}

TEST(TripDateText, GlobalFormsFollowUnitFlags) {
  const int32_t saved = UnitFlags;
  char buf[30];
  UnitFlags = kUnitUsDate | kUnit12Hour;
  EXPECT_STREQ(FormatTripDateTime("20131224_140512_0", buf), "12/24/2013 - 02:05PM");
  EXPECT_EQ(FormatDisplayDate(DateValue(2013, 12, 24)), "12/24/2013");
  UnitFlags = 0;
  EXPECT_EQ(FormatTripDateTime(std::string_view("20131224_1405")), "24.12.2013 - 14:05");
  EXPECT_STREQ(FormatTripDateTime(nullptr, buf), ".. - 00:00");
  UnitFlags = saved;
}

}  // namespace
}  // namespace tav
