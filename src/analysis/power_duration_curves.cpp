// Built without fused multiply-add and without fast-math (see
// src/CMakeLists.txt): every float operation here is rounded as written.
#include "analysis/power_duration_curves.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "analysis/analysis_common.h"
#include "core/trip_file.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TAV_HAVE_AVX2_KERNEL 1
#endif

namespace tav {

int32_t PowerToInt(float power) {
  if (!(power > 0.0f)) return 0;  // also NaN
  return static_cast<int32_t>(std::min(power, kPowerCeiling));
}

int ResolveThreadCount(int threads) {
  if (threads > 0) return threads;
  unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}

namespace {

bool Cancelled(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// Runs body(thread_index) on `threads` threads, the calling one included;
// the first exception of any of them is rethrown after all have ended. When
// no further thread can be started the work is shared by those that run.
template <class Body>
void RunOnThreads(int threads, Body&& body) {
  std::exception_ptr error;
  std::mutex error_mutex;
  auto guarded = [&](int index) {
    try {
      body(index);
    } catch (...) {
      std::lock_guard lock(error_mutex);
      if (!error) error = std::current_exception();
    }
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) {
    try {
      pool.emplace_back(guarded, t);
    } catch (const std::system_error&) {
      break;
    }
  }
  guarded(0);
  for (std::thread& th : pool) th.join();
  if (error) std::rethrow_exception(error);
}

// ---------------------------------------------------------------------------
// Mean-maximal walk
// ---------------------------------------------------------------------------

// The first window of every length starts at record 1: its sum is the float
// prefix sum of the records in order.
std::vector<float> PrefixSums(const float* power, int count) {
  std::vector<float> prefix(static_cast<std::size_t>(count), 0.0f);
  float sum = 0.0f;
  for (int r = 1; r < count; ++r) {
    sum = sum + power[r];
    prefix[static_cast<std::size_t>(r)] = sum;
  }
  return prefix;
}

// The window sums of one length from slide `from` on, continuing `sum` and
// the best sum `top` (a sum replaces it only when strictly greater).
void SlideOne(const float* power, int count, int w, int from, float& sum, float& top) {
  const int end = count - w - 1;  // windows start below this record
  for (int s = from; s < end; ++s) {
    sum = sum + power[s + w - 1] - power[s - 1];
    if (sum > top) top = sum;
  }
}

// Lengths are walked in groups: the lanes of a group advance together over
// the slides that all of them have, then each finishes alone.
constexpr int kGroupLanes = 16;

// Lengths [first, first + n) of a group, padded with the last one.
struct LaneSet {
  int32_t w[kGroupLanes];
  int wmax = 0;
  LaneSet(const int32_t* lengths, int n) {
    for (int k = 0; k < kGroupLanes; ++k) w[k] = lengths[std::min(k, n - 1)];
    wmax = *std::max_element(w, w + kGroupLanes);
  }
};

// Scalar group: independent float chains, one per lane.
void GroupScalar(const float* power, const float* prefix, int count, const int32_t* lengths,
                   int n, float* best) {
  constexpr int kLanes = 8;
  for (int base = 0; base < n; base += kLanes) {
    const int m = std::min(kLanes, n - base);
    float sum[kLanes], top[kLanes];
    const float* enter[kLanes];
    int wmax = 0;
    for (int k = 0; k < kLanes; ++k) {
      const int w = lengths[base + std::min(k, m - 1)];
      sum[k] = top[k] = prefix[w];
      enter[k] = power + w - 1;
      wmax = std::max(wmax, w);
    }
    const int common_end = count - wmax - 1;
    int s = 2;
    for (; s < common_end; ++s) {
      const float leave = power[s - 1];
      for (int k = 0; k < kLanes; ++k) {
        sum[k] = sum[k] + enter[k][s] - leave;
        top[k] = sum[k] > top[k] ? sum[k] : top[k];
      }
    }
    for (int k = 0; k < m; ++k) {
      const int w = lengths[base + k];
      SlideOne(power, count, w, s, sum[k], top[k]);
      best[base + k] = top[k] / static_cast<float>(w);
    }
  }
}

#if defined(__SSE2__)
// The group kernel of processors without AVX2: four lanes per vector, four
// vectors per group. The entering records of four lanes are loaded for four
// steps as rows and transposed; otherwise as the AVX2 kernel below.
void GroupSse2(const float* power, const float* prefix, int count, const int32_t* lengths, int n, float* best) {
  const LaneSet lanes(lengths, n);
  constexpr int kVectors = kGroupLanes / 4;
  __m128 sum[kVectors], top[kVectors];
  const float* enter[kVectors][4];
  for (int v = 0; v < kVectors; ++v) {
    alignas(16) float init[4];
    for (int k = 0; k < 4; ++k) {
      const int w = lanes.w[v * 4 + k];
      init[k] = prefix[w];
      enter[v][k] = power + w - 1;
    }
    sum[v] = top[v] = _mm_load_ps(init);
  }
  // Slides s .. s + 3 read records up to s + 3 + wmax - 1 <= count - 3.
  const int common_end = count - lanes.wmax - 1;
  int s = 2;
  for (; s + 4 <= common_end; s += 4) {
    __m128 rows[kVectors][4];
    for (int v = 0; v < kVectors; ++v) {
      __m128 r0 = _mm_loadu_ps(enter[v][0] + s), r1 = _mm_loadu_ps(enter[v][1] + s);
      __m128 r2 = _mm_loadu_ps(enter[v][2] + s), r3 = _mm_loadu_ps(enter[v][3] + s);
      _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
      rows[v][0] = r0, rows[v][1] = r1, rows[v][2] = r2, rows[v][3] = r3;
    }
    for (int j = 0; j < 4; ++j) {
      const __m128 leave = _mm_set1_ps(power[s + j - 1]);
      for (int v = 0; v < kVectors; ++v) {
        sum[v] = _mm_sub_ps(_mm_add_ps(sum[v], rows[v][j]), leave);
        top[v] = _mm_max_ps(sum[v], top[v]);
      }
    }
  }
  for (int v = 0; v < kVectors; ++v) {
    alignas(16) float sums[4], tops[4];
    _mm_store_ps(sums, sum[v]);
    _mm_store_ps(tops, top[v]);
    for (int k = 0; k < 4 && v * 4 + k < n; ++k) {
      const int w = lanes.w[v * 4 + k];
      SlideOne(power, count, w, s, sums[k], tops[k]);
      best[v * 4 + k] = tops[k] / static_cast<float>(w);
    }
  }
}
#endif

#ifdef TAV_HAVE_AVX2_KERNEL
// Eight lanes per vector, two vectors per group. Each step of a lane adds
// its entering record and subtracts the leaving one (the same record for all
// lanes); the entering records of eight lanes lie in eight places, so four
// steps of them are loaded as rows and transposed. max(sum, top) keeps top
// unless sum is strictly greater, as the plain walk does.
__attribute__((target("avx2"))) void GroupAvx2(const float* power, const float* prefix, int count,
                                               const int32_t* lengths, int n, float* best) {
  const LaneSet lanes(lengths, n);
  __m256 sum[2], top[2];
  const float* enter[2][8];
  for (int v = 0; v < 2; ++v) {
    alignas(32) float init[8];
    for (int k = 0; k < 8; ++k) {
      const int w = lanes.w[v * 8 + k];
      init[k] = prefix[w];
      enter[v][k] = power + w - 1;
    }
    sum[v] = top[v] = _mm256_load_ps(init);
  }
  // Slides s .. s + 3 read records up to s + 3 + wmax - 1 <= count - 3.
  const int common_end = count - lanes.wmax - 1;
  int s = 2;
  for (; s + 4 <= common_end; s += 4) {
    __m256 rows[2][4];
    for (int v = 0; v < 2; ++v) {
      const float* const* e = enter[v];
      __m256 x0 = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(e[0] + s)), _mm_loadu_ps(e[4] + s), 1);
      __m256 x1 = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(e[1] + s)), _mm_loadu_ps(e[5] + s), 1);
      __m256 x2 = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(e[2] + s)), _mm_loadu_ps(e[6] + s), 1);
      __m256 x3 = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(e[3] + s)), _mm_loadu_ps(e[7] + s), 1);
      __m256 t0 = _mm256_unpacklo_ps(x0, x1), t1 = _mm256_unpackhi_ps(x0, x1);
      __m256 t2 = _mm256_unpacklo_ps(x2, x3), t3 = _mm256_unpackhi_ps(x2, x3);
      rows[v][0] = _mm256_shuffle_ps(t0, t2, 0x44);
      rows[v][1] = _mm256_shuffle_ps(t0, t2, 0xEE);
      rows[v][2] = _mm256_shuffle_ps(t1, t3, 0x44);
      rows[v][3] = _mm256_shuffle_ps(t1, t3, 0xEE);
    }
    for (int j = 0; j < 4; ++j) {
      const __m256 leave = _mm256_broadcast_ss(power + s + j - 1);
      for (int v = 0; v < 2; ++v) {
        sum[v] = _mm256_sub_ps(_mm256_add_ps(sum[v], rows[v][j]), leave);
        top[v] = _mm256_max_ps(sum[v], top[v]);
      }
    }
  }
  for (int v = 0; v < 2; ++v) {
    alignas(32) float sums[8], tops[8];
    _mm256_store_ps(sums, sum[v]);
    _mm256_store_ps(tops, top[v]);
    for (int k = 0; k < 8 && v * 8 + k < n; ++k) {
      const int w = lanes.w[v * 8 + k];
      SlideOne(power, count, w, s, sums[k], tops[k]);
      best[v * 8 + k] = tops[k] / static_cast<float>(w);
    }
  }
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

