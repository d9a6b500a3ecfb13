// TForm3: the training diary. A grid over the current
// rider's trip list, one row per trip or manual entry, rebuilt from the list
// on every activation; rows are sorted, searched and marked here and handed
// to the views and analyses from here.
//
// Openers set the window's Tag before they show it: 1 from the main
// window's diary button (rows reset, scrolled to the newest trips, date span
// set to the whole list), 0 from other openers (rows reset), 5 from the
// calendar (rows kept). Every activation ends with Tag 2.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/core_data.h"
#include "core/trip_types.h"
#include "diary/diary_rows.h"
#include "openers/openers.h"
#include "platform/controls.h"
#include "platform/graphics.h"
#include "platform/grid.h"


class TForm3 : public tav::TForm {
 public:
  TForm3();
  ~TForm3() override;

  // ---- Texts (the language tables write them; others only read) ---------
  // 0 caption, 1-9, 12, 18 column titles, 13-17 messages, 19 no comment,
  // 20-26 info lines, 27 select all, 28-30 date-span prompts.
  std::array<std::string, tav::kDiaryUiTexts> UiText;
  // Further texts of the window: the block prompts of the message panel,
  // the please-wait line of the info panel (the update window's text when it
  // has one, see PleaseWait()) and the title of the CSV save dialog.
  std::string SelectBlock1Text = "SELECT BLOCK 1";
  std::string SelectBlock2Text = "SELECT BLOCK 2";
  std::string PleaseWaitText = "Please wait ...";
  std::string CsvDialogTitle = "CSV SCHREIBEN / WRITE CSV";
  // The please-wait text: TForm50::UiText[22] when that is set, else PleaseWaitText.
  std::string PleaseWait() const;

  // ---- Members other windows read (process-wide; a new diary starts them anew) --
  std::string& ViewCaption = tav::ViewCaption;  // "TRIP " + date/time + "   " + comment of the opened row
  int& ScanMode = tav::ScanMode;                // power-duration mode (0 on every activation)
  TTAV_Thread*& Worker = tav::BestPowerJob;     // the block analysis's best-power job
  int Block1Count = 0;
  bool WasActivated = false;  // set by the first activation of the run

  // ---- Grid, layout, painting ------------------------------------------------
  void FormActivate(tav::TControl* sender);
  void FormResize(tav::TControl* sender);
  void DBookColumnMoved(tav::TControl* sender, int from, int to);
  void DBookDrawCell(tav::TControl* sender, tav::TCanvas& canvas, int col, int row,
                     const tav::TRect& rect, tav::TGridDrawState state);
  void DBookTopLeftChanged(tav::TControl* sender);
  // Shows the one of SB_PT, SB_PRS, SB_GD, SB_PP that SB_PT.Tag names.
  void ShowDiaryScanButton();

  // ---- Sorting -------------------------------------------------------------
  void CB_SORTClick(tav::TControl* sender);
  void SB_SOAZClick(tav::TControl* sender);
  void SB_SOZAClick(tav::TControl* sender);
  void SB_SOAZMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void SB_SOZAMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void DBookDblClick(tav::TControl* sender);

