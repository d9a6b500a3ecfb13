#include "diary/calendar_window.h"

#include <algorithm>
#include <cstring>

#include "core/core_data.h"
#include "core/statistics.h"
#include "core/trip_date_text.h"
#include "core/trip_list.h"
#include "diary/calendar_cells.h"
#include "diary/calendar_model.h"
#include "diary/kind_picture.h"
#include "openers/openers.h"
#include "platform/colour_contrast.h"
#include "platform/text.h"
#include "texts/text_tables.h"

using namespace tav;

TForm33* Form33 = nullptr;

namespace {

constexpr int kGridLeft = 5, kGridTop = 5;
constexpr int kWeekColumnWidth = 25, kTitleRowHeight = 25, kWeekRowHeight = 120;
constexpr TColor kGridColor = 0x808080;
constexpr int kIconSize = 80;
constexpr int kSmallIconSize = 14;  // beside the date of a day with lines
// Height of the band under the grid: legend, radio buttons and margins.
constexpr int kBottomBand = 25 + 6 + 17 + 5;
constexpr int kLegendHeight = 25;

// Design-time texts of the window (German); the language tables replace them.
const char* const kDesignUiText[TForm33::kUiTexts] = {
    "KW", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag", "Sonntag",
    "Zusammenfassung", "", "Woche", "Fahrzeit       Strecke", "TSS™           IF™", "RPM            Geschw.",
    "RPM            Puls", "Höhen Meter   Temperatur", "Power exc Null / inc Null", "NP™ [W]",
    "Power exc Null    [W]", "Power inc Null    [W]", "Puls", "RPM", "Geschwindigkeit", "Arbeit",
    "Fahrzeit", "Strecke", "TSS™", "IF™", "Höhen Meter", "Temperatur", "NP™/Gewicht  [W/kg]",
    "Auswertung für Rad (Power)", "Auswertung für Rad (Puls)", "Auswertung für Laufen (Puls)"};

int KindOf(const TSpeedButton* b) { return std::clamp(b->Tag, 0, 2); }

float RiderWeight() {
  return CurrentRider >= 0 && CurrentRider < kRiderCount ? RiderTable[CurrentRider].Weight : 0.0f;
}

int Zones() { return std::clamp(ZoneCount, 1, 10); }

// The seven (or one) day records from a day index, empty days outside the model.
std::array<CalendarDay, 7> DaysFrom(long long day_index, int days) {
  std::array<CalendarDay, 7> out{};
  for (int i = 0; i < std::min(days, 7); ++i) out[static_cast<std::size_t>(i)] = CalendarDayAt(day_index + i);
  return out;
}

void TextCentred(TCanvas& c, const TRect& r, int y, const std::string& text) {
  c.TextOut(r.Left + (r.Width() - c.TextWidth(text)) / 2, y, text);
}

}  // namespace

// ===========================================================================
// Construction
// ===========================================================================

TForm33::TForm33() {
  Name = "Form33";
  Caption = "Kalender";
  SetBounds(100, 80, 900 + kFrameWidth, 600);
  Visible = false;
  KeyPreview = true;
  for (int i = 0; i < kUiTexts; ++i) UiText[static_cast<std::size_t>(i)] = Utf8ToCp1252(kDesignUiText[i]);
  CreateControls();
  DrawPictures();
  OnActivate = [this](TControl* s) { FormActivate(s); };
  OnResize = [this](TControl* s) { FormResize(s); };
  OnClose = [this](TControl* s, TCloseAction& a) { FormClose(s, a); };
  OnKeyDown = [this](TControl* s, WORD& k, TShiftState sh) { FormKeyDown(s, k, sh); };
  DiaryCalendarPicture = [this] { return DiaryMissPicture{&Zove->Picture, &Zove->Tag, ZoveX, ZoveY}; };
  FinishCreate();
}

TForm33::~TForm33() { DiaryCalendarPicture = nullptr; }

