#include "analysis/grade_scan.h"

#include <algorithm>
#include <cmath>

#include "core/smoothing.h"
#include "openers/openers.h"
#include "platform/canvas.h"
#include "platform/text.h"

TForm51* Form51 = nullptr;

namespace tav {

// ---------------------------------------------------------------------------
// Computation
// ---------------------------------------------------------------------------

int GradeClass(double grade) {
  const double c = grade * 10 + 150.5;
  if (std::isnan(c)) return 150;
  if (c <= 0) return 0;
  if (c >= kGradeClasses - 1) return kGradeClasses - 1;
  return static_cast<int>(c);
}

void RecordGrades(const TripSample* s, const SmoothSample* smooth, int count, bool one_trip,
                  double clamp, float* grade) {
  std::fill(grade, grade + std::max(0, count), 0.0f);
  float last = 0;
  for (int i = 10; i <= count - 11; ++i) {
    const double da = static_cast<double>(smooth[i + 7][kSmoothAltitude]) - smooth[i - 7][kSmoothAltitude];
    const double dd = static_cast<double>(s[i + 7].Distance) - s[i - 7].Distance;
    double g;
    if (one_trip)
      g = dd > 0.02 ? 0.1 * da / dd : last;
    else
      g = dd != 0 ? 0.1 * da / dd : 0.0;
    if (clamp > 0) g = std::clamp(g, -clamp, clamp);
    grade[i] = last = static_cast<float>(g);
  }
}

GradeClassSums GradeClassSumsOf(const TripSample* s, const float* grade, int count) {
  GradeClassSums sums;
  for (int i = 10; i <= count - 11; ++i) {
    const auto c = static_cast<std::size_t>(GradeClass(grade[i]));
    sums.distance[c] += static_cast<double>(s[i].Distance) - s[i - 1].Distance;
    ++sums.records[c];
  }
  return sums;
}

CurvePoints GradeCurveFromSteep(const GradeClassSums& sums) {
  CurvePoints curve;
  double run = 0;
  for (int c = kGradeClasses - 1; c >= 0; --c) {
    run += sums.distance[static_cast<std::size_t>(c)];
    if (sums.distance[static_cast<std::size_t>(c)] > 0) {
      curve.x.push_back(run);
      curve.y.push_back(GradeOfClass(c));
    }
  }
  return curve;
}

CurvePoints GradeCurveFromFlat(const GradeClassSums& sums) {
  CurvePoints curve;
  double run = 0;
  for (int c = 0; c < kGradeClasses; ++c) {
    run += sums.distance[static_cast<std::size_t>(c)];
    if (sums.distance[static_cast<std::size_t>(c)] > 0) {
      curve.x.push_back(run);
      curve.y.push_back(GradeOfClass(c));
    }
  }
  return curve;
}

CurvePoints GradeCurveByShare(const GradeClassSums& sums, int count, double total) {
  CurvePoints curve;
  double run = 0;
  for (int c = kGradeClasses - 1; c >= 0; --c) {
    const int n = sums.records[static_cast<std::size_t>(c)];
    if (count > 0) run += static_cast<double>(n) / count * total;
    if (n > 0) {
      curve.x.push_back(run);
      curve.y.push_back(GradeOfClass(c));
    }
  }
  return curve;
}

std::vector<AxisTextLabel> DistanceLabels(double start, double width, int count) {
  count = std::max(1, count);
  std::vector<AxisTextLabel> labels;
  for (int k = 0; k <= count; ++k) {
    const double x = start + k * width / count;
    labels.push_back({x, Format("%6.2f", x)});
  }
  return labels;
}

int DistanceLabelCount(int plot_width) { return std::max(1, plot_width / 30); }

namespace {
ZoomWindow Clamped(ZoomWindow w, double total) {
  total = std::max(0.0, total);
  w.width = std::clamp(w.width, 0.0, total);
  w.start = std::clamp(w.start, 0.0, total - w.width);
  return w;
}
}  // namespace

ZoomWindow ZoomIn(ZoomWindow w, bool ctrl, double total) {
  if (ctrl) w.width = 2.1;
  if (w.width < 2.0) return Clamped(w, total);
  w.width *= 0.5;
  w.start += w.width * 0.5;
  return Clamped(w, total);
}

ZoomWindow ZoomOut(ZoomWindow w, bool ctrl, double total) {
  if (ctrl) w.width = total;
  w.width = std::min(w.width * 2, total);
  w.start -= w.width * 0.5;
  return Clamped(w, total);
}

ZoomWindow PanRight(ZoomWindow w, double total) {
  w.start += w.width * 2 * (1.0 / 3);
  return Clamped(w, total);
}

ZoomWindow PanLeft(ZoomWindow w, double total) {
  w.start -= w.width * 2 * (1.0 / 3);
  return Clamped(w, total);
}

ProfileScale::ProfileScale(double value_lo, double value_hi, double a_lo, double a_hi)
    : lo(value_lo), scale(value_hi > value_lo ? (a_hi - a_lo) / (value_hi - value_lo) : 1.0),
      axis_lo(a_lo) {}

std::vector<double> GearHeights(const TripSample* s, int count, double factor) {
  std::vector<double> gear(static_cast<std::size_t>(std::max(0, count)), 0.0);
  double last = 0;
  for (int k = 1; k < count; ++k) {
    if (s[k].Cadence > 0) last = s[k].Speed / s[k].Cadence * factor;
    gear[static_cast<std::size_t>(k)] = last;
  }
  return gear;
}

TColor CadenceColor(double cadence, double cadence_max) {
  const double cmax = cadence_max < 10 || std::isnan(cadence_max) ? 10 : cadence_max;
  double g = 255 - (cmax - cadence) * 200 / cmax;
  g = std::isnan(g) ? 55 : std::clamp(g, 0.0, 255.0);
  return RGBColor(0, static_cast<int>(g), 0);
}

// ---------------------------------------------------------------------------
// Metrics
// ---------------------------------------------------------------------------

namespace {
SmoothColumn MetricColumn(int m) {
  switch (m) {
    case kGradeHeartRate: return kSmoothHeartRate;
    case kGradeSpeed: return kSmoothSpeed;
    case kGradeCadence: return kSmoothCadence;
    default: return kSmoothPower;
  }
}
int MetricColorSlot(int m) { return m == kGradeHeartRate ? 3 : m == kGradeSpeed ? 4 : m == kGradeCadence ? 2 : 1; }

// Titles of a metric: which 0 right axis, 1 legend, 2 Ch_SK bottom axis,
// 3 small-chart bottom axis.
std::string MetricTitle(const std::array<std::string, 16>& ui, int m, int which) {
  switch (m) {
    case kGradeHeartRate: return which == 1 ? ui[4] : ui[4] + " [1/min]";
    case kGradeSpeed: return which == 1 ? ui[12] : ui[12] + (which == 0 ? " [km/h]" : " [km / h]");
    case kGradeCadence:
      return which == 1 ? "RPM" : which == 2 ? "RPM [1/min]" : "RPM [1/m]";
    default: return which == 1 ? "Power" : "Power [W]";
  }
}

void SmoothInto(const TripFileData& trip, std::vector<SmoothSample>& out, SmoothColumn column, int level) {
  out.resize(static_cast<std::size_t>(trip.Count()));
  SmoothColumnOf(trip.Samples.data(), trip.Count(), out.data(), column, HalfWidthOfLevel(level));
}

bool Selected(const TSpeedButton* b) { return !b->Flat; }
}  // namespace

}  // namespace tav

