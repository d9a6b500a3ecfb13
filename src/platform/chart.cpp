#include "platform/chart.h"

#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QRect>

#include <algorithm>
#include <cstring>
#include <limits>
#include <climits>
#include <cmath>
#include <numeric>

#include "platform/canvas_qt.h"
#include "platform/text.h"
#include "platform/vector_state.h"

namespace tav {

namespace {

constexpr double kPixelLimit = 1e7;
constexpr int kLegendSymbol = 12;
constexpr int kZoomSlack = 4;
constexpr size_t kMaxAxisLabels = 2000;

bool Finite(double v) { return std::isfinite(v); }

int SideIndex(TAxisSide s) { return static_cast<int>(s); }

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

// ---------------------------------------------------------------- geometry

struct TChart::Geometry {
  struct AxisGeo {
    bool drawn = false;
    TAxisMapping map;
    std::vector<TAxisLabel> labels;
    int space = 0;  // pixels taken outside the plot
  };
  struct LegendItem {
    TRect rect;
    TChartSeries* series = nullptr;
    int point = -1;
    std::string text;
  };
  TRect panel, plot, title_rect, foot_rect, legend_rect, pie_bounds;
  bool series_less = false, pie_mode = false, legend_points = false;
  int legend_cols = 1, legend_rows = 0;
  AxisGeo axes[4];
  std::vector<LegendItem> items;
};

struct TChart::LayoutKey {
  struct AxisKey {
    bool auto_min = true, auto_max = true, set_min = false, set_max = false;
    double min = 0, max = 0;
    bool log = false;
    double inc = 0;
    bool round = true, visible = true;
    std::string title;
    TFont title_font;
    bool labels_visible = true;
    TFont labels_font;
    int angle = 0;
    std::string format;
    TAxisLabelStyle style = TAxisLabelStyle::talAuto;
    const TChartSeries* labels_series = nullptr;
    int tick = 0;
    bool operator==(const AxisKey&) const = default;
  };
  struct SeriesKey {
    const TChartSeries* p = nullptr;
    TSeriesType type = TSeriesType::stLine;
    bool active = false, legend = false;
    std::string title;
    THorizAxis h = THorizAxis::aBottomAxis;
    TVertAxis v = TVertAxis::aLeftAxis;
    uint64_t revision = 0;
    int bar_width = 0;
    bool marks = false;
    std::string format;
    TFont marks_font;
    bool operator==(const SeriesKey&) const = default;
  };
  int w = 0, h = 0, ml = 0, mt = 0, mr = 0, mb = 0;
  TMarginUnits mu = TMarginUnits::muPercent;
  bool axes_visible = true;
  bool title_visible = false, foot_visible = false;
  TFont title_font, foot_font;
  std::vector<std::string> title_lines, foot_lines;
  bool legend_visible = false;
  TLegendAlignment legend_align = TLegendAlignment::laRight;
  TLegendStyle legend_style = TLegendStyle::lsAuto;
  TLegendTextStyle legend_text = TLegendTextStyle::ltsPlain;
  TFont legend_font;
  AxisKey axes[4];
  std::vector<SeriesKey> series;
  bool operator==(const LayoutKey&) const = default;
};

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
  } else if (hi - lo <= std::max(std::fabs(hi), std::fabs(lo)) * 1e-12) {
    lo -= 1.0;
    hi += 1.0;
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

// ---------------------------------------------------------------- series

TChartSeries::TChartSeries(TChart* chart, TSeriesType type) : chart_(chart), type_(type) {
  MarksFont.Size = 8;
  stats_.valid = stats_.pos_valid = true;  // no points: nothing to measure
}

int TChartSeries::Index() const { return chart_->SeriesIndex(this); }

TChartAxis& TChartSeries::GetHorizAxis() const {
  return HorizAxis == THorizAxis::aTopAxis ? chart_->TopAxis : chart_->BottomAxis;
}

TChartAxis& TChartSeries::GetVertAxis() const {
  return VertAxis == TVertAxis::aRightAxis ? chart_->RightAxis : chart_->LeftAxis;
}

void TChartSeries::Touch() {
  ++revision_;
  chart_->SeriesChanged();
}

void TChartSeries::Clear() {
  xs_.clear();
  ys_.clear();
  colors_.clear();
  labels_.clear();
  label_count_ = 0;
  stats_ = Stats{};
  stats_.valid = stats_.pos_valid = true;
  Touch();
}

namespace {
// Extremes, finiteness and order of a run of points.
struct RunStats {
  double x_lo, x_hi, y_lo, y_hi;  // over the points with both values finite; lo > hi: none
  bool all_finite;                // every value finite
  bool x_sorted;                  // all finite, and x never falls within the run
};

// Vectors of 2 and 4 doubles.
template <int lanes>
struct DoubleLanes;
template <>
struct DoubleLanes<2> {
  using V = double __attribute__((vector_size(16)));
};
template <>
struct DoubleLanes<4> {
  using V = double __attribute__((vector_size(32)));
};

// Takes RunStats of n points in one pass; with `copy` the points are copied
// to dx, dy in the same pass. The common case, every value finite, is
// followed in vectors of `lanes` doubles with one accumulator per quantity:
// the sum of (v - v) is NaN as soon as one value is NaN or infinite, and the
// smallest step x[i+1] - x[i] tells the order. Only when a value is not
// finite does a second, exact pass take the extremes of the finite points.
template <int lanes, bool copy>
[[gnu::always_inline]] inline RunStats ScanRunIn(const double* x, const double* y, size_t n, double* dx,
                                                 double* dy) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  using V = typename DoubleLanes<lanes>::V;
  V x_lo, x_hi, y_lo, y_hi, bad, step;
  for (int k = 0; k < lanes; ++k) {
    x_lo[k] = y_lo[k] = step[k] = inf;
    x_hi[k] = y_hi[k] = -inf;
    bad[k] = 0;
  }
  size_t i = 0;
  for (; i + lanes + 1 <= n; i += lanes) {
    V a, b, c;
    std::memcpy(&a, x + i, sizeof a);
    std::memcpy(&c, x + i + 1, sizeof c);
    std::memcpy(&b, y + i, sizeof b);
    if constexpr (copy) {
      std::memcpy(dx + i, &a, sizeof a);
      std::memcpy(dy + i, &b, sizeof b);
    }
    bad += (a - a) + (b - b);
    const V d = c - a;
    step = d < step ? d : step;
    x_lo = a < x_lo ? a : x_lo;
    x_hi = a > x_hi ? a : x_hi;
    y_lo = b < y_lo ? b : y_lo;
    y_hi = b > y_hi ? b : y_hi;
  }
  double fin = 0, min_step = inf;
  RunStats r{inf, -inf, inf, -inf, true, true};
  for (int k = 0; k < lanes; ++k) {
    fin += bad[k];
    min_step = std::min(min_step, step[k]);
    r.x_lo = std::min(r.x_lo, x_lo[k]);
    r.x_hi = std::max(r.x_hi, x_hi[k]);
    r.y_lo = std::min(r.y_lo, y_lo[k]);
    r.y_hi = std::max(r.y_hi, y_hi[k]);
  }
  for (; i < n; ++i) {
    const double a = x[i], b = y[i];
    if constexpr (copy) {
      dx[i] = a;
      dy[i] = b;
    }
    fin += (a - a) + (b - b);
    if (i + 1 < n) min_step = std::min(min_step, x[i + 1] - a);
    r.x_lo = a < r.x_lo ? a : r.x_lo;
    r.x_hi = a > r.x_hi ? a : r.x_hi;
    r.y_lo = b < r.y_lo ? b : r.y_lo;
    r.y_hi = b > r.y_hi ? b : r.y_hi;
  }
  r.all_finite = fin == 0;
  r.x_sorted = r.all_finite && min_step >= 0;
  if (!r.all_finite) {
    r.x_lo = r.y_lo = inf;
    r.x_hi = r.y_hi = -inf;
    for (size_t k = 0; k < n; ++k) {
      const double a = x[k], b = y[k];
      if (!(Finite(a) && Finite(b))) continue;
      r.x_lo = std::min(r.x_lo, a);
      r.x_hi = std::max(r.x_hi, a);
      r.y_lo = std::min(r.y_lo, b);
      r.y_hi = std::max(r.y_hi, b);
    }
  }
  return r;
}

// The lowest and the highest of n > 0 finite values.
template <int lanes>
[[gnu::always_inline]] inline void MinMaxIn(const double* v, int n, double& lo, double& hi) {
  using V = typename DoubleLanes<lanes>::V;
  V a_lo, a_hi;
  for (int k = 0; k < lanes; ++k) a_lo[k] = a_hi[k] = v[0];
  V b_lo = a_lo, b_hi = a_lo;
  int i = 0;
  for (; i + 2 * lanes <= n; i += 2 * lanes) {
    V a, b;
    std::memcpy(&a, v + i, sizeof a);
    std::memcpy(&b, v + i + lanes, sizeof b);
    a_lo = a < a_lo ? a : a_lo;
    a_hi = a > a_hi ? a : a_hi;
    b_lo = b < b_lo ? b : b_lo;
    b_hi = b > b_hi ? b : b_hi;
  }
  lo = hi = v[0];
  for (int k = 0; k < lanes; ++k) {
    lo = std::min({lo, a_lo[k], b_lo[k]});
    hi = std::max({hi, a_hi[k], b_hi[k]});
  }
  for (; i < n; ++i) {
    lo = v[i] < lo ? v[i] : lo;
    hi = v[i] > hi ? v[i] : hi;
  }
}

// Both in plain two-double vectors, and in four-double ones where the
// processor has them (chosen once, at the first call).
template <bool copy>
RunStats ScanRunPortable(const double* x, const double* y, size_t n, double* dx, double* dy) {
  return ScanRunIn<2, copy>(x, y, n, dx, dy);
}
void MinMaxPortable(const double* v, int n, double& lo, double& hi) { MinMaxIn<2>(v, n, lo, hi); }
#if defined(__x86_64__) || defined(__i386__)
template <bool copy>
__attribute__((target("avx2"))) RunStats ScanRunAvx2(const double* x, const double* y, size_t n, double* dx,
                                                     double* dy) {
  return ScanRunIn<4, copy>(x, y, n, dx, dy);
}
__attribute__((target("avx2"))) void MinMaxAvx2(const double* v, int n, double& lo, double& hi) {
  MinMaxIn<4>(v, n, lo, hi);
}
bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#else
bool HasAvx2() { return false; }
#endif

template <bool copy>
RunStats ScanRun(const double* x, const double* y, size_t n, double* dx = nullptr, double* dy = nullptr) {
#if defined(__x86_64__) || defined(__i386__)
  if (HasAvx2()) return ScanRunAvx2<copy>(x, y, n, dx, dy);
#endif
  return ScanRunPortable<copy>(x, y, n, dx, dy);
}

// Widens an extent by lo..hi (nothing when lo > hi: no finite point).
void Widen(double lo, double hi, bool& any, double& min, double& max) {
  if (lo > hi) return;
  min = any ? std::min(min, lo) : lo;
  max = any ? std::max(max, hi) : hi;
  any = true;
}
}  // namespace

void TChartSeries::AddXYs(const double* x, const double* y, int n) {
  if (n <= 0) return;
  const size_t old = xs_.size();
  if (!stats_.valid) {
    xs_.insert(xs_.end(), x, x + n);
    ys_.insert(ys_.end(), y, y + n);
  } else {
    // The extremes are known: they are kept up to date in the copying pass,
    // so drawing needs no pass of its own for them.
    xs_.resize(old + static_cast<size_t>(n));  // new values unset: written once, below
    ys_.resize(old + static_cast<size_t>(n));
    const RunStats r = ScanRun<true>(x, y, static_cast<size_t>(n), xs_.data() + old, ys_.data() + old);
    Stats& s = stats_;
    const bool joined_in_order = old == 0 || (s.x_sorted && xs_[old - 1] <= x[0]);
    s.all_finite = s.all_finite && r.all_finite;
    s.x_sorted = s.all_finite && r.x_sorted && joined_in_order;
    Widen(r.x_lo, r.x_hi, s.x.any, s.x.min, s.x.max);
    Widen(r.y_lo, r.y_hi, s.y.any, s.y.min, s.y.max);
    s.pos_valid = false;  // the smallest positive values are taken when asked for
  }
  if (!colors_.empty()) colors_.resize(old + static_cast<size_t>(n), clTeeColor);
  if (!labels_.empty()) labels_.resize(old + static_cast<size_t>(n));
  Touch();
}

void TChartSeries::Reserve(int n) {
  if (n <= 0) return;
  xs_.reserve(static_cast<size_t>(n));
  ys_.reserve(static_cast<size_t>(n));
}

const TChartSeries::Stats& TChartSeries::GetStats() const {
  if (stats_.valid) return stats_;
  // A point counts only with both values finite.
  const RunStats r = ScanRun<false>(xs_.data(), ys_.data(), ys_.size());
  stats_ = Stats{};
  Widen(r.x_lo, r.x_hi, stats_.x.any, stats_.x.min, stats_.x.max);
  Widen(r.y_lo, r.y_hi, stats_.y.any, stats_.y.min, stats_.y.max);
  stats_.all_finite = r.all_finite;
  stats_.x_sorted = r.x_sorted;
  stats_.valid = true;
  return stats_;
}

const TChartSeries::Stats& TChartSeries::GetPositiveStats() const {
  GetStats();
  if (stats_.pos_valid) return stats_;
  // The smallest positive values, for logarithmic axes only.
  for (Extent* e : {&stats_.x, &stats_.y}) {
    e->any_pos = e->any && e->max > 0;
    e->min_pos = e->any && e->min > 0 ? e->min : 0;
  }
  const bool x_scan = stats_.x.any_pos && stats_.x.min <= 0;
  const bool y_scan = stats_.y.any_pos && stats_.y.min <= 0;
  if (x_scan || y_scan) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    double x_pos = inf, y_pos = inf;
    for (size_t i = 0; i < ys_.size(); ++i) {
      const double x = xs_[i], y = ys_[i];
      if (!(Finite(x) && Finite(y))) continue;
      if (x > 0) x_pos = std::min(x_pos, x);
      if (y > 0) y_pos = std::min(y_pos, y);
    }
    if (x_scan) stats_.x.min_pos = x_pos;
    if (y_scan) stats_.y.min_pos = y_pos;
  }
  stats_.pos_valid = true;
  return stats_;
}