void TForm33::CreateControls() {
  CalGrid = Make<TStringGrid>("CalGrid");
  CalGrid->SetBounds(kGridLeft, kGridTop, 890, 4 * (kWeekRowHeight + 1) + kTitleRowHeight + 5);
  CalGrid->SetColCount(9);
  CalGrid->SetRowCount(5);
  CalGrid->SetFixedCols(1);
  CalGrid->SetFixedRows(1);
  CalGrid->SetDefaultRowHeight(kWeekRowHeight);
  CalGrid->SetRowHeight(0, kTitleRowHeight);
  CalGrid->SetColWidth(0, kWeekColumnWidth);
  CalGrid->DefaultDrawing = false;
  CalGrid->ScrollBars = TScrollStyle::ssVertical;
  CalGrid->Options &= ~goRangeSelect;
  CalGrid->Color = kGridColor;
  CalGrid->GridLineColor = CalGrid->FixedLineColor = kGridColor;
  CalGrid->Font.Name = "Verdana";
  CalGrid->Font.Size = 7;
  CalGrid->OnDrawCell = [this](TControl* s, TCanvas& c, int col, int row, const TRect& r, TGridDrawState st) {
    CalGridDrawCell(s, c, col, row, r, st);
  };
  CalGrid->OnMouseDown = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) {
    CalGridMouseDown(s, b, sh, x, y);
  };
  CalGrid->OnSelectCell = [this](TControl* s, int col, int row, bool& ok) { CalGridSelectCell(s, col, row, ok); };

  Show_Zonen = Make<TImage>("Show_Zonen");
  Show_Zonen->SetBounds(kGridLeft, 0, 800, kLegendHeight);
  Mem = Make<TMemo>("Mem");
  Mem->SetBounds(300, 100, 300, 300);
  Mem->Visible = false;

  auto button = [this](const char* name, const char* caption, int width, const std::string& hint) {
    auto* b = Make<TSpeedButton>(name);
    b->Caption = caption;
    b->Hint = hint;
    b->SetBounds(0, 0, width, 25);
    return b;
  };
  SB_SEL = button("SB_SEL", "Rad P", 56, UiText[31]);
  SB_NW = button("SB_NW", "8W", 36, "");
  SB_G6 = button("SB_G6", "Charts", 56, "Charts anzeigen");
  DO_1 = button("DO_1", "\x85", 28, "Zeilen");
  SB_SEL->OnClick = [this](TControl* s) { SB_SELClick(s); };
  SB_NW->OnClick = [this](TControl* s) { SB_NWClick(s); };
  SB_G6->OnClick = [this](TControl* s) { SB_G6Click(s); };
  DO_1->OnClick = [this](TControl* s) { DO_1Click(s); };
  TRadioButton** shows[3] = {&RB_S1, &RB_S2, &RB_S3};
  for (int k = 0; k < 3; ++k) {
    *shows[k] = Make<TRadioButton>(Format("RB_S%i", k + 1));
    (*shows[k])->Caption = Format("Show%i", k + 1);
    (*shows[k])->SetBounds(kGridLeft + 88 * k, 0, 84, 17);
    (*shows[k])->OnClick = [this, k](TControl*) { RB_SClick(k); };
  }
  RB_S1->SetChecked(true);

  // Settings panel.
  Cal_Edit = Make<TPanel>("Cal_Edit");
  Cal_Edit->SetBounds(330, 60, 250, 262);
  Cal_Edit->Visible = false;
  CaEL1 = Make<TLabel>("CaEL1", Cal_Edit);
  CaEL1->SetBounds(12, 14, 60, 13);
  CaEL1->SetCaption("Zeilen");
  CB1 = Make<TComboBox>("CB1", Cal_Edit);
  CB1->SetBounds(80, 10, 50, 21);
  CB1->Style = TComboBoxStyle::csDropDownList;
  for (const char* n : {"2", "3", "4", "5"}) CB1->Items.Add(n);
  CB1->OnChange = [this](TControl* s) { CB1Change(s); };
  for (int k = 0; k < 5; ++k) {
    TComboBox* cb = Make<TComboBox>(Format("CB_Cal_Z%i", k + 1), Cal_Edit);
    cb->SetBounds(12, 40 + 28 * k, 226, 21);
    cb->Style = TComboBoxStyle::csDropDownList;
    CB_Cal_Z[static_cast<std::size_t>(k)] = cb;
  }
  TRadioButton** edits[3] = {&RB_01, &RB_02, &RB_03};
  for (int k = 0; k < 3; ++k) {
    *edits[k] = Make<TRadioButton>(Format("RB_0%i", k + 1), Cal_Edit);
    (*edits[k])->Caption = Format("%i", k + 1);
    (*edits[k])->SetBounds(12 + 50 * k, 186, 40, 17);
    (*edits[k])->OnClick = [this, k](TControl*) { RB_0Click(k); };
  }
  Cal_OK = Make<TButton>("Cal_OK", Cal_Edit);
  Cal_OK->SetBounds(12, 220, 105, 25);
  Cal_OK->Caption = Utf8ToCp1252("Übernehmen");
  Cal_OK->OnClick = [this](TControl* s) { Cal_OKClick(s); };
  Cal_NO = Make<TButton>("Cal_NO", Cal_Edit);
  Cal_NO->SetBounds(133, 220, 105, 25);
  Cal_NO->Caption = "Verwerfen";
  Cal_NO->OnClick = [this](TControl* s) { Cal_NOClick(s); };
  ZDP_SB = Make<TSpeedButton>("ZDP_SB", Cal_Edit);
  ZDP_SB->SetBounds(224, 4, 20, 20);
  ZDP_SB->Caption = "X";
  ZDP_SB->Flat = true;
  ZDP_SB->OnClick = [this](TControl* s) { ZDP_SBClick(s); };

  TImage** icons[7] = {&PIC_01, &PIC_02, &PIC_03, &PIC_04, &PIC_05, &RuS, &Zove};
  const char* names[7] = {"PIC_01", "PIC_02", "PIC_03", "PIC_04", "PIC_05", "RuS", "Zove"};
  for (int k = 0; k < 7; ++k) {
    *icons[k] = Make<TImage>(names[k]);
    (*icons[k])->Visible = false;
  }
}

