// Shared helpers of the core tests: a fresh core state in a temporary
// program folder, and small hand-made trips.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/core_data.h"
#include "core/trip_types.h"

namespace tav::testing_core {

// A temporary program folder, removed at the end; the core data is reset
// and every path derived from the folder.
class CoreFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCoreData();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("tavlog_core_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
            std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    DerivePaths(PathText(dir_));
    CurrentRiderName = "TESTER";
    DeriveRiderPaths();
    std::filesystem::create_directories(FsPath(RiderDir));
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    ResetCoreData();
  }
  std::filesystem::path dir_;
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

inline void LoadIntoCurrent(const std::vector<TripSample>& t) {
  std::copy(t.begin(), t.end(), TripSamples);
  TripSampleCount = static_cast<int32_t>(t.size());
  SampleInterval = t.size() >= 4 ? std::max(1, t[3].Time - t[2].Time) : 1;
}

}  // namespace tav::testing_core