int TChartSeries::AddXY(double x, double y, const std::string& label, TColor color) {
  int index = Count();
  xs_.push_back(x);
  ys_.push_back(y);
  if (color != clTeeColor || !colors_.empty()) {
    if (colors_.empty()) colors_.assign(static_cast<size_t>(index), clTeeColor);
    colors_.push_back(color);
  }
  if (!label.empty() || !labels_.empty()) {
    if (labels_.empty()) labels_.resize(static_cast<size_t>(index));
    labels_.push_back(label);
    if (!label.empty()) ++label_count_;
  }
  stats_.valid = false;  // extremes are taken in one pass when asked for
  Touch();
  return index;
}


int TChartSeries::Add(double value, const std::string& label, TColor color) {
  return AddXY(static_cast<double>(Count()), value, label, color);
}

double TChartSeries::XValue(int i) const { return i >= 0 && i < Count() ? xs_[i] : 0.0; }
double TChartSeries::YValue(int i) const { return i >= 0 && i < Count() ? ys_[i] : 0.0; }

const std::string& TChartSeries::Label(int i) const {
  static const std::string empty;
  return i >= 0 && i < static_cast<int>(labels_.size()) ? labels_[i] : empty;
}

TColor TChartSeries::ValueColor(int i) const {
  return i >= 0 && i < static_cast<int>(colors_.size()) ? colors_[i] : clTeeColor;
}

