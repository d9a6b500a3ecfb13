// Painting the chart: panel, titles, grid and axes, pies, legend and the
// zoom rectangle (the series draw themselves in chart_series.cpp).
#include "platform/chart.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/chart_internal.h"

namespace tav {

// ---------------------------------------------------------------- painting

void TChart::DrawAxes(TCanvas& cv, const Geometry& g) {
  const TRect p = g.plot;
  // Grid lines first, under the axis lines.
  for (int i = 0; i < 4; ++i) {
    const Geometry::AxisGeo& ax = g.axes[i];
    const TChartAxis& a = Axis(static_cast<TAxisSide>(i));
    if (!ax.drawn || !a.GridVisible || a.GridPen.Style == TPenStyle::psClear) continue;
    cv.Pen = a.GridPen;
    for (const TAxisLabel& l : ax.labels) {
      if (ax.map.Horizontal) {
        if (l.Pixel <= p.Left || l.Pixel >= p.Right - 1) continue;
        cv.MoveTo(l.Pixel, p.Top);
        cv.LineTo(l.Pixel, p.Bottom);
      } else {
        if (l.Pixel <= p.Top || l.Pixel >= p.Bottom - 1) continue;
        cv.MoveTo(p.Left, l.Pixel);
        cv.LineTo(p.Right, l.Pixel);
      }
    }
  }
  if (Frame.Style != TPenStyle::psClear) {
    cv.Pen = Frame;
    cv.Brush.Style = TBrushStyle::bsClear;
    cv.Rectangle(p.Left, p.Top, p.Right, p.Bottom);
    cv.Brush.Style = TBrushStyle::bsSolid;
  }
  for (int i = 0; i < 4; ++i) {
    const Geometry::AxisGeo& ax = g.axes[i];
    const TChartAxis& a = Axis(static_cast<TAxisSide>(i));
    if (!ax.drawn) continue;
    const TAxisSide side = a.Side();
    const int pos = side == TAxisSide::Left ? p.Left : side == TAxisSide::Right ? p.Right - 1
                    : side == TAxisSide::Top ? p.Top : p.Bottom - 1;
    const int out = side == TAxisSide::Left || side == TAxisSide::Top ? -1 : 1;  // outwards
    const int tick = std::max(0, a.TickLength);
    cv.Pen = a.AxisPen;
    if (ax.map.Horizontal) {
      cv.MoveTo(p.Left, pos);
      cv.LineTo(p.Right, pos);
    } else {
      cv.MoveTo(pos, p.Top);
      cv.LineTo(pos, p.Bottom);
    }
    cv.Font = a.LabelsFont;
    cv.Brush.Style = TBrushStyle::bsClear;
    const int th = cv.TextHeight("0");
    int thick = 0;
    for (const TAxisLabel& l : ax.labels) {
      if (tick > 0) {
        cv.Pen = a.AxisPen;
        cv.Pen.Width = 1;
        if (ax.map.Horizontal) {
          cv.MoveTo(l.Pixel, pos);
          cv.LineTo(l.Pixel, pos + out * (tick + 1));
        } else {
          cv.MoveTo(pos, l.Pixel);
          cv.LineTo(pos + out * (tick + 1), l.Pixel);
        }
      }
      int w = cv.TextWidth(l.Text);
      int base = pos + out * (tick + 2);
      if (ax.map.Horizontal) {
        if (a.LabelsAngle == 90) {
          thick = std::max(thick, w);
          if (out > 0)
            cv.TextOutAngle(l.Pixel - th / 2, base + w, 90, l.Text);
          else
            cv.TextOutAngle(l.Pixel - th / 2, base, 90, l.Text);
        } else {
          thick = std::max(thick, th);
          cv.TextOut(l.Pixel - w / 2, out > 0 ? base : base - th, l.Text);
        }
      } else {
        if (a.LabelsAngle == 90) {
          thick = std::max(thick, th);
          cv.TextOutAngle(out > 0 ? base : base - th, l.Pixel + w / 2, 90, l.Text);
        } else {
          thick = std::max(thick, w);
          cv.TextOut(out > 0 ? base : base - w, l.Pixel - th / 2, l.Text);
        }
      }
    }
    if (!a.Title.empty()) {
      cv.Font = a.TitleFont;
      int tw = cv.TextWidth(a.Title), tth = cv.TextHeight(a.Title);
      int edge = pos + out * (tick + 2 + thick + 2);
      switch (side) {
        case TAxisSide::Left:
          cv.TextOutAngle(edge - tth, (p.Top + p.Bottom) / 2 + tw / 2, 90, a.Title);
          break;
        case TAxisSide::Right:
          cv.TextOutAngle(edge + tth, (p.Top + p.Bottom) / 2 - tw / 2, 270, a.Title);
          break;
        case TAxisSide::Top:
          cv.TextOut((p.Left + p.Right) / 2 - tw / 2, edge - tth, a.Title);
          break;
        case TAxisSide::Bottom:
          cv.TextOut((p.Left + p.Right) / 2 - tw / 2, edge, a.Title);
          break;
      }
    }
    cv.Brush.Style = TBrushStyle::bsSolid;
  }
}

void TChart::DrawLegend(TCanvas& cv, const Geometry& g) {
  if (g.items.empty()) return;
  const TRect r = g.legend_rect;
  cv.Brush = TBrush{Legend.Color, TBrushStyle::bsSolid};
  cv.FillRect(r);
  cv.Font = Legend.Font;
  int th = cv.TextHeight("0");
  for (size_t i = 0; i < g.items.size(); ++i) {
    const Geometry::LegendItem& it = g.items[i];
    TColor c = it.point >= 0 ? it.series->PointColor(it.point) : it.series->SeriesColor;
    // A curve's entry shows the colour its line is drawn in.
    if (it.series->Type() == TSeriesType::stLine || it.series->Type() == TSeriesType::stPoint) c = CurveColour(c);
    int sy = (it.rect.Top + it.rect.Bottom - kLegendSymbol) / 2;
    cv.Pen = TPen{clBlack, 1, TPenStyle::psSolid};
    cv.Brush = TBrush{c, TBrushStyle::bsSolid};
    cv.Rectangle(it.rect.Left + 4, sy, it.rect.Left + 4 + kLegendSymbol, sy + kLegendSymbol);
    cv.Brush.Style = TBrushStyle::bsClear;
    cv.TextOut(it.rect.Left + 4 + kLegendSymbol + 6, (it.rect.Top + it.rect.Bottom - th) / 2, it.text);
  }
  if (Legend.DividingLines) {
    cv.Pen = TPen{Legend.DividingLinesColor, 1, TPenStyle::psSolid};
    for (size_t i = 0; i < g.items.size(); ++i) {
      const TRect& ir = g.items[i].rect;
      if (ir.Bottom < r.Bottom - 2) {
        cv.MoveTo(ir.Left, ir.Bottom);
        cv.LineTo(ir.Right, ir.Bottom);
      }
      if (ir.Right < r.Right - 2) {
        cv.MoveTo(ir.Right, ir.Top);
        cv.LineTo(ir.Right, ir.Bottom);
      }
    }
  }
  if (Legend.Frame.Style != TPenStyle::psClear) {
    cv.Pen = Legend.Frame;
    cv.Brush.Style = TBrushStyle::bsClear;
    cv.Rectangle(r);
  }
  cv.Brush.Style = TBrushStyle::bsSolid;
}

void TChart::Paint(TCanvas& cv) {
  const Geometry g = Geo();  // a copy: handlers below may change the chart
  cv.ClearClipRect();
  cv.Pen = TPen{};
  if (Gradient.Visible) {
    cv.GradientFill(g.panel, Gradient.StartColor, Gradient.EndColor, Gradient.Vertical);
  } else {
    cv.Brush = TBrush{Color, TBrushStyle::bsSolid};
    cv.FillRect(g.panel);
  }

  auto draw_title = [&](const TChartTitle& t, const TRect& r) {
    if (r.Width() <= 0 || t.Text.Empty()) return;
    cv.Font = t.Font;
    cv.Brush.Style = TBrushStyle::bsClear;
    int lh = cv.TextHeight("0");
    int y = r.Top + 2;
    for (const std::string& line : t.Text) {
      int w = cv.TextWidth(line);
      int x = t.Alignment == TAlignment::taLeftJustify    ? r.Left
              : t.Alignment == TAlignment::taRightJustify ? r.Right - w
                                                          : (r.Left + r.Right - w) / 2;
      cv.TextOut(x, y, line);
      y += lh;
    }
    cv.Brush.Style = TBrushStyle::bsSolid;
  };
  draw_title(Title, g.title_rect);
  draw_title(Foot, g.foot_rect);

  if (!g.series_less) {
    if (!g.pie_mode && IsRealColor(BackColor)) {
      cv.Brush = TBrush{BackColor, TBrushStyle::bsSolid};
      cv.FillRect(g.plot);
    }
    Fire(OnBeforeDrawAxes, this, cv);
    if (!g.pie_mode) DrawAxes(cv, g);
    for (const auto& s : series_) {
      if (!s->Active) continue;
      if (s->Type() == TSeriesType::stPie) {
        if (!g.pie_mode) continue;
        const TRect b = g.pie_bounds;
        double total = PieTotal(s->YValues());
        if (total <= 0 || b.Width() <= 0) continue;
        cv.Pen = TPen{s->PiePenColor, 1, TPenStyle::psSolid};
        double start = s->PieStartAngle;
        if (!Finite(start)) start = 90.0;
        for (int i = 0; i < s->Count(); ++i) {
          double sweep = PieValue(s->YValue(i)) / total * 360.0;
          if (sweep <= 0) continue;
          cv.Brush = TBrush{s->PointColor(i), TBrushStyle::bsSolid};
          cv.PieSlice(b, start, -sweep);
          start -= sweep;
        }
        if (s->MarksVisible) {
          cv.Font = s->MarksFont;
          cv.Brush.Style = TBrushStyle::bsClear;
          double cx = (b.Left + b.Right - 1) / 2.0, cy = (b.Top + b.Bottom - 1) / 2.0, rad = (b.Width() - 1) / 2.0;
          double a = s->PieStartAngle;
          for (int i = 0; i < s->Count(); ++i) {
            double sweep = PieValue(s->YValue(i)) / total * 360.0;
            if (sweep <= 0) continue;
            double mid = (a - sweep / 2) * M_PI / 180.0;
            a -= sweep;
            const std::string& text = s->Label(i).empty() ? FormatChartValue(s->YValue(i), s->ValueFormat) : s->Label(i);
            int ex = static_cast<int>(std::lround(cx + std::cos(mid) * rad));
            int ey = static_cast<int>(std::lround(cy - std::sin(mid) * rad));
            int mx = static_cast<int>(std::lround(cx + std::cos(mid) * (rad + 10)));
            int my = static_cast<int>(std::lround(cy - std::sin(mid) * (rad + 10)));
            cv.Pen = TPen{clBlack, 1, TPenStyle::psSolid};
            cv.MoveTo(ex, ey);
            cv.LineTo(mx, my);
            int tw = cv.TextWidth(text), th = cv.TextHeight(text);
            cv.TextOut(std::cos(mid) >= 0 ? mx + 2 : mx - 2 - tw, my - th / 2, text);
          }
          cv.Brush.Style = TBrushStyle::bsSolid;
        }
        continue;
      }
      if (!g.pie_mode) DrawSeries(cv, *s, g);
    }
    DrawLegend(cv, g);
    if (dragging_) {
      int x1 = std::min(drag_from_.X, drag_to_.X), x2 = std::max(drag_from_.X, drag_to_.X);
      int y1 = std::min(drag_from_.Y, drag_to_.Y), y2 = std::max(drag_from_.Y, drag_to_.Y);
      cv.Pen = TPen{clBlack, 1, TPenStyle::psDot};
      cv.Brush.Style = TBrushStyle::bsClear;
      cv.Rectangle(x1, y1, x2 + 1, y2 + 1);
      cv.Brush.Style = TBrushStyle::bsSolid;
    }
  }
  cv.ClearClipRect();
  cv.Pen = TPen{};
  cv.Brush = TBrush{};
  Fire(OnAfterDraw, this, cv);
}

}  // namespace tav
