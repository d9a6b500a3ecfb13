// TForm1: the main window. Owns the current rider's trip list and the
// selection lists the diary and the analyses share, holds the buttons that
// open every other part of the program, and runs start-up and shut-down.
#pragma once

#include <string>
#include <vector>

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "core/core_data.h"
#include "core/trip_list.h"
#include "platform/controls.h"

namespace tav {
// The command-line argument without surrounding blanks and quotes.
std::string StripArgumentQuotes(std::string_view arg);
// Puts the paths of the existing trip files of TForm1::SelectedTrips into
// the main window's memo Z_INFO and the mail form's file list, and shows the
// mail form modally in send mode (Tag 20).
void ListTripFiles();
}  // namespace tav

// The main window's picture area: a gradient with the program's name.
class TMainPicture : public tav::TControl {
 public:
  TMainPicture() : tav::TControl(tav::TControlKind::PaintBox) {}
  bool CustomDrawn() const override { return true; }
  void Paint(tav::TCanvas& canvas) override;
  std::string Title;     // big text
  std::string Subtitle;  // smaller text below
  std::string Detail;    // rider and trips
  std::string Message;   // a note shown at the bottom (e.g. why the calendar did not open)
  // The least width and height that show every text whole.
  int NeededWidth() const;
  int NeededHeight() const;
};

class TForm1 : public tav::TForm {
 public:
  TForm1();
  ~TForm1() override;

  // --- the rider's trips and the selections the other windows share ---
  // (The lists are the core's process-wide ones, published here.)
  tav::TStringList& TripList = tav::TripList;            // last line "ERASED :..."
  tav::TStringList& SelectedTrips = tav::SelectedTrips;  // picked in the diary or the evaluation
  tav::TStringList*& ScanList = tav::ScanList;           // what the analyses walk
  bool& TripListChanged = tav::TripListChanged;

  // Language-dependent messages (written by the text tables).
  std::string MsgText[36];

  // Chooses the statistics slot for a new trip-list line (CurrentTripSlot).
  int NextTripNumber();
  // Saves the trip list and the trip database; clears TripListChanged.
  void SaveTripList();
  // Refreshes the rider label from the current rider.
  void ShowRiderLabel();

  // --- commands ---
  void FormActivate(tav::TControl* sender);
  void FormClose(tav::TControl* sender, tav::TCloseAction& action);
  // Esc closes the language or the rider panel as its own closing does.
  void FormKeyDown(tav::TControl* sender, tav::WORD& key, tav::TShiftState shift);
  void SB_DBClick(tav::TControl* sender);
  void SB_KALClick(tav::TControl* sender);
  void SB_CAL_NEWClick(tav::TControl* sender);
  void SB_G6Click(tav::TControl* sender);
  void SB_DEF_MAILClick();
  void SB_DEOClick(tav::TControl* sender);      // trip CSV export via the diary
  void SB_TO_COLClick(tav::TControl* sender);   // collection via the diary
  void SB_DEO_DEOClick(tav::TControl* sender);  // join two trips via the diary
  void SB_LanguageClick(tav::TControl* sender);
  void SB_UserClick(tav::TControl* sender);
  void CB_LGChange(tav::TControl* sender);
  void CB_RiderChange(tav::TControl* sender);

  // Re-reads the rider names from the sub-folders of DATA into CB_Rider.
  void RebuildRiderList();
  // Makes the named rider current: saves the old rider's list and the
  // settings, sets the paths and loads the new rider's trip list and database.
  // False (nothing changed) when the name is unusable or the rider table is full.
  bool ChooseRider(const std::string& name);
  // Creates the folder of a new rider (name upper-cased) and chooses it.
  bool CreateRider(const std::string& name);
  // Shows a short note under the picture.
  void ShowPictureMessage(const std::string& text);

  // --- controls ---
  // Tool bar.
  tav::TPanel* P_TOP = nullptr;
  tav::TSpeedButton *SB_User = nullptr, *SB_DB = nullptr, *SB_D1 = nullptr, *SB_Service = nullptr,
                    *SB_Language = nullptr, *SB_Help = nullptr, *SB_U_DATA = nullptr,
                    *SB_DATA = nullptr, *SB_DATA_PC = nullptr, *SB_KAL = nullptr,
                    *SB_SETTIME = nullptr, *SB_KILLTRIP = nullptr, *SB_UPDATE = nullptr,
                    *SB_DEO = nullptr, *SB_CSV = nullptr, *SB_DR = nullptr, *SB_DB_CSV = nullptr,
                    *SB_TO_COL = nullptr, *SB_DEO_DB = nullptr, *SB_DEO_DEO = nullptr,
                    *SB_RESETCOM = nullptr, *SB_CAL_NEW = nullptr, *SB_G6 = nullptr,
                    *SB_DEF_MAIL = nullptr, *SB_SET_COL = nullptr, *SB_GLS = nullptr;
  // Rider line.
  tav::TLabel* L_Rider = nullptr;
  tav::TComboBox* CB_Rider = nullptr;
  // Picture, info memo, wait panel.
  TMainPicture* PB = nullptr;
  tav::TMemo* Z_INFO = nullptr;
  tav::TPanel* P_Wait = nullptr;
  tav::TSpeedButton* SB_BRE2 = nullptr;
  // Language panel.
  tav::TPanel* P_SPR_WAHL = nullptr;
  tav::TLabel* L_Language = nullptr;
  tav::TComboBox* CB_LG = nullptr;
  // Rider panel.
  tav::TPanel* P_RIDER = nullptr;
  tav::TLabel *L_RiderChoice = nullptr, *L_NewRider = nullptr;
  tav::TListBox* LB_Riders = nullptr;
  tav::TEdit* E_NewRider = nullptr;
  tav::TButton *B_NewRider = nullptr, *B_RiderClose = nullptr;
  // Rider and device settings panel (captions kept for the text tables).
  tav::TPanel* P_SET = nullptr;
  tav::TLabel *LUS_1 = nullptr, *LUS_2 = nullptr, *LED_1 = nullptr, *LED_2 = nullptr,
              *LED_5 = nullptr, *LED_6 = nullptr, *LRB_2 = nullptr, *LRB_3 = nullptr,
              *LRB_4 = nullptr, *LRB_5 = nullptr, *LRB_7 = nullptr, *LRB_8 = nullptr,
              *LRB_9 = nullptr, *LRB_10 = nullptr, *L_GLS = nullptr, *L_ABS = nullptr;
  tav::TButton *GLS_NOT_OK = nullptr, *ED_OK = nullptr, *ED_NO = nullptr, *B_CL_Trip = nullptr,
               *B_Nein = nullptr;
  tav::TComboBox* RB_9 = nullptr;      // heart-rate damping, 5 items
  tav::TComboBox* CB_Color = nullptr;  // display element whose colour is edited, 16 items
  tav::TTimer* Timer1 = nullptr;

 private:
  void InitMessages();
  void CreateControls();
  void LayoutControls();
  void ApplyOwnCaptions();
  void StartUp();
  void ReportProblems(const std::vector<std::string>& problems);
  void OpenCommandLineTrip();
  void Report(const std::string& text);
  std::vector<tav::TGroupBox*> group_boxes_;
};

extern TForm1* Form1;