using GroupKernel = void (*)(const float*, const float*, int, const int32_t*, int, float*);

// The kernel of processors without AVX2.
GroupKernel PortableGroupKernel() {
#if defined(__SSE2__)
  return GroupSse2;
#else
  return GroupScalar;
#endif
}

GroupKernel FastestGroupKernel() {
#ifdef TAV_HAVE_AVX2_KERNEL
  if (HasAvx2()) return GroupAvx2;
#endif
  return PortableGroupKernel();
}

bool WalkGroups(GroupKernel kernel, const float* power, int count, std::vector<float>& best,
                int threads, const std::atomic<bool>* cancel) {
  const std::vector<int32_t> lengths = MeanMaxLengths(count);
  best.assign(lengths.size(), 0.0f);
  if (lengths.empty()) return !Cancelled(cancel);
  const std::vector<float> prefix = PrefixSums(power, count);
  const int n = static_cast<int>(lengths.size());
  const int groups = (n + kGroupLanes - 1) / kGroupLanes;
  std::atomic<int> next{0};
  std::atomic<bool> stopped{false};
  auto work = [&](int) {
    for (;;) {
      if (Cancelled(cancel)) {
        stopped.store(true, std::memory_order_relaxed);
        return;
      }
      const int g = next.fetch_add(1, std::memory_order_relaxed);
      if (g >= groups) return;
      const int first = g * kGroupLanes;
      kernel(power, prefix.data(), count, lengths.data() + first, std::min(kGroupLanes, n - first),
             best.data() + first);
    }
  };
  RunOnThreads(std::clamp(ResolveThreadCount(threads), 1, groups), work);
  return !stopped.load();
}

}  // namespace

