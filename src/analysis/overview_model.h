// The six-chart overview's computation, apart from the window: its items
// (trips of the trip list, trips of the selection, or calendar days), the
// quantities it charts with their titles and colours, the values of one
// chart in absolute or percent mode, and its settings as stored.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/trip_types.h"
#include "core/calendar_days.h"
#include "platform/strings.h"

namespace tav {

// What the overview shows, by the Tag its openers set: 10 the days of a
// calendar period, 20 the selection list, any other value the trip list.
enum class OverviewMode { List, Calendar, Selection };
OverviewMode OverviewModeOfTag(int tag);

// One bar of every chart.
struct OverviewItem {
  int32_t Slot = 0;   // statistics slot (trips)
  std::string Label;  // at most kOverviewLabelChars characters
  int32_t Key = 0;    // day number (list and calendar modes) or slot (selection)
  int32_t Line = 0;   // the list line it came from; the day offset for calendar days
};
inline constexpr std::size_t kOverviewLabelChars = 15;
inline constexpr int kOverviewMaxItems = 1000;

// Trips of lines first .. first + count - 1 of a list (the range cut to the
// list, at most kOverviewMaxItems items): lines without ';', manual entries
// and the free-slot line are skipped, so item i is the i-th line that is
// none of these (as the evaluation counts them). Labels are the trip's date ("24.12.2013 ");
// the key is the date as a day number in list mode, the slot in selection mode.
std::vector<OverviewItem> ListItems(const TStringList& list, int first, int count, bool slot_keys,
                                    int unit_flags);
// The days period_start .. period_start + count - 1, labelled by their date.
std::vector<OverviewItem> DayItems(double period_start, int count, int unit_flags);

// ---- Quantities --------------------------------------------------------------
inline constexpr int kQuantityCount = 11;  // 0-9 in the settings panel, 10 in the chart combos
inline constexpr int kOverviewUiTexts = 14;
using OverviewTexts = std::array<std::string, kOverviewUiTexts>;

double TripQuantity(const TripSummary& s, int q, int unit_flags);
double DayQuantity(const CalendarDay& d, int q, int unit_flags);
// Chart title, value-axis title (absolute or percent) and bar colour slot
// (ChartColors) of a quantity.
std::string QuantityName(int q, const OverviewTexts& ui);
std::string QuantityAxisTitle(int q, bool percent, const OverviewTexts& ui, int unit_flags);
int QuantityColorSlot(int q);

// The values of one chart: per item the value (percent of the largest value
// in percent mode; all 0 when the largest is not above 0), the ride time in
// minutes, and the value axis end (3, raised to 1.05 x any value above it).
struct OverviewChartValues {
  std::vector<double> Values;
  std::vector<double> Minutes;
  std::vector<double> Weights;  // seconds
  double AxisMax = 3.0;
};
// Trip items read TripSummaryTable (a slot outside the table gives zeros);
// calendar items read the CalendarDays record of their date (Key).
OverviewChartValues ChartValues(const std::vector<OverviewItem>& items, OverviewMode mode,
                                int q, bool percent, int unit_flags);

// ---- Settings (Graf6Settings) -------------------------------------------------
// The quantity of chart k (0-5): its setting when 0..10, else the default k.
int Graf6Quantity(int k);
// Percent mode of chart k: its setting is 1.
bool Graf6Percent(int k);
// The minute axis end of chart 1: the reference speed (km/h, used above 10)
// makes it the distance axis end x 60 / speed; else the automatic end + 20.
double MinuteAxisMax(double automatic_max, double value_axis_max, double reference_speed);

}  // namespace tav