// The icons of the kinds of sport and the missed-click picture.
void TForm33::DrawPictures() {
  const double scale = kIconSize / 28.0;
  const int kinds[5] = {0, 2, 6, 7, 4};
  TImage* const pictures[6] = {PIC_01, PIC_02, PIC_03, PIC_04, PIC_05, RuS};
  for (int k = 0; k < 6; ++k) {
    TImage* p = pictures[k];
    p->SetBounds(0, 0, kIconSize, kIconSize);
    p->SetPictureSize(kIconSize, kIconSize);
    p->Picture.Fill(clWhite);
    if (k < 5) {
      DrawKindPicture(p->Picture.Canvas(), kinds[k], 0, 6, scale, clBlack);
    } else {  // several kinds: a bike and a runner
      DrawKindPicture(p->Picture.Canvas(), 0, 0, 44, scale / 2, clBlack);
      DrawKindPicture(p->Picture.Canvas(), 2, 40, 4, scale / 2, clBlack);
    }
    masks_[static_cast<std::size_t>(k)] = SilhouetteMask(p->Picture);
    // The same figure small, for a day whose lines fill the cell.
    TBitmap small(kSmallIconSize, kSmallIconSize);
    small.Fill(clWhite);
    const double small_scale = kSmallIconSize / 28.0;
    if (k < 5) {
      DrawKindPicture(small.Canvas(), kinds[k], 0, 1, small_scale, clBlack);
    } else {
      DrawKindPicture(small.Canvas(), 0, 0, 7, small_scale / 2, clBlack);
      DrawKindPicture(small.Canvas(), 2, 7, 0, small_scale / 2, clBlack);
    }
    small_masks_[static_cast<std::size_t>(k)] = SilhouetteMask(small);
  }
  Zove->SetBounds(0, 0, 50, 50);
  Zove->SetPictureSize(50, 50);
  TCanvas& c = Zove->Picture.Canvas();
  Zove->Picture.Fill(clWhite);
  c.Brush.Color = 0xF0F0F0;
  c.Pen.Color = clNavy;
  c.Rectangle(6, 8, 44, 46);
  c.Brush.Color = clNavy;
  c.FillRect({6, 8, 44, 16});
  c.Pen.Color = clRed;
  c.Pen.Width = 4;
  c.MoveTo(14, 22);
  c.LineTo(36, 42);
  c.MoveTo(36, 22);
  c.LineTo(14, 42);
}

// ===========================================================================
// Activation, layout, closing
// ===========================================================================

void TForm33::FormActivate(TControl*) {
  CountRiderZones();
  // The kind-of-sport button names its kind in the current language.
  if (const TSpeedButton* kind = DiaryKindButton(SB_SEL->Tag); kind != nullptr && !first_resize_) {
    SB_SEL->Caption = kind->Caption;
    SB_SEL->Hint = UiText[static_cast<std::size_t>(31 + std::clamp(SB_SEL->Tag, 0, 2))];
  }
  if (WindowState != TWindowState::wsMaximized)
    SetClientHeight(kGridTop + kTitleRowHeight + 8 + 4 * (kWeekRowHeight + 1) + kBottomBand);
  CalGrid->Font.Name = "Verdana";
  CalGrid->Color = kGridColor;
  CalendarShowIndex = std::clamp(CalendarShowIndex, 0, kCalendarShowCount - 1);
  CalendarLinesIndex = CalendarLinesChoice(CalendarShows[CalendarShowIndex]);
  // An open settings panel keeps what was chosen in it and not yet taken
  // by its OK; a closed one starts from the configuration in use.
  if (!Cal_Edit->Visible) {
    CalendarEditIndex = CalendarShowIndex;
    ConfigurationToCombos(CalendarEditIndex);
  }

  BuildCalendar();
  CalGrid->SetRowCount(std::max(5, CalendarWeekCount + 1));
  // Opened from the main window, or its rows now stand for other weeks
  // (another rider, a period that starts elsewhere): the last four weeks
  // on screen.
  const bool other_weeks =
      activations_ > 0 && (CurrentRiderName != rows_rider_ || CalendarFirstMonday() != rows_monday_);
  if (CalendarAskedByMain() || other_weeks) {
    CalGrid->SetTopRow(std::max(1, CalendarWeekCount - 3));
    if (CalendarAskedByMain()) CalendarAskAnswered();
  }
  rows_rider_ = CurrentRiderName;
  rows_monday_ = CalendarFirstMonday();
  CalGrid->Invalidate();
  DrawZoneLegend();
  SB_NW->Tag = CalendarPeriodWeeks(Graf6Settings[6]);
  SB_NW->Caption = CalendarPeriodCaption(SB_NW->Tag);
  ++activations_;
  // The buttons as wide as their captions of now; the window at least as
  // large as its smallest size.
  FormResize(this);
  KeepMinClientSize();
}

