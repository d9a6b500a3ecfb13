// TForm31: the two-trip comparison. Curves of the trips in TripSamples and
// TripSamples2 over time on one chart: power on the left axis, heart rate
// (and cadence and speed when chosen) on the right.
//
// The opener loads the two trips, sets the titles and shows the window; the
// window then takes copies of both trips. Coming back to it later draws
// those copies under their titles, whatever other windows (or a trip file
// that failed to load) have left in the buffers since.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <array>
#include <cstdint>
#include <string>

#include "core/trip_types.h"
#include "platform/controls.h"

namespace tav {
class TChart;
}

class TForm31 : public tav::TForm {
 public:
  TForm31();
  ~TForm31() override;

  // Titles of the two trips (set by the opener before it shows the window).
  std::string Trip1Title;
  std::string Trip2Title;

  void FormActivate(tav::TControl* sender);

  // Which channel pairs are drawn: power, heart rate, cadence, speed.
  enum Pair : int { kPairPower = 0, kPairHeartRate = 1, kPairCadence = 2, kPairSpeed = 3 };
  bool PairShown(int pair) const { return pair >= 0 && pair < 4 && pairs_[static_cast<std::size_t>(pair)]; }
  // False while either trip is too short to show.
  bool Showing2() const { return showing_; }

  // --- controls ---
  tav::TPanel* P_TOP = nullptr;
  tav::TSpeedButton *SB_FT = nullptr, *SB_ZI = nullptr, *SB_ZV = nullptr, *SB_DD = nullptr,
                    *SB_DT = nullptr, *SB_AW = nullptr, *SB_AT = nullptr, *SB_PA = nullptr,
                    *SB_SO = nullptr, *SB_L = nullptr, *SB_R = nullptr, *SB_PP = nullptr,
                    *SB_HR = nullptr, *SB_RM = nullptr, *SB_SP = nullptr, *SB_SR = nullptr,
                    *SB_TP = nullptr, *SB_F1 = nullptr, *SB_F2 = nullptr, *SB_ST = nullptr;
  tav::TSpeedButton *SK_0 = nullptr, *SK_1 = nullptr, *SK_2 = nullptr, *SK_3 = nullptr,
                    *SK_4 = nullptr;
  // Title labels of trip 1 and trip 2.
  tav::TLabel *ZK1 = nullptr, *ZK21 = nullptr;
  // Scaling and smoothing panel.
  tav::TPanel* P_GLA = nullptr;
  tav::TLabel* L_GLA = nullptr;
  tav::TButton *BU_OK = nullptr, *BU_NO = nullptr;
  tav::TChart* CH_CMP = nullptr;
  tav::TLabel* L_EMPTY = nullptr;

 private:
  void LayoutControls();
  void Rebuild();
  // The right axis title along the plot's height: every channel with its
  // unit, in a smaller font, then with shortened names, so none is cut.
  void FitRightTitle();
  std::vector<std::pair<std::string, std::string>> right_parts_;  // channel, unit
  std::array<bool, 4> pairs_{true, true, false, false};
  // The two trips shown, as the opener left them in the buffers.
  std::vector<tav::TripSample> trip1_, trip2_;
  uint64_t taken_at_show_ = 0;  // ShowCalls() when they were taken
  uint64_t shown_fingerprint_ = 0;
  std::array<std::string, 2> shown_titles_;  // Trip1Title, Trip2Title drawn
  bool loaded_once_ = false;
  bool showing_ = false;
};

extern TForm31* Form31;
