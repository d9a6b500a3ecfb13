#include "analysis/power_duration_scan.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <utility>

#include "analysis/analysis_common.h"
#include "analysis/best_power_worker.h"
#include "core/core_data.h"
#include "core/smoothing.h"
#include "core/trip_date_text.h"
#include "openers/openers.h"
#include "platform/text.h"

using namespace tav::literals;

TForm5* Form5 = nullptr;

namespace tav {

// ---------------------------------------------------------------------------
// Pure pieces
// ---------------------------------------------------------------------------

PowerScanView ChoosePowerScanView(int mode, int item_count) {
  if (mode > 4) return PowerScanView::Blocks;
  if (mode == 4) return item_count == 1 ? PowerScanView::MeanMaxOne : PowerScanView::MeanMaxTrips;
  return std::min(item_count, 8) == 1 ? PowerScanView::LongestRunOne : PowerScanView::LongestRunTrips;
}

std::vector<TimeLabel> PowerScanTimeLabels(int64_t duration) {
  struct Step {
    double from;
    int seconds;
  };
  static constexpr Step kSteps[] = {{6, 2},     {12, 3},     {15, 5},     {30, 10},  {60, 15},
                                    {120, 30},  {180, 60},   {360, 120},  {720, 180}, {900, 300},
                                    {1800, 600}, {3600, 1200}, {7200, 1800}, {14400, 3600}};
  std::vector<TimeLabel> labels;
  int64_t pos = 1;
  double x = 1.0;
  int step = 1;
  do {
    for (const Step& s : kSteps)
      if (x >= s.from) step = s.seconds;
    labels.push_back({x, Format("%i:%02i:%02i", static_cast<int>(pos / 3600), static_cast<int>(pos / 60 % 60),
                                static_cast<int>(pos % 60))});
    pos += step;
    x += step + 0.001;
  } while (pos < duration);
  return labels;
}

std::string PowerScanReadout(double seconds, double power) {
  if (!std::isfinite(seconds)) seconds = 0.0;
  if (!std::isfinite(power)) power = 0.0;
  if (seconds <= 30.0) return Format("  %4.1f SEC  > %8.0f  [ WATT ]  ", seconds, power);
  const int64_t s = static_cast<int64_t>(std::min(seconds, 1e15) + 0.5);
  return Format("  %lli:%02i:%02i   > %8.0f  [ WATT ]  ", static_cast<long long>(s / 3600),
                static_cast<int>(s / 60 % 60), static_cast<int>(s % 60), power);
}

int32_t LongestRunTop(int32_t max_power) { return (max_power + 10) / 10 * 10; }

namespace {
// The date and time text of a line's key ("" for a line that is no trip).
std::string LineDateTime(std::string_view line) {
  return line.size() >= kMinTripLineChars ? FormatTripDateTime(LineKey(line)) : std::string();
}
std::string LineDate(std::string_view line) { return LineDateTime(line).substr(0, 10); }
constexpr std::string_view kBlockSeparator = "BLOCK2";
constexpr int kBlock1Only = 50;
}  // namespace

std::string PowerScanCaption(const std::vector<std::string>& lines) {
  std::vector<std::string> sorted;
  for (const std::string& line : lines)
    if (line.size() > 10) sorted.push_back(line);
  if (sorted.empty()) return SpanCaption("", "");
  std::sort(sorted.begin(), sorted.end());
  return SpanCaption(LineDateTime(sorted.front()).substr(0, 11), LineDateTime(sorted.back()).substr(0, 11));
}

PowerScanBlocks SplitPowerScanBlocks(const std::vector<std::string>& lines, int mode) {
  PowerScanBlocks blocks;
  if (lines.empty()) return blocks;
  blocks.Title1 = LineDate(lines.front());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] != kBlockSeparator) continue;
    blocks.Title1 += " - " + (i > 0 ? LineDate(lines[i - 1]) : std::string());
    if (mode == kBlock1Only || i + 1 == lines.size()) break;
    blocks.Block2.assign(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, lines.end());
    blocks.Title2 = LineDate(blocks.Block2.front()) + " - " + LineDate(blocks.Block2.back());
    blocks.HasBlock2 = true;
    break;
  }
  return blocks;
}