void TForm33::BuildCalendar() {
  BuildTripDateIndex();
  bool changed = false;
  const int lines = TripList.Count();
  if (lines < 2 || !BuildCalendarModel(TripDates, lines - 1, KindOf(SB_SEL), TripSummaryTable, TripZoneTable, &changed)) {
    ClearCalendarDays();
  }
  if (changed) TripDatabaseChanged = true;
  Caption = CalendarCaption(CurrentRiderName, UnitFlags);
  Mem->Clear();
  for (const std::string& line : CalendarDiagnosticLines()) Mem->Lines.Add(line);
}

void TForm33::DrawZoneLegend() {
  const int zones = Zones();
  Show_Zonen->Height = kLegendHeight;
  Show_Zonen->SetPictureSize(800, 35);
  TCanvas& c = Show_Zonen->Canvas();
  c.Brush.Color = Color;
  c.FillRect({0, 0, 800, 35});
  c.Font = CalGrid->Font;
  for (int k = 0; k < zones; ++k) {
    c.Brush.Color = ZoneColors[k];
    c.Font.Color = TextColourOn(ZoneColors[k], ChartColors[9]);
    c.TextOut(15 + 55 * k, 6, Format(" %-5.5s  ", std::string(ZoneNames[k], strnlen(ZoneNames[k], kZoneNameChars)).c_str()));
  }
  Show_Zonen->Width = 15 + 55 * zones;
}

void TForm33::FormResize(TControl*) {
  if (first_resize_) {
    first_resize_ = false;
    if (const std::optional<WindowPlace> main = MainPlace()) SetBounds(main->Left + 130, main->Top + 100, Width, Height);
    SetClientWidth(900);
    if (const TSpeedButton* kind = DiaryKindButton(0)) {
      SB_SEL->Glyph = kind->Glyph;
      SB_SEL->Caption = kind->Caption;
    }
    SB_SEL->Hint = UiText[31];
  }
  const int cw = ClientWidth(), ch = ClientHeight();
  CalGrid->Width = std::max(100, cw - CalGrid->Left - 5);
  // The bottom band: the radio buttons from the left, the buttons from the
  // right, each as wide as its caption.
  const int radio_top = ch - 5 - RB_S1->Height;
  int x = kGridLeft;
  for (TRadioButton* rb : {RB_S1, RB_S2, RB_S3}) {
    FitWidthToCaption(*rb, 84);
    rb->SetBounds(x, radio_top, rb->Width, rb->Height);
    x += rb->Width + 4;
  }
  const int radios_right = x;
  FitWidthToCaption(*SB_SEL, 56);
  FitWidthToCaption(*SB_G6, 56);
  FitWidthToCaption(*SB_NW, 36);
  SB_G6->Left = cw - 3 - SB_G6->Width;
  SB_G6->Top = ch - 2 - SB_G6->Height;
  SB_NW->Left = SB_G6->Left - 3 - SB_NW->Width;
  SB_SEL->Left = SB_NW->Left - 3 - SB_SEL->Width;
  DO_1->Left = SB_SEL->Left - 3 - DO_1->Width;
  for (TSpeedButton* b : {SB_NW, SB_SEL, DO_1}) b->Top = SB_G6->Top;
  const int buttons_width = cw - DO_1->Left;
  Show_Zonen->Top = radio_top - 6 - kLegendHeight;
  const int room = Show_Zonen->Top - (CalGrid->Top + kTitleRowHeight + 8);
  const int weeks = std::max(1, room / (kWeekRowHeight + 1));
  CalGrid->Height = weeks * (kWeekRowHeight + 1) + kTitleRowHeight + 5;
  // Room for the scroll bar is kept, so the columns fit whether it shows or not.
  const int client = CalGrid->Width - TStringGrid::kScrollBarSize;
  const int column = std::max(20, (client - kWeekColumnWidth - 8) / 8);
  for (int c = 1; c <= 8; ++c) CalGrid->SetColWidth(c, column);
  LayoutSettingsPanel();

  // The smallest window: eight columns whose lines do not run into each
  // other, one week row, the legend, the radio buttons beside the buttons,
  // and the settings panel.
  const int grid_w = 8 * LeastColumnWidth() + kWeekColumnWidth + 8 + TStringGrid::kScrollBarSize;
  MinClientWidth = std::max({kGridLeft + grid_w + 5, radios_right + 12 + buttons_width,
                             Show_Zonen->Left + Show_Zonen->Width + 5, Cal_Edit->Width + 10});
  MinClientHeight = std::max(kGridTop + kTitleRowHeight + 8 + (kWeekRowHeight + 1) + 6 + kLegendHeight + 6 +
                                 RB_S1->Height + 5,
                             Cal_Edit->Height + 10);
}

