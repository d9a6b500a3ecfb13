#include "viewing/trip_view.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "core/core_data.h"
#include "core/smoothing.h"
#include "core/statistics.h"
#include "core/trip_file.h"
#include "openers/openers.h"
#include "platform/chart.h"
#include "platform/text.h"
#include "platform/vector_state.h"
#include "viewing/clip_file.h"
#include "viewing/tool_row.h"
#include "viewing/trip_fingerprint.h"

using namespace tav::literals;

TForm30* Form30 = nullptr;
namespace tav {
int ApplyDefaultChannels = 0;
}  // namespace tav

namespace {

constexpr int kTopHeight = 62;
// The statistics panel is as wide as its widest line needs, at least this
// many characters of its fixed-pitch font.
constexpr int kSummaryChars = 66;
constexpr int kSummaryInset = 8;
// At the window's smallest, the charts keep this width and every strip this
// height (room for its unit along the value axis); the last strip also
// carries the time axis labels.
constexpr int kMinChartWidth = 420;
constexpr int kMinStripHeight = 64;
constexpr int kTimeAxisExtra = 28;

// A strip's value-axis title along `room` pixels: the channel and its unit,
// in a smaller font when need be, then with the channel's name shortened
// ("Trittfr. [1/min]"), then the name alone, so that two channels of the
// same unit stay told apart; the unit alone or nothing only when not even
// two letters of the name fit.
std::string TrimBlanks(const std::string& s) {
  const std::size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return std::string();
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

void FitAxisTitle(tav::TChartAxis& axis, const std::string& channel, const std::string& unit, int room) {
  std::vector<std::pair<std::string, int>> tries = {{channel + " " + unit, 8}, {channel + " " + unit, 7}};
  const std::string name = TrimBlanks(channel);
  for (std::size_t n = name.size(); n-- > 2;) {
    const std::string part = TrimBlanks(name.substr(0, n));
    if (part.size() >= 2) tries.push_back({part + ". " + unit, 7});
  }
  for (std::size_t n = name.size() + 1; n-- > 2;) {
    const std::string part = TrimBlanks(name.substr(0, n));
    if (part.size() >= 2) tries.push_back({n == name.size() ? part : part + ".", 7});
  }
  tries.push_back({unit, 7});
  for (const auto& [title, size] : tries) {
    axis.TitleFont.Size = size;
    axis.Title = title;
    if (tav::MeasureTextWidth(axis.TitleFont, title) <= room) return;
  }
  axis.Title.clear();
}

// ChartColors slot of each channel's curve.
constexpr int kChannelColorSlot[tav::kViewChannels] = {1, 2, 4, 3, 5, 12, 7};

// A chart strip of one channel. A left drag over the plot zooms the time
// axis of every strip (the strip hands the dragged span to the view and
// keeps its own axes as they were); a drag the other way shows the whole
// trip again.
class TTripStrip : public tav::TChart {
 public:
  std::function<void(double from, double to)> OnSpanDragged;
  std::function<void()> OnUnzoomDragged;

  void DoMouseDown(tav::TMouseButton button, tav::TShiftState shift, int x, int y) override {
    if (button == tav::TMouseButton::mbLeft) {
      pressed_ = true;
      press_x_ = x;
    }
    tav::TChart::DoMouseDown(button, shift, x, y);
  }
  void DoMouseUp(tav::TMouseButton button, tav::TShiftState shift, int x, int y) override {
    tav::TChart::DoMouseUp(button, shift, x, y);
    if (button != tav::TMouseButton::mbLeft || !pressed_) return;
    pressed_ = false;
    if (IsZoomed()) {
      const double from = BottomAxis.Minimum(), to = BottomAxis.Maximum();
      UndoZoom();
      if (OnSpanDragged) OnSpanDragged(from, to);
    } else if (x < press_x_ - 4) {
      if (OnUnzoomDragged) OnUnzoomDragged();
    }
  }

 private:
  bool pressed_ = false;
  int press_x_ = 0;
};

}  // namespace

TForm30::TForm30() {
  Name = "Form30";
  Caption = "TRIP";
  Visible = false;
  SetBounds(40, 30, 1420, 840);
  Color = tav::clBtnFace;

  // German texts until a text table is applied.
  const std::string german[19] = {
      "Power", "RPM", "Geschw.", "Puls", "Höhe"_w, "Steigung", "Temperatur",
      "Zahlenlupe / Rechtsklick Weitere", "Kraftbereiche suchen", "Max t ohne Tretpause",
      "Zahlenlupe", "Steigung anzeigen (15 Datensätze)"_w, "Steigung anzeigen (30 Datensätze)"_w,
      "Steigung anzeigen (60 Datensätze)"_w, "Steigrate anzeigen (m/min)", "Steigrate",
      "Start XX Bereich", "Kein XX Bereich", "Kein weiterer XX Bereich"};
  for (int i = 0; i < 19; ++i) UiText[i] = german[i];

  CreateControls();
  OnShow = [this](tav::TControl*) { opening_ = true; };
  OnActivate = [this](tav::TControl* s) { FormActivate(s); };
  OnResize = [this](tav::TControl*) { LayoutControls(); };
  OnClose = [](tav::TControl*, tav::TCloseAction&) {
    // A trip named on the command line is shown once.
    tav::CommandLineTrip.clear();
  };
  LayoutControls();
  FinishCreate();
}

TForm30::~TForm30() = default;

void TForm30::CreateControls() {
  P_TOP = Make<tav::TPanel>("P_TOP");
  P_TOP->BevelOuter = tav::TBevelCut::bvNone;

  tav::ToolRow row(*this, P_TOP, 6, 4);
  SB_FT = row.Add("SB_FT", "1:1", "Zeige komplette Fahrt", true);
  SB_ZV = row.Add("SB_ZV", "ZV", "Ausschnitt selektierbar");
  SB_ZI = row.Add("SB_ZI", "Z±"_w, "Maustaste Links Zoom+ Rechts Zoom-");
  SB_L = row.Add("SB_L", "«"_w, "Nach vorne blättern"_w);
  SB_R = row.Add("SB_R", "»"_w, "Nach hinten blättern"_w);
  row.Gap();
  SB_DD = row.Add("SB_DD", "t", "Darstellung (Zeit/Strecke)");
  SB_DT = row.Add("SB_DT", "km", "Darstellung (Zeit/Strecke)");
  row.Gap();
  SB_AW = row.Add("SB_AW", "Ø 1:1"_w, "Auswertung Gesamtstrecke", true);
  SB_AT = row.Add("SB_AT", "Ø [ ]"_w, "Auswertung Teilstrecke", true);
  SB_AW->GroupIndex = SB_AT->GroupIndex = 50;
  SB_AT->Down = true;
  row.Gap();
  SB_SO = row.Add("SB_SO", "SO", "Trainingsbereiche/Werte sortiert");
  SB_PP = row.Add("SB_PP", "P/HR", "Power/Puls");
  SB_MI = row.Add("SB_MI", "MI", "KCAL (RK) Distanz (RK) Mittelwerte");
  SB_SR = row.Add("SB_SR", "SR", "Geschw./RPM (welcher Gang)");
  SB_PR = row.Add("SB_PR", "Nm", "Torque [Nm]/Rechtsklick Rechts-Links Verteilung");
  SB_PA = row.Add("SB_PA", "PA", "Pausen anzeigen");
  SB_IN = row.Add("SB_IN", "IN", "Intervalle anzeigen");
  SB_GL = row.Add("SB_GL", "GL", "Leistungsschwellen anzeigen");
  row.Gap();
  SB_CL1 = row.Add("SB_CL1", "CL1", "Teilstück zum Vergleich speichern"_w);
  SB_CL2 = row.Add("SB_CL2", "CL2", "Teilstück zum Vergleich speichern"_w);
  SB_CLV = row.Add("SB_CLV", "CLV", "Vergleiche Clip1 mit Clip2");
  SB_SET_INT = row.Add("SB_SET_INT", "INT", "Dem Teilstück ein Interval zuordnen"_w);
  SB_LZ = row.Add("SB_LZ", "LZ", "Zahlenlupe");
  SB_POCP = row.Add("SB_POCP", "CP",
                   "Theor.Power(Rechte Maustaste\n +Strg GR-Daten einstellten\n +Shift komplette Fahrt)");
  row.Gap();
  SB_POPU = row.Add("SB_POPU", "HR~P", "Auswertung zum Power-Puls Verhältnis"_w, true);
  SB_DA = row.Add("SB_DA", "Tab", "Daten als Tabelle zeigen");
  SB_DB = row.Add("SB_DB", "DB", "Tagebuch zur Auswahl einer Fahrt");
  SB_KAL = row.Add("SB_KAL", "KAL", "Kalender", true);

  // The three glyph holders of SB_LZ's modes.
  SB_LZ0 = Make<tav::TSpeedButton>("SB_LZ0", P_TOP);
  SB_LZ1 = Make<tav::TSpeedButton>("SB_LZ1", P_TOP);
  SB_LZ2 = Make<tav::TSpeedButton>("SB_LZ2", P_TOP);
  for (tav::TSpeedButton* b : {SB_LZ0, SB_LZ1, SB_LZ2}) b->Visible = false;

  // Second row: the channels, each shown or hidden by its button.
  int x = 6;
  auto channel_button = [&](const char* name, int channel) {
    auto* b = Make<tav::TSpeedButton>(name, P_TOP);
    b->Hint = "Ein-/Ausblenden,Skalierung + Glättung"_w;
    b->GroupIndex = 100 + channel;
    b->AllowAllUp = true;
    b->SetBounds(x, 33, 96, 25);
    b->Font.Style = tav::fsBold;
    x += 98;
    b->OnClick = [this, channel](tav::TControl*) { ToggleChannel(channel); };
    return b;
  };
  SK_0 = channel_button("SK_0", tav::kChannelPower);
  SK_1 = channel_button("SK_1", tav::kChannelCadence);
  SK_2 = channel_button("SK_2", tav::kChannelSpeed);
  SK_3 = channel_button("SK_3", tav::kChannelHeartRate);
  SK_4 = channel_button("SK_4", tav::kChannelAltitude);
  SB_S15 = channel_button("SB_S15", tav::kChannelGrade);
  SB_TP = channel_button("SB_TP", tav::kChannelTemperature);
  SB_TP->Hint = "Temperatur anzeigen";

  SB_FT->OnClick = [this](tav::TControl* s) { SB_FTClick(s); };
  SB_AW->OnClick = [this](tav::TControl*) { Evaluate(); };
  SB_AT->OnClick = [this](tav::TControl*) { Evaluate(); };
  SB_POPU->OnClick = [this](tav::TControl* s) { SB_POPUClick(s); };
  SB_KAL->OnClick = [this](tav::TControl* s) { SB_KALClick(s); };

  // Scaling and smoothing panel (its settings are not offered).
  P_GLA = Make<tav::TPanel>("P_GLA");
  P_GLA->Visible = false;
  L_GLA = Make<tav::TLabel>("L_GLA", P_GLA);
  L_GLA->SetCaption("Glättung"_w);
  L_GLA->SetBounds(8, 8, L_GLA->Width, L_GLA->Height);
  BU_OK = Make<tav::TButton>("BU_OK", P_GLA);
  BU_OK->Caption = "Übernehmen"_w;
  BU_OK->SetBounds(8, 60, 90, 25);
  BU_NO = Make<tav::TButton>("BU_NO", P_GLA);
  BU_NO->Caption = "Verwerfen";
  BU_NO->SetBounds(104, 60, 90, 25);
  SB_GRUND = Make<tav::TPanel>("SB_GRUND", P_GLA);
  SB_GRUND->Caption = "Einstellungen als Standart übernehmen"_w;
  SB_GRUND->SetBounds(8, 92, 250, 22);
  for (tav::TControl* c : {static_cast<tav::TControl*>(BU_OK), static_cast<tav::TControl*>(BU_NO),
                           static_cast<tav::TControl*>(SB_GRUND)})
    c->Enabled = false;
  P_GLA->SetBounds(200, 70, 270, 124);

  // Statistics beside the curves.
  P_SUM = Make<tav::TPanel>("P_SUM");
  P_SUM->BevelOuter = tav::TBevelCut::bvLowered;
  P_SUM->Color = tav::clWhite;
  L_SUM_TITLE = Make<tav::TLabel>("L_SUM_TITLE", P_SUM);
  L_SUM_TITLE->Font.Style = tav::fsBold;
  L_SUM_TITLE->SetBounds(8, 8, 300, 16);
  for (int i = 0; i < tav::kSummaryLineCount; ++i) {
    auto* l = Make<tav::TLabel>(tav::Format("L_SUM%i", i), P_SUM);
    l->Font.Name = "Courier New";
    l->Font.FixedPitch = true;
    l->Font.Size = 8;
    l->AutoSize = false;
    l->SetBounds(kSummaryInset, 32 + i * 17, 100, 15);
    L_SUM.push_back(l);
  }

  L_EMPTY = Make<tav::TLabel>("L_EMPTY");
  L_EMPTY->Font.Size = 11;
  L_EMPTY->SetCaption("-");
  L_EMPTY->Visible = false;

  for (int c = 0; c < tav::kViewChannels; ++c) {
    auto* strip = Make<TTripStrip>(tav::Format("CH_%i", c));
    strip->Visible = false;
    strip->Legend.Visible = false;
    strip->Title.Visible = false;
    strip->MarginUnits = tav::TMarginUnits::muPixels;
    strip->MarginLeft = 4;
    strip->MarginTop = 8;
    strip->MarginRight = 12;
    strip->MarginBottom = 2;
    strip->OnSpanDragged = [this](double from, double to) { ZoomToMinutes(from, to); };
    strip->OnUnzoomDragged = [this] { SB_FTClick(nullptr); };
    strips_[static_cast<std::size_t>(c)] = strip;
  }
}

tav::TChart* TForm30::ChannelChart(int channel) const {
  if (channel < 0 || channel >= tav::kViewChannels) return nullptr;
  tav::TChart* c = strips_[static_cast<std::size_t>(channel)];
  return c && c->Visible ? c : nullptr;
}

void TForm30::ApplyTexts() {
  tav::TSpeedButton* buttons[tav::kViewChannels] = {SK_0, SK_1, SK_2, SK_3, SK_4, SB_S15, SB_TP};
  for (int c = 0; c < tav::kViewChannels; ++c) {
    buttons[c]->Caption = UiText[c];
    buttons[c]->Font.Color = tav::ChartColors[kChannelColorSlot[c]];
    buttons[c]->Down = channels_[static_cast<std::size_t>(c)];
  }
  SB_S15->Hint = UiText[11 + std::clamp(grade_window_, 0, 2)];
}

int TForm30::SummaryWidth() const {
  const tav::TFont& font = L_SUM.front()->Font;
  int widest = tav::MeasureTextWidth(font, std::string(kSummaryChars, '0'));
  for (const tav::TLabel* l : L_SUM) widest = std::max(widest, tav::MeasureTextWidth(font, l->Caption));
  widest = std::max(widest, tav::MeasureTextWidth(L_SUM_TITLE->Font, L_SUM_TITLE->Caption));
  return widest + 2 * kSummaryInset + 4;
}

void TForm30::LayoutControls() {
  // The smallest window keeps the tool rows whole and the charts and the
  // statistics side by side, with every strip tall enough for its unit.
  const int sum_w = SummaryWidth();
  int tools_w = 0;
  for (const tav::TControl* c : P_TOP->Children()) tools_w = std::max(tools_w, c->Left + c->Width + 6);
  MinClientWidth = std::max(tools_w, kMinChartWidth + sum_w + 4);
  MinClientHeight = kTopHeight + 2 + kTimeAxisExtra + tav::kViewChannels * kMinStripHeight;

  const int w = ClientWidth(), h = ClientHeight();
  P_TOP->SetBounds(0, 0, w, kTopHeight);
  const int chart_w = std::max(0, w - sum_w - 4);
  P_SUM->SetBounds(chart_w + 2, kTopHeight, sum_w, std::max(0, h - kTopHeight - 2));
  L_SUM_TITLE->Width = sum_w - L_SUM_TITLE->Left - 4;
  for (tav::TLabel* l : L_SUM) l->Width = sum_w - 2 * kSummaryInset;
  L_EMPTY->SetBounds(24, kTopHeight + 24, std::max(0, chart_w - 48), 20);

  std::vector<tav::TChart*> shown;
  for (int c = 0; c < tav::kViewChannels; ++c)
    if (strips_[static_cast<std::size_t>(c)]->Visible) shown.push_back(strips_[static_cast<std::size_t>(c)]);
  if (shown.empty()) return;
  // The last strip also carries the time axis labels.
  const int area = std::max(0, h - kTopHeight - 2);
  const int each = std::max(40, (area - kTimeAxisExtra) / static_cast<int>(shown.size()));
  int y = kTopHeight;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const bool last = i + 1 == shown.size();
    const int hh = last ? std::max(40, kTopHeight + area - y) : each;
    shown[i]->SetBounds(0, y, chart_w, hh);
    y += hh;
  }
  for (int c = 0; c < tav::kViewChannels; ++c) {
    tav::TChart* strip = strips_[static_cast<std::size_t>(c)];
    if (!strip->Visible) continue;
    const tav::ChannelUnit unit = tav::ChannelUnitOf(c, tav::UnitFlags);
    FitAxisTitle(strip->LeftAxis, UiText[c], unit.unit, strip->PlotRect().Height());
  }
  AlignStrips();
}

