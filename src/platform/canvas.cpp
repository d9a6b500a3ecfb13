#include "platform/canvas.h"
#include "platform/canvas_qt.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLineF>
#include <QLinearGradient>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <functional>
#include <cmath>
#include <cstdlib>

#include "platform/controls_font.h"
#include "platform/text.h"
#include "platform/vector_state.h"

namespace tav {

namespace {

// The metrics of the last fonts used; text is measured far more often than
// fonts change.
struct MetricsCache {
  struct Entry {
    TFont font;
    std::unique_ptr<QFontMetrics> metrics;
  };
  Entry entries[4];
  int next = 0;
  const QFontMetrics& Get(const TFont& font) {
    for (Entry& e : entries)
      if (e.metrics && e.font == font) return *e.metrics;
    Entry& e = entries[next];
    next = (next + 1) % 4;
    e.font = font;
    EnsureGuiApplication();
    e.metrics = std::make_unique<QFontMetrics>(QFontOf(font));
    return *e.metrics;
  }
};

MetricsCache& Metrics() {
  static MetricsCache cache;
  return cache;
}

bool PenDraws(const TPen& pen) { return pen.Style != TPenStyle::psClear && IsRealColor(pen.Color); }
bool BrushFills(const TBrush& brush) {
  return brush.Style == TBrushStyle::bsSolid && IsRealColor(brush.Color);
}

}  // namespace

QString ToQString(const std::string& text) {
  QString s;
  s.reserve(static_cast<qsizetype>(text.size()));
  for (char ch : text) s.append(QChar(static_cast<char16_t>(Cp1252ToUnicode(static_cast<unsigned char>(ch)))));
  return s;
}

int MeasureTextWidth(const TFont& font, const std::string& text) {
  if (text.empty()) return 0;
  return Metrics().Get(font).horizontalAdvance(ToQString(text));
}

int MeasureTextHeight(const TFont& font) { return Metrics().Get(font).height(); }

TPoint MeasureText(const TFont& font, const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n')
      lines.emplace_back();
    else
      lines.back() += c;
  }
  if (!EnsureGuiApplication()) {
    // No font database without a GUI application: a fair estimate.
    int px = font.PixelHeight();
    std::size_t widest = 0;
    for (const auto& l : lines) widest = std::max(widest, l.size());
    return {static_cast<int>(widest) * (px * 6 / 10 + 1), static_cast<int>(lines.size()) * (px + px / 4 + 1)};
  }
  // The canvas's cached metrics: labels measure exactly as text is drawn.
  int width = 0;
  for (const auto& l : lines) width = std::max(width, MeasureTextWidth(font, l));
  return {width, static_cast<int>(lines.size()) * MeasureTextHeight(font)};
}

// The headless backend measures text as the canvas draws it.
TPoint WindowBackend::TextExtent(const TFont& font, const std::string& text) { return MeasureText(font, text); }