TTAV_Thread* BestPowerJob = nullptr;

void StopBestPowerWorker(TForm3* diary) {
  if (diary != nullptr) StopBestPowerJob(BestPowerJob);
}

void StartBestPowerWorker(TForm3* diary, std::vector<std::string> block1_lines) {
  if (diary == nullptr) return;
  BestPowerHandOver to;
  to.Curve = BestPowerCurve;
  if (Form5 != nullptr) {
    to.MaxPower = &Form5->BlockMaxPower;
    to.MaxDuration = &Form5->BlockMaxDuration;
    to.Done = &Form5->BlockDone;
  }
  RestartBestPowerJob(BestPowerJob, std::move(block1_lines), RiderDir, to);
}

}  // namespace tav

// ===========================================================================
// The window
// ===========================================================================

namespace {
using namespace tav;

constexpr TColor kCurveColors[8] = {RGBColor(255, 0, 0),   RGBColor(0, 255, 0),   RGBColor(0, 0, 255),
                                    RGBColor(128, 0, 0),   RGBColor(0, 128, 0),   RGBColor(0, 255, 255),
                                    RGBColor(0, 0, 0),     RGBColor(238, 102, 0)};
// Smoothing levels of the six curves of one trip: none, 5 s, 15 s, 30 s, 1 and 2 min.
constexpr int kSingleTripLevels[6] = {0, 2, 4, 6, 7, 8};
constexpr int kMaxTripCurves = 8;
constexpr double kTimeAxisStart = 1.0, kTimeAxisEnd = 200000.0;
constexpr int kHelpLongestRun = 18, kHelpMeanMax = 15;

// The longest-run curve of a trip's power smoothed at `level` into `series`:
// the power maximum P runs on over the curves of one build.
void AddLongestRunCurve(const TripFileData& trip, int level, TChartSeries* series, int32_t& max_power,
                        int64_t& max_duration) {
  const int count = trip.Count();
  std::vector<SmoothSample> smooth(static_cast<std::size_t>(count));
  SmoothColumnOf(trip.Samples.data(), count, smooth.data(), kSmoothPower, HalfWidthOfLevel(level));
  std::vector<float> power(static_cast<std::size_t>(count), 0.0f);
  float highest = 0.0f;
  for (int r = 1; r < count; ++r) {
    const float p = smooth[static_cast<std::size_t>(r)][kSmoothPower];
    power[static_cast<std::size_t>(r)] = p;
    if (p > highest) highest = p;
  }
  max_power = std::max(max_power, PowerToInt(highest));
  const int32_t top = LongestRunTop(max_power);
  std::vector<int32_t> runs;
  LongestRun(power.data(), count, top, kLongestRunBottom, runs);
  const int64_t dt = trip.Interval();
  series->Reserve(static_cast<int>(runs.size()));
  for (std::size_t k = 0; k < runs.size(); ++k) {
    const int64_t x = runs[k] * dt;
    series->AddXY(static_cast<double>(x), static_cast<double>(top - static_cast<int32_t>(k)));
    max_duration = std::max(max_duration, x);
  }
}

int64_t TripDuration(const TripCurve& trip) { return static_cast<int64_t>(trip.Count) * trip.Interval; }

}  // namespace

TForm5::TForm5() {
  Name = "Form5";
  Caption = "SCAN POWER";
  Visible = false;
  KeyPreview = true;
  CreateControls();
  // At the bottom right of the screen.
  const int width = 1000, height = 700;
  SetBounds(std::max(0, tav::Screen().Width - width - 10), std::max(0, tav::Screen().Height - height - 40), width,
            height);
  OnActivate = [this](tav::TControl* s) { FormActivate(s); };
  OnResize = [this](tav::TControl* s) { FormResize(s); };
  OnClose = [this](tav::TControl* s, tav::TCloseAction& a) { FormClose(s, a); };
  OnKeyDown = [this](tav::TControl* s, tav::WORD& k, tav::TShiftState sh) { FormKeyDown(s, k, sh); };
  FormResize(this);
  FinishCreate();
}

// The worker writes into this window's members: it must not outlive them.
TForm5::~TForm5() { tav::StopBestPowerWorker(Form3); }

