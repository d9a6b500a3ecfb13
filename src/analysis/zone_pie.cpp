#include "analysis/zone_pie.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>

#include "core/core_data.h"
#include "openers/openers.h"
#include "platform/text.h"

TForm10* Form10 = nullptr;

namespace {
constexpr tav::TColor kCream = tav::RGBColor(255, 251, 240);
}  // namespace

TForm10::TForm10() {
  Name = "Form10";
  Caption = "Zonen";
  Visible = false;
  BorderStyle = tav::TFormBorderStyle::bsNone;
  FormStyle = tav::TFormStyle::fsStayOnTop;
  Color = tav::clGray;
  SetBounds(tav::Screen().Width - 420, 120, 400, 340);
  SetClientSize(400, 340);

  C_Detail = Make<tav::TChart>("C_Detail");
  C_Detail->AxesVisible = false;
  C_Detail->Frame.Style = tav::TPenStyle::psClear;
  C_Detail->Color = tav::clGray;
  C_Detail->AllowZoom = false;
  C_Detail->Legend.Alignment = tav::TLegendAlignment::laBottom;
  C_Detail->Legend.DividingLines = true;
  C_Detail->Legend.Color = tav::clSilver;
  Pie = C_Detail->AddPieSeries();
  SB_MOVE = Make<tav::TSpeedButton>("SB_MOVE", C_Detail);
  SB_MOVE->Caption = std::string(1, '\x95');
  SB_MOVE->Font.Size = 12;
  SB_MOVE->Hint = "Verschieben";
  SB_MOVE->Flat = true;
  SB_MOVE->SetBounds(2, 2, 20, 20);
  SB_Close = Make<tav::TSpeedButton>("SB_Close", C_Detail);
  SB_Close->Caption = std::string(1, 'X');
  SB_Close->Flat = true;
  SB_Close->Width = SB_Close->Height = 20;

  OnActivate = [this](tav::TControl* s) { FormActivate(s); };
  SB_MOVE->OnMouseDown = [this](tav::TControl* s, tav::TMouseButton b, tav::TShiftState sh, int x, int y) {
    SB_MOVEMouseDown(s, b, sh, x, y);
  };
  SB_MOVE->OnMouseMove = [this](tav::TControl* s, tav::TShiftState sh, int x, int y) { SB_MOVEMouseMove(s, sh, x, y); };
  SB_MOVE->OnMouseUp = [this](tav::TControl* s, tav::TMouseButton b, tav::TShiftState sh, int x, int y) {
    SB_MOVEMouseUp(s, b, sh, x, y);
  };
  SB_Close->OnClick = [this](tav::TControl* s) { SB_CloseClick(s); };
  FormCreate();
  FinishCreate();
}

void TForm10::FormCreate() {
  const tav::TScreen& screen = tav::Screen();
  if (screen.Width < 1100) SetClientSize(400, 300);
  C_Detail->Title.Font.Size = 11;
  C_Detail->Foot.Font.Size = 8;
  C_Detail->SetBounds(1, 1, ClientWidth() - 2, ClientHeight() - 2);
  SB_Close->Left = C_Detail->Width - SB_Close->Width - 2;
  SB_Close->Top = 2;
  if (Top + Height > screen.Height) Top = screen.Height - Height - 20 < Height ? 1 : 0;
}

void TForm10::FormActivate(tav::TControl*) { C_Detail->Visible = true; }

// The drag follows the mouse on the screen: the button's own coordinates
// would lag behind the window while the window system moves it.
void TForm10::SB_MOVEMouseDown(tav::TControl*, tav::TMouseButton, tav::TShiftState, int, int) {
  drag_from_ = tav::Application().CursorPos;
  drag_origin_ = {Left, Top};
  SB_MOVE->Tag = 1;
}

void TForm10::SB_MOVEMouseMove(tav::TControl*, tav::TShiftState, int, int) {
  if (SB_MOVE->Tag != 1) return;
  const tav::TPoint at = tav::Application().CursorPos;
  const int top = drag_origin_.Y + at.Y - drag_from_.Y;
  if (top <= 0) return;  // the top edge stays on the screen
  SetBounds(drag_origin_.X + at.X - drag_from_.X, top, Width, Height);
}

void TForm10::SB_MOVEMouseUp(tav::TControl*, tav::TMouseButton, tav::TShiftState, int, int) { SB_MOVE->Tag = 0; }

void TForm10::SB_CloseClick(tav::TControl*) { Close(); }

