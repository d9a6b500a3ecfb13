#include "analysis/overview_charts.h"

#include <algorithm>
#include <cmath>

#include "analysis/analysis_common.h"
#include "core/core_data.h"
#include "openers/openers.h"
#include "platform/text.h"

TForm35* Form35 = nullptr;

namespace {

using namespace tav;
using namespace tav::literals;

constexpr int kEditorCorner = 50;  // presses this close to a chart's top corners open its editors

// The first and the last label of the items, without the blank after the date.
std::string Trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace

TForm35::TForm35() {
  Name = "Form35";
  Caption = "";
  Visible = false;
  Width = 1200;
  Height = 760;
  const char* const english[kOverviewUiTexts] = {
      "Distance", "Power", "Speed", "Altitude difference", "HR", "Work", "Average power",
      "Average speed", "Average RPM", "Average pulse", "Normalized power", "Absolute value",
      "Percent", "Temperature"};
  for (int i = 0; i < kOverviewUiTexts; ++i) UiText[static_cast<std::size_t>(i)] = english[i];
  CreateControls();
  OpenDayStats = [](double date) {
    OpenDayZoneSums(date);
  };
  OpenTripStats = [](int slot) {
    OpenTripZoneSums(slot);
  };
  if (CompactLayout) Height = 500;
  Top = Screen().Height - Height - 40;
  Left = Screen().Width - Width - 10;
  KeyPreview = true;
  OnActivate = [this](TControl* s) { FormActivate(s); };
  OnResize = [this](TControl* s) { FormResize(s); };
  OnClose = [this](TControl* s, TCloseAction& a) { FormClose(s, a); };
  OnKeyDown = [this](TControl* s, WORD& key, TShiftState shift) { FormKeyDown(s, key, shift); };
  OnMouseMove = [this](TControl* s, TShiftState shift, int x, int y) { FormMouseMove(s, shift, x, y); };
  FormResize(this);
  FinishCreate();
}

TForm35::~TForm35() = default;

void TForm35::CreateControls() {
  SB_7 = Make<TSpeedButton>("SB_7");
  SB_0 = Make<TSpeedButton>("SB_0");
  SB_7->Glyph = WidenGlyph(false);
  SB_0->Glyph = WidenGlyph(true);
  SB_7->Visible = SB_0->Visible = false;
  Mem = Make<TMemo>("Mem");
  Mem->Visible = false;

  for (int k = 0; k < 6; ++k) {
    const std::string n = std::to_string(k + 1);
    TChart* c = Ch[k] = Make<TChart>("Ch_" + n);
    c->Legend.Visible = false;
    c->AllowZoom = false;
    c->BottomAxis.LabelsAngle = 90;
    c->BottomAxis.GridVisible = false;
    c->RightAxis.GridVisible = false;
    c->RightAxis.Visible = k == 0;  // only chart 1 shows the ride time
    Bars[k] = c->AddBarSeries();
    Lines[k] = c->AddLineSeries();
    Lines[k]->VertAxis = TVertAxis::aRightAxis;
    Lines[k]->PointsVisible = true;
    Lines[k]->PointSize = 3;

    SB[k] = Make<TSpeedButton>("SB_" + n, c);
    SB[k]->SetBounds(0, 3, 18, 18);
    SB[k]->Flat = true;
    SB[k]->Glyph = SB_7->Glyph;
    SB[k]->OnClick = [this, k](TControl*) { EnlargeClick(k); };
    E[k] = MakeAxisEditor(*this, c, [this, k](double v) {
      Ch[k]->LeftAxis.SetMaximum(v);
      Ch[k]->Invalidate();
    }, "E_" + n);
    Ch_L[k] = Make<TStaticText>("Ch_L" + n, c);
    Ch_L[k]->Visible = false;
    Ch_L[k]->Transparent = false;
    Ch_L[k]->Color = clInfoBk;
    Shapes[k] = Make<TShape>("Shape" + n, c);
    Zeiger[k] = Make<TStaticText>("Zeiger_" + n, c);
    Zeiger[k]->Transparent = false;
    Zeiger[k]->Color = clInfoBk;

    c->OnMouseDown = [this, k](TControl*, TMouseButton b, TShiftState, int x, int y) { ChartMouseDown(k, b, x, y); };
    c->OnMouseMove = [this, k](TControl*, TShiftState, int x, int y) { ChartMouseMove(k, x, y); };
    c->OnClickSeries = [this, k](TControl*, TChartSeries* s, int i, TMouseButton b, TShiftState, int x, int y) {
      ChartClickSeries(k, s, i, b, x, y);
    };
  }
  Shape = Make<TShape>("Shape", Ch[0]);
  for (TShape* s : {Shapes[0], Shapes[1], Shapes[2], Shapes[3], Shapes[4], Shapes[5], Shape}) {
    s->Visible = false;
    s->Height = 1;
    s->PenColor = s->BrushColor = clRed;
  }
  for (TStaticText* z : Zeiger) z->Visible = false;

  E_11 = Make<TEdit>("E_11", Ch[0]);
  E_11->Visible = false;
  E_11->SetBounds(0, 0, 60, 21);
  E_11->OnKeyPress = [](TControl*, char& key) {
    if (key == ',') key = '.';
  };
  E_11->OnKeyDown = [this](TControl*, WORD& key, TShiftState) {
    if (key != VK_RETURN) return;
    E_11->Hide();
    // A reference speed in km/h; texts that are no speed the settings can
    // keep change nothing.
    const std::optional<double> v = ParseDouble(E_11->Text);
    if (!v || !(*v > 0) || *v > 200) {
      if (E_11->Text.find_first_not_of(' ') == std::string::npos) return;
      // A rejected speed is named, where the edit was.
      TStaticText& word = *Ch_L[0];
      word.SetCaption(LanguageIndex == 0   ? "Bezugsgeschwindigkeit: über 0 bis 200 km/h"_w
                      : LanguageIndex == 2 ? "Velocidad de referencia: más de 0 hasta 200 km/h"_w
                                           : std::string("Reference speed: above 0 up to 200 km/h"));
      word.Top = E_11->Top;
      word.Left = std::max(0, E_11->Left + E_11->Width - word.Width);
      word.Show();
      word.BringToFront();
      return;
    }
    Ch_L[0]->Hide();
    Graf6Scale = static_cast<float>(*v);
    const double minutes = std::trunc(Ch[0]->LeftAxis.Maximum() / *v * 60.0);
    Ch[0]->RightAxis.SetMinMax(0, std::max(1.0, minutes));
    Ch[0]->Invalidate();
  };

  CB_C2 = Make<TComboBox>("CB_C2", Ch[1]);
  CB_C5 = Make<TComboBox>("CB_C5", Ch[4]);
  for (TComboBox* cb : {CB_C2, CB_C5}) {
    cb->Style = TComboBoxStyle::csDropDownList;
    cb->Visible = false;
    cb->Width = 180;
    cb->DropDownCount = kQuantityCount;
    const int k = cb == CB_C2 ? 1 : 4;
    cb->OnClick = [this, k](TControl*) { QuantityComboClick(k); };
  }

  P_G6 = Make<TPanel>("P_G6");
  P_G6->Visible = false;
  P_G6->SetBounds(0, 0, 330, 110);
  CB_G6_1 = Make<TComboBox>("CB_G6_1", P_G6);
  CB_G6_2 = Make<TComboBox>("CB_G6_2", P_G6);
  CB_G6_3 = Make<TComboBox>("CB_G6_3", P_G6);
  for (TComboBox* cb : {CB_G6_1, CB_G6_2, CB_G6_3}) cb->Style = TComboBoxStyle::csDropDownList;
  CB_G6_1->SetBounds(10, 12, 100, 21);
  CB_G6_2->SetBounds(120, 12, 200, 21);
  CB_G6_3->SetBounds(120, 42, 200, 21);
  CB_G6_2->DropDownCount = 10;
  for (int k = 1; k <= 6; ++k) CB_G6_1->Items.Add("Chart " + std::to_string(k));
  CB_G6_1->OnChange = [this](TControl* s) { CB_G6_1Change(s); };
  CB_G6_2->OnChange = [this](TControl* s) { CB_G6_2Change(s); };
  CB_G6_3->OnChange = [this](TControl* s) { CB_G6_3Change(s); };
  G6l_OK = Make<TButton>("G6l_OK", P_G6);
  G6l_NO = Make<TButton>("G6l_NO", P_G6);
  G6l_OK->Caption = "Accept";
  G6l_NO->Caption = "Discard";
  G6l_OK->SetBounds(120, 76, 95, 25);
  G6l_NO->SetBounds(225, 76, 95, 25);
  G6l_OK->OnClick = [this](TControl* s) { G6l_OKClick(s); };
  G6l_NO->OnClick = [this](TControl* s) { G6l_NOClick(s); };
  ZDP_SB = Make<TSpeedButton>("ZDP_SB", P_G6);
  ZDP_SB->SetBounds(10, 78, 22, 22);
  ZDP_SB->Caption = "X";
  ZDP_SB->OnClick = [this](TControl* s) { ZDP_SBClick(s); };
}

// ---------------------------------------------------------------------------
// Layout
// ---------------------------------------------------------------------------

void TForm35::UpdateLeastSize() {
  ChartTexts texts;
  for (int q = 0; q < kQuantityCount; ++q) {
    texts.titles.push_back(QuantityName(q, UiText));
    texts.left.push_back(QuantityAxisTitle(q, false, UiText, UnitFlags));
    texts.left.push_back(QuantityAxisTitle(q, true, UiText, UnitFlags));
  }
  texts.cornerRoom = SB[0]->Width + 6;
  const ChartSize least = LeastChartsSize({Ch[0], Ch[1], Ch[2], Ch[3], Ch[4], Ch[5]}, texts);
  MinClientWidth = std::max(3 * least.width + 18, P_G6->Width + 20);
  MinClientHeight = 2 * std::max(least.height, P_G6->Height + 2) + 20;
}

void TForm35::FormResize(TControl*) {
  UpdateLeastSize();
  for (int k = 0; k < 6; ++k) {
    PlaceChart(k);
    Ch_L[k]->Hide();
  }
  CB_C2->Hide();
  CB_C5->Hide();
  PlaceSettingsPanel();
  if (P_G6->Visible) P_G6->BringToFront();
  TrackAnalysisMaximized(*this);
}

void TForm35::PlaceChart(int k) {
  const int h = std::max(0, (ClientHeight() - 20) / 2);
  const int w = std::max(0, (ClientWidth() - 18) / 3);
  Ch[k]->SetBounds(3 + (k % 3) * (w + 6), k < 3 ? 5 : h + 15, w, h);
  SB[k]->Left = Ch[k]->Width - SB[k]->Width - 3;
  SB[k]->Glyph = SB_7->Glyph;
  SB[k]->Tag = 0;
  FitCursor(k);
}

void TForm35::FitCursor(int k) {
  const TRect plot = Ch[k]->PlotRect();
  Shapes[k]->Left = plot.Left;
  Shapes[k]->Width = std::max(1, plot.Width());
  if (k == 0) {
    Shape->Left = plot.Left;
    Shape->Width = Shapes[0]->Width;
  }
}

void TForm35::EnlargeClick(int k) {
  Ch_L[k]->Hide();
  TComboBox* combo = k == 1 ? CB_C2 : k == 4 ? CB_C5 : nullptr;
  if (SB[k]->Tag == 1) {
    PlaceChart(k);
    if (combo) combo->Hide();
  } else {
    Ch[k]->SetBounds(3, Ch[k]->Top, ClientWidth() - 10, Ch[k]->Height);
    Ch[k]->BringToFront();
    SB[k]->Left = Ch[k]->Width - SB[k]->Width - 3;
    SB[k]->Glyph = SB_0->Glyph;
    SB[k]->Tag = 1;
    if (combo && Mode() == OverviewMode::Selection) {
      const TRect plot = Ch[k]->PlotRect();
      combo->Left = plot.Left + (plot.Width() - combo->Width) / 2;
      combo->Top = std::max(0, plot.Top - combo->Height - 5);
      combo->Show();
      combo->BringToFront();
    }
    FitCursor(k);
  }
  Ch[k]->Invalidate();
}

// ---------------------------------------------------------------------------
// Activation
// ---------------------------------------------------------------------------

void TForm35::FormActivate(TControl*) {
  RestoreAnalysisMaximized(*this);
  for (TChart* c : Ch) {
    ApplyChartColors(*c, true, 0);
    c->Foot.Font.Color = ChartColors[9];
  }
  for (TComboBox* cb : {CB_C2, CB_C5}) {
    cb->Hide();
    cb->Items.Clear();
    for (int q = 0; q < kQuantityCount; ++q) cb->Items.Add(QuantityName(q, UiText));
  }

  const int list_lines = std::max(0, TripList.Count() - 1);  // the free-slot line is no trip
  switch (Tag) {
    case 5:
      for (int k = 0; k < 6; ++k) {
        Graf6SettingsBackup[0][k] = Graf6Settings[k];
        Graf6SettingsBackup[1][k] = Graf6Settings[7 + k];
      }
      CB_G6_1->Select(0);
      CB_G6_2->Items.Clear();
      for (int q = 0; q < 10; ++q) CB_G6_2->Items.Add(QuantityName(q, UiText));
      CB_G6_3->Items.Clear();
      CB_G6_3->Items.Add(UiText[11]);
      CB_G6_3->Items.Add(UiText[12]);
      Tag = 6;
      FirstItem = 0;
      ItemCount = std::min(10, list_lines);
      FormResize(this);
      CB_G6_1Change(CB_G6_1);
      P_G6->Show();
      P_G6->BringToFront();
      LoadListItems();
      break;
    case 10:
      BuildDayItems();
      break;
    case 20:
      ItemCount = ScanList != nullptr ? ScanList->Count() : 0;
      LoadSelectedTrips();
      break;
    default:
      FirstItem = std::clamp(FirstItem, 0, list_lines);
      ItemCount = std::clamp(ItemCount, 0, list_lines - FirstItem);
      LoadListItems();
      break;
  }

  // Chart 1 with its minute axis, then the others without the ride time.
  Ch[0]->RightAxis.SetAutomatic(true);
  FillChart(0);
  const double minutes = MinuteAxisMax(Ch[0]->RightAxis.Maximum(), Ch[0]->LeftAxis.Maximum(), Graf6Scale);
  Ch[0]->RightAxis.SetMinMax(0, minutes > 0 ? minutes : 1.0);
  Ch[0]->RightAxis.Title = " t [min]";
  for (int k = 1; k < 6; ++k) {
    FillChart(k);
    Lines[k]->Clear();
  }
  // A value read off a bar of the charts before is no value of these.
  for (TStaticText* label : Ch_L) label->Hide();
  CB_C2->Select(Graf6Quantity(1));
  CB_C5->Select(Graf6Quantity(4));

  if (items_.empty()) {
    const std::string& none = DateHolders[(UnitFlags & kUnitUsDate) ? 1 : 0];
    Caption = SpanCaption(none, none);
  } else {
    Caption = SpanCaption(Trimmed(items_.front().Label), Trimmed(items_.back().Label));
  }
  for (int k = 0; k < 6; ++k) {
    if (cursor_[static_cast<std::size_t>(k)] != 0) FitCursor(k);  // (the layout of a chart takes its time)
    SB[k]->Visible = !P_G6->Visible;
    SB[k]->BringToFront();
  }
  // Filled charts measure their labels: the window grows when they need more.
  UpdateLeastSize();
  KeepMinClientSize();
}

void TForm35::LoadListItems() {
  items_ = ListItems(TripList, FirstItem, ItemCount, false, UnitFlags);
}

void TForm35::LoadSelectedTrips() {
  items_ = ScanList != nullptr ? ListItems(*ScanList, 0, ItemCount, true, UnitFlags) : std::vector<OverviewItem>{};
}

void TForm35::BuildDayItems() {
  items_ = DayItems(CalendarPeriodStart(), ItemCount, UnitFlags);
}

void TForm35::FillChart(int k) {
  if (k < 0 || k >= 6) return;
  const int q = Graf6Quantity(k);
  const bool percent = Graf6Percent(k);
  const OverviewChartValues v = ChartValues(items_, Mode(), q, percent, UnitFlags);
  TChart& c = *Ch[k];
  TChartSeries& bars = *Bars[k];
  TChartSeries& line = *Lines[k];
  bars.Clear();
  line.Clear();
  c.Title.Text.Clear();
  c.LeftAxis.SetMinMax(0, v.AxisMax);
  const TColor color = ChartColors[QuantityColorSlot(q)];
  bars.SeriesColor = color;
  line.SeriesColor = ChartColors[9];
  const int n = static_cast<int>(items_.size());
  bars.Reserve(n);
  line.Reserve(n);
  std::vector<std::string> weights;
  weights.reserve(items_.size());
  for (int i = 0; i < n; ++i) {
    const std::size_t u = static_cast<std::size_t>(i);
    weights.push_back(std::to_string(static_cast<long long>(v.Weights[u])));
    bars.Add(v.Values[u], items_[u].Label, color);
    line.Add(v.Minutes[u], items_[u].Label, ChartColors[9]);
  }
  Mem->Lines.Assign(std::move(weights));
  c.Title.Text.Add(QuantityName(q, UiText));
  c.LeftAxis.Title = QuantityAxisTitle(q, percent, UiText, UnitFlags);
  c.BottomAxis.Title.clear();
  c.Invalidate();
}

void TForm35::ShowItemStats(int item, TMouseButton button) {
  if (button == TMouseButton::mbLeft || item < 0 || item >= static_cast<int>(items_.size())) return;
  const OverviewItem& it = items_[static_cast<std::size_t>(item)];
  switch (Mode()) {
    case OverviewMode::Calendar:
      if (OpenDayStats) OpenDayStats(it.Key);
      break;
    case OverviewMode::Selection:
      SetDistributionItemLine(it.Line);
      if (OpenTripStats) OpenTripStats(it.Slot);
      SetDistributionItemLine(-1);
      break;
    case OverviewMode::List:
      break;
  }
}

// ---------------------------------------------------------------------------
// Settings panel
// ---------------------------------------------------------------------------

void TForm35::CB_G6_1Change(TControl*) {
  const int k = std::clamp(CB_G6_1->ItemIndex, 0, 5);
  const int q = Graf6Quantity(k);
  CB_G6_2->Select(q < CB_G6_2->Items.Count() ? q : -1);
  CB_G6_3->Select(Graf6Percent(k) ? 1 : 0);
  PlaceSettingsPanel();
}

void TForm35::PlaceSettingsPanel() {
  // Over the other row than the chart it edits.
  const int k = std::clamp(CB_G6_1->ItemIndex, 0, 5);
  P_G6->Left = std::max(0, (ClientWidth() - P_G6->Width) / 2);
  P_G6->Top = k >= 3 ? Ch[0]->Top + Ch[0]->Height - P_G6->Height : Ch[3]->Top;
}

void TForm35::CB_G6_2Change(TControl*) {
  const int k = CB_G6_1->ItemIndex, q = CB_G6_2->ItemIndex;
  if (k >= 0 && k < 6 && q >= 0 && q < 10) Graf6Settings[k] = q;
}

void TForm35::CB_G6_3Change(TControl*) {
  const int k = CB_G6_1->ItemIndex, m = CB_G6_3->ItemIndex;
  if (k >= 0 && k < 6 && (m == 0 || m == 1)) Graf6Settings[7 + k] = m;
}

void TForm35::G6l_OKClick(TControl*) { FormActivate(this); }

void TForm35::G6l_NOClick(TControl*) {
  const int k = CB_G6_1->ItemIndex;
  if (k >= 0 && k < 6) {
    Graf6Settings[k] = Graf6SettingsBackup[0][k];
    Graf6Settings[7 + k] = Graf6SettingsBackup[1][k];
  }
  CB_G6_1Change(CB_G6_1);
  FormActivate(this);
}

void TForm35::ZDP_SBClick(TControl*) { Close(); }

void TForm35::FormClose(TControl*, TCloseAction&) {
  P_G6->Hide();
  // Nothing read off the charts shows again at the next opening.
  for (TStaticText* label : Ch_L) label->Hide();
  for (int k = 0; k < 6; ++k) HideCursor(k);
  last_cursor_ = -1;
}

void TForm35::FormKeyDown(TControl*, WORD& key, TShiftState) {
  // Esc closes the settings panel as its discard does: the chart shown in
  // it gets back its quantity and mode, then the charts are drawn anew.
  if (key == VK_ESCAPE && P_G6->Visible) {
    P_G6->Hide();
    G6l_NOClick(G6l_NO);
    key = 0;
    return;
  }
  HandleHelpKey(key, 21);
}

void TForm35::QuantityComboClick(int k) {
  TComboBox* combo = k == 1 ? CB_C2 : CB_C5;
  const int q = combo->ItemIndex;
  if (q < 0 || q >= kQuantityCount) return;
  Graf6Settings[k] = q;
  Graf6Settings[7 + k] = 0;
  FillChart(k);
  Lines[k]->Clear();
}

// ---------------------------------------------------------------------------
// Reading values
// ---------------------------------------------------------------------------

void TForm35::ChartMouseDown(int k, TMouseButton, int x, int y) {
  TChart& c = *Ch[k];
  if (x < kEditorCorner && y < kEditorCorner) {
    OpenAxisEditor(*E[k], c, std::trunc(c.LeftAxis.Maximum()));
    return;
  }
  if (k == 0 && x >= c.Width - kEditorCorner && y < kEditorCorner) {
    const TRect plot = c.PlotRect();
    E_11->Text = Format("%.0f", std::trunc(c.RightAxis.Maximum()));
    E_11->Left = std::min(plot.Right, c.Width - E_11->Width);
    E_11->Top = std::max(0, plot.Top - E_11->Height);
    E_11->Show();
    E_11->BringToFront();
    E_11->SetFocus();
    E_11->SelectAll();
    return;
  }
  const TRect plot = c.PlotRect();
  const int mode = x < plot.Left ? 1 : (k == 0 && x >= plot.Right) ? 2 : 0;
  if (mode == 0) return;
  if (cursor_[static_cast<std::size_t>(k)] == mode) {
    HideCursor(k);
    return;
  }
  if (last_cursor_ >= 0 && last_cursor_ != k) HideCursor(last_cursor_);
  HideCursor(k);
  cursor_[static_cast<std::size_t>(k)] = mode;
  last_cursor_ = k;
  FitCursor(k);
  (mode == 2 ? Shape : Shapes[k])->Show();
  ChartMouseMove(k, x, y);
}

void TForm35::HideCursor(int k) {
  Shapes[k]->Hide();
  if (k == 0) Shape->Hide();
  Zeiger[k]->Hide();
  cursor_[static_cast<std::size_t>(k)] = 0;
}

void TForm35::ChartMouseMove(int k, int x, int y) {
  if (last_cursor_ >= 0 && last_cursor_ != k) {
    HideCursor(last_cursor_);
    last_cursor_ = -1;
  }
  const int mode = cursor_[static_cast<std::size_t>(k)];
  if (mode == 0) return;
  TChart& c = *Ch[k];
  const TRect plot = c.PlotRect();
  TShape* line = mode == 2 ? Shape : Shapes[k];
  // The line stays a little above the pointer, so the pointer stays on the chart.
  line->Top = std::max(plot.Top, std::min(y - 5, plot.Bottom));
  const double v = (mode == 2 ? c.RightAxis : c.LeftAxis).PixelToValue(line->Top);
  TStaticText& label = *Zeiger[k];
  if (mode == 1 && v >= 0) {
    label.SetCaption(Format("%7.1f ", v));
  } else if (mode == 2 && v > 0) {
    const int minutes = static_cast<int>(v);
    label.SetCaption(Format(" %02i:%02i ", minutes / 60, minutes % 60));
  } else {
    label.Hide();
    return;
  }
  label.Top = line->Top - 20;
  label.Left = std::clamp(x - label.Width / 2, line->Left, std::max(line->Left, line->Left + line->Width - label.Width));
  label.Show();
  label.BringToFront();
}

void TForm35::FormMouseMove(TControl*, TShiftState, int, int) {
  if (last_cursor_ >= 0) HideCursor(last_cursor_);
  last_cursor_ = -1;
}

void TForm35::ChartClickSeries(int k, TChartSeries* series, int index, TMouseButton button, int x, int y) {
  if (series == nullptr || index < 0 || index >= static_cast<int>(items_.size())) return;
  TStaticText& label = *Ch_L[k];
  label.SetCaption(Format("%8.2f ", series->YValue(index)));
  label.Top = std::max(0, y - 20);
  label.Left = std::max(0, x - 20 - label.Width);
  label.Show();
  label.BringToFront();
  ShowItemStats(index, button);
}

// ---- Opened by other windows ----------------------------------------------------

namespace tav {

namespace {
void SetOpening(int tag, int first_item, int item_count) {
  Form35->FirstItem = first_item;
  Form35->ItemCount = item_count;
  Form35->Tag = tag;
}
}  // namespace

void OpenOverview(int tag, int first_item, int item_count) {
  if (Form35 == nullptr) return;
  SetOpening(tag, first_item, item_count);
  Form35->Show();
}

void LoadOverviewSelection(int item_count) {
  if (Form35 == nullptr) return;
  SetOpening(20, 0, item_count);
  Form35->LoadSelectedTrips();
}

void ShowOverviewItemStats(int item, TMouseButton button) {
  if (Form35 != nullptr) Form35->ShowItemStats(item, button);
}

}  // namespace tav