void TForm30::ShowEmpty(bool empty) {
  L_EMPTY->Visible = empty;
  for (int c = 0; c < tav::kViewChannels; ++c)
    strips_[static_cast<std::size_t>(c)]->Visible = !empty && channels_[static_cast<std::size_t>(c)];
  SB_POPU->Enabled = !empty;
  for (tav::TLabel* l : L_SUM) l->SetCaption("");
  L_SUM_TITLE->SetCaption("");
}

void TForm30::FormActivate(tav::TControl*) {
  const int count = std::clamp<int>(tav::TripSampleCount, 0, tav::kMaxTripRecords - 1);
  const int sport = count > 0 ? static_cast<int>(tav::HeaderSport(tav::TripSamples[0]))
                              : static_cast<int>(tav::kSportBikePower);
  const uint64_t fp = tav::TripFingerprint(tav::TripSamples, count);
  const bool changed = !loaded_once_ || fp != shown_fingerprint_;

  // The caption names the trip shown: taken when an opener shows the view
  // or another trip is in the buffer. Coming back to the same trip keeps it
  // (the diary names in it the trip of whatever it opened last, also a trip
  // it opened in another window).
  if (changed || ShowCalls() != caption_taken_at_) {
    caption_taken_at_ = ShowCalls();
    std::string caption = Form3 ? tav::ViewCaption : std::string();
    if (caption.empty() && !tav::CommandLineTrip.empty()) {
      // A trip named on the command line: its file name.
      const std::string& path = tav::CommandLineTrip;
      const std::size_t slash = path.find_last_of("/\\");
      caption = "TRIP " + (slash == std::string::npos ? path : path.substr(slash + 1));
    }
    if (caption.empty()) caption = "TRIP";
    Caption = caption;
  }
  // The default channels when the opener asks for them as it shows the view
  // (or a new trip); coming back from another window keeps the user's choice
  // and zoom.
  const bool defaults = !channels_set_ || (tav::ApplyDefaultChannels == 1 && (opening_ || changed));
  opening_ = false;
  if (defaults) {
    channels_ = tav::DefaultChannels(sport);
    channels_set_ = true;
  }
  ApplyTexts();
  if (changed || defaults) {
    loaded_once_ = true;
    shown_fingerprint_ = fp;
    LoadTrip();
  }
}