using namespace tav;

// ---------------------------------------------------------------------------
// Window
// ---------------------------------------------------------------------------

TForm51::TForm51() {
  Name = "Form51";
  Caption = "SCAN GRADE";
  SetBounds(0, 0, 1000, CompactLayout ? 560 : 680);
  Top = std::max(5, Screen().Height - Height - 40);
  Left = std::max(0, Screen().Width - Width - 15);
  Visible = false;
  KeyPreview = true;

  Chart = Make<TChart>("Chart");
  Chart->TopAxis.Visible = false;
  Chart->RightAxis.Visible = false;
  Chart->Legend.Alignment = TLegendAlignment::laBottom;
  Chart->BottomAxis.LabelStyle = TAxisLabelStyle::talText;
  Chart->RightAxis.LabelStyle = TAxisLabelStyle::talText;
  for (std::size_t i = 0; i < Series.size(); ++i) {
    Series[i] = Chart->AddLineSeries();
    Series[i]->ShowInLegend = false;
  }
  Chart->BottomAxis.LabelsSeries = Series[0];
  Chart->OnAfterDraw = [this](TControl* s, TCanvas& c) { ChartAfterDraw(s, c); };

  auto small_chart = [this](const char* name) {
    auto* c = Make<TChart>(name);
    c->Visible = false;
    c->Legend.Visible = false;
    c->AllowZoom = false;
    TChartSeries* points = c->AddPointSeries();
    points->PointSize = 3;
    TChartSeries* range = c->AddPointSeries();
    range->SeriesColor = clWhite;
    range->PointSize = 1;
    return c;
  };
  Ch_SK = small_chart("Ch_SK");
  Series10 = Ch_SK->Series(0);
  Series11 = Ch_SK->Series(1);
  const char* names[4] = {"Ch_1", "Ch_2", "Ch_3", "Ch_4"};
  for (std::size_t i = 0; i < Ch.size(); ++i) Ch[i] = small_chart(names[i]);

  RPM_Legende = Make<TPaintBox>("RPM_Legende");
  RPM_Legende->SetBounds(0, 0, 200, 20);
  RPM_Legende->Visible = false;
  RPM_Legende->OnPaint = [](TControl* s, TCanvas& c) {
    // Left to right as the points read: cadence 0 dark, the maximum bright.
    c.GradientFill(TRect{0, 0, s->Width, s->Height}, RGBColor(0, 55, 0), RGBColor(0, 255, 0), false);
  };
  auto legend_label = [this](const char* name, const char* caption) {
    auto* l = Make<TLabel>(name, RPM_Legende);
    l->SetCaption(caption);
    l->Font.Color = clWhite;
    l->Top = 3;
    return l;
  };
  L_1 = legend_label("L_1", "RPM");
  L_1->AutoSize = false;
  L_1->Alignment = TAlignment::taCenter;
  L_1->SetBounds(0, 3, 200, 14);
  L_2 = legend_label("L_2", "0");
  L_2->Left = 3;
  L_3 = legend_label("L_3", "0");

  auto button = [this](const char* name, const char* caption, int width) {
    return MakeScanButton(*this, name, caption, width);
  };
  SB_ALT = button("SB_ALT", "Profile", 55);
  SB_SK = button("SB_SK", "x / %", 45);
  SB_PO = button("SB_PO", "Power", 50);
  SB_PU = button("SB_PU", "HR", 40);
  SB_SP = button("SB_SP", "Speed", 50);
  SB_RPM = button("SB_RPM", "RPM", 40);
  SB_SR = button("SB_SR", "Gears", 50);
  SB_ZL = button("SB_ZL", "<", 30);
  SB_ZO = button("SB_ZO", "+ / -", 40);
  SB_ZR = button("SB_ZR", ">", 30);
  L_GLA = Make<TLabel>("L_GLA");
  L_GLA->SetCaption("Smoothing");
  CB_G_PO = Make<TComboBox>("CB_G_PO");
  CB_G_PO->Style = TComboBoxStyle::csDropDownList;
  CB_G_PO->Width = 90;
  FillSmoothingCombo(*CB_G_PO, 6);
  E_SKA = MakeAxisEditor(*this, Chart, [this](double v) {
    Chart->LeftAxis.SetMinMax(-v, v);
    if (ProfileFlag) DrawAltitude(-v, v);
    if (MetricSelected() && Selected(SB_ALT)) MetricClick(CurrentMetric);
  });
  Show_DAT = MakeReadout(*this, Chart);
  Memo1 = Make<TMemo>("Memo1");
  Memo1->Visible = false;

  SB_ALT->OnClick = [this](TControl* s) { SB_ALTClick(s); };
  SB_SK->OnClick = [this](TControl* s) { SB_SKClick(s); };
  SB_ZL->OnClick = [this](TControl* s) { SB_ZLClick(s); };
  SB_ZR->OnClick = [this](TControl* s) { SB_ZRClick(s); };
  SB_ZO->OnMouseDown = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) {
    SB_ZOMouseDown(s, b, sh, x, y);
  };
  SB_PO->OnClick = [this](TControl*) { MetricClick(kGradePower); };
  SB_PU->OnClick = [this](TControl*) { MetricClick(kGradeHeartRate); };
  SB_SP->OnClick = [this](TControl*) { MetricClick(kGradeSpeed); };
  SB_RPM->OnClick = [this](TControl*) { MetricClick(kGradeCadence); };
  SB_SR->OnClick = [this](TControl* s) { SB_SRClick(s); };
  CB_G_PO->OnChange = [this](TControl* s) { CB_G_POChange(s); };
  Chart->OnMouseDown = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) {
    ChartMouseDown(s, b, sh, x, y);
  };
  Chart->OnMouseUp = [this](TControl*, TMouseButton, TShiftState, int, int) { Show_DAT->Hide(); };
  OnActivate = [this](TControl* s) { FormActivate(s); };
  OnResize = [this](TControl* s) { FormResize(s); };
  OnClose = [this](TControl*, TCloseAction&) { TrackAnalysisMaximized(*this); };
  OnKeyDown = [this](TControl* s, WORD& key, TShiftState sh) { FormKeyDown(s, key, sh); };
  FormResize(this);
  FinishCreate();
}