TColor TChartSeries::PointColor(int i) const {
  TColor c = ValueColor(i);
  return c == clTeeColor ? SeriesColor : c;
}

void TChartSeries::SetXValue(int i, double x) {
  if (i < 0 || i >= Count()) return;
  xs_[i] = x;
  stats_.valid = false;
  Touch();
}

void TChartSeries::SetYValue(int i, double y) {
  if (i < 0 || i >= Count()) return;
  ys_[i] = y;
  stats_.valid = false;
  Touch();
}

void TChartSeries::SetLabel(int i, const std::string& label) {
  if (i < 0 || i >= Count()) return;
  if (labels_.empty()) {
    if (label.empty()) return;
    labels_.resize(static_cast<size_t>(Count()));
  }
  if (!labels_[i].empty()) --label_count_;
  labels_[i] = label;
  if (!label.empty()) ++label_count_;
  Touch();
}

void TChartSeries::SetValueColor(int i, TColor c) {
  if (i < 0 || i >= Count()) return;
  if (colors_.empty()) {
    if (c == clTeeColor) return;
    colors_.assign(static_cast<size_t>(Count()), clTeeColor);
  }
  colors_[i] = c;
  chart_->Invalidate();
}

double TChartSeries::MinXValue() const { return GetStats().x.min; }
double TChartSeries::MaxXValue() const { return GetStats().x.max; }
double TChartSeries::MinYValue() const { return GetStats().y.min; }
double TChartSeries::MaxYValue() const { return GetStats().y.max; }
double TChartSeries::MinPositiveXValue() const { return GetPositiveStats().x.min_pos; }
double TChartSeries::MinPositiveYValue() const { return GetPositiveStats().y.min_pos; }

double TChartSeries::BarSpacing() const {
  std::vector<double> v;
  v.reserve(xs_.size());
  for (double x : xs_)
    if (Finite(x)) v.push_back(x);
  std::sort(v.begin(), v.end());
  double best = 0;
  for (size_t i = 1; i < v.size(); ++i) {
    double d = v[i] - v[i - 1];
    if (d > 0 && (best == 0 || d < best)) best = d;
  }
  return best > 0 ? best : 1.0;
}

int TChartSeries::CalcXPos(int i) const { return GetHorizAxis().ValueToPixel(XValue(i)); }
int TChartSeries::CalcYPos(int i) const { return GetVertAxis().ValueToPixel(YValue(i)); }