namespace {

// The pixels of a 1-pixel line from (x0, y0) up to but not including
// (x1, y1), in order, merged into runs of neighbouring pixels in one row or
// one column; fill(x1, y1, x2, y2) gets each run as a rectangle.
template <class Fill>
void RasterLine(int x0, int y0, int x1, int y1, Fill fill) {
  const long long dx = std::llabs(static_cast<long long>(x1) - x0), dy = -std::llabs(static_cast<long long>(y1) - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  long long err = dx + dy;
  int x = x0, y = y0;
  int rx = x0, ry = y0, rlen = 0;  // current run start and length
  bool horizontal = true;
  auto flush = [&] {
    if (rlen == 0) return;
    if (horizontal) {
      int a = sx > 0 ? rx : rx - rlen + 1;
      fill(a, ry, a + rlen, ry + 1);
    } else {
      int a = sy > 0 ? ry : ry - rlen + 1;
      fill(rx, a, rx + 1, a + rlen);
    }
    rlen = 0;
  };
  while (x != x1 || y != y1) {
    if (rlen == 0) {
      rx = x;
      ry = y;
      rlen = 1;
    } else if (rlen == 1 && (y == ry || x == rx)) {
      horizontal = y == ry;
      rlen = 2;
    } else if (horizontal ? (y == ry && x == rx + sx * rlen) : (x == rx && y == ry + sy * rlen)) {
      ++rlen;
    } else {
      flush();
      rx = x;
      ry = y;
      rlen = 1;
    }
    long long e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
  flush();
}

}  // namespace

// ---------------------------------------------------------------- TCanvas

TCanvas::TCanvas(QPainter& painter, int width, int height) : width_(width), height_(height) {
  EnsureGuiApplication();
  QPaintDevice* dev = painter.device();
  if (dev != nullptr && dev->devType() == QInternal::Image && painter.worldTransform().isIdentity() &&
      !painter.hasClipping()) {
    auto* img = static_cast<QImage*>(dev);
    if (img->width() >= width && img->height() >= height) {
      image_ = img;
      painter_ = &painter;
      painter.save();
      restore_ = true;
    }
  }
  if (image_ == nullptr) {
    target_ = &painter;
    buffer_ = std::make_unique<QImage>(std::max(1, width), std::max(1, height),
                                       QImage::Format_ARGB32_Premultiplied);
    buffer_->fill(Qt::transparent);
    image_ = buffer_.get();
  }
  Forget();
}

TCanvas::TCanvas(QImage& image) : image_(&image), width_(-1), height_(-1) { EnsureGuiApplication(); }

TCanvas::~TCanvas() {
  EndPaint();
  if (restore_) painter_->restore();
  if (target_ != nullptr && buffer_) {
    target_->save();
    target_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    target_->drawImage(0, 0, *buffer_);
    target_->restore();
  }
}

int TCanvas::Width() const { return width_ >= 0 ? width_ : image_->width(); }
int TCanvas::Height() const { return height_ >= 0 ? height_ : image_->height(); }

void TCanvas::Forget() {
  pen_valid_ = brush_valid_ = font_valid_ = clip_valid_ = false;
}

void TCanvas::Begin() {
  if (painter_ != nullptr) return;
  if (image_->isNull()) return;
  owned_painter_ = std::make_unique<QPainter>(image_);
  painter_ = owned_painter_.get();
  Forget();
}

void TCanvas::EndPaint() {
  if (owned_painter_) {
    owned_painter_->end();
    owned_painter_.reset();
    painter_ = nullptr;
  }
  ClearUpperVectorState();
}

QPainter* TCanvas::Painter() {
  Begin();
  Forget();
  ApplyClip();
  return painter_;
}

void TCanvas::ApplyClip() {
  if (clip_valid_) return;
  clip_valid_ = true;
  if (painter_ == nullptr) return;
  if (has_clip_)
    painter_->setClipRect(QRect(clip_.Left, clip_.Top, std::max(0, clip_.Width()), std::max(0, clip_.Height())));
  else
    painter_->setClipping(false);
}

void TCanvas::UsePen() {
  if (pen_valid_ && !applied_no_pen_ && applied_pen_ == Pen) return;
  QPen p(ToQColor(Pen.Color));
  p.setWidth(std::max(1, Pen.Width));
  p.setStyle(ToQtPenStyle(Pen.Style));
  if (Pen.Width <= 1) {
    // A flat cap leaves out the last pixel of a 1-pixel line.
    p.setCapStyle(Qt::FlatCap);
    p.setJoinStyle(Qt::MiterJoin);
  } else {
    p.setCapStyle(Qt::RoundCap);
    p.setJoinStyle(Qt::RoundJoin);
  }
  painter_->setPen(p);
  applied_pen_ = Pen;
  applied_no_pen_ = false;
  pen_valid_ = true;
}

void TCanvas::UseNoPen() {
  if (pen_valid_ && applied_no_pen_) return;
  painter_->setPen(Qt::NoPen);
  applied_no_pen_ = true;
  pen_valid_ = true;
}

void TCanvas::UseBrush() {
  if (brush_valid_ && !applied_no_brush_ && applied_brush_ == Brush) return;
  painter_->setBrush(QBrush(ToQColor(Brush.Color)));
  applied_brush_ = Brush;
  applied_no_brush_ = false;
  brush_valid_ = true;
}

void TCanvas::UseNoBrush() {
  if (brush_valid_ && applied_no_brush_) return;
  painter_->setBrush(Qt::NoBrush);
  applied_no_brush_ = true;
  brush_valid_ = true;
}

void TCanvas::UseFont() {
  if (font_valid_ && applied_font_ == Font) return;
  painter_->setFont(QFontOf(Font));
  applied_font_ = Font;
  font_valid_ = true;
}

void TCanvas::FillPixels(int x1, int y1, int x2, int y2, TColor c) {
  if (x2 <= x1 || y2 <= y1 || !IsRealColor(c)) return;
  painter_->fillRect(QRect(x1, y1, x2 - x1, y2 - y1), ToQColor(c));
  // Qt's fill leaves the upper vector halves in use; the chart's loops
  // between the fills run plain SSE.
  ClearUpperVectorState();
}

bool TCanvas::ThinSolidPen() const { return Pen.Width <= 1 && Pen.Style == TPenStyle::psSolid; }

void LinePixelRuns(int x0, int y0, int x1, int y1, const TRect& bounds,
                   const std::function<void(const TRect&)>& run) {
  if (x0 == x1 && y0 == y1) return;
  const double left = bounds.Left - 4.0, top = bounds.Top - 4.0;
  const double right = bounds.Right + 4.0, bottom = bounds.Bottom + 4.0;
  auto outside = [&](int x, int y) { return x < left || x > right || y < top || y > bottom; };
  if (outside(x0, y0) || outside(x1, y1)) {
    // Liang-Barsky: the part of the line inside the widened bounds.
    const double dx = static_cast<double>(x1) - x0, dy = static_cast<double>(y1) - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - left, right - x0, y0 - top, bottom - y0};
    double t0 = 0, t1 = 1;
    for (int i = 0; i < 4; ++i) {
      if (p[i] == 0) {
        if (q[i] < 0) return;
      } else {
        double t = q[i] / p[i];
        if (p[i] < 0) t0 = std::max(t0, t); else t1 = std::min(t1, t);
      }
    }
    if (t0 > t1) return;
    int nx0 = static_cast<int>(std::lround(x0 + t0 * dx)), ny0 = static_cast<int>(std::lround(y0 + t0 * dy));
    int nx1 = static_cast<int>(std::lround(x0 + t1 * dx)), ny1 = static_cast<int>(std::lround(y0 + t1 * dy));
    x0 = nx0;
    y0 = ny0;
    x1 = nx1;
    y1 = ny1;
  }
  RasterLine(x0, y0, x1, y1, [&](int a, int b, int c, int d) { run(TRect{a, b, c, d}); });
}

void TCanvas::Segment(int x0, int y0, int x1, int y1) {
  if (x0 == x1 && y0 == y1) return;
  if (ThinSolidPen()) {
    const TColor c = Pen.Color;
    LinePixelRuns(x0, y0, x1, y1, TRect{0, 0, Width(), Height()},
                  [&](const TRect& r) { FillPixels(r.Left, r.Top, r.Right, r.Bottom, c); });
    return;
  }
  UsePen();
  painter_->drawLine(x0, y0, x1, y1);
}

void TCanvas::LineTo(int x, int y) {
  Begin();
  TPoint from = pen_pos_;
  pen_pos_ = {x, y};
  if (painter_ == nullptr || !PenDraws(Pen)) return;
  ApplyClip();
  Segment(from.X, from.Y, x, y);
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
  if (points.empty()) return;
  Begin();
  if (painter_ == nullptr || !PenDraws(Pen) || points.size() < 2) return;
  ApplyClip();
  if (ThinSolidPen()) {
    for (size_t i = 1; i < points.size(); ++i)
      Segment(points[i - 1].X, points[i - 1].Y, points[i].X, points[i].Y);
    return;
  }
  UsePen();
  std::vector<QPoint> q;
  q.reserve(points.size());
  for (const TPoint& p : points) q.emplace_back(p.X, p.Y);
  painter_->drawPolyline(q.data(), static_cast<int>(q.size()));
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
  if (points.size() < 2) return;
  Begin();
  if (painter_ == nullptr) return;
  ApplyClip();
  std::vector<QPoint> q;
  q.reserve(points.size());
  for (const TPoint& p : points) q.emplace_back(p.X, p.Y);
  if (BrushFills(Brush)) {
    UseBrush();
    UseNoPen();
    painter_->drawPolygon(q.data(), static_cast<int>(q.size()));
  }
  if (PenDraws(Pen)) {
    // The outline is closed: each side ends where the next begins, so every
    // corner is drawn.
    if (ThinSolidPen()) {
      for (size_t i = 0; i < points.size(); ++i) {
        const TPoint& a = points[i];
        const TPoint& b = points[(i + 1) % points.size()];
        Segment(a.X, a.Y, b.X, b.Y);
      }
    } else {
      UsePen();
      UseNoBrush();
      painter_->drawPolygon(q.data(), static_cast<int>(q.size()));
    }
  }
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  if (x2 == x1 || y2 == y1) return;
  Begin();
  if (painter_ == nullptr) return;
  ApplyClip();
  int w = PenDraws(Pen) ? std::max(1, Pen.Width) : 0;
  if (BrushFills(Brush)) FillPixels(x1 + w, y1 + w, x2 - w, y2 - w, Brush.Color);
  if (w == 0) return;
  if (Pen.Style == TPenStyle::psSolid) {
    w = std::min({w, (x2 - x1 + 1) / 2, (y2 - y1 + 1) / 2});
    FillPixels(x1, y1, x2, y1 + w, Pen.Color);
    FillPixels(x1, y2 - w, x2, y2, Pen.Color);
    FillPixels(x1, y1 + w, x1 + w, y2 - w, Pen.Color);
    FillPixels(x2 - w, y1 + w, x2, y2 - w, Pen.Color);
  } else {
    UsePen();
    UseNoBrush();
    painter_->drawRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
  }
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int rx, int ry) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  if (x2 == x1 || y2 == y1) return;
  Begin();
  if (painter_ == nullptr) return;
  ApplyClip();
  if (BrushFills(Brush)) UseBrush(); else UseNoBrush();
  if (PenDraws(Pen)) UsePen(); else UseNoPen();
  painter_->drawRoundedRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1), rx / 2.0, ry / 2.0);
}

