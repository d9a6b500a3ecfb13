// What the week calendar's cells show and what a click on them means: the
// text lines of a day and of a week's summary, the zone bars, the kind
// icons laid as silhouettes, the hit test of the grid, and the period of the
// overview button. Pure functions over the calendar model.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/core_data.h"
#include "diary/calendar_model.h"
#include "platform/canvas.h"

namespace tav {

// ---- Text lines -------------------------------------------------------------------
inline constexpr int kCalendarItems = 20;

// How a line sits in its cell: a pair (left text at the left edge, right
// text right-aligned), one left-aligned text, or one centred text.
enum class CalendarLineLayout { Pair, Left, Centre };
struct CalendarLineText {
  CalendarLineLayout layout = CalendarLineLayout::Centre;
  std::string left, right;  // a single text is `left`
  bool operator==(const CalendarLineText&) const = default;
};

// The values a cell's lines show: a day's record, or a week's summary
// (sums; TSS, work and ascent rounded per day and summed; means weighted by
// the days' ride minutes, heart rate only over days with heart rate, and
// the power without zeros of the pair line by the days' minutes with power).
struct CalendarCellValues {
  int32_t minutes = 0;
  double distance = 0, ascent = 0, tss = 0, work = 0;
  double intensity = 0, cadence = 0, speed = 0, heart_rate = 0, temperature = 0;
  double power_all = 0, power_nz = 0, power_nz_by_power_time = 0, np = 0, weight = 0;
};
CalendarCellValues DayCellValues(const CalendarDay& day);
CalendarCellValues WeekCellValues(const CalendarDay* days, int count);

// The text of line item 0-19 (nothing for other items). Distances and
// speeds in miles with `miles`; NP per weight takes rider_weight for a
// weight below 5 kg and shows 0.00 when there is still no weight.
CalendarLineText CalendarLine(const CalendarCellValues& v, int item, bool summary, bool miles, float rider_weight);

// Pixels per text line by the lines-per-cell choice 0-3 (2..5 lines).
inline constexpr int kCalendarLineHeights[4] = {35, 25, 20, 17};
// The lines-per-cell choice of a configuration, kept within 0-3.
int CalendarLinesChoice(const CalendarShow& show);

// ---- Zone bars --------------------------------------------------------------------------
// Right ends of the segments of a day's horizontal zone bar from x over
// width pixels, one per zone below `zones` (each as long as its share);
// empty when the zones hold no time.
std::vector<int> ZoneBarEnds(const uint32_t* seconds, int zones, int x, int width);
// Zone seconds of the seven days of a week row, summed per zone.
std::array<uint64_t, 10> WeekZoneSeconds(const CalendarDay* days, int count);

// ---- Icons -----------------------------------------------------------------------------------
// The icon of a day's kind mask: 0 bike (1, 2, 32), 1 runner (4, 8),
// 2 mountain (64), 3 weights (128), 4 swimmer (16), 5 several kinds.
int CalendarIconOfMask(int32_t mask);
// The pixels of a picture that differ from its pixel (1, 1), computed once
// per picture.
std::vector<TPoint> SilhouetteMask(const TBitmap& picture);
// Lays a silhouette at (x, y): each of its pixels inside clip turns the
// canvas pixel below it into `color` where that pixel has the colour
// `background`.
void DrawSilhouette(TCanvas& canvas, const std::vector<TPoint>& mask, int x, int y, const TRect& clip,
                    TColor background, TColor color);

// Where a day's kind icon lies in its cell: on a day without lines the
// full icon (full x full pixels) at (left + 2, top + 30); on a day with
// lines a small one (small x small) in a top corner beside the date text,
// the left one first, clear of the date and of the lines below; an empty
// rectangle when neither corner has room for it.
TRect CalendarIconRect(const TRect& cell, const TRect& date_text, bool has_lines, int full, int small);

// ---- Clicks -------------------------------------------------------------------------------------
enum class CalendarClick { None, PeriodSums, DaySums, DayPie, DayDiary, WeekPie, WeekDiary };
struct CalendarHit {
  CalendarClick what = CalendarClick::None;
  long long day_index = 0;  // the cell's day, or the Monday of the row
  bool operator==(const CalendarHit&) const = default;
};
// A press in grid cell (col, row), dy pixels below the row's top, on a
// calendar of week_rows rows. Outside the columns and the week rows of the
// model, in the title row or more than 140 px down: nothing.
CalendarHit CalendarHitTest(int col, int row, int dy, int week_rows);

// ---- Period of the overview button -----------------------------------------------------
// The period in weeks: 1, 2, 4 or 8 (any other value 8); the next in the
// cycle 1, 2, 4, 8, 1; the button caption ("8W").
int CalendarPeriodWeeks(int value);
int NextCalendarPeriod(int value);
std::string CalendarPeriodCaption(int value);
// "KW nn" of the last week row on screen, or "KW nn - KW nn" from the row
// period - 1 earlier (rows 1 and period - 1 when that lies before row 1).
std::string CalendarPeriodHint(int last_row, int period);

// What the overview button hands to the six-chart overview for the weeks
// that end with row last_row.
struct CalendarOverviewSpan {
  int first_item = 0;      // first day, counted from CalendarYearStart
  int item_count = 0;      // days
  int cal_day_base = 0;    // t_offset - W_Tag: the day count of day index 0
  double period_start = 0; // date value of the first day
};
CalendarOverviewSpan CalendarOverviewSpanOf(int last_row, int period);

}  // namespace tav
