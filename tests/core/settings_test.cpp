#include "core/settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/core_data.h"
#include "core/trip_catalog.h"
#include "core/trip_list.h"
#include "core_test_util.h"
#include "platform/strings.h"

namespace tav {
namespace {

using namespace testing_core;

class SettingsTest : public CoreFixture {};

TEST_F(SettingsTest, RoundTripOfEveryBlock) {
  CurrentRider = 3;
  CurrentRiderName = "ANNA";
  RiderTable[3].SetName("ANNA");
  RiderTable[3].Weight = 61.5f;
  RiderZones[3][kZoneRowRun][0] = 180;
  std::strcpy(ZoneNames[2], "ENDU");
  ZoneColors[4] = 0x123456;
  ChartColors[15] = 0x654321;
  UnitFlags = kUnitMiles | kUnitUsDate;
  SmoothLevel[kLevelPower] = 7;
  LanguageIndex = 2;
  CompactLayout = true;
  ClimbGradeThreshold = 3.5f;
  std::swap(DiaryColumnOrder[2], DiaryColumnOrder[7]);
  CalendarShows[1].Values[0] = 3;
  CalendarShows[1].Values[5] = 19;
  Graf6Settings[6] = 8;
  Graf6Settings[9] = 1;
  Graf6Scale = 250.0f;  // typed in the overview, above 200
  ScaleMax[kScaleHeartRate] = 190.0f;
  // Words the program does not use come back as they were written.
  DiaryColumnOrder[25] = 1234;
  CalendarShows[2].Values[8] = -7;
  ASSERT_TRUE(SaveSettings());

  const std::string bytes = FileBytes(FsPath(SettingsPath));
  ASSERT_EQ(bytes.size(), kSettingsFileBytes);
  const unsigned char* p = Bytes(bytes);
  EXPECT_EQ(le::GetI32(p), 2001);
  EXPECT_EQ(le::GetF32(p + 2404 + 36), 250.0f);  // Graf6Scale = word 9 of the scale minima

  std::string expected = EncodeSettings();
  ResetSettingsToDefaults();
  std::string msg;
  ASSERT_TRUE(LoadSettings(&msg));
  EXPECT_TRUE(msg.empty()) << msg;
  EXPECT_EQ(EncodeSettings(), expected);
  EXPECT_EQ(CurrentRiderName, "ANNA");
  EXPECT_EQ(RiderTable[3].Weight, 61.5f);
  EXPECT_EQ(Graf6Scale, 250.0f);
  EXPECT_EQ(DiaryColumnOrder[25], 1234);
  EXPECT_EQ(CalendarShows[2].Values[8], -7);
  EXPECT_EQ(SpeedFactor, kMilesPerKm);  // factors derived after loading
  EXPECT_EQ(RiderDir, JoinPath(DataDir, "ANNA"));
}

TEST_F(SettingsTest, ValuesOutOfRangeTakeTheirDefaults) {
  std::string good = EncodeSettings();
  std::string b = good;
  le::PutI32(Bytes(b) + 4, 12);                         // current rider
  le::PutF32(Bytes(b) + 40 + 32, -3.0f);                // rider 1 weight
  le::PutU16(Bytes(b) + 1240 + 2, 70);                  // bound 1 < ... fine
  le::PutU16(Bytes(b) + 1240 + 4, 60);                  // bound 2 below bound 1: row broken
  le::PutU32(Bytes(b) + 1932, 0xFF000000u);             // zone colour 0
  le::PutI32(Bytes(b) + 2056, 64);                      // unit flags
  le::PutI32(Bytes(b) + 2060 + 4, 12);                  // smoothing level 1
  Bytes(b)[2100] = 9;                                   // language
  le::PutF32(Bytes(b) + 2104, std::nanf(""));           // climbing grade
  le::PutI32(Bytes(b) + 2108 + 8, 3);                   // column order: 3 twice
  le::PutI32(Bytes(b) + 2228 + 40 + 4, 25);             // calendar item out of range
  le::PutI32(Bytes(b) + 2348 + 24, 0);                  // overview period
  le::PutI32(Bytes(b) + 2348 + 28, 5);                  // percent flag
  le::PutF32(Bytes(b) + 2444, 1e30f);                   // power scale maximum
  std::memcpy(Bytes(b) + 1840 + 6, "ABCDEF", 6);        // zone name 1 without terminator
  std::vector<std::string> replaced;
  ASSERT_TRUE(DecodeSettings(b, &replaced));
  EXPECT_EQ(CurrentRider, 0);
  EXPECT_EQ(RiderTable[0].Weight, 75.0f);
  EXPECT_EQ(RiderZones[0][kZoneRowPower][1], 55);
  EXPECT_EQ(RiderZones[0][kZoneRowPower][2], 75);
  EXPECT_EQ(ZoneColors[0], clSilver);
  EXPECT_EQ(UnitFlags, 0);
  EXPECT_EQ(SmoothLevel[1], 2);
  EXPECT_EQ(LanguageIndex, 1);
  EXPECT_EQ(ClimbGradeThreshold, 2.0f);
  EXPECT_EQ(DiaryColumnOrder[0], 55);
  for (int c = 1; c <= 19; ++c) EXPECT_EQ(DiaryColumnOrder[c], c);
  EXPECT_EQ(CalendarShows[1].Values[1], 0);
  EXPECT_EQ(Graf6Settings[6], 3);
  EXPECT_EQ(Graf6Settings[7], 0);
  EXPECT_EQ(ScaleMax[kScalePower], 5000.0f);
  EXPECT_STREQ(ZoneNames[1], "REKOM");
  EXPECT_GE(replaced.size(), 14u);
  // The good image decodes without replacements.
  replaced.clear();
  ASSERT_TRUE(DecodeSettings(good, &replaced));
  EXPECT_TRUE(replaced.empty());
}

TEST_F(SettingsTest, ColumnOrderNeedsTheMarkerAndAPermutation) {
  std::string b = EncodeSettings();
  le::PutI32(Bytes(b) + 2108, 54);
  DecodeSettings(b);
  EXPECT_EQ(DiaryColumnOrder[0], 55);
  // A real permutation is kept.
  b = EncodeSettings();
  for (int c = 1; c <= 19; ++c) le::PutI32(Bytes(b) + 2108 + 4 * c, 20 - c);
  DecodeSettings(b);
  EXPECT_EQ(DiaryColumnOrder[1], 19);
  EXPECT_EQ(DiaryColumnOrder[19], 1);
  // 0 is no metric.
  le::PutI32(Bytes(b) + 2108 + 4, 0);
  DecodeSettings(b);
  EXPECT_EQ(DiaryColumnOrder[1], 1);
}

TEST_F(SettingsTest, WrongVersionOrLengthGivesDefaults) {
  std::string b = EncodeSettings();
  UnitFlags = 5;
  std::vector<std::string> replaced;
  EXPECT_FALSE(DecodeSettings(b.substr(0, 2000), &replaced));
  EXPECT_EQ(UnitFlags, 0);
  EXPECT_EQ(replaced.size(), 1u);
  le::PutI32(Bytes(b), 2002);
  EXPECT_FALSE(DecodeSettings(b));
  // Through the file: reported, defaults, no crash.
  std::filesystem::create_directories(FsPath(SettingsDir));
  WriteBytes(FsPath(SettingsPath), "short");
  std::string msg;
  EXPECT_FALSE(LoadSettings(&msg));
  EXPECT_FALSE(msg.empty());
  // A folder in the settings file's place: reported, not read.
  std::filesystem::remove(FsPath(SettingsPath));
  std::filesystem::create_directories(FsPath(SettingsPath));
  msg.clear();
  EXPECT_FALSE(LoadSettings(&msg));
  EXPECT_FALSE(msg.empty());
}

TEST_F(SettingsTest, LanguageMarkerIsAppliedOnceAndDeleted) {
  const auto marker = dir_ / "LANG.TXT";
  struct Case { const char* text; bool applied; int language; int units; };
  for (const Case& c : {Case{"EN_US", true, 1, 31}, Case{nullptr, false, 1, 31}, Case{"ES_", true, 2, 0},
                        Case{"DE_x", true, 0, 0}, Case{"FR_", false, 0, 0}}) {
    if (c.text) WriteBytes(marker, c.text);
    const std::string what = c.text ? c.text : "no marker";
    EXPECT_EQ(ApplyLangMarker(dir_), c.applied) << what;
    EXPECT_EQ(LanguageIndex, c.language) << what;
    EXPECT_EQ(UnitFlags, c.units) << what;
    EXPECT_EQ(WeightFactor, c.units ? kPoundsPerKg : 1.0) << what;
    EXPECT_EQ(std::filesystem::exists(marker), c.text && !c.applied) << what;  // an unknown one stays
  }
}

TEST_F(SettingsTest, RidersAndTheirFolders) {
  EXPECT_TRUE(IsValidRiderName("ANNA"));
  EXPECT_TRUE(IsValidRiderName("J\xFCrgen M"));
  for (std::string_view bad : {"", ".", "..", "A/B", "A\\B", "A:B", "a;b", " x", "x.",
                               "0123456789012345678901234567890123"})
    EXPECT_FALSE(IsValidRiderName(bad)) << bad;
  EXPECT_TRUE(IsPlaceholderRiderName("RIDER_03"));
  EXPECT_TRUE(IsPlaceholderRiderName("NEW RIDER"));
  EXPECT_FALSE(IsPlaceholderRiderName("ANNA"));

  std::string msg;
  ASSERT_TRUE(OpenRider("ANNA", &msg));
  EXPECT_EQ(CurrentRiderName, "ANNA");
  EXPECT_EQ(RiderTable[CurrentRider].NameText(), "ANNA");
  EXPECT_EQ(TripListPath, JoinPath(JoinPath(DataDir, "ANNA"), "ANNA.T_L"));
  // A join journal a crash left is dealt with when the rider opens.
  ASSERT_TRUE(WriteJoinJournal("20140301_083000_0_ANNA.DEO", "20140301_093000_0_ANNA;002;"));
  ASSERT_TRUE(OpenRider("ANNA", &msg));
  EXPECT_FALSE(std::filesystem::exists(JoinJournalPath()));
  EXPECT_FALSE(OpenRider("../x", &msg));
  EXPECT_EQ(CurrentRiderName, "ANNA");
  std::filesystem::create_directories(FsPath(JoinPath(DataDir, "COLLECTION")));
  auto riders = ListRiderFolders();
  EXPECT_EQ(riders, (std::vector<std::string>{"ANNA", "TESTER"}));
}

}  // namespace
}  // namespace tav
