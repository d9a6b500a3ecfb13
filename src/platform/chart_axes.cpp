// Chart axes: value formats, the mapping between values and pixels, axis
// ranges and labels, and the layout that makes room for titles, legend and
// axes.
#include "platform/chart.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "platform/chart_internal.h"
#include "platform/text.h"

namespace tav {

namespace {

constexpr size_t kMaxAxisLabels = 2000;

// The smallest of 1, 2, 5 x 10^n not below x.
double NiceStepAtLeast(double x) {
  if (!(x > 0) || !Finite(x)) return 1.0;
  double e = std::floor(std::log10(x));
  double base = std::pow(10.0, e);
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * base >= x * (1 - 1e-9)) return m * base;
  return 10.0 * base;
}

}  // namespace

// ---------------------------------------------------------------- value format

std::string FormatChartValue(double value, const std::string& pattern) {
  if (!Finite(value)) return {};
  size_t dot = pattern.find('.');
  int min_dec = 0, max_dec = 0;
  if (dot != std::string::npos) {
    for (size_t i = dot + 1; i < pattern.size(); ++i) {
      if (pattern[i] == '0') {
        ++min_dec;
        ++max_dec;
      } else if (pattern[i] == '#') {
        ++max_dec;
      } else {
        break;
      }
    }
  }
  bool group = pattern.substr(0, dot).find(',') != std::string::npos;
  max_dec = std::min(max_dec, 15);
  std::string s = Format("%.*f", max_dec, value);
  if (max_dec > min_dec) {
    size_t p = s.find('.');
    if (p != std::string::npos) {
      size_t keep = p + 1 + static_cast<size_t>(min_dec);
      while (s.size() > keep && s.back() == '0') s.pop_back();
      if (s.back() == '.') s.pop_back();
    }
  }
  bool negative = !s.empty() && s[0] == '-';
  if (negative && s.find_first_not_of("-0.") == std::string::npos) {
    s.erase(0, 1);  // no "-0"
    negative = false;
  }
  if (group) {
    size_t start = negative ? 1 : 0;
    size_t end = s.find('.');
    if (end == std::string::npos) end = s.size();
    for (size_t i = end; i > start + 3; i -= 3) s.insert(i - 3, 1, ',');
  }
  return s;
}

// ---------------------------------------------------------------- mapping

double TAxisMapping::LogPixel(double v) const {
  if (!(v > 0)) return Horizontal ? -kPixelLimit : kPixelLimit;
  double t = (std::log10(v) - std::log10(Min)) / (std::log10(Max) - std::log10(Min));
  if (std::isnan(t)) return Start;
  double len = End - Start;
  double p = Horizontal ? Start + t * len : End - t * len;
  return std::clamp(p, -kPixelLimit, kPixelLimit);
}

double TAxisMapping::ToValue(double pixel) const {
  double len = End - Start;
  if (len <= 0) return Min;
  double t = Horizontal ? (pixel - Start) / len : (End - pixel) / len;
  if (Logarithmic) {
    double a = std::log10(Min), b = std::log10(Max);
    return std::pow(10.0, a + t * (b - a));
  }
  return Min + t * (Max - Min);
}

// ---------------------------------------------------------------- axis

TChartAxis::TChartAxis(TChart* chart, TAxisSide side) : chart_(chart), side_(side) {
  TitleFont.Style = fsBold;
  if (side == TAxisSide::Left || side == TAxisSide::Bottom) GridVisible = true;
}

void TChartAxis::SetAutomatic(bool on) {
  SetAutomaticMinimum(on);
  SetAutomaticMaximum(on);
}

void TChartAxis::SetAutomaticMinimum(bool on) {
  if (on == auto_min_) return;
  if (!on && !set_min_) min_ = Minimum();
  auto_min_ = on;
  set_min_ = false;
  chart_->Invalidate();
}

