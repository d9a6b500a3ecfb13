// Clip files: a clip read into the second trip buffer is whole and its
// records are samples; a refused clip leaves the buffer alone.
#include <cstdint>
#include <string_view>

#include "core/core_data.h"
#include "core/trip_file.h"
#include "fuzz_check.h"
#include "viewing/clip_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tav;
  TripSamples2[1].Time = 12345;
  const ClipReadResult r =
      DecodeClip(std::string_view(reinterpret_cast<const char*>(data), size), TripSamples2,
                 kTripBufferRecords);
  if (!r.ok) {
    FUZZ_CHECK(TripSamples2[1].Time == 12345);
    return 0;
  }
  FUZZ_CHECK(r.records >= 1 && r.records < kTripBufferRecords);
  FUZZ_CHECK(r.text.size() <= kClipTextBytes);
  for (int i = 2; i < r.records; ++i) FUZZ_CHECK(PlausibleSample(TripSamples2[i], TripSamples2[i - 1]));
  return 0;
}
