// Zooming the chart, and its mouse handling: clicks on series and legend, and
// dragging a zoom rectangle.
#include "platform/chart.h"

#include <algorithm>

namespace tav {

namespace {

constexpr int kZoomSlack = 4;

}  // namespace

// ---------------------------------------------------------------- zoom and mouse

void TChart::ZoomRect(const TRect& r) {
  if (r.Width() <= 0 || r.Height() <= 0 || series_.empty() || PieMode()) return;
  double lo[4], hi[4];
  for (int i = 0; i < 4; ++i) {
    const TChartAxis& a = Axis(static_cast<TAxisSide>(i));
    if (a.Horizontal()) {
      lo[i] = a.PixelToValue(r.Left);
      hi[i] = a.PixelToValue(r.Right - 1);
    } else {
      lo[i] = a.PixelToValue(r.Bottom - 1);
      hi[i] = a.PixelToValue(r.Top);
    }
  }
  if (!zoomed_) {
    for (int i = 0; i < 4; ++i) {
      const TChartAxis& a = Axis(static_cast<TAxisSide>(i));
      saved_[i] = {a.auto_min_, a.auto_max_, a.set_min_, a.set_max_, a.min_, a.max_};
    }
  }
  for (int i = 0; i < 4; ++i) Axis(static_cast<TAxisSide>(i)).SetMinMax(lo[i], hi[i]);
  zoomed_ = true;
  Invalidate();
}

void TChart::UndoZoom() {
  if (!zoomed_) return;
  for (int i = 0; i < 4; ++i) {
    TChartAxis& a = Axis(static_cast<TAxisSide>(i));
    a.auto_min_ = saved_[i].auto_min;
    a.auto_max_ = saved_[i].auto_max;
    a.set_min_ = saved_[i].set_min;
    a.set_max_ = saved_[i].set_max;
    a.min_ = saved_[i].min;
    a.max_ = saved_[i].max;
  }
  zoomed_ = false;
  Invalidate();
}

void TChart::DoMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TControl::DoMouseDown(button, shift, x, y);
  int index = -1;
  if (TChartSeries* s = SeriesAt(x, y, &index)) {
    Fire(OnClickSeries, this, s, index, button, shift, x, y);
    return;
  }
  if (LegendRect().Contains(x, y)) {
    Fire(OnClickLegend, this, button, shift, x, y);
    return;
  }
  if (AllowZoom && button == TMouseButton::mbLeft && !series_.empty() && !PieMode() && PlotRect().Contains(x, y)) {
    dragging_ = true;
    drag_from_ = drag_to_ = {x, y};
  }
}

void TChart::DoMouseMove(TShiftState shift, int x, int y) {
  if (dragging_) {
    drag_to_ = {x, y};
    Invalidate();
  }
  TControl::DoMouseMove(shift, x, y);
}

void TChart::DoMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (dragging_ && button == TMouseButton::mbLeft) {
    dragging_ = false;
    drag_to_ = {x, y};
    int dx = drag_to_.X - drag_from_.X, dy = drag_to_.Y - drag_from_.Y;
    if (dx >= kZoomSlack && dy >= kZoomSlack) {
      TRect p = PlotRect();
      TRect r{std::max(drag_from_.X, p.Left), std::max(drag_from_.Y, p.Top), std::min(drag_to_.X + 1, p.Right),
              std::min(drag_to_.Y + 1, p.Bottom)};
      ZoomRect(r);
    } else if (dx <= -kZoomSlack || dy <= -kZoomSlack) {
      UndoZoom();
    }
    Invalidate();
  }
  TControl::DoMouseUp(button, shift, x, y);
}

}  // namespace tav
