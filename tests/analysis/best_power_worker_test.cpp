#include "analysis/best_power_worker.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

#include "analysis/power_duration_curves.h"
#include "core/core_data.h"
#include "core/core_test_util.h"
#include "core/trip_file.h"
#include "drawn_curve.h"
#include "no_new_threads.h"

namespace tav {
namespace {

using testing_core::CoreFixture;

// The results a job hands over, kept apart from the process-wide ones.
struct Results {
  std::vector<float> curve = std::vector<float>(kBestPowerEntries, -1.0f);
  float max_power = -1.0f;
  int32_t max_duration = -1;
  TEvent done;
  BestPowerHandOver HandOver() { return {curve.data(), &max_power, &max_duration, &done}; }
};

class BestPowerWorkerTest : public CoreFixture {
 protected:
  // Writes a power trip to the rider's folder and returns its list line.
  std::string AddTrip(const std::string& key, int records, int interval,
                      const std::function<float(int)>& power) {
    return testing_analysis::WritePowerTrip(std::filesystem::path(FsPath(RiderDir)), key, records, interval, power);
  }

  void Run(const std::vector<std::string>& lines, Results& out, int threads = 0) {
    TTAV_Thread* slot = nullptr;
    RestartBestPowerJob(slot, lines, RiderDir, out.HandOver(), threads);
    ASSERT_TRUE(out.done.Wait(60000));
    StopBestPowerJob(slot);
    EXPECT_EQ(slot, nullptr);
  }

  // The table built the plain way: each loaded trip walked by the plain
  // walk, and at each duration the highest of their curves as drawn.
  static std::vector<float> Expected(const std::vector<std::string>& lines) {
    std::vector<TripCurve> trips;
    for (const std::string& line : lines) {
      TripFileData f;
      if (ReadTripFile(FsPath(TripPathOfLine(line)), f, nullptr) != TripReadError::None || f.Count() < 60)
        continue;
      std::vector<float> p;
      for (const TripSample& s : f.Samples) p.push_back(s.Power);
      TripCurve& c = trips.emplace_back();
      c.Loaded = true;
      c.Count = f.Count();
      c.Interval = f.Interval();
      MeanMaxWalkNaive(p.data(), c.Count, c.Best);
    }
    return testing_analysis::PeriodCurve(trips, kBestPowerEntries);
  }
};

float Wave(int r) { return 150.0f + static_cast<float>((r * 37) % 211) + 0.25f * static_cast<float>(r % 3); }

TEST_F(BestPowerWorkerTest, HandsOverTheCurveOfTheLoadedTripsAndTheTwoValues) {
  std::vector<std::string> lines = {
      AddTrip("20240101_1000000_A", 900, 1, Wave),
      "20240102_0900NR3_TESTER;000;*a manual entry",
      AddTrip("20240103_1000000_B", 700, 2, [](int r) { return Wave(r + 5) * 1.3f; }),
      AddTrip("20240104_1000000_SHORT", 59, 1, [](int) { return 3000.0f; }),
      "20240105_1000000_MISSING;004;",
      "20240106_1000000_NOSEMICOLON",
      AddTrip("20240107_1000000_C", 120, 1, [](int r) { return r == 60 ? 1234.5f : 100.0f; }),
  };
  const std::vector<float> want = Expected(lines);
  // Trips are read into the worker's own buffers: the current trip, its path,
  // interval and scales stay as they were, and no file is written.
  auto listing = [this] {
    std::map<std::string, std::filesystem::file_time_type> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir_)) files[e.path().string()] = e.last_write_time();
    return files;
  };
  const auto before = listing();
  TripSamples[1].Power = 77.0f;
  TripSampleCount = 123;
  CurrentTripPath = "current";
  SampleInterval = 7;
  ScaleMax[kScalePower] = 555.0f;
  for (int threads : {1, 0}) {
    Results got;
    Run(lines, got, threads);
    EXPECT_EQ(std::memcmp(got.curve.data(), want.data(), want.size() * sizeof(float)), 0) << threads;
    EXPECT_EQ(got.max_power, 1234.5f);
    EXPECT_EQ(got.max_duration, 3600);  // short trips leave it at an hour
  }
  EXPECT_EQ(TripSamples[1].Power, 77.0f);
  EXPECT_EQ(TripSampleCount, 123);
  EXPECT_EQ(CurrentTripPath, "current");
  EXPECT_EQ(SampleInterval, 7);
  EXPECT_EQ(ScaleMax[kScalePower], 555.0f);
  EXPECT_EQ(*std::max_element(BestPowerCurve, BestPowerCurve + kBestPowerEntries), 0.0f);
  EXPECT_EQ(listing(), before);
  lines.push_back(AddTrip("20240108_1000000_LONG", 14401, 1, Wave));  // four hours
  Results got;
  Run(lines, got);
  EXPECT_EQ(got.max_duration, 14401);
}

TEST_F(BestPowerWorkerTest, NothingLoadedSignalsAnEmptyCurve) {
  Results got;
  Run({"20240102_0900NR3_TESTER;000;*a", "20240102_0930NR4_TESTER;000;", ""}, got);
  EXPECT_EQ(std::count(got.curve.begin(), got.curve.end(), 0.0f), kBestPowerEntries);
  EXPECT_EQ(got.max_power, 0.0f);
  EXPECT_EQ(got.max_duration, 3600);
}

