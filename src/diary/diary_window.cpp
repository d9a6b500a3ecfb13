#include "diary/diary_window.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "core/core_data.h"
#include "core/settings.h"
#include "core/statistics.h"
#include "core/trip_date_text.h"
#include "core/trip_file.h"
#include "core/trip_list.h"
#include "platform/canvas.h"
#include "platform/text.h"
#include "texts/text_tables.h"

using namespace tav::literals;

TForm3* Form3 = nullptr;

static_assert(tav::kDiaryOrderSize == tav::kDiaryColumnOrderSize);
static_assert(tav::kDiaryOrderMarker == tav::kDiaryColumnMarker);

namespace tav {

std::vector<int32_t> DiaryRowLine;
std::vector<uint8_t> DiaryRowSelected;
std::vector<int32_t> DiaryRowSlot;
std::vector<int32_t> DiaryRowPowerSlot;
int32_t DiaryColumnPos[kDiaryOrderSize] = {};
int DiarySorted = 0;
int DiarySortItem = 0;
std::string DiaryRangeStart, DiaryRangeEnd, DiaryRangeText;
int DiaryRangeClickState = 0;
bool DiaryDragActive = false;
int DiaryDragRow = -100;
int DiaryClickCol = 0, DiaryClickRow = 0;
int DiaryTripSlot = 0, DiaryCompareSlot = 0;
std::string LoadedTripCaption;
int32_t DiaryMailEnabled = 0;
std::function<DiaryMissPicture()> DiaryCalendarPicture;

DiaryStats DiaryStatsOfSlot(int slot) {
  DiaryStats d;
  if (!IsTableSlot(slot)) return d;
  const TripSummary& s = TripSummaryTable[slot];
  d.total_time = s.TotalTime;
  d.distance = s.Distance;
  d.ascent = s.Ascent;
  d.power_with_zero = s.MeanPowerAll;
  d.power_no_zero = s.MeanPowerNonZero;
  d.np = s.NP;
  d.intensity = s.IF;
  d.tss = s.TSS;
  d.work = s.Work;
  d.heart_rate = s.MeanHeartRate;
  d.cadence = s.MeanCadence;
  d.speed = s.MeanSpeed;
  d.temperature = s.MeanTemperature;
  d.weight = s.Weight;
  return d;
}

}  // namespace tav

namespace {

using tav::TControl;

constexpr int kButtonW = 44, kButtonH = 30;
constexpr int kGridLeft = 2, kGridTop = 2;
constexpr int kCommentWidth = 200;
constexpr int kRowHeight = 22;
constexpr int kCellTextTop = 5;  // a marked date's text, and so every cell's, below the row's top
// An activation that has this many trips to load and evaluate shows the
// please-wait panel with its progress and keeps the window responsive.
constexpr int kWaitPanelRows = 3;

using tav::kDiaryPanelRed;

// Design-time texts of the window (German); the language tables replace them.
const char* const kDesignUiText[tav::kDiaryUiTexts] = {
    "Tagebuch", "Datum / Zeit", "Bemerkung", "Dauer", "Strecke", "Power", "Puls", "RPM",
    "Geschw.", "Temp.", "Power-Mittel ohne Nullwerte", "Power-Mittel mit Nullwerte", "Arbeit",
    "Es wurden keine 2 Fahrten markiert", "Speicherintervalle ungleich",
    "Puls Aufzeichnung fehlerhaft", "Gesamtzeit", "Es wurde keine Fahrt zum Versenden markiert",
    "Bemerk.2", "keine", "Ihre DEO-Datei wurde in eine CSV-Datei gewandelt",
    "Die CSV-Datei wurde in Ihrem Fahrerordner gespeichert",
    "Ihre DEO-Datei in den Vergleichsordner eingefügt", "Zur Ansicht wechseln sie in diesen Ordner",
    "Die DEO-Dateien wurden zusammen gefasst", "Die zweite Datei wurde gelöscht",
    "Sie können nun die zusammengefasste Fahrt in den Rohdaten ansehen", "Alle Fahrten auswählen",
    "Datums selektive Auswahl", "Bitte klicken Sie das Anfangsdatum an",
    "Klicken sie nun das Enddatum an"};

// A date value as the eight digits of a trip key ("" when it is no date).
std::string DateKeyText(double date) {
  int32_t value = 0;
  if (!tav::DateValueDay(date, value)) return {};
  int y = 0, m = 0, d = 0;
  tav::DateOfValue(value, y, m, d);
  return tav::Format("%4i%02i%02i", y, m, d);
}

}  // namespace

namespace tav {

void SetFlat(TSpeedButton* b, bool flat) {
  b->Flat = flat;
  b->Invalidate();
}

float RiderFirstZoneValue() {
  const int r = CurrentRider;
  if (r < 0 || r >= kRiderCount) return 0.0f;
  return RiderZones[r][kZoneRowPower][0];
}

void FixThreshold(TripSample& header) {
  if (HeaderThreshold(header) != 0.0f) return;
  const float rider = RiderFirstZoneValue();
  HeaderThreshold(header) = rider != 0.0f ? rider : 100.0f;
}

void ZeroDistancesAfter(TripSample* samples, int count) {
  const int end = std::min(kTripBufferRecords, count + 500);
  for (int i = std::max(0, count); i < end; ++i) samples[i].Distance = 0.0f;
}

}  // namespace tav

using tav::FixThreshold;
using tav::SetFlat;
using tav::ZeroDistancesAfter;

// ===========================================================================
// Construction
// ===========================================================================

TForm3::TForm3() {
  Name = "Form3";
  Caption = "TAGEBUCH / DAYBOOK";
  ScanMode = 0;
  ViewCaption.clear();
  SetBounds(230, 180, 1220, 610);
  Visible = false;
  for (int i = 0; i < tav::kDiaryUiTexts; ++i) UiText[static_cast<std::size_t>(i)] = tav::Utf8ToCp1252(kDesignUiText[i]);
  CreateControls();
  FinishCreate();
}

TForm3::~TForm3() { tav::StopBestPowerWorker(this); }