TRect TChartSeries::PieBounds() const { return chart_->Geo().pie_bounds; }

namespace {
double PieTotal(const ValueArray& ys) {
  double t = 0;
  for (double v : ys)
    if (Finite(v) && v > 0) t += v;
  return t;
}
double PieValue(double v) { return Finite(v) && v > 0 ? v : 0.0; }
}  // namespace

double TChartSeries::SliceStartAngle(int i) const {
  double total = PieTotal(ys_);
  if (total <= 0 || i < 0 || i >= Count()) return PieStartAngle;
  double before = 0;
  for (int k = 0; k < i; ++k) before += PieValue(ys_[k]);
  return PieStartAngle - before / total * 360.0;
}

double TChartSeries::SliceSweep(int i) const {
  double total = PieTotal(ys_);
  if (total <= 0 || i < 0 || i >= Count()) return 0.0;
  return -PieValue(ys_[i]) / total * 360.0;
}

namespace {
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  double dx = bx - ax, dy = by - ay;
  double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / len2, 0.0, 1.0) : 0.0;
  double cx = ax + t * dx - px, cy = ay + t * dy - py;
  return std::sqrt(cx * cx + cy * cy);
}
}  // namespace

int TChartSeries::Clicked(int x, int y) const {
  if (!Active || Count() == 0) return -1;
  const TChart::Geometry& g = chart_->Geo();
  if (g.series_less) return -1;
  if (type_ == TSeriesType::stPie) {
    TRect b = g.pie_bounds;
    if (b.Width() <= 0) return -1;
    double cx = (b.Left + b.Right - 1) / 2.0, cy = (b.Top + b.Bottom - 1) / 2.0;
    double r = (b.Width() - 1) / 2.0;
    double dx = x - cx, dy = cy - y;
    if (dx * dx + dy * dy > r * r) return -1;
    double total = PieTotal(ys_);
    if (total <= 0) return -1;
    double angle = std::atan2(dy, dx) * 180.0 / M_PI;  // counter-clockwise from 3 o'clock
    // Clockwise distance from the start angle, 0..360.
    double along = std::fmod(PieStartAngle - angle, 360.0);
    if (along < 0) along += 360.0;
    double acc = 0;
    for (int i = 0; i < Count(); ++i) {
      double sweep = PieValue(ys_[i]) / total * 360.0;
      if (sweep > 0 && along >= acc && along < acc + sweep) return i;
      acc += sweep;
    }
    return -1;
  }
  if (g.pie_mode || !g.plot.Contains(x, y)) return -1;
  const TAxisMapping hx = g.axes[SideIndex(GetHorizAxis().Side())].map;
  const TAxisMapping vy = g.axes[SideIndex(GetVertAxis().Side())].map;
  if (type_ == TSeriesType::stBar) {
    double spacing = BarSpacing();
    for (int i = Count() - 1; i >= 0; --i) {
      if (!Finite(xs_[i]) || !Finite(ys_[i])) continue;
      double half = std::max(1.0, std::fabs(hx.ToPixelF(xs_[i] + spacing) - hx.ToPixelF(xs_[i])) *
                                      std::clamp(BarWidthPercent, 1, 100) / 200.0);
      double cx = hx.ToPixelF(xs_[i]);
      double origin = vy.Logarithmic ? vy.Min : std::clamp(0.0, vy.Min, vy.Max);
      double y0 = vy.ToPixelF(origin), y1 = vy.ToPixelF(ys_[i]);
      if (x >= cx - half - 1 && x <= cx + half + 1 && y >= std::min(y0, y1) - 1 && y <= std::max(y0, y1) + 1)
        return i;
    }
    return -1;
  }
  // Markers (or points of a line) first: the nearest within reach.
  const bool points = PointsVisible || type_ == TSeriesType::stPoint;
  double reach = points ? std::max(3.0, PointSize / 2.0 + 1.0) : 3.0;
  int best = -1;
  double best_d = 1e300;
  const bool hlog = hx.Logarithmic, vlog = vy.Logarithmic;
  auto usable = [&](int i) {
    return Finite(xs_[i]) && Finite(ys_[i]) && (!hlog || xs_[i] > 0) && (!vlog || ys_[i] > 0);
  };
  for (int i = 0; i < Count(); ++i) {
    if (!usable(i)) continue;
    double dx = std::fabs(hx.ToPixelF(xs_[i]) - x), dy = std::fabs(vy.ToPixelF(ys_[i]) - y);
    double d = std::max(dx, dy);
    if (d <= reach && d < best_d) {
      best_d = d;
      best = i;
    }
  }
  if (best >= 0 || !LinesVisible || type_ == TSeriesType::stPoint) return best;
  best_d = 3.0;
  for (int i = 1; i < Count(); ++i) {
    if (!usable(i) || !usable(i - 1)) continue;
    double ax = hx.ToPixelF(xs_[i - 1]), ay = vy.ToPixelF(ys_[i - 1]);
    double bx = hx.ToPixelF(xs_[i]), by = vy.ToPixelF(ys_[i]);
    double d = SegmentDistance(x, y, ax, ay, bx, by);
    if (d <= best_d) {
      best_d = d;
      double da = std::hypot(x - ax, y - ay), db = std::hypot(x - bx, y - by);
      best = da <= db ? i - 1 : i;
    }
  }
  return best;
}

// ---------------------------------------------------------------- chart

TChart::TChart() : TControl(TControlKind::Chart) {
  Width = 400;
  Height = 250;
  Color = clBtnFace;
  Title.Font.Color = clBlack;
  Foot.Font.Color = clRed;
}

TChart::~TChart() = default;

TChartSeries* TChart::AddSeries(TSeriesType type) {
  std::unique_ptr<TChartSeries> s;
  switch (type) {
    case TSeriesType::stLine: s = std::make_unique<TLineSeries>(this); break;
    case TSeriesType::stPoint: s = std::make_unique<TPointSeries>(this); break;
    case TSeriesType::stBar: s = std::make_unique<TBarSeries>(this); break;
    case TSeriesType::stPie: s = std::make_unique<TPieSeries>(this); break;
  }
  static const TColor palette[] = {clRed, clGreen, clYellow, clBlue, clWhite, clGray, clFuchsia, clTeal, clNavy,
                                   clMaroon, clLime, clOlive, clPurple, clSilver, clAqua, clBlack};
  s->SeriesColor = palette[series_.size() % (sizeof(palette) / sizeof(palette[0]))];
  TChartSeries* raw = s.get();
  series_.push_back(std::move(s));
  Invalidate();
  return raw;
}