void TCanvas::FillRect(const TRect& r) {
  Begin();
  if (painter_ == nullptr || !BrushFills(Brush)) return;
  ApplyClip();
  FillPixels(std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
             std::max(r.Top, r.Bottom), Brush.Color);
}

void TCanvas::FrameRect(const TRect& r) {
  Begin();
  if (painter_ == nullptr || !IsRealColor(Brush.Color) || Brush.Style == TBrushStyle::bsClear) return;
  ApplyClip();
  int x1 = std::min(r.Left, r.Right), x2 = std::max(r.Left, r.Right);
  int y1 = std::min(r.Top, r.Bottom), y2 = std::max(r.Top, r.Bottom);
  if (x2 == x1 || y2 == y1) return;
  FillPixels(x1, y1, x2, y1 + 1, Brush.Color);
  FillPixels(x1, y2 - 1, x2, y2, Brush.Color);
  FillPixels(x1, y1 + 1, x1 + 1, y2 - 1, Brush.Color);
  FillPixels(x2 - 1, y1 + 1, x2, y2 - 1, Brush.Color);
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  if (x2 == x1 || y2 == y1) return;
  Begin();
  if (painter_ == nullptr) return;
  ApplyClip();
  if (BrushFills(Brush)) UseBrush(); else UseNoBrush();
  if (PenDraws(Pen)) UsePen(); else UseNoPen();
  painter_->drawEllipse(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
}

void TCanvas::PieSlice(const TRect& bounds, double start_deg, double sweep_deg) {
  if (bounds.Width() <= 0 || bounds.Height() <= 0 || !std::isfinite(start_deg) || !std::isfinite(sweep_deg))
    return;
  Begin();
  if (painter_ == nullptr) return;
  ApplyClip();
  if (BrushFills(Brush)) UseBrush(); else UseNoBrush();
  if (PenDraws(Pen)) UsePen(); else UseNoPen();
  painter_->setRenderHint(QPainter::Antialiasing, true);
  int a = static_cast<int>(std::lround(start_deg * 16.0));
  int s = static_cast<int>(std::lround(sweep_deg * 16.0));
  if (std::abs(s) >= 360 * 16)
    painter_->drawEllipse(QRectF(bounds.Left, bounds.Top, bounds.Width() - 1, bounds.Height() - 1));
  else
    painter_->drawPie(QRectF(bounds.Left, bounds.Top, bounds.Width() - 1, bounds.Height() - 1), a, s);
  painter_->setRenderHint(QPainter::Antialiasing, false);
}

void TCanvas::GradientFill(const TRect& r, TColor from, TColor to, bool vertical) {
  if (r.Width() <= 0 || r.Height() <= 0) return;
  Begin();
  if (painter_ == nullptr) return;
  ApplyClip();
  if (!IsRealColor(from) || !IsRealColor(to)) {
    FillPixels(r.Left, r.Top, r.Right, r.Bottom, IsRealColor(from) ? from : to);
    return;
  }
  // Whole-pixel bands, so the same gradient always gives the same pixels.
  int n = vertical ? r.Height() : r.Width();
  for (int i = 0; i < n; ++i) {
    double t = n > 1 ? static_cast<double>(i) / (n - 1) : 0.0;
    auto mix = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
    TColor c = static_cast<TColor>(RGBColor(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
                                            mix(GetBValue(from), GetBValue(to))));
    if (vertical)
      FillPixels(r.Left, r.Top + i, r.Right, r.Top + i + 1, c);
    else
      FillPixels(r.Left + i, r.Top, r.Left + i + 1, r.Bottom, c);
  }
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  Begin();
  if (painter_ == nullptr) return;
  const QFontMetrics& fm = Metrics().Get(Font);
  QString s = ToQString(text);
  int w = text.empty() ? 0 : fm.horizontalAdvance(s);
  pen_pos_ = {x + w, y};
  if (text.empty()) return;
  ApplyClip();
  if (BrushFills(Brush)) FillPixels(x, y, x + w, y + fm.height(), Brush.Color);
  if (!IsRealColor(Font.Color)) return;
  UseFont();
  painter_->setPen(ToQColor(Font.Color));
  pen_valid_ = false;
  painter_->drawText(x, y + fm.ascent(), s);
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
  Begin();
  if (painter_ == nullptr) return;
  bool had = has_clip_;
  TRect old = clip_;
  TRect c = r;
  if (had) {
    c.Left = std::max(c.Left, old.Left);
    c.Top = std::max(c.Top, old.Top);
    c.Right = std::min(c.Right, old.Right);
    c.Bottom = std::min(c.Bottom, old.Bottom);
  }
  if (c.Width() <= 0 || c.Height() <= 0) return;
  SetClipRect(c);
  ApplyClip();
  if (BrushFills(Brush)) FillPixels(r.Left, r.Top, r.Right, r.Bottom, Brush.Color);
  TBrushStyle style = Brush.Style;
  Brush.Style = TBrushStyle::bsClear;
  TextOut(x, y, text);
  Brush.Style = style;
  if (had)
    SetClipRect(old);
  else
    ClearClipRect();
}

void TCanvas::TextOutAngle(int x, int y, int angle_deg, const std::string& text) {
  if (text.empty()) return;
  Begin();
  if (painter_ == nullptr || !IsRealColor(Font.Color)) return;
  ApplyClip();
  UseFont();
  const QFontMetrics& fm = Metrics().Get(Font);
  painter_->save();
  painter_->setPen(ToQColor(Font.Color));
  painter_->translate(x, y);
  painter_->rotate(-angle_deg);
  painter_->drawText(0, fm.ascent(), ToQString(text));
  painter_->restore();
  pen_valid_ = false;
}

int TCanvas::TextWidth(const std::string& text) { return MeasureTextWidth(Font, text); }
int TCanvas::TextHeight(const std::string&) { return MeasureTextHeight(Font); }

TColor TCanvas::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= Width() || y >= Height() || x >= image_->width() || y >= image_->height())
    return clNone;
  return FromQRgb(image_->pixel(x, y));
}

