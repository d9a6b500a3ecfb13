#include "core/trip_database.h"

#include <algorithm>
#include <cmath>

#include "core/bad_copy.h"

#include "core/core_data.h"
#include "core/trip_file.h"
#include "core/trip_types.h"
#include "core/user_words.h"
#include "platform/strings.h"
#include "platform/text.h"

namespace tav {

namespace {
constexpr std::size_t kSummaryOffset = 8;
constexpr std::size_t kZoneOffset = kSummaryOffset + kTripSlots * TripSummary::kBytes;
constexpr std::size_t kDistributionOffset = kZoneOffset + kTripSlots * TripZoneTimes::kBytes;
static_assert(kDistributionOffset + kTripSlots * TripDistribution::kBytes == kDatabaseBytes);
}  // namespace

void ClearTripTables() {
  std::fill(std::begin(TripSummaryTable), std::end(TripSummaryTable), TripSummary{});
  std::fill(std::begin(TripZoneTable), std::end(TripZoneTable), TripZoneTimes{});
  std::fill(std::begin(TripDistributionTable), std::end(TripDistributionTable), TripDistribution{});
}

std::string EncodeTripDatabase() {
  std::string out(kDatabaseBytes, '\0');
  unsigned char* p = reinterpret_cast<unsigned char*>(out.data());
  le::PutI32(p, std::clamp(TripCounter, 0, kTripSlots - 1));
  le::PutI32(p + 4, kDatabaseVersion);
  for (int i = 0; i < kTripSlots; ++i) {
    std::size_t k = static_cast<std::size_t>(i);
    TripSummaryTable[i].Store(p + kSummaryOffset + k * TripSummary::kBytes);
    TripZoneTable[i].Store(p + kZoneOffset + k * TripZoneTimes::kBytes);
    TripDistributionTable[i].Store(p + kDistributionOffset + k * TripDistribution::kBytes);
  }
  return out;
}

namespace {
// A summary whose times are negative or whose values are not all finite
// cannot have been computed: the slot counts as not computed.
bool SummaryUsable(const TripSummary& s) {
  if (s.TotalTime < 0 || s.ClimbTime < 0 || s.PowerTime < 0) return false;
  for (float v : {s.Distance, s.ClimbDistance, s.Ascent, s.MaxAltitude, s.MinAltitude,
                  s.MeanPowerAll, s.MeanPowerNonZero, s.ClimbPower, s.MaxPower, s.NP, s.IF, s.TSS,
                  s.Work, s.MeanHeartRate, s.MaxHeartRate, s.MeanCadence, s.MaxCadence,
                  s.MeanSpeed, s.MaxSpeed, s.MeanTemperature, s.Weight})
    if (!std::isfinite(v)) return false;
  return true;
}

// A valid zone or distribution slot whose counts cannot be (an interval or
// record count no trip has, a negative total time) counts as not computed.
bool ZoneSlotUsable(const TripZoneTimes& z) {
  return z.Mark != kTableMark || (z.SampleInterval >= 1 && z.SampleInterval <= kMaxSampleInterval &&
                                  z.RecordCount >= 0 && z.RecordCount < kMaxTripRecords);
}
bool DistributionSlotUsable(const TripDistribution& d) {
  return d.Mark != kTableMark || d.Data.TotalTime >= 0;
}
}  // namespace

bool DecodeTripDatabase(std::string_view bytes, std::string* error, std::string_view name) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  ClearTripTables();
  TripCounter = 0;
  // The layout is fixed: every slot that lies whole in the file is taken,
  // whatever else is damaged.
  auto whole = [&](std::size_t offset, std::size_t bytesOf) { return offset + bytesOf <= size; };
  int kept = 0, dropped = 0;
  for (int i = 0; i < kTripSlots; ++i) {
    const std::size_t k = static_cast<std::size_t>(i);
    const std::size_t so = kSummaryOffset + k * TripSummary::kBytes;
    if (whole(so, TripSummary::kBytes)) {
      const TripSummary s = TripSummary::Load(p + so);
      if (SummaryUsable(s)) TripSummaryTable[i] = s;
      else ++dropped;
    }
    const std::size_t zo = kZoneOffset + k * TripZoneTimes::kBytes;
    if (whole(zo, TripZoneTimes::kBytes)) {
      TripZoneTable[i] = TripZoneTimes::Load(p + zo);
      if (!ZoneSlotUsable(TripZoneTable[i])) {
        TripZoneTable[i].Mark = 0;
        ++dropped;
      }
    }
    const std::size_t d = kDistributionOffset + k * TripDistribution::kBytes;
    if (whole(d, TripDistribution::kBytes)) {
      TripDistributionTable[i] = TripDistribution::Load(p + d);
      if (!DistributionSlotUsable(TripDistributionTable[i])) {
        TripDistributionTable[i].Mark = 0;
        ++dropped;
      }
      ++kept;
    }
  }
  const int32_t highest = size >= 4 ? le::GetI32(p) : 0;
  TripCounter = (highest >= 0 && highest < kTripSlots) ? highest : 0;

