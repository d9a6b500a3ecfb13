#include "analysis/distribution_charts.h"

#include <algorithm>
#include <cmath>

#include "analysis/analysis_common.h"
#include "analysis/distribution_model.h"
#include "core/core_data.h"
#include "core/trip_list.h"
#include "openers/openers.h"
#include "platform/text.h"

TForm34* Form34 = nullptr;

namespace {

using namespace tav;

constexpr int kEditorCorner = 50;  // a press this close to a chart's top left opens its editor

TChart* MakeChart(TForm& form, const char* name) {
  TChart* c = form.Make<TChart>(name);
  c->Legend.Visible = false;
  c->AllowZoom = false;
  c->BottomAxis.GridVisible = false;
  return c;
}

// The bars of a distribution chart from the computed histogram.
void FillBars(TChart& chart, TChartSeries& series, const HistogramChart& bars, TColor color,
              const std::string& title, const std::string& left_title, const std::string& bottom_title) {
  series.Clear();
  series.SeriesColor = color;
  chart.Title.Text.Clear();
  chart.Title.Text.Add(title);
  series.Reserve(static_cast<int>(bars.Bars.size()));
  for (const HistogramBar& b : bars.Bars) series.Add(b.Percent, b.Label, color);
  chart.LeftAxis.SetMinMax(0, bars.AxisMax);
  chart.LeftAxis.Title = left_title;
  chart.BottomAxis.Title = bottom_title;
  chart.Invalidate();
}

}  // namespace

TForm34::TForm34() {
  Name = "Form34";
  Caption = "Charts";
  Visible = false;
  Width = 1000;
  Height = 700;
  const char* const english[9] = {"Time", "Pulse division", "HR", "Speed division", "Speed",
                                  "RPM division", "RPM", "PP 5 sec - 20 min", "Power"};
  for (int i = 0; i < 9; ++i) UiText[static_cast<std::size_t>(i)] = english[i];
  CreateControls();
  // Placed at the screen's bottom right.
  if (CompactLayout) Height = 540;
  Top = Screen().Height - Height - 40;
  Left = Screen().Width - Width - 10;
  KeyPreview = true;
  OnActivate = [this](TControl* s) { FormActivate(s); };
  OnResize = [this](TControl* s) { FormResize(s); };
  OnKeyDown = [this](TControl* s, WORD& key, TShiftState shift) { FormKeyDown(s, key, shift); };
  FormResize(this);
  FinishCreate();
}

TForm34::~TForm34() = default;

