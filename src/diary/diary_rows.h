// The diary's rows and columns as plain data: which metric a grid column
// shows, the texts of title, unit and value cells, column widths, sort keys,
// and the row selections (by kind and span, by a found text). The window
// (diary_window) only moves these into its grid.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

class TStringList;

constexpr int kDiaryColumns = 18;         // grid columns 0..17, one metric each
constexpr int kDiaryOrderSize = 30;       // entries of the stored column order
constexpr int kDiaryOrderMarker = 55;     // element 0 of a valid stored order
constexpr int kDiaryOrderedMetrics = 19;  // the order names metrics 1..19
constexpr int kDiarySortItems = 17;       // sort choices 0..16
constexpr int kDiaryUiTexts = 31;

// Metric numbers (index into DiaryColumnPos).
enum DiaryMetric : int {
  kMetricDate = 0,
  kMetricComment = 1,
  kMetricTime = 2,
  kMetricDistance = 3,
  kMetricPowerNoZero = 4,
  kMetricHeartRate = 5,
  kMetricCadence = 6,
  kMetricSpeed = 7,
  kMetricTemperature = 8,
  kMetricNp = 9,
  kMetricTss = 10,
  kMetricIf = 11,
  kMetricAscent = 12,
  kMetricWork = 13,
  kMetricPowerWithZero = 14,
  kMetricRemark2 = 15,
  kMetricKcal = 16,
  kMetricWeight = 17,
};

// Display units chosen from the unit option bits.
struct DiaryUnits {
  double speed = 1.0;     // km -> mi, km/h -> mph
  double altitude = 1.0;  // m -> ft
  double weight = 1.0;    // kg -> lbs
  bool miles = false, fahrenheit = false, pounds = false;
  static DiaryUnits FromFlags(int unit_flags);
};

// The statistics of one slot that the diary shows and sorts by, in stored
// (metric) units.
struct DiaryStats {
  int32_t total_time = 0;  // s
  float distance = 0;      // km
  float ascent = 0;        // m
  float power_with_zero = 0, power_no_zero = 0;  // W
  float np = 0, intensity = 0, tss = 0;
  float work = 0;        // kJ
  float heart_rate = 0;  // 1/min
  float cadence = 0;     // 1/min
  float speed = 0;       // km/h
  float temperature = 0; // °C
  float weight = 0;      // kg
};

// ---- trip-list lines ----------------------------------------------------

// The statistics slot of a line: the decimal number after the first ';'.
struct DiarySlotField {
  bool present = false;   // the line has a ';'
  int slot = 0;
  bool pending = false;   // "PF" at characters 3-4 of the slot text
  std::size_t pf_pos = 0; // index of that "PF" in the line (when pending)
};
DiarySlotField ParseDiarySlot(std::string_view line);
// Slots the per-trip tables hold for a row of the diary.
constexpr bool DiarySlotInRange(int slot) { return slot > 0 && slot < 1000; }
// A recorded trip (not a manual entry): character 13 is not 'N'.
bool IsDiaryTripRow(std::string_view line);
// Number of list lines the diary shows: all but a final free-slot line.
int DiaryShownLineCount(const TStringList& list);

// Comment column: the text after the first '*', cut at the first '|' or
// '~', its first ';' shown as ','; without '*' the no-comment text.
std::string DiaryCommentText(std::string_view line, std::string_view no_comment);
// Second-remark column: the text after the first byte 0xA7, else " ".
std::string DiarySecondRemarkText(std::string_view line);

// ---- titles, units and values ---------------------------------------------

using DiaryCells = std::array<std::string, kDiaryColumns>;  // indexed by metric

