#include "analysis/evaluation_model.h"

#include <algorithm>
#include <cmath>

#include "core/statistics.h"
#include "core/trip_date_text.h"
#include "core/trip_list.h"
#include "platform/text.h"

namespace tav {

EvaluationLine ReadEvaluationLine(std::string_view line) {
  EvaluationLine l;
  l.slot = LineTableSlot(line).value_or(-1);
  l.manual = IsManualLine(line);
  l.sport = LineSportDigit(line);
  return l;
}

std::string EvaluationPointLabel(std::string_view line) {
  return FormatTripDateTime(line).substr(0, 11);
}

// ---------------------------------------------------------------------------
// Summary
// ---------------------------------------------------------------------------

SelectionSums SumSelection(const std::vector<std::string>& lines, int first, int end,
                           TripSummary* table) {
  SelectionSums s;
  end = std::min(end, static_cast<int>(lines.size()));
  for (int i = std::max(first, 0); i < end; ++i) {
    const EvaluationLine l = ReadEvaluationLine(lines[static_cast<std::size_t>(i)]);
    if (l.slot < 0) continue;
    TripSummary& t = table[l.slot];
    const double T = t.TotalTime;
    s.distance += t.Distance;
    s.time += t.TotalTime;
    if (t.MeanHeartRate != 0) {
      s.hrSum += T * t.MeanHeartRate;
      s.hrWeight += T;
    }
    if (l.manual) continue;
    if (t.NP > kImplausibleNP) {
      t.NP = t.TSS = t.IF = 0;
      ++s.npResets;
    }
    s.climbDistance += t.ClimbDistance;
    s.ascent += t.Ascent;
    s.climbTime += t.ClimbTime;
    s.tss += t.TSS;
    s.work += t.Work;
    s.weight += T;
    s.powerAll += T * t.MeanPowerAll;
    s.powerNonZero += T * t.MeanPowerNonZero;
    s.climbPower += T * t.ClimbPower;
    s.np += T * t.NP;
    s.intensity += T * t.IF;
    s.cadence += T * t.MeanCadence;
    s.speed += T * t.MeanSpeed;
    s.maxPower = std::max<double>(s.maxPower, t.MaxPower);
    s.maxHeartRate = std::max<double>(s.maxHeartRate, t.MaxHeartRate);
    s.maxCadence = std::max<double>(s.maxCadence, t.MaxCadence);
    s.maxSpeed = std::max<double>(s.maxSpeed, t.MaxSpeed);
  }
  return s;
}

namespace {

// "label = distance  time-label = hh:mm:ss", with three hour digits from 100 h.
std::string DistanceTimeRow(const std::string& lab, double distance, const std::string& timeLabel,
                            int64_t seconds) {
  const int64_t h = std::clamp<int64_t>(seconds / 3600, -99, 999999);
  const int m = static_cast<int>(seconds % 3600 / 60), sec = static_cast<int>(seconds % 60);
  return Format(h >= 100 ? "%-28.28s=%8.1f  %13.13s =%3i:%02i:%02i"
                         : "%-28.28s=%8.1f  %13.13s = %02i:%02i:%02i",
                lab.c_str(), distance, timeLabel.c_str(), static_cast<int>(h), m, sec);
}

// A title and a right-aligned label in 27 columns, as "%-13.13s%14.14s"
// prints them; a title longer than 13 columns ("Velocidad[km/h]") takes the
// label's free room instead of losing its end, so the '=' column stays.
std::string TitleAndLabel(const std::string& title, const std::string& label) {
  constexpr std::size_t kTitle = 13, kWidth = 27;
  if (title.size() <= kTitle) return Format("%-13.13s%14.14s", title.c_str(), label.c_str());
  const std::string right = label.substr(0, kWidth - kTitle);
  const std::string left = title.substr(0, kWidth - 1 - right.size());
  return left + std::string(kWidth - left.size() - right.size(), ' ') + right;
}

}  // namespace

SummaryRows FormatSummaryRows(const SelectionSums& s, int lineCount, int sport, int unitFlags,
                              float climbGrade, const LabelTexts& L, const EvaluationTexts& U) {
  const bool miles = (unitFlags & kUnitMiles) != 0;
  const double sf = miles ? kMilesPerKm : 1.0;
  const double af = miles ? kFeetPerMetre : 1.0;
  const char* distUnit = miles ? " [miles]" : " [km]";
  const char* speedUnit = miles ? "[mph]" : "[km/h]";
  auto c = [](const std::string& t) { return t.c_str(); };

  SummaryRows r;
  auto& t = r.text;
  t[0] = Format("%s  =%4i", c(sport == kSportRun ? U[9] : U[5]), lineCount);
  t[1] = DistanceTimeRow(L[7] + distUnit, s.distance * sf, L[0], s.time);
  t[2] = Format("NP\x99[Watt]                   =%8.1f           IF\x99  = %8.3f", s.Mean(s.np),
                s.Mean(s.intensity));
  t[3] = Format("                                                TSS\x99 = %8.0f", s.tss);
  t[4] = Format("Power %-21.21s =%8.1f /%6.1f   max  = %8.0f", "(INC 0 W/ EXC 0 W)", s.Mean(s.powerAll),
                s.Mean(s.powerNonZero), s.maxPower);
  t[5] = Format("%s =%8.1f           max  = %8.0f", c(TitleAndLabel(U[6] + speedUnit, L[6])),
                s.Mean(s.speed) * sf, s.maxSpeed * sf);
  t[6] = Format("RPM       %17.17s =%8.1f           max  = %8.0f", c(L[6]), s.Mean(s.cadence), s.maxCadence);
  t[7] = Format("%-10.10s%17.17s =%8.1f           max  = %8.0f", c(L[5]), c(L[6]), s.MeanHeartRate(),
                s.maxHeartRate);
  t[8] = Format("%-28.28s=%8.0f         [kcal] = %8.0f", c(L[4] + " [kJoule]"), s.work,
                s.work * 0.2398 * 4.5);
  t[9] = Format("%-28.28s=%8.0f", c(L[2] + (miles ? " [ft]" : " [m]")), s.ascent * af);
  const std::string climb = Format("%s > %4.2f%%", c(U[4]), static_cast<double>(climbGrade));
  t[10] = sport == kSportBikePower
              ? Format("%-36.36s  Power(EXC 0 W) = %8.1f", c(climb), s.Mean(s.climbPower))
              : Format("%-36.36s", c(climb));
  t[11] = DistanceTimeRow(L[1] + distUnit, s.climbDistance * sf, L[0], s.climbTime);
  const double climbSpeed = s.climbTime >= 1 ? s.climbDistance * sf / static_cast<double>(s.climbTime) * 3600 : 0.0;
  t[12] = Format("%s =%8.1f", c(TitleAndLabel(U[6] + speedUnit, L[6])), climbSpeed);

  r.visible.fill(true);
  r.visible[2] = r.visible[3] = r.visible[4] = sport == kSportBikePower;
  r.visible[6] = sport == kSportBikePower || sport == kSportBikeHeartRate;
  return r;
}

// ---------------------------------------------------------------------------
// Trends
// ---------------------------------------------------------------------------

double PerWeightDivisor(double weightKg, double weightFactor) {
  const double d = weightKg * weightFactor;
  return std::isfinite(d) && d > 0 ? d : 1.0;
}

TrendSeries BuildTrend(TrendKind kind, const std::vector<std::string>& lines, int first, int end,
                       const TripSummary* summaries, const TripDistribution* distributions,
                       const TrendOptions& o) {
  TrendSeries out;
  end = std::min(end, static_cast<int>(lines.size()));
  for (auto& s : out) s.reserve(static_cast<std::size_t>(std::max(0, end - first)));
  const double d = o.divisor;
  for (int i = std::max(first, 0); i < end; ++i) {
    const std::string& line = lines[static_cast<std::size_t>(i)];
    const EvaluationLine l = ReadEvaluationLine(line);
    if (l.slot < 0) continue;
    const double x = i - first;
    const TripSummary& t = summaries[l.slot];
    const std::string label = EvaluationPointLabel(line);
    auto put = [&](int k, double y, const std::string& lab) { out[static_cast<std::size_t>(k)].push_back({x, y, lab}); };
    switch (kind) {
      case TrendKind::Power:
        if (l.manual) {
          for (int k = 0; k < 4; ++k) put(k, 0, {});
        } else {
          put(0, t.NP / d, label);
          put(1, t.ClimbPower / d, label);
          put(2, t.MeanPowerNonZero / d, label);
          put(3, t.MeanPowerAll / d, label);
        }
        break;
      case TrendKind::NpHeartRate:
        put(1, t.MeanHeartRate, label);
        put(0, l.manual ? 0.0 : t.NP, label);
        put(2, l.manual ? 0.0 : t.TSS, label);
        put(3, l.manual ? 0.0 : t.IF, label);
        break;
      case TrendKind::Distance:
        put(0, t.Distance * o.speedFactor, label);
        if (l.manual) {
          for (int k = 1; k < 4; ++k) put(k, 0, {});
        } else {
          put(1, t.ClimbDistance * o.speedFactor, label);
          put(2, t.MeanSpeed * o.speedFactor, label);
          put(3, t.Ascent * o.altitudeFactor, label);
        }
        break;
      case TrendKind::Peaks:
        if (l.manual) break;
        for (int k = 0; k < 4; ++k) put(k, static_cast<float>(distributions[l.slot].Data.Peaks[k]) / d, label);
        break;
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// Time in zones
// ---------------------------------------------------------------------------

RiderZoneRows CurrentRiderZoneRows() {
  RiderZoneRows r;
  const auto& src = RiderZones[std::clamp<int>(CurrentRider, 0, kRiderCount - 1)];
  for (int row = 0; row < kZoneRows; ++row)
    std::copy(src[row], src[row] + kZoneRowValues, r.rows[row]);
  return r;
}

LineZoneChoice ChooseLineZones(int lineSport, int selector) {
  LineZoneChoice c;
  c.zoneSet = lineSport >= kSportBikePower && lineSport <= kSportRun ? lineSport : kSportBikePower;
  if (c.zoneSet == kSportBikePower && selector == kSportBikeHeartRate) {
    c.zoneSet = kSportBikeHeartRate;
    c.heartRateOverride = true;
  }
  return c;
}

TripZoneTimes TripZoneTimesOf(const TripFileData& trip, const LineZoneChoice& choice,
                              const RiderZoneRows& zones, float (&zoneBlock)[kZoneBlockWords]) {
  if (choice.heartRateOverride)
    BuildHeartRateZoneBlock(trip.Samples.empty() ? TripSample{} : trip.Samples[0], zones.rows, zoneBlock);
  else
    ZoneBlockOfTrip(trip, zones.rows, zoneBlock);
  const int channel = choice.zoneSet == kSportBikePower ? kZoneChannelPower : kZoneChannelHeartRate;
  TripZoneTimes z = CountZoneTimes(trip.Samples.data(), trip.Count(), trip.Interval(), zoneBlock, channel);
  z.ZoneSet = static_cast<uint8_t>(choice.zoneSet);
  return z;
}

ZoneShares StackZoneShares(const TripZoneTimes& times, int zoneCount) {
  ZoneShares r;
  const double total = static_cast<double>(times.RecordCount) * times.SampleInterval;
  if (!(total > 0)) return r;
  const int n = std::clamp(zoneCount, 1, 10);
  double c = 0;
  for (int z = 0; z < n; ++z) {
    const double before = c;
    c += times.Seconds[z] * 100.0 / total;
    r.cumulative[static_cast<std::size_t>(z)] = c;
    r.share[static_cast<std::size_t>(z)] = static_cast<float>(c - before);
  }
  return r;
}

int OverviewItemOfLine(const std::vector<std::string>& lines, int line) {
  if (line < 0 || line >= static_cast<int>(lines.size())) return -1;
  auto item = [](const std::string& l) { return LineHasSemicolon(l) && !IsManualLine(l); };
  if (!item(lines[static_cast<std::size_t>(line)])) return -1;
  return static_cast<int>(std::count_if(lines.begin(), lines.begin() + line, item));
}

}  // namespace tav
