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

namespace {

using namespace tav;

// n trips of 7200 one-second records in a temporary rider folder, listed
// in the selection list.
struct ZoneTrendTrips {
  std::filesystem::path dir;
  explicit ZoneTrendTrips(int n) {
    ResetCoreData();
    dir = std::filesystem::temp_directory_path() / ("tavlog_eval_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    DerivePaths(PathText(dir));
    CurrentRiderName = "BENCH";
    DeriveRiderPaths();
    std::filesystem::create_directories(FsPath(RiderDir));
    SyntheticRideOptions o;
    o.DurationSeconds = 7199;
    const std::vector<TripSample> ride = MakeSyntheticRide(o);
    float zone[kZoneBlockWords] = {kZoneBlockMark, 140, 190, 225, 260, 300, 375};
    const std::string bytes =
        EncodeDeoBytes(ride.data(), static_cast<int>(ride.size()), zone, ScaleMax, "", false, nullptr);
    SelectedTrips.Clear();
    for (int k = 0; k < n; ++k) {
      const std::string key = Format("20%02i%02i%02i_101500%i_TAV", 10 + k / 336, 1 + k / 28 % 12, 1 + k % 28, 0);
      WriteFileAtomically(FsPath(JoinPath(RiderDir, key + ".DEO")), bytes);
      SelectedTrips.Add(Format("%s;%03i;*BIKE POWER", key.c_str(), k + 1));
    }
    ScanList = &SelectedTrips;
  }
  ~ZoneTrendTrips() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    ResetCoreData();
  }
};

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