// Row 0 texts by metric; ui holds the 31 diary texts, weight_title is the
// caption of the main window's weight label.
DiaryCells DiaryTitles(const std::array<std::string, kDiaryUiTexts>& ui, std::string_view weight_title);
// Row 1 texts by metric (empty where a column has no unit).
DiaryCells DiaryUnitTexts(const DiaryUnits& units);
// Items of the sort choice box, in sort-item order, from the titles.
std::vector<std::string> DiarySortChoices(const DiaryCells& titles);
// Writes the value cells of a row with a valid slot: time, distance, heart
// rate and temperature for every row, the rest for recorded trips only.
void FillDiaryValueCells(const DiaryStats& s, bool trip, const DiaryUnits& units, DiaryCells& cells);
// The cell texts of one metric (for a single rewritten cell).
std::string DiaryValueText(int metric, const DiaryStats& s, const DiaryUnits& units);
// Display widths by metric from the title and unit texts and the first
// row's cells (tw measures a text). A title is measured together with its
// unit text below it (the wider of the two). Every column but the two text
// columns is at least as wide as its widest value (widest_value, measured
// without trailing blanks) plus the cell's margins, so no value is cut.
// Column 1 (comment) is left to the layout: -1.
using DiaryWidths = std::array<int, kDiaryColumns>;
DiaryWidths DiaryMetricWidths(const DiaryCells& titles, const DiaryCells& units, const DiaryCells& first_row,
                              const DiaryWidths& widest_value,
                              const std::function<int(const std::string&)>& tw);
// Widths of value cell texts as the grid shows them (trailing blanks take no
// room), for thousands of cells per rebuild: each character's advance is
// measured once (over 16 copies, for its fraction of a pixel) and a text's
// width is the sum, rounded up. Value texts (digits, blanks, '.', '-', ':')
// have no kerning, so the sum is the measured width within a pixel.
class DiaryTextWidths {
 public:
  explicit DiaryTextWidths(std::function<int(const std::string&)> tw) : tw_(std::move(tw)) { advance_.fill(-1.0); }
  int operator()(std::string_view text);

 private:
  std::function<int(const std::string&)> tw_;
  std::array<double, 256> advance_;
};

// ---- column order ----------------------------------------------------------

// A stored order is valid when element 0 is the marker and elements 1..19
// name each of the metrics 1..19 once.
bool DiaryColumnOrderValid(const int32_t* order);
// Marker and identity order (elements past 19 are zeroed).
void ResetDiaryColumnOrder(int32_t* order);
// pos[m] := the grid column of metric m. An invalid order is reset first
// (returns false then).
bool BuildDiaryColumnPos(int32_t* order, int32_t* pos);
// A moved grid column: when both indexes are 2 or more (and within the
// ordered range) the metric at from is reinserted at to; returns false when
// the move is not recorded.
bool MoveDiaryColumn(int32_t* order, int from, int to);
// The metric shown in a grid column (column 0 is always the date).
int DiaryMetricAtColumn(const int32_t* order, int column);

// ---- sorting ---------------------------------------------------------------

// Sort item of a metric (title double-click); metrics above 20 give 0.
int DiarySortItemForMetric(int metric);

struct DiarySortRow {
  std::string_view line;
  const DiaryStats* stats = nullptr;  // null when the slot is out of range
};
// List indexes 0..rows.size()-1 in ascending order of the item's key.
// Numbers compare as numbers at the precision the key shows; texts compare
// without regard to case or accents; equal keys order by the text of the list
// index (so 12 comes before 3). Manual entries count 0 for the power,
// cadence, speed, NP, TSS, IF, ascent and work keys. Item 0 is list order.
std::vector<int> DiarySortOrder(int item, const std::vector<DiarySortRow>& rows);

// A double-click counter on the title row: it starts over when the column
// differs from the last one. Returns true for ascending (odd counts).
struct DiaryTitleClicks {
  int last_column = -1;
  int count = 0;
  bool Next(int column);
};

// ---- selections ------------------------------------------------------------

// Text comparison used by the case-insensitive sort (exposed for tests):
// folds case and accents of Windows-1252 letters.
std::string DiaryCollationKey(std::string_view text);

// Marks (selected[pos + 2] = 1/0) each display position pos < shown whose
// line has kind `kind` and a date (first eight characters) within
// [start, end]. An empty span marks nothing.
void MarkDiaryByKindAndSpan(const TStringList& list, const std::vector<int32_t>& row_line, int shown,
                            int kind, std::string_view start, std::string_view end,
                            std::vector<uint8_t>& selected);
// Prepares a find text: blanks and control characters trimmed, upper case.
std::string DiaryFindText(std::string_view typed);
// Marks each display position whose whole line contains the (prepared)
// text in any case; an empty text marks nothing. Returns the number marked.
int MarkDiaryFound(const TStringList& list, const std::vector<int32_t>& row_line, int shown,
                   std::string_view text, std::vector<uint8_t>& selected);

}  // namespace tav
