// Applying a language's text table to every window.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/controls.h"
#include "texts/text_tables.h"
#include "top/forms.h"

namespace {

// Every window, created as the program does in a temporary program folder;
// each run applies the other one of two tables, so every target changes.
void BM_ApplyLanguage(benchmark::State& state) {
  namespace fs = std::filesystem;
  std::string folder = (fs::temp_directory_path() / "bench-texts-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  tav::Application().ExeName = (fs::path(folder) / "tavlog").string();
  tav::CreateAllForms();
  bool german = false;
  for (auto _ : state) {
    german = !german;
    benchmark::DoNotOptimize(tav::ApplyLanguage(german ? tav::kGermanTexts : tav::kEnglishTexts));
  }
  tav::DestroyAllForms();
  fs::current_path(fs::temp_directory_path());
  fs::remove_all(folder);
}
BENCHMARK(BM_ApplyLanguage)->Unit(benchmark::kMicrosecond);

}  // namespace
