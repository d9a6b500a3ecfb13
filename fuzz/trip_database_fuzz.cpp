// The trip database: a file image decoded into the per-trip tables. What
// it takes must be usable (summaries finite, times not negative), and the
// tables written back read back without complaint.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/core_data.h"
#include "core/trip_database.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tav;
  DecodeTripDatabase(std::string_view(reinterpret_cast<const char*>(data), size));
  FUZZ_CHECK(TripCounter >= 0 && TripCounter < kTripSlots);
  for (int i = 0; i < kTripSlots; ++i) {
    const TripSummary& s = TripSummaryTable[i];
    FUZZ_CHECK(s.TotalTime >= 0);
    FUZZ_CHECK(std::isfinite(s.NP) && std::isfinite(s.TSS) && std::isfinite(s.Distance));
    const TripZoneTimes& z = TripZoneTable[i];
    if (z.Mark == kTableMark) FUZZ_CHECK(z.SampleInterval >= 1 && z.RecordCount >= 0);
    const TripDistribution& d = TripDistributionTable[i];
    if (d.Mark == kTableMark) FUZZ_CHECK(d.Data.TotalTime >= 0);
  }
  // Compared as stored bytes: the reserved words are kept as read, NaN included.
  auto stored = [](const TripSummary& s) {
    unsigned char bytes[TripSummary::kBytes];
    s.Store(bytes);
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
  };
  const int32_t counter = TripCounter;
  const std::string last = stored(TripSummaryTable[kTripSlots - 1]);
  FUZZ_CHECK(DecodeTripDatabase(EncodeTripDatabase()));
  FUZZ_CHECK(TripCounter == counter && stored(TripSummaryTable[kTripSlots - 1]) == last);
  return 0;
}
