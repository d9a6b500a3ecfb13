// The computations of the evaluation window over a selection of trip-list
// lines: the summed statistics and their text rows, the points of the trend
// charts, and the time in zones of each trip for the zone trend and the
// zone pie. Pure functions over the lines and the per-trip tables; the
// window (evaluation_window) only copies their results into its controls.
//
// Points of every trend carry x = line index - first line, so a clicked
// point names the line it was drawn for even where lines add no point.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/core_data.h"
#include "core/trip_file.h"
#include "core/trip_types.h"

namespace tav {

inline constexpr int kEvaluationUiTexts = 15;
using EvaluationTexts = std::array<std::string, kEvaluationUiTexts>;
using LabelTexts = std::array<std::string, kLangLabelSlots>;

// A selection line as the evaluation reads it.
struct EvaluationLine {
  int slot = -1;        // statistics slot within the tables; -1: none or out of range
  bool manual = false;  // a diary entry without trip file
  int sport = -1;       // kind digit at index 15, -1 when none
};
EvaluationLine ReadEvaluationLine(std::string_view line);
// Label of a line's points: the date of FormatTripDateTime and one blank.
std::string EvaluationPointLabel(std::string_view line);

// ---------------------------------------------------------------------------
// Summary
// ---------------------------------------------------------------------------

// Sums over the lines that have a slot. Manual lines count in distance,
// time and heart rate only; trips count everywhere. Means are weighted by
// each trip's total time.
struct SelectionSums {
  double distance = 0;       // km, all lines
  int64_t time = 0;          // s, all lines
  double hrSum = 0;          // sum of time x mean heart rate over lines with a heart rate
  double hrWeight = 0;
  double climbDistance = 0, ascent = 0, tss = 0, work = 0;
  int64_t climbTime = 0;
  double weight = 0;         // sum of the trips' total times
  double powerAll = 0, powerNonZero = 0, climbPower = 0, np = 0, intensity = 0, cadence = 0,
         speed = 0;          // time-weighted sums
  double maxPower = 0, maxHeartRate = 0, maxCadence = 0, maxSpeed = 0;
  int npResets = 0;          // trips whose implausible NP was reset in the table

  double Mean(double sum) const { return weight > 0 ? sum / weight : 0.0; }
  double MeanHeartRate() const { return hrWeight > 0 ? hrSum / hrWeight : 0.0; }
};

// NP above this is no measurement: the trip's NP, TSS and IF are reset to 0.
inline constexpr float kImplausibleNP = 2000.0f;

// Sums lines [first, end) of `lines` from `table` (indexed by slot). A trip
// whose NP exceeds kImplausibleNP gets NP, TSS and IF set to 0 in `table`
// before it is summed.
SelectionSums SumSelection(const std::vector<std::string>& lines, int first, int end,
                           TripSummary* table);

inline constexpr int kSummaryRows = 13;  // ZD0 .. ZD9, ZDA, ZDB, ZDC
struct SummaryRows {
  std::array<std::string, kSummaryRows> text;
  std::array<bool, kSummaryRows> visible{};
};
// The summary rows for `lineCount` lines of kind `sport` (0 bike with power,
// 1 bike with heart rate, 2 run), in the units of `unitFlags` (miles and feet
// with kUnitMiles). L: the short labels (LangLabels), U: the window's texts.
SummaryRows FormatSummaryRows(const SelectionSums& sums, int lineCount, int sport, int unitFlags,
                              float climbGrade, const LabelTexts& L, const EvaluationTexts& U);

// ---------------------------------------------------------------------------
// Trends
// ---------------------------------------------------------------------------

struct TrendPoint {
  double x = 0;
  double y = 0;
  std::string label;
};
using TrendSeries = std::array<std::vector<TrendPoint>, 4>;

enum class TrendKind { Power, NpHeartRate, Distance, Peaks };
struct TrendOptions {
  double divisor = 1.0;         // power and peaks: rider weight in the weight unit, or 1
  double speedFactor = 1.0;     // distance trend
  double altitudeFactor = 1.0;
};
// The four series of a trend over lines [first, end).
TrendSeries BuildTrend(TrendKind kind, const std::vector<std::string>& lines, int first, int end,
                       const TripSummary* summaries, const TripDistribution* distributions,
                       const TrendOptions& options);

// The divisor of the per-weight view: weight x unit factor, or 1 (plain
// watts) when the weight is not above 0.
double PerWeightDivisor(double weightKg, double weightFactor);

// ---------------------------------------------------------------------------
// Time in zones
// ---------------------------------------------------------------------------

// Zone rows of one rider (RiderZones[rider]), copied for work off the GUI thread.
struct RiderZoneRows {
  uint16_t rows[kZoneRows][kZoneRowValues] = {};
};
RiderZoneRows CurrentRiderZoneRows();

// The zones a line is counted in: its own kind, except that a bike-with-power
// trip is counted in heart-rate zones while the selection is one of bike
// heart-rate trips (selector 1).
struct LineZoneChoice {
  int zoneSet = 0;                 // 0 power, 1 bike heart rate, 2 run
  bool heartRateOverride = false;  // a power trip counted in heart-rate zones
};
LineZoneChoice ChooseLineZones(int lineSport, int selector);

// Zone block and times of a trip read from its file: the zone set's channel
// (power for set 0, else heart rate) against the file's zone block (rebuilt
// from the rider's rows when it is missing); with the override, against
// heart-rate bounds from the rider's bike heart-rate row and the header's
// heart-rate threshold (the row's threshold when the header's is below 30).
TripZoneTimes TripZoneTimesOf(const TripFileData& trip, const LineZoneChoice& choice,
                              const RiderZoneRows& zones, float (&zoneBlock)[kZoneBlockWords]);

// Stacked shares of one trip: cumulative[z] = share of zones 0..z, share[z]
// = share of zone z, in percent of record count x interval (all 0 when that
// is not above 0), for z below zoneCount (clamped to 1..10).
struct ZoneShares {
  std::array<double, 10> cumulative{};
  std::array<float, 10> share{};
};
ZoneShares StackZoneShares(const TripZoneTimes& times, int zoneCount);

// One row per selection line of zone shares (column z = zone z, percent);
// column 1 doubles as the mark that the row is computed.
using ZoneShareRow = std::array<float, 15>;

// The overview item of a selection line: the overview lists the lines that
// have a ';' and are no manual entry, in order. -1 when the line is no item.
int OverviewItemOfLine(const std::vector<std::string>& lines, int line);

}  // namespace tav