TLineSeries* TChart::AddLineSeries() { return static_cast<TLineSeries*>(AddSeries(TSeriesType::stLine)); }
TPointSeries* TChart::AddPointSeries() { return static_cast<TPointSeries*>(AddSeries(TSeriesType::stPoint)); }
TBarSeries* TChart::AddBarSeries() { return static_cast<TBarSeries*>(AddSeries(TSeriesType::stBar)); }
TPieSeries* TChart::AddPieSeries() { return static_cast<TPieSeries*>(AddSeries(TSeriesType::stPie)); }

TChartSeries* TChart::Series(int i) const {
  return i >= 0 && i < SeriesCount() ? series_[static_cast<size_t>(i)].get() : nullptr;
}

int TChart::SeriesIndex(const TChartSeries* s) const {
  for (int i = 0; i < SeriesCount(); ++i)
    if (series_[static_cast<size_t>(i)].get() == s) return i;
  return -1;
}

void TChart::RemoveSeries(TChartSeries* s) {
  int i = SeriesIndex(s);
  if (i < 0) return;
  for (TChartAxis* a : {&LeftAxis, &RightAxis, &TopAxis, &BottomAxis})
    if (a->LabelsSeries == s) a->LabelsSeries = nullptr;
  series_.erase(series_.begin() + i);
  Invalidate();
}

void TChart::RemoveAllSeries() {
  for (TChartAxis* a : {&LeftAxis, &RightAxis, &TopAxis, &BottomAxis}) a->LabelsSeries = nullptr;
  series_.clear();
  Invalidate();
}

TChartAxis& TChart::Axis(TAxisSide side) {
  switch (side) {
    case TAxisSide::Left: return LeftAxis;
    case TAxisSide::Right: return RightAxis;
    case TAxisSide::Top: return TopAxis;
    case TAxisSide::Bottom: break;
  }
  return BottomAxis;
}

const TChartAxis& TChart::Axis(TAxisSide side) const { return const_cast<TChart*>(this)->Axis(side); }

bool TChart::PieMode() const {
  bool any = false;
  for (const auto& s : series_) {
    if (!s->Active) continue;
    if (s->Type() != TSeriesType::stPie) return false;
    any = true;
  }
  return any;
}

TRect TChart::MarginPixels() const {
  if (MarginUnits == TMarginUnits::muPixels) return {MarginLeft, MarginTop, MarginRight, MarginBottom};
  return {Width * MarginLeft / 100, Height * MarginTop / 100, Width * MarginRight / 100, Height * MarginBottom / 100};
}

const TChart::Geometry& TChart::Geo() const {
  // The key is rebuilt in a reused scratch object (no allocations once warm)
  // and compared with the key of the cached layout.
  if (!scratch_) scratch_ = std::make_unique<LayoutKey>();
  LayoutKey& k = *scratch_;
  k.w = Width;
  k.h = Height;
  k.ml = MarginLeft;
  k.mt = MarginTop;
  k.mr = MarginRight;
  k.mb = MarginBottom;
  k.mu = MarginUnits;
  k.axes_visible = AxesVisible;
  k.title_visible = Title.Visible;
  k.foot_visible = Foot.Visible;
  k.title_font = Title.Font;
  k.foot_font = Foot.Font;
  k.title_lines = Title.Text.Lines();
  k.foot_lines = Foot.Text.Lines();
  k.legend_visible = Legend.Visible;
  k.legend_align = Legend.Alignment;
  k.legend_style = Legend.LegendStyle;
  k.legend_text = Legend.TextStyle;
  k.legend_font = Legend.Font;
  const TChartAxis* axes[4] = {&LeftAxis, &RightAxis, &TopAxis, &BottomAxis};
  for (int i = 0; i < 4; ++i) {
    const TChartAxis& a = *axes[i];
    LayoutKey::AxisKey& ak = k.axes[i];
    ak.auto_min = a.auto_min_;
    ak.auto_max = a.auto_max_;
    ak.set_min = a.set_min_;
    ak.set_max = a.set_max_;
    ak.min = a.min_;
    ak.max = a.max_;
    ak.log = a.Logarithmic;
    ak.inc = a.Increment;
    ak.round = a.RoundFirstLabel;
    ak.visible = a.Visible;
    ak.title = a.Title;
    ak.title_font = a.TitleFont;
    ak.labels_visible = a.LabelsVisible;
    ak.labels_font = a.LabelsFont;
    ak.angle = a.LabelsAngle;
    ak.format = a.ValueFormat;
    ak.style = a.LabelStyle;
    ak.labels_series = a.LabelsSeries;
    ak.tick = a.TickLength;
  }
  k.series.resize(series_.size());
  for (size_t i = 0; i < series_.size(); ++i) {
    const TChartSeries& s = *series_[i];
    LayoutKey::SeriesKey& sk = k.series[i];
    sk.p = &s;
    sk.type = s.Type();
    sk.active = s.Active;
    sk.legend = s.ShowInLegend;
    sk.title = s.Title;
    sk.h = s.HorizAxis;
    sk.v = s.VertAxis;
    sk.revision = s.Revision();
    sk.bar_width = s.BarWidthPercent;
    sk.marks = s.MarksVisible;
    sk.format = s.ValueFormat;
    sk.marks_font = s.MarksFont;
  }
  if (!geo_ || !key_ || !(*key_ == k)) {
    auto g = std::make_unique<Geometry>();
    ComputeGeometry(*g);
    geo_ = std::move(g);
    std::swap(key_, scratch_);
  }
  return *geo_;
}

TRect TChart::PlotRect() const { return Geo().plot; }
TRect TChart::LegendRect() const { return Geo().legend_rect; }
int TChart::LegendItemCount() const { return static_cast<int>(Geo().items.size()); }