void TForm30::LoadTrip() {
  const int count = std::clamp<int>(tav::TripSampleCount, 0, tav::kMaxTripRecords - 1);
  trip_range_ = tav::ShowableTrip(count);
  section_ = trip_range_;
  evaluated_ = {};
  zoomed_ = false;
  shown_means_.fill(0.0f);
  grade_.clear();
  grade_ready_ = false;
  smoothed_.fill(false);
  built_units_.fill(-1);
  if (trip_range_.Empty()) {
    for (tav::TChart* s : strips_) s->RemoveAllSeries();
    ShowEmpty(true);
    // Records of the trip against the least that can be shown.
    L_EMPTY->SetCaption(tav::Format("TRIP: %i < %i", std::max(0, count), tav::kMinShowRecords));
    return;
  }
  ShowEmpty(false);
  tav::ClearUpperVectorState();  // after painting; the loops below are plain SSE
  // The curves are drawn smoothed by each channel's smoothing level (as it
  // is now), each column once a shown channel needs it.
  const tav::SmoothLevelIndex levels[5] = {tav::kLevelPower, tav::kLevelCadence, tav::kLevelSpeed,
                                           tav::kLevelHeartRate, tav::kLevelAltitude};
  for (int k = 0; k < 5; ++k) half_width_[static_cast<std::size_t>(k)] = tav::HalfWidthOfLevel(tav::SmoothLevel[levels[k]]);
  half_width_[tav::kSmoothTemperature] = tav::kTemperatureHalfWidth;
  minutes_.resize(static_cast<std::size_t>(trip_range_.Size()));
  tav::AxisMinutes(tav::TripSamples, count, trip_range_, minutes_.data());
  whole_from_ = tav::TimeToAxis(tav::TripSamples[trip_range_.first].Time);
  whole_to_ = tav::TimeToAxis(tav::TripSamples[trip_range_.last].Time);
  if (!(whole_to_ > whole_from_)) whole_to_ = whole_from_ + 1.0;
  BuildStrips();
  LayoutControls();
  ApplyTimeSpan(whole_from_, whole_to_, true);
  Evaluate();
}

