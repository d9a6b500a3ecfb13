#include "analysis/evaluation_window.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "analysis/analysis_common.h"
#include "core/statistics.h"
#include "core/trip_date_text.h"
#include "openers/openers.h"
#include "platform/text.h"
#include "texts/text_tables.h"

using namespace tav::literals;

TForm4* Form4 = nullptr;

namespace {

constexpr tav::TColor kYellow = tav::RGBColor(255, 255, 0), kRed = tav::RGBColor(255, 0, 0),
                      kBlue = tav::RGBColor(0, 0, 255), kLime = tav::RGBColor(0, 255, 0),
                      kMaroon = tav::RGBColor(128, 0, 0), kGreen = tav::RGBColor(0, 128, 0);
constexpr int kButtonWidth = 44;
constexpr int kSummaryFontSize = 10;
constexpr int kSmallestSummaryFont = 6;
// Groups of the summary rows, set apart by a gap: count | distance | NP and
// TSS | power, speed, cadence, heart rate | work and ascent | climbing.
constexpr int kRowGroup[tav::kSummaryRows] = {0, 1, 2, 2, 3, 3, 3, 3, 4, 4, 5, 5, 5};
constexpr const char* kRowNames[tav::kSummaryRows] = {"ZD0", "ZD1", "ZD2", "ZD3", "ZD4", "ZD5", "ZD6",
                                                      "ZD7", "ZD8", "ZD9", "ZDA", "ZDB", "ZDC"};

}  // namespace

TForm4::TForm4() {
  Name = "Form4";
  Caption = "Auswertung";
  Visible = false;
  KeyPreview = true;
  // German texts until a text table is applied.
  const std::string german[tav::kEvaluationUiTexts] = {
      "Strecke", "Kumulierte Höhe"_w, "Intensitätsfaktor (IF)"_w, "Zeitanteile in %", "Steigung",
      "Anzahl der Fahrten", "Geschw.", "Steigung", "Trainingsbereiche Zeitanteile",
      "Anzahl der Trainingseinheiten", "Trainingsbereiche Power", "Trainingsbereiche Puls (Rad)",
      "Trainingsbereiche Puls (Laufen)", "Höhenglättung"_w, "Keine Pausen"};
  for (int i = 0; i < tav::kEvaluationUiTexts; ++i) UiText[static_cast<std::size_t>(i)] = german[i];

  CreateControls();
  // Placed at the bottom right of the screen, a little narrower than the diary.
  const std::optional<tav::WindowPlace> diary = tav::DiaryPlace();
  const int width = diary ? std::max(600, diary->Width - 50) : 1000;
  const int height = 640;
  SetBounds(tav::Screen().Width - width - 10, tav::Screen().Height - height - 40, width, height);

  OnActivate = [this](tav::TControl* s) { FormActivate(s); };
  OnResize = [this](tav::TControl* s) { FormResize(s); };
  OnClose = [this](tav::TControl* s, tav::TCloseAction& a) { FormClose(s, a); };
  OnKeyDown = [this](tav::TControl* s, tav::WORD& k, tav::TShiftState sh) { FormKeyDown(s, k, sh); };
  FormResize(this);
  LayoutSummaryRows();
  FinishCreate();
}

