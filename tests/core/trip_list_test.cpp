#include "core/trip_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/core_data.h"
#include "core/trip_catalog.h"
#include "core/trip_database.h"
#include "core/trip_file.h"
#include "core_test_util.h"

#include <cerrno>
#include "platform/strings.h"
#include "platform/text.h"

namespace tav {
namespace {

using namespace testing_core;

TEST(TripLine, PartsOfATripLine) {
  std::string line = "20240315_0930152_FIT;012PF;*RUN easy|second line~x|~\xA7remark two";
  EXPECT_EQ(LineKey(line), "20240315_0930152_FIT");
  EXPECT_FALSE(IsManualLine(line));
  EXPECT_EQ(LineSportDigit(line), 2);
  int y, m, d, h, mi, s;
  ASSERT_TRUE(LineDate(line, y, m, d));
  EXPECT_EQ(y * 10000 + m * 100 + d, 20240315);
  ASSERT_TRUE(LineTime(line, h, mi, s));
  EXPECT_EQ(h * 10000 + mi * 100 + s, 93015);
  EXPECT_EQ(LineSlot(line), 12);
  EXPECT_EQ(LineTableSlot(line), 12);
  EXPECT_TRUE(LineHasPF(line));
  EXPECT_EQ(LineComment(line), "RUN easy");
  EXPECT_EQ(LineSecondRemark(line), "remark two");
  EXPECT_EQ(LineTail(line), "RUN easy|second line~x|~\xA7remark two");
  EXPECT_TRUE(IsTripLine(line));
  EXPECT_EQ(LineDateValue(line), DateValue(2024, 3, 15));
  std::string copy = line;
  EXPECT_TRUE(ClearLinePF(copy));
  EXPECT_EQ(copy.substr(21, 5), "012__");
  EXPECT_FALSE(LineHasPF(copy));
  EXPECT_FALSE(ClearLinePF(copy));
}

TEST(TripLine, ManualEntryLine) {
  std::string line = "20240316_1830NR5_ANNA;044;*Swimming";
  EXPECT_TRUE(IsManualLine(line));
  EXPECT_EQ(LineSportDigit(line), 5);
  int h, mi, s;
  ASSERT_TRUE(LineTime(line, h, mi, s));
  EXPECT_EQ(h * 10000 + mi * 100 + s, 183000);
  EXPECT_EQ(LineSlot(line), 44);
  EXPECT_FALSE(LineHasPF(line));
  EXPECT_EQ(LineComment(line), "Swimming");
  EXPECT_EQ(LineSecondRemark(line), "");
  EXPECT_TRUE(IsTripLine(line));
  // 'R' at 14 alone also counts as manual.
  EXPECT_TRUE(IsManualLine("20240316_1830XR5_ANNA;044;"));
}

TEST(TripLine, ShortAndMalformedLinesAreReadSafely) {
  for (std::string_view line : {"", "2", "2024", "20240315_09", "20240315_0930152", ";;;", "*", "|~",
                                "ERASED :", "20241340_0930150_X;001;", "abcdefgh_0930150_X;001;",
                                "20240315_0930150_X;", "20240315_0930150_X;abc", "20240315_0930150_X"}) {
    SCOPED_TRACE(std::string(line));
    (void)LineKey(line);
    (void)IsManualLine(line);
    (void)LineSportDigit(line);
    (void)LineComment(line);
    (void)LineSecondRemark(line);
    (void)LineHasPF(line);
    EXPECT_FALSE(IsTripLine(line));
  }
  EXPECT_EQ(LineSlot("20240315_0930150_X;"), std::nullopt);
  EXPECT_EQ(LineSlot("20240315_0930150_X;abc"), std::nullopt);
  EXPECT_EQ(LineSlot("no semicolon"), std::nullopt);
  EXPECT_EQ(LineSportDigit("20240315_093015"), -1);
  EXPECT_EQ(LineSportDigit("20240315_093015x_"), -1);
  EXPECT_EQ(LineDateValue("20240230_0930150_X;001;"), 0);  // 30 February
  EXPECT_EQ(LineKey("abc"), "abc");
  EXPECT_EQ(LineComment("x;001;*"), "");
  EXPECT_EQ(LineComment("x;001;*a|b"), "a");
  // Slots beyond the tables are numbers but no table slots.
  EXPECT_EQ(LineSlot("20240315_0930150_X;1234;"), 1234);
  EXPECT_EQ(LineTableSlot("20240315_0930150_X;1234;"), std::nullopt);
  EXPECT_EQ(LineTableSlot("20240315_0930150_X;999;"), 999);
}

TEST(FreeSlots, BothNumberFormsAndBadEntries) {
  EXPECT_EQ(ParseFreeSlots("ERASED :"), std::vector<int>{});
  EXPECT_EQ(ParseFreeSlots("ERASED :007;012;"), (std::vector<int>{7, 12}));
  EXPECT_EQ(ParseFreeSlots("ERASED :007;12;5;"), (std::vector<int>{7, 12, 5}));
  EXPECT_EQ(ParseFreeSlots("ERASED :1x;;  33 ;44"), (std::vector<int>{33, 44}));
  EXPECT_EQ(ParseFreeSlots("20240315_0930150_X;001;"), std::vector<int>{});
  TStringList list{"20240315_0930150_X;001;", "ERASED :"};
  AddFreeSlot(list, 1);
  AddFreeSlot(list, 25);
  EXPECT_EQ(list[1], "ERASED :1;25;");
  TStringList none{"20240315_0930150_X;001;"};
  AddFreeSlot(none, 3);
  EXPECT_EQ(none.Count(), 2);
  EXPECT_EQ(none[1], "ERASED :3;");
}

class TripListTest : public CoreFixture {};

TEST_F(TripListTest, NextTripNumberTakesFreeSlotsFirst) {
  TStringList list{"20240101_1000000_A;001;*", "20240102_1000000_B;003;*", "ERASED :002;9;"};
  list.SetSorted(true);
  TripCounter = 3;
  EXPECT_EQ(NextTripNumber(list), 2);
  EXPECT_EQ(CurrentTripSlot, 2);
  EXPECT_FALSE(list.Sorted());
  EXPECT_EQ(list[2], "ERASED :9;");  // the rest of the line as it was
  EXPECT_EQ(NextTripNumber(list), 9);
  EXPECT_EQ(list[2], "ERASED :");
  // 9 is now the highest slot in use.
  EXPECT_EQ(TripCounter, 9);
  EXPECT_EQ(NextTripNumber(list), 10);
  EXPECT_EQ(TripCounter, 10);
  // 1 is in use, 0 and 999 and 1500 are no slots for new trips.
  TStringList unusable{"20240101_1000000_A;001;*", "ERASED :001;0;999;1500;"};
  TripCounter = 1;
  EXPECT_EQ(NextTripNumber(unusable), 2);
  EXPECT_EQ(unusable[1], "ERASED :001;0;999;1500;");
}

TEST_F(TripListTest, NextTripNumberRefusesWhenEverySlotIsUsed) {
  TStringList list;
  for (int s = 1; s <= 998; ++s) list.Add(Format("20240101_%06i0_A;%03i;", s, s));
  list.Add("ERASED :");
  TripCounter = 998;
  std::string err;
  CurrentTripSlot = 77;
  EXPECT_EQ(NextTripNumber(list, &err), -1);
  EXPECT_FALSE(err.empty());
  EXPECT_EQ(CurrentTripSlot, 77);
  // A gap below the highest slot is found when the counter is at the top.
  list.Delete(499);  // slot 500
  EXPECT_EQ(NextTripNumber(list, &err), 500);
  EXPECT_EQ(TripCounter, 998);
}

// An entry refused because every slot is in use leaves the list as it was,
// kept in order as before.
TEST_F(TripListTest, AnEntryWithoutAFreeSlotLeavesTheListSorted) {
  TStringList list;
  for (int s = 1; s <= 998; ++s) list.Add(Format("20240101_%06i0_A;%03i;", s, s));
  list.Add("ERASED :");
  list.SetSorted(true);
  const std::vector<std::string> before = list.Lines();
  TripCounter = 998;
  TripListChanged = TripDatabaseChanged = false;
  const StoredLine r = StoreGivenLine(
      list, -1, 0, [](int slot) { return Format("20240102_1000NR3_A;%03i;", slot); }, TripSummary{});
  EXPECT_LT(r.slot, 0);
  EXPECT_FALSE(r.message.empty());
  EXPECT_TRUE(list.Sorted());
  EXPECT_EQ(list.Lines(), before);
}

TEST_F(TripListTest, DateIndexFollowsTheList) {
  TStringList list{"20240101_1000000_A;001;*", "20240102_0800NR4_ANNA;002;*gym", "bad line",
                   "20240105_1000002_B;003PF;*", "ERASED :"};
  BuildTripDateIndex(list);
  ASSERT_EQ(TripDates.size(), 5u);
  EXPECT_EQ(TripDates[0], (TripDateEntry{1, DateValue(2024, 1, 1), 0}));
  EXPECT_EQ(TripDates[1], (TripDateEntry{0, DateValue(2024, 1, 2), 4}));
  EXPECT_EQ(TripDates[2], (TripDateEntry{0, 0, 0}));
  EXPECT_EQ(TripDates[3], (TripDateEntry{3, DateValue(2024, 1, 5), 2}));
  EXPECT_EQ(TripFirstDate, DateValue(2024, 1, 1));
  EXPECT_EQ(TripLastDate, DateValue(2024, 1, 5));
  TripList = list;
  BuildTripDateIndex();
  EXPECT_EQ(TripDates.size(), 5u);
}

TEST(Dates, ValuesAndWeekdays) {
  EXPECT_EQ(DateValue(1899, 12, 30), 0);
  EXPECT_EQ(DateValue(1900, 1, 1), 2);
  EXPECT_EQ(DateValue(2024, 1, 1), 45292);
  int y, m, d;
  DateOfValue(45292 + 59, y, m, d);  // leap day
  EXPECT_EQ(y * 10000 + m * 100 + d, 20240229);
  EXPECT_EQ(IsoWeekday(DateValue(2024, 1, 1)), 1);  // Monday
  EXPECT_EQ(IsoWeekday(DateValue(2024, 3, 17)), 7);
  EXPECT_FALSE(ValidDate(2023, 2, 29));
  EXPECT_TRUE(ValidDate(2000, 2, 29));
  EXPECT_FALSE(ValidDate(1900, 2, 29));
}

TEST_F(TripListTest, LoadKeepsGoodLinesAndReportsDamagedOnes) {
  using Lines = std::vector<std::string>;
  // A missing list gives the free-slot line only, without a message.
  std::string msg;
  ASSERT_TRUE(LoadTripList(TripList, &msg));
  EXPECT_TRUE(msg.empty());
  EXPECT_EQ(TripList.Lines(), Lines{"ERASED :"});
  const std::string text =
      "20240101_1000000_A;001;*one\r\n\r\nERASED :005;\r\ngarbage\r\n"
      "20240102_1000000_B;002;*two \xE4\r\n";
  WriteBytes(FsPath(TripListPath), text);
  ASSERT_TRUE(LoadTripList(TripList, &msg));
  // The free slots move to the end.
  EXPECT_EQ(TripList.Lines(), (Lines{"20240101_1000000_A;001;*one", "20240102_1000000_B;002;*two \xE4", "ERASED :005;"}));
  EXPECT_NE(msg.find("1 line(s)"), std::string::npos) << msg;
  EXPECT_EQ(FileBytes(FsPath(TripListPath + ".BAD")), text);
  // A folder in the list's place is reported, not read.
  std::filesystem::remove(FsPath(TripListPath));
  std::filesystem::create_directories(FsPath(TripListPath));
  msg.clear();
  EXPECT_FALSE(LoadTripList(TripList, &msg));
  EXPECT_FALSE(msg.empty());
  EXPECT_EQ(TripList.Lines(), Lines{"ERASED :"});
  // A list that is there but cannot be read (a pipe here) is not written
  // over with the one line read in its stead.
  std::filesystem::remove(FsPath(TripListPath));
  ASSERT_EQ(::mkfifo(FsPath(TripListPath).c_str(), 0600), 0);
  EXPECT_FALSE(LoadTripList(TripList, &msg));
  std::string err;
  EXPECT_FALSE(SaveTripListFile(FsPath(TripListPath), TripList, &err));
  EXPECT_NE(err.find("not written over"), std::string::npos) << err;
  EXPECT_EQ(std::filesystem::status(FsPath(TripListPath)).type(), std::filesystem::file_type::fifo);
}

// The free-slot line is always written last: a text with lines but without
// it lost its end, even when cut exactly at a line end.
TEST(TripListDamageTest, AMissingFreeSlotLineIsDamage) {
  struct Row {
    std::string text;
    bool freeMissing, damaged;
  };
  const Row rows[] = {
      {"", false, false},
      {"ERASED :\r\n", false, false},
      {"20240101_1000000_A;001;*one\r\nERASED :005;\r\n", false, false},
      {"20240101_1000000_A;001;*one\r\n", true, true},
      {"20240101_1000000_A;001;*one\r\n20240102_1000000_B;002;*two\r\n", true, true},
      {"20240101_1000000_A;001;*one\r\n20240102_10", true, true},
      {"\r\n", true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    TStringList list;
    const TripListDamage damage = ParseTripList(row.text, list);
    EXPECT_EQ(damage.FreeSlotLineMissing, row.freeMissing);
    EXPECT_EQ(damage.Damaged(), row.damaged);
    EXPECT_TRUE(IsFreeSlotListLine(list[list.Count() - 1]));
  }
}

TEST_F(TripListTest, SaveWritesListAndDatabaseAndClearsTheFlag) {
  TripList = TStringList{"20240101_1000000_A;001;*\xE9t\xE9", "ERASED :"};
  TripSummaryTable[1].TotalTime = 3600;
  TripCounter = 1;
  TripListChanged = true;
  std::string err;
  ASSERT_TRUE(SaveTripList(TripList, &err)) << err;
  EXPECT_FALSE(TripListChanged);
  EXPECT_EQ(FileBytes(FsPath(TripListPath)), "20240101_1000000_A;001;*\xE9t\xE9\r\nERASED :\r\n");
  EXPECT_TRUE(std::filesystem::exists(FsPath(TripDatabasePath)));
  // A failed save keeps the flag.
  TripListChanged = true;
  std::string savedPath = TripListPath;
  TripListPath = JoinPath(JoinPath(PathText(dir_), "missing"), "x.T_L");
  RiderDir = PathText(dir_ / "file_not_folder");
  WriteBytes(FsPath(RiderDir), "x");
  EXPECT_FALSE(SaveTripList(TripList, &err));
  EXPECT_TRUE(TripListChanged);
}

TEST_F(TripListTest, CollectionListAndTripFilePaths) {
  WriteBytes(FsPath(JoinPath(RiderDir, "20240101_1000000_A.DEO")), "x");
  SelectedTrips = TStringList{"20240101_1000000_A;001;*a", "20240102_0800NR4_ANNA;002;*gym",
                              "20240103_1000000_C;3;*missing file", "no semicolon"};
  ASSERT_TRUE(WriteCollectionList());
  TStringList coll;
  ASSERT_TRUE(coll.LoadFromFile(FsPath(CollectionListPath)));
  // Every selected line of any kind, manual entries too.
  ASSERT_EQ(coll.Count(), 3);
  EXPECT_EQ(coll[0], "20240101_1000000_A;001PF;");
  EXPECT_EQ(coll[1], "20240102_0800NR4_ANNA;002PF;");
  EXPECT_EQ(coll[2], "20240103_1000000_C;003PF;");
  auto paths = ListTripFilePaths(SelectedTrips);
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_EQ(paths[0], JoinPath(RiderDir, "20240101_1000000_A.DEO"));
}

TEST_F(TripListTest, StoreNewTripFilesWritesAndEvaluates) {
  LoadIntoCurrent(RampTrip(120));
  HeaderThreshold(TripSamples[0]) = 0.0f;
  TripList = TStringList{"20240105_1000000_B;001;*", "ERASED :"};
  TripCounter = 1;
  std::string key = MakeTripKey(2024, 1, 3, 7, 5, 9, kSportBikePower, "TAV");
  EXPECT_EQ(key, "20240103_0705090_TAV");
  std::string err;
  ASSERT_TRUE(StoreNewTrip(TripList, key, "", &err)) << err;
  ASSERT_EQ(TripList.Count(), 3);
  EXPECT_EQ(TripList[0], "20240103_0705090_TAV;002;*BIKE POWER");  // sorted in
  EXPECT_EQ(TripList[2], "ERASED :");
  EXPECT_EQ(TripSummaryTable[2].TotalTime, 119);
  EXPECT_EQ(TripZoneTable[2].Mark, kTableMark);
  EXPECT_EQ(TripDistributionTable[2].Mark, kTableMark);
  EXPECT_EQ(HeaderThreshold(TripSamples[0]), 250.0f);  // from the rider
  EXPECT_FALSE(TripListChanged);
  TripFileData d;
  ASSERT_EQ(ReadTripFile(FsPath(JoinPath(RiderDir, key + ".DEO")), d, nullptr), TripReadError::None);
  EXPECT_EQ(d.Count(), 120);
  EXPECT_EQ(d.Note, "*BIKE POWER");
  // The key's kind of sport goes into the header.
  ASSERT_TRUE(StoreNewTrip(TripList, MakeTripKey(2024, 1, 4, 7, 5, 9, kSportRun, "TAV"), "", &err)) << err;
  EXPECT_EQ(HeaderSport(TripSamples[0]), kSportRun);
}

// The statistics go to disk before the list, so no saved line names a slot
// whose values are not saved; when the database cannot be written the list
// is not written either, and the message names the file and why.
TEST_F(TripListTest, SaveWritesTheDatabaseBeforeTheList) {
  TripList = TStringList{"20240101_1000000_A;001;*", "ERASED :"};
  TripSummaryTable[1].TotalTime = 3600;
  std::vector<std::string> renamed;
  FileStepCheck() = [&](FileStep s, const std::filesystem::path& p) {
    if (s == FileStep::Rename) renamed.push_back(PathText(p));
    return 0;
  };
  ASSERT_TRUE(SaveTripList(TripList));
  EXPECT_EQ(renamed, (std::vector<std::string>{TripDatabasePath, TripListPath}));
  const std::string list = FileBytes(FsPath(TripListPath));
  TripList.Add("20240102_1000000_B;002;*");
  TripListChanged = true;
  FileStepCheck() = [&](FileStep s, const std::filesystem::path& p) {
    return s == FileStep::Create && PathText(p).find(".T_D.tmp") != std::string::npos ? ENOSPC : 0;
  };
  std::string err;
  EXPECT_FALSE(SaveTripList(TripList, &err));
  FileStepCheck() = nullptr;
  EXPECT_EQ(err, "The file " + TripDatabasePath + " cannot be written: the disk is full.");
  EXPECT_EQ(FileBytes(FsPath(TripListPath)), list);
  EXPECT_TRUE(TripListChanged);
}

// Filing a trip saves what waits first: a slot a delete freed is then on
// the saved free-slot line before the trip takes it, so the deleted line
// never comes back naming the new trip's statistics.
TEST_F(TripListTest, StoreNewTripSavesWaitingChangesBeforeTakingASlot) {
  TripList = TStringList{"20240105_1000000_B;001;*", "ERASED :"};
  TripSummaryTable[1].TotalTime = 600;
  ASSERT_TRUE(SaveTripList(TripList));
  TripList.Delete(0);  // deleted in the diary, not saved yet
  AddFreeSlot(TripList, 1);
  TripListChanged = true;
  LoadIntoCurrent(RampTrip(120));
  std::vector<std::string> renamed;
  FileStepCheck() = [&](FileStep s, const std::filesystem::path& p) {
    if (s == FileStep::Rename) renamed.push_back(PathText(p.filename()));
    return 0;
  };
  const std::string key = MakeTripKey(2024, 1, 6, 7, 0, 0, kSportBikePower, "TAV");
  ASSERT_TRUE(StoreNewTrip(TripList, key, ""));
  FileStepCheck() = nullptr;
  const std::string list = PathText(FsPath(TripListPath).filename()), db = PathText(FsPath(TripDatabasePath).filename());
  EXPECT_EQ(renamed, (std::vector<std::string>{db, list, key + ".DEO", db, list}));
  EXPECT_EQ(TripList.Lines(), (std::vector<std::string>{key + ";001;*BIKE POWER", "ERASED :"}));
}

// A manual line whose slot does not hold its entry (the slot's date field is
// not the line's date, or its start time not the line's hour and minute)
// shows no values: "PF" after its slot, the slot emptied; a slot a trip
// uses stays the trip's and the entry takes a free one.
TEST_F(TripListTest, ManualEntriesWhoseSlotDoesNotHoldThemAreMarked) {
  auto entry = [](int slot, int y, int m, int d, double time) {
    TripSummary& s = TripSummaryTable[slot];
    s = TripSummary{};
    s.TotalTime = 1800;
    s.Distance = 2.0f;
    s.MaxSpeed = static_cast<float>(DateValue(y, m, d));
    s.MeanSpeed = static_cast<float>(time);
  };
  entry(2, 2024, 3, 16, (18 * 60 + 30 + 20.0 / 60) / 1440.0);        // typed at 18:30:20
  entry(3, 2024, 3, 17, DateValue(2024, 3, 17) + 7.0 / 24);          // a whole date-time value
  TripSummaryTable[4] = TripSummary{};                                // never written
  TripSummaryTable[5] = TripSummary{3600, 300, 30.0f};                // a deleted ride's
  TripSummaryTable[5].MeanSpeed = 30.0f;
  TripSummaryTable[5].MaxSpeed = 55.0f;
  entry(6, 2024, 3, 21, 7.0 / 24);                                    // another day
  entry(7, 2024, 3, 21, 8.0 / 24);                                    // another hour
  TripSummaryTable[9] = TripSummaryTable[5];                          // a trip's
  TripList = TStringList{"20240316_1830NR5_ANNA;002;*swim",       "20240317_0700NR3_ANNA;003;*gym",
                         "20240318_0700NR3_ANNA;004;*zeros",      "20240319_0700NR4_ANNA;005;*ride values",
                         "20240320_0700NR4_ANNA;006;*other day",  "20240321_0700NR4_ANNA;007;*other hour",
                         "20240322_0700NR4_ANNA;008PF;*unknown",  "20240323_0800000_TAV;009;*BIKE POWER",
                         "20240323_1900NR6_ANNA;009;*shares",     "ERASED :"};
  std::string message;
  EXPECT_EQ(MarkForeignManualSlots(TripList, &message), 5);
  EXPECT_EQ(TripList.Lines(),
            (std::vector<std::string>{"20240316_1830NR5_ANNA;002;*swim", "20240317_0700NR3_ANNA;003;*gym",
                                      "20240318_0700NR3_ANNA;004PF;*zeros", "20240319_0700NR4_ANNA;005PF;*ride values",
                                      "20240320_0700NR4_ANNA;006PF;*other day",
                                      "20240321_0700NR4_ANNA;007PF;*other hour", "20240322_0700NR4_ANNA;008PF;*unknown",
                                      "20240323_0800000_TAV;009;*BIKE POWER", "20240323_1900NR6_ANNA;010PF;*shares",
                                      "ERASED :"}));
  for (int slot : {4, 5, 6, 7, 10}) EXPECT_EQ(TripSummaryTable[slot], TripSummary{}) << slot;
  EXPECT_EQ(TripSummaryTable[2].Distance, 2.0f);
  EXPECT_EQ(TripSummaryTable[9].TotalTime, 3600);  // the trip keeps its values
  EXPECT_EQ(message, "The trip database " + TripDatabasePath +
                         " does not hold the values of 5 manual entries (18.03.2024 - 07:00, 19.03.2024 - 07:00, "
                         "20.03.2024 - 07:00, 21.03.2024 - 07:00, 23.03.2024 - 19:00): their time, distance, heart "
                         "rate and temperature stay empty until they are typed again.");
  EXPECT_TRUE(TripListChanged && TripDatabaseChanged);
  // Said once: the marked lines are known to have no values.
  message.clear();
  EXPECT_EQ(MarkForeignManualSlots(TripList, &message), 0);
  EXPECT_EQ(message, "");
  // Speed fields a sort in the other program set to 0 leave the entry its
  // slot: the start time alone, or both beside the entry's own time.
  entry(2, 2024, 3, 16, 0.0);
  entry(3, 2024, 3, 17, 0.0);
  TripSummaryTable[3].MaxSpeed = 0.0f;
  TripList = TStringList{"20240316_1830NR5_ANNA;002;*swim", "20240317_0700NR3_ANNA;003;*gym", "ERASED :"};
  EXPECT_EQ(MarkForeignManualSlots(TripList), 0);
  EXPECT_EQ(TripSummaryTable[3].TotalTime, 1800);
}

}  // namespace
}  // namespace tav