void TForm5::CreateControls() {
  Chart = Make<TChart>("Chart");
  Chart->BottomAxis.Logarithmic = true;
  Chart->TopAxis.Logarithmic = true;
  Chart->TopAxis.Visible = false;
  Chart->BottomAxis.LabelsAngle = 90;
  Chart->BottomAxis.LabelStyle = TAxisLabelStyle::talText;
  Chart->Legend.Alignment = TLegendAlignment::laBottom;
  for (std::size_t k = 0; k < Series.size(); ++k) {
    Series[k] = Chart->AddLineSeries();
    Series[k]->ShowInLegend = false;
    if (k > 0) Series[k]->SeriesColor = kCurveColors[k - 1];
  }
  // Series1 only carries the time labels.
  Series[0]->LinesVisible = false;
  Series[0]->PointsVisible = false;
  Chart->BottomAxis.LabelsSeries = Series[0];
  Chart->OnMouseDown = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) {
    ChartMouseDown(s, b, sh, x, y);
  };
  Chart->OnMouseUp = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) {
    ChartMouseUp(s, b, sh, x, y);
  };
  Show_DAT = MakeReadout(*this, Chart);
  E_SKA = MakeAxisEditor(*this, Chart, [this](double v) { Chart->LeftAxis.SetMaximum(v); });

  L_GLA = Make<TLabel>("L_GLA");
  L_GLA->SetCaption("Glättung"_w);
  L_GLA->Left = 12;
  CB_Glatt = Make<TComboBox>("CB_Glatt");
  CB_Glatt->Style = TComboBoxStyle::csDropDownList;
  CB_Glatt->Width = 90;
  FillSmoothingCombo(*CB_Glatt, 0);
  CB_Glatt->OnChange = [this](TControl* s) { CB_GlattChange(s); };
  CB_Glatt->OnKeyDown = [this](TControl* s, WORD& k, TShiftState sh) { FormKeyDown(s, k, sh); };
  PB_Scan = Make<TProgressBar>("PB_Scan");
  PB_Scan->Visible = false;
}

void TForm5::FormResize(TControl*) {
  PlaceControls();
  TrackAnalysisMaximized(*this);
}

// The smoothing combo follows its label, whose width changes with the
// language's text.
void TForm5::PlaceControls() {
  const int cw = ClientWidth(), ch = ClientHeight();
  L_GLA->Top = ch - 5 - L_GLA->Height;
  Chart->SetBounds(5, 5, std::max(0, cw - 10), std::max(0, ch - 18 - L_GLA->Height));
  CB_Glatt->Top = L_GLA->Top - 3;
  CB_Glatt->Left = L_GLA->Left + L_GLA->Width + 8;
  FitWidthToCaption(*CB_Glatt, 90);
  PB_Scan->SetBounds(CB_Glatt->Left + CB_Glatt->Width + 16, CB_Glatt->Top + 2, 240, 16);
  UpdateLeastSize();
}

void TForm5::UpdateLeastSize() {
  const ChartSize chart = LeastChartSize(*Chart, OneChartTexts());
  MinClientWidth = std::max(chart.width + 10, PB_Scan->Left + PB_Scan->Width + 5);
  MinClientHeight = chart.height + 18 + L_GLA->Height;
}

void TForm5::FormClose(TControl*, TCloseAction&) {
  if (Form3 != nullptr) tav::ScanMode = 0;  // ends a block analysis in the diary
}

void TForm5::FormKeyDown(TControl*, WORD& key, TShiftState) {
  HandleHelpKey(key, mode_ < 4 ? kHelpLongestRun : kHelpMeanMax);
}

void TForm5::CB_GlattChange(TControl*) {
  SmoothChoice = std::clamp(CB_Glatt->ItemIndex, 0, kSmoothLevels - 1);
  SB_01Click(this);
}

// Opened by code (the diary): the mode, the lines and the worker job become
// this window's own.
void TForm5::TakeOpening() {
  mode_ = Form3 != nullptr ? tav::ScanMode : 0;
  lines_ = ScanList != nullptr ? ScanList->Lines() : std::vector<std::string>();
  job_id_ = Form3 != nullptr && tav::BestPowerJob != nullptr ? tav::BestPowerJob->JobId() : 0;
  have_block1_ = false;
  block1_curve_.clear();
  block1_curve_.shrink_to_fit();
}