void TForm3::CreateControls() {
  using namespace tav;
  // Texts below are UTF-8 here and Windows-1252 in the controls.
  auto button = [this](const char* name, const char* caption, TControl* parent = nullptr, const char* hint = "") {
    auto* b = Make<TSpeedButton>(name, parent);
    b->SetBounds(0, 0, kButtonW, kButtonH);
    b->Caption = Utf8ToCp1252(caption);
    b->Hint = Utf8ToCp1252(hint);
    b->Flat = true;
    return b;
  };
  auto hidden_panel = [this](const char* name, int x, int y, int w, int h) {
    auto* p = Make<TPanel>(name);
    p->SetBounds(x, y, w, h);
    p->Visible = false;
    return p;
  };
  auto push = [this](const char* name, TControl* parent, int x, int y, int w, int h, const char* caption) {
    auto* b = Make<TButton>(name, parent);
    b->SetBounds(x, y, w, h);
    b->Caption = Utf8ToCp1252(caption);
    return b;
  };
  auto label = [this](const char* name, TControl* parent, int x, int y, const std::string& caption) {
    auto* l = Make<TLabel>(name, parent);
    l->Left = x;
    l->Top = y;
    l->SetCaption(caption);
    return l;
  };

  // The grid and its font.
  Test_W = Make<TLabel>("Test_W");
  Test_W->Font.Name = "Verdana";
  Test_W->Font.SetPixelHeight(12);
  // Verdana, 12 px: the face is asked for by name (whatever its pitch), so
  // the blanks of the right-aligned number formats are narrower than digits.
  Test_W->Font.FixedPitch = false;
  Test_W->Visible = false;
  DBook = Make<TStringGrid>("DBook");
  DBook->SetBounds(kGridLeft, kGridTop, 1180, 500);
  DBook->SetColCount(kDiaryColumns);
  DBook->SetRowCount(10);
  DBook->SetFixedRows(2);
  DBook->SetFixedCols(0);
  DBook->Options |= goRowSelect | goColMoving;
  DBook->Options &= ~goRangeSelect;
  DBook->SetDefaultColWidth(120);
  DBook->SetDefaultRowHeight(kRowHeight);
  DBook->CellTextTop = kCellTextTop;
  DBook->Font = Test_W->Font;
  DBook->OnDrawCell = [this](TControl* s, TCanvas& c, int col, int row, const TRect& r, TGridDrawState st) {
    DBookDrawCell(s, c, col, row, r, st);
  };
  DBook->OnTopLeftChanged = [this](TControl* s) { DBookTopLeftChanged(s); };
  DBook->OnColumnMoved = [this](TControl* s, int from, int to) { DBookColumnMoved(s, from, to); };
  DBook->OnMouseDown = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) { DBookMouseDown(s, b, sh, x, y); };
  DBook->OnMouseMove = [this](TControl* s, TShiftState sh, int x, int y) { DBookMouseMove(s, sh, x, y); };
  DBook->OnMouseUp = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) { DBookMouseUp(s, b, sh, x, y); };
  DBook->OnDblClick = [this](TControl* s) { DBookDblClick(s); };

  Memo1 = Make<TMemo>("Memo1");
  Memo1->SetBounds(300, 100, 200, 150);
  Memo1->Visible = false;
  Memo1->OnDblClick = [this](TControl* s) { Memo1DblClick(s); };
  Sort_L = Make<TListBox>("Sort_L");
  Sort_L->Visible = false;

  // Button row, left part (hints in German until a language table is applied).
  SB_DATEN = button("SB_DATEN", "123", nullptr, "Fahrt in Zahlen ansehen (Tabelle)");
  SB_GRAF = button("SB_GRAF", "Graf", nullptr, "Fahrt als Grafik ansehen");
  SB_GRA2 = button("SB_GRA2", "2 Gr", nullptr, "2 Fahrten als Grafik vergleichen");
  SB_AW = button("SB_AW", "Sum", nullptr, "Auswertung Gesamtstrecke");
  SB_STA2 = button("SB_STA2", "Zone", nullptr, "Statistik Traningsbereiche");
  SB_STAT = button("SB_STAT", "Stat", nullptr, "Statistik in Zahlen + Grafik (für markierte Fahrten)\nRechtsClick");
  SB_PA = button("SB_PA", "PP", nullptr, "Power Profil");
  SB_MAIL = button("SB_MAIL", "Mail", nullptr, "Markierte Fahrten werden verschickt");
  SB_PT = button("SB_PT", "P-t", nullptr, "Wie lange wurde die Power getreten");
  SB_PP = button("SB_PP", "P/HR", nullptr, "Auswertung zum Power-Puls Verhältnis");
  SB_GD = button("SB_GD", "%", nullptr, "Auswertung Steigung mit Power, Puls ...");
  SB_PRS = button("SB_PRS", "P/n", nullptr, "Auswertung Power/RPM und Power Geschw.");
  SB_DEO_CSV = button("SB_DEO_CSV", "CSV", nullptr, "Konvertiere DEO-File zum CSV-File (Exel)/RechtsKlick(WKO)");
  SB_DEO_DEO = button("SB_DEO_DEO", "1+2", nullptr, "Zwei Teilfahrten zusammenfügen");
  SB_DEO_CSV->Visible = false;
  SB_DEO_DEO->Visible = false;
  SB_PT->Tag = 2;
  // Button row, right part.
  const char* const sort_hint = "Sortierte Auf – bzw Abwärts (Rechte Maustaste)";
  SB_TRIP_KILL = button("SB_TRIP_KILL", "Del", nullptr, "Fahrt aus der Liste löschen");
  SB_NO_RIDE = button("SB_NO_RIDE", "+", nullptr, "Dateneingabe für Läufer/Schwimmer");
  SB_SOZA = button("SB_SOZA", "Z-A", nullptr, sort_hint);
  SB_SOAZ = button("SB_SOAZ", "A-Z", nullptr, sort_hint);
  SB_SOZA->Visible = false;
  SB_SEL_ALL = button("SB_SEL_ALL", "", nullptr, "Alle Fahrten auswählen");
  SB_COLLEC = button("SB_COLLEC", "Col", nullptr, "Deo zum Vergleichsordner speichern");
  SB_COLLEC->Visible = false;
  CB_SORT = Make<TComboBox>("CB_SORT");
  CB_SORT->Style = TComboBoxStyle::csDropDownList;
  CB_SORT->Width = 170;
  CB_SORT->Visible = false;
  SB_HILFE = button("SB_HILFE", "?");
  SB_HILFE->Visible = false;
  SB_SEL0 = button("SB_SEL0", "Rad P");
  SB_SEL1 = button("SB_SEL1", "Rad HR");
  SB_SEL2 = button("SB_SEL2", "Lauf");
  SB_STA0 = button("SB_STA0", "Stat");
  SB_STA1 = button("SB_STA1", "CSV");
  for (TSpeedButton* b : {SB_SEL0, SB_SEL1, SB_SEL2, SB_STA0, SB_STA1}) b->Visible = false;

  CB_SORT->OnSelect = [this](TControl* s) { CB_SORTClick(s); };
  SB_SOAZ->OnClick = [this](TControl* s) { SB_SOAZClick(s); };
  SB_SOZA->OnClick = [this](TControl* s) { SB_SOZAClick(s); };
  SB_SOAZ->OnMouseDown = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) { SB_SOAZMouseDown(s, b, sh, x, y); };
  SB_SOZA->OnMouseDown = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) { SB_SOZAMouseDown(s, b, sh, x, y); };
  for (TSpeedButton* b : {SB_SEL_ALL, SB_SEL0, SB_SEL1, SB_SEL2}) b->OnClick = [this](TControl* s) { SB_SEL_ALLClick(s); };
  SB_SEL_ALL->OnMouseDown = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) { SB_SEL_ALLMouseDown(s, b, sh, x, y); };

  // Message panel.
  P_NOTRIP = hidden_panel("P_NOTRIP", 3, 3, 420, 36);
  P_NOTRIP->Color = kDiaryPanelRed;
  P_NOTRIP->OnClick = [this](TControl* s) { P_NOTRIPClick(s); };

  // Comment panel.
  DB_TP = hidden_panel("DB_TP", 400, 100, 460, 130);
  DB_Memo = Make<TMemo>("DB_Memo", DB_TP);
  DB_Memo->SetBounds(4, 4, 390, 78);
  L_Bemerk2 = label("L_Bemerk2", DB_TP, 4, 90, UiText[18]);
  E_Bemerk2 = Make<TEdit>("E_Bemerk2", DB_TP);
  E_Bemerk2->SetBounds(90, 86, 304, 21);
  SB_CT = button("SB_CT", "OK", DB_TP);
  SB_CT->Left = 404;
  SB_CT->Visible = false;
  SB_CLR_Only = button("SB_CLR_Only", "X", DB_TP);
  SB_CLR_Only->Left = 404;
  SB_CLR_Only->Top = 4;
  SB_B1 = button("SB_B1", "", DB_TP);
  SB_B1->Left = 404;
  SB_B1->Top = 60;

  // Manual-entry panel.
  P_LSD = hidden_panel("P_LSD", 700, 80, 360, 330);
  // One labelled entry per line: the label at the left, the entry at 130.
  int line_y = 8;
  auto entry = [&](auto* control, const char* label_name, const std::string& caption, int width) {
    TLabel* l = label(label_name, P_LSD, 10, line_y + 4, caption);
    control->SetBounds(130, line_y, width, 21);
    line_y += 26;
    return l;
  };
  ED_1 = Make<TDateTimePicker>("ED_1", P_LSD);
  LED_1 = entry(ED_1, "LED_1", "Datum", 140);
  ED_2 = Make<TDateTimePicker>("ED_2", P_LSD);
  ED_2->Kind = TDateTimeKind::dtkTime;
  LED_2 = entry(ED_2, "LED_2", "Zeit", 140);
  ED_3 = Make<TDateTimePicker>("ED_3", P_LSD);
  ED_3->Kind = TDateTimeKind::dtkTime;
  ED_3->ShowDuration = true;
  LED_3 = entry(ED_3, "LED_3", UiText[3], 140);
  ED_4 = Make<TEdit>("ED_4", P_LSD);
  LED_4 = entry(ED_4, "LED_4", UiText[4] + " [km]", 100);
  ED_5 = Make<TEdit>("ED_5", P_LSD);
  LED_5 = entry(ED_5, "LED_5", UiText[6], 100);
  ED_6 = Make<TEdit>("ED_6", P_LSD);
  LED_6 = entry(ED_6, "LED_6", UiText[9] + " [\xB0" "C]", 100);
  const char* rb_names[5] = {"RB_01", "RB_02", "RB_03", "RB_04", "RB_05"};
  const char* ib_names[5] = {"IB_2", "IB_4", "IB_1", "IB_6", "IB_7"};
  TRadioButton** rbs[5] = {&RB_01, &RB_02, &RB_03, &RB_04, &RB_05};
  TImage** ibs[5] = {&IB_2, &IB_4, &IB_1, &IB_6, &IB_7};
  for (int k = 0; k < 5; ++k) {
    *rbs[k] = Make<TRadioButton>(rb_names[k], P_LSD);
    (*rbs[k])->SetBounds(44 + 62 * k, 194, 20, 17);
    *ibs[k] = Make<TImage>(ib_names[k], P_LSD);
    (*ibs[k])->SetBounds(40 + 62 * k, 166, 28, 24);
  }
  Memo2 = Make<TMemo>("Memo2", P_LSD);
  Memo2->SetBounds(10, 218, 340, 70);
  ED_OK = push("ED_OK", P_LSD, 10, 296, 120, 25, "Übernehmen");
  ED_NO = push("ED_NO", P_LSD, 230, 296, 120, 25, "Verwerfen");

  // Delete confirmation.
  P_CT = hidden_panel("P_CT", 300, 200, 360, 80);
  L_FRAG = label("L_FRAG", P_CT, 12, 10, "Soll die Fahrt GELÖSCHT werden?"_w);
  B_CL_Trip = push("B_CL_Trip", P_CT, 12, 44, 140, 25, "Löschen");
  B_Nein = push("B_Nein", P_CT, 208, 44, 140, 25, "Nein");

  // Statistics panel.
  ZDP = hidden_panel("ZDP", 200, 60, 520, 330);
  ZDP_SB = button("ZDP_SB", "X", ZDP);
  ZDP_SB->Left = 2;
  ZDP_SB->Top = 2;
  const char* zd_names[12] = {"ZD0", "ZD1", "ZD2", "ZD3", "ZD4", "ZD5", "ZD6", "ZD7", "ZD8", "ZD9", "ZDA", "ZDB"};
  for (int k = 0; k < 12; ++k) ZD[static_cast<std::size_t>(k)] = label(zd_names[k], ZDP, 20, 0, " ");
  ZD0 = ZD[0], ZD1 = ZD[1], ZD2 = ZD[2], ZD3 = ZD[3], ZD4 = ZD[4], ZD5 = ZD[5];
  ZD6 = ZD[6], ZD7 = ZD[7], ZD8 = ZD[8], ZD9 = ZD[9], ZDA = ZD[10], ZDB = ZD[11];

  // Info panel.
  Info_Panel = hidden_panel("Info_Panel", 300, 150, 400, 100);
  Info_Panel->Color = clInfoBk;
  L_Info1 = label("L_Info1", Info_Panel, 16, 14, " ");
  L_Info2 = label("L_Info2", Info_Panel, 16, 38, " ");
  L_Info3 = label("L_Info3", Info_Panel, 16, 62, " ");
  for (TLabel* l : {L_Info1, L_Info2, L_Info3}) l->Font.SetPixelHeight(14);
  C_Button = push("C_Button", Info_Panel, 0, 3, 22, 22, "X");
  C_Button->OnClick = [this](TControl* s) { C_ButtonClick(s); };
  PB_Info = Make<TProgressBar>("PB_Info", Info_Panel);
  PB_Info->Visible = false;

  // Find panel: a title saying what it does, and a close button.
  P_FIND = hidden_panel("P_FIND", 400, 50, 300, 64);
  L_Find = label("L_Find", P_FIND, 8, 8, " ");
  C_Find = push("C_Find", P_FIND, 300 - 22 - 3, 3, 22, 22, "X");
  C_Find->OnClick = [this](TControl*) { P_FIND->Hide(); };
  E_Find = Make<TEdit>("E_Find", P_FIND);
  E_Find->SetBounds(8, 33, 200, 21);
  B_Find = push("B_Find", P_FIND, 216, 32, 76, 24, "Find");
  B_Find->Default = true;
  B_Find->OnClick = [this](TControl* s) { B_FindClick(s); };

  // Date-span panel.
  P_DateDiff = hidden_panel("P_DateDiff", 150, 100, 330, 76);
  DP_Start = Make<TDateTimePicker>("DP_Start", P_DateDiff);
  DP_Start->SetBounds(8, 8, 150, 21);
  DP_End = Make<TDateTimePicker>("DP_End", P_DateDiff);
  DP_End->SetBounds(170, 8, 150, 21);
  B_DDIFF_OK = push("B_DDIFF_OK", P_DateDiff, 8, 42, 150, 25, "OK");
  B_DDIFF_OK->OnClick = [this](TControl* s) { B_DDIFF_OKClick(s); };
  Button2 = push("Button2", P_DateDiff, 170, 42, 150, 25, "X");
  Button2->OnClick = [this](TControl* s) { Button2Click(s); };
  // Esc closes an open panel as its cancel button does, touching no marks.
  for (TButton* b : {C_Button, C_Find, Button2, B_Nein, ED_NO}) b->Cancel = true;

  // The calendar's picture after a miss.
  PB_Miss = Make<TPaintBox>("PB_Miss");
  PB_Miss->SetBounds(0, 0, 50, 50);
  PB_Miss->Visible = false;
  PB_Miss->OnPaint = [this](TControl*, TCanvas& canvas) {
    // The picture without the pixels of its background colour (pixel 1, 1).
    if (!miss_picture_.Empty()) canvas.DrawTransparent(0, 0, miss_picture_, miss_picture_.Pixel(1, 1));
  };
  T_Miss = MakeTimer("T_Miss");
  T_Miss->SetInterval(2000);
  T_Miss->OnTimer = [this](TTimer*) {
    CancelMissPicture();
    Close();
  };

  // Form events and the create-time layout.
  KeyPreview = true;
  OnActivate = [this](TControl* s) { FormActivate(s); };
  OnResize = [this](TControl* s) { FormResize(s); };
  OnKeyDown = [this](TControl* s, WORD& key, TShiftState sh) { FormKeyDown(s, key, sh); };
  OnClose = [this](TControl* s, TCloseAction& a) { FormClose(s, a); };

  ZDP->Font.Size = Screen().Height < 1100 ? 10 : 11;
  int y = ZDP_SB->Height + 3;
  for (int k = 0; k < 12; ++k) {
    TLabel* l = ZD[static_cast<std::size_t>(k)];
    l->Font.Size = ZDP->Font.Size;
    l->SetCaption(" ");
    if (k == 1 || k == 3 || k == 8 || k == 10) y += 6;
    l->Left = 20;
    l->Top = y;
    y += l->Height - 2;
  }
  SB_SEL_ALL->Glyph = SB_SEL0->Glyph;
  SB_SEL_ALL->Caption = SB_SEL0->Caption;
  DBook->Canvas().Font = Test_W->Font;
  P_DateDiff->Left = 150;
  P_DateDiff->Top = 100;
  DiaryRowLine.assign(10, 0);
  for (int i = 0; i < 10; ++i) DiaryRowLine[static_cast<std::size_t>(i)] = i;
  DiaryRowSelected.assign(10, 0);
  DiaryRowSlot.assign(10, 0);
  DiaryRowPowerSlot.assign(10, 0);
  tav::BuildDiaryColumnPos(tav::DiaryColumnOrder, tav::DiaryColumnPos);
  WireCommands();
}

