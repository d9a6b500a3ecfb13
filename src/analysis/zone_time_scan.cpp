#include "analysis/zone_time_scan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "analysis/analysis_common.h"
#include "core/trip_date_text.h"
#include "core/trip_list.h"
#include "openers/openers.h"
#include "platform/colour_contrast.h"
#include "platform/canvas.h"
#include "platform/text.h"
#include "texts/text_tables.h"

TForm56* Form56 = nullptr;

namespace tav {

// ---------------------------------------------------------------------------
// Bounds and classes
// ---------------------------------------------------------------------------

int ZoneCountOfBasis(const RiderZoneRows& zones, int basis) {
  const auto& row = zones.rows[std::clamp(basis, 0, kZoneRows - 1)];
  int n = 1;
  for (int k = 1; k <= 6; ++k)
    if (row[k] != 0) ++n;
  return n;
}

TripZoneBounds PrepareZoneBounds(const TripFileData& trip, int lineKind, int basis, int zoneCount,
                                 const RiderZoneRows& zones) {
  float block[kZoneBlockWords];
  // A power trip has power bounds; under a heart-rate basis it gets the
  // rider's bike heart-rate bounds (it is a bike ride), from the heart-rate
  // threshold in its header.
  if (basis != kBasisPower && lineKind == kSportBikePower)
    BuildHeartRateZoneBlock(trip.Samples.empty() ? TripSample{} : trip.Samples[0], zones.rows, block);
  else
    ZoneBlockOfTrip(trip, zones.rows, block);
  const int top = std::clamp(zoneCount, 1, 7) - 1;
  TripZoneBounds b;
  if (top == 0) {
    // A basis without bounds (its row empty) has one open zone: every value
    // above 0 is zone 1, whatever the trip's block holds.
    b.bound.fill(std::numeric_limits<float>::infinity());
    b.bound[0] = 0;
  } else {
    b.bound = ZoneClassBounds(block, top);
  }
  b.drawn[0] = true;
  for (int i = 1; i <= top; ++i) b.drawn[static_cast<std::size_t>(i)] = block[i] > 0;
  return b;
}

bool ZoneLineAdmitted(std::string_view line, int basis) {
  if (line.size() < kMinTripLineChars || IsManualLine(line) || !LineHasSemicolon(line)) return false;
  return basis != kBasisPower || std::max(0, LineSportDigit(line)) == kSportBikePower;
}

int ZoneScanInterval(const TripFileData& trip) {
  if (trip.Count() >= 4) {
    const int64_t step = int64_t{trip.Samples[3].Time} - trip.Samples[2].Time;
    if (step <= 0) return 0;
  }
  return trip.Interval();
}

TripZoneCount CountTripZones(const TripFileData& trip, int interval, int lineKind, int basis,
                             int zoneCount, const RiderZoneRows& zones) {
  TripZoneCount r;
  const int n = trip.Count();
  if (interval <= 0 || n < 2) return r;
  const TripZoneBounds b = PrepareZoneBounds(trip, lineKind, basis, zoneCount, zones);
  float TripSample::*field = basis == kBasisPower ? &TripSample::Power : &TripSample::HeartRate;
  std::array<int64_t, kZoneClasses> count{};
  for (int i = 1; i < n; ++i) ++count[static_cast<std::size_t>(ZoneClassOf(trip.Samples[static_cast<std::size_t>(i)].*field, b.bound))];
  for (int c = 0; c < kZoneClasses; ++c) r.seconds[static_cast<std::size_t>(c)] = count[static_cast<std::size_t>(c)] * interval;
  r.total = int64_t{n - 1} * interval;
  r.drawn = b.drawn;
  r.counted = true;
  return r;
}

void ZoneBar::Add(const TripZoneCount& trip) {
  for (int c = 0; c < kZoneClasses; ++c) {
    seconds[static_cast<std::size_t>(c)] += trip.seconds[static_cast<std::size_t>(c)];
    drawn[static_cast<std::size_t>(c)] = drawn[static_cast<std::size_t>(c)] || trip.drawn[static_cast<std::size_t>(c)];
  }
  total += trip.total;
  ++trips;
}

ZoneLayout ChooseZoneLayout(int lineCount, int blockMode) {
  if (lineCount <= 2 && lineCount >= 1 && blockMode != 2) return ZoneLayout::Few;
  if (blockMode == 2) return ZoneLayout::Blocks;
  if (lineCount > 4) return ZoneLayout::Sum;
  return ZoneLayout::PerTrip;
}

int ZoneBlockModeOf(const std::vector<std::string>& lines) {
  return std::find(lines.begin(), lines.end(), kBlock2Line) != lines.end() ? 2 : 0;
}

// ---------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------

std::string ZoneHms(int64_t s) {
  s = std::max<int64_t>(0, s);
  return Format("%02lld:%02d:%02d", static_cast<long long>(s / 3600), static_cast<int>(s % 3600 / 60),
                static_cast<int>(s % 60));
}

std::string ZoneCommentLine(std::string_view line, int64_t total) {
  return LineComment(line).substr(0, 50) + "  (TT = " + ZoneHms(total) + ")";
}

std::string ZoneCountLine(int trips, const std::array<std::string, 2>& texts, int64_t total) {
  return Format("%i  ", trips) + texts[0] + "   ( " + texts[1] + " = " + ZoneHms(total) + ")";
}

// ---------------------------------------------------------------------------
// Bars and the picture
// ---------------------------------------------------------------------------

PlannedBar PlanZoneBar(const ZoneBar& bar, int zoneCount, int top, int barWidth,
                       const ZoneBarStyle& style, int imageWidth,
                       const std::function<int(const std::string&)>& labelWidth, int labelHeight) {
  PlannedBar plan;
  plan.end_top = top;
  if (bar.total <= 0) return plan;
  const double scale = static_cast<double>(barWidth) / static_cast<double>(bar.total);
  double x = 30.0;
  int t = top;
  for (int j = std::clamp(zoneCount, 1, 7) - 1; j >= 0; --j) {
    if (!bar.drawn[static_cast<std::size_t>(j)]) continue;
    const int64_t secs = bar.seconds[static_cast<std::size_t>(j)];
    const double width = static_cast<double>(secs) * scale;
    ZoneSegment seg;
    seg.zone = j;
    const int left = static_cast<int>(x);
    seg.rect = {left, t, static_cast<int>(x + width), t + style.height};
    if (secs > 0) {
      seg.label.size = 8;
      seg.label.text = ZoneHms(secs) + Format(" / %5.2f%%", static_cast<double>(secs) * 100.0 / static_cast<double>(bar.total));
      const int w = labelWidth(seg.label.text);
      if (left + w + 2 < imageWidth) {
        seg.label.x = left + 2;
        seg.label.y = t - style.label_above;
      } else {
        seg.label.x = left - w - 4;
        seg.label.y = style.per_trip ? t + 2 : t + style.height - labelHeight;
      }
    }
    plan.segments.push_back(std::move(seg));
    x += width;
    t += style.step;
  }
  plan.end_top = t;
  return plan;
}

namespace {
int DrawnZones(const ZoneBar& bar, int zoneCount) {
  int n = 0;
  for (int j = 0; j < std::clamp(zoneCount, 1, 7); ++j) n += bar.drawn[static_cast<std::size_t>(j)];
  return n;
}
ZoneBar BarOf(const TripZoneCount& trip) {
  ZoneBar bar;
  bar.Add(trip);
  return bar;
}
}  // namespace

ZonePicture BuildZonePicture(ZoneLayout layout, const std::vector<std::string>& lines,
                             const std::vector<TripZoneCount>& counts, int zoneCount,
                             const std::array<std::string, 2>& texts, const std::string& dateRange) {
  ZonePicture pic;
  const int n = static_cast<int>(std::min(lines.size(), counts.size()));
  auto at = [&](int i) -> const TripZoneCount& { return counts[static_cast<std::size_t>(i)]; };
  auto date = [&](int i) { return FormatTripDateTime(LineKey(lines[static_cast<std::size_t>(i)])); };
  switch (layout) {
    case ZoneLayout::PerTrip:
      for (int i = 0; i < std::min(n, 4); ++i) {
        if (!at(i).counted) continue;
        const int top = 21 + 127 * i;
        pic.bars.push_back({BarOf(at(i)), top, kPerTripBar});
        const int end = top + kPerTripBar.step * DrawnZones(pic.bars.back().bar, zoneCount);
        pic.texts.push_back({40, end - 32, 10, date(i)});
        pic.texts.push_back({40, end - 16, 10, ZoneCommentLine(lines[static_cast<std::size_t>(i)], at(i).total)});
        pic.quarter_total[static_cast<std::size_t>(i)] = at(i).total;
      }
      break;
    case ZoneLayout::Few:
      for (int i = 0; i < std::min(n, 2); ++i) {
        if (!at(i).counted) continue;
        const int place = n == 1 ? 1 : i;  // one trip is drawn at the lower place
        pic.bars.push_back({BarOf(at(i)), 40 + 280 * place, kLargeBar});
        pic.texts.push_back({40, 180 + 280 * place, 14, date(i) + "  "});
        pic.texts.push_back({40, 200 + 280 * place, 14, ZoneCommentLine(lines[static_cast<std::size_t>(i)], at(i).total)});
        if (n == 1) pic.quarter_total.fill(at(i).total);
        else pic.quarter_total[static_cast<std::size_t>(2 * i)] = pic.quarter_total[static_cast<std::size_t>(2 * i + 1)] = at(i).total;
      }
      break;
    case ZoneLayout::Sum: {
      ZoneBar sum;
      for (int i = 0; i < n; ++i)
        if (at(i).counted) sum.Add(at(i));
      if (sum.total > 0) pic.bars.push_back({sum, 300, kLargeBar});
      pic.texts.push_back({40, 480, 14, dateRange});
      pic.texts.push_back({300, 480, 14, ZoneCountLine(sum.trips, texts, sum.total)});
      pic.quarter_total.fill(sum.total);
      break;
    }
    case ZoneLayout::Blocks: {
      ZoneBar block;
      int block_index = 0, first = -1, last = -1;
      auto finish = [&] {
        if (block.trips > 0 && block.total > 0) {
          pic.bars.push_back({block, 70 + 260 * block_index, kLargeBar});
          const int y = 220 + 260 * block_index;
          pic.texts.push_back({40, y, 14, date(first).substr(0, 10) + " - " + date(last).substr(0, 10)});
          pic.texts.push_back({300, y, 14, ZoneCountLine(block.trips, texts, block.total)});
          pic.quarter_total[static_cast<std::size_t>(2 * block_index)] =
              pic.quarter_total[static_cast<std::size_t>(2 * block_index + 1)] = block.total;
        }
        block = ZoneBar{};
        first = last = -1;
      };
      for (int i = 0; i < n; ++i) {
        if (lines[static_cast<std::size_t>(i)] == kBlock2Line) {
          if (block_index == 0) {  // a further separator changes nothing
            finish();
            block_index = 1;
          }
          continue;
        }
        if (!at(i).counted) continue;
        block.Add(at(i));
        if (first < 0) first = i;
        last = i;
      }
      finish();
      break;
    }
  }
  return pic;
}

// ---------------------------------------------------------------------------
// Measuring tool
// ---------------------------------------------------------------------------

int MeasureQuarterOf(int y, int baseY) {
  if (baseY <= 0) return 0;
  return std::min(3, std::clamp(y, 1, baseY) * 4 / baseY);
}

double MeasurePercentOf(int x, int barWidth) {
  if (barWidth <= 0) return 0;
  return (std::clamp(x, 31, barWidth + 31) - 31) / (barWidth * 0.01);
}

std::string MeasureCaption(double percent, int64_t seconds) {
  return Format(" %5.1f%%  ", percent) + ZoneHms(std::llabs(seconds)) + " ";
}

}  // namespace tav