  std::string why;
  if (size < 8) why = "it is too short";
  else if (le::GetI32(p + 4) != kDatabaseVersion) why = "its version word is not 3021";
  else if (highest != TripCounter) why = Format("its highest-slot word %i is no slot", highest);
  else if (size < kDatabaseBytes) why = Format("it is %zu bytes short", kDatabaseBytes - size);
  else if (size > kDatabaseBytes) why = Format("it is %zu bytes too long", size - kDatabaseBytes);
  else if (dropped > 0) why = Format("%i statistics slot(s) hold impossible values", dropped);
  if (why.empty()) return true;
  if (error)
    *error = "The trip database " + (name.empty() ? std::string() : std::string(name) + " ") +
             "is damaged (" + why + ")" +
             (kept == kTripSlots ? std::string("; every slot was read")
                                 : Format("; %i of %i slots were read whole", kept, kTripSlots)) +
             ", what is missing will be computed again.";
  return false;
}

bool LoadTripDatabaseFile(const std::filesystem::path& path, std::string* error) {
  std::error_code ec;
  TripDatabaseChanged = false;
  if (!std::filesystem::exists(path, ec)) {
    ClearTripTables();
    TripCounter = 0;
    return true;
  }
  std::string bytes;
  if (!ReadRegularFile(path, bytes)) {
    KeepUnreadableFile(path);
    ClearTripTables();
    TripCounter = 0;
    if (error) *error = "Cannot read the trip database " + PathText(path) + ".";
    return false;
  }
  std::string why;
  if (DecodeTripDatabase(bytes, &why, PathText(path))) {
    TripDatabaseChanged = false;
    return true;
  }
  // Keep the damaged file as it is; the tables read from it are saved on
  // the next save (on closing at the latest), so the damage is met once.
  TripDatabaseChanged = true;
  const std::filesystem::path bad = KeepBadCopy(path, bytes);
  if (error) {
    *error = why;
    if (!bad.empty()) *error += " The damaged file was kept as " + PathText(bad) + ".";
    else *error += " No .BAD copy of it could be kept, so it will not be written over.";
  }
  return false;
}

bool LoadTripDatabase(std::string* error) {
  return LoadTripDatabaseFile(FsPath(TripDatabasePath), error);
}

bool SaveTripDatabaseFile(const std::filesystem::path& path, std::string* error) {
  if (!MayReplace(path)) {
    if (error) *error = RefusedOverwriteMessage(path);
    return false;
  }
  int err = 0;
  if (!WriteFileAtomically(path, EncodeTripDatabase(), false, &err)) {
    if (error) *error = CannotWriteMessage(path, err);
    return false;
  }
  TripDatabaseChanged = false;
  return true;
}

bool SaveTripDatabase(std::string* error) {
  return SaveTripDatabaseFile(FsPath(TripDatabasePath), error);
}

}  // namespace tav