void TForm4::CreateControls() {
  Chart = Make<tav::TChart>("Chart");
  Chart->Visible = false;
  Chart->BottomAxis.LabelsAngle = 90;
  Chart->Legend.Alignment = tav::TLegendAlignment::laRight;
  for (auto& s : Series) {
    s = Chart->AddLineSeries();
    s->PointsVisible = true;
    s->PointSize = 4;
    s->PenWidth = 2;
  }
  Chart->OnClickSeries = [this](tav::TControl* c, tav::TChartSeries* s, int p, tav::TMouseButton b,
                                tav::TShiftState sh, int x, int y) { ChartClickSeries(c, s, p, b, sh, x, y); };
  Chart->OnClickLegend = [this](tav::TControl* c, tav::TMouseButton b, tav::TShiftState sh, int x, int y) {
    ChartClickLegend(c, b, sh, x, y);
  };
  Chart->OnMouseDown = [this](tav::TControl* c, tav::TMouseButton b, tav::TShiftState sh, int x, int y) {
    ChartMouseDown(c, b, sh, x, y);
  };

  SB_Po_Gew = Make<tav::TSpeedButton>("SB_Po_Gew", Chart);
  SB_Po_Gew->SetBounds(4, 2, 70, 20);  // top left, clear of the legend
  SB_Po_Gew->Caption = "Power";
  SB_Po_Gew->Hint = "Power / Gewicht";
  SB_Po_Gew->Visible = false;
  SB_Po_Gew->OnClick = [this](tav::TControl* s) { SB_Po_GewClick(s); };
  LKennung_TB = Make<tav::TLabel>("LKennung_TB", Chart);
  LKennung_TB->Visible = false;
  LKennung_TB->Font.Size = 10;
  LKennung_TB->Font.Style = tav::fsBold;
  LBox = Make<tav::TListBox>("LBox", Chart);
  LBox->Visible = false;
  LBox->Width = 160;
  LBox->OnClick = [this](tav::TControl* s) { LBoxClick(s); };

  auto button = [this](const char* name, const char* caption, std::string hint) {
    auto* b = Make<tav::TSpeedButton>(name);
    b->Caption = caption;
    b->Hint = std::move(hint);
    b->Flat = true;
    b->SetBounds(8, 0, kButtonWidth, 26);
    return b;
  };
  SB_STAT = button("SB_STAT", "", "Zurück zum Tagebuch"_w);
  SB_STAT->Visible = false;
  SB_AWZ = button("SB_AWZ", "\xD8", "Zusammenfassung");
  SB_PGRAF = button("SB_PGRAF", "P", "Power");
  SB_SGRAF = button("SB_SGRAF", "NP", "NP, Puls, TSS, IF");
  SB_DGRAF = button("SB_DGRAF", "km", "Strecke + kumulierte Höhe"_w);
  SB_TGRAF = button("SB_TGRAF", "%", "Darstellung der Trainingsbereiche");
  SB_TIME = button("SB_TIME", "t >", "Power,Puls,Geschwindigkeit,RPM/Werte sortiert");
  SB_G6 = button("SB_G6", "G6", "Darstellung verschiedener Parameter");
  SB_AWZ->OnClick = [this](tav::TControl* s) { SB_AWZClick(s); };
  SB_PGRAF->OnClick = [this](tav::TControl* s) { SB_PGRAFClick(s); };
  SB_SGRAF->OnClick = [this](tav::TControl* s) { SB_SGRAFClick(s); };
  SB_DGRAF->OnClick = [this](tav::TControl* s) { SB_DGRAFClick(s); };
  SB_TGRAF->OnClick = [this](tav::TControl* s) { SB_TGRAFClick(s); };
  SB_TGRAF->OnMouseDown = [this](tav::TControl* s, tav::TMouseButton b, tav::TShiftState sh, int x, int y) {
    SB_TGRAFMouseDown(s, b, sh, x, y);
  };
  SB_TIME->OnClick = [this](tav::TControl* s) { SB_TIMEClick(s); };
  SB_G6->OnClick = [this](tav::TControl* s) { SB_G6Click(s); };

  ZDP = Make<tav::TPanel>("ZDP");
  ZDP->Visible = false;
  ZDP->BevelOuter = tav::TBevelCut::bvLowered;
  for (int r = 0; r < tav::kSummaryRows; ++r) {
    auto* l = Make<tav::TLabel>(kRowNames[r], ZDP);
    l->Font.Name = "Courier New";
    l->Font.FixedPitch = true;
    l->Font.Size = kSummaryFontSize;
    ZD[static_cast<std::size_t>(r)] = l;
  }
  TRENN_L = Make<tav::TShape>("TRENN_L", ZDP);
  TRENN_L->Height = 2;
  TRENN_L->PenColor = tav::clGray;
  TRENN_L->BrushColor = tav::clGray;

  TM_Label = Make<tav::TStaticText>("TM_Label");
  TM_Label->Font.Size = 7;
  TM_Label->Font.Color = tav::RGBColor(96, 96, 96);  // small: darker than grey to read on the face
  TM_Label->SetCaption("TSS\x99, IF\x99 and NP\x99 are trademarks of their respective owners.");

  PB_Zones = Make<tav::TProgressBar>("PB_Zones");
  PB_Zones->Visible = false;
  PB_Zones->SetBounds(20, 20, 300, 16);
}

// ---------------------------------------------------------------------------
// Window
// ---------------------------------------------------------------------------

