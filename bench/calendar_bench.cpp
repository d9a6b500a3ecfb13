// The week calendar: its model rebuilt from 999 trips over three years, and
// one repaint of the weeks on screen.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench_rider.h"
#include "core/core_data.h"
#include "core/trip_list.h"
#include "diary/calendar_model.h"
#include "diary/calendar_window.h"
#include "platform/canvas.h"

namespace {

using namespace tav;

// The benchmark rider, with zone times for its trips.
void FillTrips() {
  FillRider999();
  for (int slot = 1; slot <= 999; ++slot)
    for (int z = 0; z < 7; ++z) TripZoneTable[slot].Seconds[z] = static_cast<uint32_t>(100 + (slot * z * 17) % 900);
  BuildTripDateIndex();
}

void BM_CalendarModel(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  FillTrips();
  for (auto _ : state) {
    BuildCalendarModel(TripDates, n, 0, TripSummaryTable, TripZoneTable, nullptr);
    benchmark::DoNotOptimize(CalendarDays.data());
  }
  ClearCalendarDays();
}
BENCHMARK(BM_CalendarModel)->Arg(999)->Unit(benchmark::kMicrosecond);

// The calendar as it opens (the last four weeks, five text lines per cell),
// its grid painted whole.
void BM_CalendarPaint(benchmark::State& state) {
  FillTrips();
  for (CalendarShow& s : CalendarShows) s.Values[0] = 3;
  auto form = std::make_unique<TForm33>();
  form->Show();
  form->CalGrid->SetTopRow(CalendarWeekCount - 3);
  TBitmap out(form->CalGrid->Width, form->CalGrid->Height);
  for (auto _ : state) {
    form->CalGrid->Paint(out.Canvas());
    benchmark::DoNotOptimize(out.Pixel(100, 100));
  }
  form.reset();
  ClearCalendarDays();
}
BENCHMARK(BM_CalendarPaint)->Unit(benchmark::kMillisecond);

}  // namespace
