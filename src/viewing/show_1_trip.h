// TForm30: the single-trip view. Shows the trip in TripSamples as curves over
// time, the statistics of the section the chart shows beside them, and
// opens the heart-rate scan on that section (as a clip file).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/controls.h"

class TForm30 : public tav::TForm {
 public:
  TForm30();
  ~TForm30() override;

  // Language texts (set by the text tables): channel names (0-6), hints of
  // SB_LZ by mode (7-10), hints of SB_S15 by grade window (11-13), climb
  // rate names (14-15), range messages (16-18).
  std::string UiText[19];

  // --- commands ---
  void FormActivate(tav::TControl* sender);
  // Shows the calendar again (in front) when it is visible.
  void SB_KALClick(tav::TControl* sender);
  // Saves the shown section as the clip CLIP2.DEO and opens the heart-rate
  // scan on it.
  void SB_POPUClick(tav::TControl* sender);

  // --- controls ---
  tav::TPanel* P_TOP = nullptr;
  tav::TSpeedButton *SB_FT = nullptr, *SB_ZV = nullptr, *SB_ZI = nullptr, *SB_DD = nullptr,
                    *SB_DT = nullptr, *SB_AW = nullptr, *SB_AT = nullptr, *SB_SO = nullptr,
                    *SB_PP = nullptr, *SB_MI = nullptr, *SB_SR = nullptr, *SB_PR = nullptr,
                    *SB_PA = nullptr, *SB_DA = nullptr, *SB_DB = nullptr, *SB_L = nullptr,
                    *SB_R = nullptr, *SB_TP = nullptr, *SB_IN = nullptr, *SB_GL = nullptr,
                    *SB_CL1 = nullptr, *SB_CL2 = nullptr, *SB_CLV = nullptr,
                    *SB_SET_INT = nullptr, *SB_LZ = nullptr, *SB_POPU = nullptr,
                    *SB_POCP = nullptr, *SB_S15 = nullptr, *SB_KAL = nullptr;
  tav::TSpeedButton *SK_0 = nullptr, *SK_1 = nullptr, *SK_2 = nullptr, *SK_3 = nullptr,
                    *SK_4 = nullptr;
  // Glyph holders of SB_LZ's three modes (never shown).
  tav::TSpeedButton *SB_LZ0 = nullptr, *SB_LZ1 = nullptr, *SB_LZ2 = nullptr;
  // Scaling and smoothing panel.
  tav::TPanel* P_GLA = nullptr;
  tav::TLabel* L_GLA = nullptr;
  tav::TButton *BU_OK = nullptr, *BU_NO = nullptr;
  tav::TPanel* SB_GRUND = nullptr;
  // Statistics of the shown section, one label per line.
  tav::TPanel* P_SUM = nullptr;
  std::vector<tav::TLabel*> L_SUM;
};

extern TForm30* Form30;

namespace tav {
// 1: the view starts with its default channels when it activates.
extern int ApplyDefaultChannels;
}  // namespace tav