void TForm4::FormActivate(tav::TControl*) {
  tav::RestoreAnalysisMaximized(*this);
  if (!Evaluated) {
    if (busy_) abort_ = true;  // a zone chart of the old selection is still reading
    ++generation_;
    FirstLine = 0;
    lines_ = tav::ScanList != nullptr ? tav::ScanList->Lines() : std::vector<std::string>{};
    LineCount = static_cast<int>(lines_.size());
    const std::optional<int> kind = tav::DiarySelectionKind();
    sport_ = kind ? std::clamp(*kind, 0, 2) : tav::kSportBikePower;
    LineZoneShares.assign(lines_.size(), {});
    auto date = [](const std::string& line) { return tav::FormatTripDateTime(std::string_view(line).substr(0, 50)); };
    Caption = lines_.empty() ? tav::SpanCaption("", "") : tav::SpanCaption(date(lines_.front()), date(lines_.back()));
    tav::CloseZonePie();  // a pie of the old selection
    SB_AWZClick(SB_AWZ);
    SB_STAT->Flat = false;
    tav::ApplyChartColors(*Chart, false, 12);
    tav::CountRiderZones();
    Evaluated = true;
    PrimeOverview();
  }
  const bool pounds = (tav::UnitFlags & tav::kUnitPounds) != 0;
  tav::WeightFactor = pounds ? tav::kPoundsPerKg : 1.0;
  WeightUnitSuffix = pounds ? "/lbs" : "/kg";
  ApplySportEnabling();
}

void TForm4::ApplySportEnabling() {
  SB_PGRAF->Enabled = SB_SGRAF->Enabled = sport_ == tav::kSportBikePower && !busy_;
}

void TForm4::FormResize(tav::TControl*) {
  const int cw = ClientWidth(), ch = ClientHeight();
  SB_STAT->Top = ch - SB_STAT->Height - 5;
  int left = 8;
  for (tav::TSpeedButton* b : {SB_AWZ, SB_PGRAF, SB_SGRAF, SB_DGRAF, SB_TGRAF, SB_TIME, SB_G6}) {
    b->SetBounds(left, SB_STAT->Top, b->Width, b->Height);
    left += b->Width + 2;
  }
  Chart->SetBounds(3, 3, std::max(1, cw - 10), std::max(1, ch - SB_STAT->Height - 12));
  TM_Label->AdjustSize();
  TM_Label->SetBounds(cw - TM_Label->Width - 6, ch - TM_Label->Height - 4, TM_Label->Width, TM_Label->Height);
  if (ZDP->Visible) LayoutSummaryRows();
  tav::TrackAnalysisMaximized(*this);
  UpdateLeastSize();
}

void TForm4::UpdateLeastSize() {
  const int buttons_right = SB_G6->Left + SB_G6->Width;
  int widest_row = 0;
  for (const tav::TLabel* l : ZD) {
    tav::TFont font = l->Font;
    font.Size = kSummaryFontSize;
    widest_row = std::max(widest_row, tav::MeasureTextWidth(font, l->Caption));
  }
  const int row_h = SB_STAT->Height + 12;
  int w = std::max(buttons_right + 12 + TM_Label->Width + 6, 10 + widest_row + 40 + 10);
  int h = 10 + ZDP->Height + 6 + row_h;
  if (Chart->Visible) {
    tav::ChartTexts texts = tav::OneChartTexts();
    // The zone view's label and the per-weight button lie in the chart's top corners.
    if (LKennung_TB->Visible) texts.cornerRoom = LKennung_TB->Left + LKennung_TB->Width + 4;
    const tav::ChartSize chart = tav::LeastChartSize(*Chart, texts);
    w = std::max(w, chart.width + 10);
    h = std::max(h, chart.height + row_h);
  }
  MinClientWidth = w;
  MinClientHeight = h;
}

void TForm4::FormClose(tav::TControl*, tav::TCloseAction&) {
  if (busy_) abort_ = true;
  tav::CloseZonePie();
}

void TForm4::FormKeyDown(tav::TControl*, tav::WORD& key, tav::TShiftState) { tav::HandleHelpKey(key, 14); }

void TForm4::SetBusy(bool on) {
  busy_ = on;
  if (on) {
    busy_saved_.clear();
    for (const auto& owned : Controls()) {
      tav::TControl* c = owned.get();
      if (c == PB_Zones || c == Chart) continue;
      busy_saved_.emplace_back(c, c->Enabled);
      c->Enabled = false;
    }
  } else {
    for (auto& [c, enabled] : busy_saved_) c->Enabled = enabled;
    busy_saved_.clear();
    ApplySportEnabling();
  }
}

void TForm4::HandSelectionOn() {
  if (tav::SelectedTrips.Lines() != lines_) tav::SelectedTrips.Assign(lines_);
  tav::ScanList = &tav::SelectedTrips;
}

