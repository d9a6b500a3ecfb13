// The rider the diary and calendar benchmarks work on: a full list of 999
// lines over three years (trips of the three kinds and some manual
// entries) with computed statistics.
#pragma once

#include <string>
#include <vector>

#include "core/core_data.h"
#include "platform/text.h"

namespace tav {

inline void FillRider999() {
  ResetCoreData();
  CurrentRiderName = "BENCH";
  std::vector<std::string> lines;
  lines.reserve(1000);
  for (int k = 0; k < 999; ++k) {
    const int slot = k + 1;
    const int y = 2010 + k / 336, m = 1 + (k / 28) % 12, d = 1 + k % 28;
    if (k % 17 == 5) {
      lines.push_back(Format("%04i%02i%02i_1930NR%i_BENCH;%03i;*gym|~\xA7" "core", y, m, d, 3 + k % 5, slot));
    } else {
      lines.push_back(Format("%04i%02i%02i_%02i1500%i_TAV;%03i;*BIKE POWER ride %i", y, m, d, 7 + k % 11, k % 3,
                             slot, k));
    }
    TripSummary& s = TripSummaryTable[slot];
    s.TotalTime = 1800 + (k * 37) % 9000;
    s.Distance = 10.0f + static_cast<float>((k * 13) % 150);
    s.MeanPowerNonZero = 150.0f + static_cast<float>((k * 7) % 120);
    s.MeanPowerAll = s.MeanPowerNonZero - 15.0f;
    s.MeanHeartRate = 120.0f + static_cast<float>(k % 40);
    s.MeanCadence = 85.0f;
    s.MeanSpeed = 28.5f;
    s.MeanTemperature = static_cast<float>(k % 35) - 5.0f;
    s.NP = s.MeanPowerNonZero + 12.0f;
    s.IF = 0.75f;
    s.TSS = 80.0f;
    s.Ascent = static_cast<float>((k * 31) % 2000);
    s.Work = 1500.0f;
    s.Weight = 72.0f;
    TripDistributionTable[slot].Mark = kTableMark;
  }
  lines.push_back("ERASED :");
  TripList.Assign(lines);
}

}  // namespace tav