void TForm30::ToggleChannel(int channel) {
  if (channel < 0 || channel >= tav::kViewChannels) return;
  auto& on = channels_[static_cast<std::size_t>(channel)];
  on = !on;
  ApplyTexts();
  if (trip_range_.Empty()) return;
  strips_[static_cast<std::size_t>(channel)]->Visible = on;
  BuildStrips();
  LayoutControls();
  ApplyTimeSpan(span_from_, span_to_, !zoomed_);
}

void TForm30::SB_FTClick(tav::TControl*) {
  if (trip_range_.Empty()) return;
  section_ = trip_range_;
  ApplyTimeSpan(whole_from_, whole_to_, true);
  Evaluate();
}

void TForm30::ZoomToMinutes(double from_min, double to_min) {
  if (trip_range_.Empty()) return;
  if (!(from_min < to_min)) return;
  const bool whole = from_min <= whole_from_ && to_min >= whole_to_;
  const int count = std::clamp<int>(tav::TripSampleCount, 0, tav::kMaxTripRecords - 1);
  section_ = whole ? trip_range_
                   : tav::SectionInTime(tav::TripSamples, count, tav::AxisToTime(from_min),
                                        tav::AxisToTime(to_min));
  ApplyTimeSpan(from_min, to_min, whole);
  Evaluate();
}

