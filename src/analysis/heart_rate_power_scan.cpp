#include "analysis/heart_rate_power_scan.h"

#include <algorithm>
#include <cmath>

#include "analysis/analysis_common.h"
#include "core/core_data.h"
#include "core/smoothing.h"
#include "core/trip_file.h"
#include "openers/openers.h"
#include "platform/text.h"

TForm16* Form16 = nullptr;

using namespace tav;

namespace {
constexpr int kRowHeight = 36;  // the bottom row: labels above combos, buttons
constexpr int kResizeDelayMs = 150;
}  // namespace

TForm16::TForm16() {
  Name = "Form16";
  Caption = "SCAN POPU";
  SetBounds(0, 0, 1000, 680);
  Top = std::max(0, Screen().Height - Height - 40);
  Left = std::max(0, Screen().Width - Width - 10);
  Visible = false;
  KeyPreview = true;

  Chart = Make<TChart>("Chart");
  Chart->Legend.Visible = false;
  Chart->TopAxis.Visible = false;
  Chart->BottomAxis.LabelStyle = TAxisLabelStyle::talText;
  static const TColor kColors[kHrPowerSeries] = {clBlack, clYellow, clRed,    clBlue,   clMaroon, clFuchsia,
                                                 clMaroon, clBlue,  clYellow, clYellow, clBlue,   clRed};
  for (int i = 0; i < kHrPowerSeries; ++i) {
    TChartSeries* s = i == 7 || i == 8 ? static_cast<TChartSeries*>(Chart->AddPointSeries())
                                       : static_cast<TChartSeries*>(Chart->AddLineSeries());
    s->SeriesColor = kColors[i];
    s->ShowInLegend = false;
    if (s->Type() == TSeriesType::stPoint) s->PointSize = 3;
    if (i >= 9) s->PenWidth = 2;
    Series[static_cast<std::size_t>(i)] = s;
  }
  Series[0]->LinesVisible = false;  // carries the labels of the time axis only
  Series[5]->VertAxis = TVertAxis::aRightAxis;  // the change of heart rate
  Chart->BottomAxis.LabelsSeries = Series[0];

  auto button = [this](const char* name, const char* caption, const char* hint, int width) {
    TSpeedButton* b = MakeScanButton(*this, name, caption, width);
    b->Hint = hint;
    return b;
  };
  SB_03 = button("SB_03", "Phases", "Power and heart rate over time, heart-rate phases", 70);
  SB_01 = button("SB_01", "HR / Power", "Heart rate on power with fitted lines", 80);
  SB_04 = button("SB_04", "Drift", "Drift of heart rate per watt", 60);
  SB_02 = button("SB_02", "HR change", "Heart rate and its change per minute", 80);
  SB_02->Tag = 1;
  SB_ALT = button("SB_ALT", "Alt", "Altitude", 34);
  SB_ZL = button("SB_ZL", "<", "", 26);
  SB_ZO = button("SB_ZO", "Zoom", "Left mouse button zoom in / right zoom out", 50);
  SB_ZR = button("SB_ZR", ">", "", 26);

  auto combo = [this](const char* name) {
    TComboBox* c = Make<TComboBox>(name);
    c->Style = TComboBoxStyle::csDropDownList;
    c->Width = 90;
    return c;
  };
  CB_VS = combo("CB_VS");
  CB_VS->Items.Add("   0");
  for (int k = 1; k < kHrDelayItems; ++k) CB_VS->Items.Add(Format("%4i SEC", 5 * k));
  CB_VS->DropDownCount = kHrDelayItems;
  CB_VS->Select(0);
  CB_G_PO = combo("CB_G_PO");
  FillSmoothingCombo(*CB_G_PO, 7);
  CB_G_HR = combo("CB_G_HR");
  FillSmoothingCombo(*CB_G_HR, 6);
  L_VS = Make<TLabel>("L_VS");
  L_VS->SetCaption(UiText[3]);
  L_G_PO = Make<TLabel>("L_G_PO");
  L_G_PO->SetCaption("Smoothing Power");
  L_G_HR = Make<TLabel>("L_G_HR");
  L_G_HR->SetCaption("Smoothing HR");
  resize_timer_ = MakeTimer("ResizeTimer");
  resize_timer_->SetInterval(kResizeDelayMs);

  SB_02->OnClick = [this](TControl* s) { SB_02Click(s); };
  SB_01->OnClick = [this](TControl* s) { SB_01Click(s); };
  SB_03->OnClick = [this](TControl* s) { SB_03Click(s); };
  SB_04->OnClick = [this](TControl* s) { SB_04Click(s); };
  SB_ALT->OnClick = [this](TControl* s) { SB_ALTClick(s); };
  SB_ZL->OnClick = [this](TControl* s) { SB_ZLClick(s); };
  SB_ZR->OnClick = [this](TControl* s) { SB_ZRClick(s); };
  SB_ZO->OnMouseDown = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) {
    SB_ZOMouseDown(s, b, sh, x, y);
  };
  CB_VS->OnChange = [this](TControl*) {
    HeartRateDelay = std::max(0, CB_VS->ItemIndex) * 5;
    Recompute();
  };
  CB_G_PO->OnChange = [this](TControl*) { Recompute(); };
  CB_G_HR->OnChange = [this](TControl*) { Recompute(); };
  Chart->OnMouseDown = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) {
    ChartMouseDown(s, b, sh, x, y);
  };
  Chart->OnAfterDraw = [this](TControl* s, TCanvas& c) { ChartAfterDraw(s, c); };
  resize_timer_->OnTimer = [this](TTimer*) {
    resize_timer_->SetEnabled(false);
    // The time labels follow the chart's width: once the user has done
    // resizing, the view is computed again.
    if (Visible && Chart->Width != computed_width_) Recompute();
  };
  OnActivate = [this](TControl* s) { FormActivate(s); };
  OnResize = [this](TControl* s) { FormResize(s); };
  OnClose = [this](TControl*, TCloseAction&) { TrackAnalysisMaximized(*this); };
  OnKeyDown = [](TControl*, WORD& key, TShiftState) { HandleHelpKey(key, 19); };
  Chart->Color = ChartColors[0];
  LayoutControls();
  FinishCreate();
}