void TForm34::CreateControls() {
  Ch_LO = MakeChart(*this, "Ch_LO");
  Ch_RO = MakeChart(*this, "Ch_RO");
  Ch_LU = MakeChart(*this, "Ch_LU");
  Ch_MU = MakeChart(*this, "Ch_MU");
  Ch_RU = MakeChart(*this, "Ch_RU");
  Series1 = Ch_LO->AddBarSeries();
  Series1->MarksVisible = true;
  Series1->ValueFormat = "###0";
  BarSeries1 = Ch_RO->AddBarSeries();
  BarSeries2 = Ch_LU->AddBarSeries();
  BarSeries4 = Ch_MU->AddBarSeries();
  BarSeries3 = Ch_RU->AddBarSeries();
  for (TChartSeries* s : {BarSeries1, BarSeries2, BarSeries3, BarSeries4}) s->BarWidthPercent = 80;

  SB_7 = Make<TSpeedButton>("SB_7");
  SB_0 = Make<TSpeedButton>("SB_0");
  SB_7->Glyph = WidenGlyph(false);
  SB_0->Glyph = WidenGlyph(true);
  SB_7->Visible = SB_0->Visible = false;

  auto panel = [this](TChart* chart, const char* button, const char* edit) {
    Panel p{chart, Make<TSpeedButton>(button, chart), nullptr};
    p.button->SetBounds(0, 3, 18, 18);
    p.button->Flat = true;
    p.button->Glyph = SB_7->Glyph;
    p.button->OnClick = [this](TControl* s) { WidenClick(s); };
    p.edit = MakeAxisEditor(*this, chart, [chart](double v) {
      chart->LeftAxis.SetMaximum(v);
      chart->Invalidate();
    }, edit);
    chart->OnMouseDown = [this, p](TControl*, TMouseButton, TShiftState, int x, int y) {
      ChartMouseDown(p, x, y);
    };
    return p;
  };
  panels_ = {panel(Ch_RO, "SB_RO", "E_RO"), panel(Ch_LU, "SB_LU", "E_LU"),
             panel(Ch_MU, "SB_MU", "E_MU"), panel(Ch_RU, "SB_RU", "E_RU")};
  SB_RO = panels_[0].button;
  SB_LU = panels_[1].button;
  SB_MU = panels_[2].button;
  SB_RU = panels_[3].button;
  E_RO = panels_[0].edit;
  E_LU = panels_[1].edit;
  E_MU = panels_[2].edit;
  E_RU = panels_[3].edit;

  // A click shows the channel's curve, unless the press opened the editor.
  auto curve_on_click = [this](TChart* chart, int channel) {
    chart->OnClick = [this, channel](TControl*) {
      if (!editor_opened_) ShowChannelCurve(channel);
    };
  };
  curve_on_click(Ch_RO, kCurvePower);
  curve_on_click(Ch_RU, kCurveCadence);
  curve_on_click(Ch_MU, kCurveSpeed);
  curve_on_click(Ch_LU, kCurveHeartRate);
  Ch_RO->OnDblClick = [this](TControl* s) { Ch_RODblClick(s); };
  Ch_RO->OnBeforeDrawAxes = [this](TControl*, TCanvas& cv) {
    if (Ch_RO->Tag % 2 != 0) PaintZoneBands(cv, true);
  };
  Ch_RO->OnAfterDraw = [this](TControl*, TCanvas& cv) { PaintZoneBands(cv, false); };

  Ch_LO2 = MakeChart(*this, "Ch_LO2");
  Ch_LO2->Visible = false;
  LineSeries1 = Ch_LO2->AddLineSeries();
  Series2 = Ch_LO2->AddLineSeries();
  Series3 = Ch_LO2->AddLineSeries();
  LineSeries1->LinesVisible = false;  // carries the distance labels only
  for (TChartSeries* s : {Series2, Series3}) s->HorizAxis = THorizAxis::aTopAxis;
  Ch_LO2->TopAxis.Visible = false;  // same range as the bottom axis, which is labelled
  Ch_LO2->OnDblClick = [this](TControl* s) { Ch_LO2DblClick(s); };
  Ch_LO2->OnAfterDraw = [this](TControl*, TCanvas& cv) {
    // The altitude range of the profile, in the user's unit.
    const std::array<std::string, 2> texts = CurveAltitudeTexts(CurveAltitudeMax, CurveAltitudeMin, UnitFlags);
    const TRect plot = Ch_LO2->PlotRect();
    const TFont saved = cv.Font;
    cv.Font.Size = 8;
    cv.Font.Color = Ch_LO2->CurveColour(ChartColors[5]);  // as the profile is drawn
    cv.Brush.Style = TBrushStyle::bsClear;
    cv.TextOut(4, plot.Top - 10 - cv.TextHeight("0") / 2, texts[0]);
    cv.TextOut(4, plot.Bottom + 5, texts[1]);
    cv.Font = saved;
  };
}

void TForm34::FormResize(TControl*) {
  PlaceCharts();
  UpdateLeastSize();
}

void TForm34::PlaceCharts() {
  HalfWidth = (ClientWidth() - 12) / 2;
  ThirdWidth = (ClientWidth() - 18) / 3;
  const int h = std::max(0, (ClientHeight() - 20) / 2);
  Ch_LO->SetBounds(3, 5, HalfWidth, h);
  Ch_LO2->SetBounds(3, 5, HalfWidth, h);
  for (const Panel& p : panels_) PlaceChart(p, false);
}

void TForm34::UpdateLeastSize() {
  ChartTexts corner;
  corner.cornerRoom = SB_RO->Width + 6;
  const ChartSize half = LeastChartsSize({Ch_LO, Ch_LO2, Ch_RO}, corner);
  const ChartSize third = LeastChartsSize({Ch_LU, Ch_MU, Ch_RU}, corner);
  MinClientWidth = std::max(2 * half.width + 12, 3 * third.width + 18);
  MinClientHeight = 2 * std::max(half.height, third.height) + 20;
}

void TForm34::PlaceChart(const Panel& p, bool widened) {
  const int h = std::max(0, (ClientHeight() - 20) / 2);
  if (widened) {
    p.chart->SetBounds(3, p.chart->Top, ClientWidth() - 10, p.chart->Height);
  } else if (p.chart == Ch_RO) {
    p.chart->SetBounds(HalfWidth + 9, 5, HalfWidth, h);
  } else {
    const int column = p.chart == Ch_LU ? 0 : p.chart == Ch_MU ? 1 : 2;
    p.chart->SetBounds(3 + column * (ThirdWidth + 6), h + 15, ThirdWidth, h);
  }
  p.button->Left = p.chart->Width - p.button->Width - 3;
  p.button->Glyph = widened ? SB_0->Glyph : SB_7->Glyph;
  p.button->Tag = widened ? 1 : 0;
  p.edit->Hide();
  if (widened) {
    p.chart->BringToFront();
    p.button->BringToFront();
  }
}

