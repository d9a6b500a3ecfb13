// The diary's rebuild on activation and its sort, over a full list of 999
// trips with computed statistics.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include <unistd.h>

#include "bench_rider.h"
#include "core/core_data.h"
#include "diary/diary_export.h"
#include "diary/diary_window.h"
#include "platform/text.h"

namespace {

using namespace tav;

// The diary shown once over the 999 trips (the form outlives the run).
std::unique_ptr<TForm3> OpenDiary999() {
  FillRider999();
  auto form = std::make_unique<TForm3>();
  Form3 = form.get();
  form->Tag = 1;
  form->Show();
  return form;
}

void BM_DiaryActivate(benchmark::State& state) {
  const auto form = OpenDiary999();
  for (auto _ : state) {
    form->Tag = 1;
    form->FormActivate(form.get());
    benchmark::DoNotOptimize(form->DBook->Cell(3, 500));
  }
  Form3 = nullptr;
}
BENCHMARK(BM_DiaryActivate)->Unit(benchmark::kMillisecond);

void BM_DiarySort(benchmark::State& state) {
  const auto form = OpenDiary999();
  int item = 1;
  for (auto _ : state) {
    // One sort of the rows by the next key (the rebuild of the grid after it
    // is measured by BM_DiaryActivate).
    std::vector<DiaryStats> stats(999);
    std::vector<DiarySortRow> rows(999);
    for (int i = 0; i < 999; ++i) {
      const DiarySlotField f = ParseDiarySlot(TripList[i]);
      stats[static_cast<std::size_t>(i)] = DiaryStatsOfSlot(f.slot);
      rows[static_cast<std::size_t>(i)] = {TripList[i], &stats[static_cast<std::size_t>(i)]};
    }
    benchmark::DoNotOptimize(DiarySortOrder(item, rows));
    item = item % 16 + 1;
  }
  Form3 = nullptr;
}
BENCHMARK(BM_DiarySort)->Unit(benchmark::kMicrosecond);

void BM_DiaryCsvExport(benchmark::State& state) {
  const auto form = OpenDiary999();
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tavlog_bench_csv_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::filesystem::path file = dir / "BENCH.CSV";
  for (auto _ : state) {
    const std::string text = DiaryCsvText(*form->DBook, TripList, DiaryRowLine, DiaryRowPowerSlot, DiaryColumnPos,
                                          form->ShownLineCount());
    if (!WriteFileAtomically(file, text)) state.SkipWithError("cannot write the CSV file");
  }
  std::filesystem::remove_all(dir);
  Form3 = nullptr;
}
BENCHMARK(BM_DiaryCsvExport)->Unit(benchmark::kMillisecond);

}  // namespace