void TForm51::FormResize(TControl*) {
  TrackAnalysisMaximized(*this);
  const int cw = ClientWidth(), ch = ClientHeight();
  Chart->SetBounds(5, 5, cw - 10, ch - 18 - SB_ZO->Height);
  const int top = ch - SB_ZO->Height - 6;
  int left = 5;
  const int designed[7] = {55, 45, 50, 40, 50, 40, 50};
  int k = 0;
  for (TSpeedButton* b : {SB_ALT, SB_SK, SB_PO, SB_PU, SB_SP, SB_RPM, SB_SR}) {
    FitWidthToCaption(*b, designed[k++]);
    b->SetBounds(left, top, b->Width, b->Height);
    left += b->Width + 4;
  }
  SB_ZL->SetBounds(cw - SB_ZO->Width - 2 * SB_ZR->Width - 20, top, SB_ZL->Width, SB_ZL->Height);
  SB_ZO->SetBounds(SB_ZL->Left + SB_ZL->Width, top, SB_ZO->Width, SB_ZO->Height);
  SB_ZR->SetBounds(SB_ZO->Left + SB_ZO->Width, top, SB_ZR->Width, SB_ZR->Height);
  L_GLA->SetBounds(left + 10, top + 6, L_GLA->Width, L_GLA->Height);
  CB_G_PO->SetBounds(L_GLA->Left + L_GLA->Width + 8, top + 2, CB_G_PO->Width, CB_G_PO->Height);
  const TRect plot = Chart->PlotRect();
  LabelCount = DistanceLabelCount(plot.Width());
  Ch_SK->SetBounds(Chart->Left, Chart->Top, Chart->Width, Chart->Height);
  if (SB_SK->Tag >= 12 && SB_SK->Tag <= 14) LayoutSmallCharts();
  RPM_Legende->SetBounds(cw - 210, CB_G_PO->Top, 200, 20);
  L_3->Left = RPM_Legende->Width - L_3->Width - 3;
  UpdateLeastSize();
}

void TForm51::UpdateLeastSize() {
  const ChartSize least = LeastChartsSize({Chart, Ch_SK}, OneChartTexts());
  // The zoom buttons take 20 + their widths at the right, the cadence legend 210.
  const int right = std::max(SB_ZO->Width + SB_ZL->Width + SB_ZR->Width + 20, RPM_Legende->Width + 10);
  MinClientWidth = std::max(least.width + 10, CB_G_PO->Left + CB_G_PO->Width + 12 + right);
  MinClientHeight = least.height + 18 + SB_ZO->Height;
}

void TForm51::FormKeyDown(TControl*, WORD& key, TShiftState) {
  if (HandleHelpKey(key, 16)) return;
  if (key == VK_F1) {
    if (SB_SK->Tag >= 12 && SB_SK->Tag <= 14) CommonSmallChartScale();
    key = 0;
  }
}

void TForm51::ColorChart(TChart& chart) { ApplyChartColors(chart, true, 0); }

