#include "diary/diary_edits.h"

#include <algorithm>
#include <cmath>

#include "core/core_data.h"
#include "core/statistics.h"
#include "core/trip_list.h"
#include "platform/strings.h"
#include "platform/text.h"

namespace tav {

namespace {
constexpr char kRemarkByte = '\xA7';
}  // namespace

// ---- comments ---------------------------------------------------------------

std::string EncodeCommentLines(const std::vector<std::string>& lines, bool cut_at_empty_line) {
  std::size_t end = lines.size();
  if (cut_at_empty_line)
    for (std::size_t i = 1; i < lines.size(); ++i)
      if (lines[i].empty()) {
        end = i;
        break;
      }
  while (end > 0 && lines[end - 1].empty()) --end;
  std::string out;
  for (std::size_t i = 0; i < end; ++i) {
    if (i > 0) out += "|~";
    out += lines[i];
  }
  return out;
}

std::vector<std::string> DecodeCommentLines(std::string_view stored) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < stored.size(); ++i) {
    const char c = stored[i];
    if (c == '|' || c == '~') {
      if (c == '|' && i + 1 < stored.size() && stored[i + 1] == '~') ++i;
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  while (lines.size() > 1 && lines.back().empty()) lines.pop_back();
  if (lines.size() == 1 && lines[0].empty()) lines.clear();
  return lines;
}

std::string CleanTypedComment(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    switch (c) {
      case '|': c = '/'; break;
      case '~': c = '-'; break;
      case kRemarkByte: c = 'S'; break;
      case '*': c = 'x'; break;
      default: break;
    }
  }
  return out;
}

LineCommentParts SplitLineComment(std::string_view line) {
  LineCommentParts parts;
  std::size_t star = line.find('*');
  if (star == std::string_view::npos) return parts;
  parts.has_tail = true;
  std::string_view rest = line.substr(star + 1);
  if (std::size_t further = rest.find('*'); further != std::string_view::npos) rest = rest.substr(further + 1);
  std::string_view comment = rest;
  if (std::size_t sep = rest.find(kSecondRemarkMark); sep != std::string_view::npos) {
    comment = rest.substr(0, sep);
    parts.remark = std::string(rest.substr(sep + kSecondRemarkMark.size()));
  } else if (std::size_t mark = rest.find(kRemarkByte); mark != std::string_view::npos) {
    comment = rest.substr(0, mark);
    parts.remark = std::string(rest.substr(mark + 1));
  }
  parts.lines = DecodeCommentLines(comment);
  return parts;
}

std::string CommentTail(const std::vector<std::string>& lines, std::string_view remark) {
  std::string tail(1, '*');
  tail += EncodeCommentLines(lines, true);
  tail += kSecondRemarkMark;
  tail += remark;
  return tail;
}

std::string LineWithTail(std::string_view line, std::string_view tail, int kind) {
  std::string out(line.substr(0, line.find('*')));
  if (kind >= kFirstManualKind && kind <= kLastManualKind && IsManualLine(out) && out.size() > 15 &&
      out.find(';') > 15)
    out[15] = static_cast<char>('0' + kind);
  return out + std::string(tail);
}

// ---- manual entries -----------------------------------------------------------

std::string ManualEntryKey(const ManualEntry& e, std::string_view rider) {
  return Format("%4i%02i%02i", e.year, e.month, e.day) +
         Format("_%02i%02iNR%1i_", e.hour, e.minute, std::clamp(e.kind, kFirstManualKind, kLastManualKind)) +
         std::string(rider);
}

std::string ManualEntryLine(const ManualEntry& e, std::string_view rider, int slot,
                            const std::vector<std::string>& comment, std::string_view remark) {
  std::string line = ManualEntryKey(e, rider) + Format(";%03i;*", slot) + EncodeCommentLines(comment, false);
  if (!remark.empty()) line += std::string(kSecondRemarkMark) + std::string(remark);
  return line;
}

TripSummary ManualEntrySummary(const ManualEntry& e, int unit_flags) {
  TripSummary s;
  s.TotalTime = std::max(0, e.duration_seconds);
  const double per_km = (unit_flags & kUnitMiles) ? kMilesPerKm : 1.0;
  s.Distance = static_cast<float>(e.distance / per_km);
  s.MeanHeartRate = static_cast<float>(e.heart_rate);
  s.MeanPowerAll = 0.0f;
  s.MeanTemperature =
      static_cast<float>((unit_flags & kUnitFahrenheit) ? (e.temperature - 32.0) * 5.0 / 9.0 : e.temperature);
  // A manual entry keeps its start time of day and its date where a trip
  // keeps its speeds.
  s.MeanSpeed = static_cast<float>(e.start_time - std::floor(e.start_time));
  s.MaxSpeed = static_cast<float>(DateValue(e.year, e.month, e.day));
  return s;
}

double EntryNumber(std::string_view text) {
  const double v = ToDouble(text);
  return std::isfinite(v) && std::fabs(v) < 1e7 ? v : 0.0;
}

// ---- deleting ------------------------------------------------------------------------

DeletedLine DeleteDiaryLine(TStringList& list, int index) {
  DeletedLine d;
  if (index < 0 || index >= list.Count() || IsFreeSlotListLine(list[index])) return d;
  const std::string line = list[index];
  if (!LineHasSemicolon(line)) return d;
  d.slot = LineSlot(line).value_or(-1);
  list.SetSorted(false);
  list.Delete(index);
  d.removed = true;
  if (d.slot < kFirstTripSlot || d.slot > kLastTripSlot) return d;
  for (const std::string& other : list) {
    if (IsFreeSlotListLine(other)) {
      const std::vector<int> free = ParseFreeSlots(other);
      if (std::find(free.begin(), free.end(), d.slot) != free.end()) return d;
    } else if (LineSlot(other) == d.slot) {
      return d;
    }
  }
  ClearTripDistribution(d.slot);
  AddFreeSlot(list, d.slot);
  d.freed = true;
  return d;
}

// ---- joining ---------------------------------------------------------------------------

int JoinTripRecords(TripSample* a, int count1, const TripSample* b, int count2, int interval) {
  if (count1 < 2 || count2 < 2) return count1;
  const TripSample last = a[count1 - 1];
  const float rise = last.Altitude - b[1].Altitude;
  for (int j = 1; j < count2; ++j) {
    TripSample r = b[j];
    // In 64 bits: a damaged trip may end near the largest time its field holds.
    r.Time = static_cast<int32_t>(std::min<long long>(static_cast<long long>(last.Time) + static_cast<long long>(j) * interval, INT32_MAX));
    r.Distance += last.Distance;
    r.Altitude += rise;
    if (j == 1) r.Pause = 55;
    a[count1 + j - 1] = r;
  }
  return count1 + count2 - 1;
}

// ---- heart rate -------------------------------------------------------------------------

bool HeartRateUsable(const TripSample* samples, int count) {
  long long with_hr = 0;
  for (int i = 1; i < count; ++i)
    if (samples[i].HeartRate > 30.0f) ++with_hr;
  return with_hr * 5 > static_cast<long long>(count) * 4;
}

}  // namespace tav
