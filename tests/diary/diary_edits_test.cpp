#include "diary/diary_edits.h"

#include <gtest/gtest.h>

#include "core/core_data.h"
#include "core/trip_file.h"
#include "core/trip_list.h"
#include "platform/strings.h"

namespace tav {
namespace {

using Lines = std::vector<std::string>;

TEST(ManualEntries, LineKeyAndStatistics) {
  ManualEntry e;
  e.year = 2014, e.month = 3, e.day = 5, e.hour = 9, e.minute = 30, e.kind = 5;
  EXPECT_EQ(ManualEntryLine(e, "ANNA", 12, {"a", "b"}, ""), "20140305_0930NR5_ANNA;012;*a|~b");
  EXPECT_EQ(ManualEntryLine(e, "ANNA", 7, {"a", "", ""}, "pool"), "20140305_0930NR5_ANNA;007;*a|~\xA7pool");
  EXPECT_TRUE(IsManualLine(ManualEntryKey(e, "X")));

  e.duration_seconds = 5400;
  e.distance = 10;
  e.heart_rate = 132;
  e.temperature = 68;
  e.start_time = 0.25;
  struct Row {
    int flags;
    float km, celsius;
  } const rows[] = {{0, 10.0f, 68.0f},
                    {kUnitMiles, static_cast<float>(10 / 0.62137), 68.0f},
                    {kUnitFahrenheit, 10.0f, 20.0f}};
  for (const Row& r : rows) {
    const TripSummary s = ManualEntrySummary(e, r.flags);
    EXPECT_EQ(s.TotalTime, 5400);
    EXPECT_FLOAT_EQ(s.Distance, r.km) << r.flags;
    EXPECT_FLOAT_EQ(s.MeanTemperature, r.celsius) << r.flags;
    EXPECT_FLOAT_EQ(s.MeanHeartRate, 132.0f);
    EXPECT_FLOAT_EQ(s.MeanSpeed, 0.25f);                        // start time of day
    EXPECT_FLOAT_EQ(s.MaxSpeed, DateValue(2014, 3, 5));          // date
    EXPECT_EQ(s.MeanPowerAll, 0.0f);
  }
  EXPECT_EQ(EntryNumber(" 12.5"), 12.5);
  EXPECT_EQ(EntryNumber(" "), 0.0);
  EXPECT_EQ(EntryNumber("1e400"), 0.0);
}

TEST(Comments, SurviveEditCyclesAndTypedSeparators) {
  // line tail -> comment lines and remark, as the comment panel reads them.
  struct Row {
    const char* line;
    Lines comment;
    const char* remark;
  } const rows[] = {
      {"20140301_0800000_TAV;001;*BIKE POWER", {"BIKE POWER"}, ""},
      {"20140301_0800000_TAV;001;*a|~b|~\xA7sprint", {"a", "b"}, "sprint"},
      {"20140301_0800000_TAV;001;*BIKE*my ride|~\xA7", {"my ride"}, ""},
      {"20140301_0800000_TAV;001;*old|new\xA7r", {"old", "new"}, "r"},
      {"20140301_0800000_TAV;001;", {}, ""},
  };
  for (const Row& r : rows) {
    const LineCommentParts p = SplitLineComment(r.line);
    EXPECT_EQ(p.lines, r.comment) << r.line;
    EXPECT_EQ(p.remark, r.remark) << r.line;
  }
  // Storing what was read, again and again, changes nothing after the first store.
  std::string line = "20140301_0800000_TAV;001;*a|~b|~\xA7sprint";
  for (int cycle = 0; cycle < 5; ++cycle) {
    const LineCommentParts p = SplitLineComment(line);
    line = LineWithTail(line, CommentTail(p.lines, p.remark), 0);
  }
  EXPECT_EQ(line, "20140301_0800000_TAV;001;*a|~b|~\xA7sprint");
  // The comment ends before its first empty line; typed separators cannot break the line.
  EXPECT_EQ(CommentTail({"x", "", "dropped"}, ""), "*x|~\xA7");
  const std::string typed = CleanTypedComment("5*400 | flat~ \xA7" "3");
  EXPECT_EQ(typed, "5x400 / flat- S3");
  line = LineWithTail(line, CommentTail({typed}, CleanTypedComment("a|b")), 0);
  EXPECT_EQ(SplitLineComment(line).lines, Lines{typed});
  EXPECT_EQ(SplitLineComment(line).remark, "a/b");
  // A manual entry changes its kind with the comment; a trip keeps its key.
  EXPECT_EQ(LineWithTail("20140301_0800NR3_ANNA;004;*x", "*y|~\xA7", 6), "20140301_0800NR6_ANNA;004;*y|~\xA7");
  EXPECT_EQ(LineWithTail("20140301_0800002_TAV;004;*x", "*y|~\xA7", 6), "20140301_0800002_TAV;004;*y|~\xA7");
}

TEST(DeleteLines, FreeSlotLineKeepsItsEntriesAndFreesEachSlotOnce) {
  ResetCoreData();
  TStringList list{"20140301_0800000_TAV;007;*a", "20140302_0800000_TAV;012;*b",
                   "20140303_0800000_TAV;012;*same slot", "20140304_0800000_TAV;1500;*no slot",
                   "20140305_0800000_TAV*no semicolon", "ERASED :"};
  TripDistributionTable[7].Mark = kTableMark;
  TripDistributionTable[7].Data.TotalTime = 3600;
  DeletedLine d = DeleteDiaryLine(list, 0);
  EXPECT_TRUE(d.removed && d.freed);
  EXPECT_EQ(list[list.Count() - 1], "ERASED :7;");
  EXPECT_EQ(TripDistributionTable[7].Data.TotalTime, 0);
  d = DeleteDiaryLine(list, 0);  // slot 12 is still used by the next line
  EXPECT_TRUE(d.removed && !d.freed);
  d = DeleteDiaryLine(list, 0);
  EXPECT_TRUE(d.freed);
  EXPECT_EQ(list[list.Count() - 1], "ERASED :7;12;");
  d = DeleteDiaryLine(list, 0);  // slot 1500 is no slot
  EXPECT_TRUE(d.removed && !d.freed);
  EXPECT_FALSE(DeleteDiaryLine(list, 0).removed);  // a line without ';' stays
  EXPECT_FALSE(DeleteDiaryLine(list, 1).removed);  // the free-slot line is no row
  EXPECT_FALSE(DeleteDiaryLine(list, 9).removed);
  // A line naming a slot that is free already does not free it twice.
  list.Insert(0, "20140306_0800000_TAV;007;*stale copy");
  EXPECT_FALSE(DeleteDiaryLine(list, 0).freed);
  EXPECT_EQ(list[list.Count() - 1], "ERASED :7;12;");
  // Taking the first slot leaves the rest of the line as written.
  list.Add("20140307_0800000_TAV;001;*");
  list.Exchange(list.Count() - 1, list.Count() - 2);
  EXPECT_EQ(NextTripNumber(list), 7);
  EXPECT_EQ(list[list.Count() - 1], "ERASED :12;");
}

TEST(JoinTrips, LimitAndContinuity) {
  EXPECT_TRUE(JoinFits(30000, 14500));
  EXPECT_FALSE(JoinFits(30000, 14501));
  std::vector<TripSample> a(4 + 3), b(4);
  for (int i = 1; i < 4; ++i) {
    a[i].Time = (i - 1) * 2;  // the first record at time 0
    a[i].Distance = 0.01f * i;
    a[i].Altitude = 100.0f + i;
    b[i].Time = (i - 1) * 2;
    b[i].Distance = 0.02f * i;
    b[i].Altitude = 500.0f + 2 * i;
    b[i].Power = 200.0f + i;
    b[i].Interval = 3;
  }
  ASSERT_EQ(RecordInterval(a.data(), 4), 2);
  EXPECT_EQ(JoinTripRecords(a.data(), 4, b.data(), 4, 2), 7);
  for (int j = 1; j < 4; ++j) {
    const TripSample& r = a[static_cast<std::size_t>(3 + j)];
    EXPECT_EQ(r.Time, 4 + 2 * j);
    EXPECT_FLOAT_EQ(r.Distance, 0.03f + 0.02f * j);
    EXPECT_FLOAT_EQ(r.Altitude, 103.0f + 2 * (j - 1));  // continues from the last altitude
    EXPECT_EQ(r.Power, 200.0f + j);
    EXPECT_EQ(r.Interval, 3);
    EXPECT_EQ(r.Pause, j == 1 ? 55 : 0);  // the joint
  }
}

TEST(HeartRate, MoreThanFourFifthsOfTheRecords) {
  // count (header included), records with a heart rate above 30 -> usable
  const int rows[][3] = {{101, 81, 1}, {101, 80, 0}, {100, 81, 1}, {100, 80, 0}, {5, 4, 0}, {6, 5, 1}, {1, 0, 0}};
  for (const auto& r : rows) {
    std::vector<TripSample> t(static_cast<std::size_t>(r[0]));
    t[0].HeartRate = 170;  // the header's threshold does not count
    for (int i = 1; i <= r[1]; ++i) t[static_cast<std::size_t>(i)].HeartRate = i % 2 ? 31.0f : 120.0f;
    EXPECT_EQ(HeartRateUsable(t.data(), r[0]), r[2] == 1) << r[0] << " " << r[1];
  }
}

}  // namespace
}  // namespace tav