void TForm51::FormActivate(TControl*) {
  if (ShownAnew(*this, taken_at_show_))
    lines_ = ScanList != nullptr ? ScanList->Lines() : std::vector<std::string>();
  FirstItem = 0;
  ItemCount = static_cast<int>(lines_.size());
  RestoreAnalysisMaximized(*this);
  RPM_Legende->Hide();
  Caption = SpanCaptionOfLines(lines_, 0, ItemCount - 1);
  for (TChart* c : Ch) c->Hide();
  SB_SK->Tag = 0;
  Chart->AllowZoom = false;
  for (TChart* c : {Chart, Ch_SK, Ch[0], Ch[1], Ch[2], Ch[3]}) ColorChart(*c);
  for (TChart* c : {Chart, Ch_SK}) c->Title.Font.Size = 12;
  Chart->Title.Text.Clear();
  Chart->Title.Text.Add(UiText[10]);
  Chart->LeftAxis.Title = Ch_SK->LeftAxis.Title = UiText[11] + " [%]";
  for (TSpeedButton* b : {SB_ZR, SB_ZO, SB_ZL, SB_PO, SB_PU, SB_RPM, SB_SP, SB_SK, SB_SR}) b->Hide();
  Chart->Show();
  Ch_SK->Hide();
  SB_SK->Flat = true;
  SB_ALT->Flat = true;
  Chart->RightAxis.Visible = false;
  Chart->RightAxis.Title.clear();
  L_GLA->Hide();
  CB_G_PO->Hide();
  SB_SR->Hint = UiText[13];
  SB_SR->Tag = 0;
  SB_01Click(this);
}

void TForm51::SetUpAxes() {
  // The curve colours (the channel views recolour two of the series).
  static const TColor kColors[9] = {clBlack, clFuchsia, clLime, clRed, clBlue,
                                    clNavy, clMaroon, clOlive, clTeal};
  for (std::size_t i = 0; i < Series.size(); ++i) Series[i]->SeriesColor = kColors[i];
  if (Chart->IsZoomed()) Chart->UndoZoom();
  for (TChartAxis* a : {&Chart->TopAxis, &Chart->BottomAxis}) a->SetMinMax(0, 2000000);
  Chart->LeftAxis.SetMinMax(-16, 16);
  for (std::size_t i = 0; i < Series.size(); ++i) {
    Series[i]->Clear();
    Series[i]->ShowInLegend = false;
    Series[i]->VertAxis = TVertAxis::aLeftAxis;
    Series[i]->LinesVisible = true;  // the metric scale borrows the last one
    if (i > 0) Series[i]->HorizAxis = THorizAxis::aTopAxis;
  }
}

void TForm51::SB_01Click(TControl*) {
  ProfileFlag = false;
  SB_ALT->Hide();
  SetUpAxes();
  ItemCount = std::min(ItemCount, 8);
  TotalDistance = 0;
  if (ItemCount == 1)
    ScanGradeTrip();
  else
    ScanSeveralTrips();
  Chart->Invalidate();
  UpdateLeastSize();
  KeepMinClientSize();
}

void TForm51::ScanSeveralTrips() {
  std::vector<std::string> lines;
  const int end = std::min(ItemCount, static_cast<int>(lines_.size()));
  for (int i = std::max(0, FirstItem); i < end; ++i) lines.push_back(lines_[static_cast<std::size_t>(i)]);
  const std::vector<ListedTrip> trips = ReadListedTrips(lines);
  for (const ListedTrip& t : trips)
    if (t.ok) TotalDistance = std::max<double>(TotalDistance, t.data.Samples.back().Distance);
  std::vector<SmoothSample> smooth;
  std::vector<float> grade;
  for (std::size_t k = 0; k < trips.size(); ++k) {
    if (!trips[k].ok) continue;
    const TripFileData& trip = trips[k].data;
    TChartSeries* s = Series[k + 1];
    s->Title = TripTitle(lines[k]);
    s->ShowInLegend = true;
    SmoothInto(trip, smooth, kSmoothAltitude, 2);
    grade.resize(static_cast<std::size_t>(trip.Count()));
    RecordGrades(trip.Samples.data(), smooth.data(), trip.Count(), false, 0, grade.data());
    AddCurve(*s, GradeCurveFromSteep(GradeClassSumsOf(trip.Samples.data(), grade.data(), trip.Count())));
  }
  for (const AxisTextLabel& l : DistanceLabels(0, TotalDistance, 30)) Series[0]->AddXY(l.x, 0, l.text);
  Chart->TopAxis.SetMaximum(TotalDistance);
  Chart->BottomAxis.SetMaximum(TotalDistance);
  SB_SK->Tag = 0;
  SB_SK->Visible = ItemCount >= 2 && ItemCount <= 4;
}

void TForm51::DrawAltitude(double axis_lo, double axis_hi) {
  TChartSeries* s = Series[6];
  s->Clear();
  const ProfileScale scale(AltitudeMin, AltitudeMax, axis_lo, axis_hi);
  const int n = Trip.Count();
  s->Reserve(n);
  for (int k = 1; k < n; ++k)
    s->AddXY(Trip.Samples[static_cast<std::size_t>(k)].Distance,
             scale(Smooth[static_cast<std::size_t>(k)][kSmoothAltitude]));
}