int TForm33::LeastColumnWidth() const {
  // Wide values of a long day and of a long week.
  CalendarCellValues v;
  v.minutes = 59 * 60 + 59;
  v.distance = 999.99;
  v.ascent = 19999;
  v.tss = 999;
  v.work = 19999;
  v.intensity = 1.99;
  v.cadence = 199;
  v.speed = 99.9;
  v.heart_rate = 199;
  v.temperature = -19.9;
  v.power_all = v.power_nz = v.power_nz_by_power_time = v.np = 999;
  v.weight = 70;
  const TFont& font = CalGrid->Font;
  const bool miles = (UnitFlags & kUnitMiles) != 0;
  int need = 0;
  for (bool summary : {false, true})
    for (int item = 0; item < kCalendarItems; ++item) {
      const CalendarLineText t = CalendarLine(v, item, summary, miles, 70.0f);
      // A pair as DrawLines puts it: 2 px in, a gap, 5 px before the edge.
      int w = 2 + MeasureTextWidth(font, t.left) + 4;
      if (t.layout == CalendarLineLayout::Pair) w += MeasureTextWidth(font, t.right) + 5;
      need = std::max(need, w + (summary ? 6 : 0));
    }
  for (int col = 1; col <= 8; ++col)
    need = std::max(need, MeasureTextWidth(font, UiText[static_cast<std::size_t>(col)]) + 6);
  return std::max(need, MeasureTextWidth(font, FormatDisplayDate(CalendarFirstMonday())) + 6);
}

void TForm33::LayoutSettingsPanel() {
  int combo_w = 226;
  for (TComboBox* cb : CB_Cal_Z) {
    FitWidthToCaption(*cb, 226);
    combo_w = std::max(combo_w, cb->Width);
  }
  for (TComboBox* cb : CB_Cal_Z) cb->Width = combo_w;
  FitWidthToCaption(*CaEL1, 0);
  CB1->Left = std::max(80, CaEL1->Left + CaEL1->Width + 8);
  for (TButton* b : {Cal_OK, Cal_NO}) FitWidthToCaption(*b, 105);
  const int width = std::max({12 + combo_w + 12, 12 + Cal_OK->Width + 16 + Cal_NO->Width + 12,
                              CB1->Left + CB1->Width + ZDP_SB->Width + 12});
  Cal_Edit->Width = width;
  Cal_NO->Left = width - 12 - Cal_NO->Width;
  ZDP_SB->Left = width - 26;
  // Inside the window, where it was designed when there is room.
  Cal_Edit->Left = std::max(0, std::min(330, ClientWidth() - width - 5));
  Cal_Edit->Top = std::max(0, std::min(60, ClientHeight() - Cal_Edit->Height - 5));
}

void TForm33::FormClose(TControl*, TCloseAction&) {
  Cal_Edit->Hide();
  CloseZonePie();
}

void TForm33::FormKeyDown(TControl*, WORD& key, TShiftState) {
  // Esc closes the settings panel as a discard: the stored values go back
  // into its controls, the calendar stays open.
  if (key == VK_ESCAPE && Cal_Edit->Visible) {
    Cal_NOClick(this);
    Cal_Edit->Hide();
    key = 0;
    return;
  }
  HandleHelpKey(key, 2);
}

void TForm33::ZDP_SBClick(TControl*) { Close(); }

// ===========================================================================
// Drawing
// ===========================================================================