void TForm4::PrimeOverview() {
  if (Form35 == nullptr) return;
  HandSelectionOn();
  tav::LoadOverviewSelection(LineCount);
}

// ---------------------------------------------------------------------------
// Views
// ---------------------------------------------------------------------------

void TForm4::ResetEvaluationView() {
  for (tav::TSpeedButton* b : {SB_AWZ, SB_PGRAF, SB_SGRAF, SB_DGRAF, SB_TGRAF, SB_TIME}) b->Flat = true;
  ZDP->Hide();
  Chart->Hide();
  Chart->LeftAxis.SetAutomatic(true);
  Series[0]->ShowInLegend = true;
  Series[0]->SeriesColor = kYellow;
  Series[3]->SeriesColor = kMaroon;
  SB_Po_Gew->Hide();
  LBox->Hide();
  LKennung_TB->Hide();
}

void TForm4::BeginChart(tav::TSpeedButton* own) {
  ResetEvaluationView();
  own->Flat = false;
  for (tav::TChartSeries* s : Series) {
    s->Clear();
    s->Active = true;
    s->Title.clear();
    s->ShowInLegend = false;
    // The NP and distance charts put a series on the right axis; every
    // chart starts with all of them on the left one.
    s->VertAxis = tav::TVertAxis::aLeftAxis;
  }
  Chart->RightAxis.Visible = false;
  Chart->LeftAxis.GridVisible = true;
  Chart->LeftAxis.Title.clear();
  Chart->BottomAxis.SetAutomatic(true);
  Chart->BottomAxis.LabelsVisible = true;
}

void TForm4::FillSeries(const tav::TrendSeries& points) {
  for (std::size_t k = 0; k < points.size(); ++k) {
    tav::TChartSeries* s = Series[k];
    s->Reserve(static_cast<int>(points[k].size()));
    for (const tav::TrendPoint& p : points[k]) s->AddXY(p.x, p.y, p.label);
  }
}

void TForm4::FinishChart(int shown_series) {
  LBox->Clear();
  for (int k = 0; k < shown_series; ++k) {
    Series[static_cast<std::size_t>(k)]->ShowInLegend = true;
    LBox->Items.Add(Series[static_cast<std::size_t>(k)]->Title);
  }
  Chart->BottomAxis.Visible = true;
  Chart->Show();
  Chart->Invalidate();
  UpdateLeastSize();
  KeepMinClientSize();
}

bool TForm4::HasRiderWeight() const {
  const int rider = std::clamp<int>(tav::CurrentRider, 0, tav::kRiderCount - 1);
  const double d = tav::RiderTable[rider].Weight * tav::WeightFactor;
  return std::isfinite(d) && d > 0;
}

