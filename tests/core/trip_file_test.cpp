#include "core/trip_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/core_data.h"
#include "core/trip_list.h"
#include "core_test_util.h"
#include "platform/strings.h"
#include "platform/text.h"

namespace tav {
namespace {

using namespace testing_core;

std::string Encode(const std::vector<TripSample>& t, int count = -1, const float* zone = nullptr,
                   const float* scales = nullptr) {
  return EncodeDeoBytes(t.data(), count < 0 ? static_cast<int>(t.size()) : count, zone, scales, "",
                        false, nullptr);
}

TEST(DeoLayout, EveryBlockAndFieldLiesAtItsOffset) {
  std::vector<TripSample> t = RampTrip(6);
  t[2] = TripSample{7, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 8.0f, 9, -3, {1, 2, 3}};
  float zone[kZoneBlockWords] = {5555.0f, 100.0f};
  float scales[kScaleWords] = {1000.0f, 150.0f};
  uint8_t trailer[kDeoTrailerBytes] = {};
  trailer[19] = 0xEE;
  const std::string b = EncodeDeoBytes(t.data(), 6, zone, scales, "hello", true, trailer);
  const unsigned char* p = Bytes(b);

  ASSERT_EQ(b.size(), 4 + 6 * 40 + 60 + 40 + 330 + 20u);
  EXPECT_EQ(le::GetI32(p), 6);
  // Record 2: time, seven floats, pause, interval, three extra bytes.
  const unsigned char* r2 = p + 4 + 2 * 40;
  EXPECT_EQ(le::GetI32(r2 + 0), 7);
  const float floats[] = {1, 2, 3, 4, 5, 6, 8};
  for (int k = 0; k < 7; ++k) EXPECT_EQ(le::GetF32(r2 + 4 + 4 * k), floats[k]) << k;
  EXPECT_EQ(r2[4], 0x00);  // 1.0f little-endian
  EXPECT_EQ(r2[7], 0x3F);
  EXPECT_EQ(le::GetI32(r2 + 32), 9);
  EXPECT_EQ(static_cast<int8_t>(r2[36]), -3);
  EXPECT_EQ(r2[39], 3);
  // Header: threshold at +8, kind at +36, note flag set.
  EXPECT_EQ(le::GetF32(p + 4 + 8), 250.0f);
  EXPECT_EQ(p[4 + 36], kSportBikePower);
  EXPECT_EQ(le::GetI32(p + 4) & kHeaderFlagNote, kHeaderFlagNote);
  // Blocks after the samples.
  EXPECT_EQ(DeoZoneBlockOffset(6), 244u);
  EXPECT_EQ(le::GetF32(p + 244), 5555.0f);
  EXPECT_EQ(le::GetF32(p + 248), 100.0f);
  EXPECT_EQ(le::GetF32(p + 304), 1000.0f);
  EXPECT_EQ(le::GetF32(p + 308), 150.0f);
  EXPECT_EQ(std::string(b.data() + 344, 6), std::string("hello\0", 6));
  EXPECT_EQ(p[674 + 19], 0xEE);
}

TEST(DeoLayout, NoteIsCutAndFlagClearedWithoutNote) {
  std::vector<TripSample> t = RampTrip(5);
  HeaderFlags(t[0]) = kHeaderFlagNote | 0x01;
  const std::size_t note = DeoNoteBlockOffset(5);
  const std::string with = EncodeDeoBytes(t.data(), 5, nullptr, nullptr, std::string(500, 'x'), true, nullptr);
  EXPECT_EQ(with.substr(note, 330), std::string(329, 'x') + '\0');
  const std::string without = EncodeDeoBytes(t.data(), 5, nullptr, nullptr, "ignored", false, nullptr);
  EXPECT_EQ(le::GetI32(Bytes(without) + 4), 0x01);
  EXPECT_EQ(without[note], '\0');
}

class TripFileTest : public CoreFixture {};

TEST_F(TripFileTest, WriteAndReadBackTheCurrentTrip) {
  std::vector<TripSample> t = RampTrip(100, 2);
  LoadIntoCurrent(t);
  std::fill(std::begin(TripZoneBlock), std::end(TripZoneBlock), 0.0f);
  TripZoneBlock[0] = kZoneBlockMark;
  TripZoneBlock[1] = 111.0f;
  TripZoneBlock[2] = 222.0f;
  ScaleMax[kScalePower] = 800.0f;
  TripNote = "*BIKE POWER note";
  TripNotePresent = true;
  TripTrailer[3] = 42;
  auto path = dir_ / "trip.DEO";
  ASSERT_TRUE(WriteDeoFile(path));

  ResetCoreData();
  std::string err;
  ASSERT_TRUE(ReadDeoFile(path, &err)) << err;
  EXPECT_EQ(TripSampleCount, 100);
  EXPECT_EQ(SampleInterval, 2);
  for (int i = 1; i < 100; ++i) ASSERT_EQ(TripSamples[i], t[static_cast<std::size_t>(i)]) << i;
  EXPECT_EQ(HeaderFlags(TripSamples[0]) & kHeaderFlagNote, kHeaderFlagNote);
  EXPECT_EQ(TripZoneBlock[1], 111.0f);
  EXPECT_EQ(TripZoneBlock[2], 222.0f);
  EXPECT_EQ(ScaleMax[kScalePower], 800.0f);
  EXPECT_EQ(TripNote, "*BIKE POWER note");
  EXPECT_TRUE(TripNotePresent);
  EXPECT_EQ(TripTrailer[3], 42);
}

TEST_F(TripFileTest, ZoneBlockIsRebuiltFromTheRiderWhenMarkMissingOrFirstBoundZero) {
  std::vector<TripSample> t = RampTrip(10);
  HeaderThreshold(t[0]) = 200.0f;
  RiderZones[0][kZoneRowPower][1] = 50;
  RiderZones[0][kZoneRowPower][2] = 75;
  const float badMark[kZoneBlockWords] = {1.0f, 90.0f, 120.0f};
  const float zeroFirst[kZoneBlockWords] = {5555.0f, 0.0f, 120.0f};
  const float good[kZoneBlockWords] = {5555.0f, 90.0f, 120.0f};
  auto apply = [&](const float* zb) {
    CurrentSport = 9;
    ASSERT_TRUE(ApplyDeoBytes(Encode(t, 10, zb)));
  };
  for (const float* zb : {badMark, zeroFirst}) {
    apply(zb);
    EXPECT_EQ(TripZoneBlock[0], 5555.0f);
    EXPECT_FLOAT_EQ(TripZoneBlock[1], 100.0f);
    EXPECT_FLOAT_EQ(TripZoneBlock[2], 150.0f);
    EXPECT_EQ(TripZoneBlock[7], 0.0f);
    EXPECT_EQ(CurrentSport, kSportBikePower);
  }
  // A valid block is kept and CurrentSport stays.
  apply(good);
  EXPECT_EQ(TripZoneBlock[1], 90.0f);
  EXPECT_EQ(CurrentSport, 9);
  // A threshold below 30 is replaced by the rider's.
  HeaderThreshold(t[0]) = 20.0f;
  RiderZones[0][kZoneRowPower][0] = 300;
  apply(badMark);
  EXPECT_FLOAT_EQ(TripZoneBlock[1], 150.0f);
  // A heart-rate trip takes the bike heart-rate row.
  HeaderSport(t[0]) = kSportBikeHeartRate;
  HeaderThreshold(t[0]) = 160.0f;
  RiderZones[0][kZoneRowBikeHeartRate][1] = 60;
  apply(badMark);
  EXPECT_FLOAT_EQ(TripZoneBlock[1], 96.0f);
  EXPECT_EQ(CurrentSport, kSportBikeHeartRate);
}

TEST_F(TripFileTest, NoteOnlyWithHeaderFlagAndScalesClamped) {
  std::vector<TripSample> t = RampTrip(10);
  std::string bytes = EncodeDeoBytes(t.data(), 10, nullptr, nullptr, "the note", true, nullptr);
  ASSERT_TRUE(ApplyDeoBytes(bytes));
  EXPECT_EQ(TripNote, "the note");
  EXPECT_TRUE(TripNotePresent);
  // Clear the flag by hand: the note block is then ignored, and the note of
  // the trip read before is not carried over (it would be written back into
  // this trip's file).
  bytes[4] = 0;
  ASSERT_TRUE(ApplyDeoBytes(bytes));
  EXPECT_EQ(TripNote, "");
  EXPECT_FALSE(TripNotePresent);
  auto path = dir_ / "plain.DEO";
  ASSERT_TRUE(WriteDeoFile(path));
  TripFileData back;
  ASSERT_EQ(ReadTripFile(path, back, nullptr), TripReadError::None);
  EXPECT_FALSE(back.NoteFlag());
  EXPECT_EQ(back.Note, "");

  float scales[kScaleWords];
  std::fill(std::begin(scales), std::end(scales), 1e9f);
  scales[kScaleCadence] = std::nanf("");
  ASSERT_TRUE(ApplyDeoBytes(Encode(t, 10, nullptr, scales)));
  EXPECT_EQ(ScaleMax[kScalePower], 5000.0f);
  EXPECT_EQ(ScaleMax[kScaleCadence], ScaleMaxDefault(kScaleCadence));
}

TEST_F(TripFileTest, DamagedFilesAreRefusedAndChangeNothing) {
  const std::vector<TripSample> t = RampTrip(8);
  std::vector<TripSample> other = RampTrip(20);
  other[5].Power = 999.0f;
  const std::string good = Encode(other);
  auto loadMine = [&] {
    LoadIntoCurrent(t);
    TripZoneBlock[1] = 77.0f;
  };
  auto expectUnchanged = [&](const char* what) {
    EXPECT_EQ(TripSampleCount, 8) << what;
    EXPECT_EQ(TripSamples[5], t[5]) << what;
    EXPECT_EQ(TripZoneBlock[1], 77.0f) << what;
  };
  loadMine();
  struct Bad { std::string bytes; const char* what; const char* message; };
  for (const Bad& bad : {Bad{Encode(other, 4), "4 records", "at least 5"},
                         Bad{WithCountWord(good, 200000), "200000 records", ""},
                         Bad{WithCountWord(good, -1), "negative count", ""},
                         Bad{good.substr(0, 4 + 19 * 40), "cut in the samples", "shorter"},
                         Bad{"", "empty", ""}}) {
    std::string err;
    EXPECT_FALSE(ApplyDeoBytes(bad.bytes, &err)) << bad.what;
    EXPECT_NE(err.find(bad.message), std::string::npos) << bad.what << ": " << err;
    expectUnchanged(bad.what);
  }
  // Missing file, and a folder where a file is expected.
  std::filesystem::create_directories(dir_ / "folder.DEO");
  for (const char* name : {"missing.DEO", "folder.DEO"}) {
    EXPECT_FALSE(ReadDeoFile(dir_ / name)) << name;
    expectUnchanged(name);
    TripFileData data;
    EXPECT_NE(ReadTripFile(dir_ / name, data, nullptr), TripReadError::None) << name;
  }
  // Trailing bytes past the largest trip file are not read at all.
  WriteBytes(dir_ / "padded.DEO", good + std::string(DeoFileBytes(kMaxTripRecords - 1), 'x'));
  EXPECT_TRUE(ReadDeoFile(dir_ / "padded.DEO"));
  EXPECT_EQ(TripSampleCount, 20);
  // Samples complete but the blocks after them missing: read, zone block rebuilt.
  loadMine();
  EXPECT_TRUE(ApplyDeoBytes(good.substr(0, 4 + 20 * 40)));
  EXPECT_EQ(TripSampleCount, 20);
  EXPECT_EQ(TripSamples[5].Power, 999.0f);
  EXPECT_EQ(TripZoneBlock[0], 5555.0f);
}

// A record that is no sample is found wherever it lies (the readers check
// the records in blocks), by every reader, and the current trip stays.
TEST_F(TripFileTest, EveryReaderRefusesRecordsThatAreNoSamples) {
  const std::vector<TripSample> mine = RampTrip(8);
  struct Damage {
    int record;
    void (*apply)(TripSample&, const TripSample& before);
  };
  const Damage damages[] = {
      {1, [](TripSample& s, const TripSample&) { s.Power = std::numeric_limits<float>::quiet_NaN(); }},
      {255, [](TripSample& s, const TripSample&) { s.HeartRate = -2.0e6f; }},
      {256, [](TripSample& s, const TripSample&) { s.Distance = std::numeric_limits<float>::infinity(); }},
      {257, [](TripSample& s, const TripSample& before) { s.Time = before.Time - 1; }},
      {512, [](TripSample& s, const TripSample&) { s.Temperature = 1.0001e6f; }},
      {999, [](TripSample& s, const TripSample& before) { s.Time = before.Time - 1; }},
  };
  for (const Damage& d : damages) {
    std::vector<TripSample> t = RampTrip(1000);
    d.apply(t[static_cast<std::size_t>(d.record)], t[static_cast<std::size_t>(d.record - 1)]);
    const std::string bytes = Encode(t);
    const std::filesystem::path path = dir_ / "damaged.DEO";
    WriteBytes(path, bytes);
    const std::string where = Format("record %i of 1000", d.record);
    LoadIntoCurrent(mine);
    std::string err;
    EXPECT_FALSE(ApplyDeoBytes(bytes, &err)) << where;
    EXPECT_NE(err.find(where), std::string::npos) << err;
    EXPECT_FALSE(ReadDeoFile(path, &err)) << where;
    EXPECT_NE(err.find(where), std::string::npos) << err;
    EXPECT_NE(err.find("damaged.DEO"), std::string::npos) << err;
    EXPECT_EQ(TripSampleCount, 8) << where;
    EXPECT_EQ(TripSamples[5], mine[5]) << where;
    TripFileData data;
    EXPECT_EQ(ReadTripFile(path, data, nullptr), TripReadError::NotSamples) << where;
    EXPECT_EQ(DecodeDeoBytes(bytes, data, nullptr), TripReadError::NotSamples) << where;
    // The caller's buffer and count stay as they were.
    std::vector<TripSample> buffer(1000, mine[5]);
    int32_t count = 8;
    EXPECT_EQ(ReadTripSamples(path, buffer.data(), 1000, count, nullptr), TripReadError::NotSamples) << where;
    EXPECT_EQ(count, 8) << where;
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), mine[5]), 1000) << where;
  }
  // A time that stays the same is a sample; so are values at the limit.
  std::vector<TripSample> t = RampTrip(1000);
  t[300].Time = t[299].Time;
  t[600].Power = -kMaxSampleValue;
  EXPECT_TRUE(ApplyDeoBytes(Encode(t)));
  EXPECT_EQ(TripSampleCount, 1000);
  EXPECT_EQ(TripSamples[600], t[600]);
}