void TForm5::FormActivate(TControl*) {
  RestoreAnalysisMaximized(*this);
  if (ShownAnew(*this, seen_show_calls_)) TakeOpening();
  PlaceControls();  // the texts may have changed meanwhile
  FirstItem = 0;
  ItemCount = static_cast<int>(lines_.size());
  Caption = PowerScanCaption(lines_);
  ApplyChartColors(*Chart, false, 12);
  Chart->LeftAxis.Title = "Power [W]";
  Chart->BottomAxis.Title = UiText[2] + " [hh:mm:ss]";
  SB_01Click(this);
}

void TForm5::PrepareChart() {
  if (Chart->IsZoomed()) Chart->UndoZoom();
  L_GLA->Show();
  CB_Glatt->Show();
  Chart->TopAxis.SetMinMax(kTimeAxisStart, kTimeAxisEnd);
  Chart->BottomAxis.SetMinMax(kTimeAxisStart, kTimeAxisEnd);
  Chart->LeftAxis.SetAutomatic(false);
  Chart->LeftAxis.SetMinimum(0);
  for (std::size_t k = 0; k < Series.size(); ++k) {
    Series[k]->Clear();
    Series[k]->ShowInLegend = false;
    Series[k]->Title.clear();
    if (k > 0) Series[k]->HorizAxis = THorizAxis::aTopAxis;
  }
}

void TForm5::SB_01Click(TControl*) {
  if (busy_) {  // asked again while a computation shows its progress
    rerun_ = true;
    return;
  }
  busy_ = true;
  // However the build ends, an exception included, the window takes
  // requests again and shows its chart.
  struct Finish {
    TForm5* form;
    ~Finish() {
      form->busy_ = false;
      form->rerun_ = false;
      form->PB_Scan->Hide();
      form->Chart->Visible = true;
      form->Chart->Invalidate();
      // The chart as drawn now (its titles and legend): the window at
      // least as large as it needs.
      form->UpdateLeastSize();
      form->KeepMinClientSize();
    }
  } finish{this};
  do {
    rerun_ = false;
    PrepareChart();
    Chart->Title.Text.Clear();
    Chart->Title.Text.Add(UiText[0]);
    BuildView(ChoosePowerScanView(mode_, ItemCount));
  } while (rerun_);
}

void TForm5::BuildView(PowerScanView view) {
  switch (view) {
    case PowerScanView::Blocks: ScanMeanMaxPowerBlocks(); break;
    case PowerScanView::MeanMaxOne: ScanMeanMaxPowerSingle(); break;
    case PowerScanView::MeanMaxTrips: ScanMeanMaxPower(); break;
    case PowerScanView::LongestRunOne:
    case PowerScanView::LongestRunTrips:
      ItemCount = std::min(ItemCount, kMaxTripCurves);
      Chart->Title.Text.Clear();
      Chart->Title.Text.Add(UiText[1]);
      if (ItemCount == 1) ScanPowerDurationSingle();
      else PerTripLongestRuns();
      break;
  }
}

// ---- time axis ------------------------------------------------------------------------

void TForm5::SetTimeAxes(int64_t duration) {
  const double end = static_cast<double>(std::max<int64_t>(duration, 2));
  Chart->TopAxis.SetMaximum(end);
  Chart->BottomAxis.SetMaximum(end);
}

void TForm5::AddTimeLabels(int64_t duration) {
  for (const TimeLabel& label : PowerScanTimeLabels(duration)) Series[0]->AddXY(label.x, 0.0, label.text);
}

// ---- longest runs ---------------------------------------------------------------------

void TForm5::FinishLongestRuns(int32_t max_power, int64_t max_duration) {
  AddTimeLabels(max_duration);
  Chart->LeftAxis.SetMaximum(max_power);
  SetTimeAxes(max_duration);
}