// ===========================================================================
// Small helpers
// ===========================================================================

std::string TForm3::PleaseWait() const {
  const std::string* update_text = tav::WindowText("TForm50", "UiText", 22);
  if (update_text != nullptr && !update_text->empty()) return *update_text;
  return PleaseWaitText;
}

int TForm3::ShownLineCount() const { return tav::DiaryShownLineCount(tav::TripList); }

int TForm3::LineIndexAt(int position) const {
  if (position < 0 || static_cast<std::size_t>(position) >= tav::DiaryRowLine.size()) return -1;
  const int idx = tav::DiaryRowLine[static_cast<std::size_t>(position)];
  if (idx < 0 || idx >= tav::TripList.Count()) return -1;
  return idx;
}

bool TForm3::ListRow(int row) const { return row >= 2 && row < 2 + ShownLineCount(); }

void TForm3::ClearMarks() {
  std::fill(tav::DiaryRowSelected.begin(), tav::DiaryRowSelected.end(), 0);
  SetFlat(SB_SEL_ALL, true);
  DBook->Invalidate();
}

void TForm3::MarkRows(int from_row, int to_row, bool on) {
  if (from_row > to_row) std::swap(from_row, to_row);
  for (int r = from_row; r <= to_row; ++r)
    if (ListRow(r) && static_cast<std::size_t>(r) < tav::DiaryRowSelected.size())
      tav::DiaryRowSelected[static_cast<std::size_t>(r)] = on ? 1 : 0;
  DBook->Invalidate();
}

void TForm3::ShowDiaryScanButton() {
  for (tav::TSpeedButton* b : {SB_PT, SB_PP, SB_GD, SB_PRS}) b->Hide();
  switch (SB_PT->Tag) {
    case 1: SB_PRS->Show(); break;
    case 2: SB_GD->Show(); break;
    case 3: SB_PP->Show(); break;
    default: SB_PT->Show(); break;
  }
}

