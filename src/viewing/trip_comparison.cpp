#include "viewing/trip_comparison.h"

#include <algorithm>
#include <vector>

#include "core/core_data.h"
#include "core/smoothing.h"
#include "openers/openers.h"
#include "platform/chart.h"
#include "platform/text.h"
#include "texts/text_tables.h"
#include "viewing/tool_row.h"
#include "viewing/trip_fingerprint.h"
#include "viewing/trip_view_model.h"

using namespace tav::literals;

TForm31* Form31 = nullptr;

namespace {

constexpr int kTopHeight = 60;

struct PairLook {
  int channel;          // ViewChannel
  tav::TColor trip1;    // colour of trip 1's curve
  tav::TColor trip2;    // colour of trip 2's curve
  bool right_axis;
};
// Red and green for power, blue and yellow for heart rate, as the colour
// buttons' hints describe them.
constexpr PairLook kPairs[4] = {
    {tav::kChannelPower, tav::clRed, 0x00A000, false},
    {tav::kChannelHeartRate, tav::clBlue, 0x00B0E0, true},
    {tav::kChannelCadence, tav::clPurple, 0xC08000, true},
    {tav::kChannelSpeed, tav::clNavy, 0x0080FF, true},
};

// Smoothed channels of a trip buffer (levels of the settings).
std::vector<tav::SmoothSample> SmoothTrip(const tav::TripSample* trip, int count) {
  std::vector<tav::SmoothSample> out(static_cast<std::size_t>(std::max(count, 0)));
  tav::SmoothAllColumnsOf(trip, count, out.data());
  return out;
}

}  // namespace