// ---------------------------------------------------------------------------
// The window
// ---------------------------------------------------------------------------

using namespace tav;

TForm56::TForm56() {
  Name = "Form56";
  Caption = "SCAN PO_TB";
  Visible = false;
  KeyPreview = true;
  BorderStyle = TFormBorderStyle::bsSingle;  // the user cannot resize it
  SetClientSize(832, 542);
  Top = std::max(2, Screen().Height - Height - 40);
  Left = std::max(0, Screen().Width - Width - 15);

  Show1 = Make<TImage>("Show1");
  Show1->SetBounds(2, 2, ClientWidth() - 10, ClientHeight() - 10);
  BarWidth = Show1->Width - 100;
  BaseY = Show1->Height - 15;
  Show_Zonen = Make<TImage>("Show_Zonen");
  Show_Zonen->Visible = false;
  LTrain = Make<TLabel>("LTrain");
  LTrain->Font.Name = "Verdana";
  LTrain->Font.SetPixelHeight(15);
  LTrain->Visible = false;
  SB_ZO = MakeScanButton(*this, "SB_ZO", "<->", 26);
  SB_ZO->SetBounds(4, 4, 26, 22);
  FitWidthToCaption(*SB_ZO, 26);
  SB_ZO->Hint = "Measure";
  for (TShape** shape : {&Sp_a, &Sp_e}) {
    *shape = Make<TShape>(shape == &Sp_a ? "Sp_a" : "Sp_e");
    (*shape)->Width = 3;
    (*shape)->BrushColor = clAqua;
    (*shape)->PenColor = clAqua;
    (*shape)->Visible = false;
  }
  for (TLabel** label : {&LT1, &LT2}) {
    *label = Make<TLabel>(label == &LT1 ? "LT1" : "LT2");
    (*label)->Transparent = false;
    (*label)->Color = clYellow;
    (*label)->Visible = false;
  }
  PB_Scan = Make<TProgressBar>("PB_Scan");
  PB_Scan->SetBounds(ClientWidth() / 2 - 150, ClientHeight() / 2 - 8, 300, 16);
  PB_Scan->Visible = false;

  SB_ZO->OnClick = [this](TControl* s) { SB_ZOClick(s); };
  Show1->OnMouseDown = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) {
    Show1MouseDown(s, b, sh, x, y);
  };
  Show1->OnMouseUp = [this](TControl* s, TMouseButton b, TShiftState sh, int x, int y) {
    Show1MouseUp(s, b, sh, x, y);
  };
  Show1->OnMouseMove = [this](TControl* s, TShiftState sh, int x, int y) { Show1MouseMove(s, sh, x, y); };
  // The measuring lines sit under the pointer: what reaches them belongs to
  // the picture below.
  for (TShape* shape : {Sp_a, Sp_e}) {
    shape->OnMouseDown = [this, shape](TControl* s, TMouseButton b, TShiftState sh, int x, int y) {
      Show1MouseDown(s, b, sh, x + shape->Left - Show1->Left, y + shape->Top - Show1->Top);
    };
    shape->OnMouseUp = [this, shape](TControl* s, TMouseButton b, TShiftState sh, int x, int y) {
      Show1MouseUp(s, b, sh, x + shape->Left - Show1->Left, y + shape->Top - Show1->Top);
    };
    shape->OnMouseMove = [this, shape](TControl* s, TShiftState sh, int x, int y) {
      Show1MouseMove(s, sh, x + shape->Left - Show1->Left, y + shape->Top - Show1->Top);
    };
  }
  OnActivate = [this](TControl* s) { FormActivate(s); };
  OnResize = [this](TControl* s) { FormResize(s); };
  OnClose = [this](TControl*, TCloseAction&) { stop_ = true; };
  OnKeyDown = [](TControl*, WORD& key, TShiftState) { HandleHelpKey(key, 13); };
  FinishCreate();
}

