#include "analysis/time_above_scan.h"

#include <algorithm>
#include <cmath>

#include "analysis/analysis_common.h"
#include "core/core_data.h"
#include "openers/openers.h"
#include "platform/text.h"

TForm8* Form8 = nullptr;

namespace tav {

std::array<float, 4> AllTimeAxisMax = {-1, -1, -1, -1};
int AllTimeMode = kAbovePower;
std::string AllTimeUnitText;

namespace {
float TripSample::*ChannelField(int mode) {
  switch (mode) {
    case kAbovePower: return &TripSample::Power;
    case kAboveHeartRate: return &TripSample::HeartRate;
    case kAboveSpeed: return &TripSample::Speed;
    default: return &TripSample::Cadence;
  }
}
}  // namespace

TimeAboveHistogram TimeAboveHistogramOf(const TripSample* samples, int count, int mode,
                                        double speed_factor) {
  TimeAboveHistogram h;
  float TripSample::*field = ChannelField(mode);
  const double factor = mode == kAboveSpeed ? speed_factor : 1.0;
  const double scale = mode == kAbovePower ? 0.1 : 1.0;
  // Four sets of counters, so that records in one class one after another
  // do not wait on each other's increments.
  std::array<std::array<int32_t, kTimeAboveClasses>, 4> lanes{};
  double channel_max = 0;
  for (int k = 1; k < count; ++k) {
    const double v = samples[k].*field * factor;
    channel_max = v > channel_max ? v : channel_max;
    const double c = v * scale;
    // NaN fails both tests and is not counted.
    if (c >= 0 && c < kTimeAboveClasses - 1) ++lanes[static_cast<std::size_t>(k & 3)][static_cast<std::size_t>(c)];
  }
  for (const auto& lane : lanes)
    for (std::size_t c = 0; c < lane.size(); ++c) h.counts[c] += lane[c];
  h.channel_max = channel_max;
  return h;
}

CurvePoints TimeAboveCurve(const TimeAboveHistogram& h, int mode, int interval, int count,
                           bool percent) {
  CurvePoints curve;
  curve.x.reserve(kTimeAboveClasses - 1);
  curve.y.reserve(kTimeAboveClasses - 1);
  const double value_step = mode == kAbovePower ? 10.0 : 1.0;
  double sum = 0;
  for (int c = kTimeAboveClasses - 1; c >= 1; --c) {
    const double n = h.counts[static_cast<std::size_t>(c)];
    sum += percent ? n : n * interval;
    curve.x.push_back(percent ? (count > 0 ? sum * 100.0 / count : 0.0) : sum);
    curve.y.push_back(c * value_step);
  }
  return curve;
}

std::vector<AxisTextLabel> TimeAboveTimeLabels(int longest, int chart_width) {
  // A chart narrower than 51 pixels would divide by zero or step backwards.
  const int step = std::max(60, longest / std::max(1, chart_width - 50) * 30);
  std::vector<AxisTextLabel> labels;
  for (int x = 0; x < longest; x += step)
    labels.push_back({static_cast<double>(x), Format("%i:%02i", x / 3600, x % 3600 / 60)});
  return labels;
}

std::vector<AxisTextLabel> TimeAbovePercentLabels() {
  std::vector<AxisTextLabel> labels;
  for (int p = 0; p <= 100; p += 5) labels.push_back({static_cast<double>(p), Format("%i%%", p)});
  return labels;
}

double TimeAboveValueAxisMax(int mode, double channel_max) {
  return mode == kAboveHeartRate || mode == kAboveSpeed ? channel_max + 5 : channel_max + 10;
}

}  // namespace tav

using namespace tav;