void TForm30::Evaluate() {
  const bool whole = SB_AW->Down || !zoomed_;
  const tav::RecordRange r = whole ? trip_range_ : section_;
  evaluated_ = r;
  for (tav::TLabel* l : L_SUM) l->SetCaption("");
  shown_means_.fill(0.0f);
  if (r.Empty()) {
    L_SUM_TITLE->SetCaption("-");
    return;
  }
  const int count = std::clamp<int>(tav::TripSampleCount, 0, tav::kMaxTripRecords - 1);
  L_SUM_TITLE->SetCaption(
      tav::FormatClock(tav::TripSamples[r.first].Time) + " - " +
      tav::FormatClock(tav::TripSamples[std::min(r.last, count - 1)].Time) +
      tav::Format("   (%i)", r.Size()));
  const bool saved = tav::WholeTripEvaluation;
  tav::WholeTripEvaluation = whole;
  tav::EvaluateSection(r.first, r.last);
  tav::WholeTripEvaluation = saved;
  for (int i = 0; i < tav::kSummaryLineCount && i < static_cast<int>(L_SUM.size()); ++i)
    L_SUM[static_cast<std::size_t>(i)]->SetCaption(tav::SummaryLines[static_cast<std::size_t>(i)]);
  if (SummaryWidth() > P_SUM->Width) LayoutControls();  // a line wider than the panel: widen it
  std::copy(std::begin(tav::SectionMeans), std::end(tav::SectionMeans), shown_means_.begin());
}