std::vector<int32_t> MeanMaxLengths(int count) {
  std::vector<int32_t> lengths;
  float wf = 0.0f;
  int32_t w = 0;
  for (;;) {
    wf = static_cast<float>(static_cast<double>(wf) * 1.005);
    if (static_cast<int32_t>(wf) == w) wf = static_cast<float>(static_cast<double>(wf) + 1.0);
    w = static_cast<int32_t>(wf);
    if (w > count - 1) break;
    lengths.push_back(w);
    if (w >= count - 30) break;
  }
  return lengths;
}

void MeanMaxWalkNaive(const float* power, int count, std::vector<float>& best) {
  best.clear();
  for (int32_t w : MeanMaxLengths(count)) {
    float sum = 0.0f;
    for (int r = 1; r <= w; ++r) sum = sum + power[r];
    float b = sum / static_cast<float>(w);
    for (int s = 2; s < count - w - 1; ++s) {
      sum = sum + power[s + w - 1] - power[s - 1];
      if (sum / static_cast<float>(w) > b) b = sum / static_cast<float>(w);
    }
    best.push_back(b);
  }
}

bool MeanMaxWalk(const float* power, int count, std::vector<float>& best, int threads,
                 const std::atomic<bool>* cancel) {
  return WalkGroups(FastestGroupKernel(), power, count, best, threads, cancel);
}

