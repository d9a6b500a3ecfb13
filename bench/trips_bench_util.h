// Trip files for the benchmarks that read many listed trips: n trips of
// 7200 one-second records in a temporary rider folder, listed in the
// selection list (ScanList).
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/core_data.h"
#include "core/demo_rider.h"
#include "core/trip_file.h"
#include "platform/text.h"

namespace tav::bench {

struct ListedTrips {
  std::filesystem::path dir;
  explicit ListedTrips(int n) {
    ResetCoreData();
    dir = std::filesystem::temp_directory_path() / ("tavlog_listed_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    DerivePaths(PathText(dir));
    CurrentRiderName = "BENCH";
    DeriveRiderPaths();
    std::filesystem::create_directories(FsPath(RiderDir));
    SyntheticRideOptions o;
    o.DurationSeconds = 7199;
    const std::vector<TripSample> ride = MakeSyntheticRide(o);
    float zone[kZoneBlockWords] = {kZoneBlockMark, 140, 190, 225, 260, 300, 375};
    const std::string bytes =
        EncodeDeoBytes(ride.data(), static_cast<int>(ride.size()), zone, ScaleMax, "", false, nullptr);
    SelectedTrips.Clear();
    for (int k = 0; k < n; ++k) {
      const std::string key = Format("20%02i%02i%02i_101500%i_TAV", 10 + k / 336, 1 + k / 28 % 12, 1 + k % 28, 0);
      WriteFileAtomically(FsPath(JoinPath(RiderDir, key + ".DEO")), bytes);
      SelectedTrips.Add(Format("%s;%03i;*BIKE POWER", key.c_str(), k + 1));
    }
    ScanList = &SelectedTrips;
  }
  ~ListedTrips() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    ResetCoreData();
  }
};

}  // namespace tav::bench