void TForm51::ScanGradeTrip() {
  Chart->Show();
  Ch_SK->Hide();
  TotalDistance = 0;
  for (TSpeedButton* b : {SB_ALT, SB_ZR, SB_ZO, SB_ZL, SB_SK}) b->Show();
  SetUpAxes();
  Trip = TripFileData{};
  GradePerRecord.clear();
  if (lines_.empty() || !ReadListedTrip(lines_[0], Trip)) {
    Trip = TripFileData{};
    return;
  }
  const int n = Trip.Count();
  TotalDistance = Trip.Samples.back().Distance;
  SmoothInto(Trip, Smooth, kSmoothAltitude, 4);
  const double left_lo = Chart->LeftAxis.Minimum(), left_hi = Chart->LeftAxis.Maximum();
  if (ProfileFlag) {
    AltitudeMax = 0;
    AltitudeMin = 100000;
    for (int k = 20; k < n; ++k) {
      const double a = Smooth[static_cast<std::size_t>(k)][kSmoothAltitude];
      AltitudeMax = std::max(AltitudeMax, a);
      AltitudeMin = std::min(AltitudeMin, a);
    }
  }
  TripTitleText = TripTitle(lines_[0]);
  Caption = TripTitleText;
  GradePerRecord.resize(static_cast<std::size_t>(n));
  RecordGrades(Trip.Samples.data(), Smooth.data(), n, true, 0, GradePerRecord.data());
  if (ProfileFlag) {
    Series[1]->Title = UiText[6];
    Series[6]->Title = UiText[5];
    Series[1]->ShowInLegend = Series[6]->ShowInLegend = true;
    const ProfileScale scale(AltitudeMin, AltitudeMax, left_lo, left_hi);
    Series[1]->Reserve(n);
    Series[6]->Reserve(n);
    for (int i = 10; i <= n - 11; ++i) {
      const double d = Trip.Samples[static_cast<std::size_t>(i)].Distance;
      Series[1]->AddXY(d, GradePerRecord[static_cast<std::size_t>(i)]);
      Series[6]->AddXY(d, scale(Smooth[static_cast<std::size_t>(i)][kSmoothAltitude]));
    }
  } else {
    Series[3]->Title = UiText[7];
    Series[2]->Title = UiText[8];
    Series[4]->Title = UiText[9];
    for (int i : {3, 2, 4}) Series[static_cast<std::size_t>(i)]->ShowInLegend = true;
    const GradeClassSums sums = GradeClassSumsOf(Trip.Samples.data(), GradePerRecord.data(), n);
    AddCurve(*Series[3], GradeCurveFromSteep(sums));
    AddCurve(*Series[2], GradeCurveFromFlat(sums));
    AddCurve(*Series[4], GradeCurveByShare(sums, n, TotalDistance));
  }
  if (LabelCount <= 0) LabelCount = DistanceLabelCount(Chart->PlotRect().Width());
  for (const AxisTextLabel& l : DistanceLabels(0, TotalDistance, LabelCount))
    Series[0]->AddXY(l.x, 0, l.text);
  Chart->TopAxis.SetMaximum(TotalDistance);
  Chart->BottomAxis.SetMaximum(TotalDistance);
  Zoom = {0, TotalDistance};
  Chart->RightAxis.Title.clear();
}

void TForm51::ApplyZoom() {
  for (TChartAxis* a : {&Chart->TopAxis, &Chart->BottomAxis}) a->SetMinMax(Zoom.start, Zoom.start + Zoom.width);
  Series[0]->Clear();
  if (LabelCount <= 0) LabelCount = DistanceLabelCount(Chart->PlotRect().Width());
  for (const AxisTextLabel& l : DistanceLabels(Zoom.start, Zoom.width, LabelCount))
    Series[0]->AddXY(l.x, 0, l.text);
  if (MetricSelected()) DrawMetricScale();
  Chart->Invalidate();
}

void TForm51::SB_ZOMouseDown(TControl*, TMouseButton button, TShiftState shift, int, int) {
  const bool ctrl = shift & ssCtrl;
  Zoom = button == TMouseButton::mbLeft ? ZoomIn(Zoom, ctrl, TotalDistance)
                                        : ZoomOut(Zoom, ctrl, TotalDistance);
  ApplyZoom();
}

void TForm51::SB_ZRClick(TControl*) {
  Zoom = PanRight(Zoom, TotalDistance);
  ApplyZoom();
}

void TForm51::SB_ZLClick(TControl*) {
  Zoom = PanLeft(Zoom, TotalDistance);
  ApplyZoom();
}

void TForm51::SB_ALTClick(TControl*) {
  SB_ALT->Flat = !SB_ALT->Flat;
  RPM_Legende->Hide();
  if (!Selected(SB_ALT)) {
    for (TControl* c : std::initializer_list<TControl*>{SB_PO, SB_PU, SB_SP, SB_RPM, L_GLA, CB_G_PO}) c->Hide();
    ProfileFlag = false;
  } else {
    ProfileFlag = true;
    SB_SK->Flat = true;
    for (TControl* c : std::initializer_list<TControl*>{L_GLA, CB_G_PO, SB_PO, SB_PU, SB_SP, SB_RPM}) c->Show();
  }
  SB_SR->Hide();
  SB_SR->Tag = 0;
  SB_ZO->Show();
  ScanGradeTrip();
  Chart->Invalidate();
  SelectMetricButton(0);
}

void TForm51::ChartMouseDown(TControl*, TMouseButton, TShiftState, int x, int y) {
  const TRect plot = Chart->PlotRect();
  if (x < plot.Left && y < plot.Top) {
    OpenAxisEditor(*E_SKA, *Chart, Chart->LeftAxis.Maximum());
    Chart->RightAxis.Visible = false;
    return;
  }
  if (Selected(SB_ALT) || Selected(SB_SK)) return;
  const auto at = PlotValueAt(*Chart, x, y, Chart->BottomAxis, Chart->LeftAxis);
  if (!at) return;
  const double share = TotalDistance > 0 ? at->x / TotalDistance * 100 : 0;
  ShowReadout(*Show_DAT, *Chart, x, y,
              Format("%s= %4.1f %% %s= %8.3f  %s= %4.1f %%", UiText[11].c_str(), at->y,
                     UiText[14].c_str(), at->x, UiText[15].c_str(), share));
}

