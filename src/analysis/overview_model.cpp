#include "analysis/overview_model.h"

#include <algorithm>
#include <cmath>

#include "core/core_data.h"
#include "core/trip_date_text.h"
#include "core/trip_list.h"
#include "platform/text.h"

namespace tav {

using namespace literals;

OverviewMode OverviewModeOfTag(int tag) {
  return tag == 10 ? OverviewMode::Calendar : tag == 20 ? OverviewMode::Selection : OverviewMode::List;
}

std::vector<OverviewItem> ListItems(const TStringList& list, int first, int count, bool slot_keys,
                                    int unit_flags) {
  std::vector<OverviewItem> items;
  const long long from = std::max(0, first);
  const long long to = std::min<long long>(list.Count(), static_cast<long long>(first) + std::max(0, count));
  for (long long i = from; i < to && static_cast<int>(items.size()) < kOverviewMaxItems; ++i) {
    const std::string_view line = list[static_cast<int>(i)];
    if (!LineHasSemicolon(line) || IsManualLine(line) || IsFreeSlotListLine(line)) continue;
    OverviewItem item;
    item.Slot = LineSlot(line).value_or(0);
    item.Label = TripDateTimeText(LineKey(line), unit_flags).substr(0, 11);
    item.Key = slot_keys ? item.Slot : LineDateValue(line);
    item.Line = static_cast<int32_t>(i);
    items.push_back(std::move(item));
  }
  return items;
}

std::vector<OverviewItem> DayItems(double period_start, int count, int unit_flags) {
  std::vector<OverviewItem> items;
  int32_t first_day = 0;
  if (!DateValueDay(period_start, first_day)) return items;
  const int n = std::clamp(count, 0, kOverviewMaxItems);
  items.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    OverviewItem item;
    item.Key = first_day + i;
    item.Label = DisplayDateText(item.Key, unit_flags).substr(0, kOverviewLabelChars);
    item.Line = i;
    items.push_back(std::move(item));
  }
  return items;
}

// ---------------------------------------------------------------------------
// Quantities
// ---------------------------------------------------------------------------

namespace {
double Miles(int unit_flags) { return (unit_flags & kUnitMiles) ? kMilesPerKm : 1.0; }
double Feet(int unit_flags) { return (unit_flags & kUnitMiles) ? kFeetPerMetre : 1.0; }
}  // namespace

// Trip summaries and calendar days name their fields alike.
template <class Record>
double QuantityOf(const Record& r, int q, int unit_flags) {
  switch (q) {
    case 0: return r.Distance * Miles(unit_flags);
    case 1: return r.MeanPowerNonZero;
    case 2: return r.MeanSpeed * Miles(unit_flags);
    case 3: return r.Ascent * Feet(unit_flags);
    case 4: return r.MeanCadence;
    case 5: return r.MeanHeartRate;
    case 6: return r.TSS;
    case 7: return r.NP;
    case 8: return r.IF;
    case 9: return r.Work;
    case 10: return r.MeanTemperature;
  }
  return 0;
}

double TripQuantity(const TripSummary& s, int q, int unit_flags) { return QuantityOf(s, q, unit_flags); }
double DayQuantity(const CalendarDay& d, int q, int unit_flags) { return QuantityOf(d, q, unit_flags); }

std::string QuantityName(int q, const OverviewTexts& ui) {
  // Index of each quantity's name in the texts; TSS and IF have fixed names.
  static constexpr int kNameText[kQuantityCount] = {0, 6, 7, 3, 8, 9, -1, 10, -2, 5, 13};
  if (q < 0 || q >= kQuantityCount) return {};
  const int t = kNameText[q];
  return t == -1 ? "TSS™"_w : t == -2 ? "IF™"_w : ui[static_cast<std::size_t>(t)];
}

std::string QuantityAxisTitle(int q, bool percent, const OverviewTexts& ui, int unit_flags) {
  const bool miles = unit_flags & kUnitMiles;
  auto text = [&](int i) { return ui[static_cast<std::size_t>(i)]; };
  if (percent) {
    switch (q) {
      case 0: return text(0) + " [%]";
      case 1: return text(1) + " [%]";
      case 2: return text(2) + " [%]";
      case 3: return text(3) + " [%]";
      case 4: return "RPM [%]";
      case 5: return text(4) + " [%]";
      case 6: return "TSS™[%]"_w;
      case 7: return "NP™[%]"_w;
      case 8: return "IF™[%]"_w;
      case 9: return text(5) + " [%]";
      case 10: return text(13) + " [%]";
    }
    return {};
  }
  switch (q) {
    case 0: return text(0) + (miles ? " [miles]" : " [km]");
    case 1: return text(1) + " [W]";
    case 2: return text(2) + (miles ? " [mph]" : " [km/h]");
    case 3: return text(3) + (miles ? " [ft]" : " [m]");
    case 4: return "RPM [1/m]";
    case 5: return text(4) + " [ 1/min]";
    case 6: return "TSS™"_w;
    case 7: return "NP™[W]"_w;
    case 8: return "IF™"_w;
    case 9: return text(5) + " [kJ]";
    case 10: return text(13) + " [°C]"_w;
  }
  return {};
}

int QuantityColorSlot(int q) {
  static constexpr int kSlot[kQuantityCount] = {5, 1, 4, 5, 2, 3, 1, 1, 1, 3, 7};
  return q >= 0 && q < kQuantityCount ? kSlot[q] : 9;
}

OverviewChartValues ChartValues(const std::vector<OverviewItem>& items, OverviewMode mode,
                                int q, bool percent, int unit_flags) {
  OverviewChartValues v;
  const std::size_t n = items.size();
  v.Values.resize(n);
  v.Minutes.resize(n);
  v.Weights.resize(n);
  double largest = 0;
  for (std::size_t i = 0; i < n; ++i) {
    float value = 0;  // values are kept as the stored floats
    double weight = 0;
    if (mode == OverviewMode::Calendar) {
      // The item's own date in the calendar as it is now: a calendar rebuilt
      // since the opening (another rider, an earlier trip) has moved its day
      // indexes, and the bars stay with the dates they are labelled with.
      const CalendarDay& d = CalendarDayAt(static_cast<long long>(items[i].Key) - CalendarFirstMonday());
      value = static_cast<float>(DayQuantity(d, q, unit_flags));
      weight = d.RideMinutes * 60.0;
    } else if (IsTableSlot(items[i].Slot)) {
      const TripSummary& s = TripSummaryTable[items[i].Slot];
      value = static_cast<float>(TripQuantity(s, q, unit_flags));
      weight = s.TotalTime;
    }
    v.Values[i] = value;
    v.Weights[i] = weight;
    v.Minutes[i] = weight / 60.0;
    largest = std::max(largest, v.Values[i]);
  }
  if (percent)
    for (double& x : v.Values) x = largest > 0 ? x * 100.0 / largest : 0.0;
  for (double x : v.Values)
    if (x * 1.05 > v.AxisMax) v.AxisMax = x * 1.05;
  return v;
}

// ---------------------------------------------------------------------------
// Settings
// ---------------------------------------------------------------------------

int Graf6Quantity(int k) {
  k = std::clamp(k, 0, 5);
  const int q = Graf6Settings[k];
  return q >= 0 && q < kQuantityCount ? q : k;
}

bool Graf6Percent(int k) { return Graf6Settings[7 + std::clamp(k, 0, 5)] == 1; }

double MinuteAxisMax(double automatic_max, double value_axis_max, double reference_speed) {
  if (reference_speed > 10.0) return value_axis_max * 60.0 / reference_speed;
  return automatic_max + 20.0;
}

}  // namespace tav