int TChart::LegendItemAt(int x, int y) const {
  const Geometry& g = Geo();
  for (size_t i = 0; i < g.items.size(); ++i)
    if (g.items[i].rect.Contains(x, y)) return static_cast<int>(i);
  return -1;
}

TChartSeries* TChart::LegendSeriesAt(int x, int y) const {
  int i = LegendItemAt(x, y);
  return i < 0 ? nullptr : Geo().items[static_cast<size_t>(i)].series;
}

TChartSeries* TChart::SeriesAt(int x, int y, int* point_index) const {
  for (int i = SeriesCount() - 1; i >= 0; --i) {
    int p = series_[static_cast<size_t>(i)]->Clicked(x, y);
    if (p >= 0) {
      if (point_index != nullptr) *point_index = p;
      return series_[static_cast<size_t>(i)].get();
    }
  }
  if (point_index != nullptr) *point_index = -1;
  return nullptr;
}

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

namespace {

// Draws a line point by point. One-pixel solid lines are rasterised here:
// every point and every pixel between neighbouring points is drawn, whatever
// the direction, so a line reduced to fewer points in a pixel column covers
// the same pixels. Wider or dashed lines go to the painter as polylines.
class LineWriter {
 public:
  LineWriter(QPainter& p, int width, Qt::PenStyle style, const TRect& bounds)
      : p_(p), width_(width), style_(style), bounds_(bounds), thin_(width <= 1 && style == Qt::SolidLine) {}
  ~LineWriter() {
    Break();
    FlushPending();
  }
  // The next point; the segment leading to it takes its colour.
  void Point(int x, int y, TColor c) {
    if (thin_) {
      if (has_prev_ && (prev_.x() != x || prev_.y() != y) && IsRealColor(c))
        LinePixelRuns(prev_.x(), prev_.y(), x, y, bounds_, [&](const TRect& r) { Fill(r, c); });
      prev_ = QPoint(x, y);
      has_prev_ = true;
      color_ = c;
      return;
    }
    if (!pts_.empty() && c != color_) {
      QPoint last = pts_.back();
      Flush();
      pts_.push_back(last);
    }
    color_ = c;
    if (pts_.empty() || pts_.back() != QPoint(x, y)) pts_.emplace_back(x, y);
  }
  // Points of one column and colour from `first` on: the whole span between
  // their extremes is covered; the line goes on from `last`.
  void Column(int x, int first, int lo, int hi, int last, TColor c) {
    if (!thin_) {
      Point(x, first, c);
      Point(x, first == lo ? hi : lo, c);
      Point(x, first == lo ? lo : hi, c);
      Point(x, last, c);
      return;
    }
    Point(x, first, c);
    const int top = std::max(lo, bounds_.Top - 4), bottom = std::min(hi, bounds_.Bottom + 4);
    if (IsRealColor(c) && x >= bounds_.Left - 4 && x < bounds_.Right + 4 && top <= bottom)
      Fill(TRect{x, top, x + 1, bottom + 1}, c);
    prev_ = QPoint(x, last);
  }
  void Break() {
    if (thin_) {
      if (has_prev_ && IsRealColor(color_)) Fill(TRect{prev_.x(), prev_.y(), prev_.x() + 1, prev_.y() + 1}, color_);
      has_prev_ = false;
      return;
    }
    Flush();
  }

 private:
  // Thin lines are painted as pixel runs. Runs one pixel wide that touch
  // the run before them in the same column and colour are joined first (a
  // column's span and the line parts entering and leaving it are one run),
  // so a reduced curve costs about one fill per pixel column; the pixels
  // are the same.
  void Fill(const TRect& r, TColor c) {
    if (pending_ && r.Width() == 1 && c == pending_color_ && r.Left == pending_rect_.Left &&
        r.Top <= pending_rect_.Bottom && r.Bottom >= pending_rect_.Top) {
      pending_rect_.Top = std::min(pending_rect_.Top, r.Top);
      pending_rect_.Bottom = std::max(pending_rect_.Bottom, r.Bottom);
      return;
    }
    FlushPending();
    if (r.Width() == 1) {
      pending_ = true;
      pending_rect_ = r;
      pending_color_ = c;
      return;
    }
    p_.fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), ToQColor(c));
    ClearUpperVectorState();  // the reduction between the fills is plain SSE
  }
  void FlushPending() {
    if (!pending_) return;
    pending_ = false;
    const TRect& r = pending_rect_;
    p_.fillRect(QRect(r.Left, r.Top, 1, r.Height()), ToQColor(pending_color_));
    ClearUpperVectorState();
  }
  void Flush() {
    if (pts_.size() >= 2 && IsRealColor(color_)) {
      QPen pen(ToQColor(color_));
      pen.setWidth(std::max(1, width_));
      pen.setStyle(style_);
      pen.setCapStyle(width_ <= 1 ? Qt::FlatCap : Qt::RoundCap);
      pen.setJoinStyle(width_ <= 1 ? Qt::MiterJoin : Qt::RoundJoin);
      p_.setPen(pen);
      p_.drawPolyline(pts_.data(), static_cast<int>(pts_.size()));
    }
    pts_.clear();
  }

  QPainter& p_;
  int width_;
  Qt::PenStyle style_;
  TRect bounds_;
  bool thin_;
  TColor color_ = clNone;
  QPoint prev_;
  bool has_prev_ = false;
  std::vector<QPoint> pts_;
  bool pending_ = false;
  TRect pending_rect_;
  TColor pending_color_ = clNone;
};

// Points that fall into one pixel column with one colour, reduced to the
// first, lowest, highest and last of them.
struct ColumnBucket {
  bool open = false;
  int x = 0;
  TColor color = 0;
  int count = 0;
  int first_y = 0, min_y = 0, max_y = 0, last_y = 0;
  void Start(int px, int py, TColor c) {
    open = true;
    x = px;
    color = c;
    count = 1;
    first_y = min_y = max_y = last_y = py;
  }
  void Add(int py) {
    min_y = std::min(min_y, py);
    max_y = std::max(max_y, py);
    last_y = py;
    ++count;
  }
  void Emit(LineWriter& w) {
    if (!open) return;
    open = false;
    if (count == 1 || min_y == max_y)
      w.Point(x, first_y, color);
    else
      w.Column(x, first_y, min_y, max_y, last_y, color);
  }
};


