#include "core/trip_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/core_data.h"
#include "core/trip_list.h"
#include "core_test_util.h"
#include "platform/strings.h"

namespace tav {
namespace {

using testing_core::CoreFixture;
using testing_core::LoadIntoCurrent;
using testing_core::RampTrip;

const unsigned char* U(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }

TEST(DeoLayout, EveryBlockAndFieldLiesAtItsOffset) {
  std::vector<TripSample> t = RampTrip(6);
  t[2] = TripSample{7, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 8.0f, 9, -3, {1, 2, 3}};
  float zone[kZoneBlockWords] = {5555.0f, 100.0f};
  float scales[kScaleWords] = {1000.0f, 150.0f};
  uint8_t trailer[kDeoTrailerBytes] = {};
  trailer[19] = 0xEE;
  std::string b = EncodeDeoBytes(t.data(), 6, zone, scales, "hello", true, trailer);

  ASSERT_EQ(b.size(), 4 + 6 * 40 + 60 + 40 + 330 + 20u);
  EXPECT_EQ(le::GetI32(U(b)), 6);
  const unsigned char* r2 = U(b) + 4 + 2 * 40;
  EXPECT_EQ(le::GetI32(r2 + 0), 7);
  EXPECT_EQ(le::GetF32(r2 + 4), 1.0f);
  // 1.0f little-endian.
  EXPECT_EQ(r2[4], 0x00);
  EXPECT_EQ(r2[7], 0x3F);
  EXPECT_EQ(le::GetF32(r2 + 8), 2.0f);
  EXPECT_EQ(le::GetF32(r2 + 12), 3.0f);
  EXPECT_EQ(le::GetF32(r2 + 16), 4.0f);
  EXPECT_EQ(le::GetF32(r2 + 20), 5.0f);
  EXPECT_EQ(le::GetF32(r2 + 24), 6.0f);
  EXPECT_EQ(le::GetF32(r2 + 28), 8.0f);
  EXPECT_EQ(le::GetI32(r2 + 32), 9);
  EXPECT_EQ(static_cast<int8_t>(r2[36]), -3);
  EXPECT_EQ(r2[39], 3);
  // Header: threshold at +8, kind at +36, note flag set.
  const unsigned char* h = U(b) + 4;
  EXPECT_EQ(le::GetF32(h + 8), 250.0f);
  EXPECT_EQ(h[36], kSportBikePower);
  EXPECT_EQ(le::GetI32(h) & kHeaderFlagNote, kHeaderFlagNote);
  // Blocks after the samples.
  EXPECT_EQ(DeoZoneBlockOffset(6), 244u);
  EXPECT_EQ(le::GetF32(U(b) + 244), 5555.0f);
  EXPECT_EQ(le::GetF32(U(b) + 248), 100.0f);
  EXPECT_EQ(le::GetF32(U(b) + 304), 1000.0f);
  EXPECT_EQ(le::GetF32(U(b) + 308), 150.0f);
  EXPECT_EQ(std::string(b.data() + 344, 5), "hello");
  EXPECT_EQ(b[349], '\0');
  EXPECT_EQ(static_cast<unsigned char>(b[674 + 19]), 0xEE);
}

TEST(DeoLayout, NoteIsCutAndFlagClearedWithoutNote) {
  std::vector<TripSample> t = RampTrip(5);
  HeaderFlags(t[0]) = kHeaderFlagNote | 0x01;
  std::string longNote(500, 'x');
  std::string with = EncodeDeoBytes(t.data(), 5, nullptr, nullptr, longNote, true, nullptr);
  std::size_t note = DeoNoteBlockOffset(5);
  EXPECT_EQ(std::string(with.data() + note, 329), std::string(329, 'x'));
  EXPECT_EQ(with[note + 329], '\0');
  std::string without = EncodeDeoBytes(t.data(), 5, nullptr, nullptr, "ignored", false, nullptr);
  EXPECT_EQ(le::GetI32(U(without) + 4), 0x01);
  EXPECT_EQ(without[note], '\0');
}

class TripFileTest : public CoreFixture {};

TEST_F(TripFileTest, WriteAndReadBackTheCurrentTrip) {
  std::vector<TripSample> t = RampTrip(100, 2);
  LoadIntoCurrent(t);
  for (int i = 0; i < kZoneBlockWords; ++i) TripZoneBlock[i] = 0;
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
  float badMark[kZoneBlockWords] = {1.0f, 90.0f, 120.0f};
  float zeroFirst[kZoneBlockWords] = {5555.0f, 0.0f, 120.0f};
  for (const float* zb : {static_cast<const float*>(badMark), static_cast<const float*>(zeroFirst)}) {
    CurrentSport = 9;
    ASSERT_TRUE(ApplyDeoBytes(EncodeDeoBytes(t.data(), 10, zb, nullptr, "", false, nullptr)));
    EXPECT_EQ(TripZoneBlock[0], 5555.0f);
    EXPECT_FLOAT_EQ(TripZoneBlock[1], 100.0f);
    EXPECT_FLOAT_EQ(TripZoneBlock[2], 150.0f);
    EXPECT_EQ(TripZoneBlock[7], 0.0f);
    EXPECT_EQ(CurrentSport, kSportBikePower);
  }
  // A valid block is kept and CurrentSport stays.
  float good[kZoneBlockWords] = {5555.0f, 90.0f, 120.0f};
  CurrentSport = 9;
  ASSERT_TRUE(ApplyDeoBytes(EncodeDeoBytes(t.data(), 10, good, nullptr, "", false, nullptr)));
  EXPECT_EQ(TripZoneBlock[1], 90.0f);
  EXPECT_EQ(CurrentSport, 9);
  // A threshold below 30 is replaced by the rider's.
  HeaderThreshold(t[0]) = 20.0f;
  RiderZones[0][kZoneRowPower][0] = 300;
  ASSERT_TRUE(ApplyDeoBytes(EncodeDeoBytes(t.data(), 10, badMark, nullptr, "", false, nullptr)));
  EXPECT_FLOAT_EQ(TripZoneBlock[1], 150.0f);
  // A heart-rate trip takes the bike heart-rate row.
  HeaderSport(t[0]) = kSportBikeHeartRate;
  HeaderThreshold(t[0]) = 160.0f;
  RiderZones[0][kZoneRowBikeHeartRate][1] = 60;
  ASSERT_TRUE(ApplyDeoBytes(EncodeDeoBytes(t.data(), 10, badMark, nullptr, "", false, nullptr)));
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
  for (float& s : scales) s = 1e9f;
  scales[kScaleCadence] = std::nanf("");
  ASSERT_TRUE(ApplyDeoBytes(EncodeDeoBytes(t.data(), 10, nullptr, scales, "", false, nullptr)));
  EXPECT_EQ(ScaleMax[kScalePower], 5000.0f);
  EXPECT_EQ(ScaleMax[kScaleCadence], ScaleMaxDefault(kScaleCadence));
}

TEST_F(TripFileTest, DamagedFilesAreRefusedAndChangeNothing) {
  std::vector<TripSample> t = RampTrip(8);
  LoadIntoCurrent(t);
  TripZoneBlock[1] = 77.0f;
  std::vector<TripSample> other = RampTrip(20);
  other[5].Power = 999.0f;
  std::string good = EncodeDeoBytes(other.data(), 20, nullptr, nullptr, "", false, nullptr);

  auto expectUnchanged = [&] {
    EXPECT_EQ(TripSampleCount, 8);
    EXPECT_EQ(TripSamples[5], t[5]);
    EXPECT_EQ(TripZoneBlock[1], 77.0f);
  };
  std::string err;
  // Fewer than 5 records.
  std::string four = EncodeDeoBytes(other.data(), 4, nullptr, nullptr, "", false, nullptr);
  EXPECT_FALSE(ApplyDeoBytes(four, &err));
  EXPECT_NE(err.find("at least 5"), std::string::npos);
  expectUnchanged();
  // 200000 records claimed.
  std::string huge = good;
  le::PutI32(reinterpret_cast<unsigned char*>(huge.data()), 200000);
  EXPECT_FALSE(ApplyDeoBytes(huge, &err));
  expectUnchanged();
  // Negative count.
  le::PutI32(reinterpret_cast<unsigned char*>(huge.data()), -1);
  EXPECT_FALSE(ApplyDeoBytes(huge, &err));
  expectUnchanged();
  // Shorter than its count.
  std::string cut = good.substr(0, 4 + 19 * 40);
  EXPECT_FALSE(ApplyDeoBytes(cut, &err));
  EXPECT_NE(err.find("shorter"), std::string::npos);
  expectUnchanged();
  // Empty file.
  EXPECT_FALSE(ApplyDeoBytes("", &err));
  expectUnchanged();
  // Missing file.
  EXPECT_FALSE(ReadDeoFile(dir_ / "missing.DEO", &err));
  expectUnchanged();
  // A folder where a file is expected.
  std::filesystem::create_directories(dir_ / "folder.DEO");
  EXPECT_FALSE(ReadDeoFile(dir_ / "folder.DEO", &err));
  expectUnchanged();
  TripFileData data;
  EXPECT_NE(ReadTripFile(dir_ / "folder.DEO", data, &err), TripReadError::None);
  // Trailing bytes past the largest trip file are not read at all.
  std::string padded = good + std::string(DeoFileBytes(kMaxTripRecords - 1), 'x');
  ASSERT_TRUE(WriteFileAtomically(dir_ / "padded.DEO", padded));
  EXPECT_TRUE(ReadDeoFile(dir_ / "padded.DEO", &err));
  EXPECT_EQ(TripSampleCount, 20);
  LoadIntoCurrent(t);
  TripZoneBlock[1] = 77.0f;
  // Samples complete but the blocks after them missing: read, zone block rebuilt.
  std::string noTail = good.substr(0, 4 + 20 * 40);
  EXPECT_TRUE(ApplyDeoBytes(noTail, &err));
  EXPECT_EQ(TripSampleCount, 20);
  EXPECT_EQ(TripSamples[5].Power, 999.0f);
  EXPECT_EQ(TripZoneBlock[0], 5555.0f);
}

TEST_F(TripFileTest, CallerBufferReadersTouchNoSharedData) {
  std::vector<TripSample> t = RampTrip(30);
  auto path = dir_ / "a.DEO";
  ASSERT_TRUE(WriteFileAtomically(path, EncodeDeoBytes(t.data(), 30, nullptr, nullptr, "n", true, nullptr)));
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
  // Writer from a caller's buffer.
  auto copy = dir_ / "b.DEO";
  ASSERT_TRUE(WriteTripFile(copy, d, true, nullptr));
  TripFileData e;
  ASSERT_EQ(ReadTripFile(copy, e, nullptr), TripReadError::None);
  EXPECT_EQ(e.Samples, d.Samples);
  EXPECT_EQ(e.Note, "n");
}

TEST_F(TripFileTest, LoadTripByListIndexPaths) {
  std::vector<TripSample> shortTrip = RampTrip(59);
  std::vector<TripSample> okTrip = RampTrip(60);
  auto write = [&](const std::string& key, const std::vector<TripSample>& t, bool tail) {
    std::string b = EncodeDeoBytes(t.data(), static_cast<int>(t.size()), nullptr, nullptr, "", false, nullptr);
    if (!tail) b.resize(4 + t.size() * 40);
    ASSERT_TRUE(WriteFileAtomically(FsPath(JoinPath(RiderDir, key + ".DEO")), b));
  };
  write("20240101_1000000_A", shortTrip, true);
  write("20240102_1000000_B", okTrip, false);
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
  std::string before = CurrentTripPath;
  EXPECT_EQ(LoadTripByListIndex(list, 3), 0);
  EXPECT_EQ(CurrentTripPath, before);
  EXPECT_EQ(LoadTripByListIndex(list, -1), 0);
  EXPECT_EQ(LoadTripByListIndex(list, 99), 0);

  // Through ScanList, with the resave flag: the file gets its missing blocks.
  ScanList = &list;
  ResaveTripsFlag = true;
  EXPECT_EQ(LoadTripByListIndex(nullptr, 1), 1);
  ResaveTripsFlag = false;
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(FsPath(JoinPath(RiderDir, "20240102_1000000_B.DEO")), bytes));
  EXPECT_EQ(bytes.size(), DeoFileBytes(60));
}

TEST_F(TripFileTest, CsvExportUsesSemicolonsAndDecimalCommas) {
  std::vector<TripSample> t = RampTrip(4);
  t[1].Distance = 1.5f;
  t[1].Cadence = 90.52f;
  LoadIntoCurrent(t);
  std::string written;
  std::string trip = JoinPath(RiderDir, "20240101_1000000_A.DEO");
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

TEST_F(TripFileTest, TripsThatCouldNotBeReadBackAreNotWritten) {
  auto path = dir_ / "x.DEO";
  ASSERT_TRUE(WriteFileAtomically(path, "old"));
  LoadIntoCurrent(RampTrip(4));
  std::string err;
  EXPECT_FALSE(WriteDeoFile(path, &err));
  EXPECT_FALSE(err.empty());
  TripSampleCount = kMaxTripRecords;
  EXPECT_FALSE(WriteDeoFile(path, &err));
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(path, bytes));
  EXPECT_EQ(bytes, "old");
}

TEST_F(TripFileTest, ListLinesNeverNameFilesOutsideTheRiderFolder) {
  for (std::string_view line : {"20240101_1000000_/../../x;001;", "20240101_1000000_a\\b;001;",
                                "20240101_1000000_C:x;001;"}) {
    EXPECT_EQ(TripPathOfLine(line), "") << line;
    EXPECT_FALSE(IsTripLine(line)) << line;
    TStringList list{std::string(line)};
    EXPECT_EQ(LoadTripByListIndex(list, 0), 0);
  }
  EXPECT_EQ(TripPathOfLine("20240101_1000000_A;001;"), JoinPath(RiderDir, "20240101_1000000_A.DEO"));
}

TEST_F(TripFileTest, FailedWriteReportsAndKeepsTheOldFile) {
  std::vector<TripSample> t = RampTrip(10);
  LoadIntoCurrent(t);
  auto path = dir_ / "no_such_folder" / "x.DEO";
  testing::internal::CaptureStderr();
  EXPECT_FALSE(WriteDeoFile(path));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Cannot open output file.\n");
}

}  // namespace
}  // namespace tav