// ===========================================================================
// Layout
// ===========================================================================

void TForm3::FitCommentColumn() {
  DBook->SetColWidth(1, kCommentWidth);
  int sum = 40;
  for (int c = 0; c < tav::kDiaryColumns; ++c) sum += DBook->ColWidth(c);
  if (sum < DBook->ClientWidth()) DBook->SetColWidth(1, kCommentWidth + ClientWidth() - sum);
}

void TForm3::LayoutButtonRow() {
  const int top = ClientHeight() - kButtonH - 5;
  int x = DBook->Left;
  // A button is as wide as its caption needs in the chosen language.
  auto place = [&](tav::TControl* c) {
    tav::FitWidthToCaption(*c, kButtonW);
    c->Left = x;
    c->Top = top;
    x += c->Width + 1;
  };
  for (tav::TControl* c : {SB_DATEN, SB_GRAF, SB_GRA2, SB_AW, SB_STA2, SB_STAT, SB_PA, SB_MAIL}) place(c);
  for (tav::TControl* c : {SB_PT, SB_PP, SB_GD, SB_PRS}) {
    c->Left = x;
    c->Top = top;
  }
  x += SB_PT->Width + 1;
  place(SB_DEO_CSV);
  place(SB_DEO_DEO);

  int right = ClientWidth() - 5;
  auto place_left = [&](std::initializer_list<tav::TControl*> shared) {
    int width = 0;
    for (tav::TControl* c : shared) width = std::max(width, c->Width);
    for (tav::TControl* c : shared) {
      c->Left = right - c->Width;
      c->Top = c == CB_SORT ? top + (kButtonH - c->Height) / 2 : top;
    }
    right -= width + 1;
  };
  place_left({SB_TRIP_KILL});
  place_left({SB_NO_RIDE});
  place_left({SB_SOZA, SB_SOAZ});
  place_left({SB_SEL_ALL, CB_SORT});
  place_left({SB_COLLEC});
  if (P_LSD->Visible) P_LSD->Left = ClientWidth() - P_LSD->Width - 30;
  // The smallest window: both groups of buttons side by side with a gap,
  // and room for the manual-entry panel above them.
  const int right_group = ClientWidth() - 5 - right;
  MinClientWidth = std::max(x + 8 + right_group + 5, P_LSD->Width + 30 + kGridLeft);
  MinClientHeight = 80 + P_LSD->Height + kButtonH + 10;
}

void TForm3::FormResize(tav::TControl*) {
  if (first_resize_) {
    first_resize_ = false;
    if (const std::optional<tav::WindowPlace> main = tav::MainPlace()) {
      Left = main->Left + 130;
      Top = main->Top + 100;
    }
    Height = 610;
  }
  const int row = DBook->DefaultRowHeight() + 1;
  int h = ClientHeight() - kButtonH - DBook->Top - 8;
  h = std::max(row, h / row * row);
  DBook->Height = h;
  DBook->Width = std::max(100, ClientWidth() - 2 * kGridLeft);
  FitCommentColumn();
  LayoutButtonRow();
}

// ===========================================================================
// Activation: the whole rebuild
// ===========================================================================

namespace {
// A recorded trip whose statistics (any slot of the tables, 0 too) or
// distribution (slots the grid shows) are still to be computed.
bool TripWorkDue(const std::string& line, const tav::DiarySlotField& f) {
  if (!tav::IsDiaryTripRow(line) || tav::IsManualEntryKeyLine(line) || !f.present || !tav::IsTableSlot(f.slot))
    return false;
  return f.pending || tav::TripSummaryTable[f.slot].TotalTime == 0 ||
         (tav::DiarySlotInRange(f.slot) && tav::TripDistributionTable[f.slot].Mark != tav::kTableMark);
}
}  // namespace

int TForm3::CountDueRows(int shown) const {
  int due = 0;
  for (int i = 0; i < shown; ++i) {
    const int idx = LineIndexAt(i);
    if (idx >= 0 && TripWorkDue(tav::TripList[idx], tav::ParseDiarySlot(tav::TripList[idx]))) ++due;
  }
  return due;
}

void TForm3::SetBusy(bool on) {
  if (on) {
    busy_saved_.clear();
    for (const auto& owned : Controls()) {
      tav::TControl* c = owned.get();
      if (c->Parent == Info_Panel || c == Info_Panel) continue;
      busy_saved_.emplace_back(c, c->Enabled);
      c->Enabled = false;
    }
  } else {
    for (auto& [c, enabled] : busy_saved_) c->Enabled = enabled;
    busy_saved_.clear();
  }
}

// Loads and evaluates a row's trip when its statistics are due; true when
// the trip was loaded.
bool TForm3::EvaluateRowIfDue(int position, int line_index, const tav::DiarySlotField& f) {
  const int slot = f.slot;
  if (!tav::IsTableSlot(slot)) return false;
  if (!(f.pending || tav::TripSummaryTable[slot].TotalTime == 0)) return false;
  if (!tav::LoadDiaryTrip(this, position)) return false;
  FixThreshold(tav::TripSamples[0]);
  tav::CurrentTripSlot = slot;
  tav::EvaluateTrip();
  Memo1->Lines.Add("neu");
  if (f.pending) {
    std::string& line = tav::TripList[line_index];
    if (f.pf_pos + 2 <= line.size()) line.replace(f.pf_pos, 2, "__");
    tav::TripListChanged = true;
  }
  return true;
}

void TForm3::RebuildRows(int shown, const tav::DiaryUnits& units, const TextMeasure& tw, double& total) {
  const int due = CountDueRows(shown);
  wait_shown_ = due >= kWaitPanelRows;
  wait_done_ = 0;
  if (wait_shown_) {
    SetBusy(true);
    PB_Info->Min = 0;
    PB_Info->Max = due;
    PB_Info->Position = 0;
    tav::ShowDiaryInfo(this, 4);
    tav::Application().ProcessMessages();
  }
  auto progress = [&] {
    if (!wait_shown_) return;
    PB_Info->Position = ++wait_done_;
    tav::Application().ProcessMessages();
  };

  const std::string& no_comment = UiText[19];
  tav::DiaryCells cells;
  widest_.fill(0);
  tav::DiaryTextWidths value_width(tw);
  for (int i = 0; i < shown; ++i) {
    const int idx = LineIndexAt(i);
    if (idx < 0) continue;
    const int row = i + 2;
    for (auto& c : cells) c.clear();
    // Copy: evaluating may rewrite the line ("PF" -> "__").
    std::string line = tav::TripList[idx];
    cells[tav::kMetricDate] = tav::FormatTripDateTime(line);
    const tav::DiarySlotField f = tav::ParseDiarySlot(line);
    if (f.present) {
      const int slot = f.slot;
      tav::CurrentTripSlot = slot;
      const bool trip = tav::IsDiaryTripRow(line);
      const bool was_due = TripWorkDue(line, f);
      if (EvaluateRowIfDue(i, idx, f)) line = tav::TripList[idx];
      if (tav::DiarySlotInRange(slot)) {
        tav::TripCounter = std::max(tav::TripCounter, slot);
        tav::DiaryRowSlot[static_cast<std::size_t>(i)] = slot;
        const tav::DiaryStats stats = tav::DiaryStatsOfSlot(slot);
        // A manual entry whose values were lost shows none.
        if (!tav::ManualValuesUnknown(line)) {
          tav::FillDiaryValueCells(stats, trip, units, cells);
          total += stats.distance * units.speed;
        }
        if (trip) {
          tav::DiaryRowPowerSlot[static_cast<std::size_t>(i)] = slot;
          if (tav::TripDistributionTable[slot].Mark != tav::kTableMark && tav::LoadDiaryTrip(this, i))
            tav::ComputeTripDistribution(slot);
        }
      }
      if (was_due) progress();
    }
    cells[tav::kMetricComment] = tav::DiaryCommentText(line, no_comment);
    cells[tav::kMetricRemark2] = tav::DiarySecondRemarkText(line);
    for (int m = 0; m < tav::kDiaryColumns; ++m) {
      if (m != tav::kMetricComment && m != tav::kMetricRemark2 && !cells[static_cast<std::size_t>(m)].empty())
        widest_[static_cast<std::size_t>(m)] =
            std::max(widest_[static_cast<std::size_t>(m)], value_width(cells[static_cast<std::size_t>(m)]));
      const int col = tav::DiaryColumnPos[m];
      if (col >= 0 && col < tav::kDiaryColumns && !cells[static_cast<std::size_t>(m)].empty())
        DBook->Cells(col, row) = std::move(cells[static_cast<std::size_t>(m)]);
    }
  }
  if (wait_shown_) {
    tav::ShowDiaryInfo(this, 0);
    SetBusy(false);
    wait_shown_ = false;
  }
}

