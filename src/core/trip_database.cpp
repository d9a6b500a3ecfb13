#include "core/trip_database.h"

#include <algorithm>

#include "core/core_data.h"
#include "core/trip_types.h"
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

bool DecodeTripDatabase(std::string_view bytes, std::string* error) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::string why;
  if (bytes.size() < 8) why = "it is too short";
  else if (le::GetI32(p + 4) != kDatabaseVersion) why = "its version word is not 3021";
  else if (bytes.size() < kDatabaseBytes) why = "it is shorter than its three tables";
  if (!why.empty()) {
    ClearTripTables();
    TripCounter = 0;
    if (error) *error = "The trip database is damaged (" + why + "); its statistics will be "
                        "computed again.";
    return false;
  }
  int32_t highest = le::GetI32(p);
  TripCounter = (highest >= 0 && highest < kTripSlots) ? highest : 0;
  for (int i = 0; i < kTripSlots; ++i) {
    std::size_t k = static_cast<std::size_t>(i);
    TripSummaryTable[i] = TripSummary::Load(p + kSummaryOffset + k * TripSummary::kBytes);
    TripZoneTable[i] = TripZoneTimes::Load(p + kZoneOffset + k * TripZoneTimes::kBytes);
    TripDistributionTable[i] =
        TripDistribution::Load(p + kDistributionOffset + k * TripDistribution::kBytes);
  }
  return true;
}

bool LoadTripDatabaseFile(const std::filesystem::path& path, std::string* error) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    ClearTripTables();
    TripCounter = 0;
    return true;
  }
  std::string bytes;
  if (!ReadRegularFile(path, bytes)) {
    ClearTripTables();
    TripCounter = 0;
    if (error) *error = "Cannot read the trip database " + PathText(path) + ".";
    return false;
  }
  if (DecodeTripDatabase(bytes, error)) return true;
  // Keep the damaged file: the next save writes fresh tables over it.
  std::filesystem::path bad = path;
  bad += ".BAD";
  if (WriteFileAtomically(bad, bytes) && error) *error += " The damaged file was kept as " + PathText(bad) + ".";
  return false;
}

bool LoadTripDatabase(std::string* error) {
  return LoadTripDatabaseFile(FsPath(TripDatabasePath), error);
}

bool SaveTripDatabaseFile(const std::filesystem::path& path, std::string* error) {
  if (!WriteFileAtomically(path, EncodeTripDatabase())) {
    if (error) *error = "Cannot write the trip database " + PathText(path) + ".";
    return false;
  }
  return true;
}

bool SaveTripDatabase(std::string* error) {
  return SaveTripDatabaseFile(FsPath(TripDatabasePath), error);
}

}  // namespace tav
