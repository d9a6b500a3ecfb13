#include "core/trip_database.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <type_traits>

#include "core/bad_copy.h"
#include "core/core_data.h"
#include "core/demo_rider_program.h"
#include "core_test_util.h"
#include "platform/strings.h"

namespace tav {
namespace {

using namespace testing_core;

class TripDatabaseTest : public CoreFixture {};

// Every byte of a record survives Load and Store: each field is written
// where it is read from, and nothing is written past the record.
template <class Record>
void ExpectEveryByteSurvives() {
  std::string in(Record::kBytes, '\0');
  for (std::size_t k = 0; k + 4 <= in.size(); k += 4) le::PutU32(Bytes(in) + k, 0x3F800000u + 0x100u * k);
  if constexpr (std::is_same_v<Record, RiderRecord>) in[31] = '\0';  // a rider's name is always ended
  std::string out(Record::kBytes, '\0');
  Record::Load(Bytes(in)).Store(Bytes(out));
  EXPECT_EQ(out, in);
}

TEST(TripRecords, EveryByteSurvivesLoadAndStore) {
  ExpectEveryByteSurvives<TripSummary>();
  ExpectEveryByteSurvives<TripZoneTimes>();
  ExpectEveryByteSurvives<TripDistribution>();
  ExpectEveryByteSurvives<RiderRecord>();
}

void FillSomeSlots() {
  TripCounter = 42;
  TripSummaryTable[5].TotalTime = 3600;
  TripSummaryTable[5].NP = 233.5f;
  TripSummaryTable[5].Weight = 71.0f;
  TripSummaryTable[999].Distance = 12.5f;
  TripZoneTable[5].Seconds[3] = 900;
  TripZoneTable[5].ZoneSet = 2;
  TripZoneTable[5].SampleInterval = 2;
  TripZoneTable[5].RecordCount = 1801;
  TripZoneTable[5].Mark = kTableMark;
  TripDistributionTable[5].Mark = kTableMark;
  TripDistributionTable[5].Data.TotalTime = 3600;
  TripDistributionTable[5].Data.Peaks[2] = 280;
  TripDistributionTable[5].Data.HeartRateHist[0] = 11;
  TripDistributionTable[5].Data.CadenceHist[39] = 12;
  TripDistributionTable[5].Data.SpeedHist[1] = 13;
  TripDistributionTable[5].Data.PowerHist[50] = 14;
  TripDistributionTable[5].Data.ZoneLimits[9] = 999;
}

TEST_F(TripDatabaseTest, OffsetsOfTheThreeTablesAndRoundTrip) {
  FillSomeSlots();
  std::string b = EncodeTripDatabase();
  ASSERT_EQ(b.size(), 8u + 1000 * (108 + 80 + 992));
  EXPECT_EQ(le::GetI32(Bytes(b)), 42);
  EXPECT_EQ(le::GetI32(Bytes(b) + 4), 3021);
  const unsigned char* s5 = Bytes(b) + 8 + 5 * 108;
  EXPECT_EQ(le::GetI32(s5 + 0), 3600);
  EXPECT_EQ(le::GetF32(s5 + 44), 233.5f);
  EXPECT_EQ(le::GetF32(s5 + 92), 71.0f);
  EXPECT_EQ(le::GetF32(Bytes(b) + 8 + 999 * 108 + 8), 12.5f);
  const unsigned char* z5 = Bytes(b) + 8 + 108000 + 5 * 80;
  EXPECT_EQ(le::GetU32(z5 + 12), 900u);
  EXPECT_EQ(z5[64], 2);
  EXPECT_EQ(le::GetI32(z5 + 68), 2);
  EXPECT_EQ(le::GetI32(z5 + 72), 1801);
  EXPECT_EQ(le::GetI32(z5 + 76), 3021);
  const unsigned char* d5 = Bytes(b) + 8 + 108000 + 80000 + 5 * 992;
  EXPECT_EQ(le::GetI32(d5 + 0), 3021);
  EXPECT_EQ(le::GetI32(d5 + 4), 3600);
  EXPECT_EQ(le::GetI32(d5 + 16), 280);
  EXPECT_EQ(le::GetU32(d5 + 32), 11u);
  EXPECT_EQ(le::GetU32(d5 + 192 + 39 * 4), 12u);
  EXPECT_EQ(le::GetU32(d5 + 352 + 4), 13u);
  EXPECT_EQ(le::GetU32(d5 + 512 + 50 * 4), 14u);
  EXPECT_EQ(le::GetI32(d5 + 752 + 36), 999);

  // Through the file and back.
  ASSERT_TRUE(SaveTripDatabase());
  EXPECT_EQ(FileBytes(FsPath(TripDatabasePath)), b);
  const TripSummary summary = TripSummaryTable[5];
  const TripZoneTimes zones = TripZoneTable[5];
  const TripDistribution distribution = TripDistributionTable[5];
  ClearTripTables();
  TripCounter = 0;
  std::string err;
  ASSERT_TRUE(LoadTripDatabase(&err)) << err;
  EXPECT_EQ(TripCounter, 42);
  EXPECT_EQ(TripSummaryTable[5], summary);
  EXPECT_EQ(TripZoneTable[5], zones);
  EXPECT_EQ(TripDistributionTable[5], distribution);
  EXPECT_EQ(TripSummaryTable[999].Distance, 12.5f);
}

TEST_F(TripDatabaseTest, DamagedFilesAreReadAsFarAsWholeAndKept) {
  FillSomeSlots();
  const std::string good = EncodeTripDatabase();
  auto path = FsPath(TripDatabasePath);
  std::string version = good;
  le::PutI32(Bytes(version) + 4, 3020);
  std::string impossible = good;
  le::PutF32(Bytes(impossible) + 8 + 5 * 108 + 52, std::numeric_limits<float>::infinity());
  le::PutI32(Bytes(impossible) + 8 + 108000 + 5 * 80 + 68, 0);  // a zone slot of interval 0
  std::string highest = good, negative = good;
  le::PutI32(Bytes(highest), 5000);
  le::PutI32(Bytes(negative), -1);
  struct Row {
    std::string bytes;
    int32_t slot5Time, counter, zoneMark;
    const char* copy;
  } rows[] = {
      {good.substr(0, 5000), 3600, 42, 0, ".BAD"},     // summaries 0-45 whole, no zone slot
      {std::string(), 0, 0, 0, ".BAD1"},               // nothing whole
      {version, 3600, 42, kTableMark, ".BAD2"},        // every slot whole
      {impossible, 0, 42, 0, ".BAD3"},                 // slot 5's summary and zones cannot be right
      {highest, 3600, 0, kTableMark, ".BAD4"},         // a highest-slot word beyond the slots
      {negative, 3600, 0, kTableMark, ".BAD5"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.copy);
    WriteBytes(path, r.bytes);
    FillSomeSlots();
    std::string err;
    EXPECT_FALSE(LoadTripDatabase(&err));
    EXPECT_NE(err.find(TripDatabasePath), std::string::npos) << err;
    EXPECT_TRUE(TripDatabaseChanged);
    EXPECT_EQ(TripSummaryTable[5].TotalTime, r.slot5Time);
    EXPECT_EQ(TripCounter, r.counter);
    EXPECT_EQ(TripZoneTable[5].Mark, r.zoneMark);
    EXPECT_EQ(FileBytes(FsPath(TripDatabasePath + r.copy)), r.bytes);
  }
  // A missing file means empty tables, no message.
  std::filesystem::remove(path);
  std::string err;
  EXPECT_TRUE(LoadTripDatabase(&err));
  EXPECT_TRUE(err.empty());
  // A folder in the database's place is reported, not read.
  std::filesystem::create_directories(path);
  FillSomeSlots();
  err.clear();
  EXPECT_FALSE(LoadTripDatabase(&err));
  EXPECT_FALSE(err.empty());
  EXPECT_EQ(TripSummaryTable[5].TotalTime, 0);
  std::filesystem::remove(path);
  // Nor is a file that is there but cannot be read (a pipe here) written
  // over with the empty tables read in its stead.
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  EXPECT_FALSE(LoadTripDatabase(&err));
  err.clear();
  EXPECT_FALSE(SaveTripDatabase(&err));
  EXPECT_NE(err.find("not written over"), std::string::npos) << err;
  EXPECT_EQ(std::filesystem::status(path).type(), std::filesystem::file_type::fifo);
  std::filesystem::remove(path);
  ForgetUncopiedFiles();
  // An absurd highest-slot word is not taken over, and it is damage.
  std::string odd = good;
  le::PutI32(Bytes(odd), 5000);
  std::string why;
  EXPECT_FALSE(DecodeTripDatabase(odd, &why));
  EXPECT_NE(why.find("highest-slot word 5000"), std::string::npos) << why;
  EXPECT_EQ(TripCounter, 0);
}

// A .BAD copy takes its name only when it is whole: a step that fails
// leaves no copy at all, and a program killed at any step of the copy
// leaves none or a whole one (never an empty one), and a temporary file the
// next opening of the rider removes.
TEST_F(TripDatabaseTest, BadCopyIsWholeOrNone) {
  const std::filesystem::path file = FsPath(TripDatabasePath), copy = file.string() + ".BAD";
  const std::string damaged(1000, 'd');
  WriteBytes(file, damaged);
  auto only_the_file = [&] {
    for (const auto& e : std::filesystem::directory_iterator(file.parent_path()))
      if (e.path() != file) ADD_FAILURE() << e.path();
  };
  for (FileStep failing : {FileStep::Create, FileStep::Write, FileStep::Sync, FileStep::Rename}) {
    SCOPED_TRACE(static_cast<int>(failing));
    FileStepCheck() = [&](FileStep s, const std::filesystem::path&) { return s == failing ? EIO : 0; };
    EXPECT_EQ(KeepBadCopy(file, damaged), std::filesystem::path());
    FileStepCheck() = nullptr;
    EXPECT_FALSE(MayReplace(file));
    only_the_file();
  }
  int whole = 0;
  for (int n = 1;; ++n) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      int seen = 0;
      FileStepCheck() = [&](FileStep, const std::filesystem::path&) {
        if (++seen == n) ::_exit(1);
        return 0;
      };
      KeepBadCopy(file, damaged);
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (std::filesystem::exists(copy)) {
      EXPECT_TRUE(FileHolds(copy, damaged)) << n;
      ++whole;
    }
    RemoveLeftTemporaryFiles(file.parent_path());
    std::filesystem::remove(copy);
    only_the_file();
    if (WEXITSTATUS(status) == 0) break;  // the copy ran through
  }
  EXPECT_EQ(whole, 2);  // killed before the folder's flush, and the whole copy
}

}  // namespace
}  // namespace tav
