// The six-chart overview: all six charts filled from a selection of trips.
#include <benchmark/benchmark.h>

#include <memory>

#include "analysis/overview_charts.h"
#include "core/core_data.h"
#include "platform/text.h"

namespace {

using namespace tav;

void BM_OverviewFill(benchmark::State& state) {
  ResetCoreData();
  const int n = static_cast<int>(state.range(0));
  std::vector<std::string> lines;
  for (int k = 0; k < n; ++k) {
    const int slot = k % 998 + 1;
    lines.push_back(Format("%04i%02i%02i_%02i1500%i_TAV;%03i;*ride %i", 2010 + k / 336, 1 + (k / 28) % 12,
                           1 + k % 28, 7 + k % 11, k % 3, slot, k));
    TripSummary& s = TripSummaryTable[slot];
    s.TotalTime = 1800 + (k * 37) % 9000;
    s.Distance = 10.0f + static_cast<float>((k * 13) % 150);
    s.MeanPowerNonZero = 150.0f + static_cast<float>((k * 7) % 120);
    s.MeanSpeed = 28.5f;
    s.Ascent = static_cast<float>((k * 31) % 2000);
    s.MeanCadence = 85.0f;
    s.MeanHeartRate = 120.0f + static_cast<float>(k % 40);
  }
  SelectedTrips.Assign(lines);
  ScanList = &SelectedTrips;
  auto form = std::make_unique<TForm35>();
  form->Tag = 20;
  form->FirstItem = 0;
  form->ItemCount = n;
  for (auto _ : state) {
    form->FormActivate(form.get());
    benchmark::DoNotOptimize(form->Bars[5]->Count());
  }
  ResetCoreData();
}
BENCHMARK(BM_OverviewFill)->Arg(999)->Unit(benchmark::kMillisecond);

}  // namespace