void TForm56::FormResize(TControl*) {
  Show1->SetBounds(2, 2, ClientWidth() - 4, ClientHeight() - 4);
  LT2->Top = ClientHeight() - LT2->Height - 1;
  LT1->Top = LT2->Top - LT1->Height;
}

void TForm56::FormActivate(TControl*) {
  if (scanning_) {  // shown again (perhaps with another selection) while reading
    rescan_ = true;
    return;
  }
  scanning_ = true;
  stop_ = false;
  do {
    rescan_ = false;
    Scan();
  } while (rescan_ && !stop_);
  scanning_ = false;
}

void TForm56::MeasureOff() {
  MeasureState = 0;
  for (TControl* c : std::initializer_list<TControl*>{Sp_a, LT1, Sp_e, LT2}) c->Hide();
}

void TForm56::Scan() {
  FormResize(this);
  TCanvas& canvas = Show1->Canvas();
  canvas.Brush.Color = ChartColors[0];
  canvas.Brush.Style = TBrushStyle::bsSolid;
  canvas.FillRect(Show1->ClientRect());
  canvas.Pen.Color = ChartColors[9];
  canvas.Font = LTrain->Font;
  canvas.Font.Color = ChartColors[9];
  Show_Zonen->Hide();
  LTrain->Hide();
  MeasureOff();
  MeasureBar = 0;
  BarTotalSeconds.fill(0);  // nothing of an earlier scan is measured
  FirstIndex = 0;
  const std::vector<std::string> lines = ScanList->Lines();
  ItemCount = static_cast<int>(lines.size());

  std::vector<std::string> dated;
  for (const std::string& l : lines)
    if (l.size() > 10) dated.push_back(l);
  std::sort(dated.begin(), dated.end());
  const std::string first = dated.empty() ? "" : FormatTripDateTime(LineKey(dated.front())).substr(0, 11);
  const std::string last = dated.empty() ? "" : FormatTripDateTime(LineKey(dated.back())).substr(0, 11);
  Caption = SpanCaption(first, last);
  ZoneScanDateRange = first + " - " + last;

  block_mode_ = ZoneBlockModeOf(lines);
  const ZoneLayout layout = ChooseZoneLayout(ItemCount, block_mode_);
  const int basis = std::clamp(tav::DiarySelectionKind().value_or(0), 0, 2);
  const RiderZoneRows zones = CurrentRiderZoneRows();
  const int zone_count = ZoneCountOfBasis(zones, basis);
  if (layout == ZoneLayout::PerTrip) ItemCount = std::min(ItemCount, 4);

  // The trips are read and counted on several threads; each job writes
  // only its own entry.
  std::vector<std::string> job_lines;
  std::vector<int> job_index, job_kind;
  for (int i = FirstIndex; i < ItemCount; ++i) {
    const std::string& l = lines[static_cast<std::size_t>(i)];
    if (!ZoneLineAdmitted(l, basis)) continue;
    job_lines.push_back(l);
    job_index.push_back(i);
    job_kind.push_back(std::max(0, LineSportDigit(l)));
  }
  std::vector<TripZoneCount> counts(lines.size());
  PB_Scan->Max = std::max(1, static_cast<int>(job_lines.size()));
  PB_Scan->Position = 0;
  ForEachListedTrip(
      job_lines,
      [&](std::size_t j, TripFileData& trip) {
        counts[static_cast<std::size_t>(job_index[j])] =
            CountTripZones(trip, ZoneScanInterval(trip), job_kind[j], basis, zone_count, zones);
      },
      [&](int done, int) {
        PB_Scan->Position = done;
        PB_Scan->Show();
        PB_Scan->BringToFront();
        Application().ProcessMessages();
        return !stop_ && !rescan_;
      });
  PB_Scan->Hide();
  if (stop_ || rescan_) return;

  const ZonePicture picture = BuildZonePicture(layout, lines, counts, zone_count, UiText, ZoneScanDateRange);
  BarTotalSeconds = picture.quarter_total;
  DrawPicture(picture, zone_count);
  DrawAxes();
  DrawZoneLegend(zone_count, basis);
}