void TForm51::ChartAfterDraw(TControl*, TCanvas& canvas) {
  if (!Selected(SB_ALT)) return;
  AltitudeFactor = UnitFlags & kUnitMiles ? kFeetPerMetre : 1.0;
  const std::array<std::string, 2> texts = CurveAltitudeTexts(AltitudeMax, AltitudeMin, UnitFlags);
  const TRect plot = Chart->PlotRect();
  const TFont saved = canvas.Font;
  canvas.Font.Size = 8;
  canvas.Font.Color = Chart->CurveColour(clMaroon);
  auto right_aligned = [&](int bottom, const std::string& text) {
    canvas.TextOut(plot.Right - 20 - canvas.TextWidth(text), bottom - canvas.TextHeight(text), text);
  };
  right_aligned(plot.Top - 5, texts[0]);
  right_aligned(plot.Bottom - 5, texts[1]);
  canvas.Font = saved;
}

// ---------------------------------------------------------------------------
// Metric views
// ---------------------------------------------------------------------------

bool TForm51::MetricSelected() const {
  return Selected(SB_PO) || Selected(SB_PU) || Selected(SB_SP) || Selected(SB_RPM);
}

void TForm51::SelectMetricButton(int metric) {
  TSpeedButton* buttons[4] = {SB_PO, SB_PU, SB_SP, SB_RPM};
  for (TSpeedButton* b : buttons) b->Flat = true;
  if (metric >= 1 && metric <= 4) buttons[metric - 1]->Flat = false;
}

void TForm51::SmoothMetric(int metric, const TripFileData& trip, std::vector<SmoothSample>& out) {
  SmoothInto(trip, out, MetricColumn(metric), SmoothLevels[static_cast<std::size_t>(metric)]);
  SmoothInto(trip, out, kSmoothCadence, SmoothLevels[kGradeCadence]);
}

void TForm51::MetricClick(int m) {
  m = std::clamp(m, 1, 4);
  MetricMax = 0;
  MetricMin = 2000000;
  SelectMetricButton(m);
  if (SB_SK->Tag >= 12) {
    ScanMetricOverGradeTrips(m);
    return;
  }
  // A gear curve is drawn once when asked for; any other drawing resets the request.
  const bool gear = (m == kGradeSpeed && SB_SR->Tag == 21) || (m == kGradeCadence && SB_SR->Tag == 11);
  SB_SR->Tag = m == kGradeSpeed ? 20 : m == kGradeCadence ? 10 : 0;
  if (m == kGradePower || m == kGradeHeartRate) SB_SR->Hide();
  TChartSeries* channel = Series[5];
  TChartSeries* gears = Series[4];
  channel->SeriesColor = ChartColors[MetricColorSlot(m)];
  channel->Clear();
  gears->Clear();
  if (m == kGradeSpeed || m == kGradeCadence) {
    gears->SeriesColor = ChartColors[6];
    gears->ShowInLegend = false;
  }
  Chart->RightAxis.Visible = false;
  Series[8]->Clear();
  if (!(Selected(SB_ALT) || Selected(SB_SK)) || Trip.Count() == 0) return;

  CurrentMetric = m;
  SmoothMetric(m, Trip, Smooth);
  CB_G_PO->Select(SmoothLevels[static_cast<std::size_t>(m)]);
  const int n = Trip.Count();
  const auto col = static_cast<std::size_t>(MetricColumn(m));
  for (int k = 1; k < n; ++k) {
    const double v = Smooth[static_cast<std::size_t>(k)][col];
    MetricMax = std::max(MetricMax, v);
    MetricMin = std::min(MetricMin, v);
  }
  if (gear) MetricMin = 0;
  if (Selected(SB_SK)) {
    ShowMetricOverGrade(m);
    return;
  }
  if (MetricMax == MetricMin) return;
  const ProfileScale scale(MetricMin, MetricMax, Chart->LeftAxis.Minimum(), Chart->LeftAxis.Maximum());
  channel->Reserve(n);
  for (int k = 1; k < n; ++k)
    channel->AddXY(Trip.Samples[static_cast<std::size_t>(k)].Distance, scale(Smooth[static_cast<std::size_t>(k)][col]));
  if (gear) {
    const std::vector<double> heights = GearHeights(Trip.Samples.data(), n, m == kGradeSpeed ? 50 : 100);
    gears->Title = UiText[13];
    gears->ShowInLegend = true;
    gears->Reserve(n);
    for (int k = 1; k < n; ++k)
      gears->AddXY(Trip.Samples[static_cast<std::size_t>(k)].Distance, scale(heights[static_cast<std::size_t>(k)]));
  }
  DrawMetricScale();
  Chart->RightAxis.Title = MetricTitle(UiText, m, 0);
  channel->Title = MetricTitle(UiText, m, 1);
  channel->ShowInLegend = true;
  if (m == kGradeSpeed || m == kGradeCadence) {
    SB_SR->Show();
    SB_SR->BringToFront();
  }
  Chart->Invalidate();
}