void TForm30::SB_KALClick(tav::TControl*) {
  // A hidden calendar opens as from the main window's calendar button.
  if (!tav::BringCalendarToFront()) tav::OpenCalendarFromMain();
}

void TForm30::SB_POPUClick(tav::TControl*) {
  const int count = std::clamp<int>(tav::TripSampleCount, 0, tav::kMaxTripRecords - 1);
  if (section_.Empty() || section_.last >= count) return;
  const std::filesystem::path path = tav::FsPath(tav::JoinPath(tav::ProgramDir, tav::kClipFileName));
  const std::string text = tav::ClipText(Caption, tav::TripSamples, count, section_);
  if (!tav::WriteClipFile(path, tav::TripSamples, count, section_.first, section_.last, text)) {
    tav::ReportCannotOpen();
    return;
  }
  const tav::ClipReadResult clip = tav::ReadClipFile(path, tav::TripSamples2, tav::kMaxTripRecords);
  if (!clip.ok) {
    tav::ReportCannotOpen();
    return;
  }
  tav::TripSampleCount2 = clip.records;
  tav::OpenHeartRatePower(1, "Clip = " + clip.text);
}

void TForm30::PrepareShownChannels() {
  const int count = std::clamp<int>(tav::TripSampleCount, 0, tav::kMaxTripRecords - 1);
  tav::SmoothJob jobs[6];
  float* out[6];
  int jobs_count = 0;
  for (int c = 0; c < tav::kViewChannels; ++c) {
    if (!channels_[static_cast<std::size_t>(c)]) continue;
    const int col = tav::SmoothColumnOfChannel(c);
    if (col < 0) {
      if (!grade_ready_)
        grade_ = tav::GradeSeries(tav::TripSamples, count, tav::kGradeWindows[std::clamp(grade_window_, 0, 2)]);
      grade_ready_ = true;
      continue;
    }
    const auto k = static_cast<std::size_t>(col);
    if (smoothed_[k]) continue;
    smooth_[k].resize(static_cast<std::size_t>(count));
    jobs[jobs_count] = {static_cast<tav::SmoothColumn>(col), half_width_[k]};
    out[jobs_count++] = smooth_[k].data();
    smoothed_[k] = true;
  }
  tav::SmoothColumnsInto(tav::TripSamples, count, jobs, out, jobs_count);
}

