// TForm3's commands: the manual-entry panel, the comment panel, deleting and
// joining rows, and the buttons that open the views, analyses, exports and
// the mail form. The computations behind them are in diary_edits and
// diary_export.
#include <algorithm>
#include <cmath>
#include <memory>

#include "core/bad_copy.h"
#include "core/core_data.h"
#include "core/statistics.h"
#include "core/trip_catalog.h"
#include "core/trip_file.h"
#include "core/trip_list.h"
#include "core/user_words.h"
#include "diary/diary_edits.h"
#include "diary/diary_export.h"
#include "diary/diary_window.h"
#include "diary/kind_picture.h"
#include "mail/mail_settings.h"
#include "openers/openers.h"
#include "platform/canvas.h"
#include "platform/datetime.h"
#include "platform/graphics.h"
#include "platform/text.h"

using tav::KindPicture;
using tav::TControl;

namespace {

using tav::kDiaryPanelGreen;
using tav::kDiaryPanelRed;
using tav::kDiaryPanelYellow;
constexpr const char* kBlock2Line = "BLOCK2";

// The integer seconds of a time-of-day or duration picker.
int PickerSeconds(const tav::TDateTimePicker* p) {
  int h = 0, m = 0, s = 0, ms = 0;
  tav::DecodeTime(p->DateTime, h, m, s, ms);
  return h * 3600 + m * 60 + s;
}

void RemoveTrailingBlanks(std::string& s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
}

std::vector<std::string> CleanLines(const tav::TStringList& lines) {
  std::vector<std::string> out;
  for (const std::string& l : lines) out.push_back(tav::CleanTypedComment(l));
  return out;
}

void ShowError(const std::string& text) { tav::Application().MessageBox(text, "tavlog", tav::MB_OK | tav::MB_ICONWARNING); }

// The trip CSV or the collection with no trip marked.
std::string NothingMarkedText() {
  using namespace tav::literals;
  return tav::Words("Keine Fahrt markiert: bitte zuerst Fahrten markieren.",
                    "No trip is marked: please mark trips first.",
                    "Ningún recorrido marcado: marque primero los recorridos."_w);
}

// A manual entry that could not be stored, and why.
std::string EntryNotStoredText(const std::string& why) {
  using namespace tav::literals;
  return tav::Words("Der Eintrag wurde nicht gespeichert: "_w + why +
                        " Die Eingaben bleiben stehen; bitte noch einmal versuchen.",
                    "The entry was not stored: " + why + " What you typed stays here; please try again.",
                    "La entrada no se guardó: "_w + why + " Lo escrito se conserva; vuelva a intentarlo."_w);
}

}  // namespace

// ===========================================================================
// Wiring
// ===========================================================================

void TForm3::WireCommands() {
  using namespace tav;
  using Click = void (TForm3::*)(TControl*);
  using Press = void (TForm3::*)(TControl*, TMouseButton, TShiftState, int, int);
  auto on_click = [this](TControl* c, Click h) { c->OnClick = [this, h](TControl* s) { (this->*h)(s); }; };
  auto on_press = [this](TControl* c, Press h) {
    c->OnMouseDown = [this, h](TControl* s, TMouseButton b, TShiftState sh, int x, int y) { (this->*h)(s, b, sh, x, y); };
  };

  // Manual entries.
  on_click(SB_NO_RIDE, &TForm3::SB_NO_RIDEClick);
  on_click(ED_OK, &TForm3::ED_OKClick);
  on_click(ED_NO, &TForm3::ED_NOClick);
  on_click(ED_4, &TForm3::ED_4Click);
  on_click(ED_5, &TForm3::ED_5Click);
  on_click(ED_6, &TForm3::ED_6Click);
  for (TEdit* e : {ED_4, ED_5, ED_6}) e->OnKeyPress = [this](TControl* s, char& k) { ED_4KeyPress(s, k); };
  on_click(IB_1, &TForm3::IB_1Click);
  on_click(IB_2, &TForm3::IB_2Click);
  on_click(IB_4, &TForm3::IB_4Click);
  on_click(IB_6, &TForm3::IB_6Click);
  on_click(IB_7, &TForm3::IB_7Click);
  const int kinds[5] = {3, 4, 5, 6, 7};
  TImage* const pictures[5] = {IB_2, IB_4, IB_1, IB_6, IB_7};
  for (int k = 0; k < 5; ++k) {
    pictures[k]->SetPicture(*KindPicture(kinds[k]));
    pictures[k]->Center = true;
  }

  // Comments, deleting, joining.
  on_click(DBook, &TForm3::DBookClick);
  on_click(DB_Memo, &TForm3::DB_MemoClick);
  on_click(E_Bemerk2, &TForm3::DB_MemoClick);
  DB_Memo->OnChange = [this](TControl* s) { DB_MemoChange(s); };
  E_Bemerk2->OnChange = [this](TControl* s) { DB_MemoChange(s); };
  on_click(SB_CT, &TForm3::SB_CTClick);
  on_click(SB_CLR_Only, &TForm3::SB_CLR_OnlyClick);
  on_click(SB_B1, &TForm3::SB_B1Click);
  on_press(SB_B1, &TForm3::SB_B1MouseDown);
  on_click(SB_TRIP_KILL, &TForm3::SB_TRIP_KILLClick);
  on_press(SB_TRIP_KILL, &TForm3::SB_TRIP_KILLMouseDown);
  on_click(B_CL_Trip, &TForm3::B_CL_TripClick);
  on_click(B_Nein, &TForm3::B_NeinClick);
  on_click(SB_DEO_DEO, &TForm3::SB_DEO_DEOClick);
  // The delete button follows the current row.
  DBook->OnSelectCell = [this](TControl*, int, int row, bool& can_select) {
    if (can_select) SB_TRIP_KILL->Enabled = ListRow(row);
  };

  // Openers.
  on_click(SB_GRAF, &TForm3::SB_GRAFClick);
  on_click(SB_DATEN, &TForm3::SB_DATENClick);
  on_press(SB_DATEN, &TForm3::SB_DATENMouseDown);
  on_click(SB_GRA2, &TForm3::SB_GRA2Click);
  on_click(SB_AW, &TForm3::SB_AWClick);
  on_click(ZDP_SB, &TForm3::ZDP_SBClick);
  on_press(ZD9, &TForm3::ZD9MouseDown);
  ZD9->OnMouseUp = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) { ZD9MouseUp(s, b, sh, x, y); };
  for (TSpeedButton* b : {SB_STAT, SB_STA0, SB_STA1}) on_click(b, &TForm3::SB_STATClick);
  on_press(SB_STAT, &TForm3::SB_STATMouseDown);
  on_click(SB_PT, &TForm3::SB_PTClick);
  on_click(SB_PP, &TForm3::SB_PPClick);
  on_click(SB_GD, &TForm3::SB_GDClick);
  on_click(SB_PRS, &TForm3::SB_PRSClick);
  for (TSpeedButton* b : {SB_PT, SB_PP, SB_GD, SB_PRS}) on_press(b, &TForm3::SB_PTMouseDown);
  on_click(SB_PA, &TForm3::SB_PAClick);
  on_click(SB_STA2, &TForm3::SB_STA2Click);
  on_click(SB_DEO_CSV, &TForm3::SB_DEO_CSVClick);
  on_click(SB_COLLEC, &TForm3::SB_COLLECClick);
  on_click(SB_MAIL, &TForm3::SB_MAILClick);

  // The statistics lines are columns of fixed-width text.
  for (TLabel* l : ZD) {
    l->Font.Name = "DejaVu Sans Mono";
    l->Font.FixedPitch = true;
  }
}

