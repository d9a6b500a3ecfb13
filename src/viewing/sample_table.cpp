#include "viewing/sample_table.h"

#include <algorithm>
#include <filesystem>

#include "core/bad_copy.h"
#include "core/core_data.h"
#include "core/trip_file.h"
#include "openers/openers.h"
#include "platform/grid.h"
#include "platform/text.h"
#include "viewing/sample_table_model.h"
#include "viewing/trip_fingerprint.h"

using namespace tav::literals;

TForm40* Form40 = nullptr;

namespace {
constexpr int kTopHeight = 36;
}  // namespace

TForm40::TForm40() {
  Name = "Form40";
  Caption = "Tabelle";
  Visible = false;
  SetBounds(100, 80, 1000, 640);

  // German texts until a text table is applied.
  const std::string german[15] = {
      "Zeit", "Strecke", "Power", "Geschw.", "Puls", "RPM", "Höhe"_w, "Temp.", "Intervall",
      "Pause", "Bereichsende bestimmen", "Speichern", "Löschen"_w, "Schwellenwert Power",
      "Schwellenwert Puls"};
  for (int i = 0; i < 15; ++i) UiText[i] = german[i];

  P_TOP = Make<tav::TPanel>("P_TOP");
  P_TOP->BevelOuter = tav::TBevelCut::bvNone;
  int x = 6;
  auto button = [&](const char* name, const char* caption, std::string hint, int width) {
    auto* b = Make<tav::TSpeedButton>(name, P_TOP);
    b->Caption = caption;
    b->Hint = std::move(hint);
    b->SetBounds(x, 6, width, 24);
    x += width + 4;
    return b;
  };
  SB_ED1 = button("SB_ED1", "ED1", "Einzeldaten ändern"_w, 40);
  SB_EDN = button("SB_EDN", "EDN", "Datenreihe ändern"_w, 40);
  SB_GLG = button("SB_GLG", "GLG", "Trainingsbereiche + Gewicht für Fahrt ändern"_w, 40);
  SB_MAX = button("SB_MAX", "MAX", "Maximum suchen", 40);
  SB_PU_KOR = button("SB_PU_KOR", "HR+", "Autokorrektur Pulswerte (Fehlwerte Rechte", 40);
  SB_INT = button("SB_INT", "INT", "Setze Intervall", 40);
  // The editing commands are not offered: the table shows the trip as stored.
  for (tav::TSpeedButton* b : {SB_ED1, SB_EDN, SB_GLG, SB_MAX, SB_PU_KOR, SB_INT}) b->Enabled = false;
  x += 8;
  SB_Save = button("SB_Save", "", UiText[11], 90);
  SB_Save->Caption = UiText[11];
  SB_Save->OnClick = [this](tav::TControl* s) { SB_SaveClick(s); };
  // Shown by the diary after a join, so that the joined trip can be saved.
  SB_Save->Visible = false;

  LED_1 = Make<tav::TLabel>("LED_1", P_TOP);
  LED_1->SetCaption("Gewicht");
  ED_1 = Make<tav::TEdit>("ED_1", P_TOP);
  ED_1->ReadOnly = true;
  ED_1->Enabled = false;
  B_CL_Trip = Make<tav::TButton>("B_CL_Trip", P_TOP);
  B_CL_Trip->Caption = "Löschen"_w;
  B_CL_Trip->Enabled = false;
  B_Nein = Make<tav::TButton>("B_Nein", P_TOP);
  B_Nein->Caption = "Nein";
  B_Nein->Enabled = false;
  L_SAVE = Make<tav::TLabel>("L_SAVE", P_TOP);

  SG_DATA = Make<tav::TStringGrid>("SG_DATA");
  SG_DATA->SetColCount(tav::kTableColumns);
  SG_DATA->SetFixedCols(0);
  SG_DATA->SetFixedRows(1);
  SG_DATA->SetRowCount(tav::TableRowCount(0));
  SG_DATA->SetDefaultColWidth(84);
  SG_DATA->SetDefaultRowHeight(18);
  SG_DATA->Font.Name = "Tahoma";
  SG_DATA->Font.Size = 8;
  SG_DATA->Options = tav::goFixedVertLine | tav::goFixedHorzLine | tav::goVertLine |
                     tav::goHorzLine | tav::goDrawFocusSelected;
  // The records are drawn from the copy, so a long trip needs no text per cell.
  SG_DATA->OnDrawCell = [this](tav::TControl*, tav::TCanvas& canvas, int col, int row,
                               const tav::TRect& rect, tav::TGridDrawState state) {
    if (state.Fixed || row < 1 || static_cast<std::size_t>(row) >= records_.size()) return;
    const std::string text = tav::SampleCellText(records_[static_cast<std::size_t>(row)], col);
    canvas.Font = SG_DATA->Font;
    canvas.Font.Color = state.Selected ? SG_DATA->SelectedFontColor : tav::clWindowText;
    canvas.Brush.Style = tav::TBrushStyle::bsClear;
    const int w = canvas.TextWidth(text);
    canvas.TextOut(std::max(rect.Left + 2, rect.Right - w - 4), rect.Top + 2, text);
    canvas.Brush.Style = tav::TBrushStyle::bsSolid;
  };
  SetTitles();

  // Opening selects SelRow/SelCol; activation reloads a changed trip.
  OnShow = [this](tav::TControl*) { select_pending_ = true; };
  OnActivate = [this](tav::TControl* s) { FormActivate(s); };
  OnClose = [this](tav::TControl* s, tav::TCloseAction& a) { FormClose(s, a); };
  OnResize = [this](tav::TControl*) { LayoutControls(); };
  LayoutControls();
  FinishCreate();
}

