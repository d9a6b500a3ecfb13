#include "diary/diary_export.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/core_data.h"
#include "core/trip_date_text.h"
#include "core/trip_file.h"
#include "core/trip_list.h"
#include "core/user_words.h"
#include "diary/diary_window.h"
#include "openers/openers.h"
#include "platform/grid.h"
#include "platform/text.h"

namespace tav {

namespace {

// Characters [pos, pos + n) of a line, as far as it reaches.
std::string_view Part(std::string_view s, std::size_t pos, std::size_t n) {
  return pos < s.size() ? s.substr(pos, n) : std::string_view();
}

void AppendCell(std::string& out, const std::string& text, bool decimal_comma) {
  const std::size_t start = out.size();
  out += text == "(null)" ? " " : text;
  bool first_point = decimal_comma;
  for (std::size_t i = start; i < out.size(); ++i) {
    if (out[i] == ';') out[i] = ',';  // a cell never splits its line
    else if (out[i] == '.' && first_point) {
      out[i] = ',';
      first_point = false;
    }
  }
  out += ';';
}

}  // namespace

std::string DiaryCsvText(const TStringGrid& grid, const TStringList& list, const std::vector<int32_t>& row_line,
                         const std::vector<int32_t>& power_slot, const int32_t* column_pos, int shown) {
  const int cols = grid.ColCount();
  shown = std::clamp(shown, 0, std::max(0, grid.RowCount() - 2));
  std::string out;
  out.reserve(static_cast<std::size_t>(shown + 3) * 220);
  auto cells = [&](int row) {
    for (int c = 0; c < cols; ++c) AppendCell(out, grid.Cell(c, row), row >= 2 && c >= 4);
  };
  out += "Trip;";
  cells(0);
  out += "PP (5 sec);PP (1 min);PP (5 min);PP (20 min)\r\n";
  out += " ;";
  cells(1);
  out += "[W];[W];[W];[W]\r\n";
  out += "  ;";
  for (int m = 0; m < cols; ++m) out += Format("%i;", column_pos[m]);
  out += "18;19;20;21 \r\n";

  for (int i = 0; i < shown; ++i) {
    const std::size_t pos = static_cast<std::size_t>(i);
    const int idx = pos < row_line.size() ? row_line[pos] : -1;
    const std::string_view line = idx >= 0 && idx < list.Count() ? std::string_view(list[idx]) : std::string_view();
    out.append(Part(line, 0, 8)).append("-").append(Part(line, 9, 4)).append(";");
    cells(i + 2);
    const int slot = pos < power_slot.size() ? power_slot[pos] : 0;
    const bool trip = slot > 0 && IsTableSlot(slot);
    for (int k = 0; k < 4; ++k) out += Format("%i;", trip ? TripDistributionTable[slot].Data.Peaks[k] : 0);
    out += "\r\n";
  }
  return out;
}

void ExportDiaryCsv(TForm3* form) {
  TSaveDialog& dialog = form->SaveDialog1;
  dialog.DefaultExt = "CSV";
  dialog.Filter = "DATEN (*.csv)|*.CSV";
  dialog.Title = form->CsvDialogTitle;
  dialog.FileName = CurrentRiderName;
  if (!dialog.Execute()) return;
  const std::string text = DiaryCsvText(*form->DBook, TripList, DiaryRowLine, DiaryRowPowerSlot, DiaryColumnPos,
                                        form->ShownLineCount());
  int err = 0;
  if (!WriteFileAtomically(FsPath(dialog.FileName), text, false, &err)) {
    std::fputs(kCannotOpenOutput, stderr);
    Application().MessageBox(CannotWriteMessage(FsPath(dialog.FileName), err), "tavlog", MB_OK | MB_ICONWARNING);
  }
}

// ---- zone sums -------------------------------------------------------------------

std::vector<ZoneSumTrip> DiaryTripsOnDays(const TStringList& list, int shown, const std::vector<TripDateEntry>& dates,
                                          int32_t day, int days, int kind) {
  std::vector<ZoneSumTrip> out;
  const int n = std::min({shown, list.Count(), static_cast<int>(dates.size())});
  for (int i = 0; i < n; ++i) {
    const TripDateEntry& e = dates[static_cast<std::size_t>(i)];
    if (e.Date < day || e.Date - day >= days || e.Sport != kind || IsManualLine(list[i])) continue;
    const auto slot = LineSlot(list[i]);
    if (slot && *slot > 0 && IsTableSlot(*slot)) out.push_back({*slot, FormatTripDateTime(list[i])});
  }
  return out;
}

std::vector<ZoneSumTrip> DiaryTripsOfSlot(const TStringList& list, int shown, int slot) {
  std::vector<ZoneSumTrip> out;
  if (slot <= 0 || !IsTableSlot(slot)) return out;
  const int n = std::min(shown, list.Count());
  for (int i = 0; i < n; ++i)
    if (LineSlot(list[i]) == slot) out.push_back({slot, FormatTripDateTime(list[i])});
  if (out.empty()) out.push_back({slot, ""});
  return out;
}

int SumDistributions(const std::vector<ZoneSumTrip>& trips, bool any_limits, DistributionData& view) {
  DistributionData sum;
  std::copy(std::begin(view.ZoneLimits), std::end(view.ZoneLimits), sum.ZoneLimits);
  int added = 0;
  for (const ZoneSumTrip& t : trips) {
    if (t.slot <= 0 || !IsTableSlot(t.slot)) continue;
    const DistributionData& d = TripDistributionTable[t.slot].Data;
    sum.Add(d);
    if (any_limits || d.ZoneLimits[2] > 10) std::copy(std::begin(d.ZoneLimits), std::end(d.ZoneLimits), sum.ZoneLimits);
    ++added;
  }
  view = sum;
  return added;
}

std::string ZoneSumCaption(const std::string& title, int32_t seconds, const std::string& dates) {
  seconds = std::max(0, seconds);
  return Format("%s = %02i:%02i:%02i", title.c_str(), seconds / 3600, seconds / 60 % 60, seconds % 60) + "   " + dates;
}

namespace {

void ShowSum(TForm3* form, const std::vector<ZoneSumTrip>& trips, bool any_limits, const std::string& dates) {
  form->Tag = 5;
  if (SumDistributions(trips, any_limits, DistributionView) == 0 || DistributionView.TotalTime <= 0) return;
  ShowDistributionSums(ZoneSumCaption(form->UiText[16], DistributionView.TotalTime, dates));
}

std::string JoinedDates(const std::vector<ZoneSumTrip>& trips) {
  std::string dates;
  for (const ZoneSumTrip& t : trips) dates += (dates.empty() ? "" : " + ") + t.date_text;
  return dates;
}

int32_t WholeDay(double date) {
  int32_t day = 0;
  return DateValueDay(date, day) ? day : INT32_MIN;
}

}  // namespace

void SumZoneStatsForDay(TForm3* form, double date) {
  const int32_t day = WholeDay(date);
  std::vector<ZoneSumTrip> trips;
  if (day != INT32_MIN) trips = DiaryTripsOnDays(TripList, form->ShownLineCount(), TripDates, day, 1, CalendarKind());
  ShowSum(form, trips, false, JoinedDates(trips));
}

void SumZoneStatsForTrip(TForm3* form, int slot) {
  const std::vector<ZoneSumTrip> trips = DiaryTripsOfSlot(TripList, form->ShownLineCount(), slot);
  ShowSum(form, trips.empty() ? trips : std::vector<ZoneSumTrip>{trips.front()}, true, JoinedDates(trips));
}

void SumZoneStatsForPeriod(TForm3* form, double date) {
  const int32_t day = WholeDay(date);
  std::vector<ZoneSumTrip> trips;
  if (day != INT32_MIN) trips = DiaryTripsOnDays(TripList, form->ShownLineCount(), TripDates, day, 7, CalendarKind());
  ShowSum(form, trips, false, FormatDisplayDate(date) + "  -  " + FormatDisplayDate(date + 6));
}

}  // namespace tav

// ---- Opened and asked by other windows ------------------------------------------

namespace tav {

void OpenDayZoneSums(double date) {
  if (Form3 != nullptr) SumZoneStatsForDay(Form3, date);
}

void OpenTripZoneSums(int slot) {
  if (Form3 != nullptr) SumZoneStatsForTrip(Form3, slot);
}

void OpenPeriodZoneSums(double date) {
  if (Form3 != nullptr) SumZoneStatsForPeriod(Form3, date);
}

}  // namespace tav