void TChartAxis::SetAutomaticMaximum(bool on) {
  if (on == auto_max_) return;
  if (!on && !set_max_) max_ = Maximum();
  auto_max_ = on;
  set_max_ = false;
  chart_->Invalidate();
}

void TChartAxis::SetMinimum(double v) {
  if (!Finite(v)) return;
  min_ = v;
  if (auto_min_) set_min_ = true;
  chart_->Invalidate();
}

void TChartAxis::SetMaximum(double v) {
  if (!Finite(v)) return;
  max_ = v;
  if (auto_max_) set_max_ = true;
  chart_->Invalidate();
}

void TChartAxis::SetMinMax(double min, double max) {
  if (Finite(min)) min_ = min;
  if (Finite(max)) max_ = max;
  auto_min_ = auto_max_ = false;
  set_min_ = set_max_ = false;
  chart_->Invalidate();
}

namespace {

// The automatic range of an axis: extremes of the active series on it.
struct AutoRange {
  bool any = false;
  double lo = 0, hi = 0;
  void Add(double a, double b) {
    if (!Finite(a) || !Finite(b)) return;
    if (!any) {
      lo = a;
      hi = b;
      any = true;
    } else {
      lo = std::min(lo, a);
      hi = std::max(hi, b);
    }
  }
};

}  // namespace

// The range in use for an axis: min < max, both positive on log axes.
static void EffectiveRange(const TChart& chart, const TChartAxis& axis, bool auto_min, bool auto_max,
                           double fixed_min, double fixed_max, double& lo, double& hi) {
  AutoRange r;
  const bool horiz = axis.Horizontal();
  const bool log = axis.Logarithmic;
  for (int i = 0; i < chart.SeriesCount(); ++i) {
    const TChartSeries& s = *chart.Series(i);
    if (!s.Active || s.Type() == TSeriesType::stPie || s.Count() == 0) continue;
    if (horiz ? &s.GetHorizAxis() != &axis : &s.GetVertAxis() != &axis) continue;
    if (horiz) {
      if (log) {
        if (s.MinPositiveXValue() > 0) r.Add(s.MinPositiveXValue(), s.MaxXValue());
      } else if (s.Type() == TSeriesType::stBar) {
        double half = s.XValues().empty() ? 0.5 : 0.5 * std::fabs(s.BarSpacing());
        r.Add(s.MinXValue() - half, s.MaxXValue() + half);
      } else if (s.MinXValue() <= s.MaxXValue()) {
        r.Add(s.MinXValue(), s.MaxXValue());
      }
    } else {
      if (log) {
        if (s.MinPositiveYValue() > 0) r.Add(s.MinPositiveYValue(), s.MaxYValue());
      } else if (s.Type() == TSeriesType::stBar) {
        r.Add(std::min(0.0, s.MinYValue()), std::max(0.0, s.MaxYValue()));
      } else {
        r.Add(s.MinYValue(), s.MaxYValue());
      }
    }
  }
  // Series with points but no finite values give nothing: the range then
  // stays at its default.
  double alo = r.any ? r.lo : (log ? 1.0 : 0.0);
  double ahi = r.any ? r.hi : (log ? 10.0 : 0.0);
  lo = auto_min ? alo : fixed_min;
  hi = auto_max ? ahi : fixed_max;
  if (!Finite(lo)) lo = alo;
  if (!Finite(hi)) hi = ahi;
  if (lo > hi) std::swap(lo, hi);
  // Keep the span itself finite.
  lo = std::max(lo, -1e300);
  hi = std::min(hi, 1e300);
  if (log) {
    if (!(hi > 0)) hi = r.any && r.hi > 0 ? r.hi : 10.0;
    if (!(lo > 0)) lo = hi / 1000.0;
    if (hi / lo < 1.0 + 1e-12) {
      lo /= 10.0;
      hi *= 10.0;
    }
  } else if (const double size = std::max(std::fabs(hi), std::fabs(lo)); hi - lo <= size * 1e-12) {
    // One value: a span of 2 around it, wider where the value is so large
    // that adding 1 would change nothing.
    const double pad = std::max(1.0, size * 1e-9);
    lo -= pad;
    hi += pad;
  }
}

