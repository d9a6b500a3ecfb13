// The curves of the power-duration analysis, as pure functions over power
// values: the mean-maximal walk (best mean power per window length), the
// longest run above each power threshold, and the walk over the trips of a
// list on several threads with its order-independent merge into a table of
// durations.
//
// Power arrays are indexed by record: power[r] is the power of record r for
// r = 1 .. count - 1; entry 0 (the header) is never read.
//
// Each curve has two implementations that give bit-identical results: a
// plain one that follows the definition step by step (kept for the tests and
// the benchmarks) and a fast one that the program uses.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tav {

// The highest power the analysis believes: smoothed or raw values above it
// are taken as this before they become thresholds or axis ends (a damaged
// record of 1e30 W must not make a loop of 1e30 thresholds).
inline constexpr float kPowerCeiling = 10000.0f;
// Integer part of a power maximum for thresholds and axes: clamped to
// 0 .. kPowerCeiling, NaN gives 0.
int32_t PowerToInt(float power);

// ---------------------------------------------------------------------------
// Mean-maximal walk
// ---------------------------------------------------------------------------

// The window lengths (records) walked over a trip of `count` records (header
// included): the length grows by 0.5 % (kept as a float, at least by one
// record) from 1 on; the walk ends with the first length that reaches
// count - 30 and never takes a length above count - 1. For 3600 records:
// 1, 2, ..., 202, 204, 205, ...; 778 lengths.
std::vector<int32_t> MeanMaxLengths(int count);

// best[i] := the highest mean power of a window of lengths[i] records, with
// lengths = MeanMaxLengths(count). The first window of a length starts at
// record 1 and its sum is added up in record order; each following one is
// the previous sum plus the entering record minus the leaving one, in float
// and in that order. The windows of length w start at records 1 to
// count - w - 2. Empty for fewer than 2 records.
//
// The plain walk, one pass per length.
void MeanMaxWalkNaive(const float* power, int count, std::vector<float>& best);
// The same result bit for bit, several lengths per pass (eight per vector,
// two vectors) and the lengths spread over `threads` threads (1: the calling
// thread only; 0: all cores). Returns false, with `best` incomplete, when
// `cancel` was set between two groups of lengths.
bool MeanMaxWalk(const float* power, int count, std::vector<float>& best, int threads = 1,
                 const std::atomic<bool>* cancel = nullptr);
// The variant of MeanMaxWalk for processors without AVX2 (four lanes per
// vector on x86-64, else MeanMaxWalkScalar), which it uses there; one thread.
void MeanMaxWalkPortable(const float* power, int count, std::vector<float>& best);
// The variant without vector instructions: independent float chains, eight
// lengths at a time; one thread.
void MeanMaxWalkScalar(const float* power, int count, std::vector<float>& best);

// ---------------------------------------------------------------------------
// Longest run above a threshold
// ---------------------------------------------------------------------------

// runs[k] := the largest number of consecutive records among 1 .. count - 1
// whose value is strictly greater than float(top - k), for the thresholds
// top, top - 1, ..., bottom (empty when top < bottom); any ints will do,
// below 0 and beyond 2^24 (where float(t) rounds) included. NaN is greater
// than nothing.
//
// The plain method, one pass per threshold.
void LongestRunNaive(const float* values, int count, int top, int bottom,
                     std::vector<int32_t>& runs);
// The same in O(count + top - bottom): the records are sorted by the highest
// threshold they exceed (a counting sort) and join in that order, thresholds
// falling; each run of joined records keeps its length at its two ends, so a
// joining record links its neighbours' runs at once, and the longest run so
// far is the curve's value. Throws std::length_error for 2^31 - 1 thresholds
// or more.
void LongestRun(const float* values, int count, int top, int bottom, std::vector<int32_t>& runs);

// ---------------------------------------------------------------------------
// Trips of a list
// ---------------------------------------------------------------------------

// One walked trip of a list.
struct TripCurve {
  bool Loaded = false;       // false: manual entry, no file, unreadable, fewer than 60 records
  int32_t Count = 0;         // records, header included
  int32_t Interval = 1;      // seconds between records (at least 1)
  int8_t Sport = 0;          // header kind of sport
  float MaxPower = 0.0f;     // highest raw power of records 1..count-1 (0 when none is above 0)
  std::vector<float> Best;   // per length of MeanMaxLengths(Count)
};

// Reads the trip of each line (ForEachListedTripIn: its key plus ".DEO" in
// `riderDir`; manual entries, lines without ';', files that cannot be read
// and trips of fewer than 60 records are not loaded) and walks it. Trips are
// spread over `threads` threads (0: all cores; one trip alone has its
// lengths spread instead); the result is in list order and does not depend
// on the threads. Touches no process-wide data. `waiting` is called on the
// calling thread while the threads run (see ForEachListedTrip). Returns
// false when `cancel` was set (checked between trips and between lengths)
// or `waiting` said stop; `out` is then incomplete.
bool WalkListedTrips(const std::vector<std::string>& lines, const std::string& riderDir,
                     int threads, const std::atomic<bool>* cancel, std::vector<TripCurve>& out,
                     const std::function<bool(int done, int total)>& waiting = {});

// Files a walked trip in a table of durations (index: seconds) as its curve
// is drawn: at its own durations d = w x Interval its best means, between
// two consecutive ones the straight line joining them (read at each whole
// second), nothing below its first duration or beyond its last, nothing
// outside 1 .. entries - 1. An entry takes the trip's value when that is
// strictly greater (so of equal values the first filed stays; NaN never
// goes in). Filing the trips of a period one after another makes, at every
// duration, the highest of their curves: a weaker trip's point no longer
// dips between a stronger trip's points, and no duration gets a value that
// none of the trips reaches there. One pass over the trip's points, one
// step per second of its duration.
void MergeTripCurve(const TripCurve& trip, float* table, int entries);

// What a block of trips hands over besides its table.
struct BlockSummary {
  float MaxPower = 0.0f;        // highest raw power of the loaded trips (0 when none)
  int32_t MaxDuration = 3600;   // the longest loaded trip (count x interval), at least 3600 s
};
// Folds a loaded trip into a block summary (strictly greater values only).
void FoldTripSummary(const TripCurve& trip, BlockSummary& summary);

// The best mean power per duration over the trips of `lines`: clears
// `table` (`entries` floats), walks the trips (WalkListedTrips) and merges
// them in list order (MergeTripCurve). Returns false when cancelled (table
// and summary then untouched).
bool ComputeBlockCurve(const std::vector<std::string>& lines, const std::string& riderDir,
                       int threads, const std::atomic<bool>* cancel, float* table, int entries,
                       BlockSummary& summary);

// The number of threads meant by `threads` (0: the cores, at least 1).
int ResolveThreadCount(int threads);

}  // namespace tav
