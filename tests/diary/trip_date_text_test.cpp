#include "core/trip_date_text.h"

#include "core/core_data.h"
#include "core/trip_list.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tav {
namespace {

constexpr int kUs = kUnitUsDate, k12 = kUnit12Hour;

TEST(TripDateText, DateOrderAndClockForms) {
  const std::string key = "20131224_140512_0_ANNA;001;*BIKE POWER";
  EXPECT_EQ(TripDateTimeText(key, 0), "24.12.2013 - 14:05");
  EXPECT_EQ(TripDateTimeText(key, kUs), "12/24/2013 - 14:05");
  EXPECT_EQ(TripDateTimeText(key, k12), "24.12.2013 - 02:05PM");
  EXPECT_EQ(TripDateTimeText(key, kUs | k12 | kUnitMiles | kUnitPounds), "12/24/2013 - 02:05PM");
  // A manual entry's key reads the same way.
  EXPECT_EQ(TripDateTimeText("20140305_0930NR3_ANNA;012;*a", 0), "05.03.2014 - 09:30");
  // 12-hour clock: midnight reads 12:xxAM, noon 12:xxPM.
  const char* const times[][2] = {{"0015", "12:15AM"}, {"0100", "01:00AM"}, {"1159", "11:59AM"},
                                  {"1215", "12:15PM"}, {"1300", "01:00PM"}, {"2359", "11:59PM"}};
  for (const auto& t : times)
    EXPECT_EQ(TripDateTimeText(std::string("20140305_") + t[0] + "00_0_X", k12).substr(13), t[1]) << t[0];
}

TEST(TripDateText, ShortAndDamagedKeysAreReadSafely) {
  EXPECT_EQ(TripDateTimeText("BLOCK2", 0), "  .K2.BLOC - 00:00");
  EXPECT_EQ(TripDateTimeText("20140305", 0), "05.03.2014 - 00:00");
  EXPECT_EQ(TripDateTimeText("2013", 0), "  .  .2013 - 00:00");
  EXPECT_EQ(TripDateTimeText("201", kUs), "  /  / 201 - 00:00");
  EXPECT_EQ(TripDateTimeText("20140305_9", 0), "05.03.2014 - 09:00");
  EXPECT_EQ(TripDateTimeText("", kUs | k12), "  /  /     - 12:00AM");
  // A terminator inside the view ends the key.
  EXPECT_EQ(TripDateTimeText(std::string_view("2014\0" "0305_0930", 14), 0), "  .  .2014 - 00:00");
  // Letters where digits belong read as 0; the text stays within 30 bytes.
  EXPECT_EQ(TripDateTimeText("yyyymmdd_hhmm", k12), "dd.mm.yyyy - 12:00AM");
  EXPECT_LT(TripDateTimeText("99999999_9999", k12).size(), 30u);
}

TEST(TripDateText, DisplayDateFormatsItself) {
  const double d = DateValue(2013, 12, 24);
  EXPECT_EQ(DisplayDateText(d, 0), "24.12.2013");
  EXPECT_EQ(DisplayDateText(d + 0.75, kUs | k12), "12/24/2013");  // time of day ignored
  EXPECT_EQ(DisplayDateText(-1.5, 0), "28.12.1899");
  // Values that are no date give an empty text.
  EXPECT_EQ(DisplayDateText(std::nan(""), 0), "");
  EXPECT_EQ(DisplayDateText(1e300, 0), "");
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
  EXPECT_STREQ(FormatTripDateTime(nullptr, buf), "  .  .     - 00:00");
  UnitFlags = saved;
}

}  // namespace
}  // namespace tav