double TChartAxis::Minimum() const {
  if (!auto_min_) return min_;
  double lo, hi;
  EffectiveRange(*chart_, *this, auto_min_, auto_max_, min_, max_, lo, hi);
  return lo;
}

double TChartAxis::Maximum() const {
  if (!auto_max_) return max_;
  double lo, hi;
  EffectiveRange(*chart_, *this, auto_min_, auto_max_, min_, max_, lo, hi);
  return hi;
}

TAxisMapping TChartAxis::Mapping() const { return chart_->Geo().axes[SideIndex(side_)].map; }
int TChartAxis::StartPos() const { return Mapping().Start; }
int TChartAxis::EndPos() const { return Mapping().End; }

int TChartAxis::Position() const {
  TRect p = chart_->PlotRect();
  switch (side_) {
    case TAxisSide::Left: return p.Left;
    case TAxisSide::Right: return p.Right - 1;
    case TAxisSide::Top: return p.Top;
    case TAxisSide::Bottom: return p.Bottom - 1;
  }
  return 0;
}

int TChartAxis::ValueToPixel(double v) const { return Mapping().ToPixel(v); }
double TChartAxis::PixelToValue(int pixel) const { return Mapping().ToValue(pixel); }
std::vector<TAxisLabel> TChartAxis::Labels() const { return chart_->Geo().axes[SideIndex(side_)].labels; }
bool TChartAxis::Drawn() const { return chart_->Geo().axes[SideIndex(side_)].drawn; }

// ---------------------------------------------------------------- layout

namespace {

struct LabelFit {
  bool horizontal;
  int angle;
  int text_h;
};

// Extent of a label along its axis.
int AlongExtent(const LabelFit& f, int text_w) {
  bool across = f.horizontal ? f.angle == 90 : f.angle != 90;  // the text's height lies along the axis
  return across ? f.text_h : text_w;
}

// Keeps labels in pixel order that do not overlap the one kept before.
// Labels come out from the minimum end of the axis on (left to right, or
// bottom to top).
std::vector<TAxisLabel> Thin(std::vector<TAxisLabel> labels, const TFont& font, const LabelFit& fit) {
  const int dir = fit.horizontal ? 1 : -1;
  for (TAxisLabel& l : labels) l.Pixel *= dir;
  std::stable_sort(labels.begin(), labels.end(),
                   [](const TAxisLabel& a, const TAxisLabel& b) { return a.Pixel < b.Pixel; });
  std::vector<TAxisLabel> kept;
  const int gap = fit.horizontal && fit.angle != 90 ? 6 : 2;
  long long last_end = LLONG_MIN / 2;
  const int min_extent = AlongExtent(fit, 0);
  for (TAxisLabel& l : labels) {
    // Even the narrowest label cannot fit: skip without measuring.
    if (l.Pixel - min_extent / 2 < last_end + gap && min_extent > 0 && !fit.horizontal) continue;
    int ext = AlongExtent(fit, fit.horizontal && fit.angle != 90 ? MeasureTextWidth(font, l.Text) : 0);
    if (!fit.horizontal && fit.angle == 90) ext = MeasureTextWidth(font, l.Text);
    long long start = l.Pixel - ext / 2;
    if (start < last_end + gap) continue;
    last_end = start + ext;
    kept.push_back(std::move(l));
  }
  for (TAxisLabel& l : kept) l.Pixel *= dir;
  return kept;
}

}  // namespace