// ===========================================================================
// Shared helpers
// ===========================================================================

void TForm3::ShowMessagePanel(const std::string& text, tav::TColor color) {
  P_NOTRIP->Caption = text;
  P_NOTRIP->Color = color;
  P_NOTRIP->Width = std::max(200, tav::Application().Backend().TextExtent(P_NOTRIP->Font, text).X + 40);
  P_NOTRIP->Left = 3;
  P_NOTRIP->Top = 3;
  P_NOTRIP->Show();
  P_NOTRIP->BringToFront();
}

void TForm3::RebuildAfterEdit() {
  for (std::size_t r = 0; r < tav::DiaryRowLine.size(); ++r) tav::DiaryRowLine[r] = static_cast<int32_t>(r);
  tav::DiarySorted = 0;
  tav::DiarySortItem = 0;
  ClearMarks();
  FormActivate(this);
}

int TForm3::FindEditedLine(const EditedLine& e) const {
  if (e.index >= 0 && e.index < tav::TripList.Count() && tav::TripList[e.index] == e.text) return e.index;
  return e.text.empty() ? -1 : tav::TripList.IndexOf(e.text);
}

int TForm3::RowOfLine(int index) const {
  if (index < 0) return -1;
  const int shown = ShownLineCount();
  for (int i = 0; i < shown; ++i)
    if (LineIndexAt(i) == index) return i + 2;
  return -1;
}

void TForm3::PlaceCommentPanel(int row) {
  const tav::TRect cell = DBook->CellRect(0, row);
  if (cell.Width() == 0) return;  // the row is out of view: the panel stays where it is
  int top = DBook->Top + cell.Bottom + 2;
  if (top + DB_TP->Height + 5 > DBook->Top + DBook->Height) top = DBook->Top + cell.Top - DB_TP->Height - 2;
  DB_TP->Top = std::max(0, top);
}

void TForm3::KeepTypedComment() {
  const int idx = FindEditedLine(comment_);
  const int row = RowOfLine(idx);
  if (row < 0) {  // its line is gone: nothing it could be stored into
    SB_CLR_OnlyClick(this);
    return;
  }
  comment_.index = idx;
  if (row != comment_.row) {
    comment_.row = row;
    PlaceCommentPanel(row);
  }
  DB_TP->BringToFront();
}

void TForm3::DropEditsOfOtherRider() {
  if (DB_TP->Visible) SB_CLR_OnlyClick(this);
  comment_ = {};
  if (P_LSD->Visible || !SB_NO_RIDE->Flat) ED_NOClick(this);
  SB_NO_RIDE->Tag = 0;
  entry_ = {};
  entry_slot_ = 0;
  entry_remark_.clear();
  if (P_CT->Visible) B_NeinClick(this);
  kill_ = {};
  if (ZDP->Visible) ZDP_SBClick(this);
  // A block analysis waiting for its next block: the old rider's block 1
  // has left the selection list.
  P_NOTRIPClick(this);
  Block1Count = 0;
  // The marks of the old rows go; a calendar day's marks are the new rider's.
  if (Tag != 5) ClearMarks();
}

std::string TForm3::RowCaption(int row) const { return "TRIP " + DBook->Cell(0, row) + "   " + DBook->Cell(1, row); }

bool TForm3::LoadCurrentTrip() { return tav::LoadDiaryTrip(this, DBook->Row() - 2); }

void TForm3::TellTripRefusal() {
  if (const std::string why = tav::DiaryTripRefusal(); !why.empty()) ShowMessagePanel(why);
}

int TForm3::CollectMarked(int kind, bool unmark) {
  tav::SelectedTrips.Clear();
  const int shown = ShownLineCount();
  for (int i = 0; i < shown; ++i) {
    const std::size_t row = static_cast<std::size_t>(i) + 2;
    if (row >= tav::DiaryRowSelected.size()) break;
    if (!tav::DiaryRowSelected[row]) continue;
    if (unmark) tav::DiaryRowSelected[row] = 0;
    const int idx = LineIndexAt(i);
    if (idx < 0) continue;
    const std::string& line = tav::TripList[idx];
    if (line.size() < 16 || (kind >= 0 && tav::LineSportDigit(line) != kind)) continue;
    tav::SelectedTrips.Add(line);
  }
  return tav::SelectedTrips.Count();
}

