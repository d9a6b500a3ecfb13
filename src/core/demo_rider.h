// Synthetic rides and the demo rider: deterministic (seeded) trips with
// power intervals and sprints, heart rate following power with lag and drift,
// cadence, speed from power and grade, altitude with climbs and temperature;
// heart-rate-only rides, runs and manual entries.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/trip_types.h"

namespace tav {

struct SyntheticRideOptions {
  uint32_t Seed = 1;
  int Sport = kSportBikePower;   // kind of sport
  int Interval = 1;              // seconds between records
  int DurationSeconds = 3600;
  float Ftp = 250.0f;            // threshold power [W]
  float ThresholdHr = 170.0f;    // heart-rate threshold
  float RiderMass = 75.0f;       // kg
  float ClimbScale = 1.0f;       // 0 flat, 1 hilly, 2 mountains
  float StartTemperature = 18.0f;
  bool WithPowerMeter = true;    // false: power channel 0 (heart-rate ride)
};

// Records of one ride (record 0 = header with flags 0, threshold, weight,
// heart-rate threshold and kind filled in).
std::vector<TripSample> MakeSyntheticRide(const SyntheticRideOptions& options);

// Standard zone block of a trip for the default rider zones.
void MakeZoneBlock(const TripSample& header, float* zoneBlock);

struct DemoRiderSummary {
  int Trips = 0;
  int ManualEntries = 0;
  int PendingLines = 0;  // lines still marked "PF"
  std::string RiderDir;
};

// Fills `programDir`/DATA with the rider "DEMO": trip files, trip list,
// trip database and a settings file naming DEMO as the current rider.
// `trips` limits the number of trip files (0 = the full set of more than a
// year). Resets the process-wide core data first. Returns false with a
// message when a file cannot be written.
bool MakeDemoRider(const std::filesystem::path& programDir, int trips, DemoRiderSummary* summary,
                   std::string* error);

}  // namespace tav
