// The power-duration curves: the longest run above each threshold and the
// mean-maximal walk over the largest trip a file may hold, each plain (one
// pass per threshold or length) and fast; the merge of walked trips into a
// period's curve; and the best-power worker's run over a block of 100
// two-hour trips.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/power_duration_curves.h"
#include "core/core_data.h"
#include "core/demo_rider.h"
#include "core/smoothing.h"
#include "core/trip_file.h"
#include "platform/strings.h"
#include "platform/text.h"

namespace {

using namespace tav;

// Raw power of a synthetic ride of `records` records, and its power as the
// longest-run curve takes it at the window's first smoothing level (raw,
// 0 where not pedalled).
struct RidePower {
  std::vector<float> raw, smooth;
  int count = 0;
  int top = 0;  // the highest threshold of the longest-run curve
};

const RidePower& Ride(int records) {
  static RidePower ride;
  if (ride.count != records) {
    SyntheticRideOptions o;
    o.Seed = 11;
    o.DurationSeconds = records - 1;
    std::vector<TripSample> t = MakeSyntheticRide(o);
    t.resize(static_cast<std::size_t>(records));
    std::vector<SmoothSample> s(t.size());
    SmoothColumnOf(t.data(), records, s.data(), kSmoothPower, SmoothHalfWidth[0]);
    ride.raw.assign(t.size(), 0.0f);
    ride.smooth.assign(t.size(), 0.0f);
    float max_smooth = 0.0f;
    for (int r = 1; r < records; ++r) {
      ride.raw[static_cast<std::size_t>(r)] = t[static_cast<std::size_t>(r)].Power;
      ride.smooth[static_cast<std::size_t>(r)] = s[static_cast<std::size_t>(r)][kSmoothPower];
      max_smooth = std::max(max_smooth, s[static_cast<std::size_t>(r)][kSmoothPower]);
    }
    ride.count = records;
    ride.top = (PowerToInt(max_smooth) + 10) / 10 * 10;
  }
  return ride;
}

void BM_LongestRunNaive(benchmark::State& state) {
  const RidePower& ride = Ride(static_cast<int>(state.range(0)));
  std::vector<int32_t> runs;
  for (auto _ : state) {
    LongestRunNaive(ride.smooth.data(), ride.count, ride.top, 21, runs);
    benchmark::DoNotOptimize(runs.data());
  }
}
BENCHMARK(BM_LongestRunNaive)->Arg(200000)->Unit(benchmark::kMillisecond);

void BM_LongestRun(benchmark::State& state) {
  const RidePower& ride = Ride(static_cast<int>(state.range(0)));
  std::vector<int32_t> runs;
  for (auto _ : state) {
    LongestRun(ride.smooth.data(), ride.count, ride.top, 21, runs);
    benchmark::DoNotOptimize(runs.data());
  }
}
BENCHMARK(BM_LongestRun)->Arg(200000)->Unit(benchmark::kMillisecond);

void BM_MeanMaxWalkNaive(benchmark::State& state) {
  const RidePower& ride = Ride(static_cast<int>(state.range(0)));
  std::vector<float> best;
  for (auto _ : state) {
    MeanMaxWalkNaive(ride.raw.data(), ride.count, best);
    benchmark::DoNotOptimize(best.data());
  }
}
BENCHMARK(BM_MeanMaxWalkNaive)->Arg(200000)->Unit(benchmark::kMillisecond);

// One thread.
void BM_MeanMaxWalk(benchmark::State& state) {
  const RidePower& ride = Ride(static_cast<int>(state.range(0)));
  std::vector<float> best;
  for (auto _ : state) {
    MeanMaxWalk(ride.raw.data(), ride.count, best, 1);
    benchmark::DoNotOptimize(best.data());
  }
}
BENCHMARK(BM_MeanMaxWalk)->Arg(200000)->Unit(benchmark::kMillisecond);

// The walk processors without AVX2 run (eight lanes in portable vector
// form), one thread.
void BM_MeanMaxWalkPortable(benchmark::State& state) {
  const RidePower& ride = Ride(static_cast<int>(state.range(0)));
  std::vector<float> best;
  for (auto _ : state) {
    MeanMaxWalkPortable(ride.raw.data(), ride.count, best);
    benchmark::DoNotOptimize(best.data());
  }
}
BENCHMARK(BM_MeanMaxWalkPortable)->Arg(200000)->Unit(benchmark::kMillisecond);

// The merge of a period's trips into its table of durations: 100 walked
// trips of `records` records, every other one at 2 s, each a little weaker
// than the one before, filed one after another into a cleared table (what
// the worker and the block view do once the trips are walked).
void BM_MergeTripCurve(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  const RidePower& ride = Ride(records);
  TripCurve walked;
  walked.Loaded = true;
  walked.Count = records;
  MeanMaxWalk(ride.raw.data(), records, walked.Best, 0);
  std::vector<TripCurve> trips(100, walked);
  for (std::size_t i = 0; i < trips.size(); ++i) {
    trips[i].Interval = 1 + static_cast<int32_t>(i % 2);
    for (float& b : trips[i].Best) b *= 1.0f - 0.003f * static_cast<float>(i);
  }
  std::vector<float> table(kBestPowerEntries);
  for (auto _ : state) {
    std::fill(table.begin(), table.end(), 0.0f);
    for (const TripCurve& trip : trips) MergeTripCurve(trip, table.data(), kBestPowerEntries);
    benchmark::DoNotOptimize(table.data());
  }
}
BENCHMARK(BM_MergeTripCurve)->Arg(7200)->Arg(200000)->Unit(benchmark::kMillisecond);

// 100 trips of 7200 one-second records in a temporary rider folder.
struct Block {
  std::filesystem::path dir;
  std::vector<std::string> lines;
  Block() {
    dir = std::filesystem::temp_directory_path() / ("tavlog_block_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (int i = 0; i < 100; ++i) {
      SyntheticRideOptions o;
      o.Seed = static_cast<uint32_t>(100 + i);
      o.DurationSeconds = 7200 - 1;
      std::vector<TripSample> t = MakeSyntheticRide(o);
      t.resize(7200);
      const std::string key = Format("2024%02i%02i_%02i00000_BENCH", 1 + i / 28, 1 + i % 28, 6 + i % 12);
      WriteFileAtomically(dir / (key + ".DEO"),
                          EncodeDeoBytes(t.data(), 7200, nullptr, nullptr, "", false, nullptr));
      lines.push_back(key + Format(";%03i;*BIKE POWER", i + 1));
    }
  }
  ~Block() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

// The worker's run over the block (the calling thread takes part);
// argument: threads (0 = all cores).
void BM_BlockAnalysis(benchmark::State& state) {
  static Block block;
  std::vector<float> curve(kBestPowerEntries);
  BlockSummary summary;
  for (auto _ : state) {
    ComputeBlockCurve(block.lines, PathText(block.dir), static_cast<int>(state.range(0)), nullptr, curve.data(),
                      kBestPowerEntries, summary);
    benchmark::DoNotOptimize(curve.data());
  }
}
BENCHMARK(BM_BlockAnalysis)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