TForm31::TForm31() {
  Name = "Form31";
  Caption = "TRIP 1 / TRIP 2";
  Visible = false;
  SetBounds(80, 60, 1200, 760);
  // The smallest window: a readable chart under the tool rows (the width
  // follows the tool buttons, LayoutControls).
  MinClientWidth = 700;
  MinClientHeight = 450;

  P_TOP = Make<tav::TPanel>("P_TOP");
  P_TOP->BevelOuter = tav::TBevelCut::bvNone;
  tav::ToolRow row(*this, P_TOP, 6, 4);
  SB_FT = row.Add("SB_FT", "1:1", "Zeige komplette Fahrt", true);
  SB_ZI = row.Add("SB_ZI", "Z+", "Ausschnitt vergrössern");
  SB_ZV = row.Add("SB_ZV", "ZV", "Ausschnitt selektierbar");
  SB_L = row.Add("SB_L", "«"_w, "Nach vorne blättern"_w);
  SB_R = row.Add("SB_R", "»"_w, "Nach hinten blättern"_w);
  row.Gap();
  SB_DD = row.Add("SB_DD", "t", "Darstellung (Zeit/Strecke)");
  SB_DT = row.Add("SB_DT", "km", "Darstellung (Zeit/Strecke)");
  SB_AW = row.Add("SB_AW", "Ø 1:1"_w, "Auswertung Gesamtstrecke");
  SB_AT = row.Add("SB_AT", "Ø [ ]"_w, "Auswertung Teilstrecke");
  SB_PA = row.Add("SB_PA", "PA", "Pausen anzeigen");
  SB_SO = row.Add("SB_SO", "SO", "Trainingsbereiche/Werte sortiert");
  row.Gap();
  SB_PP = row.Add("SB_PP", "Power", "Power vergleichen", true);
  SB_HR = row.Add("SB_HR", "HR", "Puls  vergleichen", true);
  SB_RM = row.Add("SB_RM", "RPM", "RPM   vergleichen", true);
  SB_SP = row.Add("SB_SP", "km/h", "Geschw. vergleichen", true);
  SB_SR = row.Add("SB_SR", "SR", "Gänge vergleichen"_w);
  SB_TP = row.Add("SB_TP", "T", "Temperatur anzeigen");
  SB_ST = row.Add("SB_ST", "ST", "Steigrate vergleichen");
  row.Gap();
  SB_F1 = row.Add("SB_F1", "F1", "Wechsel Parameter rot-grün + blau gelb"_w);
  SB_F2 = row.Add("SB_F2", "F2", "Wechsel Parameter rot-grün + blau gelb"_w);
  row.Gap();
  SK_0 = row.Add("SK_0", "S0", "Skalierung + Glättung"_w);
  SK_1 = row.Add("SK_1", "S1", "Skalierung + Glättung"_w);
  SK_2 = row.Add("SK_2", "S2", "Skalierung + Glättung"_w);
  SK_3 = row.Add("SK_3", "S3", "Skalierung + Glättung"_w);
  SK_4 = row.Add("SK_4", "S4", "Skalierung + Glättung"_w);

  tav::TSpeedButton* pair_buttons[4] = {SB_PP, SB_HR, SB_RM, SB_SP};
  for (int p = 0; p < 4; ++p) {
    tav::TSpeedButton* b = pair_buttons[p];
    b->GroupIndex = 200 + p;
    b->AllowAllUp = true;
    b->Down = pairs_[static_cast<std::size_t>(p)];
    b->Font.Color = kPairs[p].trip1;
    b->Font.Style = tav::fsBold;
    b->OnClick = [this, b, p](tav::TControl*) {
      pairs_[static_cast<std::size_t>(p)] = b->Down;
      Rebuild();
    };
  }
  SB_FT->OnClick = [this](tav::TControl*) { CH_CMP->UndoZoom(); };

  ZK1 = Make<tav::TLabel>("ZK1", P_TOP);
  ZK1->Font.Style = tav::fsBold;
  ZK1->Font.Color = kPairs[0].trip1;
  ZK21 = Make<tav::TLabel>("ZK21", P_TOP);
  ZK21->Font.Style = tav::fsBold;
  ZK21->Font.Color = kPairs[0].trip2;

  P_GLA = Make<tav::TPanel>("P_GLA");
  P_GLA->Visible = false;
  P_GLA->SetBounds(200, 70, 270, 100);
  L_GLA = Make<tav::TLabel>("L_GLA", P_GLA);
  L_GLA->SetCaption("Glättung"_w);
  L_GLA->SetBounds(8, 8, L_GLA->Width, L_GLA->Height);
  BU_OK = Make<tav::TButton>("BU_OK", P_GLA);
  BU_OK->Caption = "Übernehmen"_w;
  BU_OK->SetBounds(8, 60, 90, 25);
  BU_OK->Enabled = false;
  BU_NO = Make<tav::TButton>("BU_NO", P_GLA);
  BU_NO->Caption = "Verwerfen";
  BU_NO->SetBounds(104, 60, 90, 25);
  BU_NO->Enabled = false;

  CH_CMP = Make<tav::TChart>("CH_CMP");
  CH_CMP->Title.Visible = false;
  CH_CMP->Legend.Alignment = tav::TLegendAlignment::laBottom;
  CH_CMP->Legend.Font.Size = 8;
  CH_CMP->MarginUnits = tav::TMarginUnits::muPixels;
  CH_CMP->MarginLeft = 6;
  CH_CMP->MarginRight = 6;
  CH_CMP->MarginTop = 10;
  CH_CMP->MarginBottom = 4;

  L_EMPTY = Make<tav::TLabel>("L_EMPTY");
  L_EMPTY->Font.Size = 11;
  L_EMPTY->Visible = false;

  OnActivate = [this](tav::TControl* s) { FormActivate(s); };
  OnResize = [this](tav::TControl*) { LayoutControls(); };
  LayoutControls();
  FinishCreate();
}

TForm31::~TForm31() = default;