static std::vector<TAxisLabel> ComputeLabels(const TChart& chart, const TChartAxis& axis, const TAxisMapping& m) {
  std::vector<TAxisLabel> out;
  if (axis.LabelStyle == TAxisLabelStyle::talNone) return out;
  const bool horiz = axis.Horizontal();
  LabelFit fit{horiz, axis.LabelsAngle == 90 ? 90 : 0, MeasureTextHeight(axis.LabelsFont)};
  const double lo = m.Min, hi = m.Max;
  const int length = std::max(1, m.End - m.Start);

  // Text labels from the points of a series.
  const TChartSeries* text_series = nullptr;
  if (axis.LabelStyle == TAxisLabelStyle::talText || (axis.LabelStyle == TAxisLabelStyle::talAuto && horiz)) {
    if (axis.LabelsSeries != nullptr && chart.SeriesIndex(axis.LabelsSeries) >= 0) {
      text_series = axis.LabelsSeries;
    } else {
      for (int i = 0; i < chart.SeriesCount(); ++i) {
        const TChartSeries* s = chart.Series(i);
        if (!s->Active || s->Type() == TSeriesType::stPie || !s->HasLabels()) continue;
        if (horiz ? &s->GetHorizAxis() != &axis : &s->GetVertAxis() != &axis) continue;
        text_series = s;
        break;
      }
    }
  }
  if (text_series != nullptr) {
    const auto& vals = horiz ? text_series->XValues() : text_series->YValues();
    const double tol = (hi - lo) * 1e-9;
    for (int i = 0; i < text_series->Count(); ++i) {
      const std::string& t = text_series->Label(i);
      double v = vals[static_cast<size_t>(i)];
      if (t.empty() || !Finite(v) || v < lo - tol || v > hi + tol) continue;
      if (m.Logarithmic && !(v > 0)) continue;
      out.push_back({v, m.ToPixel(v), t});
    }
    return Thin(std::move(out), axis.LabelsFont, fit);
  }
  if (axis.LabelStyle == TAxisLabelStyle::talText) return out;

  // Value labels.
  auto label_extent = [&](double step) {
    if (AlongExtent(fit, 0) > 0 && !(horiz && fit.angle != 90) && !(!horiz && fit.angle == 90))
      return fit.text_h + fit.text_h / 2;
    int w = 0;
    for (double v : {lo, hi, (lo + hi) / 2, lo + step})
      w = std::max(w, MeasureTextWidth(axis.LabelsFont, FormatChartValue(v, axis.ValueFormat)));
    return w + 10;
  };
  if (m.Logarithmic) {
    double a = std::log10(lo), b = std::log10(hi);
    double per_decade = length / std::max(1e-9, b - a);
    int ext = label_extent(hi);
    std::vector<double> mult{1.0};
    if (per_decade >= ext * 10.0)
      mult = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    else if (per_decade >= ext * 3.0)
      mult = {1, 2, 5};
    int decade_step = std::max(1, static_cast<int>(std::ceil(ext / std::max(1e-9, per_decade))));
    int e0 = static_cast<int>(std::floor(a)), e1 = static_cast<int>(std::ceil(b));
    e0 = std::max(e0, -300);
    e1 = std::min(e1, 300);
    for (int e = e0 - ((e0 % decade_step) + decade_step) % decade_step; e <= e1; e += decade_step) {
      for (double k : mult) {
        double v = k * std::pow(10.0, e);
        if (v < lo * (1 - 1e-9) || v > hi * (1 + 1e-9)) continue;
        out.push_back({v, m.ToPixel(v), FormatChartValue(v, axis.ValueFormat)});
        if (out.size() > kMaxAxisLabels) break;
      }
    }
    return Thin(std::move(out), axis.LabelsFont, fit);
  }
  double range = hi - lo;
  double inc = Finite(axis.Increment) && axis.Increment > 0 ? axis.Increment : 0.0;
  double step = NiceStepAtLeast(range / 10);
  for (int pass = 0; pass < 2; ++pass) {
    double min_step = range * label_extent(step) / length;
    step = inc >= min_step && inc > 0 ? inc : NiceStepAtLeast(std::max(min_step, inc));
  }
  if (!(step > 0) || range / step > kMaxAxisLabels) step = NiceStepAtLeast(range / kMaxAxisLabels);
  double first = axis.RoundFirstLabel ? std::ceil(lo / step - 1e-9) * step : lo;
  for (size_t k = 0; k <= kMaxAxisLabels; ++k) {
    double v = first + static_cast<double>(k) * step;
    if (v > hi + step * 1e-9) break;
    if (std::fabs(v) < step * 1e-9) v = 0.0;
    out.push_back({v, m.ToPixel(v), FormatChartValue(v, axis.ValueFormat)});
  }
  return Thin(std::move(out), axis.LabelsFont, fit);
}

