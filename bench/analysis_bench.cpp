// Benchmarks of the scan windows' computations over synthetic rides.
#include <benchmark/benchmark.h>

#include <vector>

#include "analysis/grade_scan.h"
#include "analysis/time_above_scan.h"
#include "core/smoothing.h"
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

// The several-trip grade scan of state.range(0) trips of 7200 records:
// altitude smoothing, gradients, class sums and the curve of each trip.
void BM_GradeScan(benchmark::State& state) {
  std::vector<std::vector<tav::TripSample>> trips;
  for (int i = 0; i < state.range(0); ++i) trips.push_back(Ride(11 + static_cast<uint32_t>(i), 7200));
  std::vector<tav::SmoothSample> smooth(7200);
  std::vector<float> grade(7200);
  for (auto _ : state) {
    for (const auto& t : trips) {
      const int n = static_cast<int>(t.size());
      tav::SmoothColumnOf(t.data(), n, smooth.data(), tav::kSmoothAltitude, tav::HalfWidthOfLevel(2));
      tav::RecordGrades(t.data(), smooth.data(), n, false, 0, grade.data());
      auto curve = tav::GradeCurveFromSteep(tav::GradeClassSumsOf(t.data(), grade.data(), n));
      benchmark::DoNotOptimize(curve.x.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * 7200);
}
BENCHMARK(BM_GradeScan)->Arg(8)->Unit(benchmark::kMicrosecond);

}  // namespace
