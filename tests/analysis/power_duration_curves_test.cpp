#include "analysis/power_duration_curves.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>

#include "drawn_curve.h"

namespace tav {
namespace {

bool BitEqual(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Powers of records 0..count-1 (record 0 a header value that must not count).
std::vector<float> Powers(int count, uint32_t seed, int kind) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  std::vector<float> p(static_cast<std::size_t>(count), 1e9f);
  for (int r = 1; r < count; ++r) {
    const float x = u(rng);
    float& v = p[static_cast<std::size_t>(r)];
    switch (kind) {
      case 0: v = std::floor(x * 600.0f); break;                     // whole watts, many ties
      case 1: v = x * 1500.0f + 0.123456f; break;                    // fractions
      case 2: v = (r % 97 < 3 ? 3.0e7f : 0.0f) + x * 400.0f; break;  // spikes: sums lose bits
      default: v = x < 0.02f ? -x * 1e5f : x * 900.0f; break;        // damaged negatives
    }
  }
  if (count > 3000 && kind == 1) p[2500] = std::numeric_limits<float>::quiet_NaN();
  if (count > 3000 && kind == 3) p[2500] = std::numeric_limits<float>::infinity();
  return p;
}

TEST(MeanMaxLengths, FollowTheHalfPercentStepsAndEndAtTheTripsEnd) {
  const std::vector<int32_t> l = MeanMaxLengths(40000);
  for (int i = 0; i < 202; ++i) ASSERT_EQ(l[static_cast<std::size_t>(i)], i + 1);
  EXPECT_EQ(l[202], 204);
  EXPECT_EQ(l[203], 205);
  auto at = std::find(l.begin(), l.end(), 3000);
  ASSERT_NE(at, l.end());
  EXPECT_EQ(std::vector<int32_t>(at, at + 6), (std::vector<int32_t>{3000, 3015, 3030, 3045, 3060, 3076}));
  auto up_to = [&](int32_t w) { return std::count_if(l.begin(), l.end(), [w](int32_t x) { return x <= w; }); };
  EXPECT_EQ(up_to(3600), 778);
  EXPECT_EQ(up_to(10000), 983);
  EXPECT_NEAR(static_cast<double>(up_to(36000)), 1240.0, 10.0);
  // The first length reaching count - 30 is the last; none above count - 1.
  struct Row { int count; std::size_t size; } rows[] = {{60, 30}, {31, 1}, {2, 1}, {1, 0}, {0, 0}};
  for (const Row& row : rows) {
    const std::vector<int32_t> e = MeanMaxLengths(row.count);
    ASSERT_EQ(e.size(), row.size) << row.count;
    EXPECT_EQ(e.empty() ? 0 : e.back(), row.size == 0 ? 0 : row.count == 60 ? 30 : 1);
  }
  for (int count : {9000, 199999}) {
    const std::vector<int32_t> e = MeanMaxLengths(count);
    EXPECT_LE(e.back(), count - 1);
    EXPECT_LT(e[e.size() - 2], count - 30);
  }
}

// Windows start at records 1 .. count - w - 2: the last two records of the
// trip never enter a sliding window.
TEST(MeanMaxWalk, WindowsStopTwoRecordsBeforeTheEnd) {
  std::vector<float> p(60, 0.0f), best, fast;
  p[0] = 5000.0f;
  p[58] = p[59] = 1000.0f;
  MeanMaxWalkNaive(p.data(), 60, best);
  ASSERT_EQ(best.size(), 30u);
  EXPECT_EQ(*std::max_element(best.begin(), best.end()), 0.0f);
  p[57] = 600.0f;  // the last record a length-1 window reaches
  MeanMaxWalkNaive(p.data(), 60, best);
  MeanMaxWalk(p.data(), 60, fast);
  EXPECT_EQ(best[0], 600.0f);
  EXPECT_EQ(best[1], 300.0f);  // records 56..57
  EXPECT_TRUE(BitEqual(best, fast));
}

// NaN and infinite records included: their sums stay NaN, as in the plain walk.
TEST(MeanMaxWalk, FastWalksAreBitIdenticalToThePlainWalk) {
  for (int count : {2, 3, 33, 61, 75, 200, 1001, 7201, 30000}) {
    for (int kind = count == 30000 ? 2 : 0; kind < (count == 30000 ? 3 : 4); ++kind) {
      const std::vector<float> p = Powers(count, static_cast<uint32_t>(count * 7 + kind), kind);
      std::vector<float> want, fast, portable, scalar, threaded;
      MeanMaxWalkNaive(p.data(), count, want);
      ASSERT_TRUE(MeanMaxWalk(p.data(), count, fast));
      MeanMaxWalkPortable(p.data(), count, portable);
      MeanMaxWalkScalar(p.data(), count, scalar);
      EXPECT_TRUE(BitEqual(want, scalar)) << count << " kind " << kind;
      ASSERT_TRUE(MeanMaxWalk(p.data(), count, threaded, 3));
      EXPECT_TRUE(BitEqual(want, fast)) << count << " kind " << kind;
      EXPECT_TRUE(BitEqual(want, portable)) << count << " kind " << kind;
      EXPECT_TRUE(BitEqual(want, threaded)) << count << " kind " << kind;
    }
  }
  std::atomic<bool> cancel{true};
  std::vector<float> best;
  EXPECT_FALSE(MeanMaxWalk(Powers(20000, 1, 1).data(), 20000, best, 2, &cancel));
}

TEST(LongestRun, FastEqualsOnePassPerThreshold) {
  struct Row { int count, top, bottom, kind; } rows[] = {
      {2, 50, 21, 0}, {60, 400, 21, 0}, {1000, 610, 21, 0}, {1000, 1600, 21, 1},
      {5000, 700, 21, 3}, {300, 20, 21, 0}, {300, 30, 30, 0}};
  for (const Row& row : rows) {
    std::vector<float> v = Powers(row.count, static_cast<uint32_t>(row.count + row.top), row.kind);
    if (row.count > 100) {
      v[50] = std::numeric_limits<float>::quiet_NaN();
      v[51] = 1e30f;                        // above every threshold
      v[52] = static_cast<float>(row.top);  // equal to the top: not above it
    }
    std::vector<int32_t> want, fast;
    LongestRunNaive(v.data(), row.count, row.top, row.bottom, want);
    LongestRun(v.data(), row.count, row.top, row.bottom, fast);
    EXPECT_EQ(want, fast) << row.count << " " << row.top;
  }
  // records 1..8: 30 25 25 40 10 26 27 28; thresholds 30 down to 24
  const std::vector<float> v = {999, 30, 25, 25, 40, 10, 26, 27, 28};
  std::vector<int32_t> runs;
  LongestRun(v.data(), 9, 30, 24, runs);
  EXPECT_EQ(runs, (std::vector<int32_t>{1, 1, 1, 1, 2, 3, 4}));
  EXPECT_EQ(PowerToInt(347.9f), 347);
  EXPECT_EQ(PowerToInt(1e30f), static_cast<int32_t>(kPowerCeiling));
  EXPECT_EQ(PowerToInt(std::numeric_limits<float>::quiet_NaN()), 0);
}

// Thresholds anywhere in the range of int: at and below 0, beyond 2^24
// (where float(t) rounds, so several thresholds compare alike) and at the
// ends of int; values around them, fractions, ties, NaN and infinities.
TEST(LongestRun, FastEqualsOnePassPerThresholdForAnyThresholds) {
  constexpr int kMin = std::numeric_limits<int>::min(), kMax = std::numeric_limits<int>::max();
  struct Row {
    int top, bottom;
    double center, spread;  // values uniform in center +- spread
    bool whole;             // whole numbers (ties with the thresholds)
  } rows[] = {
      {10, -10, 0.0, 14.0, true},
      {3, -3, 0.0, 4.0, false},
      {0, 0, 0.0, 2.0, false},
      {-1, -40, -20.0, 30.0, true},
      {-1, -40, -20.0, 30.0, false},
      {50, 21, -5.0, 80.0, false},  // mostly below the bottom
      {(1 << 24) + 40, (1 << 24) - 40, 16777216.0, 90.0, false},
      {-(1 << 24) + 5, -(1 << 24) - 30, -16777216.0, 60.0, true},
      {(1 << 30) + 700, (1 << 30) - 700, 1073741824.0, 1500.0, false},
      {kMin + 60, kMin, -2147483648.0, 400.0, true},
      {kMax, kMax - 60, 2147483647.0, 500.0, false},
      {300, -300, 0.0, 1e9, false},  // far outside on both sides
  };
  std::mt19937 rng(14);
  for (const Row& row : rows) {
    for (int count : {1, 2, 3, 61, 700}) {
      std::uniform_real_distribution<double> u(-row.spread, row.spread);
      std::vector<float> v(static_cast<std::size_t>(count), std::numeric_limits<float>::quiet_NaN());
      for (int r = 1; r < count; ++r) {
        const double x = row.center + u(rng);
        float& f = v[static_cast<std::size_t>(r)];
        f = static_cast<float>(row.whole ? std::round(x) : x);
        switch (rng() % 40) {
          case 0: f = std::numeric_limits<float>::quiet_NaN(); break;
          case 1: f = std::numeric_limits<float>::infinity(); break;
          case 2: f = -std::numeric_limits<float>::infinity(); break;
          case 3: f = static_cast<float>(row.bottom); break;
          case 4: f = static_cast<float>(row.top); break;
          default: break;
        }
      }
      std::vector<int32_t> want, fast = {123};
      LongestRunNaive(v.data(), count, row.top, row.bottom, want);
      LongestRun(v.data(), count, row.top, row.bottom, fast);
      ASSERT_EQ(want.size(), static_cast<std::size_t>(static_cast<int64_t>(row.top) - row.bottom + 1));
      EXPECT_EQ(want, fast) << "top " << row.top << " bottom " << row.bottom << " count " << count;
    }
  }
  // Records 1..6: -0.5 -1 -1.5 0 -0.25 -3; thresholds 0 down to -3.
  const std::vector<float> negative = {0, -0.5f, -1, -1.5f, 0, -0.25f, -3};
  std::vector<int32_t> runs;
  LongestRun(negative.data(), 7, 0, -3, runs);
  EXPECT_EQ(runs, (std::vector<int32_t>{0, 2, 5, 5}));
  // A top below the bottom gives nothing; more thresholds than an int counts are refused.
  LongestRun(negative.data(), 7, -4, -3, runs);
  EXPECT_TRUE(runs.empty());
  EXPECT_THROW(LongestRun(negative.data(), 7, kMax, kMin, runs), std::length_error);
}

// A trip at 1 s and one at 2 s: the same length lands on d = w and d = 2w,
// and between its points each trip is filed along its drawn line (the 2-s
// trip fills the odd seconds too); a value replaces an entry only when
// strictly greater; entries beyond the table are skipped.
TEST(MergeTripCurve, FilesEachLengthAtItsDuration) {
  TripCurve a;
  a.Loaded = true;
  a.Count = 60;
  for (int i = 0; i < 30; ++i) a.Best.push_back(100.0f + static_cast<float>(i));
  TripCurve b = a;
  b.Interval = 2;
  b.Best.assign(30, 200.0f);
  std::vector<float> table(50, 0.0f);
  MergeTripCurve(a, table.data(), 50);
  MergeTripCurve(b, table.data(), 50);
  table[40] = -0.0f;
  b.Best.assign(30, 0.0f);
  MergeTripCurve(b, table.data(), 50);
  b.Loaded = false;
  b.Best.assign(30, 1e6f);
  MergeTripCurve(b, table.data(), 50);
  EXPECT_EQ(table[1], 100.0f);   // only trip a
  EXPECT_EQ(table[2], 200.0f);   // b's length 1 beats a's length 2
  EXPECT_EQ(table[3], 200.0f);   // b's line from 2 s to 4 s beats a's 102 W
  EXPECT_EQ(table[29], 200.0f);  // likewise over a's length 29
  EXPECT_EQ(table[31], 200.0f);  // past a, within b
  EXPECT_EQ(table[49], 200.0f);  // b's line towards 50 s, which is past the table
  EXPECT_TRUE(std::signbit(table[40]));  // the equal 0 filed later did not replace it
}

}  // namespace
}  // namespace tav

