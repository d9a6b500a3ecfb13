#include "analysis/power_cadence_scan.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "core/smoothing.h"
#include "openers/openers.h"
#include "platform/text.h"

TForm52* Form52 = nullptr;

namespace tav {

int PowerCadenceSmoothLevel = 6;
int TorqueSmoothLevel = 4;

PowerCadenceSpeedPoints PowerCadenceSpeedOf(const SmoothSample* smooth, int count,
                                            double speed_factor) {
  PowerCadenceSpeedPoints v;
  for (int k = 1; k < count; ++k) {
    const double p = smooth[k][kSmoothPower];
    const double c = smooth[k][kSmoothCadence];
    const double s = smooth[k][kSmoothSpeed] * speed_factor;
    v.power_max = std::max(v.power_max, p);
    if (c > 40) {
      v.cadence.x.push_back(p);
      v.cadence.y.push_back(c);
      v.cadence_max = std::max(v.cadence_max, c);
    }
    if (smooth[k][kSmoothSpeed] > 5) {
      v.speed.x.push_back(p);
      v.speed.y.push_back(s);
      v.speed_max = std::max(v.speed_max, s);
    }
  }
  return v;
}

TorqueCadencePoints TorqueCadenceOf(const SmoothSample* smooth, int count) {
  TorqueCadencePoints t;
  t.points.x.reserve(static_cast<std::size_t>(std::max(0, count - 1)));
  t.points.y.reserve(static_cast<std::size_t>(std::max(0, count - 1)));
  double cadence_sum = 0, torque_sum = 0;
  int n = 0;
  for (int k = 1; k < count; ++k) {
    const double c = smooth[k][kSmoothCadence];
    const double p = smooth[k][kSmoothPower];
    if (c > 10) t.torque_max = std::max(t.torque_max, p / c * kTorqueFactor);
    double torque = 0;
    if (c > 20) {
      torque = p / c * kTorqueFactor;
      cadence_sum += c;
      torque_sum += torque;
      ++n;
    }
    t.points.x.push_back(c);
    t.points.y.push_back(torque);
  }
  if (n > 10) t.mean = std::array<double, 2>{cadence_sum / n, torque_sum / n};
  return t;
}

CurvePoints IsoPowerCurve(double watts) {
  CurvePoints curve;
  for (int c = 5; c < 150; ++c) {
    curve.x.push_back(c);
    curve.y.push_back(watts / c * kTorqueFactor);
  }
  return curve;
}

std::string ScatterReadout(double cadence_or_speed, double power) {
  return Format("  %5.1f    /  %8.0f  ", cadence_or_speed, power);
}

std::string TorqueReadout(double torque, double cadence) {
  return Format("  %5.1f [Nm] / %5.1f [RMP]   >>>%8.0f[W]  ", torque, cadence, torque * cadence / kTorqueFactor);
}

std::vector<AxisTextLabel> PowerLabels(double power_max) {
  std::vector<AxisTextLabel> labels;
  const double top = std::min(power_max, kMaxPowerLabel);  // NaN gives no labels
  for (int p = 0; p <= top; p += 10) labels.push_back({static_cast<double>(p), Format("%6.0f", p * 1.0)});
  return labels;
}

namespace {
void SetUpScatterAxes(TChart& chart) {
  if (chart.IsZoomed()) chart.UndoZoom();
  chart.LeftAxis.SetMinMax(0, 5000);
  chart.TopAxis.SetMinimum(0);
  chart.TopAxis.SetAutomatic(false);
  chart.BottomAxis.SetAutomatic(false);
  chart.BottomAxis.SetMinimum(0);
}
}  // namespace

}  // namespace tav

using namespace tav;