  // ---- Marking ---------------------------------------------------------------
  void SB_SEL_ALLClick(tav::TControl* sender);
  void SB_SEL_ALLMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void B_DDIFF_OKClick(tav::TControl* sender);
  void Button2Click(tav::TControl* sender);
  void B_FindClick(tav::TControl* sender);
  void DBookMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void DBookMouseMove(tav::TControl* sender, tav::TShiftState shift, int x, int y);
  void DBookMouseUp(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void FormKeyDown(tav::TControl* sender, tav::WORD& key, tav::TShiftState shift);
  void C_ButtonClick(tav::TControl* sender);

  // ---- Window ------------------------------------------------------------------
  void FormClose(tav::TControl* sender, tav::TCloseAction& action);
  void Memo1DblClick(tav::TControl* sender);
  void P_NOTRIPClick(tav::TControl* sender);

  // ---- Manual entries (panel P_LSD) ----------------------------------------------
  void SB_NO_RIDEClick(tav::TControl* sender);
  void ED_OKClick(tav::TControl* sender);
  void ED_NOClick(tav::TControl* sender);
  void ED_4KeyPress(tav::TControl* sender, char& key);  // also ED_5, ED_6: ',' types '.'
  void ED_4Click(tav::TControl* sender);
  void ED_5Click(tav::TControl* sender);
  void ED_6Click(tav::TControl* sender);
  void IB_1Click(tav::TControl* sender);
  void IB_2Click(tav::TControl* sender);
  void IB_4Click(tav::TControl* sender);
  void IB_6Click(tav::TControl* sender);
  void IB_7Click(tav::TControl* sender);
  // Fills the entry panel from the current row when it is a manual entry.
  void EditManualEntry();

  // ---- Comments (panel DB_TP), deleting, joining -------------------------------------
  void DBookClick(tav::TControl* sender);
  void DB_MemoClick(tav::TControl* sender);  // also E_Bemerk2
  void DB_MemoChange(tav::TControl* sender);
  void SB_CTClick(tav::TControl* sender);
  void SB_CLR_OnlyClick(tav::TControl* sender);
  void SB_B1Click(tav::TControl* sender);
  void SB_B1MouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void SB_TRIP_KILLClick(tav::TControl* sender);
  void SB_TRIP_KILLMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void B_CL_TripClick(tav::TControl* sender);
  void B_NeinClick(tav::TControl* sender);
  void SB_DEO_DEOClick(tav::TControl* sender);

  // ---- Openers of views and analyses ---------------------------------------------------
  void SB_GRAFClick(tav::TControl* sender);
  void SB_DATENClick(tav::TControl* sender);
  void SB_DATENMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void SB_GRA2Click(tav::TControl* sender);
  void SB_AWClick(tav::TControl* sender);
  void ZDP_SBClick(tav::TControl* sender);
  void ZD9MouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void ZD9MouseUp(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void SB_STATClick(tav::TControl* sender);  // also SB_STA0, SB_STA1
  void SB_STATMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void SB_PTClick(tav::TControl* sender);
  // Right press on SB_PT, SB_PP, SB_GD or SB_PRS: the next scan of the shared place.
  void SB_PTMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void SB_PPClick(tav::TControl* sender);
  void SB_GDClick(tav::TControl* sender);
  void SB_PRSClick(tav::TControl* sender);
  // Block analyses: a first click asks for block 1, the next takes it (the
  // power scan starts the best-power worker on it) and asks for block 2,
  // the third opens the window (SB_PA.Tag, SB_STA2.Tag: 0 idle, 1 waiting
  // for block 1, 2 waiting for block 2).
  void SB_PAClick(tav::TControl* sender);
  void SB_STA2Click(tav::TControl* sender);
  void SB_DEO_CSVClick(tav::TControl* sender);
  void SB_COLLECClick(tav::TControl* sender);
  void SB_MAILClick(tav::TControl* sender);

  // ---- Helpers for the commands of the button row -------------------------------
  // List lines the grid shows (the free-slot line excluded).
  int ShownLineCount() const;
  // The list index shown at a display position, or -1.
  int LineIndexAt(int position) const;
  // Unmarks every row, makes SB_SEL_ALL flat and repaints the grid.
  void ClearMarks();
  // The current row shows a list line.
  bool CurrentRowInList() const { return ListRow(DBook->Row()); }
  // After an edit that changed the list: list order, no marks, rebuilt.
  void RebuildAfterEdit();
  // The comment panel holds typed text not yet stored by its OK (SB_CT).
  bool CommentTyped() const { return DB_TP->Visible && SB_CT->Visible; }
  // The message panel at its place with a text (red unless told).
  void ShowMessagePanel(const std::string& text, tav::TColor color);
  void ShowMessagePanel(const std::string& text) { ShowMessagePanel(text, 255); }

  // ---- Controls ------------------------------------------------------------------
  tav::TStringGrid* DBook = nullptr;
  tav::TLabel* Test_W = nullptr;   // hidden; its font is the grid's
  tav::TMemo* Memo1 = nullptr;     // hidden trace of evaluated trips ("neu")
  tav::TListBox* Sort_L = nullptr; // hidden sort list
  tav::TComboBox* CB_SORT = nullptr;
  // Button row.
  tav::TSpeedButton *SB_DATEN = nullptr, *SB_GRAF = nullptr, *SB_GRA2 = nullptr, *SB_AW = nullptr,
                    *SB_STA2 = nullptr, *SB_STAT = nullptr, *SB_PA = nullptr, *SB_MAIL = nullptr,
                    *SB_PT = nullptr, *SB_PP = nullptr, *SB_GD = nullptr, *SB_PRS = nullptr,
                    *SB_DEO_CSV = nullptr, *SB_DEO_DEO = nullptr, *SB_TRIP_KILL = nullptr,
                    *SB_NO_RIDE = nullptr, *SB_SOZA = nullptr, *SB_SOAZ = nullptr,
                    *SB_SEL_ALL = nullptr, *SB_COLLEC = nullptr, *SB_HILFE = nullptr;
  // Hidden glyph holders: kinds of sport and the statistics modes.
  tav::TSpeedButton *SB_SEL0 = nullptr, *SB_SEL1 = nullptr, *SB_SEL2 = nullptr,
                    *SB_STA0 = nullptr, *SB_STA1 = nullptr;
  // Message panel (red, yellow or green).
  tav::TPanel* P_NOTRIP = nullptr;
  // Comment panel.
  tav::TPanel* DB_TP = nullptr;
  tav::TMemo* DB_Memo = nullptr;
  tav::TEdit* E_Bemerk2 = nullptr;
  tav::TLabel* L_Bemerk2 = nullptr;
  tav::TSpeedButton *SB_CT = nullptr, *SB_CLR_Only = nullptr, *SB_B1 = nullptr;
  // Manual-entry panel.
  tav::TPanel* P_LSD = nullptr;
  tav::TDateTimePicker *ED_1 = nullptr, *ED_2 = nullptr, *ED_3 = nullptr;
  tav::TEdit *ED_4 = nullptr, *ED_5 = nullptr, *ED_6 = nullptr;
  tav::TLabel *LED_1 = nullptr, *LED_2 = nullptr, *LED_3 = nullptr, *LED_4 = nullptr,
              *LED_5 = nullptr, *LED_6 = nullptr;
  tav::TRadioButton *RB_01 = nullptr, *RB_02 = nullptr, *RB_03 = nullptr, *RB_04 = nullptr,
                    *RB_05 = nullptr;
  tav::TImage *IB_1 = nullptr, *IB_2 = nullptr, *IB_4 = nullptr, *IB_6 = nullptr, *IB_7 = nullptr;
  tav::TMemo* Memo2 = nullptr;
  tav::TButton *ED_OK = nullptr, *ED_NO = nullptr;
  // Delete confirmation.
  tav::TPanel* P_CT = nullptr;
  tav::TLabel* L_FRAG = nullptr;
  tav::TButton *B_CL_Trip = nullptr, *B_Nein = nullptr;
  // Statistics panel.
  tav::TPanel* ZDP = nullptr;
  tav::TSpeedButton* ZDP_SB = nullptr;
  tav::TLabel *ZD0 = nullptr, *ZD1 = nullptr, *ZD2 = nullptr, *ZD3 = nullptr, *ZD4 = nullptr,
              *ZD5 = nullptr, *ZD6 = nullptr, *ZD7 = nullptr, *ZD8 = nullptr, *ZD9 = nullptr,
              *ZDA = nullptr, *ZDB = nullptr;
  std::array<tav::TLabel*, 12> ZD{};  // the same labels in order ZD0..ZD9, ZDA, ZDB
  // Info panel.
  tav::TPanel* Info_Panel = nullptr;
  tav::TLabel *L_Info1 = nullptr, *L_Info2 = nullptr, *L_Info3 = nullptr;
  tav::TButton* C_Button = nullptr;
  tav::TProgressBar* PB_Info = nullptr;  // progress of a long activation
  // Find panel.
  tav::TPanel* P_FIND = nullptr;
  tav::TLabel* L_Find = nullptr;
  tav::TButton* C_Find = nullptr;  // closes the panel
  tav::TEdit* E_Find = nullptr;
  tav::TButton* B_Find = nullptr;
  // Date-span panel.
  tav::TPanel* P_DateDiff = nullptr;
  tav::TDateTimePicker *DP_Start = nullptr, *DP_End = nullptr;
  tav::TButton *B_DDIFF_OK = nullptr, *Button2 = nullptr;
  // The calendar's picture after a missed day click, and its timer.
  tav::TPaintBox* PB_Miss = nullptr;
  tav::TTimer* T_Miss = nullptr;
  tav::TSaveDialog SaveDialog1;

  // ---- Calendar support (SelectDiaryDay / SelectDiaryDays) ---------------------
  // Shows the calendar's picture for 2000 ms over the grid, then closes the
  // window; without a picture the window closes at once.
  void ShowMissPicture(const tav::TBitmap* picture, int x, int y);
  void CancelMissPicture();
  bool MissPicturePending() const { return T_Miss->Enabled(); }
  // Misses counted while the calendar lends no counter of its own.
  int& MissCounter() { return miss_counter_; }

 private:
  void CreateControls();
  void WireCommands();  // handlers of the edits and openers (diary_commands)
  void LayoutButtonRow();
  void FitCommentColumn();
  using TextMeasure = std::function<int(const std::string&)>;
  void RebuildRows(int shown, const tav::DiaryUnits& units, const TextMeasure& tw, double& total);
  bool EvaluateRowIfDue(int position, int line_index, const tav::DiarySlotField& slot_field);
  int CountDueRows(int shown) const;
  void SetBusy(bool on);
  void SortRows(int item, bool ascending);
  void MarkRows(int from_row, int to_row, bool on);
  bool ListRow(int row) const;  // a grid row that shows a list line

  bool first_resize_ = true;
  bool activating_ = false;
  tav::DiaryTitleClicks title_clicks_;
  tav::DiaryWidths widest_{};  // widest value text of each metric in the last rebuild
  int wait_done_ = 0;
  bool wait_shown_ = false;
  std::vector<std::pair<tav::TControl*, bool>> busy_saved_;
  tav::TBitmap miss_picture_;
  int miss_counter_ = 0;  // misses without a calendar picture hook

  // Edits in progress. Each remembers its list line (index and text), so it
  // writes where it was opened even when the grid was rebuilt meanwhile.
  struct EditedLine {
    int index = -1;
    std::string text;
    int row = -1;  // grid row
  };
  int FindEditedLine(const EditedLine& e) const;  // its list index now, or -1
  int RowOfLine(int index) const;                 // the grid row showing a list line, or -1
  void PlaceCommentPanel(int row);                // below the row when it fits, else above
  // An activation that keeps a comment being typed: the panel follows its
  // line to the row that shows it now; a line gone drops the panel.
  void KeepTypedComment();
  // The panels, marks and block analysis of another rider's list end
  // unstored when the diary shows a new rider.
  void DropEditsOfOtherRider();
  // A rebuild that moved or removed the line the delete confirmation asks
  // about closes the confirmation: its Yes deletes nothing else.
  void CheckDeleteConfirmation();
  EditedLine comment_;                // the comment panel's row
  EditedLine entry_;                  // the manual entry being edited
  int entry_slot_ = 0;
  std::string entry_remark_;          // its second remark, kept through the edit
  EditedLine kill_;                   // the line the delete confirmation asks about
  std::string shown_rider_;           // the rider whose list the last activation showed
  // Helpers of the openers.
  int CollectMarked(int kind, bool unmark);     // SelectedTrips := marked lines (kind -1: all)
  bool CollectOrCurrent();                      // the same, else the current row's line
  bool LoadCurrentTrip();                       // LoadDiaryTrip of the current row
  void TellTripRefusal();                       // DiaryTripRefusal in the message panel
  std::string RowCaption(int row) const;        // "TRIP " + date + "   " + comment
  void BlockClick(tav::TSpeedButton* button, bool power);
  void TakeBlock1(bool power);
  void PlaceStatisticsPanel(int kind);
  void StoreManualEntry();
};

extern TForm3* Form3;

namespace tav {

// ---- Diary state shared with the calendar, the analyses and the exports ------
// Display position -> trip-list index (sized to the grid's rows).
extern std::vector<int32_t> DiaryRowLine;
// Per grid row: 1 = marked.
extern std::vector<uint8_t> DiaryRowSelected;
// Per display position: the row's statistics slot (1..999), and the same for
// recorded trips only; 0 elsewhere.
extern std::vector<int32_t> DiaryRowSlot;
extern std::vector<int32_t> DiaryRowPowerSlot;
// Grid column of each metric (index = metric number).
extern int32_t DiaryColumnPos[kDiaryOrderSize];
extern int DiarySorted;     // rows in a keyed order
extern int DiarySortItem;   // sort item of the last sort (0 list order)
// Date span of the select-by-kind button: yyyymmdd texts, and as shown.
extern std::string DiaryRangeStart, DiaryRangeEnd, DiaryRangeText;
extern int DiaryRangeClickState;  // 0 idle, 1 first click due, 2 second due, 3 done
extern bool DiaryDragActive;
extern int DiaryDragRow;          // -100 when idle
extern int DiaryClickCol, DiaryClickRow;
// Results of the diary's trip loaders.
extern int DiaryTripSlot, DiaryCompareSlot;
extern std::string LoadedTripCaption;
// The mail button sends marked trips only while this is set (off at start).
extern int32_t DiaryMailEnabled;


// Colours of the message panel P_NOTRIP: messages, block 1 asked, block 2 asked.
inline constexpr TColor kDiaryPanelRed = 255, kDiaryPanelYellow = 65535, kDiaryPanelGreen = 65280;

// Sets a speed button's flat state (flat = not selected) and repaints it.
void SetFlat(TSpeedButton* b, bool flat);
// The current rider's first power zone value (threshold), 0 when none.
float RiderFirstZoneValue();
// A loaded trip's header threshold of 0 becomes the rider's first zone
// value, or 100 when that is 0 too.
void FixThreshold(TripSample& header);
// The 500 records after a loaded trip get distance 0 (never past the buffer).
void ZeroDistancesAfter(TripSample* samples, int count);

// The statistics of a slot as the diary shows them (slot within 1..999).
DiaryStats DiaryStatsOfSlot(int slot);

// Loads the trip of a display position into TripSamples; false for manual
// entries, lines without slot, unreadable files and trips under 60 records.
// A line comment is copied into a trip file that has no note yet.
bool LoadDiaryTrip(TForm3* form, int position);
// Loads the trip of the current row into TripSamples2 (no note handling).
bool LoadDiaryCompareTrip(TForm3* form);
// Why the last of these two loaders loaded no trip, for the user: the trip
// file and the reason. Empty after a load, and for manual entries and
// lines without a trip file (there is nothing to open).
std::string DiaryTripRefusal();
// The info panel: 0 hides it; 1-6 the text sets of the diary's operations.
void ShowDiaryInfo(TForm3* form, int n);
// Calendar: marks the rows of a day (or of seven days from date) and shows
// the diary scrolled to the first of them; without a match the diary closes.
void SelectDiaryDay(TForm3* form, double date);
void SelectDiaryDays(TForm3* form, double date);

}  // namespace tav