TForm40::~TForm40() = default;

void TForm40::LayoutControls() {
  const int w = ClientWidth(), h = ClientHeight();
  P_TOP->SetBounds(0, 0, w, kTopHeight);
  tav::FitWidthToCaption(*SB_Save, 90);
  int x = SB_Save->Left + SB_Save->Width + 16;
  LED_1->SetBounds(x, 11, LED_1->Width, LED_1->Height);
  x += LED_1->Width + 6;
  ED_1->SetBounds(x, 7, 56, 21);
  x += 56 + 12;
  for (tav::TButton* b : {B_CL_Trip, B_Nein}) {
    tav::FitWidthToCaption(*b, 70);
    b->SetBounds(x, 6, b->Width, 24);
    x += b->Width + 4;
  }
  x += 10;
  const int note = L_SAVE->Caption.empty() ? 10 : tav::MeasureTextWidth(L_SAVE->Font, L_SAVE->Caption);
  L_SAVE->SetBounds(x, 11, std::max(note, w - x - 6), 13);
  SG_DATA->SetBounds(0, kTopHeight, w, std::max(0, h - kTopHeight));
  // The columns share the width, each at least as wide as its title.
  int title_w = 60;
  for (int c = 0; c < tav::kTableColumns; ++c)
    title_w = std::max(title_w, tav::MeasureTextWidth(SG_DATA->Font, UiText[c]) + 8);
  const int col_w = std::max(title_w, (w - tav::TStringGrid::kScrollBarSize - 2) / tav::kTableColumns - 1);
  SG_DATA->SetDefaultColWidth(col_w);
  // The smallest window: the tool row with the save note, every column
  // beside the others, a few rows.
  MinClientWidth = std::max(x + note + 6, tav::kTableColumns * (title_w + 1) + tav::TStringGrid::kScrollBarSize + 2);
  MinClientHeight = kTopHeight + 1 + 7 * 18 + tav::TStringGrid::kScrollBarSize;
}

void TForm40::SetTitles() {
  for (int c = 0; c < tav::kTableColumns; ++c) SG_DATA->Cells(c, 0) = UiText[c];
  SB_Save->Caption = UiText[11];
}

void TForm40::LoadRecords() {
  const int count = std::clamp<int>(tav::TripSampleCount, 0, tav::kMaxTripRecords - 1);
  if (count >= tav::kMinShowRecords)
    records_.assign(tav::TripSamples, tav::TripSamples + count);
  else
    records_.clear();
  SG_DATA->SetRowCount(tav::TableRowCount(static_cast<int>(records_.size())));
  SG_DATA->Invalidate();
  if (!records_.empty()) {
    const float weight = tav::HeaderWeightX10(records_[0]) / 10.0f;
    ED_1->Text = weight > 0.0f ? tav::Format("%.1f", weight * tav::WeightFactor) : "";
  } else {
    ED_1->Text.clear();
  }
}