void TCanvas::SetPixel(int x, int y, TColor c) {
  if (x < 0 || y < 0 || x >= Width() || y >= Height() || x >= image_->width() || y >= image_->height() ||
      !IsRealColor(c))
    return;
  image_->setPixel(x, y, ToQRgb(c));
}

void TCanvas::SetClipRect(const TRect& r) {
  has_clip_ = true;
  clip_ = r;
  clip_valid_ = false;
}

void TCanvas::ClearClipRect() {
  has_clip_ = false;
  clip_valid_ = false;
}

TRect TCanvas::ClipRect() const { return has_clip_ ? clip_ : TRect{0, 0, Width(), Height()}; }

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
  if (bitmap.Empty()) return;
  Begin();
  if (painter_ == nullptr) return;
  ApplyClip();
  painter_->drawImage(x, y, bitmap.Image());
}

void TCanvas::DrawTransparent(int x, int y, const TBitmap& bitmap, TColor transparent) {
  if (bitmap.Empty()) return;
  Begin();
  if (painter_ == nullptr) return;
  ApplyClip();
  QImage img = bitmap.Image().convertToFormat(QImage::Format_ARGB32);
  const uint32_t key = ToQRgb(transparent) & 0xFFFFFFu;
  for (int yy = 0; yy < img.height(); ++yy) {
    auto* line = reinterpret_cast<uint32_t*>(img.scanLine(yy));
    for (int xx = 0; xx < img.width(); ++xx)
      if ((line[xx] & 0xFFFFFFu) == key) line[xx] = 0;
  }
  painter_->drawImage(x, y, img);
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap& bitmap) {
  if (bitmap.Empty() || dest.Width() <= 0 || dest.Height() <= 0) return;
  Begin();
  if (painter_ == nullptr) return;
  ApplyClip();
  painter_->drawImage(QRect(dest.Left, dest.Top, dest.Width(), dest.Height()), bitmap.Image());
}

