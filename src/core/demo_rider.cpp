#include "core/demo_rider.h"

namespace tav {
std::vector<TripSample> MakeSyntheticRide(const SyntheticRideOptions&) { return {}; }
void MakeZoneBlock(const TripSample&, float*) {}
bool MakeDemoRider(const std::filesystem::path&, int, DemoRiderSummary*, std::string*) { return false; }
}  // namespace tav