void MeanMaxWalkPortable(const float* power, int count, std::vector<float>& best) {
  WalkGroups(PortableGroupKernel(), power, count, best, 1, nullptr);
}

void MeanMaxWalkScalar(const float* power, int count, std::vector<float>& best) {
  WalkGroups(GroupScalar, power, count, best, 1, nullptr);
}

// ---------------------------------------------------------------------------
// Longest run
// ---------------------------------------------------------------------------

void LongestRunNaive(const float* values, int count, int top, int bottom,
                     std::vector<int32_t>& runs) {
  runs.clear();
  // 64-bit threshold: counting down past the lowest int must not overflow.
  for (int64_t t = top; t >= bottom; --t) {
    int32_t longest = 0, run = 0;
    for (int r = 1; r < count; ++r) {
      run = values[r] > static_cast<float>(t) ? run + 1 : 0;
      longest = std::max(longest, run);
    }
    runs.push_back(longest);
  }
}

namespace {

// Integers of magnitude up to this are floats exactly.
constexpr int64_t kExactFloatInt = int64_t{1} << 24;

// The highest threshold t in [bottom, top - 1] with v > float(t), for
// float(bottom) < v <= float(top), starting from the guess k (the largest
// integer below v). Only needed where thresholds are no longer exact floats:
// there float(t) rounds, so the guess is moved until the comparison the
// plain method makes agrees (a few hundred steps at most, as floats of
// such magnitude are at most 256 apart).
int64_t SettleThreshold(float v, int64_t k, int64_t bottom, int64_t top) {
  k = std::clamp(k, bottom, top - 1);
  while (k > bottom && !(v > static_cast<float>(k))) --k;
  while (k + 1 < top && v > static_cast<float>(k + 1)) ++k;
  return k;
}

}  // namespace