void TCanvas::CopyRect(const TRect& dest, const TBitmap& source, const TRect& src) {
  if (source.Empty() || dest.Width() <= 0 || dest.Height() <= 0 || src.Width() <= 0 || src.Height() <= 0) return;
  Begin();
  if (painter_ == nullptr) return;
  ApplyClip();
  painter_->drawImage(QRect(dest.Left, dest.Top, dest.Width(), dest.Height()), source.Image(),
                      QRect(src.Left, src.Top, src.Width(), src.Height()));
}

// ---------------------------------------------------------------- TBitmap

TBitmap::TBitmap() : image_(std::make_unique<QImage>()) {}

TBitmap::TBitmap(int width, int height)
    : image_(std::make_unique<QImage>(std::max(0, width), std::max(0, height), QImage::Format_RGB32)) {
  if (!image_->isNull()) image_->fill(0xFFFFFFFFu);
}

TBitmap::~TBitmap() { canvas_.reset(); }

TBitmap::TBitmap(const TBitmap& other) : image_(std::make_unique<QImage>()) {
  other.EndPaint();
  *image_ = other.image_->copy();
}

TBitmap& TBitmap::operator=(const TBitmap& other) {
  if (this == &other) return *this;
  EndPaint();
  other.EndPaint();
  *image_ = other.image_->copy();
  return *this;
}