void TForm30::BuildStrips() {
  const int count = std::clamp<int>(tav::TripSampleCount, 0, tav::kMaxTripRecords - 1);
  const bool have = !trip_range_.Empty() && trip_range_.last < count &&
                    minutes_.size() == static_cast<std::size_t>(trip_range_.Size());
  tav::ClearUpperVectorState();  // after painting; the curves' loops are plain SSE
  if (have) PrepareShownChannels();
  int last_shown = -1;
  for (int c = 0; c < tav::kViewChannels; ++c)
    if (have && channels_[static_cast<std::size_t>(c)]) last_shown = c;
  const std::string time_title =
      (tav::LangLabels[0].empty() ? std::string("t") : tav::LangLabels[0]) + " [min]";
  for (int c = 0; c < tav::kViewChannels; ++c) {
    tav::TChart* strip = strips_[static_cast<std::size_t>(c)];
    const bool on = have && channels_[static_cast<std::size_t>(c)];
    strip->Visible = on;
    if (!on) {
      strip->RemoveAllSeries();
      built_units_[static_cast<std::size_t>(c)] = -1;
      continue;
    }
    const tav::TColor colour = tav::ChartColors[kChannelColorSlot[c]];
    const tav::TColor text = tav::ChartColors[9];
    strip->Color = tav::ChartColors[0];
    strip->BackColor = tav::clNone;
    strip->Frame.Color = text;
    const tav::ChannelUnit unit = tav::ChannelUnitOf(c, tav::UnitFlags);
    // A curve already built in these units stays; another is built again
    // in its strip's series (whose room is kept).
    int& built = built_units_[static_cast<std::size_t>(c)];
    if (built != tav::UnitFlags || strip->SeriesCount() != 1) {
      values_.resize(minutes_.size());
      const int col = tav::SmoothColumnOfChannel(c);
      const float* smoothed = col >= 0 ? smooth_[static_cast<std::size_t>(col)].data() : nullptr;
      const int n = tav::ChannelValues(tav::TripSamples, count, trip_range_, c, grade_, unit, smoothed,
                                       values_.data());
      if (strip->SeriesCount() != 1) {
        strip->RemoveAllSeries();
        strip->AddLineSeries();
      }
      tav::TChartSeries* series = strip->Series(0);
      series->Clear();
      series->AddXYs(minutes_.data(), values_.data(), n);
      built = tav::UnitFlags;
    }
    tav::TChartSeries* series = strip->Series(0);
    series->Title = UiText[c];
    series->SeriesColor = colour;

    tav::TChartAxis& left = strip->LeftAxis;
    left.SetAutomatic(true);
    left.Title = UiText[c] + " " + unit.unit;  // shortened by the layout when the strip is low
    left.TitleFont.Color = colour;
    left.TitleFont.Style = tav::fsBold;
    left.TitleFont.Size = 8;
    left.LabelsFont.Size = 7;
    left.LabelsFont.Color = text;
    left.AxisPen.Color = text;
    left.GridPen.Color = tav::ChartColors[8];
    // Labels are whole numbers (tenths for the grade): a zoomed strip with a
    // small value range must not step below what its labels can show.
    left.ValueFormat = c == tav::kChannelGrade ? "###0.0" : "###0";
    left.Increment = c == tav::kChannelGrade ? 0.1 : 1.0;

    tav::TChartAxis& bottom = strip->BottomAxis;
    bottom.LabelsVisible = c == last_shown;
    bottom.Title = c == last_shown ? time_title : std::string();
    bottom.TitleFont.Color = text;
    bottom.LabelsFont.Size = 7;
    bottom.LabelsFont.Color = text;
    bottom.AxisPen.Color = text;
    bottom.GridPen.Color = tav::ChartColors[8];
    bottom.ValueFormat = "###0";
    bottom.Increment = 1.0;  // whole minutes
    strip->Invalidate();
  }
}