TForm8::TForm8() {
  Name = "Form8";
  Caption = "SCAN ALL_TIME";
  SetBounds(0, 0, 1000, 650);
  Top = std::max(5, Screen().Height - Height - 40);
  Left = std::max(0, Screen().Width - Width - 15);
  Visible = false;
  KeyPreview = true;

  Chart = Make<TChart>("Chart");
  Chart->Legend.Alignment = TLegendAlignment::laBottom;
  Chart->TopAxis.Visible = false;
  Chart->BottomAxis.LabelStyle = TAxisLabelStyle::talText;
  static const TColor kColors[9] = {clBlack, clYellow, clLime, clRed, clBlue,
                                    RGBColor(255, 165, 0), clAqua, RGBColor(238, 130, 238), clMaroon};
  for (std::size_t i = 0; i < Series.size(); ++i) {
    Series[i] = Chart->AddLineSeries();
    Series[i]->SeriesColor = kColors[i];
    Series[i]->ShowInLegend = false;
    if (i > 0) Series[i]->PenWidth = 2;
  }
  Chart->BottomAxis.LabelsSeries = Series[0];
  E_SKA = MakeAxisEditor(*this, Chart, [this](double v) {
    // A value the kept float cannot hold ("1e39") is rejected like one of 0 or less.
    if (!std::isfinite(static_cast<float>(v))) return;
    Chart->LeftAxis.SetMaximum(v);
    AllTimeAxisMax[static_cast<std::size_t>(std::clamp(AllTimeMode, 1, 4) - 1)] = static_cast<float>(v);
  });
  Show_Data = MakeReadout(*this, Chart, "Show_Data");

  auto button = [this](const char* name, const char* caption, int width) {
    return MakeScanButton(*this, name, caption, width);
  };
  SB_PO = button("SB_PO", "Power", 60);
  SB_PU = button("SB_PU", "HR", 60);
  SB_SP = button("SB_SP", "Speed", 60);
  SB_RPM = button("SB_RPM", "RPM", 60);
  SB_UMST = button("SB_UMST", "Time / %", 80);
  SB_UMSP = button("SB_UMSP", "% / Time", 80);
  SB_UMSP->Visible = false;

  SB_PO->OnClick = [this](TControl* s) { SB_POClick(s); };
  SB_PU->OnClick = [this](TControl* s) { SB_PUClick(s); };
  SB_SP->OnClick = [this](TControl* s) { SB_SPClick(s); };
  SB_RPM->OnClick = [this](TControl* s) { SB_RPMClick(s); };
  SB_UMST->OnClick = [this](TControl* s) { SB_UMSTClick(s); };
  SB_UMSP->OnClick = [this](TControl* s) { SB_UMSTClick(s); };
  Chart->OnMouseDown = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) {
    ChartMouseDown(s, b, sh, x, y);
  };
  Chart->OnMouseUp = [this](TControl*, TMouseButton, TShiftState, int, int) { Show_Data->Hide(); };
  OnActivate = [this](TControl* s) { FormActivate(s); };
  OnResize = [this](TControl* s) { FormResize(s); };
  OnClose = [this](TControl*, TCloseAction&) { TrackAnalysisMaximized(*this); };
  OnKeyDown = [](TControl*, WORD& key, TShiftState) { HandleHelpKey(key, 31); };
  FormResize(this);
  FinishCreate();
}

void TForm8::FormResize(TControl*) {
  TrackAnalysisMaximized(*this);
  Chart->SetBounds(5, 5, ClientWidth() - 10, ClientHeight() - 18 - SB_PO->Height);
  SB_PO->Left = 5;
  SB_PO->Top = ClientHeight() - 5 - SB_PO->Height;
  for (TSpeedButton* b : {SB_PO, SB_PU, SB_SP, SB_RPM}) FitWidthToCaption(*b, 60);
  TControl* prev = SB_PO;
  for (TControl* b : {static_cast<TControl*>(SB_PU), static_cast<TControl*>(SB_SP),
                      static_cast<TControl*>(SB_RPM)}) {
    b->SetBounds(prev->Left + prev->Width + 4, SB_PO->Top, b->Width, b->Height);
    prev = b;
  }
  for (TSpeedButton* b : {SB_UMST, SB_UMSP}) {
    FitWidthToCaption(*b, 80);
    b->SetBounds(SB_RPM->Left + SB_RPM->Width + 14, SB_PO->Top, b->Width, b->Height);
  }
  UpdateLeastSize();
}