// A new job stops and joins the running one: only the new job's results
// are handed over, and stopping a running job still signals.
TEST_F(BestPowerWorkerTest, RestartStopsAndJoinsTheRunningJob) {
  std::vector<std::string> heavy;
  for (int i = 0; i < 12; ++i)
    heavy.push_back(AddTrip("2024010" + std::to_string(i % 9 + 1) + "_10000" + std::to_string(i % 10) + "0_H" +
                                std::to_string(i),
                            40000, 1, [](int r) { return 900.0f + static_cast<float>(r % 7); }));
  const std::string light = AddTrip("20240301_1000000_L", 300, 1, [](int) { return 100.0f; });
  Results got;
  TTAV_Thread* slot = nullptr;
  RestartBestPowerJob(slot, heavy, RiderDir, got.HandOver(), 1);
  const uint64_t first = slot->JobId();
  RestartBestPowerJob(slot, {light}, RiderDir, got.HandOver(), 1);
  EXPECT_NE(slot->JobId(), first);
  ASSERT_TRUE(got.done.Wait(60000));
  EXPECT_EQ(got.max_power, 100.0f);
  EXPECT_EQ(*std::max_element(got.curve.begin(), got.curve.end()), 100.0f);
  StopBestPowerJob(slot);

  Results stopped;
  RestartBestPowerJob(slot, heavy, RiderDir, stopped.HandOver(), 1);
  StopBestPowerJob(slot);
  EXPECT_EQ(slot, nullptr);
  EXPECT_TRUE(stopped.done.IsSet());
}

// Without threads to be had: a job that cannot start leaves the slot empty
// and still signals, and the curve computed on the calling thread alone is
// the same (with and without a stop flag, which reads with a waiting loop).
TEST_F(BestPowerWorkerTest, WithoutThreadsNothingWaitsAndTheCurveIsTheSame) {
  const std::vector<std::string> lines = {AddTrip("20240101_1000000_A", 900, 1, Wave),
                                          AddTrip("20240102_1000000_B", 700, 2, [](int r) { return Wave(r + 3); })};
  const std::vector<float> want = Expected(lines);
  testing_analysis::NoNewThreads no_threads;
  ASSERT_TRUE(no_threads.Active());
  Results got;
  TTAV_Thread* slot = nullptr;
  EXPECT_FALSE(RestartBestPowerJob(slot, lines, RiderDir, got.HandOver(), 0));
  EXPECT_EQ(slot, nullptr);
  EXPECT_TRUE(got.done.IsSet());
  for (bool with_stop_flag : {false, true}) {
    std::atomic<bool> cancel{false};
    std::vector<float> table(kBestPowerEntries, -1.0f);
    BlockSummary summary;
    ASSERT_TRUE(ComputeBlockCurve(lines, RiderDir, 0, with_stop_flag ? &cancel : nullptr, table.data(),
                                  kBestPowerEntries, summary));
    EXPECT_EQ(std::memcmp(table.data(), want.data(), want.size() * sizeof(float)), 0) << with_stop_flag;
  }
}

// The 30 s on / 30 s off ride alone: the period curve is the ride's own
// curve, 375 W at 60 s and 433.3 W at 90 s (a longer best above a shorter
// one stays where it is), 550 W up to 30 s.
TEST_F(BestPowerWorkerTest, AnIntervalRideAloneKeepsItsOwnCurve) {
  const std::string line = AddTrip("20240201_1000000_IV", 601, 1, testing_analysis::IntervalRide);
  std::vector<float> p(601, 9999.0f), own;
  for (int r = 1; r < 601; ++r) p[static_cast<std::size_t>(r)] = testing_analysis::IntervalRide(r);
  MeanMaxWalkNaive(p.data(), 601, own);  // lengths 1, 2, 3, ...: own[w - 1] is w seconds
  const float best60 = 375.0f, best90 = 39000.0f / 90.0f;
  ASSERT_EQ(own[59], best60);
  ASSERT_EQ(own[89], best90);
  Results got;
  Run({line}, got);
  EXPECT_EQ(got.curve[60], best60);
  EXPECT_EQ(got.curve[90], best90);
  EXPECT_EQ(got.curve[30], 550.0f);
  EXPECT_EQ(got.curve[1], 550.0f);
  for (int d = 1; d <= 202; ++d)
    EXPECT_EQ(got.curve[static_cast<std::size_t>(d)], own[static_cast<std::size_t>(d - 1)]) << d;
}

// A trip at 1 s (400 W, 300 records) and one at 2 s (300 W, 300 records):
// the 1-s trip's curve runs from 1 s to its last length (at least
// count - 30 = 270 s), the 2-s trip's from 2 s to twice its last length
// (540 s at least, below 600 s). At every duration the higher one counts,
// odd durations of the 2-s trip included; beyond the 2-s trip nothing.
TEST_F(BestPowerWorkerTest, TripsAtOneAndTwoSecondsMakeTheHigherCurveEverywhere) {
  const std::vector<std::string> lines = {AddTrip("20240202_1000000_ONE", 300, 1, [](int) { return 400.0f; }),
                                          AddTrip("20240203_1000000_TWO", 300, 2, [](int) { return 300.0f; })};
  Results got;
  Run(lines, got);
  for (int d = 1; d <= 270; ++d) EXPECT_EQ(got.curve[static_cast<std::size_t>(d)], 400.0f) << d;
  for (int d = 300; d <= 540; ++d) EXPECT_EQ(got.curve[static_cast<std::size_t>(d)], 300.0f) << d;
  for (int d = 271; d < 300; ++d) {
    const float v = got.curve[static_cast<std::size_t>(d)];
    EXPECT_TRUE(v == 400.0f || v == 300.0f) << d << ": " << v;
  }
  for (int d = 600; d < 1000; ++d) EXPECT_EQ(got.curve[static_cast<std::size_t>(d)], 0.0f) << d;
  EXPECT_EQ(got.curve[0], 0.0f);
}

}  // namespace
}  // namespace tav
