// Benchmarks of the drawing layer: a chart repaint with a whole trip's worth
// of points, and the diary-sized string grid rebuilt and repainted.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "platform/canvas.h"
#include "platform/chart.h"
#include "platform/grid.h"
#include "platform/text.h"

namespace {

// Fills a line series with state.range(0) points (a noisy power curve, as
// the windows fill their curves: whole arrays) and draws the chart 1000
// pixels wide.
void BM_ChartDraw(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  tav::TChart chart;
  chart.SetBounds(0, 0, 1000, 500);
  chart.Title.Text.Add("Power");
  auto* s = chart.AddLineSeries();
  s->Title = "Power";
  tav::TBitmap out(1000, 500);
  std::vector<double> times(static_cast<size_t>(n)), values(static_cast<size_t>(n));
  uint32_t seed = 1;
  for (int i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    times[static_cast<size_t>(i)] = i;
    values[static_cast<size_t>(i)] = 200 + 80 * std::sin(i * 0.001) + static_cast<double>(seed >> 24);
  }
  for (auto _ : state) {
    s->Clear();
    s->AddXYs(times.data(), values.data(), n);
    chart.Paint(out.Canvas());
    benchmark::DoNotOptimize(out.Pixel(500, 250));
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ChartDraw)->Arg(2000)->Arg(200000)->Unit(benchmark::kMillisecond);

// Fills a 1000 x 18 grid (two title rows) and paints the part in view.
void BM_GridRebuild(benchmark::State& state) {
  tav::TStringGrid grid;
  grid.SetBounds(0, 0, 1400, 700);
  grid.SetColCount(18);
  grid.SetFixedRows(2);
  grid.SetFixedCols(0);
  grid.Options |= tav::goRowSelect | tav::goColMoving;
  grid.SetDefaultColWidth(75);
  grid.Font.Name = "Verdana";
  grid.Font.SetPixelHeight(12);
  tav::TBitmap out(1400, 700);
  for (auto _ : state) {
    grid.SetRowCount(1000);
    for (int c = 0; c < 18; ++c) {
      grid.Cells(c, 0) = tav::Format(" Title %d", c);
      grid.Cells(c, 1) = " [unit]";
    }
    for (int r = 2; r < 1000; ++r)
      for (int c = 0; c < 18; ++c) grid.Cells(c, r) = tav::Format("%8.2f ", r * 1.25 + c);
    grid.SetTopRow(grid.MaxTopRow());
    grid.Paint(out.Canvas());
    benchmark::DoNotOptimize(out.Pixel(10, 10));
  }
}
BENCHMARK(BM_GridRebuild)->Unit(benchmark::kMillisecond);

}  // namespace