void TForm16::FormActivate(TControl*) {
  RestoreAnalysisMaximized(*this);
  // The ride is taken when an opener shows the window; coming back to the
  // window keeps it, whatever the comparison buffer holds by then.
  if (ShownAnew(*this, taken_at_show_) || trip_.empty()) {
    const int count = std::clamp<int>(TripSampleCount2, 0, kTripBufferRecords);
    trip_.assign(TripSamples2, TripSamples2 + count);
    interval_ = RecordInterval(trip_.data(), count);
  }
  for (TChartAxis* a : {&Chart->LeftAxis, &Chart->RightAxis, &Chart->TopAxis, &Chart->BottomAxis})
    a->SetMinMax(0, 50000);
  ApplyChartColors(*Chart, true);
  Chart->LeftAxis.GridVisible = Chart->RightAxis.GridVisible = true;
  Chart->Title.Text.Clear();
  Chart->Title.Text.Add(UiText[1]);
  AltitudeUnitText = UnitFlags & kUnitMiles ? "[ft]" : "[m]";
  WindowLength = static_cast<int>(trip_.size());
  WindowStart = 0;
  LayoutControls();
  Recompute();
}

void TForm16::FormResize(TControl*) {
  TrackAnalysisMaximized(*this);
  LayoutControls();
  if (Visible) {
    resize_timer_->SetEnabled(false);
    resize_timer_->SetEnabled(true);
  }
}

void TForm16::LayoutControls() {
  PlaceControls();
  UpdateLeastSize();
}

