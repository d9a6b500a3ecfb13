#include "diary/calendar_cells.h"

#include <algorithm>
#include <cmath>

#include "platform/text.h"

namespace tav {

namespace {

double Mean(double sum, double weight) { return weight > 0 ? sum / weight : 0.0; }
double RoundedHalfUp(double v) { return std::trunc(v + 0.5); }

CalendarLineText Pair(std::string left, std::string right) {
  return {CalendarLineLayout::Pair, std::move(left), std::move(right)};
}
CalendarLineText Centre(std::string text) { return {CalendarLineLayout::Centre, std::move(text), {}}; }

std::string HoursMinutes(int32_t minutes) { return Format("%02i:%02i h", minutes / 60, minutes % 60); }

}  // namespace

CalendarCellValues DayCellValues(const CalendarDay& d) {
  CalendarCellValues v;
  v.minutes = d.RideMinutes;
  v.distance = d.Distance;
  v.ascent = d.Ascent;
  v.tss = d.TSS;
  v.work = d.Work;
  v.intensity = d.IF;
  v.cadence = d.MeanCadence;
  v.speed = d.MeanSpeed;
  v.heart_rate = d.MeanHeartRate;
  v.temperature = d.MeanTemperature;
  v.power_all = d.MeanPowerAll;
  v.power_nz = v.power_nz_by_power_time = d.MeanPowerNonZero;
  v.np = d.NP;
  v.weight = d.Weight;
  return v;
}

CalendarCellValues WeekCellValues(const CalendarDay* days, int count) {
  CalendarCellValues v;
  int64_t minutes = 0;
  double m_sum = 0, pm_sum = 0, hr_m_sum = 0;
  for (int i = 0; i < count; ++i) {
    const CalendarDay& d = days[i];
    const double m = d.RideMinutes, pm = d.PowerMinutes;
    minutes += d.RideMinutes;
    v.distance += d.Distance;
    v.ascent += RoundedHalfUp(d.Ascent);
    v.tss += RoundedHalfUp(d.TSS);
    v.work += RoundedHalfUp(d.Work);
    m_sum += m;
    v.intensity += d.IF * m;
    v.cadence += d.MeanCadence * m;
    v.speed += d.MeanSpeed * m;
    v.temperature += d.MeanTemperature * m;
    v.power_all += d.MeanPowerAll * m;
    v.power_nz += d.MeanPowerNonZero * m;
    v.np += d.NP * m;
    v.weight += d.Weight * m;
    v.power_nz_by_power_time += d.MeanPowerNonZero * pm;
    pm_sum += pm;
    if (d.MeanHeartRate != 0) {  // a day without heart rate does not count as 0 bpm
      v.heart_rate += d.MeanHeartRate * m;
      hr_m_sum += m;
    }
  }
  v.minutes = static_cast<int32_t>(std::clamp<int64_t>(minutes, INT32_MIN, INT32_MAX));
  for (double* mean : {&v.intensity, &v.cadence, &v.speed, &v.temperature, &v.power_all, &v.power_nz, &v.np, &v.weight})
    *mean = Mean(*mean, m_sum);
  v.power_nz_by_power_time = Mean(v.power_nz_by_power_time, pm_sum);
  v.heart_rate = Mean(v.heart_rate, hr_m_sum);
  return v;
}

CalendarLineText CalendarLine(const CalendarCellValues& v, int item, bool summary, bool miles, float rider_weight) {
  const double distance = v.distance * (miles ? kMilesPerKm : 1.0);
  const double speed = v.speed * (miles ? kMilesPerKm : 1.0);
  const std::string whole_distance = summary ? Format(miles ? "%6.1f miles" : "%6.1f km", distance)
                                             : Format(miles ? "%5.2f miles" : "%6.2f km", distance);
  switch (item) {
    case 0: return Pair(HoursMinutes(v.minutes), whole_distance);
    case 1: return Pair(Format("TSS =%4.0f", v.tss), Format("IF =%4.2f", v.intensity));
    case 2: return Pair(Format("RPM%3.0f", v.cadence), Format(miles ? "%3.1f mph" : "%3.0f km/h", speed));
    case 3: return Pair(Format("RPM%3.0f", v.cadence), Format("HR%4.0f", v.heart_rate));
    case 4: return Pair(Format("%5.0f hm", v.ascent), Format("%5.1f\xB0" "C", v.temperature));
    case 5:
      return {CalendarLineLayout::Left, Format("P o/m%4.0f /%4.0f W", v.power_nz_by_power_time, v.power_all), {}};
    case 6: return Centre(Format("NP =%5.0f W", v.np));
    case 7: return Centre(Format("P exc%5.0f W", v.power_nz));
    case 8: return Centre(Format("P inc%5.0f W", v.power_all));
    case 9: return Centre(Format(summary ? "HR %5.1f  1/min" : "HR %5.1f 1/min", v.heart_rate));
    case 10: return Centre(Format(summary ? "RPM =%5.1f  1/min" : "RPM =%5.1f 1/min", v.cadence));
    case 11: return Centre(Format(miles ? "%5.1f mph" : "%5.1f km/h", speed));
    case 12: return Centre(Format("%5.0f kJ", v.work));
    case 13: return Centre(HoursMinutes(v.minutes));
    case 14: return Centre(summary ? whole_distance : Format(miles ? "%6.2f miles" : "%6.2f km", distance));
    case 15: return Centre(Format("TSS =%4.0f", v.tss));
    case 16: return Centre(Format("IF =%4.2f", v.intensity));
    case 17: return Centre(Format("%5.0f hm", v.ascent));
    case 18: return Centre(Format("Temp=%5.1f\xB0" "C", v.temperature));
    case 19: {
      const double weight = v.weight < 5.0 ? rider_weight : v.weight;
      return Centre(Format("%5.2f W/kg", weight > 0 ? v.np / weight : 0.0));
    }
    default: return {};
  }
}

int CalendarLinesChoice(const CalendarShow& show) { return std::clamp(show.Values[0], 0, 3); }

std::vector<int> ZoneBarEnds(const uint32_t* seconds, int zones, int x, int width) {
  const int n = std::clamp(zones, 1, 10);
  double total = 0;
  for (int z = 0; z < n; ++z) total += seconds[z];
  std::vector<int> ends;
  if (!(total > 0)) return ends;
  double cumulated = 0;
  for (int z = 0; z < n; ++z) {
    cumulated += seconds[z];
    ends.push_back(static_cast<int>(std::trunc(x + cumulated / total * width)));
  }
  return ends;
}

std::array<uint64_t, 10> WeekZoneSeconds(const CalendarDay* days, int count) {
  std::array<uint64_t, 10> sums{};
  for (int i = 0; i < count; ++i)
    for (int z = 0; z < 10; ++z) sums[static_cast<std::size_t>(z)] += days[i].ZoneSeconds[z];
  return sums;
}

int CalendarIconOfMask(int32_t mask) {
  switch (mask) {
    case 1: case 2: case 32: return 0;
    case 4: case 8: return 1;
    case 64: return 2;
    case 128: return 3;
    case 16: return 4;
    default: return 5;
  }
}

std::vector<TPoint> SilhouetteMask(const TBitmap& picture) {
  std::vector<TPoint> mask;
  const TColor key = picture.Pixel(1, 1);
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x)
      if (picture.Pixel(x, y) != key) mask.push_back({x, y});
  return mask;
}

