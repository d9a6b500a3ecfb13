#include <benchmark/benchmark.h>

#include "platform/text.h"

static void BM_FormatNumber(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(tav::Format("%8.2f ", 1234.5));
}
BENCHMARK(BM_FormatNumber);
