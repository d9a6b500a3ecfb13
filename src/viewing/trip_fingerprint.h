// A cheap fingerprint of a trip buffer, so a view can tell on activation
// whether the buffer holds a different trip than the one it shows.
#pragma once

#include <cstdint>

#include "core/trip_types.h"

namespace tav {

// Mixes the count and up to 256 records spread over the trip (header, both
// ends included). Equal trips give equal fingerprints.
uint64_t TripFingerprint(const TripSample* trip, int count);

}  // namespace tav