void TForm33::CalGridDrawCell(TControl*, TCanvas& c, int col, int row, const TRect& rect, TGridDrawState) {
  c.SetClipRect(rect);
  c.Font = CalGrid->Font;
  c.Brush.Style = TBrushStyle::bsSolid;
  if (row == 0 || col == 0) {
    c.Brush.Color = CalGrid->FixedColor;
    c.FillRect(rect);
    c.Brush.Style = TBrushStyle::bsClear;
    if (row == 0) {
      const std::string& title = UiText[static_cast<std::size_t>(std::clamp(col, 0, 8))];
      if (col == 0) c.TextOut(rect.Left + 2, rect.Top + 5, title);
      else TextCentred(c, rect, rect.Top + 5, title);
    } else if (CalendarWeekCount > 0) {
      c.TextOut(rect.Left + 2, rect.Top + 3, Format("%i", CalendarWeekNumberOfRow(row)));
    }
  } else if (col <= 7) {
    DrawDayCell(c, col, row, rect);
  } else {
    DrawSummaryCell(c, row, rect);
  }
  c.Brush.Style = TBrushStyle::bsSolid;
}

void TForm33::DrawLines(TCanvas& c, const TRect& rect, int x, int width, bool summary, const CalendarCellValues& v) {
  const CalendarShow& show = CalendarShows[std::clamp(CalendarShowIndex, 0, kCalendarShowCount - 1)];
  const int choice = std::clamp(CalendarLinesIndex, 0, 3);
  const int lines = choice + 2, height = kCalendarLineHeights[choice];
  const bool miles = (UnitFlags & kUnitMiles) != 0;
  c.Brush.Style = TBrushStyle::bsClear;
  for (int k = 1; k <= lines; ++k) {
    const CalendarLineText t = CalendarLine(v, show.Values[k], summary, miles, RiderWeight());
    const int y = rect.Top + 20 + k * height - (lines == 2 ? 10 : 0);
    switch (t.layout) {
      case CalendarLineLayout::Pair:
        c.TextOut(x + 2, y, t.left);
        c.TextOut(x + width - 5 - c.TextWidth(t.right), y, t.right);
        break;
      case CalendarLineLayout::Left: c.TextOut(x + 2, y, t.left); break;
      case CalendarLineLayout::Centre: c.TextOut(x + (width - c.TextWidth(t.left)) / 2, y, t.left); break;
    }
  }
  c.Brush.Style = TBrushStyle::bsSolid;
}

void TForm33::DrawDayCell(TCanvas& c, int col, int row, const TRect& rect) {
  c.Brush.Color = CalGrid->Color;
  c.FillRect(rect);
  if (CalendarWeekCount <= 0) return;
  const long long d = 7LL * (row - 1) + col - 1;
  const int x = rect.Left, y = rect.Top, w = rect.Width();
  c.Brush.Style = TBrushStyle::bsClear;
  const std::string date = FormatDisplayDate(CalendarFirstMonday() + static_cast<double>(d));
  TextCentred(c, rect, y + 3, date);
  const int date_left = x + (w - c.TextWidth(date)) / 2;
  const TRect date_text{date_left, y + 3, date_left + c.TextWidth(date), y + 3 + c.TextHeight(date)};
  c.Pen = TPen{ChartColors[8], 1, TPenStyle::psSolid};
  c.MoveTo(x, y + 16);
  c.LineTo(x + w, y + 16);
  c.Brush.Style = TBrushStyle::bsSolid;
  c.Brush.Color = ChartColors[8];
  c.FrameRect(rect);

  const CalendarDay& day = CalendarDayAt(d);
  if (day.RideMinutes > 0) DrawLines(c, rect, x, w, false, DayCellValues(day));
  // The icon of the day's other kinds of sport: full size where the day has
  // no lines, else small beside the date, so that it covers no text.
  const int32_t mask = CalendarSportMaskAt(d);
  if (mask > 0) {
    const bool lines = day.RideMinutes > 0;
    const TRect icon = CalendarIconRect(rect, date_text, lines, kIconSize, kSmallIconSize);
    const auto& masks = lines ? small_masks_ : masks_;
    if (icon.Width() > 0)
      DrawSilhouette(c, masks[static_cast<std::size_t>(CalendarIconOfMask(mask))], icon.Left, icon.Top, rect,
                     CalGrid->Color, ChartColors[11]);
  }
  int from = x + 5;
  int zone = 0;
  for (int end : ZoneBarEnds(day.ZoneSeconds, Zones(), x + 5, w - 8)) {
    c.Brush.Color = ZoneColors[zone++];
    c.FillRect({from, y + 23, end, y + 33});
    from = end;
  }
}

