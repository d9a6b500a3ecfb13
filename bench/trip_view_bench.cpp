// The parts of opening the single-trip view on the largest trip: the
// smoothing of the shown channels, the curves' points and the statistics of
// the whole trip, each beside the plain way of doing the same.
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "core/core_data.h"
#include "core/demo_rider.h"
#include "core/smoothing.h"
#include "core/statistics.h"
#include "viewing/trip_view_model.h"

namespace {

using namespace tav;

const std::vector<TripSample>& BigTrip(int records) {
  static std::vector<TripSample> trip;
  if (static_cast<int>(trip.size()) != records) {
    SyntheticRideOptions o;
    o.Seed = 11;
    o.DurationSeconds = records - 2;
    trip = MakeSyntheticRide(o);
  }
  return trip;
}

// The five channels the view shows by default, at the default levels.
constexpr SmoothColumn kShown[5] = {kSmoothPower, kSmoothCadence, kSmoothSpeed, kSmoothHeartRate,
                                    kSmoothAltitude};
constexpr int kShownWidth[5] = {4, 2, 3, 5, 10};

// Five columns in one pass over the records.
void BM_SmoothShownColumns(benchmark::State& state) {
  const std::vector<TripSample>& t = BigTrip(static_cast<int>(state.range(0)));
  const int n = static_cast<int>(t.size());
  std::array<std::vector<float>, 5> cols;
  float* out[5];
  SmoothJob jobs[5];
  for (int k = 0; k < 5; ++k) {
    cols[k].resize(t.size());
    out[k] = cols[k].data();
    jobs[k] = {kShown[k], kShownWidth[k]};
  }
  for (auto _ : state) {
    SmoothColumnsInto(t.data(), n, jobs, out, 5);
    benchmark::DoNotOptimize(out[4][n / 2]);
  }
  state.SetItemsProcessed(state.iterations() * n * 5);
}
BENCHMARK(BM_SmoothShownColumns)->Arg(200000)->Unit(benchmark::kMillisecond);

// The same five columns one after the other.
void BM_SmoothShownColumnsOneByOne(benchmark::State& state) {
  const std::vector<TripSample>& t = BigTrip(static_cast<int>(state.range(0)));
  const int n = static_cast<int>(t.size());
  std::vector<SmoothSample> rows(t.size());
  for (auto _ : state) {
    for (int k = 0; k < 5; ++k) SmoothColumnOf(t.data(), n, rows.data(), kShown[k], kShownWidth[k]);
    benchmark::DoNotOptimize(rows[static_cast<std::size_t>(n / 2)][4]);
  }
  state.SetItemsProcessed(state.iterations() * n * 5);
}
BENCHMARK(BM_SmoothShownColumnsOneByOne)->Arg(200000)->Unit(benchmark::kMillisecond);

// The points of the five curves from smoothed columns: times once, values
// per channel into the caller's buffers.
void BM_ViewCurvePoints(benchmark::State& state) {
  const std::vector<TripSample>& t = BigTrip(static_cast<int>(state.range(0)));
  const int n = static_cast<int>(t.size());
  std::vector<SmoothSample> rows(t.size());
  SmoothAllColumnsOf(t.data(), n, rows.data());
  std::array<std::vector<float>, 6> cols;
  for (std::size_t c = 0; c < 6; ++c) {
    cols[c].resize(t.size());
    for (std::size_t i = 0; i < t.size(); ++i) cols[c][i] = rows[i][c];
  }
  const RecordRange whole = ShowableTrip(n);
  std::vector<double> x(static_cast<std::size_t>(whole.Size())), y(x.size());
  for (auto _ : state) {
    AxisMinutes(t.data(), n, whole, x.data());
    for (int c = 0; c < 5; ++c)
      ChannelValues(t.data(), n, whole, c, {}, ChannelUnitOf(c, 0),
                    cols[static_cast<std::size_t>(SmoothColumnOfChannel(c))].data(), y.data());
    benchmark::DoNotOptimize(y[y.size() / 2]);
    benchmark::DoNotOptimize(x[x.size() / 2]);
  }
  state.SetItemsProcessed(state.iterations() * n * 5);
}
BENCHMARK(BM_ViewCurvePoints)->Arg(200000)->Unit(benchmark::kMillisecond);

// The same points the plain way: a series of x and y per channel, a value
// per record through the channel's rules.
void BM_ViewCurvePointsPlain(benchmark::State& state) {
  const std::vector<TripSample>& t = BigTrip(static_cast<int>(state.range(0)));
  const int n = static_cast<int>(t.size());
  std::vector<SmoothSample> rows(t.size());
  SmoothAllColumnsOf(t.data(), n, rows.data());
  const RecordRange whole = ShowableTrip(n);
  for (auto _ : state) {
    for (int c = 0; c < 5; ++c) {
      const ChannelSeries s = BuildChannelSeries(t.data(), n, whole, c, {}, ChannelUnitOf(c, 0), rows.data());
      benchmark::DoNotOptimize(s.y[s.y.size() / 2]);
    }
  }
  state.SetItemsProcessed(state.iterations() * n * 5);
}
BENCHMARK(BM_ViewCurvePointsPlain)->Arg(200000)->Unit(benchmark::kMillisecond);

// The statistics lines of the whole trip, as the view shows them.
void BM_EvaluateWholeTrip(benchmark::State& state) {
  const std::vector<TripSample>& t = BigTrip(static_cast<int>(state.range(0)));
  TripInput in;
  in.Samples = t.data();
  in.Count = static_cast<int>(t.size());
  in.Threshold = 250.0f;
  for (auto _ : state) {
    const SectionResult r = EvaluateSectionData(in, 1, in.Count - 1, true);
    benchmark::DoNotOptimize(r.Means[0]);
  }
  state.SetItemsProcessed(state.iterations() * in.Count);
}
BENCHMARK(BM_EvaluateWholeTrip)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace
