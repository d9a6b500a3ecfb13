// TForm40: the sample table. One row per record of the loaded trip, one
// column per field; saves the loaded trip to its file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/trip_types.h"
#include "platform/controls.h"

namespace tav {
class TStringGrid;
}

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
  void FormClose(tav::TControl* sender, tav::TCloseAction& action);
  // Writes the loaded trip to the file it was read from (CurrentTripPath
  // when the table took the trip); the result shows in L_SAVE. When the
  // current trip path has moved on since (another trip file was opened, or
  // refused, meanwhile), nothing is written. Returns whether the trip was
  // written.
  bool SB_SaveClick(tav::TControl* sender);

  // The records the grid shows (a copy of the trip buffer taken when the
  // window was activated with a different trip); empty for a short trip.
  const std::vector<tav::TripSample>& ShownRecords() const { return records_; }

  // --- controls ---
  tav::TPanel* P_TOP = nullptr;
  tav::TSpeedButton *SB_ED1 = nullptr, *SB_EDN = nullptr, *SB_GLG = nullptr, *SB_MAX = nullptr,
                    *SB_PU_KOR = nullptr, *SB_INT = nullptr, *SB_Save = nullptr;
  tav::TLabel* LED_1 = nullptr;  // weight
  tav::TEdit* ED_1 = nullptr;
  tav::TButton *B_CL_Trip = nullptr, *B_Nein = nullptr;
  tav::TLabel* L_SAVE = nullptr;  // result of the last save
  tav::TStringGrid* SG_DATA = nullptr;

 private:
  void LoadRecords();
  void SetTitles();
  void LayoutControls();
  std::vector<tav::TripSample> records_;
  std::string records_path_;    // CurrentTripPath when the records were taken
  uint64_t taken_at_show_ = 0;  // ShowCalls() then
  uint64_t shown_fingerprint_ = 0;
  bool shown_once_ = false;
  bool select_pending_ = false;
};

extern TForm40* Form40;