void TForm56::DrawPicture(const ZonePicture& picture, int zoneCount) {
  TCanvas& canvas = Show1->Canvas();
  const TColor back = ChartColors[0], text = ChartColors[9];
  auto write = [&](const ZoneText& t) {
    canvas.Font.Size = t.size;
    canvas.Font.Color = text;
    canvas.Brush.Color = back;
    canvas.TextOut(t.x, t.y, t.text);
  };
  for (const ZonePicture::Bar& b : picture.bars) {
    canvas.Font.Size = 8;
    const PlannedBar plan = PlanZoneBar(
        b.bar, zoneCount, b.top, BarWidth, b.style, Show1->Width,
        [&](const std::string& s) { return canvas.TextWidth(s); }, canvas.TextHeight("0"));
    for (const ZoneSegment& seg : plan.segments) {
      canvas.Brush.Color = ZoneColors[seg.zone];
      canvas.FillRect(seg.rect);
      if (!seg.label.text.empty()) write(seg.label);
    }
  }
  for (const ZoneText& t : picture.texts) write(t);
}

void TForm56::DrawAxes() {
  TCanvas& canvas = Show1->Canvas();
  canvas.Pen.Color = ChartColors[9];
  canvas.Brush.Color = ChartColors[0];
  canvas.Font.Color = ChartColors[9];
  canvas.Font.Size = 10;
  canvas.MoveTo(30, 3);
  canvas.LineTo(30, BaseY + 15);
  canvas.MoveTo(20, BaseY - 5);
  canvas.LineTo(Show1->Width - 10, BaseY - 5);
  const double step = BarWidth * 0.1;
  for (int k = 0; k <= 10; ++k) {
    const int x = static_cast<int>(k * step + 30);
    canvas.MoveTo(x, BaseY - 5);
    canvas.LineTo(x, BaseY);
    canvas.TextOut(x - 35, BaseY, Format("%5.0f%%", k * 10.0));
  }
}