TForm52::TForm52() {
  Name = "Form52";
  Caption = "SCAN POWER RPM SPEED";
  SetBounds(0, 0, 1000, 680);
  Top = std::max(5, Screen().Height - Height - 40);
  Left = std::max(0, Screen().Width - Width - 15);
  Visible = false;
  KeyPreview = true;

  auto make_chart = [this](const char* name) {
    auto* c = Make<TChart>(name);
    c->TopAxis.Visible = false;
    c->BottomAxis.LabelsAngle = 90;
    c->BottomAxis.LabelStyle = TAxisLabelStyle::talText;
    c->Legend.Alignment = TLegendAlignment::laBottom;
    c->AllowZoom = false;
    return c;
  };
  auto points = [](TChart* c, TColor color) {
    TChartSeries* s = c->AddPointSeries();
    s->SeriesColor = color;
    s->PointSize = 3;
    s->ShowInLegend = false;
    return s;
  };
  Chart = make_chart("Chart");
  Series1 = Chart->AddLineSeries();
  Series1->SeriesColor = clBlack;
  Series1->ShowInLegend = false;
  Series2 = points(Chart, clLime);
  Series3 = points(Chart, clBlue);
  Series4 = points(Chart, clRed);
  Chart->BottomAxis.LabelsSeries = Series1;

  Chart1 = make_chart("Chart1");
  Chart1->Visible = false;
  LineSeries1 = Chart1->AddLineSeries();
  LineSeries1->SeriesColor = clBlack;
  LineSeries1->ShowInLegend = false;
  LineSeries2 = points(Chart1, clAqua);
  for (std::size_t j = 0; j < IsoSeries.size(); ++j) {
    IsoSeries[j] = Chart1->AddLineSeries();
    IsoSeries[j]->PenWidth = j < 6 ? 3 : 1;
    IsoSeries[j]->ShowInLegend = false;
  }
  Series13 = Chart1->AddLineSeries();
  Series14 = Chart1->AddLineSeries();
  Series15 = points(Chart1, clRed);
  Series15->PointSize = 9;
  Chart1->BottomAxis.LabelsSeries = LineSeries1;

  L_G_PO = Make<TLabel>("L_G_PO");
  L_G_PO->SetCaption("Smoothing");
  CB_G_PO = Make<TComboBox>("CB_G_PO");
  CB_G_PO->Style = TComboBoxStyle::csDropDownList;
  CB_G_PO->Width = 90;
  FillSmoothingCombo(*CB_G_PO, PowerCadenceSmoothLevel);
  SB_PRS = Make<TSpeedButton>("SB_PRS");
  SB_PRS->Hint = "Power/RPM/Speed";
  SB_PRS->Caption = "P/RPM/V";
  SB_PRS->SetBounds(5, 0, 70, 25);
  SB_PR = Make<TSpeedButton>("SB_PR");
  SB_PR->Hint = "Torque/RPM";
  SB_PR->Caption = "Nm/RPM";
  SB_PR->SetBounds(80, 0, 70, 25);
  Show_DAT = MakeReadout(*this, nullptr);
  E_SKA = MakeAxisEditor(*this, Chart, [this](double v) { Chart->LeftAxis.SetMaximum(v); });

  SB_PRS->OnClick = [this](TControl* s) { SB_PRSClick(s); };
  SB_PR->OnClick = [this](TControl* s) { SB_PRClick(s); };
  CB_G_PO->OnChange = [this](TControl* s) { CB_G_POChange(s); };
  Chart->OnMouseDown = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) {
    ChartMouseDown(s, b, sh, x, y);
  };
  Chart1->OnMouseDown = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) {
    Chart1MouseDown(s, b, sh, x, y);
  };
  Chart->OnMouseUp = Chart1->OnMouseUp = [this](TControl*, TMouseButton, TShiftState, int, int) {
    Show_DAT->Hide();
  };
  OnActivate = [this](TControl* s) { FormActivate(s); };
  OnResize = [this](TControl* s) { FormResize(s); };
  OnClose = [this](TControl*, TCloseAction&) { TrackAnalysisMaximized(*this); };
  OnKeyDown = [](TControl*, WORD& key, TShiftState) { HandleHelpKey(key, 17); };
  FormResize(this);
  FinishCreate();
}

