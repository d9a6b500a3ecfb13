// Chart series: their points and the extremes kept over them, which point
// lies under the mouse, and drawing them, with lines reduced to what each
// pixel column shows.
#include "platform/chart.h"

#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QRect>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/canvas_qt.h"
#include "platform/chart_internal.h"
#include "platform/vector_state.h"

namespace tav {

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

// ---------------------------------------------------------------- drawing

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
  QPainter* painter = cv.Painter();
  if (painter == nullptr) {  // an empty bitmap: nothing to draw on
    cv.ClearClipRect();
    return;
  }
  QPainter& p = *painter;
  p.setRenderHint(QPainter::Antialiasing, false);
  // Lines and points in colours that read on the plot: each colour is
  // looked at once per run of equal colours.
  TColor raw_seen = s.SeriesColor, shown_seen = CurveColour(s.SeriesColor);
  auto shown = [&](TColor c) {
    if (c != raw_seen) {
      raw_seen = c;
      shown_seen = CurveColour(c);
    }
    return shown_seen;
  };
  const TColor series_colour = shown_seen;
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
        w.Point(hx.ToPixel(xs[static_cast<size_t>(i)]), vy.ToPixel(ys[static_cast<size_t>(i)]), shown(s.PointColor(i)));
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
          ReducePlainLinear<true>(xp, yp, n, hx, vy, series_colour, w, st->x_sorted);
        else
          ReducePlainLinear<false>(xp, yp, n, hx, vy, series_colour, w);
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
          const TColor c = plain ? series_colour : shown(s.PointColor(i));
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
      const TColor c = shown(s.PointColor(i));
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

}  // namespace tav