void TForm4::ShowTrend(tav::TrendKind kind) {
  using tav::TrendKind;
  tav::TSpeedButton* own = kind == TrendKind::Power ? SB_PGRAF : kind == TrendKind::NpHeartRate ? SB_SGRAF : SB_DGRAF;
  BeginChart(own);
  const tav::TColor colors[4] = {kYellow, kRed, kBlue, kLime};
  for (int k = 0; k < 4; ++k) Series[static_cast<std::size_t>(k)]->SeriesColor = colors[k];
  tav::TChartAxis& left = Chart->LeftAxis;
  tav::TChartAxis& right = Chart->RightAxis;
  tav::TrendOptions options;
  const auto& U = UiText;
  const std::string* diary_hr_title = tav::WindowText("TForm3", "UiText", 6);
  const std::string& hr_title = diary_hr_title != nullptr ? *diary_hr_title : U[6];
  switch (kind) {
    case TrendKind::Power: {
      Chart->Tag = 10;
      SB_Po_Gew->Show();
      // Without a usable weight the values stay in watts, and so do the axis and its format.
      const bool per_weight = SB_Po_Gew->Tag == 1 && HasRiderWeight();
      const int rider = std::clamp<int>(tav::CurrentRider, 0, tav::kRiderCount - 1);
      options.divisor = per_weight ? tav::PerWeightDivisor(tav::RiderTable[rider].Weight, tav::WeightFactor) : 1.0;
      left.ValueFormat = per_weight ? "###0.0" : "###0";
      left.Increment = 0.1;
      left.RoundFirstLabel = !per_weight;
      Series[0]->Title = "NP\x99";
      Series[1]->Title = "Power " + U[7];
      Series[2]->Title = "Power 1 (exc 0 W)";
      Series[3]->Title = "Power 2 (inc 0 W)";
      left.Title = per_weight ? "Power [W" + WeightUnitSuffix + "]" : "Power [W]";
      break;
    }
    case TrendKind::NpHeartRate:
      right.ValueFormat = "###0.00";
      left.ValueFormat = "###0";
      left.Increment = 0.1;
      left.RoundFirstLabel = true;
      Series[3]->VertAxis = tav::TVertAxis::aRightAxis;
      right.Visible = true;
      right.GridVisible = false;
      Series[1]->Title = hr_title;
      Series[2]->Title = "TSS\x99";
      Series[3]->Title = "IF\x99";
      Series[0]->Title = "NP\x99";
      left.Title = "Power [W],   " + hr_title + " [1/min],   TSS\x99";
      right.Title = "IF\x99";
      break;
    case TrendKind::Distance: {
      const bool miles = (tav::UnitFlags & tav::kUnitMiles) != 0;
      tav::SpeedFactor = options.speedFactor = miles ? tav::kMilesPerKm : 1.0;
      tav::AltitudeFactor = options.altitudeFactor = miles ? tav::kFeetPerMetre : 1.0;
      left.Title = U[0] + (miles ? " [miles]," : " [km],") + U[6] + (miles ? " [mph]" : " [km/h]");
      right.Title = U[1] + (miles ? " [ft]" : " [m]");
      left.ValueFormat = "###0";
      left.Increment = 0.1;
      left.RoundFirstLabel = true;
      Series[3]->SeriesColor = kMaroon;
      Series[3]->VertAxis = tav::TVertAxis::aRightAxis;
      right.SetAutomatic(true);
      right.Visible = true;
      right.GridVisible = false;
      Series[0]->Title = U[0];
      Series[1]->Title = tav::Format("%s  %s(%4.2f%%)", U[0].c_str(), U[7].c_str(),
                                     static_cast<double>(tav::ClimbGradeThreshold));
      Series[2]->Title = U[6];
      Series[3]->Title = U[1];
      break;
    }
    case TrendKind::Peaks:
      break;
  }
  FillSeries(tav::BuildTrend(kind, lines_, FirstLine, LineCount, tav::TripSummaryTable,
                             tav::TripDistributionTable, options));
  FinishChart(4);
}

void TForm4::SB_PGRAFClick(tav::TControl*) { ShowTrend(tav::TrendKind::Power); }
void TForm4::SB_SGRAFClick(tav::TControl*) { ShowTrend(tav::TrendKind::NpHeartRate); }
void TForm4::SB_DGRAFClick(tav::TControl*) { ShowTrend(tav::TrendKind::Distance); }

void TForm4::SB_TGRAFMouseDown(tav::TControl*, tav::TMouseButton button, tav::TShiftState, int, int) {
  if (button != tav::TMouseButton::mbLeft && !busy_) ShowPowerPeakTrend();
}

void TForm4::ShowPowerPeakTrend() {
  BeginChart(SB_TGRAF);
  Chart->Tag = 20;
  SB_Po_Gew->Show();
  tav::CloseZonePie();
  const bool per_weight = SB_Po_Gew->Tag == 1 && HasRiderWeight();
  tav::TChartAxis& left = Chart->LeftAxis;
  left.ValueFormat = per_weight ? "###0.0" : "###0";
  left.Increment = 0.1;
  left.RoundFirstLabel = !per_weight;
  const tav::TColor colors[4] = {kRed, kYellow, kLime, kGreen};
  const char* const titles[4] = {"5[sec]", "1[min]", "5[min]", "20[min]"};
  for (int k = 0; k < 4; ++k) {
    Series[static_cast<std::size_t>(k)]->SeriesColor = colors[k];
    Series[static_cast<std::size_t>(k)]->Title = titles[k];
  }
  tav::TrendOptions options;
  const int rider = std::clamp<int>(tav::CurrentRider, 0, tav::kRiderCount - 1);
  if (per_weight) options.divisor = tav::PerWeightDivisor(tav::RiderTable[rider].Weight, tav::WeightFactor);
  FillSeries(tav::BuildTrend(tav::TrendKind::Peaks, lines_, FirstLine, LineCount, tav::TripSummaryTable,
                             tav::TripDistributionTable, options));
  left.Title = std::string("Power Peak") + (per_weight ? " [Watt" + WeightUnitSuffix + "]" : " [Watt]");
  FinishChart(4);
  tav::ResaveTripsFlag = false;
}