void TForm5::PerTripLongestRuns() {
  const std::vector<std::string> lines(lines_.begin() + FirstItem,
                                       lines_.begin() + std::min<std::size_t>(lines_.size(), ItemCount));
  std::vector<ListedTrip> trips = ReadListedTrips(lines);
  int32_t max_power = 0;
  int64_t max_duration = 0;
  for (std::size_t i = 0; i < trips.size(); ++i) {
    if (!trips[i].ok) continue;
    TChartSeries* series = Series[i + 1];
    series->Title = TripTitle(lines[i]);
    series->ShowInLegend = true;
    AddLongestRunCurve(trips[i].data, SmoothChoice, series, max_power, max_duration);
  }
  FinishLongestRuns(max_power, max_duration);
}

void TForm5::ScanPowerDurationSingle() {
  TripFileData trip;
  if (lines_.empty() || !ReadListedTrip(lines_[0], trip)) {
    FinishLongestRuns(0, 0);
    return;
  }
  if (HeaderSport(trip.Samples[0]) != kSportBikePower) {
    Close();
    return;
  }
  Caption = TripTitle(lines_[0]);
  int32_t max_power = 0;
  int64_t max_duration = 0;
  for (std::size_t k = 0; k < std::size(kSingleTripLevels); ++k) {
    const int level = kSingleTripLevels[k];
    TChartSeries* series = Series[k + 1];
    series->Title = L_GLA->Caption + kSmoothingItems[level];
    series->ShowInLegend = true;
    AddLongestRunCurve(trip, level, series, max_power, max_duration);
  }
  FinishLongestRuns(max_power, max_duration);
  SmoothChoice = 0;
}

// ---- mean-maximal curves --------------------------------------------------------------

bool TForm5::WalkTrips(const std::vector<std::string>& lines, std::vector<TripCurve>& out) {
  bool shown = false;
  const bool complete = WalkListedTrips(lines, RiderDir, 0, nullptr, out, [&](int done, int total) {
    // Only what lasts longer than a moment shows its progress.
    if (!shown) {
      PB_Scan->Min = 0;
      PB_Scan->Max = std::max(1, total);
      PB_Scan->Show();
      PB_Scan->BringToFront();
      shown = true;
    }
    PB_Scan->Position = done;
    Application().ProcessMessages();
    return !rerun_;
  });
  PB_Scan->Hide();
  return complete && !rerun_;
}

void TForm5::AddCurvePoints(TChartSeries* series, const TripCurve& trip) {
  const std::vector<int32_t> lengths = MeanMaxLengths(trip.Count);
  const std::size_t n = std::min(lengths.size(), trip.Best.size());
  series->Reserve(static_cast<int>(n));
  for (std::size_t i = 0; i < n; ++i)
    series->AddXY(static_cast<double>(static_cast<int64_t>(lengths[i]) * trip.Interval), trip.Best[i]);
}

void TForm5::ScanMeanMaxPowerSingle() {
  std::vector<TripCurve> trips;
  if (lines_.empty() || !WalkTrips({lines_[0]}, trips)) return;
  const TripCurve& trip = trips[0];
  if (!trip.Loaded) {
    AddTimeLabels(0);
    return;
  }
  Caption = TripTitle(lines_[0]);
  if (trip.Sport != kSportBikePower) {
    Close();
    return;
  }
  const int64_t duration = TripDuration(trip);
  Chart->LeftAxis.SetMaximum(PowerToInt(trip.MaxPower) + 10);
  SetTimeAxes(duration);
  AddCurvePoints(Series[1], trip);
  AddTimeLabels(duration);
  SmoothChoice = 0;
}

void TForm5::ScanMeanMaxPower() {
  ItemCount = std::min(ItemCount, kMaxTripCurves);
  const std::vector<std::string> lines(lines_.begin() + FirstItem,
                                       lines_.begin() + std::min<std::size_t>(lines_.size(), ItemCount));
  std::vector<TripCurve> trips;
  if (!WalkTrips(lines, trips)) return;
  int32_t max_power = 0;
  int64_t duration = 3600;
  for (std::size_t i = 0; i < trips.size(); ++i) {
    if (!trips[i].Loaded) continue;
    TChartSeries* series = Series[i + 1];
    series->Title = TripTitle(lines[i]);
    series->ShowInLegend = true;
    max_power = std::max(max_power, PowerToInt(trips[i].MaxPower));
    duration = std::max(duration, TripDuration(trips[i]));
    AddCurvePoints(series, trips[i]);
  }
  AddTimeLabels(duration);
  Chart->LeftAxis.SetMaximum(max_power + 10);
  SetTimeAxes(duration);
}

