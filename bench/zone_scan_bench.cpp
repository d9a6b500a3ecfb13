// The time-in-zones scan over many trips: every trip file is read and each
// record classified, then the summed bar is drawn. Its floor is reading the
// same files (BM_EvaluationZoneTrendRead).
#include <benchmark/benchmark.h>

#include <memory>

#include "analysis/zone_time_scan.h"
#include "trips_bench_util.h"

namespace {

using namespace tav;

void BM_ZoneScan(benchmark::State& state) {
  const bench::ListedTrips trips(static_cast<int>(state.range(0)));
  EnsureGuiApplication();
  auto form = std::make_unique<TForm56>();
  Form56 = form.get();
  form->Show();
  for (auto _ : state) {
    form->FormActivate(form.get());
    benchmark::DoNotOptimize(form->BarTotalSeconds[0]);
  }
  if (form->BarTotalSeconds[0] != int64_t{7199} * state.range(0)) state.SkipWithError("a trip was not counted");
  Form56 = nullptr;
}
BENCHMARK(BM_ZoneScan)->Arg(300)->Unit(benchmark::kMillisecond);

}  // namespace