void TForm8::UpdateLeastSize() {
  const ChartSize chart = LeastChartSize(*Chart, OneChartTexts());
  const int buttons = std::max(SB_UMST->Left + SB_UMST->Width, SB_UMSP->Left + SB_UMSP->Width) + 5;
  MinClientWidth = std::max(chart.width + 10, buttons);
  MinClientHeight = chart.height + 18 + SB_PO->Height;
}

void TForm8::FormActivate(TControl*) {
  RestoreAnalysisMaximized(*this);
  ApplyChartColors(*Chart, true);
  if (ShownAnew(*this, taken_at_show_)) {
    lines_ = ScanList != nullptr ? ScanList->Lines() : std::vector<std::string>();
    basis_ = tav::DiarySelectionKind().value_or(0);
  }
  FirstItem = 0;
  ItemCount = std::min(static_cast<int>(lines_.size()), 8);
  Caption = SpanCaptionOfLines(lines_, 0, ItemCount - 1);
  for (std::size_t i = 1; i < Series.size(); ++i) Series[i]->HorizAxis = THorizAxis::aTopAxis;
  for (auto* s : Series) s->ShowInLegend = false;
  AllTimeAxisMax.fill(-1);
  Chart->BottomAxis.SetAutomatic(false);
  Chart->LeftAxis.SetAutomatic(false);
  switch (basis_) {
    case 0:
      SB_PO->Enabled = SB_RPM->Enabled = true;
      SB_POClick(SB_PO);
      break;
    case 1:
      SB_RPM->Enabled = true;
      SB_PO->Enabled = false;
      SB_PUClick(SB_PU);
      break;
    case 2:
      SB_RPM->Enabled = SB_PO->Enabled = false;
      SB_PUClick(SB_PU);
      break;
    default: break;
  }
}

void TForm8::SelectMode(TSpeedButton* button, int mode) {
  for (TSpeedButton* b : {SB_PO, SB_PU, SB_SP, SB_RPM}) b->Flat = true;
  button->Flat = false;
  ScanDistribution(mode);
}

void TForm8::SB_POClick(TControl*) {
  SelectMode(SB_PO, kAbovePower);
  AllTimeUnitText = "[ W ]";
}
void TForm8::SB_PUClick(TControl*) {
  SelectMode(SB_PU, kAboveHeartRate);
  AllTimeUnitText = "[ 1/min ]";
}
void TForm8::SB_SPClick(TControl*) {
  SelectMode(SB_SP, kAboveSpeed);
  AllTimeUnitText = UnitFlags & kUnitMiles ? "[ mph ]" : "[ km/h ]";
}
void TForm8::SB_RPMClick(TControl*) {
  SelectMode(SB_RPM, kAboveCadence);
  AllTimeUnitText = "[ 1/min ]";
}

void TForm8::SB_UMSTClick(TControl*) {
  SB_UMSP->Tag = SB_UMSP->Tag == 0 ? 1 : 0;
  SB_UMST->Visible = SB_UMSP->Tag == 0;
  SB_UMSP->Visible = SB_UMSP->Tag == 1;
  ScanDistribution(AllTimeMode);
}

