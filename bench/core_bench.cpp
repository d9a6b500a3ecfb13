// Benchmarks of the core's hot paths: reading trip files, trip statistics,
// smoothing and saving the trip database.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "core/core_data.h"
#include "core/demo_rider.h"
#include "core/smoothing.h"
#include "core/statistics.h"
#include "core/trip_database.h"
#include "core/trip_file.h"
#include "platform/strings.h"

namespace {

constexpr int kBenchRecords = 200000 - 1;

// A 200000-record trip (the largest a file may hold) in a temporary file.
struct BigTrip {
  std::filesystem::path dir, path;
  BigTrip() {
    dir = std::filesystem::temp_directory_path() / ("tavlog_core_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    path = dir / "BIG.DEO";
    tav::SyntheticRideOptions o;
    o.Seed = 5;
    o.Interval = 1;
    o.DurationSeconds = kBenchRecords - 1;
    std::vector<tav::TripSample> t = tav::MakeSyntheticRide(o);
    float zone[tav::kZoneBlockWords] = {5555.0f, 140, 190, 225, 260, 300, 375};
    tav::WriteFileAtomically(path, tav::EncodeDeoBytes(t.data(), static_cast<int>(t.size()), zone,
                                                      tav::ScaleMax, "*BIKE POWER", true, nullptr));
  }
  ~BigTrip() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

BigTrip& Trip() {
  static BigTrip trip;
  return trip;
}

void LoadBigTrip() {
  static bool loaded = false;
  if (!loaded) {
    tav::ReadDeoFile(Trip().path);
    loaded = true;
  }
}

void BM_ReadTripFile(benchmark::State& state) {
  const auto& path = Trip().path;
  for (auto _ : state) {
    bool ok = tav::ReadDeoFile(path);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(tav::TripSamples[tav::TripSampleCount - 1]);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_ReadTripFile)->Unit(benchmark::kMillisecond);

void BM_ReadFileBytes(benchmark::State& state) {
  const auto& path = Trip().path;
  std::string bytes;
  for (auto _ : state) {
    bool ok = tav::ReadWholeFile(path, bytes);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_ReadFileBytes)->Unit(benchmark::kMillisecond);

void BM_EvaluateTrip(benchmark::State& state) {
  LoadBigTrip();
  tav::CurrentTripSlot = 1;
  for (auto _ : state) {
    int r = tav::EvaluateTrip();
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_EvaluateTrip)->Unit(benchmark::kMillisecond);

void BM_SmoothPower(benchmark::State& state) {
  LoadBigTrip();
  tav::SmoothLevel[tav::kLevelPower] = static_cast<int>(state.range(0));
  for (auto _ : state) {
    tav::SmoothChannelPower();
    benchmark::DoNotOptimize(tav::TripSmooth[1000][tav::kSmoothPower]);
  }
}
BENCHMARK(BM_SmoothPower)->Arg(1)->Arg(9)->Unit(benchmark::kMicrosecond);

void BM_SaveTripDatabase(benchmark::State& state) {
  const auto path = Trip().dir / "BENCH.T_D";
  for (int i = 1; i < tav::kTripSlots; ++i) {
    tav::TripSummaryTable[i].TotalTime = 3600 + i;
    tav::TripZoneTable[i].Mark = tav::kTableMark;
    tav::TripDistributionTable[i].Mark = tav::kTableMark;
  }
  for (auto _ : state) {
    bool ok = tav::SaveTripDatabaseFile(path);
    benchmark::DoNotOptimize(ok);
  }
}
BENCHMARK(BM_SaveTripDatabase)->Unit(benchmark::kMillisecond);

}  // namespace