// The pixel of a value as TAxisMapping::ToPixel gives it (the same
// arithmetic), with the scale of a linear axis taken once for a whole series.
class PixelOf {
 public:
  explicit PixelOf(const TAxisMapping& m) : m_(m), k_((m.End - m.Start) / (m.Max - m.Min)) {}
  // v is finite (and positive on a logarithmic axis).
  int operator()(double v) const {
    if (m_.Logarithmic) return m_.ToPixel(v);
    const double d = (v - m_.Min) * k_;
    double p = m_.Horizontal ? m_.Start + d : m_.End - d;
    p = p < -kPixelLimit ? -kPixelLimit : p > kPixelLimit ? kPixelLimit : p;
    return static_cast<int>(p >= 0 ? p + 0.5 : p - 0.5);
  }

 private:
  TAxisMapping m_;
  double k_;
};

// One pixel column of a plain line: its points' first, lowest, highest and
// last values, mapped only here (the mapping is monotonic, so the extremes
// of the values are the extremes of the pixels).
void EmitPlainColumn(LineWriter& w, int col, double first, double lo, double hi, double last,
                     int count, double y_min, double y_k, double y0, TColor color) {
  auto to_pixel = [&](double v) {
    double p = y0 - (v - y_min) * y_k;
    p = p < -kPixelLimit ? -kPixelLimit : p > kPixelLimit ? kPixelLimit : p;
    return static_cast<int>(p >= 0 ? p + 0.5 : p - 0.5);
  };
  ColumnBucket b;
  b.Start(col, to_pixel(first), color);
  b.min_y = to_pixel(hi);  // larger values lie higher up: smaller pixels
  b.max_y = to_pixel(lo);
  b.last_y = to_pixel(last);
  b.count = count;
  b.Emit(w);
}

// The lowest and the highest of n > 0 finite values.
void MinMaxOf(const double* v, int n, double& lo, double& hi) {
#if defined(__x86_64__) || defined(__i386__)
  if (HasAvx2()) return MinMaxAvx2(v, n, lo, hi);
#endif
  MinMaxPortable(v, n, lo, hi);
}

// The same reduction for the common case, a line in one colour on linear
// axes: the same pixels as PixelOf gives, with only x mapped per point. Each
// column is a run of consecutive points; within it only the lowest and the
// highest value are followed. `checked`: every value is finite and every x
// maps into 0..kPixelLimit, so the per-point checks can be left out.
template <bool checked>
void ReducePlainLinear(const double* xs, const double* ys, int n, const TAxisMapping& hx,
                       const TAxisMapping& vy, TColor color, LineWriter& w, bool sorted = false) {
  const double x_min = hx.Min, x_k = (hx.End - hx.Start) / (hx.Max - hx.Min), x0 = hx.Start;
  const double y_min = vy.Min, y_k = (vy.End - vy.Start) / (vy.Max - vy.Min), y0 = vy.End;
  auto column = [&](double x) {
    double p = x0 + (x - x_min) * x_k;
    if constexpr (checked) return static_cast<int>(p + 0.5);
    p = p < -kPixelLimit ? -kPixelLimit : p > kPixelLimit ? kPixelLimit : p;
    return static_cast<int>(p >= 0 ? p + 0.5 : p - 0.5);
  };
  auto usable = [](double x, double y) {
    if constexpr (checked) return true;
    return (x - x) + (y - y) == 0;  // both finite
  };
  int i = 0;
  if (sorted) {
    // Ascending x: a column's run ends where the column of x first differs.
    // Evenly spaced points give runs of nearly the same length, so the end
    // is first looked for a step or two before where the last run's length
    // puts it; elsewhere it is found by galloping and halving. The run's
    // extremes are taken in vector lanes.
    int last_run = 0;
    while (i < n) {
      const int col = column(xs[i]);
      int in = i, step = 1;
      if (last_run > 2 && i + last_run - 2 < n && column(xs[i + last_run - 2]) == col) {
        in = i + last_run - 2;
        for (int k = 0; k < 3 && in + 1 < n && column(xs[in + 1]) == col; ++k) ++in;
      }
      while (in + step < n && column(xs[in + step]) == col) {
        in += step;
        step *= 2;
      }
      int out = std::min(in + step, n);
      while (out - in > 1) {
        const int mid = in + (out - in) / 2;
        (column(xs[mid]) == col ? in : out) = mid;
      }
      double lo, hi;
      MinMaxOf(ys + i, out - i, lo, hi);
      EmitPlainColumn(w, col, ys[i], lo, hi, ys[out - 1], out - i, y_min, y_k, y0, color);
      last_run = out - i;
      i = out;
    }
    return;
  }
  while (i < n) {
    if (!usable(xs[i], ys[i])) {
      w.Break();
      ++i;
      continue;
    }
    const int col = column(xs[i]);
    const int start = i;
    double lo = ys[i], hi = ys[i];
    for (++i; i < n; ++i) {
      const double x = xs[i], y = ys[i];
      if (!usable(x, y) || column(x) != col) break;
      lo = y < lo ? y : lo;
      hi = y > hi ? y : hi;
    }
    EmitPlainColumn(w, col, ys[start], lo, hi, ys[i - 1], i - start, y_min, y_k, y0, color);
  }
}

}  // namespace