void TForm51::DrawMetricScale() {
  TChartSeries* s = Series[8];  // the eighth trip's curve in the trip views
  s->Clear();
  s->LinesVisible = false;  // right-axis labels only
  s->VertAxis = TVertAxis::aRightAxis;
  Chart->RightAxis.Visible = true;
  Chart->RightAxis.GridVisible = false;
  // The right axis spans exactly the metric range that fills the gradient
  // axis, so its labels sit level with the curve; one label per unit of
  // the gradient axis (at most 200).
  const double span = Chart->LeftAxis.Maximum() - Chart->LeftAxis.Minimum();
  const int steps = static_cast<int>(std::clamp(std::round(span), 1.0, 200.0));
  const double lo = MetricMin, hi = MetricMax > MetricMin ? MetricMax : MetricMin + 1;
  Chart->RightAxis.SetMinMax(lo, hi);
  for (int i = 0; i <= steps; ++i) {
    const double v = lo + i * (hi - lo) / steps;
    s->AddXY(Zoom.start, v, Format("%6.1f", v));
  }
}

void TForm51::CB_G_POChange(TControl*) {
  SmoothLevels[static_cast<std::size_t>(CurrentMetric)] = std::clamp(CB_G_PO->ItemIndex, 0, 9);
  MetricClick(CurrentMetric);
}

void TForm51::SB_SRClick(TControl*) {
  if (SB_SR->Tag == 10) {
    SB_SR->Tag = 11;
    MetricClick(kGradeCadence);
  } else if (SB_SR->Tag == 20) {
    SB_SR->Tag = 21;
    MetricClick(kGradeSpeed);
  }
}

void TForm51::ShowMetricOverGrade(int m) {
  Chart->Hide();
  const int n = Trip.Count();
  CadenceMax = 0;
  for (int i = 10; i <= n - 11; ++i) CadenceMax = std::max<double>(CadenceMax, Smooth[static_cast<std::size_t>(i)][kSmoothCadence]);
  L_3->SetCaption(Format("%i", static_cast<int>(CadenceMax + 0.5)));
  L_3->Left = RPM_Legende->Width - L_3->Width - 3;
  CadenceMax = std::max(CadenceMax, 10.0);
  Series10->Clear();
  Series11->Clear();
  const auto col = static_cast<std::size_t>(MetricColumn(m));
  double lo = 20000, hi = 0;
  Series10->Reserve(n);
  for (int i = 10; i <= n - 11; ++i) {
    const SmoothSample& s = Smooth[static_cast<std::size_t>(i)];
    Series10->AddXY(s[col], GradePerRecord[static_cast<std::size_t>(i)], {},
                    CadenceColor(s[kSmoothCadence], CadenceMax));
    lo = std::min<double>(lo, s[col]);
    hi = std::max<double>(hi, s[col]);
  }
  Series11->AddXY(lo, 0);
  Series11->AddXY(hi, 0);
  for (TChartAxis* a : {&Ch_SK->LeftAxis, &Ch_SK->BottomAxis}) {
    a->GridVisible = true;
    a->SetAutomatic(true);
  }
  Ch_SK->Title.Text.Clear();
  Ch_SK->Title.Text.Add(UiText[static_cast<std::size_t>(m - 1)]);
  Ch_SK->BottomAxis.Title = MetricTitle(UiText, m, 2);
  Ch_SK->Show();
  Ch_SK->Invalidate();
}

void TForm51::LeaveSmallCharts() {
  for (TControl* c : std::initializer_list<TControl*>{SB_PO, SB_PU, SB_SP, SB_RPM, RPM_Legende, L_GLA, CB_G_PO}) c->Hide();
  for (TChart* c : Ch) c->Hide();
  SB_SK->Tag = 0;
  Chart->Show();
}

void TForm51::SB_SKClick(TControl*) {
  if (ItemCount > 1) {
    SB_SK->Flat = !SB_SK->Flat;
    if (Selected(SB_SK)) {
      SB_SK->Tag = std::min(ItemCount, 4) + 10;
      for (TControl* c : std::initializer_list<TControl*>{SB_PO, SB_PU, SB_SP, SB_RPM, L_GLA, CB_G_PO}) c->Show();
      SelectMetricButton(kGradeCadence);
      ScanMetricOverGradeTrips(kGradeCadence);
    } else {
      LeaveSmallCharts();
    }
    return;
  }
  SB_SR->Hide();
  SB_SR->Tag = 0;
  SB_SK->Flat = !SB_SK->Flat;
  if (Selected(SB_SK)) {
    SB_ALT->Flat = true;
    Ch_SK->Show();
    Ch_SK->BringToFront();
    for (TControl* c : std::initializer_list<TControl*>{Chart, SB_ZO, SB_ZL, SB_ZR}) c->Hide();
    for (TControl* c : std::initializer_list<TControl*>{L_GLA, CB_G_PO, SB_PO, SB_PU, SB_SP, SB_RPM}) c->Show();
    MetricClick(kGradeCadence);
    RPM_Legende->Show();
  } else {
    for (TControl* c : std::initializer_list<TControl*>{SB_PO, SB_PU, SB_SP, SB_RPM, L_GLA, CB_G_PO, RPM_Legende, SB_SR}) c->Hide();
    SelectMetricButton(0);
    Chart->Show();
    Ch_SK->Hide();
    ProfileFlag = false;
    ScanGradeTrip();
    Chart->Invalidate();
  }
}

