#include "diary/diary_rows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "core/core_data.h"
#include "core/trip_list.h"
#include "platform/strings.h"
#include "platform/text.h"

namespace tav {

namespace {

constexpr char kTm = '\x99';           // trade-mark sign
constexpr char kParagraph = '\xA7';    // second-remark separator

std::string Blank(const std::string& text) { return " " + text; }

}  // namespace

DiaryUnits DiaryUnits::FromFlags(int unit_flags) {
  DiaryUnits u;
  u.miles = (unit_flags & kUnitMiles) != 0;
  u.fahrenheit = (unit_flags & kUnitFahrenheit) != 0;
  u.pounds = (unit_flags & kUnitPounds) != 0;
  u.speed = u.miles ? kMilesPerKm : 1.0;
  u.altitude = u.miles ? kFeetPerMetre : 1.0;
  u.weight = u.pounds ? kPoundsPerKg : 1.0;
  return u;
}

// ---- lines -------------------------------------------------------------------

DiarySlotField ParseDiarySlot(std::string_view line) {
  DiarySlotField f;
  const std::size_t semi = line.find(';');
  if (semi == std::string_view::npos) return f;
  f.present = true;
  const std::string_view text = line.substr(semi + 1);
  f.slot = ToInt(text);
  if (text.size() >= 5 && text[3] == 'P' && text[4] == 'F') {
    f.pending = true;
    f.pf_pos = semi + 1 + 3;
  }
  return f;
}

bool IsDiaryTripRow(std::string_view line) { return !(line.size() > 13 && line[13] == 'N'); }

int DiaryShownLineCount(const TStringList& list) {
  int n = list.Count();
  if (n > 0 && IsFreeSlotListLine(list[n - 1])) --n;
  return n;
}

std::string DiaryCommentText(std::string_view line, std::string_view no_comment) {
  const std::size_t star = line.find('*');
  if (star == std::string_view::npos) return std::string(no_comment);
  std::string_view text = line.substr(star + 1);
  const std::size_t cut = text.find_first_of("|~");
  if (cut != std::string_view::npos) text = text.substr(0, cut);
  std::string out(text);
  if (auto semi = out.find(';'); semi != std::string::npos) out[semi] = ',';
  return out;
}

std::string DiarySecondRemarkText(std::string_view line) {
  const std::size_t p = line.find(kParagraph);
  if (p == std::string_view::npos) return " ";
  return std::string(line.substr(p + 1));
}

// ---- titles, units, values -----------------------------------------------------

DiaryCells DiaryTitles(const std::array<std::string, kDiaryUiTexts>& ui, std::string_view weight_title) {
  DiaryCells t;
  t[kMetricDate] = Blank(ui[1]);
  t[kMetricComment] = Blank(ui[2]);
  t[kMetricTime] = Blank(ui[3]);
  t[kMetricDistance] = Blank(ui[4]);
  t[kMetricPowerNoZero] = " Power 1";
  t[kMetricHeartRate] = Blank(ui[6]);
  t[kMetricCadence] = Blank(ui[7]);
  t[kMetricSpeed] = Blank(ui[8]);
  t[kMetricTemperature] = Blank(ui[9]);
  t[kMetricNp] = std::string("  NP") + kTm;
  t[kMetricTss] = std::string("  TSS") + kTm;
  t[kMetricIf] = std::string("  IF") + kTm;
  t[kMetricAscent] = " D ALT";
  t[kMetricWork] = Blank(ui[12]);
  t[kMetricPowerWithZero] = " Power 2";
  t[kMetricRemark2] = Blank(ui[18]);
  t[kMetricKcal] = Blank(ui[12]);
  t[kMetricWeight] = std::string(weight_title);
  return t;
}

DiaryCells DiaryUnitTexts(const DiaryUnits& u) {
  // By metric number; TSS, IF and the second remark have no unit.
  return {" ",
          " ",
          " ",
          u.miles ? " [mi]" : " [km]",
          "[EXC 0 W]",
          " [1/min]",
          " ",
          u.miles ? " [mph]" : " [km/h]",
          u.fahrenheit ? " [\xB0" "F]" : " [\xB0" "C]",
          " [W]",
          "",
          "",
          u.miles ? " [ft]" : " [m]",
          " [kJ]",
          "[INC 0 W]",
          "",
          " [kcal]",
          u.pounds ? " [lbs]" : " [kg]"};
}

std::vector<std::string> DiarySortChoices(const DiaryCells& titles) {
  std::vector<std::string> items;
  items.reserve(kDiarySortItems);
  for (int m : {kMetricDate, kMetricComment, kMetricRemark2, kMetricTime, kMetricDistance,
                kMetricPowerNoZero, kMetricPowerWithZero, kMetricHeartRate, kMetricCadence,
                kMetricSpeed, kMetricTemperature})
    items.push_back(titles[static_cast<std::size_t>(m)]);
  items.push_back(std::string(" NP") + kTm);
  items.push_back(std::string(" TSS") + kTm);
  items.push_back(std::string(" IF") + kTm);
  for (int m : {kMetricAscent, kMetricWork, kMetricWeight}) items.push_back(titles[static_cast<std::size_t>(m)]);
  return items;
}

std::string DiaryValueText(int metric, const DiaryStats& s, const DiaryUnits& u) {
  switch (metric) {
    case kMetricTime: {
      const int t = s.total_time;
      return Format("  %02i:%02i:%02i   ", t / 3600, (t / 60) % 60, t % 60);
    }
    case kMetricDistance: return Format("%8.2f ", s.distance * u.speed);
    case kMetricPowerNoZero: return Format("%8.0f ", double{s.power_no_zero});
    case kMetricHeartRate: return Format("%8.0f ", double{s.heart_rate});
    case kMetricCadence: return Format("%8.0f ", double{s.cadence});
    case kMetricSpeed: return Format("%8.1f ", s.speed * u.speed);
    case kMetricTemperature:
      return Format("%8.1f ", u.fahrenheit ? s.temperature * 1.8 + 32.0 : double{s.temperature});
    case kMetricNp: return Format("%8.0f ", double{s.np});
    case kMetricTss: return Format("%8.0f ", double{s.tss});
    case kMetricIf: return Format("%8.3f ", double{s.intensity});
    case kMetricAscent: return Format("%8.0f ", s.ascent * u.altitude);
    case kMetricWork: return Format("%8.0f ", double{s.work});
    case kMetricPowerWithZero: return Format("%8.0f ", double{s.power_with_zero});
    case kMetricKcal: return Format("%8.0f ", s.work * 0.2389 * 4.5);
    case kMetricWeight: return Format("%8.0f ", s.weight * u.weight);
    default: return {};
  }
}

void FillDiaryValueCells(const DiaryStats& s, bool trip, const DiaryUnits& u, DiaryCells& cells) {
  for (int m : {kMetricTime, kMetricDistance, kMetricHeartRate, kMetricTemperature})
    cells[static_cast<std::size_t>(m)] = DiaryValueText(m, s, u);
  if (!trip) return;
  for (int m : {kMetricPowerNoZero, kMetricCadence, kMetricSpeed, kMetricNp, kMetricTss, kMetricIf,
                kMetricAscent, kMetricWork, kMetricPowerWithZero, kMetricKcal, kMetricWeight})
    cells[static_cast<std::size_t>(m)] = DiaryValueText(m, s, u);
}

int DiaryTextWidths::operator()(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  if (end == std::string_view::npos) return 0;
  constexpr int kCopies = 16;
  double sum = 0.0;
  for (std::size_t i = 0; i <= end; ++i) {
    double& a = advance_[static_cast<unsigned char>(text[i])];
    if (a < 0.0) a = tw_(std::string(kCopies, text[i])) / static_cast<double>(kCopies);
    sum += a;
  }
  return static_cast<int>(std::ceil(sum));
}

DiaryWidths DiaryMetricWidths(const DiaryCells& titles, const DiaryCells& units, const DiaryCells& first_row,
                              const DiaryWidths& widest_value,
                              const std::function<int(const std::string&)>& tw) {
  DiaryWidths w{};
  auto title = [&](int m) {
    return std::max(tw(titles[static_cast<std::size_t>(m)]), tw(units[static_cast<std::size_t>(m)]));
  };
  auto cell = [&](int m) { return tw(first_row[static_cast<std::size_t>(m)]); };
  w[kMetricDate] = std::max(title(kMetricDate), cell(kMetricDate)) + 4;
  w[kMetricComment] = -1;
  w[kMetricRemark2] = std::max(title(kMetricRemark2) + 8, 50);
  w[kMetricTime] = std::max(title(kMetricTime), cell(kMetricTime));
  w[kMetricDistance] = std::max(title(kMetricDistance) * 120 / 96, 55);
  for (int m : {kMetricPowerNoZero, kMetricPowerWithZero, kMetricHeartRate, kMetricTemperature,
                kMetricAscent, kMetricWork, kMetricWeight})
    w[static_cast<std::size_t>(m)] = std::max(title(m) + 8, 50);
  w[kMetricKcal] = w[kMetricWork];
  for (int m : {kMetricCadence, kMetricSpeed}) w[static_cast<std::size_t>(m)] = std::max(title(m) + 8, 45);
  w[kMetricNp] = 50;
  w[kMetricTss] = 50;
  w[kMetricIf] = 54;
  // The grid writes a cell's text 2 pixels in; 2 more keep it off the line.
  constexpr int kCellMargins = 4;
  for (int m = 0; m < kDiaryColumns; ++m)
    if (m != kMetricComment && m != kMetricRemark2)
      w[static_cast<std::size_t>(m)] = std::max(w[static_cast<std::size_t>(m)], widest_value[static_cast<std::size_t>(m)] + kCellMargins);
  // Every title and unit whole, also over a list without values (the time
  // column took the bare title's width and cut its last letter).
  for (int m = 0; m < kDiaryColumns; ++m)
    if (m != kMetricComment)
      w[static_cast<std::size_t>(m)] = std::max(w[static_cast<std::size_t>(m)], title(m) + kCellMargins);
  return w;
}

// ---- column order ------------------------------------------------------------

bool DiaryColumnOrderValid(const int32_t* order) {
  if (order[0] != kDiaryOrderMarker) return false;
  bool seen[kDiaryOrderedMetrics + 1] = {};
  for (int c = 1; c <= kDiaryOrderedMetrics; ++c) {
    const int32_t m = order[c];
    if (m < 1 || m > kDiaryOrderedMetrics || seen[m]) return false;
    seen[m] = true;
  }
  return true;
}

void ResetDiaryColumnOrder(int32_t* order) {
  order[0] = kDiaryOrderMarker;
  for (int c = 1; c < kDiaryOrderSize; ++c) order[c] = c <= kDiaryOrderedMetrics ? c : 0;
}

bool BuildDiaryColumnPos(int32_t* order, int32_t* pos) {
  const bool valid = DiaryColumnOrderValid(order);
  if (!valid) ResetDiaryColumnOrder(order);
  for (int m = 0; m < kDiaryOrderSize; ++m) pos[m] = m;
  pos[kMetricDate] = 0;
  for (int c = 1; c <= kDiaryOrderedMetrics; ++c) pos[order[c]] = c;
  return valid;
}

bool MoveDiaryColumn(int32_t* order, int from, int to) {
  if (from < 2 || to < 2 || from > kDiaryOrderedMetrics || to > kDiaryOrderedMetrics) return false;
  if (!DiaryColumnOrderValid(order)) ResetDiaryColumnOrder(order);
  if (from == to) return true;
  const int32_t metric = order[from];
  if (from < to) {
    for (int c = from; c < to; ++c) order[c] = order[c + 1];
  } else {
    for (int c = from; c > to; --c) order[c] = order[c - 1];
  }
  order[to] = metric;
  return true;
}

int DiaryMetricAtColumn(const int32_t* order, int column) {
  if (column <= 0 || column > kDiaryOrderedMetrics) return 0;
  return order[column];
}

// ---- sorting -------------------------------------------------------------------

int DiarySortItemForMetric(int metric) {
  static constexpr int kMap[kDiaryColumns] = {0, 1, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15, 6, 2, 15, 16};
  if (metric < 0 || metric >= kDiaryColumns) return 0;
  return kMap[metric];
}

bool DiaryTitleClicks::Next(int column) {
  if (column != last_column) count = 0;
  last_column = column;
  ++count;
  return (count % 2) == 1;
}

namespace {

// Base letter of a Windows-1252 byte for comparisons without case or
// accent. Letters fold to lower case so that blanks, punctuation and digits
// sort before them, as the system's text comparison has it.
unsigned char BaseLetter(unsigned char c) {
  c = UpperCp1252(c);
  unsigned char base = c;
  if (c >= 0xC0 && c <= 0xC6) base = 'A';
  else if (c == 0xC7) base = 'C';
  else if (c >= 0xC8 && c <= 0xCB) base = 'E';
  else if (c >= 0xCC && c <= 0xCF) base = 'I';
  else if (c == 0xD0) base = 'D';
  else if (c == 0xD1) base = 'N';
  else if ((c >= 0xD2 && c <= 0xD6) || c == 0xD8 || c == 0x8C) base = 'O';
  else if (c >= 0xD9 && c <= 0xDC) base = 'U';
  else if (c == 0xDD || c == 0x9F) base = 'Y';
  else if (c == 0xDE) base = 'T';
  else if (c == 0xDF || c == 0x8A) base = 'S';
  else if (c == 0x8E) base = 'Z';
  if (base >= 'A' && base <= 'Z') base = static_cast<unsigned char>(base + 32);
  return base;
}

// Sort item: value field and the number of decimals its key shows.
struct NumericKey {
  float DiaryStats::*field;
  int decimals;
  bool zero_for_manual;
};

bool NumericItem(int item, NumericKey& key) {
  switch (item) {
    case 4: key = {&DiaryStats::distance, 3, false}; return true;
    case 5: key = {&DiaryStats::power_no_zero, 2, true}; return true;
    case 6: key = {&DiaryStats::power_with_zero, 2, true}; return true;
    case 7: key = {&DiaryStats::heart_rate, 2, false}; return true;
    case 8: key = {&DiaryStats::cadence, 2, true}; return true;
    case 9: key = {&DiaryStats::speed, 2, true}; return true;
    case 10: key = {&DiaryStats::temperature, 2, false}; return true;
    case 11: key = {&DiaryStats::np, 2, true}; return true;
    case 12: key = {&DiaryStats::tss, 2, true}; return true;
    case 13: key = {&DiaryStats::intensity, 3, true}; return true;
    case 14: key = {&DiaryStats::ascent, 1, true}; return true;
    case 15: key = {&DiaryStats::work, 1, true}; return true;
    case 16: key = {&DiaryStats::weight, 1, false}; return true;
    default: return false;
  }
}

// A value rounded as its key text shows it; not-a-number sorts first.
double RoundedKey(double v, int decimals) {
  if (std::isnan(v)) return -HUGE_VAL;
  static constexpr double kScale[] = {1.0, 10.0, 100.0, 1000.0};
  const double scaled = v * kScale[decimals];
  if (!std::isfinite(scaled)) return scaled;
  return std::nearbyint(scaled);
}

// Equal keys: by the text of the list index.
bool IndexTextLess(int a, int b) {
  char ta[16], tb[16];
  const int na = std::snprintf(ta, sizeof ta, "%i", a);
  const int nb = std::snprintf(tb, sizeof tb, "%i", b);
  return std::string_view(ta, static_cast<std::size_t>(na)) < std::string_view(tb, static_cast<std::size_t>(nb));
}

// Text after the second '*' when there is one, else after the first.
std::string_view CommentSortText(std::string_view line, bool& found) {
  const std::size_t first = line.find('*');
  found = first != std::string_view::npos;
  if (!found) return {};
  const std::size_t second = line.find('*', first + 1);
  return line.substr((second != std::string_view::npos ? second : first) + 1);
}

}  // namespace

std::string DiaryCollationKey(std::string_view text) {
  std::string out(text);
  for (char& ch : out) ch = static_cast<char>(BaseLetter(static_cast<unsigned char>(ch)));
  return out;
}

std::vector<int> DiarySortOrder(int item, const std::vector<DiarySortRow>& rows) {
  const int n = static_cast<int>(rows.size());
  std::vector<int> order(static_cast<std::size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  if (item <= 0 || item >= kDiarySortItems) return order;

  if (item == 1 || item == 2) {
    // Text keys as a sorted list box holds them: the padded text, " ÷ " and
    // the list index, compared without case or accents.
    struct Keyed {
      std::string collated, raw;
    };
    std::vector<Keyed> keys(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      std::string_view line = rows[static_cast<std::size_t>(i)].line;
      std::string text;
      if (item == 1) {
        bool found = false;
        std::string_view t = CommentSortText(line, found);
        text = found ? std::string(t) : std::string("___");
        text = Format("%-30s \xF7 %i", text.c_str(), i);
      } else {
        const std::size_t p = line.find(kParagraph);
        text = p != std::string_view::npos ? std::string(line.substr(p + 1)) : std::string("____");
        text = Format("%-12s \xF7 %i", text.c_str(), i);
      }
      keys[static_cast<std::size_t>(i)].collated = DiaryCollationKey(text);
      keys[static_cast<std::size_t>(i)].raw = std::move(text);
    }
    std::sort(order.begin(), order.end(), [&](int a, int b) {
      const Keyed& ka = keys[static_cast<std::size_t>(a)];
      const Keyed& kb = keys[static_cast<std::size_t>(b)];
      if (ka.collated != kb.collated) return ka.collated < kb.collated;
      return ka.raw < kb.raw;
    });
    return order;
  }

  std::vector<double> key(static_cast<std::size_t>(n), 0.0);
  if (item == 3) {
    for (int i = 0; i < n; ++i) {
      const DiaryStats* s = rows[static_cast<std::size_t>(i)].stats;
      key[static_cast<std::size_t>(i)] = s ? static_cast<double>(s->total_time) : 0.0;
    }
  } else {
    NumericKey nk{};
    NumericItem(item, nk);
    for (int i = 0; i < n; ++i) {
      const DiarySortRow& r = rows[static_cast<std::size_t>(i)];
      double v = 0.0;
      if (r.stats && !(nk.zero_for_manual && IsManualEntryKeyLine(r.line))) v = r.stats->*nk.field;
      key[static_cast<std::size_t>(i)] = RoundedKey(v, nk.decimals);
    }
  }
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    const double ka = key[static_cast<std::size_t>(a)], kb = key[static_cast<std::size_t>(b)];
    if (ka != kb) return ka < kb;
    return IndexTextLess(a, b);
  });
  return order;
}