static bool AxisUsed(const TChart& chart, const TChartAxis& axis) {
  for (int i = 0; i < chart.SeriesCount(); ++i) {
    const TChartSeries* s = chart.Series(i);
    if (!s->Active || s->Type() == TSeriesType::stPie) continue;
    if (axis.Horizontal() ? &s->GetHorizAxis() == &axis : &s->GetVertAxis() == &axis) return true;
  }
  return false;
}

void TChart::ComputeGeometry(Geometry& g) const {
  g.panel = {0, 0, std::max(0, Width), std::max(0, Height)};
  TRect m = MarginPixels();
  TRect inner{g.panel.Left + m.Left, g.panel.Top + m.Top, g.panel.Right - m.Right, g.panel.Bottom - m.Bottom};
  g.series_less = series_.empty();
  g.pie_mode = PieMode();

  auto place_title = [&](const TChartTitle& t, bool top) {
    if (!t.Visible || t.Text.Empty()) return TRect{};
    int h = t.Text.Count() * MeasureTextHeight(t.Font) + 4;
    TRect r{inner.Left, top ? inner.Top : inner.Bottom - h, inner.Right, top ? inner.Top + h : inner.Bottom};
    if (top) inner.Top += h + 2; else inner.Bottom -= h + 2;
    return r;
  };
  g.title_rect = place_title(Title, true);
  g.foot_rect = place_title(Foot, false);

  for (int i = 0; i < 4; ++i) {
    const TChartAxis& a = Axis(static_cast<TAxisSide>(i));
    g.axes[i].map.Horizontal = a.Horizontal();
    g.axes[i].map.Logarithmic = a.Logarithmic;
    EffectiveRange(*this, a, a.auto_min_, a.auto_max_, a.min_, a.max_, g.axes[i].map.Min, g.axes[i].map.Max);
  }

  if (g.series_less) {
    g.plot = inner;
    for (auto& ax : g.axes) {
      ax.map.Start = ax.map.Horizontal ? inner.Left : inner.Top;
      ax.map.End = std::max(ax.map.Start, (ax.map.Horizontal ? inner.Right : inner.Bottom) - 1);
    }
    return;
  }

  // Legend.
  if (Legend.Visible) {
    const TChartSeries* only = nullptr;
    int active = 0;
    for (const auto& s : series_)
      if (s->Active) {
        ++active;
        only = s.get();
      }
    bool points = Legend.LegendStyle == TLegendStyle::lsValues ||
                  (Legend.LegendStyle == TLegendStyle::lsAuto && active == 1 && only->Type() == TSeriesType::stPie);
    if (points && Legend.LegendStyle == TLegendStyle::lsValues && only == nullptr) points = false;
    g.legend_points = points;
    if (points) {
      const TChartSeries* s = only;
      if (Legend.LegendStyle == TLegendStyle::lsValues)
        for (const auto& c : series_)
          if (c->Active) {
            s = c.get();
            break;
          }
      double total = PieTotal(s->YValues());
      for (int i = 0; i < s->Count(); ++i) {
        std::string value = FormatChartValue(s->YValue(i), s->ValueFormat);
        const std::string& label = s->Label(i);
        std::string text;
        switch (Legend.TextStyle) {
          case TLegendTextStyle::ltsPlain: text = label.empty() ? value : label; break;
          case TLegendTextStyle::ltsLeftValue: text = value + " " + label; break;
          case TLegendTextStyle::ltsRightValue: text = label + " " + value; break;
          case TLegendTextStyle::ltsValue: text = value; break;
          case TLegendTextStyle::ltsPercent:
            text = Format("%.1f %%", total > 0 ? PieValue(s->YValue(i)) * 100.0 / total : 0.0);
            break;
        }
        g.items.push_back({{}, const_cast<TChartSeries*>(s), i, text});
      }
    } else {
      for (const auto& s : series_)
        if (s->Active && s->ShowInLegend)
          g.items.push_back({{}, s.get(), -1, s->Title.empty() ? Format("Series%d", s->Index() + 1) : s->Title});
    }
  }
  if (!g.items.empty()) {
    int th = MeasureTextHeight(Legend.Font);
    int item_h = std::max(th, kLegendSymbol) + 4;
    int text_w = 0;
    for (const auto& it : g.items) text_w = std::max(text_w, MeasureTextWidth(Legend.Font, it.text));
    int cell_w = 4 + kLegendSymbol + 6 + text_w + 6;
    int n = static_cast<int>(g.items.size());
    bool vertical = Legend.Alignment == TLegendAlignment::laLeft || Legend.Alignment == TLegendAlignment::laRight;
    int cols, rows;
    if (vertical) {
      rows = std::max(1, std::min(n, (inner.Height() - 4) / item_h));
      cols = 1;
    } else {
      cols = std::clamp((inner.Width() - 4) / std::max(1, cell_w), 1, n);
      rows = (n + cols - 1) / cols;
      rows = std::max(1, std::min(rows, std::max(1, inner.Height() / 2 / item_h)));
    }
    int shown = std::min(n, rows * cols);
    g.items.resize(static_cast<size_t>(shown));
    int w = cols * cell_w + 2, h = rows * item_h + 2;
    TRect r;
    switch (Legend.Alignment) {
      case TLegendAlignment::laRight:
        r = {inner.Right - w, inner.Top, inner.Right, inner.Top + h};
        inner.Right -= w + 6;
        break;
      case TLegendAlignment::laLeft:
        r = {inner.Left, inner.Top, inner.Left + w, inner.Top + h};
        inner.Left += w + 6;
        break;
      case TLegendAlignment::laTop: {
        int x = inner.Left + (inner.Width() - w) / 2;
        r = {x, inner.Top, x + w, inner.Top + h};
        inner.Top += h + 6;
        break;
      }
      case TLegendAlignment::laBottom: {
        int x = inner.Left + (inner.Width() - w) / 2;
        r = {x, inner.Bottom - h, x + w, inner.Bottom};
        inner.Bottom -= h + 6;
        break;
      }
    }
    g.legend_rect = r;
    g.legend_cols = cols;
    g.legend_rows = rows;
    for (int i = 0; i < shown; ++i) {
      int c = vertical ? 0 : i % cols, row = vertical ? i : i / cols;
      g.items[static_cast<size_t>(i)].rect = {r.Left + 1 + c * cell_w, r.Top + 1 + row * item_h,
                                              r.Left + 1 + (c + 1) * cell_w, r.Top + 1 + (row + 1) * item_h};
    }
  }

  if (g.pie_mode) {
    g.plot = inner;
    int marks = 0;
    for (const auto& s : series_)
      if (s->Active && s->MarksVisible) {
        int th = MeasureTextHeight(s->MarksFont);
        int w = 0;
        for (int i = 0; i < s->Count(); ++i) w = std::max(w, MeasureTextWidth(s->MarksFont, s->Label(i)));
        marks = std::max(marks, std::min(w + 16, std::max(th + 12, inner.Width() / 4)));
      }
    int size = std::min(inner.Width() - 2 * marks, inner.Height() - (marks > 0 ? 2 * (MeasureTextHeight(TFont{}) + 12) : 0)) - 8;
    size = std::max(0, size);
    int x = inner.Left + (inner.Width() - size) / 2, y = inner.Top + (inner.Height() - size) / 2;
    g.pie_bounds = {x, y, x + size, y + size};
    for (auto& ax : g.axes) {
      ax.map.Start = ax.map.Horizontal ? inner.Left : inner.Top;
      ax.map.End = std::max(ax.map.Start, (ax.map.Horizontal ? inner.Right : inner.Bottom) - 1);
    }
    return;
  }

  // Axes: the space each drawn axis takes depends on its labels, which
  // depend on the plot size; two rounds settle it.
  bool any_used = false;
  for (int i = 0; i < 4; ++i) any_used = any_used || AxisUsed(*this, Axis(static_cast<TAxisSide>(i)));
  for (int i = 0; i < 4; ++i) {
    const TChartAxis& a = Axis(static_cast<TAxisSide>(i));
    bool default_axis = a.Side() == TAxisSide::Left || a.Side() == TAxisSide::Bottom;
    g.axes[i].drawn = AxesVisible && a.Visible && (AxisUsed(*this, a) || (!any_used && default_axis));
  }
  TRect plot = inner;
  for (int round = 0; round < 3; ++round) {
    int space[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
      Geometry::AxisGeo& ax = g.axes[i];
      ax.map.Start = ax.map.Horizontal ? plot.Left : plot.Top;
      ax.map.End = std::max(ax.map.Start, (ax.map.Horizontal ? plot.Right : plot.Bottom) - 1);
      const TChartAxis& a = Axis(static_cast<TAxisSide>(i));
      ax.labels.clear();
      if (!ax.drawn) continue;
      if (a.LabelsVisible) ax.labels = ComputeLabels(*this, a, ax.map);
      int th = MeasureTextHeight(a.LabelsFont);
      int thick = 0;
      for (const auto& l : ax.labels) {
        int w = MeasureTextWidth(a.LabelsFont, l.Text);
        bool along = ax.map.Horizontal ? a.LabelsAngle == 90 : a.LabelsAngle != 90;
        thick = std::max(thick, along ? w : th);
      }
      int s = std::max(0, a.TickLength) + 2 + thick + 2;
      if (!a.Title.empty()) s += MeasureTextHeight(a.TitleFont) + 4;
      space[i] = s;
      ax.space = s;
    }
    // Value marks above the bars need room over the plot.
    for (const auto& s : series_)
      if (s->Active && s->Type() == TSeriesType::stBar && s->MarksVisible && s->Count() > 0)
        space[SideIndex(TAxisSide::Top)] =
            std::max(space[SideIndex(TAxisSide::Top)], MeasureTextHeight(s->MarksFont) + 2 + 8);
    TRect next = inner;
    next.Left += space[SideIndex(TAxisSide::Left)];
    next.Right -= space[SideIndex(TAxisSide::Right)];
    next.Top += space[SideIndex(TAxisSide::Top)];
    next.Bottom -= space[SideIndex(TAxisSide::Bottom)];
    // Half a label may stick out at the ends of the axes.
    if (next.Right <= next.Left) next.Right = next.Left + 1;
    if (next.Bottom <= next.Top) next.Bottom = next.Top + 1;
    bool same = next == plot;
    plot = next;
    if (same && round > 0) break;
  }
  g.plot = plot;
  for (int i = 0; i < 4; ++i) {
    Geometry::AxisGeo& ax = g.axes[i];
    ax.map.Start = ax.map.Horizontal ? plot.Left : plot.Top;
    ax.map.End = std::max(ax.map.Start, (ax.map.Horizontal ? plot.Right : plot.Bottom) - 1);
    const TChartAxis& a = Axis(static_cast<TAxisSide>(i));
    if (ax.drawn && a.LabelsVisible) ax.labels = ComputeLabels(*this, a, ax.map);
  }
}

}  // namespace tav