void TForm33::DrawSummaryCell(TCanvas& c, int row, const TRect& rect) {
  c.Brush.Color = CalGrid->Color;
  c.FillRect(rect);
  c.Brush.Color = ChartColors[8];
  c.FrameRect(rect);
  if (CalendarWeekCount <= 0) return;
  const std::array<CalendarDay, 7> days = DaysFrom(7LL * (row - 1), 7);
  const CalendarCellValues week = WeekCellValues(days.data(), 7);
  if (week.minutes <= 0) return;
  DrawLines(c, rect, rect.Left + 6, rect.Width() - 6, true, week);
  const int zones = Zones();
  const std::array<uint64_t, 10> seconds = WeekZoneSeconds(days.data(), 7);
  const uint64_t largest = *std::max_element(seconds.begin(), seconds.begin() + zones);
  if (largest > 0) {
    const int bar = std::max(1, (rect.Width() - 16) / zones);
    const int base = rect.Top + 33;
    for (int k = 0; k < zones; ++k) {
      const int h = static_cast<int>(30.0 * static_cast<double>(seconds[static_cast<std::size_t>(k)]) / static_cast<double>(largest));
      c.Brush.Color = ZoneColors[k];
      c.FillRect({rect.Left + 7 + k * bar, base - h, rect.Left + 7 + (k + 1) * bar, base});
    }
  }
  SB_NW->Hint = CalendarPeriodHint(LastWeekOnScreen(), SB_NW->Tag);
}

int TForm33::LastWeekOnScreen() const {
  int col = -1, row = -1;
  if (CalGrid->MouseToCell(CalGrid->Width * 7 / 8, CalGrid->Height - 30, col, row) && row >= 1) return row;
  return CalGrid->RowCount() - 1;
}

// ===========================================================================
// Clicks
// ===========================================================================

void TForm33::CalGridSelectCell(TControl*, int, int, bool&) {}

void TForm33::CalGridMouseDown(TControl*, TMouseButton, TShiftState, int x, int y) {
  int col = -1, row = -1;
  if (!CalGrid->MouseToCell(x, y, col, row)) return;
  const CalendarHit hit = CalendarHitTest(col, row, y - CalGrid->CellRect(col, row).Top, CalendarWeekCount);
  const double date = CalendarFirstMonday() + static_cast<double>(hit.day_index);
  switch (hit.what) {
    case CalendarClick::None: break;
    case CalendarClick::PeriodSums: OpenPeriodZoneSums(date); break;
    case CalendarClick::DaySums: OpenDayZoneSums(date); break;
    case CalendarClick::DayPie: ShowCalendarPie(hit.day_index, 1); break;
    case CalendarClick::DayDiary: ShowDiaryDay(date); break;
    case CalendarClick::WeekPie: ShowCalendarPie(hit.day_index, 7); break;
    case CalendarClick::WeekDiary: ShowDiaryWeek(date); break;
  }
}

void TForm33::ShowCalendarPie(long long day_index, int days) {
  if (Form10 == nullptr) return;
  const double first = CalendarFirstMonday() + static_cast<double>(day_index);
  ZonePieFill fill;
  const std::string when = days == 1 ? FormatDisplayDate(first)
                                     : UiText[10] + "  " + FormatDisplayDate(first) + " - " + FormatDisplayDate(first + 6);
  const std::string* zone_title = WindowText("TForm4", "UiText", 10 + KindOf(SB_SEL));
  const std::string zones = zone_title != nullptr ? *zone_title : std::string();
  fill.title = {when, zones};
  for (const CalendarDay& d : DaysFrom(day_index, days))
    for (int z = 0; z < 10; ++z) fill.seconds[static_cast<std::size_t>(z)] += d.ZoneSeconds[z];
  fill.zoneCount = Zones();
  fill.showWhenEmpty = false;
  OpenZonePie(fill);
}

// ===========================================================================
// Buttons
// ===========================================================================

void TForm33::SB_SELClick(TControl*) {
  SB_SEL->Tag = SB_SEL->Tag >= 2 ? 0 : SB_SEL->Tag + 1;
  if (const TSpeedButton* glyph = DiaryKindButton(SB_SEL->Tag)) {
    SB_SEL->Glyph = glyph->Glyph;
    SB_SEL->Caption = glyph->Caption;
  }
  SB_SEL->Hint = UiText[static_cast<std::size_t>(31 + SB_SEL->Tag)];
  SB_SEL->Invalidate();
  // Reopened through the main window, which rebuilds it for the new kind;
  // a calendar that stayed the active window is rebuilt here.
  const uint64_t before = activations_;
  Close();
  if (!OpenCalendarFromMain()) return;
  if (activations_ == before && CalendarAskedByMain()) FormActivate(this);
}

