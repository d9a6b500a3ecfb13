// make-demo-rider FOLDER [TRIPS]: fills FOLDER/DATA with the demo rider DEMO
// (trip files, trip list, trip database and a settings file naming DEMO).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/core_data.h"
#include "core/demo_rider.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make-demo-rider FOLDER [TRIPS]\n");
    return 2;
  }
  int trips = argc >= 3 ? std::atoi(argv[2]) : 0;
  tav::DemoRiderSummary summary;
  std::string error;
  if (!tav::MakeDemoRider(tav::FsPath(argv[1]), trips, &summary, &error)) {
    std::fprintf(stderr, "make-demo-rider: %s\n", error.c_str());
    return 1;
  }
  std::printf("Demo rider written to %s: %i trips, %i manual entries, %i lines marked PF.\n",
              summary.RiderDir.c_str(), summary.Trips, summary.ManualEntries, summary.PendingLines);
  return 0;
}