void TForm3::FormActivate(tav::TControl*) {
  if (activating_) return;
  activating_ = true;
  using namespace tav;
  // Another rider's list since the last activation: what was open on the
  // old one ends unstored, and the diary opens anew (a calendar day keeps
  // the rows it marked for the new rider).
  const bool new_rider = WasActivated && shown_rider_ != CurrentRiderName;
  if (new_rider) {
    DropEditsOfOtherRider();
    if (Tag == 2) Tag = 1;
  }
  WasActivated = true;
  shown_rider_ = CurrentRiderName;
  // No drag marking goes on across a stay in another window: its row
  // belonged to the grid as it was.
  DiaryDragActive = false;
  DiaryDragRow = -100;
  // The selection button names its kind in the current language.
  SB_SEL_ALL->Caption = (SB_SEL_ALL->Tag == 1 ? SB_SEL1 : SB_SEL_ALL->Tag == 2 ? SB_SEL2 : SB_SEL0)->Caption;

  // A comment being typed stays in its panel, unstored: only its OK stores it.
  const bool typed = CommentTyped();
  const bool grid_enabled = DBook->Enabled;

  // 1. Modes, panels, layout. A block analysis waiting for a block keeps
  // its mode and its prompt.
  if (SB_PA->Tag != 2) ScanMode = 0;
  DBook->Canvas().Font = Test_W->Font;
  if (SB_PA->Tag == 0 && SB_STA2->Tag == 0) P_NOTRIP->Hide();
  FormResize(this);
  SB_TRIP_KILL->Enabled = false;
  if (Tag != 0 && !Visible) Show();
  ShowDiaryScanButton();

  // 2. Column order.
  BuildDiaryColumnPos(DiaryColumnOrder, DiaryColumnPos);

  // 3. List order as it is; no comment panel unless one is being typed.
  TripList.SetSorted(false);
  if (!typed) DB_TP->Hide();
  DBook->Enabled = typed ? grid_enabled : !P_CT->Visible;

  // 4. Rows and the row arrays.
  const int lines = TripList.Count();
  const int shown = DiaryShownLineCount(TripList);
  const int rows = std::max({10, lines + 3, shown + 4});
  DBook->SetRowCount(rows);
  DBook->ClearCells();
  const std::size_t n_rows = static_cast<std::size_t>(rows);
  if (Tag < 2) {
    DiaryRowLine.resize(n_rows);
    for (std::size_t r = 0; r < n_rows; ++r) DiaryRowLine[r] = static_cast<int32_t>(r);
    DiaryRowSelected.assign(n_rows, 0);
    DiarySorted = 0;
  } else {
    const std::size_t old = DiaryRowLine.size();
    DiaryRowLine.resize(n_rows);
    for (std::size_t r = old; r < n_rows; ++r) DiaryRowLine[r] = static_cast<int32_t>(r);
    DiaryRowSelected.resize(n_rows, 0);
    // A row map that no longer covers the list (lines added or removed
    // since it was sorted) falls back to list order.
    std::vector<uint8_t> seen(static_cast<std::size_t>(shown), 0);
    bool ok = true;
    for (int i = 0; i < shown && ok; ++i) {
      const int idx = DiaryRowLine[static_cast<std::size_t>(i)];
      ok = idx >= 0 && idx < shown && !seen[static_cast<std::size_t>(idx)];
      if (ok) seen[static_cast<std::size_t>(idx)] = 1;
    }
    if (!ok) {
      for (std::size_t r = 0; r < n_rows; ++r) DiaryRowLine[r] = static_cast<int32_t>(r);
      DiarySorted = 0;
      DiarySortItem = 0;
    }
  }
  DiaryRowSlot.assign(n_rows, 0);
  DiaryRowPowerSlot.assign(n_rows, 0);

  // 6. Units.
  SetUnitFactors();
  const DiaryUnits units = DiaryUnits::FromFlags(UnitFlags);
  const DiaryCells unit_texts = DiaryUnitTexts(units);
  for (int m = 0; m < kDiaryColumns; ++m) {
    const int col = DiaryColumnPos[m];
    if (col >= 0 && col < kDiaryColumns) DBook->Cells(col, 1) = unit_texts[static_cast<std::size_t>(m)];
  }
  LED_4->SetCaption(units.miles ? Format("%s[miles]", UiText[4].c_str()) : Format("%s [km]", UiText[4].c_str()));
  LED_6->SetCaption(units.fahrenheit ? Format("%s [\xB0" "F]", UiText[9].c_str()) : Format("%s [\xB0" "C]", UiText[9].c_str()));
  LED_3->SetCaption(UiText[3]);
  LED_5->SetCaption(UiText[6]);

  // 7. Date span of the whole list (only when the list has dated lines);
  // a new rider's list also replaces the span of the old one.
  if ((Tag == 1 || new_rider) && shown > 0) {
    const int32_t first = LineDateValue(TripList[0]), last = LineDateValue(TripList[shown - 1]);
    if (first != 0 && last != 0) {
      DP_Start->SetDate(first);
      DP_End->SetDate(last);
      B_DDIFF_OKClick(this);
    }
  }

  // 8. Rows (their value texts measured on the grid's canvas).
  TCanvas& measure = DBook->Canvas();
  measure.Font = Test_W->Font;
  const TextMeasure tw = [&measure](const std::string& s) { return measure.TextWidth(s); };
  double total = 0.0;
  RebuildRows(shown, units, tw, total);

  // 9. Distance total one row below the last entry.
  {
    const int col = DiaryColumnPos[kMetricDistance];
    const std::string text = Format("%8.2f ", total);
    if (col >= 0 && col < kDiaryColumns) DBook->Cells(col, shown + 3) = text;
    widest_[kMetricDistance] = std::max(widest_[kMetricDistance], DiaryTextWidths(tw)(text));
  }

  // 10. Titles and widths.
  const std::string weight_title = tav::MainWeightTitle();
  const DiaryCells titles = DiaryTitles(UiText, weight_title);
  DiaryCells first_row;
  for (int m = 0; m < kDiaryColumns; ++m) {
    const int col = DiaryColumnPos[m];
    if (col < 0 || col >= kDiaryColumns) continue;
    DBook->Cells(col, 0) = titles[static_cast<std::size_t>(m)];
    first_row[static_cast<std::size_t>(m)] = DBook->Cell(col, 2);
  }
  measure.Font = Test_W->Font;
  const auto widths = DiaryMetricWidths(titles, unit_texts, first_row, widest_, tw);
  for (int m = 0; m < kDiaryColumns; ++m) {
    const int col = DiaryColumnPos[m];
    const int w = widths[static_cast<std::size_t>(m)];
    if (w >= 0 && col >= 0 && col < kDiaryColumns) DBook->SetColWidth(col, w);
  }
  FitCommentColumn();
  DB_TP->Left = DBook->Left + DBook->ColWidth(0) + DBook->ColWidth(1) + 4;
  L_Bemerk2->SetCaption(UiText[18]);
  CB_SORT->Items.Clear();
  for (const std::string& item : DiarySortChoices(titles)) CB_SORT->Items.Add(item);
  CB_SORT->DropDownCount = CB_SORT->Items.Count();
  CB_SORT->Select(0);

  // 11. Caption.
  Caption = Format("%s   %s", UiText[0].c_str(), CurrentRiderName.c_str());

  // 12. The export button is offered for one activation.
  if (++SB_DEO_CSV->Tag > 1) SB_DEO_CSV->Hide();

  // Comment buttons after the rows are filled.
  if (!typed) {
    SB_CT->Hide();
    SB_CLR_Only->Top = 4;
  }

  // 13. Scroll to the newest trips and reset the sort and span picking.
  if (Tag < 2) {
    const int visible = DBook->Height / std::max(1, DBook->DefaultRowHeight()) - 5;
    if (visible < lines) DBook->SetTopRow(std::max(2, lines - visible));
    DiarySortItem = 0;
    DiaryRangeClickState = 0;
  }
  Tag = 2;
  if (typed) KeepTypedComment();
  CheckDeleteConfirmation();
  // The delete button follows the current row, from the activation on.
  SB_TRIP_KILL->Enabled = CurrentRowInList() && !P_CT->Visible;
  DBook->Invalidate();
  activating_ = false;
}

// ===========================================================================
// Columns, painting, scrolling
// ===========================================================================