void TForm30::AlignStrips() {
  // The strips' plot areas start at the same x, so their time axes line up.
  int widest = 0;
  for (tav::TChart* s : strips_) {
    if (!s->Visible) continue;
    s->MarginLeft = 4;
    widest = std::max(widest, s->PlotRect().Left);
  }
  for (tav::TChart* s : strips_) {
    if (!s->Visible) continue;
    s->MarginLeft = 4 + widest - s->PlotRect().Left;
    s->Invalidate();
  }
}

void TForm30::ApplyTimeSpan(double from_min, double to_min, bool whole) {
  if (!(from_min < to_min)) return;
  span_from_ = from_min;
  span_to_ = to_min;
  zoomed_ = !whole;
  for (int c = 0; c < tav::kViewChannels; ++c) {
    tav::TChart* strip = strips_[static_cast<std::size_t>(c)];
    strip->BottomAxis.SetMinMax(from_min, to_min);
    tav::TChartAxis& left = strip->LeftAxis;
    tav::TChartSeries* series = strip->Series(0);
    // Zoomed, each strip's value axis spans the values of the section.
    bool fixed = false;
    if (!whole && series && !section_.Empty()) {
      const int a = std::max(0, section_.first - trip_range_.first);
      const int b = std::min(series->Count() - 1, section_.last - trip_range_.first);
      double lo = 0.0, hi = 0.0;
      bool any = false;
      for (int i = a; i <= b; ++i) {
        const double v = series->YValue(i);
        if (!std::isfinite(v)) continue;
        lo = any ? std::min(lo, v) : v;
        hi = any ? std::max(hi, v) : v;
        any = true;
      }
      if (any) {
        const bool from_zero = c <= tav::kChannelSpeed;
        if (from_zero) lo = std::min(lo, 0.0);
        const double pad = std::max((hi - lo) * 0.05, 1.0);
        left.SetMinMax(from_zero ? lo : lo - pad, hi + pad);
        fixed = true;
      }
    }
    if (!fixed) {
      // Power, cadence and speed from zero; the others follow the data.
      left.SetAutomatic(true);
      if (c <= tav::kChannelSpeed) {
        left.SetAutomaticMinimum(false);
        left.SetMinimum(0.0);
      }
    }
    strip->Invalidate();
  }
  AlignStrips();
}

// ---- Opened by other windows ----------------------------------------------------

namespace tav {

void OpenTripView() {
  if (Form30 != nullptr) Form30->Show();
}

}  // namespace tav