void TChart::DrawSeries(TCanvas& cv, const TChartSeries& s, const Geometry& g) {
  const int n = s.Count();
  if (n == 0) return;
  const ValueArray& xs = s.XValues();
  const ValueArray& ys = s.YValues();
  const TAxisMapping hx = g.axes[SideIndex(s.GetHorizAxis().Side())].map;
  const TAxisMapping vy = g.axes[SideIndex(s.GetVertAxis().Side())].map;
  const bool hlog = hx.Logarithmic, vlog = vy.Logarithmic;
  auto usable = [&](int i) {
    double x = xs[static_cast<size_t>(i)], y = ys[static_cast<size_t>(i)];
    return Finite(x) && Finite(y) && (!hlog || x > 0) && (!vlog || y > 0);
  };

  if (s.Type() == TSeriesType::stBar) {
    double spacing = s.BarSpacing();
    double origin = vlog ? vy.Min : std::clamp(0.0, vy.Min, vy.Max);
    int y0 = vy.ToPixel(origin);
    struct Mark { int x, y; bool up; std::string text; };
    std::vector<Mark> marks;
    cv.SetClipRect(g.plot);
    for (int i = 0; i < n; ++i) {
      if (!usable(i)) continue;
      double cx = hx.ToPixelF(xs[static_cast<size_t>(i)]);
      double full = std::fabs(hx.ToPixelF(xs[static_cast<size_t>(i)] + spacing) - cx);
      int w = std::max(1, static_cast<int>(std::lround(full * std::clamp(s.BarWidthPercent, 1, 100) / 100.0)));
      int left = static_cast<int>(std::lround(cx - w / 2.0));
      int y1 = vy.ToPixel(ys[static_cast<size_t>(i)]);
      TRect r{left, std::min(y0, y1), left + w, std::max(y0, y1) + 1};
      cv.Brush = TBrush{s.PointColor(i), TBrushStyle::bsSolid};
      if (s.BarPen.Style != TPenStyle::psClear && w >= 5) {
        cv.Pen = s.BarPen;
        cv.Rectangle(r);
      } else {
        cv.FillRect(r);
      }
      if (s.MarksVisible)
        marks.push_back({static_cast<int>(std::lround(cx)), y1, ys[static_cast<size_t>(i)] >= origin,
                         FormatChartValue(ys[static_cast<size_t>(i)], s.ValueFormat)});
    }
    cv.ClearClipRect();
    cv.Font = s.MarksFont;
    cv.Pen = TPen{clBlack, 1, TPenStyle::psSolid};
    for (const Mark& mk : marks) {
      int w = cv.TextWidth(mk.text) + 6, h = cv.TextHeight(mk.text) + 2;
      int top = mk.up ? mk.y - 6 - h : mk.y + 6;
      TRect box{mk.x - w / 2, top, mk.x - w / 2 + w, top + h};
      cv.Brush = TBrush{s.MarksColor, TBrushStyle::bsSolid};
      cv.Rectangle(box);
      cv.Brush.Style = TBrushStyle::bsClear;
      cv.TextOut(box.Left + 3, box.Top + 1, mk.text);
    }
    cv.Brush.Style = TBrushStyle::bsSolid;
    return;
  }

  cv.SetClipRect(g.plot);
  QPainter& p = cv.Painter();
  p.setRenderHint(QPainter::Antialiasing, false);
  const bool lines = s.LinesVisible && s.Type() != TSeriesType::stPoint && s.PenStyle != TPenStyle::psClear;
  const bool points = s.PointsVisible || s.Type() == TSeriesType::stPoint;
  if (lines) {
    LineWriter w(p, s.PenWidth, ToQtPenStyle(s.PenStyle), g.plot);
    if (DrawAllPoints) {
      for (int i = 0; i < n; ++i) {
        if (!usable(i)) {
          w.Break();
          continue;
        }
        w.Point(hx.ToPixel(xs[static_cast<size_t>(i)]), vy.ToPixel(ys[static_cast<size_t>(i)]), s.PointColor(i));
      }
    } else {
      // One pass: each point is mapped and falls into its pixel column.
      const bool plain = s.colors_.empty();
      const double* xp = xs.data();
      const double* yp = ys.data();
      if (plain && !hlog && !vlog) {
        // With the extremes known (automatic axes ask for them anyway) the
        // per-point checks may be unneeded.
        const TChartSeries::Stats* st = s.stats_.valid ? &s.stats_ : nullptr;
        const bool safe = st && st->all_finite && st->x.any && hx.ToPixelF(st->x.min) >= 0 &&
                          hx.ToPixelF(st->x.max) < kPixelLimit;
        if (safe)
          ReducePlainLinear<true>(xp, yp, n, hx, vy, s.SeriesColor, w, st->x_sorted);
        else
          ReducePlainLinear<false>(xp, yp, n, hx, vy, s.SeriesColor, w);
      } else {
        ColumnBucket b;
        const PixelOf to_x(hx), to_y(vy);
        for (int i = 0; i < n; ++i) {
          const double x = xp[i], y = yp[i];
          if (!(Finite(x) && Finite(y) && (!hlog || x > 0) && (!vlog || y > 0))) {
            b.Emit(w);
            w.Break();
            continue;
          }
          const int px = to_x(x);
          const int py = to_y(y);
          const TColor c = plain ? s.SeriesColor : s.PointColor(i);
          if (b.open && b.x == px && b.color == c) {
            b.Add(py);
          } else {
            b.Emit(w);
            b.Start(px, py, c);
          }
        }
        b.Emit(w);
      }
    }
  }
  if (points) {
    const TRect pr = g.plot;
    const int pw = std::max(1, pr.Width()), ph = std::max(1, pr.Height());
    stamps_.assign(static_cast<size_t>(pw) * ph, 0u);
    const int size = std::max(1, s.PointSize);
    const int half = size / 2;
    for (int i = 0; i < n; ++i) {
      if (!usable(i)) continue;
      int px = hx.ToPixel(xs[static_cast<size_t>(i)]);
      int py = vy.ToPixel(ys[static_cast<size_t>(i)]);
      if (px + size < pr.Left || px - size >= pr.Right || py + size < pr.Top || py - size >= pr.Bottom) continue;
      TColor c = s.PointColor(i);
      if (!IsRealColor(c)) continue;
      if (!DrawAllPoints && pr.Contains(px, py)) {
        // The same marker in the same colour on the same spot changes nothing.
        uint32_t& stamp = stamps_[static_cast<size_t>(py - pr.Top) * pw + (px - pr.Left)];
        if (stamp == c + 1) continue;
        stamp = c + 1;
      }
      p.fillRect(QRect(px - half, py - half, size, size), ToQColor(c));
      ClearUpperVectorState();
    }
  }
  cv.ClearClipRect();
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
