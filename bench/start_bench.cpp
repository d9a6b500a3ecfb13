// What a user waits for: the single-trip view of the largest trip opened
// (read, smoothed, drawn), and the diary of a full rider from its folder to
// the first painted grid.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include "bench_rider.h"
#include "core/core_data.h"
#include "core/demo_rider.h"
#include "core/settings.h"
#include "core/trip_catalog.h"
#include "core/trip_database.h"
#include "core/trip_file.h"
#include "core/trip_list.h"
#include "diary/diary_window.h"
#include "platform/canvas.h"
#include "platform/chart.h"
#include "platform/controls.h"
#include "platform/grid.h"
#include "platform/strings.h"
#include "viewing/trip_view.h"

namespace {

using namespace tav;

// A temporary program folder, removed at the end.
struct BenchFolder {
  std::filesystem::path dir;
  explicit BenchFolder(const char* what) {
    dir = std::filesystem::temp_directory_path() / (std::string("tavlog_bench_") + what + "_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
  }
  ~BenchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

// Reads a trip of state.range(0) records from its file, opens the trip view
// on it (smoothing and the series of every shown channel) and draws every
// chart strip, as a user opening the trip from the diary waits for it.
void BM_OpenTripView(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0)) - 1;
  EnsureGuiApplication();
  ResetCoreData();
  BenchFolder folder("trip_view");
  ProgramDir = PathText(folder.dir);
  const std::filesystem::path path = folder.dir / "BIG.DEO";
  SyntheticRideOptions o;
  o.Seed = 11;
  o.Interval = 1;
  o.DurationSeconds = records - 1;
  const std::vector<TripSample> trip = MakeSyntheticRide(o);
  float zone[kZoneBlockWords] = {5555.0f, 140, 190, 225, 260, 300, 375};
  WriteFileAtomically(path, EncodeDeoBytes(trip.data(), static_cast<int>(trip.size()), zone, ScaleMax, "", false,
                                           nullptr));
  auto form = std::make_unique<TForm30>();
  Form30 = form.get();
  TBitmap out(1600, 400);
  for (auto _ : state) {
    if (!ReadDeoFile(path)) state.SkipWithError("the trip does not read");
    ApplyDefaultChannels = 1;
    form->Hide();
    form->Show();
    for (int c = 0; c < kViewChannels; ++c)
      if (TChart* strip = form->ChannelChart(c)) strip->Paint(out.Canvas());
    benchmark::DoNotOptimize(out.Pixel(800, 100));
  }
  Form30 = nullptr;
  state.SetItemsProcessed(state.iterations() * records);
}
BENCHMARK(BM_OpenTripView)->Arg(200000)->Unit(benchmark::kMillisecond);

// From the rider's folder (trip list and trip database of 999 trips with
// computed statistics) to the first painted diary: the rider is opened as
// the main window opens it, the diary activated and its grid painted.
void BM_DiaryStart(benchmark::State& state) {
  EnsureGuiApplication();
  FillRider999();
  BenchFolder folder("diary_start");
  DerivePaths(PathText(folder.dir));
  CurrentRiderName = "BENCH";
  DeriveRiderPaths();
  std::filesystem::create_directories(FsPath(RiderDir));
  if (!SaveTripList(TripList) || !SaveTripDatabase()) state.SkipWithError("cannot write the rider");
  auto form = std::make_unique<TForm3>();
  Form3 = form.get();
  for (auto _ : state) {
    TripList.Clear();
    std::string message;
    OpenRider("BENCH", &message);
    form->Tag = 1;
    form->Hide();
    form->Show();
    TBitmap out(form->DBook->Width, form->DBook->Height);
    form->DBook->Paint(out.Canvas());
    benchmark::DoNotOptimize(out.Pixel(10, 10));
  }
  Form3 = nullptr;
  state.counters["trips"] = static_cast<double>(TripList.Count() - 1);
}
BENCHMARK(BM_DiaryStart)->Arg(999)->Unit(benchmark::kMillisecond);

}  // namespace