void LongestRun(const float* values, int count, int top, int bottom, std::vector<int32_t>& runs) {
  runs.clear();
  if (top < bottom) return;
  const int64_t thresholds = int64_t{top} - bottom + 1;
  if (thresholds >= std::numeric_limits<int32_t>::max())
    throw std::length_error("LongestRun: too many thresholds");
  const int32_t levels = static_cast<int32_t>(thresholds);
  runs.assign(static_cast<std::size_t>(levels), 0);
  if (count < 2) return;

  // A record's level: top - t for the highest threshold t it exceeds (0: it
  // exceeds top), `levels` when it exceeds none (NaN included). The
  // comparisons are the plain method's, v > float(t).
  const std::size_t n = static_cast<std::size_t>(count);
  std::vector<int32_t> level(n + 1);
  if (top < kExactFloatInt && bottom > -kExactFloatInt) {
    // Every threshold is a float exactly: v > t just when t is below v.
    // v is held between bottom - 1 and top + 1 (NaN as bottom - 1), so the
    // largest integer below it lies between bottom - 2 and top.
    const float lo = static_cast<float>(bottom - 1), hi = static_cast<float>(top + 1);
    for (int r = 1; r < count; ++r) {
      float v = values[r];
      v = v > lo ? v : lo;
      v = v < hi ? v : hi;
      const int32_t whole = static_cast<int32_t>(v);  // toward zero
      const int32_t t = std::max(whole - (static_cast<float>(whole) >= v), bottom - 1);
      level[static_cast<std::size_t>(r)] = top - t;
    }
  } else {
    const float top_f = static_cast<float>(top), bottom_f = static_cast<float>(bottom);
    for (int r = 1; r < count; ++r) {
      const float v = values[r];
      int32_t l = levels;
      if (v > top_f) {
        l = 0;
      } else if (v > bottom_f) {
        // float(bottom) < v <= float(top): v is within the range of int64.
        const int64_t whole = static_cast<int64_t>(v);
        int64_t t = whole - (static_cast<float>(whole) >= v);
        if (t < -kExactFloatInt || t >= kExactFloatInt) t = SettleThreshold(v, t, bottom, top);
        l = static_cast<int32_t>(top - t);
      }
      level[static_cast<std::size_t>(r)] = l;
    }
  }

  // The records sorted by level (a counting sort): once placed, the records
  // of level L are order[end[L - 1] .. end[L] - 1] (from 0 for L = 0), in
  // record order.
  std::vector<int32_t> end(static_cast<std::size_t>(levels) + 2, 0);
  for (int r = 1; r < count; ++r) ++end[static_cast<std::size_t>(level[static_cast<std::size_t>(r)]) + 1];
  for (std::size_t l = 1; l < end.size(); ++l) end[l] += end[l - 1];
  std::vector<int32_t> order(n - 1);
  for (int r = 1; r < count; ++r)
    order[static_cast<std::size_t>(end[static_cast<std::size_t>(level[static_cast<std::size_t>(r)])]++)] = r;

  // The records join level by level, thresholds falling. Each run of joined
  // records keeps its length at both of its ends (record 0 and record count
  // never join, so they stay 0 and close every run): a joining record links
  // the run ending just before it and the one starting just after it.
  std::vector<int32_t>& span = level;  // reused: 0 everywhere once cleared
  std::fill(span.begin(), span.end(), 0);
  int32_t* len = span.data();
  const int32_t* ord = order.data();
  int32_t longest = 0;
  std::size_t i = 0;
  for (int32_t l = 0; l < levels; ++l) {
    const std::size_t stop = static_cast<std::size_t>(end[static_cast<std::size_t>(l)]);
    for (; i < stop; ++i) {
      const int32_t r = ord[i];
      const int32_t left = len[r - 1], right = len[r + 1];
      const int32_t joined = left + 1 + right;
      len[r - left] = joined;
      len[r + right] = joined;
      longest = std::max(longest, joined);
    }
    runs[static_cast<std::size_t>(l)] = longest;
  }
}

// ---------------------------------------------------------------------------
// Trips of a list
// ---------------------------------------------------------------------------

namespace {

// Walks a trip read from a list into `out`. False when cancelled.
bool WalkTrip(const TripFileData& file, int threads, const std::atomic<bool>* cancel,
              std::vector<float>& power, TripCurve& out) {
  const int count = file.Count();
  power.resize(static_cast<std::size_t>(count));
  float max_power = 0.0f;
  for (int r = 0; r < count; ++r) {
    const float p = file.Samples[static_cast<std::size_t>(r)].Power;
    power[static_cast<std::size_t>(r)] = p;
    if (r > 0 && p > max_power) max_power = p;
  }
  out.Count = count;
  out.Interval = file.Interval();
  out.Sport = HeaderSport(file.Samples[0]);
  out.MaxPower = max_power;
  if (!MeanMaxWalk(power.data(), count, out.Best, threads, cancel)) return false;
  out.Loaded = true;
  return true;
}

}  // namespace

