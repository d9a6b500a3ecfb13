#include "diary/diary_edits.h"

#include <gtest/gtest.h>

#include "core/core_data.h"
#include "core/trip_list.h"
#include "platform/strings.h"

namespace tav {
namespace {

using Lines = std::vector<std::string>;

TEST(ManualEntries, LineAndStatisticsInEveryUnit) {
  ManualEntry e;
  e.year = 2014, e.month = 3, e.day = 5, e.hour = 9, e.minute = 30, e.kind = 5;
  EXPECT_EQ(ManualEntryLine(e, "ANNA", 12, {"a", "b"}, ""), "20140305_0930NR5_ANNA;012;*a|~b");
  EXPECT_EQ(ManualEntryLine(e, "ANNA", 7, {"a", "", ""}, "pool"), "20140305_0930NR5_ANNA;007;*a|~\xA7pool");
  e.duration_seconds = 5400, e.distance = 10, e.heart_rate = 132, e.temperature = 68, e.start_time = 0.25;
  const struct {
    int flags;
    float km, celsius;
  } rows[] = {{0, 10.0f, 68.0f}, {kUnitMiles, static_cast<float>(10 / 0.62137), 68.0f}, {kUnitFahrenheit, 10.0f, 20.0f}};
  for (const auto& r : rows) {
    const TripSummary s = ManualEntrySummary(e, r.flags);
    EXPECT_EQ(s.TotalTime, 5400);
    EXPECT_FLOAT_EQ(s.Distance, r.km) << r.flags;
    EXPECT_FLOAT_EQ(s.MeanTemperature, r.celsius) << r.flags;
    EXPECT_FLOAT_EQ(s.MeanHeartRate, 132.0f);
    EXPECT_FLOAT_EQ(s.MeanSpeed, 0.25f);                // start time of day
    EXPECT_FLOAT_EQ(s.MaxSpeed, DateValue(2014, 3, 5));  // date
  }
  EXPECT_EQ(EntryNumber(" 12.5"), 12.5);
  EXPECT_EQ(EntryNumber("1e400"), 0.0);
}

TEST(Comments, SurviveEditCyclesAndTypedSeparators) {
  const struct {
    const char* tail;
    Lines comment;
    const char* remark;
  } rows[] = {{"*BIKE POWER", {"BIKE POWER"}, ""},
              {"*a|~b|~\xA7sprint", {"a", "b"}, "sprint"},
              {"*BIKE*my ride|~\xA7", {"my ride"}, ""},
              {"*old|new\xA7r", {"old", "new"}, "r"},
              {"", {}, ""}};
  for (const auto& r : rows) {
    const LineCommentParts p = SplitLineComment(std::string("20140301_0800000_T;001;") + r.tail);
    EXPECT_EQ(p.lines, r.comment) << r.tail;
    EXPECT_EQ(p.remark, r.remark) << r.tail;
  }
  std::string line = "20140301_0800000_T;001;*a|~b|~\xA7sprint";
  for (int cycle = 0; cycle < 5; ++cycle) {
    const LineCommentParts p = SplitLineComment(line);
    line = LineWithTail(line, CommentTail(p.lines, p.remark), 0);
  }
  EXPECT_EQ(line, "20140301_0800000_T;001;*a|~b|~\xA7sprint");
  EXPECT_EQ(CommentTail({"x", "", "dropped"}, ""), "*x|~\xA7");  // ends at the first empty line
  EXPECT_EQ(CleanTypedComment("5*400 | flat~ \xA7" "3"), "5x400 / flat- S3");
  // A manual entry changes its kind with the comment; a trip keeps its key.
  EXPECT_EQ(LineWithTail("20140301_0800NR3_A;004;*x", "*y", 6), "20140301_0800NR6_A;004;*y");
  EXPECT_EQ(LineWithTail("20140301_0800002_T;004;*x", "*y", 6), "20140301_0800002_T;004;*y");
}

TEST(DeleteLines, FreeEachValidSlotOnce) {
  ResetCoreData();
  TStringList list{"20140301_0800000_T;007;*a", "20140302_0800000_T;012;*b", "20140303_0800000_T;012;*same slot",
                   "20140304_0800000_T;1500;*no slot", "20140305_0800000_T*no semicolon", "ERASED :"};
  TripDistributionTable[7].Data.TotalTime = 3600;
  const struct {
    int index;
    bool removed, freed;
    const char* free_line;
  } steps[] = {{0, true, true, "ERASED :7;"},   {0, true, false, "ERASED :7;"},  // 12 still used
               {0, true, true, "ERASED :7;12;"}, {0, true, false, "ERASED :7;12;"},  // 1500 is no slot
               {0, false, false, "ERASED :7;12;"},  // no ';': stays
               {1, false, false, "ERASED :7;12;"}};  // the free-slot line is no row
  for (const auto& s : steps) {
    const DeletedLine d = DeleteDiaryLine(list, s.index);
    EXPECT_EQ(d.removed, s.removed);
    EXPECT_EQ(d.freed, s.freed);
    EXPECT_EQ(list[list.Count() - 1], s.free_line);
  }
  EXPECT_EQ(TripDistributionTable[7].Data.TotalTime, 0);
  list.Insert(0, "20140306_0800000_T;007;*stale copy");  // a slot free already is not freed twice
  EXPECT_FALSE(DeleteDiaryLine(list, 0).freed);
  EXPECT_EQ(list[list.Count() - 1], "ERASED :7;12;");
}

TEST(JoinTrips, LimitAndContinuity) {
  EXPECT_TRUE(JoinFits(30000, 14500));
  EXPECT_FALSE(JoinFits(30000, 14501));
  std::vector<TripSample> a(7), b(4);
  for (int i = 1; i < 4; ++i) {
    a[i].Time = b[i].Time = (i - 1) * 2;  // the first record at time 0
    a[i].Distance = 0.01f * i;
    a[i].Altitude = 100.0f + i;
    b[i].Distance = 0.02f * i;
    b[i].Altitude = 500.0f + 2 * i;
    b[i].Power = 200.0f + i;
  }
  EXPECT_EQ(JoinTripRecords(a.data(), 4, b.data(), 4, 2), 7);
  for (int j = 1; j < 4; ++j) {
    const TripSample& r = a[static_cast<std::size_t>(3 + j)];
    EXPECT_EQ(r.Time, 4 + 2 * j);
    EXPECT_FLOAT_EQ(r.Distance, 0.03f + 0.02f * j);
    EXPECT_FLOAT_EQ(r.Altitude, 103.0f + 2 * (j - 1));
    EXPECT_EQ(r.Power, 200.0f + j);
    EXPECT_EQ(r.Pause, j == 1 ? 55 : 0);  // the joint
  }
  // A damaged first trip ending at the largest time: the joined times stop there.
  a[3].Time = INT32_MAX - 3;
  EXPECT_EQ(JoinTripRecords(a.data(), 4, b.data(), 4, 2), 7);
  EXPECT_EQ(a[4].Time, INT32_MAX - 1);
  EXPECT_EQ(a[5].Time, INT32_MAX);
  EXPECT_EQ(a[6].Time, INT32_MAX);
}

TEST(HeartRate, MoreThanFourFifthsOfTheRecords) {
  // count (header included), records with a heart rate above 30, usable
  const int rows[][3] = {{101, 81, 1}, {101, 80, 0}, {100, 81, 1}, {100, 80, 0}, {6, 5, 1}, {1, 0, 0}};
  for (const auto& r : rows) {
    std::vector<TripSample> t(static_cast<std::size_t>(r[0]));
    t[0].HeartRate = 170;  // the header's threshold does not count
    for (int i = 1; i <= r[1]; ++i) t[static_cast<std::size_t>(i)].HeartRate = i % 2 ? 31.0f : 120.0f;
    EXPECT_EQ(HeartRateUsable(t.data(), r[0]), r[2] == 1) << r[0] << " " << r[1];
  }
}

}  // namespace
}  // namespace tav