void TForm16::PlaceControls() {
  const int cw = ClientWidth(), ch = ClientHeight();
  Chart->SetBounds(3, 5, std::max(10, cw - 6), std::max(10, ch - 10 - kRowHeight));
  const int row = ch - kRowHeight - 2;
  const bool power = !trip_.empty() && HeaderSport(trip_[0]) == kSportBikePower;
  for (TSpeedButton* b : {SB_01, SB_03, SB_04}) b->Visible = power;
  int x = 3;
  for (TSpeedButton* b : {SB_03, SB_01, SB_04, SB_02}) {
    if (!b->Visible) continue;
    b->SetBounds(x, row + 6, b->Width, 28);
    x += b->Width + 2;
  }
  x += 20;
  for (auto [label, combo] : {std::pair{L_VS, CB_VS}, std::pair{L_G_PO, CB_G_PO}, std::pair{L_G_HR, CB_G_HR}}) {
    FitWidthToCaption(*combo, 90);
    label->SetBounds(x, row, label->Width, label->Height);
    combo->SetBounds(x, row + 14, combo->Width, combo->Height);
    x += std::max(combo->Width, label->Width) + 20;
  }
  left_row_end_ = x - 20;
  x = cw - 3;
  for (TSpeedButton* b : {SB_ZR, SB_ZO, SB_ZL, SB_ALT}) {
    FitWidthToCaption(*b, b->Width);
    x -= b->Width;
    b->SetBounds(x, row + 6, b->Width, 28);
    x -= 2;
  }
  if (!power) {
    CB_G_PO->Hide();
    L_G_PO->Hide();
  }
}

void TForm16::UpdateLeastSize() {
  const ChartSize chart = LeastChartSize(*Chart, OneChartTexts());
  int zoom = 3;
  for (TSpeedButton* b : {SB_ZR, SB_ZO, SB_ZL, SB_ALT}) zoom += b->Width + 2;
  MinClientWidth = std::max(chart.width + 6, left_row_end_ + 16 + zoom);
  MinClientHeight = chart.height + 10 + kRowHeight;
}

void TForm16::SelectButton(TSpeedButton* button) {
  for (TSpeedButton* b : {SB_02, SB_01, SB_03, SB_04}) b->Flat = b != button;
}