bool TForm3::CollectOrCurrent() {
  if (CollectMarked(-1, false) == 0 && CurrentRowInList()) {
    const int idx = LineIndexAt(DBook->Row() - 2);
    if (idx >= 0 && tav::TripList[idx].size() >= 16) tav::SelectedTrips.Add(tav::TripList[idx]);
  }
  return tav::SelectedTrips.Count() > 0;
}

// ===========================================================================
// Manual entries
// ===========================================================================

void TForm3::SB_NO_RIDEClick(TControl*) {
  tav::SetFlat(SB_NO_RIDE, !SB_NO_RIDE->Flat);
  if (SB_NO_RIDE->Flat) {
    P_LSD->Hide();
    return;
  }
  DB_TP->Hide();
  Memo2->Clear();
  SB_NO_RIDE->Tag = 0;
  entry_ = {};
  entry_slot_ = 0;
  entry_remark_.clear();
  const tav::TDateTime now = tav::Now();
  ED_1->DateTime = now;
  ED_2->DateTime = now;
  ED_3->DateTime = 0.0;
  for (tav::TEdit* e : {ED_4, ED_5, ED_6}) e->Text = std::string(1, ' ');
  P_LSD->Top = 80;
  P_LSD->Left = ClientWidth() - P_LSD->Width - 30;
  P_LSD->Show();
  P_LSD->BringToFront();
  RB_01->SetChecked(true);
}

void TForm3::ED_NOClick(TControl*) {
  P_LSD->Hide();
  tav::SetFlat(SB_NO_RIDE, true);
}

void TForm3::ED_4KeyPress(TControl*, char& key) {
  if (key == ',') key = '.';
}

void TForm3::ED_4Click(TControl*) { ED_4->SelectAll(); }
void TForm3::ED_5Click(TControl*) { ED_5->SelectAll(); }
void TForm3::ED_6Click(TControl*) { ED_6->SelectAll(); }
void TForm3::IB_2Click(TControl*) { RB_01->SetChecked(true); }
void TForm3::IB_4Click(TControl*) { RB_02->SetChecked(true); }
void TForm3::IB_1Click(TControl*) { RB_03->SetChecked(true); }
void TForm3::IB_6Click(TControl*) { RB_04->SetChecked(true); }
void TForm3::IB_7Click(TControl*) { RB_05->SetChecked(true); }

void TForm3::EditManualEntry() {
  using namespace tav;
  const int row = DBook->Row();
  const int idx = ListRow(row) ? LineIndexAt(row - 2) : -1;
  const std::string line = idx >= 0 ? TripList[idx] : std::string();
  const int slot = LineSlot(line).value_or(0);
  if (idx < 0 || !IsManualEntryKeyLine(line) || slot == 0) {
    P_LSD->Hide();
    SetFlat(SB_NO_RIDE, true);
    return;
  }
  TRadioButton* const radios[5] = {RB_01, RB_02, RB_03, RB_04, RB_05};
  const int kind = LineSportDigit(line);
  if (kind >= kFirstManualKind && kind <= kLastManualKind) radios[kind - kFirstManualKind]->SetChecked(true);
  const LineCommentParts parts = SplitLineComment(line);
  Memo2->Lines.Assign(parts.lines);
  entry_remark_ = parts.remark;
  if (ManualValuesUnknown(line)) {
    for (TEdit* ed : {ED_4, ED_5, ED_6}) ed->Text = std::string(1, ' ');
    ED_3->DateTime = 0.0;
  } else if (IsTableSlot(slot)) {
    const TripSummary& s = TripSummaryTable[slot];
    const DiaryUnits units = DiaryUnits::FromFlags(UnitFlags);
    ED_4->Text = Format("%8.3f", s.Distance * units.speed);
    ED_6->Text = Format("%8.1f", units.fahrenheit ? s.MeanTemperature * 1.8 + 32.0 : s.MeanTemperature);
    ED_5->Text = Format("%8.1f", s.MeanHeartRate);
    ED_3->DateTime = std::clamp(s.TotalTime, 0, kSecondsPerDay - 1) / static_cast<double>(kSecondsPerDay);
  }
  // Date and start time come from the key: the stored values are floats,
  // too coarse for the minute.
  int y = 0, m = 0, d = 0, h = 0, mi = 0, sec = 0;
  if (LineDate(line, y, m, d)) ED_1->DateTime = DateValue(y, m, d);
  if (LineTime(line, h, mi, sec)) ED_2->DateTime = std::floor(ED_1->DateTime) + EncodeTime(h, mi, 0);
  SB_NO_RIDE->Tag = 1;
  entry_ = {idx, line, row};
  entry_slot_ = slot;
}

void TForm3::ED_OKClick(TControl*) { StoreManualEntry(); }