void TForm34::WidenClick(TControl* button) {
  for (const Panel& p : panels_)
    if (p.button == button) PlaceChart(p, p.button->Tag == 0);
}

void TForm34::ChartMouseDown(const Panel& p, int x, int y) {
  editor_opened_ = x < kEditorCorner && y < kEditorCorner;
  if (editor_opened_) OpenAxisEditor(*p.edit, *p.chart, std::trunc(p.chart->LeftAxis.Maximum()));
}

void TForm34::Ch_RODblClick(TControl*) {
  ++Ch_RO->Tag;
  Ch_RO->Invalidate();
}

void TForm34::Ch_LO2DblClick(TControl*) { Ch_LO2->Hide(); }

void TForm34::FormKeyDown(TControl*, WORD& key, TShiftState) { HandleHelpKey(key, 20); }

void TForm34::PaintZoneBands(TCanvas& cv, bool full_height) {
  const TChartAxis& bottom = Ch_RO->BottomAxis;
  const int base = Ch_RO->LeftAxis.EndPos() + 1;
  const int top = full_height ? Ch_RO->LeftAxis.StartPos() : base;
  const int bottom_y = full_height ? base : base + 6;
  cv.Brush.Style = TBrushStyle::bsSolid;
  for (const ZoneBand& b : ZoneBands(ShownView.ZoneLimits, ZoneCount, bottom.StartPos(), bottom.Length())) {
    cv.Brush.Color = ZoneColors[b.Zone];
    cv.FillRect({b.Left, top, b.Right, bottom_y});
  }
}

// ---------------------------------------------------------------------------
// Activation and the five bar charts
// ---------------------------------------------------------------------------

void TForm34::FormActivate(TControl*) {
  Ch_LO2->Hide();
  for (TChart* c : {Ch_LO, Ch_RO, Ch_LU, Ch_MU, Ch_RU, Ch_LO2}) {
    ApplyChartColors(*c, false, 0);
    c->LeftAxis.GridPen.Color = ChartColors[8];
    c->BottomAxis.GridPen.Color = ChartColors[8];
  }
  PlaceCharts();  // measured once filled, below

  // An opener sets a new caption (the overview's item statistics also name
  // a selection line first): the record and the line are taken now. Shown
  // again without an opener, the window keeps both.
  const bool opening = NewOpening || NextItemLine >= 0 || Caption != shown_caption_ || !view_taken_;
  if (opening) {
    if (Caption != shown_caption_ && Caption != OpenerCaption) OpenerCaption = Caption;  // an opener that set the caption only
    ShownItemLine = -1;
    ShownLine.clear();
    if (NextItemLine >= 0 && ScanList != nullptr && NextItemLine < ScanList->Count()) {
      ShownItemLine = NextItemLine;
      ShownLine = ScanList->At(NextItemLine);
    }
    ShownView = DistributionView;
    view_taken_ = true;
  }
  NewOpening = false;
  NextItemLine = -1;
  ShowPeakBars();
  ShowPowerDistribution();
  ShowHeartRateDistribution();
  ShowSpeedDistribution();
  ShowCadenceDistribution();

  // The caption: the opener's, and for a selection line its label.
  std::string caption = OpenerCaption;
  if (ShownItemLine >= 0) caption += "   " + SelectionLineText(ShownLine);
  Caption = shown_caption_ = caption;
  // The charts as filled now: the window at least as large as they need.
  UpdateLeastSize();
  KeepMinClientSize();
}

void TForm34::ShowPeakBars() {
  Series1->Clear();
  Ch_LO->Title.Text.Clear();
  Ch_LO->Title.Text.Add(UiText[7]);
  static const char* const kLabels[4] = {"5[sec]", "1[min]", "5[min]", "20[min]"};
  static const TColor kColors[4] = {clRed, clYellow, clLime, clGreen};
  for (int k = 0; k < 4; ++k) Series1->Add(ShownView.Peaks[k], kLabels[k], kColors[k]);
  Ch_LO->LeftAxis.SetAutomatic(true);
  Ch_LO->LeftAxis.SetMinimum(0);
  Ch_LO->LeftAxis.Title = UiText[8] + " [W]";
  Ch_LO->Invalidate();
}