void TForm52::FormResize(TControl*) {
  TrackAnalysisMaximized(*this);
  Chart->SetBounds(5, 5, ClientWidth() - 10, ClientHeight() - 32 - CB_G_PO->Height);
  Chart1->SetBounds(Chart->Left, Chart->Top, Chart->Width, Chart->Height);
  CB_G_PO->Top = ClientHeight() - 3 - CB_G_PO->Height;
  SB_PR->Top = SB_PRS->Top = Chart->Height + 6;
  // The view buttons as wide as their captions, then the smoothing label
  // and its box, which follow the label's width in the language shown.
  FitWidthToCaption(*SB_PRS, 70);
  FitWidthToCaption(*SB_PR, 70);
  SB_PR->Left = SB_PRS->Left + SB_PRS->Width + 5;
  L_G_PO->Top = CB_G_PO->Top + 3;
  L_G_PO->Left = std::max(160, SB_PR->Left + SB_PR->Width + 10);
  CB_G_PO->Left = L_G_PO->Left + L_G_PO->Width + 20;
  FitWidthToCaption(*CB_G_PO, 90);
  UpdateLeastSize();
}

void TForm52::UpdateLeastSize() {
  const ChartSize least = LeastChartsSize({Chart, Chart1}, OneChartTexts(), /*visibleOnly=*/true);
  MinClientWidth = std::max(least.width + 10, CB_G_PO->Left + CB_G_PO->Width + 10);
  MinClientHeight = least.height + 32 + CB_G_PO->Height;
}

void TForm52::FormActivate(TControl*) {
  RestoreAnalysisMaximized(*this);
  if (ShownAnew(*this, taken_at_show_) || trip_.empty()) {
    const int count = std::clamp<int>(TripSampleCount, 0, kTripBufferRecords);
    trip_.assign(TripSamples, TripSamples + count);
    std::copy(std::begin(TripZoneBlock), std::end(TripZoneBlock), zones_.begin());
    trip_caption_ = Form3 != nullptr ? tav::ViewCaption : std::string();
  }
  const bool miles = UnitFlags & kUnitMiles;
  SpeedTitle = UiText[0] + (miles ? " [mph]" : " [km/h]");
  SpeedFactor = miles ? kMilesPerKm : 1.0;
  ApplyChartColors(*Chart);
  Chart->AllowZoom = false;
  Chart->Title.Text.Clear();
  Chart->Title.Text.Add("Power / RPM / " + UiText[0]);
  Chart1->Hide();
  Chart->Show();
  CB_G_PO->Select(PowerCadenceSmoothLevel);
  ShowPowerCadenceSpeed();
}

void TForm52::SB_PRSClick(TControl*) {
  Chart->Show();
  Chart1->Hide();
  CB_G_PO->Select(PowerCadenceSmoothLevel);
  ShowPowerCadenceSpeed();
}

void TForm52::SB_PRClick(TControl*) {
  Chart1->Show();
  Chart->Hide();
  CB_G_PO->Select(TorqueSmoothLevel);
  ShowTorqueCadence();
}

void TForm52::CB_G_POChange(TControl*) {
  const int level = std::clamp(CB_G_PO->ItemIndex, 0, kSmoothLevels - 1);
  if (!Chart->Visible) {
    TorqueSmoothLevel = level;
    ShowTorqueCadence();
  } else {
    PowerCadenceSmoothLevel = level;
    ShowPowerCadenceSpeed();
  }
}

void TForm52::SmoothTrip(std::initializer_list<SmoothColumn> columns, int level) {
  const int count = static_cast<int>(trip_.size());
  smooth_.assign(trip_.size(), SmoothSample{});
  for (SmoothColumn c : columns)
    SmoothColumnOf(trip_.data(), count, smooth_.data(), c, HalfWidthOfLevel(level));
}