void DrawSilhouette(TCanvas& canvas, const std::vector<TPoint>& mask, int x, int y, const TRect& clip,
                    TColor background, TColor color) {
  for (const TPoint& p : mask) {
    const int cx = x + p.X, cy = y + p.Y;
    if (clip.Contains(cx, cy) && canvas.Pixel(cx, cy) == background) canvas.SetPixel(cx, cy, color);
  }
}

TRect CalendarIconRect(const TRect& cell, const TRect& date_text, bool has_lines, int full, int small) {
  if (!has_lines) return {cell.Left + 2, cell.Top + 30, cell.Left + 2 + full, cell.Top + 30 + full};
  // Between the cell's top and the line under the date (16 px down).
  const int top = cell.Top + 1;
  if (small > 15) return {};
  if (date_text.Left - 2 - (cell.Left + 2) >= small) return {cell.Left + 2, top, cell.Left + 2 + small, top + small};
  if (cell.Right - 2 - (date_text.Right + 2) >= small) return {cell.Right - 2 - small, top, cell.Right - 2, top + small};
  return {};
}

CalendarHit CalendarHitTest(int col, int row, int dy, int week_rows) {
  if (col < 0 || col > 8 || row < 1 || row > week_rows || dy < 0 || dy > 140) return {};
  const long long monday = 7LL * (row - 1);
  if (col == 0) return {CalendarClick::PeriodSums, monday};
  if (col == 8) return {dy < 40 ? CalendarClick::WeekPie : CalendarClick::WeekDiary, monday};
  const long long day = monday + col - 1;
  if (dy < 20) return {CalendarClick::DaySums, day};
  return {dy < 40 ? CalendarClick::DayPie : CalendarClick::DayDiary, day};
}

int CalendarPeriodWeeks(int value) { return value == 1 || value == 2 || value == 4 ? value : 8; }

int NextCalendarPeriod(int value) {
  switch (value) {
    case 1: return 2;
    case 2: return 4;
    case 4: return 8;
    case 8: return 1;
    default: return 8;
  }
}

std::string CalendarPeriodCaption(int value) { return Format("%iW", CalendarPeriodWeeks(value)); }

std::string CalendarPeriodHint(int last_row, int period) {
  const int weeks = CalendarPeriodWeeks(period);
  if (weeks == 1) return Format("KW%3i", CalendarWeekNumberOfRow(last_row));
  int from = last_row - (weeks - 1), to = last_row;
  if (from < 1) {
    from = 1;
    to = weeks - 1;
  }
  return Format("KW%3i - KW%3i", CalendarWeekNumberOfRow(from), CalendarWeekNumberOfRow(to));
}

CalendarOverviewSpan CalendarOverviewSpanOf(int last_row, int period) {
  const int weeks = CalendarPeriodWeeks(period);
  CalendarOverviewSpan s;
  s.cal_day_base = t_offset - W_Tag;
  s.first_item = 7 * last_row + s.cal_day_base - 7 * weeks;
  s.item_count = 7 * weeks;
  s.period_start = CalendarYearStart + s.first_item;
  return s;
}

}  // namespace tav