namespace tav {
namespace {

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();

// A trip with points at interval, 2 x interval, ... (count = 30 + the number
// of points gives lengths 1, 2, 3, ...).
TripCurve PointsEvery(int interval, std::vector<float> best) {
  TripCurve t;
  t.Loaded = true;
  t.Interval = interval;
  t.Count = 30 + static_cast<int32_t>(best.size());
  t.Best = std::move(best);
  return t;
}

// Rows of a table before and after filing one trip: its points, the straight
// lines between them, nothing outside them or the table; an entry only
// takes a strictly greater value, NaN never goes in.
TEST(MergeTripCurve, FilesTheTripAsItIsDrawn) {
  struct Row {
    const char* what;
    TripCurve trip;
    std::vector<float> in, want;
  } rows[] = {
      {"lines between points 3 s apart", PointsEvery(3, {300, 240, 270}),
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       {0, 0, 0, 300, 280, 260, 240, 250, 260, 270, 0, 0}},
      {"only greater values go in", PointsEvery(3, {300, 240, 270}),
       {9, 7, 500, 300, 290, 250, 240, 255, -0.0f, 7, 7, 7},
       {9, 7, 500, 300, 290, 260, 240, 255, 260, 270, 7, 7}},
      {"the line to a point past the table", PointsEvery(5, {100, 200, 300}),
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       {0, 0, 0, 0, 0, 100, 120, 140, 160, 180, 200, 220}},
      {"no line through NaN", PointsEvery(2, {300, kNan, 270, 260}),
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       {0, 0, 300, 0, 0, 0, 270, 265, 260, 0}},
      {"flat lines, also at infinity", PointsEvery(2, {HUGE_VALF, HUGE_VALF, 50, 50}),
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       {0, 0, HUGE_VALF, HUGE_VALF, HUGE_VALF, 0, 50, 50, 50, 0}},
      {"a first point past the table", PointsEvery(20, {100, 200}), {0, 0, 0, 0}, {0, 0, 0, 0}},
      {"a single point", PointsEvery(1, {100}), {0, 0, 0}, {0, 100, 0}},
  };
  for (Row& row : rows) {
    std::vector<float> t = row.in;
    MergeTripCurve(row.trip, t.data(), static_cast<int>(t.size()));
    ASSERT_EQ(t.size(), row.want.size());
    for (std::size_t i = 0; i < t.size(); ++i)
      EXPECT_EQ(std::memcmp(&t[i], &row.want[i], sizeof(float)), 0) << row.what << " at " << i << ": " << t[i];
    row.trip.Loaded = false;
    t = row.in;
    MergeTripCurve(row.trip, t.data(), static_cast<int>(t.size()));
    EXPECT_EQ(std::memcmp(t.data(), row.in.data(), t.size() * sizeof(float)), 0) << row.what;
  }
}

// A trip at 1 s (points at 1 .. 6 s) and one at 2 s (points at 2, 4 .. 10 s),
// with hand values: the 2-s trip drawn is 420 400 380 340 300 280 260 250
// 240 at 2 .. 10 s. The period takes the higher at each duration, the 1-s
// trip alone at 1 s, the 2-s trip alone from 7 s on, nothing past 10 s;
// either order of filing gives the same.
TEST(MergeTripCurve, APeriodOfOneAndTwoSecondTripsIsTheHigherCurveAtEachSecond) {
  const TripCurve one = PointsEvery(1, {500, 400, 330, 300, 280, 270});
  const TripCurve two = PointsEvery(2, {420, 380, 300, 260, 240});
  const std::vector<float> want = {0, 500, 420, 400, 380, 340, 300, 280, 260, 250, 240, 0, 0, 0};
  for (bool one_first : {true, false}) {
    std::vector<float> table(14, 0.0f);
    MergeTripCurve(one_first ? one : two, table.data(), 14);
    MergeTripCurve(one_first ? two : one, table.data(), 14);
    EXPECT_EQ(table, want) << one_first;
  }
}

// A strong trip at 2 s and a weaker one at 1 s, walked: at every second of
// each trip's range the period is at least that trip as drawn and is the
// higher of the two (no dip where only the weaker trip has a point), nothing
// past the longer trip, and each trip's own curve is untouched.
TEST(MergeTripCurve, APeriodOfMixedIntervalsNeverDipsBelowATrip) {
  const int count = 3000;
  const int kEntries = 7000;
  std::vector<float> strong(count), weak(count);
  for (int r = 0; r < count; ++r) {
    strong[r] = 250.0f + static_cast<float>((r * 53) % 97);
    weak[r] = 120.0f + static_cast<float>((r * 31) % 61);
  }
  TripCurve a, b;
  a.Loaded = b.Loaded = true;
  a.Count = b.Count = count;
  a.Interval = 2;
  b.Interval = 1;
  MeanMaxWalkNaive(strong.data(), count, a.Best);
  MeanMaxWalkNaive(weak.data(), count, b.Best);
  const std::vector<float> bestA = a.Best, bestB = b.Best;
  std::vector<float> table(kEntries, 0.0f);
  MergeTripCurve(a, table.data(), kEntries);
  MergeTripCurve(b, table.data(), kEntries);
  const testing_analysis::DrawnCurve drawnA(a), drawnB(b);
  int covered = 0, last = 0;
  for (int d = 1; d < kEntries; ++d) {
    float va = 0.0f, vb = 0.0f;
    const bool ina = drawnA.At(d, va), inb = drawnB.At(d, vb);
    if (ina) {
      EXPECT_GE(table[static_cast<std::size_t>(d)], va) << d;
    }
    if (inb) {
      EXPECT_GE(table[static_cast<std::size_t>(d)], vb) << d;
    }
    const float higher = ina && inb ? std::max(va, vb) : ina ? va : inb ? vb : 0.0f;
    EXPECT_EQ(table[static_cast<std::size_t>(d)], higher) << d;
    if (ina || inb) ++covered, last = d;
  }
  EXPECT_EQ(covered, last);           // every second from 1 s to the end
  EXPECT_GE(last, 2 * (count - 30));  // the 2-s trip's last length reaches count - 30
  EXPECT_LT(last, 2 * count);
  EXPECT_EQ(std::memcmp(a.Best.data(), bestA.data(), bestA.size() * sizeof(float)), 0);
  EXPECT_EQ(std::memcmp(b.Best.data(), bestB.data(), bestB.size() * sizeof(float)), 0);
  // Between the strong trip's even seconds the weak trip no longer shows.
  for (int d = 3; d < 400; d += 2)
    EXPECT_GT(table[static_cast<std::size_t>(d)], bestB[static_cast<std::size_t>(d - 1)]) << d;
}

}  // namespace
}  // namespace tav