void TForm56::DrawZoneLegend(int zoneCount, int basis) {
  const int z = std::clamp(zoneCount, 1, 7);
  auto name_of = [](int j) {
    return Format(" %-5.5s ", std::string(ZoneNames[j], strnlen(ZoneNames[j], kZoneNameChars)).c_str());
  };
  // Each box is as wide as the widest name (at least 40 pixels), so no name
  // runs into its neighbour's box or past the strip's end.
  Show_Zonen->Canvas().Font.Size = 8;
  int box = 40;
  for (int j = 0; j < z; ++j) box = std::max(box, Show_Zonen->Canvas().TextWidth(name_of(j)));
  const int step = box + 4;
  Show_Zonen->SetBounds(Show1->Left + Show1->Width - (15 + step * z), Show1->Top, 15 + step * z, 25);
  TCanvas& canvas = Show_Zonen->Canvas();
  canvas.Brush.Color = ChartColors[0];
  canvas.FillRect({0, 0, std::max(800, Show_Zonen->Width), 35});
  canvas.Font.Size = 8;
  for (int k = 0; k < z; ++k) {
    const int j = z - 1 - k;
    const int left = 15 + step * k;
    canvas.Brush.Color = ZoneColors[j];
    canvas.FillRect({left, 2, left + box, 16});
    canvas.Font.Color = TextColourOn(ZoneColors[j], ChartColors[9]);
    canvas.TextRect({left, 2, left + box, 16}, left, 2, name_of(j));
  }
  Show_Zonen->Show();
  Show_Zonen->BringToFront();
  if (const std::string* zones = tav::WindowText("TForm4", "UiText", 10 + basis)) LTrain->SetCaption(*zones);
  LTrain->Font.Color = ChartColors[9];
  LTrain->Top = Show_Zonen->Top;
  LTrain->Left = Show_Zonen->Left - 10 - LTrain->Width;
  LTrain->Show();
  LTrain->BringToFront();
}