bool WalkListedTrips(const std::vector<std::string>& lines, const std::string& riderDir,
                     int threads, const std::atomic<bool>* cancel, std::vector<TripCurve>& out,
                     const std::function<bool(int done, int total)>& waiting) {
  out.assign(lines.size(), TripCurve{});
  // One trip: its lengths are shared by the threads instead.
  const int per_trip = lines.size() == 1 ? threads : 1;
  std::atomic<bool> stopped{false};
  std::function<bool(int, int)> wait_hook;
  if (waiting || cancel != nullptr)
    wait_hook = [&](int done, int total) {
      const bool go_on = !Cancelled(cancel) && (!waiting || waiting(done, total));
      if (!go_on) stopped.store(true);
      return go_on;
    };
  ForEachListedTripIn(
      riderDir, lines,
      [&](std::size_t i, TripFileData& trip) {
        std::vector<float> power;
        if (stopped.load(std::memory_order_relaxed) || Cancelled(cancel) ||
            !WalkTrip(trip, per_trip, cancel, power, out[i]))
          stopped.store(true);
      },
      wait_hook, threads);
  return !stopped.load() && !Cancelled(cancel);
}

namespace {

// table[d] := v for d = from .. to (within the table, so fewer than 2^31)
// where v is strictly greater, v running along the line through (x0, y0)
// with `slope` watts per second. Every entry is stored (the old value when
// v is not greater) and counted by a 32-bit index, so that the loop has no
// branch and vectorises.
void FileLine(float* table, int64_t from, int64_t to, int64_t x0, double y0, double slope) {
  float* t = table + from;
  const int32_t n = static_cast<int32_t>(to - from + 1);
  const double k0 = static_cast<double>(from - x0);  // whole seconds: exact in a double
  for (int32_t j = 0; j < n; ++j) {
    const float v = static_cast<float>(y0 + slope * (k0 + static_cast<double>(j)));
    const float old = t[j];
    t[j] = v > old ? v : old;
  }
}

}  // namespace

void MergeTripCurve(const TripCurve& trip, float* table, int entries) {
  if (!trip.Loaded || entries < 2) return;
  const std::vector<int32_t> lengths = MeanMaxLengths(trip.Count);
  const std::size_t n = std::min(lengths.size(), trip.Best.size());
  const int64_t interval = trip.Interval;
  const int64_t last = entries - 1;
  for (std::size_t i = 0; i < n; ++i) {
    const int64_t x0 = static_cast<int64_t>(lengths[i]) * interval;
    if (x0 > last) break;  // lengths grow: the rest lies beyond the table too
    const float y0 = trip.Best[i];
    if (x0 >= 1 && y0 > table[x0]) table[x0] = y0;
    if (i + 1 == n) break;
    // The straight line to the next point, up to it or to the table's end.
    const int64_t x1 = static_cast<int64_t>(lengths[i + 1]) * interval;
    const float y1 = trip.Best[i + 1];
    const int64_t from = std::max<int64_t>(x0 + 1, 1), to = std::min(x1 - 1, last);
    if (from > to) continue;
    // Flat between equal values (also between two equal infinities).
    const double slope = y0 == y1 ? 0.0 : (static_cast<double>(y1) - y0) / static_cast<double>(x1 - x0);
    FileLine(table, from, to, x0, y0, slope);
  }
}

void FoldTripSummary(const TripCurve& trip, BlockSummary& summary) {
  if (!trip.Loaded) return;
  if (trip.MaxPower > summary.MaxPower) summary.MaxPower = trip.MaxPower;
  const int64_t duration = static_cast<int64_t>(trip.Count) * trip.Interval;
  if (duration > summary.MaxDuration)
    summary.MaxDuration = static_cast<int32_t>(std::min<int64_t>(duration, std::numeric_limits<int32_t>::max()));
}

bool ComputeBlockCurve(const std::vector<std::string>& lines, const std::string& riderDir,
                       int threads, const std::atomic<bool>* cancel, float* table, int entries,
                       BlockSummary& summary) {
  std::vector<TripCurve> trips;
  if (!WalkListedTrips(lines, riderDir, threads, cancel, trips)) return false;
  std::fill(table, table + entries, 0.0f);
  summary = BlockSummary{};
  for (const TripCurve& trip : trips) {
    FoldTripSummary(trip, summary);
    MergeTripCurve(trip, table, entries);
  }
  return true;
}

}  // namespace tav