void TForm8::ScanDistribution(int mode) {
  mode = std::clamp(mode, 1, 4);
  if (Chart->IsZoomed()) Chart->UndoZoom();
  SpeedFactor = UnitFlags & kUnitMiles ? kMilesPerKm : 1.0;
  const bool percent = SB_UMSP->Tag == 1;
  Chart->BottomAxis.SetMinMax(0, 20000);
  Chart->LeftAxis.SetMinMax(0, 10000);
  for (auto* s : Series) s->Clear();
  double channel_max = 0;
  int longest = 0;

  std::vector<std::string> lines;
  const int end = std::min(ItemCount, static_cast<int>(lines_.size()));
  for (int i = std::max(0, FirstItem); i < end; ++i) lines.push_back(lines_[static_cast<std::size_t>(i)]);
  const std::vector<ListedTrip> trips = ReadListedTrips(lines);
  for (std::size_t i = 0; i < trips.size() && i + 1 < Series.size(); ++i) {
    if (!trips[i].ok) continue;
    const TripFileData& trip = trips[i].data;
    TChartSeries* series = Series[i + 1];
    series->Title = TripTitle(lines[i]);
    series->ShowInLegend = true;
    const int dt = trip.Interval();
    const int n = trip.Count();
    const TimeAboveHistogram h = TimeAboveHistogramOf(trip.Samples.data(), n, mode, SpeedFactor);
    channel_max = std::max(channel_max, h.channel_max);
    longest = std::max<int>(longest, static_cast<int>(std::min<int64_t>(int64_t{n} * dt, INT32_MAX)));
    const CurvePoints curve = TimeAboveCurve(h, mode, dt, n, percent);
    AddCurve(*series, curve);
  }

  const auto labels = percent ? TimeAbovePercentLabels() : TimeAboveTimeLabels(longest, Chart->Width);
  for (const auto& l : labels) Series[0]->AddXY(l.x, 0, l.text);

  Chart->Title.Text.Clear();
  Chart->Title.Text.Add(UiText[static_cast<std::size_t>(mode - 1)]);
  const double bottom_max = percent ? 100.0 : longest;
  Chart->BottomAxis.SetMinMax(0, bottom_max);
  Chart->TopAxis.SetMinMax(0, bottom_max);
  const float typed = AllTimeAxisMax[static_cast<std::size_t>(mode - 1)];
  Chart->LeftAxis.SetMinMax(0, std::isfinite(typed) && typed > 0 ? typed : TimeAboveValueAxisMax(mode, channel_max));

  static const char* const kUnits[] = {"Power [W]", nullptr, nullptr, "RPM [1/m]"};
  switch (mode) {
    case kAboveHeartRate: Chart->LeftAxis.Title = UiText[4] + " [1/min]"; break;
    case kAboveSpeed: Chart->LeftAxis.Title = UiText[5] + (UnitFlags & kUnitMiles ? " [mph]" : " [km/h]"); break;
    default: Chart->LeftAxis.Title = kUnits[mode - 1]; break;
  }
  Chart->BottomAxis.Title = percent ? UiText[6] + "  [%]" : UiText[7] + "  [hh:mm]";
  AllTimeMode = mode;
  Chart->Invalidate();
  UpdateLeastSize();
  KeepMinClientSize();
}

void TForm8::ChartMouseDown(TControl*, TMouseButton button, TShiftState, int x, int y) {
  const auto at = PlotValueAt(*Chart, x, y, Chart->BottomAxis, Chart->LeftAxis);
  if (!at) {
    if (button == TMouseButton::mbRight && InAxisEditorCorner(*Chart, x, y))
      OpenAxisEditor(*E_SKA, *Chart, Chart->LeftAxis.Maximum());
    return;
  }
  std::string text;
  if (SB_UMSP->Tag == 1) {
    text = Format("  %4.1f%%   > %8.0f  %s ", at->x, at->y, AllTimeUnitText.c_str());
  } else {
    const int s = static_cast<int>(std::clamp(at->x, 0.0, 2e9));
    text = Format("  %i:%02i:%02i   > %8.0f  %s ", s / 3600, s % 3600 / 60, s % 60, at->y,
                  AllTimeUnitText.c_str());
  }
  ShowReadout(*Show_Data, *Chart, x, y, std::move(text));
}

// ---- Opened by other windows ----------------------------------------------------

namespace tav {

void OpenTimeAbove() {
  if (Form8 != nullptr) Form8->Show();
}

}  // namespace tav