namespace tav {

namespace {

int OverlapArea(const TRect& a, const TRect& b) {
  const int w = std::min(a.Right, b.Right) - std::max(a.Left, b.Left);
  const int h = std::min(a.Bottom, b.Bottom) - std::max(a.Top, b.Top);
  return w > 0 && h > 0 ? w * h : 0;
}

}  // namespace

TPoint ZonePiePlace(TPoint click, int width, int height, const TRect& screen, const std::vector<TRect>& title_bars) {
  constexpr int kGap = 12;  // between the click and the popup's edge
  const int right = click.X + kGap, left = click.X - kGap - width, centre = click.X - width / 2;
  const int below = click.Y + kGap, level = click.Y - height / 2, above = click.Y - kGap - height;
  // Right of the click, then left of it: below, level or above it, or just
  // under or over a caption bar while still beside the click; then under
  // or over it.
  std::vector<TPoint> tries;
  for (const int x : {right, left}) {
    for (const int y : {below, level, above}) tries.push_back({x, y});
    for (const TRect& bar : title_bars)
      for (const int y : {bar.Bottom, bar.Top - height})
        if (y >= above && y <= below) tries.push_back({x, y});
  }
  tries.push_back({centre, below});
  tries.push_back({centre, above});
  // The first place of the least fault: over the click, then over caption
  // bars (by area), then pushed from its place beside the click by the
  // screen's edges.
  TPoint best{};
  std::tuple<bool, long long, bool> best_fault{true, 0, true};
  bool first = true;
  for (const TPoint& t : tries) {
    // Inside the screen (its top-left corner first when it is too small).
    const int x = std::max(screen.Left, std::min(t.X, screen.Right - width));
    const int y = std::max(screen.Top, std::min(t.Y, screen.Bottom - height));
    const TRect r{x, y, x + width, y + height};
    long long overlap = 0;
    for (const TRect& bar : title_bars) overlap += OverlapArea(r, bar);
    const std::tuple<bool, long long, bool> fault{r.Contains(click.X, click.Y), overlap, x != t.X || y != t.Y};
    if (first || fault < best_fault) {
      best = {x, y};
      best_fault = fault;
      first = false;
    }
  }
  return best;
}

std::vector<TRect> TitleBarsOfWindows(const TForm* except) {
  std::vector<TRect> bars;
  for (const TForm* f : Application().Forms()) {
    if (f == except || !f->Visible || f->BorderStyle == TFormBorderStyle::bsNone ||
        f->WindowState == TWindowState::wsMinimized)
      continue;
    int caption = f->Height - f->ClientHeight() - (f->Width - f->ClientWidth()) / 2;
    if (caption <= 0) caption = TForm::kFrameHeight - TForm::kFrameWidth / 2;
    if (f->WindowState == TWindowState::wsMaximized)
      bars.push_back({0, 0, Screen().Width, caption});
    else
      bars.push_back({f->Left, f->Top, f->Left + f->Width, f->Top + caption});
  }
  return bars;
}

std::string ZonePieSliceLabel(std::string_view zoneName, double seconds, double total) {
  const double v = std::isfinite(seconds) ? std::clamp(seconds, 0.0, 2.0e9) : 0.0;
  const long long s = static_cast<long long>(v);
  const double share = total > 0 ? 100.0 * v / total : 0.0;
  return Format("%-5.5s %02i:%02i:%02i / %4.1f%% ", std::string(zoneName).c_str(), static_cast<int>(s / 3600),
                static_cast<int>(s % 3600 / 60), static_cast<int>(s % 60), share);
}

bool ShowZonePie(TForm10& pie, const ZonePieFill& fill) {
  const int n = std::clamp(fill.zoneCount, 1, 10);
  double total = 0;
  for (int z = 0; z < n; ++z) total += fill.seconds[static_cast<std::size_t>(z)];
  if (!(total > 0) && !fill.showWhenEmpty) return false;

  TChart& chart = *pie.C_Detail;
  pie.Pie->Clear();
  chart.Title.Text.Clear();
  chart.Foot.Text.Clear();
  chart.Title.Font.Color = chart.Foot.Font.Color = kCream;
  for (const std::string& line : fill.title) chart.Title.Text.Add(line);
  for (const std::string& line : fill.foot) chart.Foot.Text.Add(line);
  for (int z = 0; z < n; ++z) {
    const double v = fill.seconds[static_cast<std::size_t>(z)];
    pie.Pie->Add(v, ZonePieSliceLabel(std::string_view(ZoneNames[z], strnlen(ZoneNames[z], kZoneNameChars)), v, total), ZoneColors[z]);
  }
  chart.SetBounds(2, 2, chart.Width, chart.Height);
  chart.Invalidate();
  if (pie.Visible) {
    pie.BringToFront();
  } else {
    // Beside the point that was clicked, clear of other windows' caption bars.
    const TPoint at = ZonePiePlace(Application().CursorPos, pie.Width, pie.Height,
                                   {0, 0, Screen().Width, Screen().Height}, TitleBarsOfWindows(&pie));
    pie.SetBounds(at.X, at.Y, pie.Width, pie.Height);
    pie.Show();
  }
  return true;
}

}  // namespace tav

// ---- Opened by other windows ----------------------------------------------------

namespace tav {

bool OpenZonePie(const ZonePieFill& fill) { return Form10 != nullptr && ShowZonePie(*Form10, fill); }

void CloseZonePie() {
  if (Form10 != nullptr && Form10->Visible) Form10->Close();
}

}  // namespace tav