void TForm51::ScanMetricOverGradeTrips(int m) {
  LayoutSmallCharts();
  RPM_Legende->Show();
  CadenceMax = 0;
  const std::size_t drawn = std::min(lines_.size(), Ch.size());  // only four are drawn
  const std::vector<std::string> lines(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(drawn));
  const std::vector<ListedTrip> trips = ReadListedTrips(lines);
  std::vector<std::vector<SmoothSample>> smooth(trips.size());
  for (std::size_t k = 0; k < trips.size(); ++k) {
    if (!trips[k].ok) continue;
    SmoothInto(trips[k].data, smooth[k], kSmoothCadence, SmoothLevels[kGradeCadence]);
    for (int i = 10; i <= trips[k].data.Count() - 11; ++i)
      CadenceMax = std::max<double>(CadenceMax, smooth[k][static_cast<std::size_t>(i)][kSmoothCadence]);
  }
  std::vector<float> grade;
  CurrentMetric = m;
  CB_G_PO->Select(SmoothLevels[static_cast<std::size_t>(m)]);
  for (std::size_t k = 0; k < trips.size(); ++k) {
    Ch[k]->Series(0)->Clear();
    Ch[k]->Series(1)->Clear();
    if (!trips[k].ok) continue;
    const TripFileData& trip = trips[k].data;
    SmoothInto(trip, smooth[k], kSmoothAltitude, 4);
    grade.resize(static_cast<std::size_t>(trip.Count()));
    RecordGrades(trip.Samples.data(), smooth[k].data(), trip.Count(), false, 20, grade.data());
    SmoothMetric(m, trip, smooth[k]);
    FillSmallChart(m, *Ch[k], TripTitle(lines[k]), trip, smooth[k], grade);
  }
  L_3->SetCaption(Format("%i", static_cast<int>(CadenceMax + 0.5)));
  L_3->Left = RPM_Legende->Width - L_3->Width - 3;
  RPM_Legende->Invalidate();
  CommonSmallChartScale();
}

void TForm51::FillSmallChart(int m, TChart& chart, const std::string& title, const TripFileData& trip,
                             const std::vector<SmoothSample>& smooth, const std::vector<float>& grade) {
  const double cmax = std::max(CadenceMax, 10.0);
  TChartSeries* points = chart.Series(0);
  points->Clear();
  chart.Series(1)->Clear();
  const auto col = static_cast<std::size_t>(MetricColumn(m));
  const int n = trip.Count();
  points->Reserve(n);
  for (int i = 10; i <= n - 11; ++i) {
    const SmoothSample& s = smooth[static_cast<std::size_t>(i)];
    points->AddXY(s[col], grade[static_cast<std::size_t>(i)], {}, CadenceColor(s[kSmoothCadence], cmax));
  }
  for (TChartAxis* a : {&chart.LeftAxis, &chart.BottomAxis}) {
    a->GridVisible = true;
    a->SetAutomatic(true);
  }
  chart.Title.Text.Clear();
  chart.Title.Text.Add(title);
  chart.Title.Text.Add(UiText[static_cast<std::size_t>(m - 1)]);
  chart.Title.Font.Color = ChartColors[9];
  chart.BottomAxis.Title = MetricTitle(UiText, m, 3);
  chart.Show();
  chart.Invalidate();
}

void TForm51::CommonSmallChartScale() {
  double left_lo = Ch[0]->LeftAxis.Minimum(), left_hi = Ch[0]->LeftAxis.Maximum();
  double bottom_lo = Ch[0]->BottomAxis.Minimum(), bottom_hi = Ch[0]->BottomAxis.Maximum();
  for (std::size_t i = 1; i < Ch.size(); ++i) {
    if (!Ch[i]->Visible) continue;
    left_lo = std::min(left_lo, Ch[i]->LeftAxis.Minimum());
    left_hi = std::max(left_hi, Ch[i]->LeftAxis.Maximum());
    bottom_lo = std::min(bottom_lo, Ch[i]->BottomAxis.Minimum());
    bottom_hi = std::max(bottom_hi, Ch[i]->BottomAxis.Maximum());
  }
  for (std::size_t i = 0; i < Ch.size(); ++i) {
    if (i > 0 && !Ch[i]->Visible) continue;
    Ch[i]->LeftAxis.SetMinMax(left_lo, left_hi);
    Ch[i]->BottomAxis.SetMinMax(bottom_lo, bottom_hi);
    TChartSeries* range = Ch[i]->Series(1);
    range->Clear();
    range->AddXY(bottom_lo, 0);
    range->AddXY(bottom_hi, 0);
    Ch[i]->Invalidate();
  }
}

void TForm51::LayoutSmallCharts() {
  const int h_all = ClientHeight() - 18 - SB_SK->Height, w = ClientWidth();
  Chart->Hide();
  Ch_SK->Hide();
  const int top = Chart->Top;
  auto place = [&](int i, int left, int t, int width, int height) {
    Ch[static_cast<std::size_t>(i)]->SetBounds(left, t, width, height);
    Ch[static_cast<std::size_t>(i)]->Show();
    Ch[static_cast<std::size_t>(i)]->Invalidate();
  };
  for (TChart* c : Ch) c->Hide();
  switch (SB_SK->Tag) {
    case 12: {
      const int h = h_all / 2;
      for (int i = 0; i < 2; ++i) place(i, 3, top + i * (h + 3), w - 6, h);
      break;
    }
    case 13: {
      const int h = h_all / 3;
      for (int i = 0; i < 3; ++i) place(i, 3, top + i * (h + 3), w - 6, h);
      break;
    }
    case 14: {
      const int width = (w - 12) / 2, h = h_all / 2 - 3;
      for (int i = 0; i < 4; ++i) place(i, i % 2 == 0 ? 3 : width + 9, top + (i / 2) * (h + 3), width, h);
      break;
    }
    default: break;
  }
}

// ---- Opened by other windows ----------------------------------------------------

namespace tav {

void OpenGradeScan() {
  if (Form51 != nullptr) Form51->Show();
}

}  // namespace tav