void TBitmap::EndPaint() const {
  if (canvas_) canvas_->EndPaint();
}

int TBitmap::Width() const { return image_->width(); }
int TBitmap::Height() const { return image_->height(); }

void TBitmap::SetSize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (width == Width() && height == Height()) return;
  EndPaint();
  QImage next(width, height, QImage::Format_RGB32);
  if (!next.isNull()) {
    next.fill(0xFFFFFFFFu);
    int w = std::min(width, Width()), h = std::min(height, Height());
    for (int y = 0; y < h; ++y)
      std::copy_n(reinterpret_cast<const uint32_t*>(image_->constScanLine(y)), w,
                  reinterpret_cast<uint32_t*>(next.scanLine(y)));
  }
  *image_ = std::move(next);
}

TColor TBitmap::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return clNone;
  return FromQRgb(reinterpret_cast<const uint32_t*>(image_->constScanLine(y))[x]);
}

void TBitmap::SetPixel(int x, int y, TColor c) {
  if (x < 0 || y < 0 || x >= Width() || y >= Height() || !IsRealColor(c)) return;
  reinterpret_cast<uint32_t*>(image_->scanLine(y))[x] = ToQRgb(c);
}

void TBitmap::Fill(TColor c) {
  if (image_->isNull() || !IsRealColor(c)) return;
  image_->fill(ToQRgb(c));
}