void TForm3::StoreManualEntry() {
  using namespace tav;
  ManualEntry e;
  DecodeDate(ED_1->DateTime, e.year, e.month, e.day);
  int sec = 0, ms = 0;
  DecodeTime(ED_2->DateTime, e.hour, e.minute, sec, ms);
  e.start_time = ED_2->Time();
  e.kind = kFirstManualKind;
  TRadioButton* const radios[5] = {RB_01, RB_02, RB_03, RB_04, RB_05};
  for (int k = 0; k < 5; ++k)
    if (radios[k]->Checked) e.kind = kFirstManualKind + k;
  e.duration_seconds = PickerSeconds(ED_3);
  e.distance = std::max(0.0, EntryNumber(ED_4->Text));
  e.heart_rate = std::max(0.0, EntryNumber(ED_5->Text));
  e.temperature = EntryNumber(ED_6->Text);

  // An edit keeps the slot of the entry it edits; a new entry takes a free
  // one. The entry is saved at once, line and values together (a reused
  // slot starts empty); when that fails nothing is stored and what was
  // typed stays in the panel to try again.
  const int edited = SB_NO_RIDE->Tag != 0 ? FindEditedLine(entry_) : -1;
  const std::string remark = edited >= 0 ? entry_remark_ : std::string();
  const std::vector<std::string> comment = CleanLines(Memo2->Lines);
  const StoredLine stored = StoreGivenLine(
      TripList, edited, edited >= 0 ? entry_slot_ : -1,
      [&](int slot) { return ManualEntryLine(e, CurrentRiderName, slot, comment, remark); },
      ManualEntrySummary(e, UnitFlags));
  if (!stored.stored) {
    ShowError(EntryNotStoredText(stored.message));
    return;
  }
  if (!stored.message.empty()) ShowError(stored.message);
  const int added = stored.index;

  SetFlat(SB_NO_RIDE, true);
  SB_NO_RIDE->Tag = 0;
  entry_ = {};
  P_LSD->Hide();
  BuildTripDateIndex();
  RebuildAfterEdit();
  // The stored entry is the current row, in view.
  DBook->SetRow(added + 2);
  SB_TRIP_KILL->Enabled = CurrentRowInList();
}

// ===========================================================================
// Comments
// ===========================================================================

void TForm3::DBookClick(TControl*) {
  using namespace tav;
  if (P_NOTRIP->Visible && P_NOTRIP->Color == kDiaryPanelRed) P_NOTRIP->Hide();
  if (ZDP->Visible) ZDP_SBClick(this);
  const int row = DBook->Row();
  SB_TRIP_KILL->Enabled = ListRow(row);
  if (!SB_NO_RIDE->Flat) {
    DB_TP->Hide();
    // A click below the list keeps the manual-entry panel and what was typed.
    if (!ListRow(row)) return;
    EditManualEntry();
    return;
  }
  const int idx = ListRow(row) ? LineIndexAt(row - 2) : -1;
  if (idx < 0) {
    DB_TP->Hide();
    return;
  }
  const std::string& line = TripList[idx];
  const int slot = LineSlot(line).value_or(kNoSlot);
  CurrentTripSlot = DiarySlotInRange(slot) ? slot : kNoSlot;
  comment_ = {idx, line, row};
  PlaceCommentPanel(row);

  const LineCommentParts parts = SplitLineComment(line);
  E_Bemerk2->Text = parts.remark;
  DB_Memo->Lines.Assign(parts.lines);

  if (DB_TP->Tag != 0) {
    DB_TP->Hide();
    return;
  }
  DB_TP->Show();
  DB_TP->BringToFront();
  // A comment the trip filing wrote is selected whole: the first typing replaces it.
  if (DB_Memo->Text().find("BIKE") != std::string::npos) DB_Memo->SelectAll();
  DB_Memo->SetFocus();
  SB_CT->Hide();
  SB_CLR_Only->Top = 4;
  const int kind = LineSportDigit(line);
  SB_B1->Glyph = KindPicture(kind);
  SB_B1->Tag = kind;
  SetFlat(SB_B1, true);
}

void TForm3::DB_MemoClick(TControl* sender) {
  DBook->Enabled = false;
  DB_MemoChange(sender);
}

void TForm3::DB_MemoChange(TControl*) {
  SB_CT->Top = 4;
  SB_CT->Show();
  SB_CLR_Only->Top = 28;
}

void TForm3::SB_B1Click(TControl* sender) { DB_MemoChange(sender); }

void TForm3::SB_B1MouseDown(TControl* sender, tav::TMouseButton button, tav::TShiftState, int, int) {
  if (button == tav::TMouseButton::mbLeft || SB_B1->Tag < tav::kFirstManualKind) return;
  SB_B1->Tag = SB_B1->Tag >= tav::kLastManualKind ? tav::kFirstManualKind : SB_B1->Tag + 1;
  SB_B1->Glyph = KindPicture(SB_B1->Tag);
  SB_B1->Invalidate();
  DB_MemoChange(sender);  // the new kind is stored with the comment
}

void TForm3::SB_CTClick(TControl*) {
  using namespace tav;
  const int idx = FindEditedLine(comment_);
  if (idx >= 0) {
    const std::string tail = CommentTail(CleanLines(DB_Memo->Lines), CleanTypedComment(E_Bemerk2->Text));
    TripList[idx] = LineWithTail(TripList[idx], tail, SB_B1->Tag);
    TripListChanged = true;
    TripNote = tail;
    TripNotePresent = true;
    comment_.index = idx;
    comment_.text = TripList[idx];
    const int row = comment_.row;  // kept up to date by every rebuild (KeepTypedComment)
    if (ListRow(row) && LineIndexAt(row - 2) == idx) {
      const int c1 = DiaryColumnPos[kMetricComment], c15 = DiaryColumnPos[kMetricRemark2];
      if (c1 >= 0 && c1 < kDiaryColumns) DBook->Cells(c1, row) = DiaryCommentText(comment_.text, UiText[19]);
      if (c15 >= 0 && c15 < kDiaryColumns) DBook->Cells(c15, row) = DiarySecondRemarkText(comment_.text);
      // The trip file's note follows the comment (a file longer or shorter
      // than its count says is left alone, as the note copy leaves it). The
      // loader may have copied the new comment in already, and an OK that
      // changed nothing leaves the file as it is: it is written only when
      // its bytes change.
      if (LoadDiaryTrip(this, row - 2) && TripFileExact(FsPath(CurrentTripPath))) {
        TripNote = tail;
        TripNotePresent = true;
        std::string error;
        if (!WriteDeoFileIfChanged(FsPath(CurrentTripPath), &error)) ShowError(error);
      }
    }
  }
  SB_CLR_OnlyClick(this);
  BuildTripDateIndex();
}