// ---- selections ------------------------------------------------------------------

namespace {
void SetMark(std::vector<uint8_t>& selected, int row, bool on) {
  if (row >= 0 && static_cast<std::size_t>(row) < selected.size()) selected[static_cast<std::size_t>(row)] = on ? 1 : 0;
}
const std::string* LineAt(const TStringList& list, const std::vector<int32_t>& row_line, int pos) {
  if (pos < 0 || static_cast<std::size_t>(pos) >= row_line.size()) return nullptr;
  const int idx = row_line[static_cast<std::size_t>(pos)];
  if (idx < 0 || idx >= list.Count()) return nullptr;
  return &list[idx];
}
}  // namespace

void MarkDiaryByKindAndSpan(const TStringList& list, const std::vector<int32_t>& row_line, int shown,
                            int kind, std::string_view start, std::string_view end,
                            std::vector<uint8_t>& selected) {
  for (int pos = 0; pos < shown; ++pos) {
    const std::string* line = LineAt(list, row_line, pos);
    bool on = false;
    if (line && !start.empty() && !end.empty() && LineSportDigit(*line) == kind) {
      const std::string_view date = std::string_view(*line).substr(0, 8);
      on = date >= start && date <= end;
    }
    SetMark(selected, pos + 2, on);
  }
}

std::string DiaryFindText(std::string_view typed) {
  std::size_t b = 0, e = typed.size();
  while (b < e && static_cast<unsigned char>(typed[b]) < 33) ++b;
  while (e > b && static_cast<unsigned char>(typed[e - 1]) < 33) --e;
  return UpperCp1252(typed.substr(b, e - b));
}

int MarkDiaryFound(const TStringList& list, const std::vector<int32_t>& row_line, int shown,
                   std::string_view text, std::vector<uint8_t>& selected) {
  int marked = 0;
  for (int pos = 0; pos < shown; ++pos) {
    const std::string* line = LineAt(list, row_line, pos);
    const bool on = line && !text.empty() && UpperCp1252(*line).find(text) != std::string::npos;
    SetMark(selected, pos + 2, on);
    marked += on ? 1 : 0;
  }
  return marked;
}

}  // namespace tav