void TForm16::ShowView(int view) {
  view = std::clamp(view, 0, 3);
  const int count = static_cast<int>(trip_.size());
  if (count > 0 && HeaderSport(trip_[0]) != kSportBikePower) view = kViewHeartRateChange;  // no power
  WindowLength = count;
  WindowStart = 0;
  if (Chart->IsZoomed()) Chart->UndoZoom();
  static TSpeedButton* TForm16::*const kButtons[4] = {&TForm16::SB_02, &TForm16::SB_01, &TForm16::SB_03,
                                                      &TForm16::SB_04};
  SelectButton(this->*kButtons[view]);
  if (view == kViewHeartRateChange) {
    for (TControl* c : std::initializer_list<TControl*>{SB_ZO, SB_ZL, SB_ZR, SB_ALT}) c->Show();
    for (TControl* c : std::initializer_list<TControl*>{CB_VS, L_VS, CB_G_PO, L_G_PO}) c->Hide();
    CB_G_HR->Select(6);
    CB_G_PO->Select(7);
    CB_G_HR->Enabled = false;
  } else {
    const bool time_axis = view != kViewHeartRateOnPower;
    for (TControl* c : std::initializer_list<TControl*>{SB_ZO, SB_ZL, SB_ZR, SB_ALT}) c->Visible = time_axis;
    for (TControl* c : std::initializer_list<TControl*>{CB_VS, L_VS, CB_G_PO, L_G_PO}) c->Show();
    L_VS->SetCaption(UiText[0]);
    CB_G_HR->Enabled = CB_G_PO->Enabled = true;
  }
  // The labels of this view, each above its box; measured once the chart
  // shows the view, below.
  PlaceControls();

  HrPowerInput in;
  in.samples = trip_.data();
  in.count = count;
  in.interval = interval_;
  in.powerHalfWidth = HalfWidthOfLevel(CB_G_PO->ItemIndex);
  in.heartRateHalfWidth = HalfWidthOfLevel(CB_G_HR->ItemIndex);
  in.delay = HeartRateDelay;
  in.altitude = AltitudeShown;
  in.fromClip = Tag == 1;
  in.chartWidth = Chart->Width;
  in.texts = UiText;
  const HrPowerView v = ComputeHrPowerView(view, in);

  for (TChartSeries* s : Series) s->Clear();
  for (const AxisTextLabel& l : v.labels) Series[0]->AddXY(l.x, 0, l.text);
  for (int i = 1; i < kHrPowerSeries; ++i) {
    const SeriesPoints& p = v.series[static_cast<std::size_t>(i)];
    TChartSeries* s = Series[static_cast<std::size_t>(i)];
    s->HorizAxis = THorizAxis::aTopAxis;
    if (p.color.empty()) {
      s->AddXYs(p.x.data(), p.y.data(), static_cast<int>(p.x.size()));
      continue;
    }
    s->Reserve(static_cast<int>(p.x.size()));
    static const std::string kNoLabel;
    for (std::size_t k = 0; k < p.x.size(); ++k) s->AddXY(p.x[k], p.y[k], kNoLabel, p.color[k]);
  }
  Series[9]->SeriesColor = v.fitColor;
  Chart->BottomAxis.SetMinMax(v.bottom.min, v.bottom.max);
  Chart->TopAxis.SetMinMax(v.bottom.min, v.bottom.max);
  Chart->TopAxis.Visible = false;
  Chart->LeftAxis.SetMinMax(v.left.min, v.left.max);
  Chart->RightAxis.SetMinMax(v.right.min, v.right.max);
  Chart->RightAxis.Visible = v.rightShown;
  Chart->LeftAxis.GridVisible = v.leftGrid;
  Chart->RightAxis.GridVisible = v.rightGrid;
  Chart->LeftAxis.Title = v.leftTitle;
  Chart->RightAxis.Title = v.rightTitle;
  Chart->BottomAxis.Title = v.bottomTitle;
  Chart->Title.Text.Clear();
  Chart->Title.Text.Add(v.title);

  // The buttons name the view asked for, also when it stopped early with
  // an empty chart.
  ViewMode = static_cast<uint8_t>(view);
  SmoothMargin = v.margin;
  PowerScale = static_cast<float>(v.powerScale);
  AltitudeMax = v.altitudeMax;
  AltitudeMin = v.altitudeMin;
  AltitudeScale = v.altitudeScale;
  RisingFitText = v.risingFit;
  FallingFitText = v.fallingFit;
  AllFitText = v.allFit;
  computed_width_ = Chart->Width;
  Chart->Invalidate();
  UpdateLeastSize();
  KeepMinClientSize();
}

void TForm16::SB_02Click(TControl*) {
  SelectButton(SB_02);
  CB_G_PO->Hide();
  L_G_PO->Hide();
  for (TControl* c : std::initializer_list<TControl*>{SB_ZO, SB_ZL, SB_ZR, SB_ALT}) c->Show();
  if (ViewMode != kViewHeartRateChange) ShowView(kViewHeartRateChange);
}
void TForm16::SB_01Click(TControl*) { ShowView(kViewHeartRateOnPower); }
void TForm16::SB_03Click(TControl*) { ShowView(kViewPhases); }
void TForm16::SB_04Click(TControl*) { ShowView(kViewDrift); }

void TForm16::SB_ALTClick(TControl*) {
  AltitudeShown = !AltitudeShown;
  Recompute();
}

// ---- time axis -------------------------------------------------------------------

void TForm16::ApplyTimeWindow() {
  Chart->BottomAxis.SetMinMax(WindowStart, WindowStart + WindowLength);
  Chart->TopAxis.SetMinMax(WindowStart, WindowStart + WindowLength);
  Chart->Invalidate();
}