// ---- measuring tool ---------------------------------------------------------

void TForm56::SB_ZOClick(TControl*) {
  if (Sp_a->Visible) {
    MeasureOff();
    return;
  }
  Sp_a->SetBounds(SB_ZO->Left + 15, 2, 3, Show1->Height - 35);
  Sp_e->SetBounds(Sp_a->Left, 2, 3, Show1->Height - 35);
  Sp_a->Show();
  Sp_a->BringToFront();
  LT1->Show();
  LT1->BringToFront();
  Sp_e->Hide();
  LT2->Hide();
  MeasureState = 1;
  MeasureBar = -1;
  SB_ZO->Tag = 0;  // releases on the picture
}

void TForm56::Show1MouseDown(TControl*, TMouseButton, TShiftState, int, int y) {
  if (MeasureBar < 0) MeasureBar = MeasureQuarterOf(y, BaseY);
}

void TForm56::Show1MouseUp(TControl*, TMouseButton, TShiftState, int, int) {
  ++SB_ZO->Tag;
  if (MeasureBar < 0 || SB_ZO->Tag < 2) return;
  if (MeasureState == 1) {
    MeasureState = 2;
    Sp_e->Show();
    Sp_e->BringToFront();
    LT2->Show();
    LT2->BringToFront();
  } else if (MeasureState == 2) {
    MeasureState = 3;
  }
}

void TForm56::Show1MouseMove(TControl*, TShiftState, int x, int) {
  if (MeasureState != 1 && MeasureState != 2) return;
  x = std::clamp(x, 31, BarWidth + 31);
  const double p = MeasurePercentOf(x, BarWidth);
  const int64_t total = MeasureBar >= 0 ? BarTotalSeconds[static_cast<std::size_t>(std::min(MeasureBar, 3))] : 0;
  TShape* line = MeasureState == 1 ? Sp_a : Sp_e;
  TLabel* label = MeasureState == 1 ? LT1 : LT2;
  line->Left = Show1->Left + x;
  double shown = p;
  if (MeasureState == 1) MeasureStartPercent = static_cast<float>(p);
  else shown = p - MeasureStartPercent;
  label->SetCaption(MeasureCaption(shown, static_cast<int64_t>(static_cast<double>(total) * shown * 0.01)));
  label->Left = Show1->Left + x - 15;
}

// ---- Opened by other windows ----------------------------------------------------

namespace tav {

void OpenZoneTimeScan() {
  if (Form56 == nullptr) return;
  Form56->Show();
}

}  // namespace tav