void TForm4::SB_Po_GewClick(tav::TControl*) {
  SB_Po_Gew->Tag = SB_Po_Gew->Tag == 1 ? 0 : 1;
  SB_Po_Gew->Caption = SB_Po_Gew->Tag == 1 ? "Power" + WeightUnitSuffix : "Power";
  if (Chart->Tag == 10) ShowTrend(tav::TrendKind::Power);
  else if (Chart->Tag == 20) ShowPowerPeakTrend();
}

// The zone chart reads every trip file: on several threads, with its
// progress shown and the window events processed meanwhile.
void TForm4::SB_TGRAFClick(tav::TControl*) {
  if (busy_) return;
  BeginChart(SB_TGRAF);
  tav::CloseZonePie();
  tav::TChartAxis& left = Chart->LeftAxis;
  left.ValueFormat = "###0";
  left.Increment = 0.1;
  left.RoundFirstLabel = true;
  left.SetMinMax(0, 102);
  const int zones = std::clamp(tav::ZoneCount, 1, 10);
  for (int z = 0; z < zones; ++z) Series[static_cast<std::size_t>(z)]->SeriesColor = tav::ZoneColors[z];

  // The trips to read, and the zones of each.
  struct Job {
    int line = 0, slot = 0;
    tav::LineZoneChoice choice;
    bool ok = false;
    tav::TripZoneTimes times;
    float block[tav::kZoneBlockWords] = {};
  };
  std::vector<Job> jobs;
  std::vector<std::string> job_lines;
  int last_sport = sport_;
  for (int i = FirstLine; i < LineCount; ++i) {
    const tav::EvaluationLine l = tav::ReadEvaluationLine(lines_[static_cast<std::size_t>(i)]);
    if (l.manual || l.slot < 0) continue;
    Job job;
    job.line = i;
    job.slot = l.slot;
    job.choice = tav::ChooseLineZones(l.sport, sport_);
    if (job.choice.heartRateOverride) {
      tav::TripZoneTable[l.slot].Mark = 0;
      tav::TripDatabaseChanged = true;
    }
    last_sport = std::clamp(l.sport, 0, 2);
    jobs.push_back(job);
    job_lines.push_back(lines_[static_cast<std::size_t>(i)]);
  }
  LKennung_TB->SetCaption(UiText[static_cast<std::size_t>(10 + last_sport)]);

  const tav::RiderZoneRows rider_zones = tav::CurrentRiderZoneRows();
  const std::string rider_dir = tav::RiderDir;
  const int generation = generation_;
  abort_ = false;
  SetBusy(true);
  PB_Zones->Min = 0;
  PB_Zones->Max = std::max<int>(1, static_cast<int>(jobs.size()));
  PB_Zones->Position = 0;
  PB_Zones->Show();
  PB_Zones->BringToFront();
  tav::ForEachListedTrip(
      job_lines,
      [&](std::size_t j, tav::TripFileData& trip) {
        Job& job = jobs[j];
        job.times = tav::TripZoneTimesOf(trip, job.choice, rider_zones, job.block);
        job.ok = true;
      },
      [&](int done, int) {
        PB_Zones->Position = done;
        tav::Application().ProcessMessages();
        return !abort_;
      });
  PB_Zones->Hide();
  SetBusy(false);
  // Closed, given a new selection or another rider while reading: the
  // results belong to nothing shown any more.
  if (abort_ || generation != generation_ || rider_dir != tav::RiderDir) {
    abort_ = false;
    return;
  }

  for (const Job& job : jobs) {
    if (!job.ok) continue;
    tav::StoreZoneTimes(job.slot, job.times, job.block);
    const tav::ZoneShares shares = tav::StackZoneShares(job.times, zones);
    const double x = job.line - FirstLine;
    const std::string label = tav::EvaluationPointLabel(lines_[static_cast<std::size_t>(job.line)]);
    tav::ZoneShareRow& row = LineZoneShares[static_cast<std::size_t>(job.line)];
    row.fill(0);
    for (int z = 0; z < zones; ++z) {
      Series[static_cast<std::size_t>(z)]->AddXY(x, shares.cumulative[static_cast<std::size_t>(z)], label);
      row[static_cast<std::size_t>(z)] = shares.share[static_cast<std::size_t>(z)];
    }
  }
  for (int z = 0; z < zones; ++z)
    Series[static_cast<std::size_t>(z)]->Title = std::string(tav::ZoneNames[z], strnlen(tav::ZoneNames[z], tav::kZoneNameChars));
  left.Title = UiText[8] + " [%]";
  FinishChart(zones);
  tav::ResaveTripsFlag = false;
  LKennung_TB->SetBounds(14, 1, LKennung_TB->Width, LKennung_TB->Height);
  LKennung_TB->Show();
  LKennung_TB->BringToFront();
  UpdateLeastSize();
  KeepMinClientSize();
}