void TForm31::LayoutControls() {
  const int w = ClientWidth(), h = ClientHeight();
  P_TOP->SetBounds(0, 0, w, kTopHeight);
  ZK1->SetBounds(8, 36, ZK1->Width, ZK1->Height);
  ZK21->SetBounds(std::max(8, w / 2), 36, ZK21->Width, ZK21->Height);
  CH_CMP->SetBounds(0, kTopHeight, w, std::max(0, h - kTopHeight));
  L_EMPTY->SetBounds(24, kTopHeight + 24, std::max(0, w - 48), 20);
  // The smallest window keeps every tool button inside.
  int tools = 0;
  for (const tav::TControl* c : P_TOP->Children()) tools = std::max(tools, c->Left + c->Width);
  MinClientWidth = std::max(700, tools + 8);
  FitRightTitle();
}

void TForm31::FitRightTitle() {
  tav::TChartAxis& axis = CH_CMP->RightAxis;
  if (right_parts_.empty()) return;
  const int room = CH_CMP->PlotRect().Height();
  auto joined = [&](std::size_t letters) {
    std::string title;
    for (const auto& [name, unit] : right_parts_) {
      const std::string shown = letters == 0 || name.size() <= letters + 1 ? name : name.substr(0, letters) + ".";
      title += (title.empty() ? "" : ", ") + shown + " " + unit;
    }
    return title;
  };
  std::vector<std::pair<std::string, int>> tries = {{joined(0), 8}, {joined(0), 7}};
  for (std::size_t letters : {8u, 6u, 5u, 4u, 3u, 2u}) tries.push_back({joined(letters), 7});
  for (const auto& [title, size] : tries) {
    axis.TitleFont.Size = size;
    axis.Title = title;
    if (tav::MeasureTextWidth(axis.TitleFont, title) <= room) return;
  }
}

void TForm31::FormActivate(tav::TControl*) {
  // The opener sets the titles; the labels size to them.
  ZK1->SetCaption(ZK1->Caption);
  ZK21->SetCaption(ZK21->Caption);
  LayoutControls();
  // The trips are taken when an opener shows the window (the same two trips
  // under the same titles keep the chart as it is); the user coming back
  // keeps them.
  if (loaded_once_ && ShowCalls() == taken_at_show_) return;
  taken_at_show_ = ShowCalls();
  const int n1 = std::clamp<int>(tav::TripSampleCount, 0, tav::kMaxTripRecords - 1);
  const int n2 = std::clamp<int>(tav::TripSampleCount2, 0, tav::kMaxTripRecords - 1);
  const uint64_t fp = tav::TripFingerprint(tav::TripSamples, n1) * 31 +
                      tav::TripFingerprint(tav::TripSamples2, n2);
  if (loaded_once_ && fp == shown_fingerprint_ && Trip1Title == shown_titles_[0] && Trip2Title == shown_titles_[1])
    return;
  loaded_once_ = true;
  shown_fingerprint_ = fp;
  shown_titles_ = {Trip1Title, Trip2Title};  // the legend names them
  trip1_.assign(tav::TripSamples, tav::TripSamples + n1);
  trip2_.assign(tav::TripSamples2, tav::TripSamples2 + n2);
  Rebuild();
}