void TForm3::DBookColumnMoved(tav::TControl*, int from, int to) {
  if (tav::MoveDiaryColumn(tav::DiaryColumnOrder, from, to)) {
    tav::BuildDiaryColumnPos(tav::DiaryColumnOrder, tav::DiaryColumnPos);
    // The order is kept in the settings file at once.
    std::string error;
    if (!tav::SaveSettings(&error)) tav::Application().MessageBox(error, "tavlog", tav::MB_OK | tav::MB_ICONWARNING);
    return;
  }
  FormActivate(this);
}

void TForm3::DBookDrawCell(tav::TControl*, tav::TCanvas& canvas, int col, int row, const tav::TRect& rect,
                           tav::TGridDrawState) {
  if (col != 0 || row < 2 || DBook->LeftCol() > 0) return;
  if (row - 2 >= tav::TripList.Count()) return;
  if (static_cast<std::size_t>(row) >= tav::DiaryRowSelected.size() || !tav::DiaryRowSelected[static_cast<std::size_t>(row)]) return;
  canvas.Brush.Color = tav::clYellow;
  canvas.Brush.Style = tav::TBrushStyle::bsSolid;
  canvas.FillRect(rect);
  canvas.Font.Color = tav::clBlack;
  canvas.TextOut(rect.Left + 2, rect.Top + kCellTextTop, DBook->Cell(col, row));
}

void TForm3::DBookTopLeftChanged(tav::TControl*) {
  // A comment being typed stays open and unstored until its OK or discard.
  if (CommentTyped()) return;
  DB_TP->Hide();
  DBook->Enabled = true;
}

// ===========================================================================
// Sorting
// ===========================================================================

void TForm3::SortRows(int item, bool ascending) {
  using namespace tav;
  const int n = ShownLineCount();
  Sort_L->Clear();
  ClearMarks();
  if (item < 0 || item >= kDiarySortItems) item = 0;
  DiarySortItem = item;
  if (DiaryRowLine.size() < static_cast<std::size_t>(n)) DiaryRowLine.resize(static_cast<std::size_t>(n));
  if (item == 0) {
    for (int i = 0; i < n; ++i) DiaryRowLine[static_cast<std::size_t>(i)] = ascending ? i : n - 1 - i;
  } else {
    std::vector<DiaryStats> stats(static_cast<std::size_t>(n));
    std::vector<DiarySortRow> rows(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      const std::string& line = TripList[i];
      const DiarySlotField f = ParseDiarySlot(line);
      rows[static_cast<std::size_t>(i)].line = line;
      if (f.present && DiarySlotInRange(f.slot)) {
        stats[static_cast<std::size_t>(i)] = DiaryStatsOfSlot(f.slot);
        rows[static_cast<std::size_t>(i)].stats = &stats[static_cast<std::size_t>(i)];
      }
    }
    const std::vector<int> order = DiarySortOrder(item, rows);
    for (int k = 0; k < n; ++k)
      DiaryRowLine[static_cast<std::size_t>(ascending ? k : n - 1 - k)] = order[static_cast<std::size_t>(k)];
    DiarySorted = 1;
  }
  if (Tag < 2) Tag = 2;
  FormActivate(this);
  CB_SORT->Hide();
  SB_SEL_ALL->Show();
  SetFlat(SB_SOAZ, true);
  SetFlat(SB_SOZA, true);
}

void TForm3::CB_SORTClick(tav::TControl*) {
  // Descending only when that button is the active one.
  const bool ascending = !SB_SOAZ->Flat || SB_SOZA->Flat;
  SortRows(CB_SORT->ItemIndex, ascending);
}

namespace {
void ToggleDirection(TForm3* f, tav::TSpeedButton* b) {
  SetFlat(b, !b->Flat);
  if (!b->Flat) {
    f->SB_SEL_ALL->Hide();
    f->CB_SORT->Show();
  } else {
    f->SB_SEL_ALL->Show();
    f->CB_SORT->Hide();
  }
}
}  // namespace

void TForm3::SB_SOAZClick(tav::TControl*) { ToggleDirection(this, SB_SOAZ); }
void TForm3::SB_SOZAClick(tav::TControl*) { ToggleDirection(this, SB_SOZA); }

void TForm3::SB_SOAZMouseDown(tav::TControl*, tav::TMouseButton button, tav::TShiftState, int, int) {
  if (button == tav::TMouseButton::mbLeft) return;
  SB_SOAZ->Hide();
  SB_SOZA->Show();
}

void TForm3::SB_SOZAMouseDown(tav::TControl*, tav::TMouseButton button, tav::TShiftState, int, int) {
  if (button == tav::TMouseButton::mbLeft) return;
  SB_SOZA->Hide();
  SB_SOAZ->Show();
}

void TForm3::DBookDblClick(tav::TControl*) {
  if (tav::DiaryClickRow != 0) return;
  const bool ascending = title_clicks_.Next(tav::DiaryClickCol);
  SetFlat(SB_SOAZ, !ascending);
  SetFlat(SB_SOZA, ascending);
  int metric = tav::DiaryMetricAtColumn(tav::DiaryColumnOrder, tav::DiaryClickCol);
  if (metric > 20) metric = 0;
  const int item = tav::DiarySortItemForMetric(metric);
  CB_SORT->Select(item);
  SortRows(item, ascending);
}

// ===========================================================================
// Marking
// ===========================================================================

void TForm3::SB_SEL_ALLClick(tav::TControl*) {
  SetFlat(SB_SEL_ALL, !SB_SEL_ALL->Flat);
  if (SB_SEL_ALL->Flat) {
    std::fill(tav::DiaryRowSelected.begin(), tav::DiaryRowSelected.end(), 0);
    SB_PA->Enabled = true;
  } else {
    SB_PA->Enabled = SB_SEL_ALL->Tag == 0;
    tav::MarkDiaryByKindAndSpan(tav::TripList, tav::DiaryRowLine, ShownLineCount(), SB_SEL_ALL->Tag,
                                tav::DiaryRangeStart, tav::DiaryRangeEnd, tav::DiaryRowSelected);
  }
  P_NOTRIP->Hide();
  DBook->Invalidate();
}

void TForm3::SB_SEL_ALLMouseDown(tav::TControl*, tav::TMouseButton button, tav::TShiftState, int, int) {
  if (button == tav::TMouseButton::mbLeft) return;
  SB_SEL_ALL->Tag = (SB_SEL_ALL->Tag + 1) % 3;
  if (SB_SEL_ALL->Tag < 0) SB_SEL_ALL->Tag = 0;
  const tav::TSpeedButton* glyph = SB_SEL_ALL->Tag == 1 ? SB_SEL1 : SB_SEL_ALL->Tag == 2 ? SB_SEL2 : SB_SEL0;
  SB_SEL_ALL->Glyph = glyph->Glyph;
  SB_SEL_ALL->Caption = glyph->Caption;
  SB_SEL_ALL->Invalidate();
  if (SB_SEL_ALL->Tag != 0) {
    SB_PT->Tag = 2;
    ShowDiaryScanButton();
  }
}

void TForm3::B_DDIFF_OKClick(tav::TControl*) {
  tav::DiaryRangeStart = DateKeyText(DP_Start->Date());
  tav::DiaryRangeEnd = DateKeyText(DP_End->Date());
  const std::string a = tav::FormatTripDateTime(tav::DiaryRangeStart).substr(0, 10);
  const std::string b = tav::FormatTripDateTime(tav::DiaryRangeEnd).substr(0, 10);
  SB_SEL_ALL->Hint = UiText[27] + " (" + a + " - " + b + ")";
  P_DateDiff->Hide();
}

void TForm3::Button2Click(tav::TControl*) { P_DateDiff->Hide(); }

void TForm3::B_FindClick(tav::TControl*) {
  const std::string text = tav::DiaryFindText(E_Find->Text);
  tav::MarkDiaryFound(tav::TripList, tav::DiaryRowLine, ShownLineCount(), text, tav::DiaryRowSelected);
  P_FIND->Hide();
  DBook->Invalidate();
}