// ---- blocks ---------------------------------------------------------------------------

// Block 1 of this opening: the job the diary started for it, waited for on
// its completion event while it is still the diary's job. A job that was
// stopped or replaced, or none at all, gives no block 1.
bool TForm5::TakeBlock1() {
  if (have_block1_) return true;
  if (job_id_ == 0 || Form3 == nullptr || tav::BestPowerJob == nullptr || tav::BestPowerJob->JobId() != job_id_ ||
      !tav::BestPowerJob->Started())
    return false;
  BlockDone.Wait();
  block1_curve_.assign(BestPowerCurve, BestPowerCurve + kBestPowerEntries);
  block1_power_ = BlockMaxPower;
  block1_duration_ = BlockMaxDuration;
  have_block1_ = true;
  return true;
}

void TForm5::ScanMeanMaxPowerBlocks() {
  Chart->Visible = false;
  L_GLA->Hide();
  CB_Glatt->Hide();
  std::fill(BestPowerBlock2, BestPowerBlock2 + kBestPowerEntries, 0.0f);
  const PowerScanBlocks blocks = SplitPowerScanBlocks(lines_, mode_);
  std::vector<TripCurve> trips;
  if (!WalkTrips(blocks.Block2, trips)) return;
  const bool block1 = TakeBlock1();
  float max_power = block1 && block1_power_ > 0.0f ? block1_power_ : 0.0f;
  int64_t duration = block1 ? std::max<int64_t>(block1_duration_, 3600) : 3600;
  for (const TripCurve& trip : trips) {
    if (!trip.Loaded) continue;
    if (trip.MaxPower > max_power) max_power = trip.MaxPower;
    duration = std::max(duration, TripDuration(trip));
    MergeTripCurve(trip, BestPowerBlock2, kBestPowerEntries);
  }
  max_power = std::min(max_power, kPowerCeiling);
  SetTimeAxes(duration);
  if (block1) {
    Series[1]->Title = blocks.Title1;
    Series[1]->ShowInLegend = true;
  }
  if (blocks.HasBlock2) {
    Series[2]->Title = blocks.Title2;
    Series[2]->ShowInLegend = true;
  }
  Chart->LeftAxis.SetMaximum(max_power + 10.0);
  const int64_t end = std::min<int64_t>(duration, kBestPowerEntries);
  for (int64_t d = 1; d < end; ++d) {
    if (block1 && block1_curve_[static_cast<std::size_t>(d)] > 5.0f)
      Series[1]->AddXY(static_cast<double>(d), block1_curve_[static_cast<std::size_t>(d)]);
    if (BestPowerBlock2[d] > 5.0f) Series[2]->AddXY(static_cast<double>(d), BestPowerBlock2[d]);
  }
  AddTimeLabels(duration);
}

// ---- mouse ----------------------------------------------------------------------------

void TForm5::ChartMouseDown(TControl*, TMouseButton button, TShiftState, int x, int y) {
  const TRect plot = Chart->PlotRect();
  if (x < plot.Left || y > plot.Bottom) {
    if (button == TMouseButton::mbRight && InAxisEditorCorner(*Chart, x, y, 10))
      OpenAxisEditor(*E_SKA, *Chart, Chart->LeftAxis.Maximum());
    return;
  }
  if (Chart->BottomAxis.Length() <= 0 || Chart->LeftAxis.Length() <= 0) return;
  const std::optional<PlotPoint> p = PlotValueAt(*Chart, x, y, Chart->BottomAxis, Chart->LeftAxis);
  if (p) ShowReadout(*Show_DAT, *Chart, x, y, PowerScanReadout(p->x, p->y));
}

void TForm5::ChartMouseUp(TControl*, TMouseButton, TShiftState, int, int) { Show_DAT->Hide(); }

// ---- Opened by other windows ----------------------------------------------------

namespace tav {

void OpenPowerDuration() {
  if (Form5 != nullptr) Form5->Show();
}

}  // namespace tav