// Times that rise steadily but span more than the records at the longest
// interval can are refused by every reader, naming the file; up to that
// span a trip reads.
TEST_F(TripFileTest, EveryReaderRefusesTimesThatSpanMoreThanTheRecordsCan) {
  struct Row {
    const char* what;
    void (*apply)(std::vector<TripSample>&);
    bool refused;
  };
  const Row rows[] = {
      {"steps of the longest interval", [](std::vector<TripSample>& t) {
         for (std::size_t i = 2; i < t.size(); ++i) t[i].Time = t[i - 1].Time + kMaxSampleInterval;
       }, false},
      {"last record at the most", [](std::vector<TripSample>& t) { t[999].Time = t[1].Time + 1000 * kMaxSampleInterval; }, false},
      {"last record one second beyond", [](std::vector<TripSample>& t) { t[999].Time = t[1].Time + 1000 * kMaxSampleInterval + 1; }, true},
      {"steps longer than the longest interval", [](std::vector<TripSample>& t) {
         for (std::size_t i = 2; i < t.size(); ++i) t[i].Time = t[i - 1].Time + kMaxSampleInterval + 400;
       }, true},
      {"from the lowest time to the highest", [](std::vector<TripSample>& t) {
         t[1].Time = INT32_MIN;
         for (std::size_t i = 2; i < t.size(); ++i) t[i].Time = INT32_MAX;
       }, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<TripSample> t = RampTrip(1000);
    row.apply(t);
    const std::string bytes = Encode(t);
    const std::filesystem::path path = dir_ / "runaway.DEO";
    WriteBytes(path, bytes);
    const TripReadError expected = row.refused ? TripReadError::NotSamples : TripReadError::None;
    std::string err;
    EXPECT_EQ(ApplyDeoBytes(bytes, &err), !row.refused) << err;
    EXPECT_EQ(ReadDeoFile(path, &err), !row.refused) << err;
    if (row.refused) {
      EXPECT_NE(err.find("runaway.DEO"), std::string::npos) << err;
      EXPECT_NE(err.find("span"), std::string::npos) << err;
    }
    TripFileData data;
    EXPECT_EQ(ReadTripFile(path, data, nullptr), expected);
    EXPECT_EQ(DecodeDeoBytes(bytes, data, nullptr), expected);
    const TripSample before = RampTrip(3)[2];
    std::vector<TripSample> buffer(1000, before);
    int32_t count = 3;
    EXPECT_EQ(ReadTripSamples(path, buffer.data(), 1000, count, nullptr), expected);
    // Refused: the caller's buffer and count as they were; read: the trip.
    EXPECT_EQ(count, row.refused ? 3 : 1000);
    EXPECT_EQ(buffer[999], row.refused ? before : t[999]);
    EXPECT_EQ(buffer[1], row.refused ? before : t[1]);
  }
}

TEST_F(TripFileTest, CallerBufferReadersTouchNoSharedData) {
  std::vector<TripSample> t = RampTrip(30);
  auto path = dir_ / "a.DEO";
  WriteBytes(path, EncodeDeoBytes(t.data(), 30, nullptr, nullptr, "n", true, nullptr));
  TripSampleCount = 3;
  TripZoneBlock[1] = 5.0f;
  TripFileData d;
  ASSERT_EQ(ReadTripFile(path, d, nullptr), TripReadError::None);
  EXPECT_EQ(d.Count(), 30);
  EXPECT_TRUE(d.NoteFlag());
  EXPECT_EQ(d.Note, "n");
  EXPECT_EQ(d.Samples[7], t[7]);
  std::vector<TripSample> buf(40);
  int32_t count = 0;
  EXPECT_EQ(ReadTripSamples(path, buf.data(), 40, count, nullptr), TripReadError::None);
  EXPECT_EQ(count, 30);
  EXPECT_EQ(buf[29], t[29]);
  EXPECT_EQ(ReadTripSamples(path, buf.data(), 20, count, nullptr), TripReadError::TooManyRecords);
  EXPECT_EQ(TripSampleCount, 3);
  EXPECT_EQ(TripZoneBlock[1], 5.0f);
  // A trip too short for the caller is refused before it replaces anything:
  // the caller's buffer and count, and the current trip, stay as they were.
  std::vector<TripSample> shown(40, t[3]);
  count = 40;
  EXPECT_EQ(ReadTripSamples(path, shown.data(), 40, count, nullptr, 31), TripReadError::TooShortToShow);
  EXPECT_EQ(count, 40);
  EXPECT_EQ(std::count(shown.begin(), shown.end(), t[3]), 40);
  EXPECT_EQ(ReadTripSamples(path, shown.data(), 40, count, nullptr, 30), TripReadError::None);
  EXPECT_EQ(count, 30);
  std::string why;
  EXPECT_EQ(ReadDeoFileAtLeast(path, 31, &why), TripReadError::TooShortToShow);
  EXPECT_EQ(why, "The trip file " + PathText(path) + " holds 30 records; at least 31 are needed to show it.");
  EXPECT_EQ(TripSampleCount, 3);
  EXPECT_EQ(TripZoneBlock[1], 5.0f);
  EXPECT_EQ(ReadDeoFileAtLeast(path, 30), TripReadError::None);
  EXPECT_EQ(TripSampleCount, 30);
  TripSampleCount = 3;
  // Writer from a caller's buffer.
  auto copy = dir_ / "b.DEO";
  ASSERT_TRUE(WriteTripFile(copy, d, true, nullptr));
  TripFileData e;
  ASSERT_EQ(ReadTripFile(copy, e, nullptr), TripReadError::None);
  EXPECT_EQ(e.Samples, d.Samples);
  EXPECT_EQ(e.Note, "n");
}

TEST_F(TripFileTest, LoadTripByListIndexPaths) {
  auto trip = [&](const std::string& key) { return FsPath(JoinPath(RiderDir, key + ".DEO")); };
  WriteBytes(trip("20240101_1000000_A"), Encode(RampTrip(59)));
  WriteBytes(trip("20240102_1000000_B"), Encode(RampTrip(60)).substr(0, 4 + 60 * 40));  // no blocks
  TStringList list{"20240101_1000000_A;001;*x", "20240102_1000000_B;002;*y",
                   "20240103_1000000_C;003;*missing", "no semicolon here", "ERASED :"};

  EXPECT_EQ(LoadTripByListIndex(list, 0), 0);  // read, but fewer than 60 records
  EXPECT_EQ(TripSampleCount, 59);
  EXPECT_EQ(CurrentTripPath, JoinPath(RiderDir, "20240101_1000000_A.DEO"));
  EXPECT_EQ(LoadTripByListIndex(list, 1), 1);
  EXPECT_EQ(TripSampleCount, 60);
  testing::internal::CaptureStderr();
  EXPECT_EQ(LoadTripByListIndex(list, 2), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Cannot open output file.\n");
  EXPECT_EQ(TripSampleCount, 60);  // the failed read changed nothing
  EXPECT_EQ(CurrentTripPath, JoinPath(RiderDir, "20240102_1000000_B.DEO"));  // nor the path of the trip
  const std::string before = CurrentTripPath;
  EXPECT_EQ(LoadTripByListIndex(list, 3), 0);
  EXPECT_EQ(CurrentTripPath, before);
  EXPECT_EQ(LoadTripByListIndex(list, -1), 0);
  EXPECT_EQ(LoadTripByListIndex(list, 99), 0);
  // Lines never name files outside the rider folder.
  for (std::string_view line : {"20240101_1000000_/../../x;001;", "20240101_1000000_a\\b;001;",
                                "20240101_1000000_C:x;001;"}) {
    EXPECT_EQ(TripPathOfLine(line), "") << line;
    EXPECT_FALSE(IsTripLine(line)) << line;
    EXPECT_EQ(LoadTripByListIndex(TStringList{std::string(line)}, 0), 0);
  }

  // Through ScanList, with the resave flag: the file gets its missing blocks.
  ScanList = &list;
  ResaveTripsFlag = true;
  EXPECT_EQ(LoadTripByListIndex(nullptr, 1), 1);
  EXPECT_EQ(FileBytes(trip("20240102_1000000_B")).size(), DeoFileBytes(60));
  // Loaded again and again, the file that already holds those bytes is left
  // alone: the same file (a rewrite puts a new one in place).
  const auto inode = [&] {
    struct stat st {};
    return ::stat(trip("20240102_1000000_B").c_str(), &st) == 0 ? st.st_ino : ino_t{0};
  };
  const ino_t first = inode();
  for (int k = 0; k < 3; ++k) EXPECT_EQ(LoadTripByListIndex(nullptr, 1), 1);
  EXPECT_EQ(inode(), first);
  ResaveTripsFlag = false;
}

TEST_F(TripFileTest, CsvExportUsesSemicolonsAndDecimalCommas) {
  std::vector<TripSample> t = RampTrip(4);
  t[1].Distance = 1.5f;
  t[1].Cadence = 90.52f;
  LoadIntoCurrent(t);
  std::string written;
  const std::string trip = JoinPath(RiderDir, "20240101_1000000_A.DEO");
  ASSERT_TRUE(ExportTripCsv(trip, nullptr, &written));
  EXPECT_EQ(written, JoinPath(RiderDir, "20240101_1000000_A.CSV"));
  TStringList lines;
  ASSERT_TRUE(lines.LoadFromFile(FsPath(written)));
  ASSERT_EQ(lines.Count(), 4);  // header line + records 1..3
  EXPECT_EQ(lines[0].substr(0, 8), "TIME[s];");
  EXPECT_EQ(lines[1], "0;1,500;101,0;90,52;200,0;36,00;20,0;101;0;0");
  ASSERT_TRUE(ExportTripCsvWko(trip, nullptr, &written));
  EXPECT_EQ(written, JoinPath(RiderDir, "20240101_1000000_A_WKO.CSV"));
  ASSERT_TRUE(lines.LoadFromFile(FsPath(written)));
  EXPECT_EQ(lines[1], "0,1.500,101.0,90.52,200.0,36.00,20.0,101,0,0");
}

TEST_F(TripFileTest, FailedOrUnreadableWritesAreReportedAndKeepTheOldFile) {
  LoadIntoCurrent(RampTrip(10));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(WriteDeoFile(dir_ / "no_such_folder" / "x.DEO"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Cannot open output file.\n");
  // A trip that could not be read back (too few or too many records) is not written.
  auto path = dir_ / "x.DEO";
  WriteBytes(path, "old");
  std::string err;
  for (int count : {4, kMaxTripRecords}) {
    TripSampleCount = count;
    err.clear();
    EXPECT_FALSE(WriteDeoFile(path, &err)) << count;
    EXPECT_FALSE(err.empty()) << count;
  }
  EXPECT_EQ(FileBytes(path), "old");
}

}  // namespace
}  // namespace tav