TCanvas& TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TCanvas>(*image_);
  return *canvas_;
}

QImage& TBitmap::Image() { return *image_; }
const QImage& TBitmap::Image() const { return *image_; }

bool TBitmap::SaveToPng(const std::filesystem::path& path) const {
  EndPaint();
  return image_->save(QString::fromStdString(path.string()), "PNG");
}

bool TBitmap::LoadFromFile(const std::filesystem::path& path) {
  QImage loaded;
  if (!loaded.load(QString::fromStdString(path.string()))) return false;
  EndPaint();
  *image_ = loaded.convertToFormat(QImage::Format_RGB32);
  return true;
}

int CaptionFitWidth(const TControl& control, const std::string& text) {
  int room = 0;
  switch (control.Kind()) {
    case TControlKind::Button: room = 12; break;
    case TControlKind::SpeedButton: {
      room = 10;
      const auto& b = static_cast<const TSpeedButton&>(control);
      if (b.Glyph && !text.empty()) room += b.Glyph->Width() / std::max(1, b.NumGlyphs) + 4;
      break;
    }
    case TControlKind::CheckBox:
    case TControlKind::RadioButton: room = 24; break;
    case TControlKind::ComboBox: room = 30; break;
    case TControlKind::Edit: room = 8; break;
    case TControlKind::GroupBox: room = 20; break;
    case TControlKind::Panel: room = 8; break;
    default: break;
  }
  int widest = 0;
  std::size_t start = 0;
  WindowBackend& backend = Application().Backend();
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    widest = std::max(widest, backend.TextExtent(control.Font, line).X);
    start = end + 1;
  }
  return widest + room;
}

void FitWidthToCaption(TControl& control, int least) {
  int need = CaptionFitWidth(control, control.Caption);
  if (const auto* combo = dynamic_cast<const TComboBox*>(&control)) {
    need = CaptionFitWidth(control, combo->Text);
    for (const std::string& item : combo->Items) need = std::max(need, CaptionFitWidth(control, item));
  }
  control.Width = std::max(least, need);
}

}  // namespace tav
