// Benchmarks of the scan windows' computations over synthetic rides.
#include <benchmark/benchmark.h>

#include <vector>

#include "analysis/time_above_scan.h"
#include "core/demo_rider.h"

namespace {

std::vector<tav::TripSample> Ride(uint32_t seed, int records) {
  tav::SyntheticRideOptions o;
  o.Seed = seed;
  o.Interval = 1;
  o.DurationSeconds = records - 1;
  return tav::MakeSyntheticRide(o);
}

// Histogram and falling curve of one trip of state.range(0) records.
void BM_TimeAbove(benchmark::State& state) {
  const std::vector<tav::TripSample> trip = Ride(3, static_cast<int>(state.range(0)));
  const int n = static_cast<int>(trip.size());
  for (auto _ : state) {
    auto h = tav::TimeAboveHistogramOf(trip.data(), n, tav::kAbovePower, 1.0);
    auto curve = tav::TimeAboveCurve(h, tav::kAbovePower, 1, n, false);
    benchmark::DoNotOptimize(curve.x.back());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_TimeAbove)->Arg(200000)->Unit(benchmark::kMicrosecond);

}  // namespace