void TForm33::SB_NWClick(TControl*) {
  SB_NW->Tag = NextCalendarPeriod(SB_NW->Tag);
  Graf6Settings[6] = SB_NW->Tag;
  SB_NW->Caption = CalendarPeriodCaption(SB_NW->Tag);
  SB_NW->Hint = CalendarPeriodHint(LastWeekOnScreen(), SB_NW->Tag);
  SB_NW->Invalidate();
}

void TForm33::SB_G6Click(TControl*) {
  if (Form35 == nullptr) return;
  const CalendarOverviewSpan span = CalendarOverviewSpanOf(LastWeekOnScreen(), SB_NW->Tag);
  PeriodStart = span.period_start;
  OpenOverview(10, span.first_item, span.item_count);
}

// ===========================================================================
// Settings panel
// ===========================================================================

void TForm33::ConfigurationToCombos(int index) {
  const CalendarShow& s = CalendarShows[std::clamp(index, 0, kCalendarShowCount - 1)];
  CB1->Select(CalendarLinesChoice(s));
  for (int k = 0; k < 5; ++k) {
    const int item = s.Values[k + 1];
    CB_Cal_Z[static_cast<std::size_t>(k)]->Select(item >= 0 && item < kCalendarItems ? item : -1);
  }
  TRadioButton* const edits[3] = {RB_01, RB_02, RB_03};
  edits[std::clamp(index, 0, 2)]->SetChecked(true);
}

void TForm33::ShowSettingsPanel(bool stored_items) {
  Cal_Edit->Show();
  Cal_Edit->BringToFront();
  const CalendarShow& s = CalendarShows[CalendarEditIndex];
  const int lines = std::max(0, CB1->ItemIndex) + 2;
  for (int k = 0; k < 5; ++k) {
    const int item = s.Values[k + 1];
    TComboBox* cb = CB_Cal_Z[static_cast<std::size_t>(k)];
    if (stored_items) cb->Select(item >= 0 && item < kCalendarItems ? item : -1);
    cb->Visible = k < lines;
  }
}

void TForm33::DO_1Click(TControl*) {
  CalendarEditIndex = std::clamp(CalendarShowIndex, 0, kCalendarShowCount - 1);
  for (TComboBox* cb : CB_Cal_Z) {
    cb->Items.Clear();
    for (int i = 0; i < kCalendarItems; ++i) cb->Items.Add(UiText[static_cast<std::size_t>(11 + i)]);
    cb->DropDownCount = kCalendarItems;
  }
  ConfigurationToCombos(CalendarEditIndex);
  LayoutSettingsPanel();
  ShowSettingsPanel();
}

// Only the number of lines changes: the items chosen so far stay.
void TForm33::CB1Change(TControl*) { ShowSettingsPanel(false); }

void TForm33::RB_0Click(int index) {
  CalendarEditIndex = std::clamp(index, 0, kCalendarShowCount - 1);
  CB1->Select(CalendarLinesChoice(CalendarShows[CalendarEditIndex]));
  ShowSettingsPanel();
}

void TForm33::Cal_OKClick(TControl*) {
  CalendarShow& s = CalendarShows[CalendarEditIndex];
  if (CB1->ItemIndex >= 0 && CB1->ItemIndex <= 3) s.Values[0] = CB1->ItemIndex;
  for (int k = 0; k < 5; ++k) {
    const int item = CB_Cal_Z[static_cast<std::size_t>(k)]->ItemIndex;
    if (item >= 0 && item < kCalendarItems) s.Values[k + 1] = item;
  }
  CalendarLinesIndex = CalendarLinesChoice(CalendarShows[CalendarShowIndex]);
  CalGrid->Invalidate();
}

void TForm33::Cal_NOClick(TControl*) { ConfigurationToCombos(CalendarEditIndex); }

void TForm33::RB_SClick(int index) {
  CalendarShowIndex = std::clamp(index, 0, kCalendarShowCount - 1);
  CalendarLinesIndex = CalendarLinesChoice(CalendarShows[CalendarShowIndex]);
  CalGrid->Invalidate();
}

// ---- Opened and asked by other windows ------------------------------------------

namespace tav {

double CalendarPeriodStart() { return Form33 != nullptr ? Form33->PeriodStart : 0.0; }

int CalendarKind() { return Form33 != nullptr && Form33->SB_SEL != nullptr ? Form33->SB_SEL->Tag : 0; }

bool BringCalendarToFront() {
  if (Form33 == nullptr || !Form33->Visible) return false;
  Form33->Show();
  Form33->BringToFront();
  return true;
}

}  // namespace tav
