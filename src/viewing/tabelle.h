// TForm40: the sample table. One row per record of the loaded trip, one
// column per field; saves the loaded trip to its file.
#pragma once

#include <string>

#include "platform/controls.h"

class TForm40 : public tav::TForm {
 public:
  TForm40();
  ~TForm40() override;

  // Language texts: column titles (0-9), range prompt (10), save (11),
  // delete (12), threshold power and heart-rate titles (13-14).
  std::string UiText[15];
  // The cell selected and shown when the window opens (row 1 = record 1).
  int SelRow = 2;
  int SelCol = 0;

  void FormActivate(tav::TControl* sender);
  // Writes the loaded trip to CurrentTripPath; the result shows in L_SAVE.
  void SB_SaveClick(tav::TControl* sender);

  // --- controls ---
  tav::TPanel* P_TOP = nullptr;
  tav::TSpeedButton *SB_ED1 = nullptr, *SB_EDN = nullptr, *SB_GLG = nullptr, *SB_MAX = nullptr,
                    *SB_PU_KOR = nullptr, *SB_INT = nullptr, *SB_Save = nullptr;
  tav::TLabel* LED_1 = nullptr;  // weight
  tav::TEdit* ED_1 = nullptr;
  tav::TButton *B_CL_Trip = nullptr, *B_Nein = nullptr;
  tav::TLabel* L_SAVE = nullptr;  // result of the last save
};

extern TForm40* Form40;