void TForm3::DBookMouseDown(tav::TControl*, tav::TMouseButton button, tav::TShiftState, int x, int y) {
  int col = -1, row = -1;
  DBook->MouseToCell(x, y, col, row);
  tav::DiaryClickCol = col;
  tav::DiaryClickRow = row;

  if (ListRow(row) && y < DBook->Height - 10) {
    const bool on = col == 0;
    MarkRows(row, row, on);
    tav::DiaryDragActive = true;
    tav::DiaryDragRow = row;

    // Span by two clicks in the date column.
    if (col == 0 && (tav::DiaryRangeClickState == 1 || tav::DiaryRangeClickState == 2)) {
      const int idx = LineIndexAt(row - 2);
      if (idx >= 0) {
        const std::string date = tav::TripList[idx].substr(0, 8);
        const std::string shown = DBook->Cell(0, row).substr(0, 10);
        if (tav::DiaryRangeClickState == 1) {
          tav::DiaryRangeStart = date;
          tav::DiaryRangeText = " (" + shown;
          tav::ShowDiaryInfo(this, 6);
          tav::DiaryRangeClickState = 2;
        } else {
          std::string first_shown = tav::DiaryRangeText.size() > 2 ? tav::DiaryRangeText.substr(2) : std::string();
          tav::DiaryRangeEnd = date;
          std::string second_shown = shown;
          // Clicked from the later date to the earlier: the span is the same.
          if (tav::DiaryRangeEnd < tav::DiaryRangeStart) {
            std::swap(tav::DiaryRangeStart, tav::DiaryRangeEnd);
            std::swap(first_shown, second_shown);
          }
          tav::DiaryRangeText = " (" + first_shown + " - " + second_shown + ")";
          SB_SEL_ALL->Hint = UiText[27] + tav::DiaryRangeText;
          tav::ShowDiaryInfo(this, 0);
          tav::DiaryRangeClickState = 3;
        }
      }
    }
  }
  DB_TP->Tag = col == 1 ? 0 : 1;
  if (tav::TStringList* info = tav::MainInfoLines()) info->Add(tav::Format("%i", DB_TP->Tag));

  // A non-left press on the comment title toggles the column's width.
  if (button != tav::TMouseButton::mbLeft && row == 0 && col == 1) {
    if (DBook->ColWidth(1) == kCommentWidth) {
      tav::TCanvas& measure = DBook->Canvas();
      measure.Font = DBook->Font;
      int widest = kCommentWidth;
      const int visible = DBook->Height / std::max(1, DBook->DefaultRowHeight());
      const int last = std::min(DBook->RowCount(), DBook->TopRow() + visible);
      for (int r = DBook->TopRow(); r < last; ++r) widest = std::max(widest, measure.TextWidth(DBook->Cell(1, r)) + 6);
      DBook->SetColWidth(1, widest);
    } else {
      DBook->SetColWidth(1, kCommentWidth);
    }
  }
}

void TForm3::DBookMouseMove(tav::TControl*, tav::TShiftState, int x, int y) {
  if (!tav::DiaryDragActive) return;
  int col = -1, row = -1;
  DBook->MouseToCell(x, y, col, row);
  if (!ListRow(row) || row == tav::DiaryDragRow || y >= DBook->Height - 4) return;
  if (!ListRow(tav::DiaryDragRow)) {
    tav::DiaryDragRow = row;
  }
  MarkRows(tav::DiaryDragRow, row, col == 0);
  tav::DiaryDragRow = row;
}

void TForm3::DBookMouseUp(tav::TControl*, tav::TMouseButton, tav::TShiftState, int, int) {
  tav::DiaryDragActive = false;
  tav::DiaryDragRow = -100;
  SB_HILFE->Hide();
}

void TForm3::FormKeyDown(tav::TControl*, tav::WORD& key, tav::TShiftState) {
  switch (key) {
    case tav::VK_F1:
      // The panel's words follow the program's language.
      L_Find->SetCaption(tav::LanguageIndex == 0   ? "Fahrten mit diesem Text markieren"
                         : tav::LanguageIndex == 2 ? "Marcar recorridos con este texto"
                                                   : "Mark trips containing this text");
      B_Find->Caption = tav::LanguageIndex == 0 ? "Suchen" : tav::LanguageIndex == 2 ? "Buscar" : "Find";
      P_FIND->Left = 400;
      P_FIND->Top = 50;
      P_FIND->Show();
      P_FIND->BringToFront();
      E_Find->SetFocus();
      break;
    case tav::VK_F2:
      P_DateDiff->Show();
      P_DateDiff->BringToFront();
      break;
    case tav::VK_F3:
      if (tav::DiarySortItem == 0) {
        tav::ShowDiaryInfo(this, 5);
        tav::DiaryRangeClickState = 1;
      }
      break;
    case tav::VK_F4:
      SB_COLLEC->Tag = 0;
      SB_COLLEC->Show();
      break;
    case tav::VK_F5:
      tav::ShowHelpTopic(1);
      break;
    case tav::VK_ESCAPE:
      // The panels whose discard is a speed button; the others have a
      // cancel button that Esc clicks.
      if (DB_TP->Visible)
        SB_CLR_OnlyClick(this);
      else if (ZDP->Visible)
        ZDP_SBClick(this);
      else
        return;
      break;
    default:
      return;
  }
  key = 0;
}

void TForm3::C_ButtonClick(tav::TControl*) {
  Info_Panel->Hide();
  // Closing the prompt of the span by two clicks ends that mode.
  if (tav::DiaryRangeClickState == 1 || tav::DiaryRangeClickState == 2) tav::DiaryRangeClickState = 0;
}

// ===========================================================================
// Window
// ===========================================================================

void TForm3::FormClose(tav::TControl*, tav::TCloseAction&) {
  SB_COLLEC->Hide();
  SB_DEO_CSV->Hide();
  SB_DEO_DEO->Hide();
  Info_Panel->Hide();
  tav::CloseHelp();
}

void TForm3::Memo1DblClick(tav::TControl*) { Memo1->Hide(); }

void TForm3::P_NOTRIPClick(tav::TControl*) {
  // Also ends a block analysis that waits for a block.
  P_NOTRIP->Hide();
  P_NOTRIP->Color = kDiaryPanelRed;
  SB_PA->Tag = 0;
  SB_STA2->Tag = 0;
  ScanMode = 0;
}

void TForm3::ShowMissPicture(const tav::TBitmap* picture, int x, int y) {
  if (picture == nullptr || picture->Empty()) {
    CancelMissPicture();
    Close();
    return;
  }
  miss_picture_ = *picture;
  PB_Miss->SetBounds(DBook->Left + x, DBook->Top + y, std::min(50, picture->Width()), std::min(50, picture->Height()));
  PB_Miss->Show();
  PB_Miss->BringToFront();
  PB_Miss->Invalidate();
  T_Miss->SetEnabled(false);
  T_Miss->SetEnabled(true);
}

void TForm3::CancelMissPicture() {
  T_Miss->SetEnabled(false);
  PB_Miss->Hide();
}