void TForm3::SB_CLR_OnlyClick(TControl*) {
  SB_CT->Hide();
  SB_CLR_Only->Top = 4;
  DB_TP->Hide();
  DBook->Enabled = true;
  tav::SetFlat(SB_B1, true);
}

// ===========================================================================
// Deleting
// ===========================================================================

void TForm3::SB_TRIP_KILLClick(TControl*) {
  const int row = DBook->Row();
  if (!ListRow(row)) return;
  const int visible = DBook->Height / (DBook->DefaultRowHeight() + 1) - DBook->FixedRows();
  if (row < DBook->TopRow()) DBook->SetTopRow(row);
  else if (row >= DBook->TopRow() + visible) DBook->SetTopRow(row - visible + 5);
  ClearMarks();
  const tav::TRect cell = DBook->CellRect(0, row);
  int top = DBook->Top + cell.Bottom + 2;
  if (top + P_CT->Height + 5 > DBook->Top + DBook->Height) top = DBook->Top + cell.Top - P_CT->Height - 2;
  P_CT->Top = std::max(0, top);
  P_CT->Left = DBook->Left + std::min(DBook->ColWidth(0), std::max(0, ClientWidth() - P_CT->Width - 10));
  DB_TP->Hide();
  DBook->Enabled = false;
  const int idx = LineIndexAt(row - 2);
  kill_ = {idx, idx >= 0 ? tav::TripList[idx] : std::string(), row};
  P_CT->Show();
  P_CT->BringToFront();
}

void TForm3::SB_TRIP_KILLMouseDown(TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int, int) {
  if (button == tav::TMouseButton::mbRight && (shift & tav::ssShift) && (shift & tav::ssLeft)) B_CL_TripClick(sender);
}

void TForm3::B_NeinClick(TControl*) {
  P_CT->Hide();
  DBook->Enabled = true;
  kill_ = {};
}

void TForm3::CheckDeleteConfirmation() {
  if (!P_CT->Visible) return;
  const int idx = FindEditedLine(kill_);
  if (idx < 0 || RowOfLine(idx) != kill_.row) B_NeinClick(this);
}

void TForm3::B_CL_TripClick(TControl*) {
  // The confirmed line (never one that took its row since), else the
  // current row's (the direct delete of the button's right press).
  const bool asked = P_CT->Visible && kill_.row >= 0;
  const int asked_idx = asked ? FindEditedLine(kill_) : -1;
  const int row = DBook->Row();
  B_NeinClick(this);
  const int idx = asked ? asked_idx : ListRow(row) ? LineIndexAt(row - 2) : -1;
  if (idx < 0 || !tav::DeleteDiaryLine(tav::TripList, idx).removed) {
    FormActivate(this);
    return;
  }
  tav::TripListChanged = true;
  tav::BuildTripDateIndex();
  RebuildAfterEdit();
}

// ===========================================================================
// Joining
// ===========================================================================

void TForm3::SB_DEO_DEOClick(TControl*) {
  using namespace tav;
  tav::CloseHelp();
  if (!CurrentRowInList()) return;
  DB_TP->Hide();
  int rows[2] = {-1, -1}, found = 0;
  const int shown = ShownLineCount();
  for (int i = 0; i < shown && found < 2; ++i)
    if (static_cast<std::size_t>(i) + 2 < DiaryRowSelected.size() && DiaryRowSelected[static_cast<std::size_t>(i) + 2])
      rows[found++] = i + 2;
  if (found < 2) {
    ShowMessagePanel(UiText[13]);
    return;
  }
  DBook->SetRow(rows[0]);
  if (!LoadDiaryTrip(this, rows[0] - 2)) {
    TellTripRefusal();
    return;
  }
  const std::string caption = LoadedTripCaption, path = CurrentTripPath;
  const int slot = DiaryTripSlot;
  DBook->SetRow(rows[1]);
  if (!LoadDiaryCompareTrip(this)) {
    TellTripRefusal();
    return;
  }
  const int count1 = TripSampleCount, count2 = TripSampleCount2;
  const int interval = RecordInterval(TripSamples, count1);
  if (interval != RecordInterval(TripSamples2, count2)) {
    ShowMessagePanel(UiText[14]);
    return;
  }
  if (!JoinFits(count1, count2)) {
    // Too long to join: said in the chosen language, with the counts.
    const char* const words = LanguageIndex == 0   ? "Zu viele Messpunkte zum Verbinden: %i + %i > %i"
                              : LanguageIndex == 2 ? "Demasiados registros para unir: %i + %i > %i"
                                                   : "Too many records to join: %i + %i > %i";
    ShowMessagePanel(Format(words, count1, count2, kJoinRecordLimit - 1));
    return;
  }
  TripSampleCount = JoinTripRecords(TripSamples, count1, TripSamples2, count2, interval);
  ZeroDistancesAfter(TripSamples, TripSampleCount);
  // The joined trip is in trip 1's file before trip 2 leaves the list;
  // trip 2's file and slot stay as they are. A file that held more or less
  // than its count is kept as a .BAD copy first.
  std::string error;
  if (!TripFileExact(FsPath(path)) && KeepBadCopyOfFile(FsPath(path)).empty()) {
    ShowError("No copy of " + path + " could be kept; the trips were not joined.");
    return;
  }
  // A crash at any step leaves a consistent folder: the joined records wait
  // beside trip 1's file, a journal names the join, the list is saved
  // without trip 2, and only then do the records take trip 1's file; the
  // next load finishes a join its journal names (FinishPendingJoin).
  const int second = LineIndexAt(rows[1] - 2);
  const std::string file_name = PathText(FsPath(path).filename());
  std::filesystem::path joined = FsPath(path);
  joined += ".JOIN";
  if (second < 0 || !WriteDeoFile(joined, &error) ||
      !WriteJoinJournal(file_name, TripList[second], &error)) {
    std::error_code ec;
    std::filesystem::remove(joined, ec);
    if (!error.empty()) ShowError(error);
    return;
  }
  LoadedTripCaption = caption;
  CurrentTripPath = path;
  CurrentTripSlot = slot;
  SB_DEO_DEO->Hide();
  TripList.SetSorted(false);
  TripList.Delete(second);
  TripListChanged = true;
  EvaluateTrip();
  BuildTripDateIndex();
  CurrentSport = 0;
  ComputeZoneTimes(this, slot, 0);
  // Saved at once; when it fails the journal stays and the next load
  // finishes the join.
  if (!SaveTripList(TripList, &error) || !CompleteJoin(file_name, &error)) ShowError(error);
  RebuildAfterEdit();
  ShowDiaryInfo(this, 3);
  tav::OpenSampleTable(true);
}