void TForm52::ShowPowerCadenceSpeed() {
  SetUpScatterAxes(*Chart);
  for (TChartSeries* s : {Series1, Series2, Series3, Series4}) {
    s->Clear();
    s->ShowInLegend = false;
  }
  for (TChartSeries* s : {Series2, Series3, Series4}) s->HorizAxis = THorizAxis::aTopAxis;
  SmoothTrip({kSmoothPower, kSmoothCadence, kSmoothSpeed}, PowerCadenceSmoothLevel);
  const PowerCadenceSpeedPoints v =
      PowerCadenceSpeedOf(smooth_.data(), static_cast<int>(trip_.size()), SpeedFactor);

  Caption = trip_caption_;
  Series2->Title = "Power / RPM";
  Series3->Title = "Power / " + UiText[0];
  Series2->ShowInLegend = Series3->ShowInLegend = true;
  AddCurve(*Series2, v.cadence);
  AddCurve(*Series3, v.speed);
  Chart->LeftAxis.SetMaximum(std::max(v.speed_max, v.cadence_max));
  Chart->TopAxis.SetMaximum(v.power_max);
  Chart->BottomAxis.SetMaximum(v.power_max);
  for (const AxisTextLabel& l : PowerLabels(v.power_max)) Series1->AddXY(l.x, 0, l.text);
  Chart->LeftAxis.Title = SpeedTitle + "          RPM [1/min]";
  Chart->BottomAxis.Title = "Power [W]";
  Chart->Invalidate();
  UpdateLeastSize();
  KeepMinClientSize();
}

void TForm52::ShowTorqueCadence() {
  ApplyChartColors(*Chart1);
  Chart1->Title.Text.Clear();
  Chart1->Title.Text.Add("Torque / RPM");
  SetUpScatterAxes(*Chart1);
  for (int i = 0; i < Chart1->SeriesCount(); ++i) {
    TChartSeries* s = Chart1->Series(i);
    s->Clear();
    s->ShowInLegend = false;
    if (s != LineSeries1) s->HorizAxis = THorizAxis::aTopAxis;
  }
  SmoothTrip({kSmoothPower, kSmoothCadence}, TorqueSmoothLevel);
  const TorqueCadencePoints t = TorqueCadenceOf(smooth_.data(), static_cast<int>(trip_.size()));

  Caption = trip_caption_;
  LineSeries2->Title = "Torque / RPM   ";
  LineSeries2->ShowInLegend = true;
  AddCurve(*LineSeries2, t.points);
  if (t.mean) Series15->AddXY((*t.mean)[0], (*t.mean)[1], {}, clRed);
  for (int j = 1; j <= 8; ++j) {
    const float b = zones_[static_cast<std::size_t>(j)];
    if (!(b > 0 && b < 1000)) continue;
    TChartSeries* s = IsoSeries[static_cast<std::size_t>(j - 1)];
    s->Title = Format("%-5.5s %6.0f[W]   ", ZoneNames[j], static_cast<double>(b));
    s->ShowInLegend = true;
    s->SeriesColor = ZoneColors[j];
    AddCurve(*s, IsoPowerCurve(b));
  }
  Chart1->LeftAxis.SetMaximum(t.torque_max + 5);
  Chart1->TopAxis.SetMaximum(150);
  Chart1->BottomAxis.SetMaximum(150);
  for (int r = 0; r <= 150; r += 5) LineSeries1->AddXY(r, 0, Format("%6.0f", r * 1.0));
  Chart1->LeftAxis.Title = "Torque [Nm]";
  Chart1->BottomAxis.Title = "RPM [1/min]";
  Chart1->Invalidate();
  UpdateLeastSize();
  KeepMinClientSize();
}

void TForm52::ChartMouseDown(TControl*, TMouseButton, TShiftState, int x, int y) {
  const auto at = PlotValueAt(*Chart, x, y, Chart->BottomAxis, Chart->LeftAxis);
  if (!at) {
    if (InAxisEditorCorner(*Chart, x, y)) OpenAxisEditor(*E_SKA, *Chart, Chart->LeftAxis.Maximum());
    return;
  }
  ShowReadout(*Show_DAT, *Chart, x, y, ScatterReadout(at->y, at->x));
}

void TForm52::Chart1MouseDown(TControl*, TMouseButton, TShiftState, int x, int y) {
  const auto at = PlotValueAt(*Chart1, x, y, Chart1->BottomAxis, Chart1->LeftAxis);
  if (!at) return;
  ShowReadout(*Show_DAT, *Chart1, x, y, TorqueReadout(at->y, at->x));
}

// ---- Opened by other windows ----------------------------------------------------

namespace tav {

void OpenPowerCadenceScan() {
  if (Form52 != nullptr) Form52->Show();
}

}  // namespace tav
