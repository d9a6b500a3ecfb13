// TForm10: the zone pie popup. A small borderless window with one pie chart
// of the time spent in each training zone of a trip, a calendar day or a
// week. Its callers fill it through OpenZonePie (a ZonePieFill); the window itself only
// sizes its chart, is dragged by SB_MOVE, closes on SB_Close and stays in
// front of the program's other windows.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "openers/openers.h"
#include "platform/chart.h"
#include "platform/controls.h"

class TForm10 : public tav::TForm {
 public:
  TForm10();

  void FormCreate();
  void FormActivate(tav::TControl* sender);
  void SB_MOVEMouseDown(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void SB_MOVEMouseMove(tav::TControl* sender, tav::TShiftState shift, int x, int y);
  void SB_MOVEMouseUp(tav::TControl* sender, tav::TMouseButton button, tav::TShiftState shift, int x, int y);
  void SB_CloseClick(tav::TControl* sender);

  tav::TChart* C_Detail = nullptr;
  tav::TChartSeries* Pie = nullptr;  // the chart's only series
  tav::TSpeedButton* SB_MOVE = nullptr;
  tav::TSpeedButton* SB_Close = nullptr;

 private:
  tav::TPoint drag_from_;    // mouse on the screen at the press
  tav::TPoint drag_origin_;  // window position at the press
};

extern TForm10* Form10;

namespace tav {

// Fills the popup's chart: series, title and foot cleared, both in cream
// text; one slice per zone in ZoneColors with ZoneNames, time and share as
// its legend text; then shows the popup beside the mouse (ZonePiePlace of
// Application().CursorPos), or brings it to the front when it is visible,
// where the user left it. False when nothing was shown.
bool ShowZonePie(TForm10& pie, const ZonePieFill& fill);

// Where the popup opens (its top-left corner) for a click at `click` on the
// screen: beside the click (right of it, else left; below, level or above),
// inside `screen`, never over the click point itself, and over none of the
// `title_bars` (other windows' caption bars with their buttons) where such
// a place exists; else over the least of them.
TPoint ZonePiePlace(TPoint click, int width, int height, const TRect& screen, const std::vector<TRect>& title_bars);

// The caption bars of the program's visible framed windows but `except`.
std::vector<TRect> TitleBarsOfWindows(const TForm* except);

// Legend text of a slice: name, hh:mm:ss of the whole seconds and the share
// of total in percent (0 when total is not above 0).
std::string ZonePieSliceLabel(std::string_view zoneName, double seconds, double total);

}  // namespace tav