void TForm4::SB_TIMEClick(tav::TControl*) {
  ResetEvaluationView();
  ZDP->Show();
  HandSelectionOn();
  tav::OpenTimeAbove();
}

void TForm4::SB_G6Click(tav::TControl*) {
  ResetEvaluationView();
  if (Form35 != nullptr) {
    HandSelectionOn();
    tav::OpenOverview(20, 0, LineCount);
  }
  ZDP->Show();
}

// ---------------------------------------------------------------------------
// Summary
// ---------------------------------------------------------------------------

void TForm4::SB_AWZClick(tav::TControl*) {
  ResetEvaluationView();
  SB_AWZ->Flat = false;
  for (tav::ZoneShareRow& row : LineZoneShares) row[1] = 0;
  const tav::SelectionSums sums = tav::SumSelection(lines_, FirstLine, LineCount, tav::TripSummaryTable);
  if (sums.npResets > 0) tav::TripDatabaseChanged = true;
  const tav::SummaryRows rows = tav::FormatSummaryRows(sums, LineCount - FirstLine, sport_, tav::UnitFlags,
                                                       tav::ClimbGradeThreshold, tav::LangLabels, UiText);
  for (int r = 0; r < tav::kSummaryRows; ++r) {
    ZD[static_cast<std::size_t>(r)]->Caption = rows.text[static_cast<std::size_t>(r)];
    ZD[static_cast<std::size_t>(r)]->Visible = rows.visible[static_cast<std::size_t>(r)];
  }
  ZDP->Show();
  LayoutSummaryRows();
  UpdateLeastSize();
}

void TForm4::LayoutSummaryRows() {
  const int extra[3] = {4, 5, 7};     // row pitch beyond the row height, by kind
  const int group_gap[3] = {8, 6, 10};
  const int s = std::clamp(sport_, 0, 2);
  int size = kSummaryFontSize;
  for (;;) {
    for (tav::TLabel* l : ZD) {
      l->Font.Size = size;
      l->AdjustSize();
    }
    ZDP->SetBounds(10, 10, ZD[1]->Width + 40, ZDP->Height);
    // Smaller until the panel fits the window, but not below a readable size.
    if (ClientWidth() >= ZDP->Width + 10 || size <= kSmallestSummaryFont) break;
    --size;
  }
  const int pitch = ZD[0]->Height + extra[s];
  int y = 5, group = -1;
  for (int r = 0; r < tav::kSummaryRows; ++r) {
    tav::TLabel* l = ZD[static_cast<std::size_t>(r)];
    if (!l->Visible) continue;
    if (group >= 0 && kRowGroup[r] != group) y += group_gap[s];
    group = kRowGroup[r];
    l->SetBounds(12, y, l->Width, l->Height);
    y += pitch;
  }
  ZDP->Height = ZD[12]->Top + ZD[12]->Height + pitch;
  TRENN_L->SetBounds(0, ZD[10]->Top - 5, ZDP->Width, 2);
  ZDP->BringToFront();
}

// ---------------------------------------------------------------------------
// Chart clicks
// ---------------------------------------------------------------------------

int TForm4::LineOfPoint(const tav::TChartSeries* series, int point) const {
  if (series == nullptr || point < 0 || point >= series->Count()) return -1;
  const double x = series->XValue(point);
  if (!std::isfinite(x)) return -1;
  const long long line = FirstLine + std::llround(x);
  return line >= FirstLine && line < LineCount ? static_cast<int>(line) : -1;
}