// ===========================================================================
// Openers of one trip
// ===========================================================================

void TForm3::SB_GRAFClick(TControl*) {
  if (!CurrentRowInList()) return;
  ClearMarks();
  if (!LoadCurrentTrip()) {
    TellTripRefusal();
    return;
  }
  ViewCaption = RowCaption(DBook->Row());
  tav::FixThreshold(tav::TripSamples[0]);
  tav::ApplyDefaultChannels = 1;
  tav::OpenTripView();
}

void TForm3::SB_DATENClick(TControl*) {
  if (!CurrentRowInList()) return;
  ClearMarks();
  tav::PlaceSampleTableCursor(2, 0);
  if (!LoadCurrentTrip()) {
    TellTripRefusal();
    return;
  }
  tav::LoadedTripCaption = "TRIP " + DBook->Cell(0, DBook->Row());
  tav::OpenSampleTable(false);
}

void TForm3::SB_DATENMouseDown(TControl*, tav::TMouseButton button, tav::TShiftState shift, int, int) {
  // Service view: each trip's device offset and K-factor in columns 4 and 5.
  if (button == tav::TMouseButton::mbLeft || !(shift & tav::ssCtrl) || !(shift & tav::ssAlt)) return;
  const int shown = ShownLineCount();
  for (int i = 0; i < shown; ++i) {
    const int idx = LineIndexAt(i);
    if (idx < 0 || tav::TripList[idx].size() < 16 || !tav::LoadDiaryTrip(this, i)) continue;
    DBook->Cells(4, i + 2) = tav::Format("%8.1f ", tav::HeaderDeviceOffset(tav::TripSamples[0]));
    DBook->Cells(5, i + 2) = tav::Format("%8.1f ", tav::HeaderKFactor(tav::TripSamples[0]));
  }
}

void TForm3::SB_GRA2Click(TControl*) {
  using namespace tav;
  if (!CurrentRowInList()) return;
  SB_GRA2->Tag = 0;
  int rows[2] = {-1, -1}, counts[2] = {0, 0};
  long long intervals[2] = {0, 0};  // times of a damaged trip may lie far apart
  const int shown = ShownLineCount();
  for (int i = 0; i < shown && SB_GRA2->Tag < 2; ++i) {
    const std::size_t row = static_cast<std::size_t>(i) + 2;
    if (row >= DiaryRowSelected.size() || !DiaryRowSelected[row]) continue;
    const int k = SB_GRA2->Tag;
    DBook->SetRow(i + 2);
    const bool loaded = k == 0 ? LoadDiaryTrip(this, i) : LoadDiaryCompareTrip(this);
    if (!loaded) {
      SB_GRA2->Tag = 0;
      TellTripRefusal();
      return;
    }
    const TripSample* s = k == 0 ? TripSamples : TripSamples2;
    intervals[k] = static_cast<long long>(s[2].Time) - s[1].Time;
    counts[k] = k == 0 ? TripSampleCount : TripSampleCount2;
    rows[k] = i + 2;
    SB_GRA2->Tag = k + 1;
  }
  if (SB_GRA2->Tag < 2) {
    SB_GRA2->Tag = 0;
    ShowMessagePanel(UiText[13]);
    return;
  }
  SB_GRA2->Tag = 0;
  if (intervals[0] != intervals[1]) {
    ShowMessagePanel(UiText[14]);
    return;
  }
  if (counts[1] > counts[0]) std::swap(rows[0], rows[1]);  // trip 1 is the longer one
  auto titles = [this](int row) { return DBook->Cell(DiaryColumnPos[kMetricDate], row) + "  " + DBook->Cell(DiaryColumnPos[kMetricComment], row); };
  DBook->SetRow(rows[0]);
  if (!LoadDiaryTrip(this, rows[0] - 2)) {
    TellTripRefusal();
    return;
  }
  FixThreshold(TripSamples[0]);
  DBook->SetRow(rows[1]);
  if (!LoadDiaryCompareTrip(this)) {
    TellTripRefusal();
    return;
  }
  HeaderThreshold(TripSamples2[0]) = RiderFirstZoneValue();
  FixThreshold(TripSamples2[0]);
  OpenComparison(titles(rows[0]), titles(rows[1]));
}

// ===========================================================================
// Statistics panel
// ===========================================================================

void TForm3::ZDP_SBClick(TControl*) {
  ZDP->Hide();
  tav::SetFlat(SB_AW, true);
}