void TForm40::FormActivate(tav::TControl*) {
  SetTitles();
  // A different trip in the buffer (or the first showing) reloads the rows;
  // coming back from another window keeps the place.
  const uint64_t fp = tav::TripFingerprint(
      tav::TripSamples, std::clamp<int>(tav::TripSampleCount, 0, tav::kMaxTripRecords - 1));
  // The file of the trip: as the opener left it, or with a new trip in the
  // buffer. Coming back keeps it: a path changed meanwhile belongs to a trip
  // file that was opened for another window, or refused.
  if (ShowCalls() != taken_at_show_ || !shown_once_ || fp != shown_fingerprint_) {
    taken_at_show_ = ShowCalls();
    records_path_ = tav::CurrentTripPath;
  }
  if (shown_once_ && fp == shown_fingerprint_ && !select_pending_) return;
  if (!shown_once_ || fp != shown_fingerprint_) {
    shown_once_ = true;
    shown_fingerprint_ = fp;
    L_SAVE->SetCaption("");
    LoadRecords();
  }
  select_pending_ = false;
  const tav::TableCell cell = tav::ClampTableCell(SelRow, SelCol, SG_DATA->RowCount());
  SG_DATA->FocusCell(cell.col, cell.row);
  // The chosen row near the top of the view.
  SG_DATA->SetTopRow(std::max(1, cell.row - 1));
}

void TForm40::FormClose(tav::TControl*, tav::TCloseAction&) {
  // The save button belongs to the join; a plain opening does not offer it.
  SB_Save->Visible = false;
}

bool TForm40::SB_SaveClick(tav::TControl*) {
  // However it ends, its note is shown whole.
  struct ShowNote {
    TForm40* form;
    ~ShowNote() {
      form->LayoutControls();
      form->KeepMinClientSize();
    }
  } show_note{this};
  const std::string what = UiText[11];
  std::string name = tav::CurrentTripPath;
  const std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  if (tav::CurrentTripPath.empty() || tav::TripSampleCount < tav::kMinTripRecords ||
      tav::TripSampleCount >= tav::kMaxTripRecords) {
    // Nothing loaded: writing would replace the file with an unreadable one.
    L_SAVE->SetCaption(what + ": no trip loaded, nothing written.");
    L_SAVE->Font.Color = tav::clRed;
    return false;
  }
  if (tav::CurrentTripPath != records_path_) {
    // Another trip file was opened (or refused) since this trip was taken:
    // the trip shown would go to a file it was not read from.
    L_SAVE->SetCaption(what + ": " + name + " is not the file of the trip shown; nothing written.");
    L_SAVE->Font.Color = tav::clRed;
    return false;
  }
  const std::filesystem::path path = tav::FsPath(tav::CurrentTripPath);
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && !tav::TripFileExact(path)) {
    // The file holds more or less than the trip read from it: replace it
    // only when the user agrees, and keep it as it is beside the new one.
    const std::string question =
        tav::CurrentTripPath + "\n\nThis trip file is not as long as its record count says; saving "
        "replaces it with the trip shown. The old file is kept as a .BAD copy.\n\nSave anyway?";
    if (tav::Application().MessageBox(question, Caption, tav::MB_YESNO | tav::MB_ICONWARNING) !=
        tav::IDYES) {
      L_SAVE->SetCaption(what + ": " + name + " not written.");
      L_SAVE->Font.Color = tav::clRed;
      return false;
    }
    if (tav::KeepBadCopyOfFile(path).empty()) {
      L_SAVE->SetCaption(what + ": no copy of " + name + " could be kept, nothing written.");
      L_SAVE->Font.Color = tav::clRed;
      return false;
    }
  }
  // A trip as its file already holds it is not written again.
  std::string error;
  if (!tav::WriteDeoFileIfChanged(path, &error)) {
    L_SAVE->SetCaption(what + ": " + (error.empty() ? "Cannot open output file." : error));
    L_SAVE->Font.Color = tav::clRed;
    return false;
  }
  L_SAVE->SetCaption(what + ": " + name + "  OK");
  L_SAVE->Hint = tav::CurrentTripPath;
  L_SAVE->Font.Color = tav::clGreen;
  return true;
}

// ---- Opened by other windows ----------------------------------------------------

namespace tav {

void OpenSampleTable(bool offer_save) {
  if (Form40 == nullptr) return;
  if (offer_save) Form40->SB_Save->Show();
  Form40->Show();
}

void PlaceSampleTableCursor(int sel_row, int sel_col) {
  if (Form40 == nullptr) return;
  Form40->SelRow = sel_row;
  Form40->SelCol = sel_col;
}

}  // namespace tav
