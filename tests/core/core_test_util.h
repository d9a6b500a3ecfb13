// Shared helpers of the core, viewing and window tests: a fresh core state
// in a temporary folder, small hand-made and synthetic trips, file bytes.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/core_data.h"
#include "core/demo_rider.h"
#include "core/trip_types.h"
#include "platform/controls.h"
#include "platform/strings.h"

namespace tav::testing_core {

// A temporary folder of this test, removed at the end; the core data is
// reset before and after. The folder is also the program folder of any
// window the test creates (the main window derives it from the program's
// file name and makes it the current folder), so a test never writes beside
// the test programs, where tests running side by side would share files.
class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCoreData();
    old_cwd_ = std::filesystem::current_path();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("tavlog_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
            std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    Application().ExeName = (dir_ / "tavlog").string();
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::current_path(old_cwd_, ec);
    Application().ExeName.clear();
    std::filesystem::remove_all(dir_, ec);
    ResetCoreData();
  }
  std::filesystem::path dir_;
  std::filesystem::path old_cwd_;
};

// The temporary folder is the program folder: every path is derived from
// it, and the rider TESTER has its folder.
class CoreFixture : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    DerivePaths(PathText(dir_));
    CurrentRiderName = "TESTER";
    DeriveRiderPaths();
    std::filesystem::create_directories(FsPath(RiderDir));
  }
};

// A trip of `records` records (header included) at `interval` seconds with
// simple ramps: power 100 + i, heart rate 100 + i % 50, cadence 90.5,
// distance 0.01 km per record, altitude 200, speed 36, temperature 20.
inline std::vector<TripSample> RampTrip(int records, int interval = 1, int sport = kSportBikePower) {
  std::vector<TripSample> t(static_cast<std::size_t>(records));
  HeaderThreshold(t[0]) = 250.0f;
  HeaderWeightX10(t[0]) = 700.0f;
  HeaderHrThreshold(t[0]) = 170.0f;
  HeaderSport(t[0]) = static_cast<int8_t>(sport);
  for (int i = 1; i < records; ++i) {
    TripSample& s = t[static_cast<std::size_t>(i)];
    s.Time = (i - 1) * interval;
    s.Distance = 0.01f * i;
    s.Power = 100.0f + i;
    s.Cadence = 90.5f;
    s.Altitude = 200.0f;
    s.Speed = 36.0f;
    s.Temperature = 20.0f;
    s.HeartRate = static_cast<float>(100 + i % 50);
  }
  return t;
}

// A synthetic ride of `seconds` seconds (header included).
inline std::vector<TripSample> DemoRide(uint32_t seed, int seconds, int interval = 1) {
  SyntheticRideOptions o;
  o.Seed = seed;
  o.DurationSeconds = seconds;
  o.Interval = interval;
  return MakeSyntheticRide(o);
}

inline void LoadInto(TripSample* buffer, int32_t& count, const std::vector<TripSample>& t) {
  std::copy(t.begin(), t.end(), buffer);
  count = static_cast<int32_t>(t.size());
}

inline void LoadIntoCurrent(const std::vector<TripSample>& t) {
  LoadInto(TripSamples, TripSampleCount, t);
  SampleInterval = t.size() >= 4 ? std::max(1, t[3].Time - t[2].Time) : 1;
}

inline unsigned char* Bytes(std::string& s) { return reinterpret_cast<unsigned char*>(s.data()); }
inline const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// A file image whose leading int32 count word says `count`.
inline std::string WithCountWord(std::string bytes, int32_t count) {
  le::PutI32(Bytes(bytes), count);
  return bytes;
}

// The whole file ("" and a failure when it cannot be read).
inline std::string FileBytes(const std::filesystem::path& p) {
  std::string s;
  EXPECT_TRUE(ReadWholeFile(p, s)) << p;
  return s;
}

inline void WriteBytes(const std::filesystem::path& p, std::string_view bytes) {
  std::filesystem::create_directories(p.parent_path());
  ASSERT_TRUE(WriteFileAtomically(p, bytes)) << p;
}

}  // namespace tav::testing_core