void TForm4::ChartClickSeries(tav::TControl*, tav::TChartSeries* series, int point, tav::TMouseButton button,
                              tav::TShiftState shift, int, int) {
  if (series == nullptr) return;
  if (shift & tav::ssCtrl) {
    series->Active = false;
    Chart->Invalidate();
    return;
  }
  const int line = LineOfPoint(series, point);
  if (line < 0) return;
  if (button != tav::TMouseButton::mbLeft) {
    const int item = tav::OverviewItemOfLine(lines_, line);
    if (item < 0 || Form35 == nullptr) return;
    PrimeOverview();  // the overview may list a calendar period by now
    tav::ShowOverviewItemStats(item, button);
    return;
  }
  if (LineZoneShares[static_cast<std::size_t>(line)][1] < 1.0f) EnsureLineZoneShares(line);
  if (Form10 == nullptr) return;
  const std::string& text = lines_[static_cast<std::size_t>(line)];
  const int slot = tav::ReadEvaluationLine(text).slot;
  const bool miles = (tav::UnitFlags & tav::kUnitMiles) != 0;
  tav::ZonePieFill fill;
  fill.title = {UiText[3], UiText[static_cast<std::size_t>(10 + sport_)]};
  fill.zoneCount = tav::ZoneCount;
  if (slot >= 0) {
    const tav::TripSummary& t = tav::TripSummaryTable[slot];
    const int time = std::max(0, t.TotalTime);
    fill.foot = {tav::TripTitle(text).substr(0, 65),
                 tav::Format("%s = %02i:%02i:%02i    %s = %8.3f", tav::LangLabels[0].c_str(), time / 3600,
                             time % 3600 / 60, time % 60,
                             (tav::LangLabels[1] + (miles ? " [miles]" : " [km]")).c_str(),
                             t.Distance * (miles ? tav::kMilesPerKm : 1.0))};
    for (int z = 0; z < 10; ++z) fill.seconds[static_cast<std::size_t>(z)] = tav::TripZoneTable[slot].Seconds[z];
  }
  tav::OpenZonePie(fill);
}

void TForm4::EnsureLineZoneShares(int line) {
  if (line < 0 || line >= LineCount) return;
  const std::string& text = lines_[static_cast<std::size_t>(line)];
  const tav::EvaluationLine l = tav::ReadEvaluationLine(text);
  if (l.manual || l.slot < 0) return;
  tav::TripZoneTimes times = tav::TripZoneTable[l.slot];
  if (times.Mark != tav::kTableMark) {
    // Counted from the file in the trip's own zones; the current trip stays.
    tav::TripFileData trip;
    if (!tav::ReadListedTrip(text, trip)) return;
    float block[tav::kZoneBlockWords];
    const tav::LineZoneChoice choice = tav::ChooseLineZones(tav::HeaderSport(trip.Samples[0]), -1);
    times = tav::TripZoneTimesOf(trip, choice, tav::CurrentRiderZoneRows(), block);
    tav::StoreZoneTimes(l.slot, times, block);
  }
  const tav::ZoneShares shares = tav::StackZoneShares(times, tav::ZoneCount);
  tav::ZoneShareRow& row = LineZoneShares[static_cast<std::size_t>(line)];
  row.fill(0);
  for (int z = 0; z < 10; ++z) row[static_cast<std::size_t>(z)] = shares.share[static_cast<std::size_t>(z)];
}

void TForm4::ChartClickLegend(tav::TControl*, tav::TMouseButton, tav::TShiftState, int x, int y) {
  const int item_height = LBox->Font.PixelHeight() + 4;
  const int height = std::max(1, LBox->Items.Count()) * (item_height + 1);
  // At the click, but kept on the chart.
  LBox->SetBounds(std::clamp(x, 0, std::max(0, Chart->Width - LBox->Width - 2)),
                  std::clamp(y, 0, std::max(0, Chart->Height - height - 2)), LBox->Width, height);
  LBox->Show();
  LBox->BringToFront();
}

void TForm4::LBoxClick(tav::TControl*) {
  const int k = LBox->ItemIndex;
  if (k >= 0 && k < static_cast<int>(Series.size())) Series[static_cast<std::size_t>(k)]->Active = !Series[static_cast<std::size_t>(k)]->Active;
  LBox->Hide();
  Chart->Invalidate();
}

void TForm4::ChartMouseDown(tav::TControl*, tav::TMouseButton, tav::TShiftState, int x, int) {
  if (SB_SGRAF->Flat && SB_DGRAF->Flat) return;
  if (x < Chart->Width * 10 / 100) {
    Chart->LeftAxis.GridVisible = true;
    Chart->RightAxis.GridVisible = false;
  } else if (x > Chart->Width * 80 / 100) {
    Chart->RightAxis.GridVisible = true;
    Chart->LeftAxis.GridVisible = false;
  }
  Chart->Invalidate();
}

// ---- Opened by other windows ----------------------------------------------------

namespace tav {

void OpenEvaluation() {
  if (Form4 == nullptr) return;
  Form4->Evaluated = false;
  Form4->Show();
}

}  // namespace tav
