// The evaluation window's zone chart over many trips: every trip file is
// read and counted into zones. BM_EvaluationZoneTrendRead reads the same
// files and does nothing else, the floor the zone chart is measured against.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "analysis/analysis_common.h"
#include "analysis/evaluation_window.h"
#include "core/core_data.h"
#include "core/demo_rider.h"
#include "core/trip_file.h"
#include "platform/text.h"
#include "trips_bench_util.h"

namespace {

using namespace tav;
using ZoneTrendTrips = bench::ListedTrips;

void BM_EvaluationZoneTrend(benchmark::State& state) {
  const ZoneTrendTrips trips(static_cast<int>(state.range(0)));
  auto form = std::make_unique<TForm4>();
  Form4 = form.get();
  form->Evaluated = false;
  form->Show();
  for (auto _ : state) {
    form->SB_TGRAFClick(form->SB_TGRAF);
    benchmark::DoNotOptimize(form->Series[0]->Count());
  }
  if (form->Series[0]->Count() != state.range(0)) state.SkipWithError("a trip was not charted");
  Form4 = nullptr;
}
BENCHMARK(BM_EvaluationZoneTrend)->Arg(300)->Unit(benchmark::kMillisecond);

void BM_EvaluationZoneTrendRead(benchmark::State& state) {
  const ZoneTrendTrips trips(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::atomic<int> read{0};
    ForEachListedTrip(SelectedTrips.Lines(), [&](std::size_t, TripFileData&) { read.fetch_add(1); });
    benchmark::DoNotOptimize(read.load());
  }
}
BENCHMARK(BM_EvaluationZoneTrendRead)->Arg(300)->Unit(benchmark::kMillisecond);

}  // namespace