namespace tav {

// ===========================================================================
// Loaders
// ===========================================================================

namespace {

std::string FirstMemoLine(const TMemo* memo) { return memo->Lines.Count() > 0 ? memo->Lines[0] : std::string(); }

// The slot and trip file of a line, and the caption of the loaded trip;
// false when the line has no slot.
bool TripOfLine(const std::string& line, int& slot, std::string& path) {
  const DiarySlotField f = ParseDiarySlot(line);
  if (!f.present) return false;
  path = TripPathOfLine(line);  // never outside the rider's folder
  if (path.empty()) return false;
  slot = f.slot;
  return true;
}

// The caption of a trip the diary has loaded.
void TakeLoadedTripCaption(const TForm3* form, const std::string& line) {
  LoadedTripCaption = std::string(LineKey(line)) + "   =    " + FirstMemoLine(form->DB_Memo);
}

}  // namespace

namespace {
// Why the last load failed: a write's message, or the refused file, whose
// reason is worked out only when it is shown (the diary's rebuild loads
// every trip still to be evaluated, a short one at every activation).
std::string RefusalMessage;
std::filesystem::path RefusedTrip;

void ForgetRefusal() {
  RefusalMessage.clear();
  RefusedTrip.clear();
}
}  // namespace

std::string DiaryTripRefusal() {
  return !RefusalMessage.empty() || RefusedTrip.empty() ? RefusalMessage : TripRefusalText(RefusedTrip);
}

bool LoadDiaryTrip(TForm3* form, int position) {
  ForgetRefusal();
  const int idx = form->LineIndexAt(position);
  if (idx < 0) return false;
  const std::string line = TripList[idx];
  if (IsManualEntryKeyLine(line)) return false;

  std::string note = " ";
  bool note_present = false;
  if (const std::size_t star = line.find('*'); star != std::string::npos) {
    note = line.substr(star);
    note_present = true;
  }

  // A trip that is refused (damaged, or too short to show) leaves the
  // current trip, its path, slot, note and caption as they were.
  std::string path;
  int slot = 0;
  if (!TripOfLine(line, slot, path)) return false;
  if (const TripReadError e = ReadDeoFileAtLeast(FsPath(path), kMinShowRecords); e != TripReadError::None) {
    if (e != TripReadError::TooShortToShow) ReportCannotOpen();  // it opened
    RefusedTrip = FsPath(path);
    return false;
  }
  CurrentTripPath = path;
  DiaryTripSlot = slot;
  TakeLoadedTripCaption(form, line);
  const bool file_note = (HeaderFlags(TripSamples[0]) & kHeaderFlagNote) != 0;
  TripNotePresent = note_present || file_note;
  if (!file_note && note_present) {
    // The diary comment goes into a trip file that has no note yet; a file
    // longer or shorter than its count says is never rewritten unasked.
    TripNote = note;
    TripNotePresent = true;
    if (TripFileExact(FsPath(path)) && !WriteDeoFile(FsPath(path), &RefusalMessage)) return false;
  }
  SampleInterval = RecordInterval(TripSamples, TripSampleCount);
  ZeroDistancesAfter(TripSamples, TripSampleCount);
  return true;
}

bool LoadDiaryCompareTrip(TForm3* form) {
  ForgetRefusal();
  const int idx = form->LineIndexAt(form->DBook->Row() - 2);
  if (idx < 0) return false;
  const std::string line = TripList[idx];
  if (IsManualEntryKeyLine(line)) return false;
  std::string path;
  int slot = 0;
  if (!TripOfLine(line, slot, path)) return false;

  // A refused trip (damaged, or too short to show) leaves the second
  // buffer, its count, slot and the caption as they were.
  int32_t count = 0;
  if (const TripReadError e = ReadTripSamples(FsPath(path), TripSamples2, kTripBufferRecords, count, nullptr,
                                              kMinShowRecords);
      e != TripReadError::None) {
    if (e != TripReadError::TooShortToShow) ReportCannotOpen();  // it opened
    RefusedTrip = FsPath(path);
    return false;
  }
  TripSampleCount2 = count;
  DiaryCompareSlot = slot;
  TakeLoadedTripCaption(form, line);
  ZeroDistancesAfter(TripSamples2, count);
  return true;
}

// ===========================================================================
// Info panel
// ===========================================================================

void ShowDiaryInfo(TForm3* f, int n) {
  if (n < 1 || n > 6) {
    f->Info_Panel->Hide();
    f->PB_Info->Hide();
    return;
  }
  const auto& t = f->UiText;
  switch (n) {
    case 1: f->L_Info1->SetCaption(t[20]); f->L_Info2->SetCaption(t[21]); break;
    case 2: f->L_Info1->SetCaption(t[22]); f->L_Info2->SetCaption(t[23]); break;
    case 3:
      f->L_Info1->SetCaption(t[24]);
      f->L_Info2->SetCaption(t[25]);
      f->L_Info3->SetCaption(t[26]);
      break;
    case 4: f->L_Info1->SetCaption(f->PleaseWait()); f->L_Info2->SetCaption(f->PleaseWait()); break;
    case 5: f->L_Info1->SetCaption(t[28]); f->L_Info2->SetCaption(t[29]); break;
    case 6: f->L_Info2->SetCaption(t[30]); break;
  }
  f->L_Info3->Visible = n == 3;
  f->PB_Info->Visible = n == 4;
  int widest = std::max(f->L_Info1->Width, f->L_Info2->Width);
  if (n == 3) widest = std::max(widest, f->L_Info3->Width);
  TControl* last = n == 3 ? static_cast<TControl*>(f->L_Info3) : f->L_Info2;
  if (n == 4) {
    f->PB_Info->SetBounds(f->L_Info1->Left, f->L_Info2->Top + f->L_Info2->Height + 10, std::max(widest, 200), 16);
    widest = std::max(widest, f->PB_Info->Width);
    last = f->PB_Info;
  }
  TPanel* p = f->Info_Panel;
  p->Width = 2 * f->L_Info1->Left + widest + f->C_Button->Width;
  f->C_Button->Left = p->Width - f->C_Button->Width - 3;
  p->Height = last->Top + last->Height + 30;
  p->Left = (f->ClientWidth() - p->Width) / 2;
  p->Top = std::max(0, f->DBook->Top + 60);
  p->Show();
  p->BringToFront();
}

// ===========================================================================
// Calendar selections
// ===========================================================================

namespace {

// Marks the list rows whose date is one of the given days; returns the first
// marked grid row or 0. The rows are those of the current list: the grid may
// still hold the rows of its last activation (another rider's, fewer or more).
int MarkDays(TForm3* f, double first_day, int days) {
  const int day0 = static_cast<int>(std::floor(first_day));
  const int shown = f->ShownLineCount();
  const int entries = std::min<int>(shown, static_cast<int>(TripDates.size()));
  const std::size_t rows = std::max({DiaryRowSelected.size(), static_cast<std::size_t>(f->DBook->RowCount()),
                                     static_cast<std::size_t>(shown) + 2});
  int first = 0;
  DiaryRowSelected.resize(rows, 0);
  for (int row = 2; row < static_cast<int>(rows); ++row) {
    const int e = row - 2;
    bool on = false;
    if (e < entries) {
      const int d = TripDates[static_cast<std::size_t>(e)].Date;
      on = d >= day0 && d < day0 + days;
    }
    DiaryRowSelected[static_cast<std::size_t>(row)] = on ? 1 : 0;
    if (on && first == 0) first = row;
  }
  return first;
}

void ResetRowMap(TForm3* f) {
  const std::size_t rows = std::max({DiaryRowLine.size(), static_cast<std::size_t>(f->DBook->RowCount()),
                                     static_cast<std::size_t>(f->ShownLineCount()) + 2});
  DiaryRowLine.resize(rows);
  for (std::size_t r = 0; r < rows; ++r) DiaryRowLine[r] = static_cast<int32_t>(r);
  DiarySorted = 0;
  DiarySortItem = 0;
}

// Shows the diary rebuilt in list order (an open diary is rebuilt directly,
// a hidden one by its activation).
void ShowRebuilt(TForm3* f) {
  if (f->Visible) {
    f->FormActivate(f);
    f->BringToFront();
  } else {
    f->Show();
  }
}

void Missed(TForm3* f) {
  DiaryMissPicture hook;
  if (DiaryCalendarPicture) hook = DiaryCalendarPicture();
  int& counter = hook.miss_counter != nullptr ? *hook.miss_counter : f->MissCounter();
  ++counter;
  if (counter % 4 == 0 && hook.picture != nullptr) {
    f->ShowMissPicture(hook.picture, hook.x, hook.y);
    return;
  }
  f->CancelMissPicture();
  f->Close();
}

void Found(TForm3* f) {
  DiaryMissPicture hook;
  if (DiaryCalendarPicture) hook = DiaryCalendarPicture();
  if (hook.miss_counter != nullptr) *hook.miss_counter = 0;
  f->MissCounter() = 0;
}

}  // namespace

void SelectDiaryDay(TForm3* f, double date) {
  f->CancelMissPicture();
  f->Tag = 5;
  f->DBook->SetLeftCol(0);
  ResetRowMap(f);
  const int first = MarkDays(f, date, 1);
  if (first == 0) {
    Missed(f);
    return;
  }
  ShowRebuilt(f);
  f->DBook->SetTopRow(first);
  f->DBook->SetRow(first);
  if (!f->CommentTyped()) f->DB_TP->Hide();  // a comment being typed stays for its OK
  Found(f);
}

void SelectDiaryDays(TForm3* f, double date) {
  f->CancelMissPicture();
  f->Tag = 5;
  f->DBook->SetLeftCol(0);
  ResetRowMap(f);
  f->ClearMarks();
  const int first = MarkDays(f, date, 7);
  if (first == 0) {
    f->Close();
    return;
  }
  ShowRebuilt(f);
  f->DBook->SetTopRow(first);
  f->DBook->SetRow(first);
}

}  // namespace tav

// ---- Opened and asked by other windows ------------------------------------------

namespace tav {

std::optional<WindowPlace> DiaryPlace() {
  if (Form3 == nullptr) return std::nullopt;
  return WindowPlace{Form3->Left, Form3->Top, Form3->Width, Form3->Height};
}

std::optional<int> DiarySelectionKind() {
  if (Form3 == nullptr || Form3->SB_SEL_ALL == nullptr) return std::nullopt;
  return Form3->SB_SEL_ALL->Tag;
}

const TSpeedButton* DiaryKindButton(int kind) {
  if (Form3 == nullptr) return nullptr;
  return kind == 1 ? Form3->SB_SEL1 : kind == 2 ? Form3->SB_SEL2 : Form3->SB_SEL0;
}

void ShowDiaryDay(double date) {
  if (Form3 != nullptr) SelectDiaryDay(Form3, date);
}

void ShowDiaryWeek(double date) {
  if (Form3 != nullptr) SelectDiaryDays(Form3, date);
}

}  // namespace tav