void TForm31::Rebuild() {
  CH_CMP->RemoveAllSeries();
  CH_CMP->UndoZoom();
  const int n1 = static_cast<int>(trip1_.size());
  const int n2 = static_cast<int>(trip2_.size());
  const tav::RecordRange r1 = tav::ShowableTrip(n1), r2 = tav::ShowableTrip(n2);
  showing_ = !r1.Empty() && !r2.Empty();
  L_EMPTY->Visible = !showing_;
  CH_CMP->Visible = showing_;
  if (!showing_) {
    // Records of each trip against the least that can be shown.
    L_EMPTY->SetCaption(tav::Format("TRIP 1: %i   TRIP 2: %i   (< %i)", std::max(0, n1),
                                    std::max(0, n2), tav::kMinShowRecords));
    return;
  }
  const std::vector<tav::SmoothSample> s1 = SmoothTrip(trip1_.data(), n1);
  const std::vector<tav::SmoothSample> s2 = SmoothTrip(trip2_.data(), n2);
  const tav::TColor text = tav::ChartColors[9];
  CH_CMP->Color = tav::ChartColors[0];
  CH_CMP->Frame.Color = text;
  // Channel names in the current language (the single-trip view's texts).
  std::string names[4] = {"Power", "HR", "RPM", "Speed"};
  for (int p = 0; p < 4; ++p) {
    const std::string* name = tav::WindowText("TForm30", "UiText", kPairs[p].channel);
    if (name != nullptr && !name->empty()) names[p] = *name;
  }
  std::string right_title;
  right_parts_.clear();
  bool any_left = false, any_right = false;
  for (int p = 0; p < 4; ++p) {
    if (!pairs_[static_cast<std::size_t>(p)]) continue;
    const PairLook& look = kPairs[p];
    const tav::ChannelUnit unit = tav::ChannelUnitOf(look.channel, tav::UnitFlags);
    const struct {
      const tav::TripSample* trip;
      int count;
      tav::RecordRange range;
      const std::vector<tav::SmoothSample>* smooth;
      const std::string* title;
      tav::TColor colour;
      const char* fallback;
    } trips[2] = {{trip1_.data(), n1, r1, &s1, &Trip1Title, look.trip1, "TRIP1"},
                  {trip2_.data(), n2, r2, &s2, &Trip2Title, look.trip2, "TRIP2"}};
    for (const auto& t : trips) {
      const tav::ChannelSeries data =
          tav::BuildChannelSeries(t.trip, t.count, t.range, look.channel, {}, unit, t.smooth->data());
      auto* series = CH_CMP->AddLineSeries();
      series->Title = (t.title->empty() ? std::string(t.fallback) : *t.title) + "  " + names[p] + " " + unit.unit;
      series->SeriesColor = t.colour;
      series->VertAxis = look.right_axis ? tav::TVertAxis::aRightAxis : tav::TVertAxis::aLeftAxis;
      series->Reserve(static_cast<int>(data.x.size()));
      for (std::size_t i = 0; i < data.x.size(); ++i) series->AddXY(data.x[i], data.y[i]);
    }
    if (look.right_axis) {
      right_title += (right_title.empty() ? "" : ", ") + names[p] + " " + unit.unit;
      right_parts_.push_back({names[p], unit.unit});
      any_right = true;
    } else {
      any_left = true;
    }
  }
  auto style_axis = [&](tav::TChartAxis& axis, const std::string& title) {
    axis.SetAutomatic(true);
    axis.Title = title;
    axis.TitleFont.Color = text;
    axis.LabelsFont.Color = text;
    axis.LabelsFont.Size = 7;
    axis.AxisPen.Color = text;
    axis.GridPen.Color = tav::ChartColors[8];
    axis.ValueFormat = "###0";
    axis.Increment = 1.0;  // whole-number labels never repeat
  };
  style_axis(CH_CMP->LeftAxis, any_left ? names[0] + " [W]" : "");
  if (any_left) CH_CMP->LeftAxis.SetMinimum(0.0);
  style_axis(CH_CMP->RightAxis, right_title);
  FitRightTitle();
  CH_CMP->RightAxis.GridVisible = !any_left;
  if (any_right) CH_CMP->RightAxis.SetMinimum(0.0);
  style_axis(CH_CMP->BottomAxis,
             (tav::LangLabels[0].empty() ? std::string("t") : tav::LangLabels[0]) + " [min]");
  CH_CMP->Invalidate();
}

// ---- Opened by other windows ----------------------------------------------------

namespace tav {

void OpenComparison(const std::string& title1, const std::string& title2) {
  if (Form31 == nullptr) return;
  Form31->Trip1Title = "TRIP1  " + title1;
  Form31->ZK1->SetCaption(title1);
  Form31->Trip2Title = "TRIP2  " + title2;
  Form31->ZK21->SetCaption(title2);
  Form31->Show();
}

}  // namespace tav