void TForm16::SB_ZOMouseDown(TControl*, TMouseButton button, TShiftState, int, int) {
  if (ViewMode == kViewHeartRateOnPower) return;
  const int count = static_cast<int>(trip_.size());
  const TimeWindow w = ZoomTimeWindow({WindowStart, WindowLength}, button == TMouseButton::mbLeft, count);
  WindowStart = w.start;
  WindowLength = w.length;
  Series[0]->Clear();
  const int step = TimeLabelStep(WindowLength, Chart->Width, interval_);
  for (const AxisTextLabel& l : TimeLabels(count, step, interval_, ViewMode == kViewPhases ? PowerScale : 0))
    Series[0]->AddXY(l.x, 0, l.text);
  ApplyTimeWindow();
}

void TForm16::SB_ZLClick(TControl*) {
  const TimeWindow w = ScrollTimeWindow(Chart->TopAxis.Minimum(), WindowLength, false, static_cast<int>(trip_.size()));
  WindowStart = w.start;
  ApplyTimeWindow();
}

void TForm16::SB_ZRClick(TControl*) {
  const TimeWindow w = ScrollTimeWindow(Chart->TopAxis.Minimum(), WindowLength, true, static_cast<int>(trip_.size()));
  WindowStart = w.start;
  ApplyTimeWindow();
}

void TForm16::ChartMouseDown(TControl*, TMouseButton, TShiftState, int x, int) {
  if (SB_04->Flat) return;  // view 3 only
  if (x < Chart->Width / 10) {
    Chart->LeftAxis.GridVisible = true;
    Chart->RightAxis.GridVisible = false;
  } else if (x > Chart->Width * 9 / 10) {
    Chart->LeftAxis.GridVisible = false;
    Chart->RightAxis.GridVisible = true;
  }
  Chart->Invalidate();
}

void TForm16::ChartAfterDraw(TControl*, TCanvas& canvas) {
  const TRect plot = Chart->PlotRect();
  canvas.Brush.Style = TBrushStyle::bsClear;
  if (ViewMode != kViewHeartRateChange) {
    canvas.Font.Size = 12;
    const int x = plot.Left + 20;
    int y = plot.Top + static_cast<int>(plot.Bottom * 0.03) / 2;
    const int line = canvas.TextHeight("P");
    auto write = [&](const std::string& text, TColor color) {
      canvas.Font.Color = Chart->CurveColour(color);  // as its line is drawn
      canvas.TextOut(x, y, text);
      y += line;
    };
    if (ViewMode == kViewHeartRateOnPower) {
      write(FallingFitText, Series[10]->SeriesColor);
      write(AllFitText, Series[11]->SeriesColor);
      write(RisingFitText, Series[9]->SeriesColor);
    } else if (ViewMode == kViewPhases) {
      write(RisingFitText, clRed);
    } else {
      y = plot.Bottom - line - 10;
      write(RisingFitText, clBlue);
    }
  }
  if (AltitudeShown && ViewMode != kViewHeartRateOnPower) {
    // In the unit the view was shown in, as its axes are.
    const double factor = AltitudeUnitText == "[ft]" ? kFeetPerMetre : 1.0;
    canvas.Font.Size = 8;
    canvas.Font.Color = Chart->CurveColour(clMaroon);
    canvas.TextOut(plot.Right + 5, plot.Top - 15, Format("%6.0f %s", AltitudeMax * factor, AltitudeUnitText.c_str()));
    canvas.TextOut(plot.Right + 5, plot.Bottom - 5, Format("%6.0f %s", AltitudeMin * factor, AltitudeUnitText.c_str()));
  }
  canvas.Brush.Style = TBrushStyle::bsSolid;
}

// ---- Opened by other windows ----------------------------------------------------

namespace tav {

void OpenHeartRatePower(int tag, const std::string& caption) {
  if (Form16 == nullptr) return;
  Form16->Tag = tag;
  Form16->Caption = caption;
  Form16->Show();
}

}  // namespace tav