void TForm3::PlaceStatisticsPanel(int kind) {
  // Gaps before the groups of lines: power trips group the power lines,
  // heart-rate trips and runs the heart-rate and speed lines.
  static constexpr int kGapsBefore[3][4] = {{1, 3, 8, 10}, {3, 6, 8, 10}, {4, 6, 8, 10}};
  const int* gaps = kGapsBefore[std::clamp(kind, 0, 2)];
  int y = ZDP_SB->Height + 3, widest = 0;
  for (int k = 0; k < 12; ++k) {
    tav::TLabel* l = ZD[static_cast<std::size_t>(k)];
    if (std::find(gaps, gaps + 4, k) != gaps + 4) y += 6;
    l->Top = y;
    y += l->Height - 2;
    widest = std::max(widest, l->Left + l->Width);
  }
  ZDP->Width = widest + 20;
  ZDP->Height = y + 12;
  const tav::TRect cell = DBook->CellRect(0, DBook->Row());
  int top = DBook->Top + cell.Bottom + 2;
  if (top + ZDP->Height > DBook->Top + DBook->Height) top = DBook->Top + cell.Top - ZDP->Height - 2;
  ZDP->Top = std::max(0, top);
  ZDP->Left = std::max(0, std::min(DBook->Left + 60, ClientWidth() - ZDP->Width - 5));
}

void TForm3::SB_AWClick(TControl*) {
  using namespace tav;
  if (!SB_AW->Flat) {
    ZDP_SBClick(this);
    return;
  }
  if (!CurrentRowInList()) return;
  const int row = DBook->Row();
  if (!LoadCurrentTrip()) {  // a manual entry or a trip that does not open changes nothing
    TellTripRefusal();
    return;
  }
  ClearMarks();
  ViewCaption = RowCaption(row);
  FixThreshold(TripSamples[0]);
  WholeTripEvaluation = true;
  EvaluateSection(1, TripSampleCount - 1);
  for (int k = 0; k < 12; ++k) ZD[static_cast<std::size_t>(k)]->SetCaption(SummaryLines[static_cast<std::size_t>(k)]);
  PlaceStatisticsPanel(HeaderSport(TripSamples[0]));
  ZDP->Show();
  ZDP->BringToFront();
  SetFlat(SB_AW, false);

  const int slot = DiaryTripSlot;
  CurrentTripSlot = slot;
  if (!DiarySlotInRange(slot)) return;
  EvaluateTrip();
  std::string error;
  if (!SaveTripList(TripList, &error)) ShowError(error);
  const DiaryUnits units = DiaryUnits::FromFlags(UnitFlags);
  const DiaryStats stats = DiaryStatsOfSlot(slot);
  for (int m = kMetricTime; m <= kMetricPowerWithZero; ++m) {
    const int col = DiaryColumnPos[m];
    if (col < 0 || col >= kDiaryColumns) continue;
    std::string text = DiaryValueText(m, stats, units);
    RemoveTrailingBlanks(text);
    DBook->Cells(col, row) = text;
  }
}

void TForm3::ZD9MouseDown(TControl*, tav::TMouseButton button, tav::TShiftState, int, int) {
  if (button != tav::TMouseButton::mbLeft) ZDA->SetCaption(tav::SummaryLines[11]);
}

void TForm3::ZD9MouseUp(TControl*, tav::TMouseButton, tav::TShiftState, int, int) {
  ZDA->SetCaption(tav::SummaryLines[10]);
}

// ===========================================================================
// Openers of many trips
// ===========================================================================

void TForm3::SB_STATClick(TControl*) {
  if (tav::TripList.Count() < 3) return;
  if (SB_STAT->Tag == 1) {
    tav::ExportDiaryCsv(this);
    return;
  }
  if (CollectMarked(SB_SEL_ALL->Tag, false) < 2) {
    ShowMessagePanel(UiText[13]);
    return;
  }
  tav::ScanList = &tav::SelectedTrips;
  tav::OpenEvaluation();
}

void TForm3::SB_STATMouseDown(TControl*, tav::TMouseButton button, tav::TShiftState, int, int) {
  if (button == tav::TMouseButton::mbLeft) return;
  SB_STAT->Tag = SB_STAT->Tag == 0 ? 1 : 0;
  const tav::TSpeedButton* glyph = SB_STAT->Tag == 1 ? SB_STA1 : SB_STA0;
  SB_STAT->Glyph = glyph->Glyph;
  SB_STAT->Caption = glyph->Caption;
  SB_STAT->Invalidate();
}

void TForm3::SB_PTClick(TControl*) {
  using namespace tav;
  if (TripList.Count() < 2) return;
  P_NOTRIPClick(this);  // no block analysis goes on
  CollectOrCurrent();
  ClearMarks();
  ScanList = &SelectedTrips;
  if (SelectedTrips.Count() == 0 || IsManualEntryKeyLine(SelectedTrips[0])) return;
  if (!LoadTripByListIndex(SelectedTrips, 0)) {
    const std::string path = TripPathOfLine(SelectedTrips[0]);
    const std::string why = path.empty() ? std::string() : TripRefusalText(FsPath(path));
    if (!why.empty()) ShowMessagePanel(why);
    return;
  }
  if (HeaderSport(TripSamples[0]) != kSportBikePower) return;
  tav::OpenPowerDuration();
}

void TForm3::SB_PTMouseDown(TControl*, tav::TMouseButton button, tav::TShiftState, int, int) {
  if (button == tav::TMouseButton::mbLeft) return;
  P_NOTRIPClick(this);
  if (SB_SEL_ALL->Tag == 0) SB_PT->Tag = (SB_PT->Tag + 1) % 4;
  else SB_PT->Tag = SB_PT->Tag == 1 ? 2 : 1;
  ShowDiaryScanButton();
}

void TForm3::SB_PPClick(TControl*) {
  if (!CurrentRowInList()) return;
  ClearMarks();
  if (!tav::LoadDiaryCompareTrip(this)) {
    TellTripRefusal();
    return;
  }
  ViewCaption = RowCaption(DBook->Row());
  if (!tav::HeartRateUsable(tav::TripSamples2, tav::TripSampleCount2)) {
    ShowMessagePanel(UiText[15]);
    return;
  }
  tav::OpenHeartRatePower(0, ViewCaption);
}

void TForm3::SB_GDClick(TControl*) {
  if (tav::TripList.Count() < 2 || !CollectOrCurrent()) return;
  tav::ScanList = &tav::SelectedTrips;
  tav::OpenGradeScan();
}