void TForm34::ShowPowerDistribution() {
  FillBars(*Ch_RO, *BarSeries1, HistogramBars(Histogram::Power, ShownView, UnitFlags), clYellow,
           "Power", UiText[0] + " [%]", "Power [W]");
}

void TForm34::ShowHeartRateDistribution() {
  FillBars(*Ch_LU, *BarSeries2, HistogramBars(Histogram::HeartRate, ShownView, UnitFlags), clRed,
           UiText[1], UiText[0] + " [%]", UiText[2] + " [ 1/min]");
}

void TForm34::ShowSpeedDistribution() {
  const bool miles = UnitFlags & kUnitMiles;
  FillBars(*Ch_MU, *BarSeries4, HistogramBars(Histogram::Speed, ShownView, UnitFlags), clBlue,
           UiText[3], UiText[0] + " [%]", UiText[4] + (miles ? " [mph]" : " [km/h]"));
}

void TForm34::ShowCadenceDistribution() {
  FillBars(*Ch_RU, *BarSeries3, HistogramBars(Histogram::Cadence, ShownView, UnitFlags), clLime,
           UiText[5], UiText[0] + " [%]", UiText[6] + " [1/min]");
}

// ---------------------------------------------------------------------------
// The channel curve
// ---------------------------------------------------------------------------

void TForm34::ShowChannelCurve(int channel) {
  if (channel < kCurvePower || channel > kCurveHeartRate) return;
  // The trip of the line the caption names, while the selection still holds
  // it where the opener found it.
  if (ShownItemLine < 0 || ScanList == nullptr || ShownItemLine >= ScanList->Count() ||
      ScanList->At(ShownItemLine) != ShownLine)
    return;
  TripFileData trip;
  if (!ReadListedTrip(ShownLine, trip)) return;
  const auto c = static_cast<CurveChannel>(channel);
  const ChannelCurve curve = BuildChannelCurve(trip.Samples.data(), trip.Count(), c);

  struct Look {
    int color_slot, text;
    const char* unit;
  };
  static const Look kLooks[5] = {{}, {1, 8, " [W]"}, {2, 6, " [1/min]"}, {4, 4, " [km/h]"}, {3, 2, " [ 1/min]"}};
  const Look& look = kLooks[channel];
  const TColor color = ChartColors[look.color_slot];
  const std::string& name = UiText[static_cast<std::size_t>(look.text)];

  for (TChartSeries* s : {LineSeries1, Series2, Series3}) {
    s->Clear();
    s->ShowInLegend = false;
  }
  Ch_LO2->Title.Text.Clear();
  Ch_LO2->Title.Text.Add(name);
  Ch_LO2->Title.Font.Color = color;
  Ch_LO2->LeftAxis.Title = name + look.unit;
  Ch_LO2->LeftAxis.SetMinMax(0, curve.AxisMax);
  Ch_LO2->TopAxis.SetMinMax(0, curve.DistanceMax);
  Ch_LO2->BottomAxis.SetMinMax(0, curve.DistanceMax);
  CurveAltitudeMax = curve.AltitudeMax;
  CurveAltitudeMin = curve.AltitudeMin;

  Series2->SeriesColor = ChartColors[5];
  Series3->SeriesColor = color;
  const int n = static_cast<int>(curve.Distance.size());
  Series2->AddXYs(curve.Distance.data(), curve.Altitude.data(), n);
  Series3->AddXYs(curve.Distance.data(), curve.Value.data(), n);
  // Distance labels every 30 pixels or so.
  const int labels = std::max(1, (Ch_LO2->Width - 2 * Ch_LO2->MarginPixels().Left) / 30);
  for (int k = 0; k <= labels; ++k) {
    const double x = curve.DistanceMax / labels * k;
    LineSeries1->AddXY(x, 0, Format("%6.2f", x));
  }
  Ch_LO2->Show();
  Ch_LO2->BringToFront();
  Ch_LO2->Invalidate();
  UpdateLeastSize();
  KeepMinClientSize();
}

// ---- Opened by other windows ----------------------------------------------------

namespace tav {

void ShowDistributionSums(const std::string& caption) {
  if (Form34 == nullptr) return;
  Form34->OpenerCaption = caption;
  Form34->Caption = Form34->OpenerCaption;
  Form34->NewOpening = true;
  Form34->Show();
}

void SetDistributionItemLine(int line) {
  if (Form34 != nullptr) Form34->NextItemLine = line;
}

}  // namespace tav