void TForm3::SB_PRSClick(TControl*) {
  if (!CurrentRowInList()) return;
  if (!LoadCurrentTrip()) {
    TellTripRefusal();
    return;
  }
  if (tav::HeaderSport(tav::TripSamples[0]) != tav::kSportBikePower) return;  // power trips only
  ViewCaption = RowCaption(DBook->Row());
  tav::FixThreshold(tav::TripSamples[0]);
  tav::OpenPowerCadenceScan();
}

// ---- block protocol ----------------------------------------------------------------

void TForm3::TakeBlock1(bool power) {
  Block1Count = tav::SelectedTrips.Count();
  tav::ScanList = &tav::SelectedTrips;
  if (power) tav::StartBestPowerWorker(this, tav::SelectedTrips.Lines());
  tav::SelectedTrips.Add(kBlock2Line);
}

void TForm3::BlockClick(tav::TSpeedButton* button, bool power) {
  using namespace tav;
  if (TripList.Count() < 2) return;
  if (power) ScanMode += 4;
  if (button->Tag != 2) SelectedTrips.Clear();
  const int before = SelectedTrips.Count();
  const int shown = ShownLineCount();
  for (int i = 0; i < shown; ++i) {
    const std::size_t row = static_cast<std::size_t>(i) + 2;
    if (row >= DiaryRowSelected.size() || !DiaryRowSelected[row]) continue;
    const int idx = LineIndexAt(i);
    if (idx < 0 || TripList[idx].size() < 16) continue;
    if (power && LineSportDigit(TripList[idx]) != kSportBikePower) continue;
    SelectedTrips.Add(TripList[idx]);
  }
  const bool added = SelectedTrips.Count() > before;
  if (SelectedTrips.Count() == 0) {
    if (CurrentRowInList()) {
      ShowMessagePanel(SelectBlock1Text, kDiaryPanelYellow);
      button->Tag = 1;
    }
    return;
  }
  if (power && button->Tag == 2 && !added) ScanMode = 50;  // no block 2: block 1 alone
  auto unmark = [] { std::fill(DiaryRowSelected.begin(), DiaryRowSelected.end(), 0); };
  if (button->Tag == 1) {
    TakeBlock1(power);
    ShowMessagePanel(SelectBlock2Text, kDiaryPanelGreen);
    button->Tag = 2;
    unmark();
    DBook->Invalidate();
    return;
  }
  if (power && ScanMode == 4 && SelectedTrips.Count() > 8) {
    TakeBlock1(true);
    ScanMode = 50;
  }
  if (power) {
    unmark();
    DBook->Invalidate();
  } else {
    ClearMarks();
  }
  P_NOTRIP->Hide();
  P_NOTRIP->Color = kDiaryPanelRed;
  ScanList = &SelectedTrips;
  if (power) {
    tav::OpenPowerDuration();
  } else {
    tav::OpenZoneTimeScan();
  }
  button->Tag = 0;
}

void TForm3::SB_PAClick(TControl*) { BlockClick(SB_PA, true); }
void TForm3::SB_STA2Click(TControl*) { BlockClick(SB_STA2, false); }

// ---- exports and mail ------------------------------------------------------------------

void TForm3::SB_DEO_CSVClick(TControl*) {
  using namespace tav;
  const int shown = ShownLineCount();
  auto marked_trip = [&](int i) {
    const std::size_t row = static_cast<std::size_t>(i) + 2;
    const int idx = row < DiaryRowSelected.size() && DiaryRowSelected[row] ? LineIndexAt(i) : -1;
    return idx >= 0 && TripList[idx].size() >= 16 && !IsManualEntryKeyLine(TripList[idx]);
  };
  int marked = 0;
  for (int i = 0; i < shown; ++i) marked += marked_trip(i) ? 1 : 0;
  if (marked == 0) {
    ShowMessagePanel(NothingMarkedText());
    return;
  }
  if (!CurrentRowInList() || TripList.Count() < 2) return;
  int written = 0;
  std::string failed;
  for (int i = 0; i < shown; ++i) {
    if (!marked_trip(i)) continue;
    if (!LoadDiaryTrip(this, i)) {
      // Each trip that does not open is named with its reason.
      if (const std::string why = DiaryTripRefusal(); !why.empty()) failed += (failed.empty() ? "" : "\n") + why;
      continue;
    }
    std::string error;
    if (ExportTripCsv(CurrentTripPath, &error)) ++written;
    else failed += (failed.empty() ? "" : "\n") + error;
  }
  if (written > 0) {
    SB_DEO_CSV->Hide();
    ShowDiaryInfo(this, 1);
  }
  if (!failed.empty()) ShowError(failed);
}

void TForm3::SB_COLLECClick(TControl*) {
  tav::CloseHelp();
  if (tav::TripList.Count() < 2 || !CollectOrCurrent()) {
    ShowMessagePanel(NothingMarkedText());
    return;
  }
  std::string error;
  if (!tav::WriteCollectionList(&error)) {
    ShowError(error);
    return;
  }
  SB_COLLEC->Hide();
  tav::ShowDiaryInfo(this, 2);
}

void TForm3::SB_MAILClick(TControl*) {
  using namespace tav;
  DiaryMailEnabled = MailSettingsComplete(FsPath(MailSetPath)) ? 1 : 0;
  if (DiaryMailEnabled == 0) {
    Close();
    OpenMailSettings();
    return;
  }
  if (!CurrentRowInList() || TripList.Count() < 2) return;
  if (CollectMarked(-1, false) > 0) {
    ListTripFiles();
    return;
  }
  ShowMessagePanel(UiText[17]);
  P_NOTRIP->Left = SB_MAIL->Left;
  P_NOTRIP->Top = std::max(0, SB_MAIL->Top - P_NOTRIP->Height - 10);
}
