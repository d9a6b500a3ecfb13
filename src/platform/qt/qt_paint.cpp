#include "platform/qt/qt_paint.h"

#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include "platform/canvas.h"
#include "platform/qt/qt_backend_impl.h"

namespace tav::qtui {

QIcon GlyphIcon(const TBitmap& glyph, int num_glyphs) {
  const QSize size = GlyphSize(glyph, num_glyphs);
  if (size.isEmpty()) return {};
  QImage part = glyph.Image().copy(0, 0, size.width(), size.height()).convertToFormat(QImage::Format_ARGB32);
  // The bottom-left pixel's colour is the transparent one.
  const QRgb key = part.pixel(0, part.height() - 1) & 0x00FFFFFF;
  for (int y = 0; y < part.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(part.scanLine(y));
    for (int x = 0; x < part.width(); ++x)
      if ((line[x] & 0x00FFFFFF) == key) line[x] = 0;
  }
  return QIcon(QPixmap::fromImage(part));
}

QSize GlyphSize(const TBitmap& glyph, int num_glyphs) {
  if (glyph.Empty()) return {};
  return QSize(std::max(1, glyph.Width() / std::max(1, num_glyphs)), glyph.Height());
}

qint64 GlyphKey(const TBitmap& glyph) { return glyph.Image().cacheKey(); }

void QtBackend::PaintControl(TControl* control, QWidget* widget, QPaintEvent*) {
  std::string failure;
  TApplication& app = Application();
  // Handlers that fail while painting would fail at every repaint: keep the
  // first failure and show it once the paint is over.
  auto shown = std::move(app.OnException);
  app.OnException = [&failure](const std::string& what) {
    if (failure.empty()) failure = what;
  };
  painting_ = true;
  {
    QPainter painter(widget);
    TCanvas canvas(painter, widget->width(), widget->height());
    try {
      control->Paint(canvas);
    } catch (const std::exception& e) {
      failure = e.what();
    } catch (...) {
      failure = "Unknown exception";
    }
  }
  painting_ = false;
  app.OnException = std::move(shown);
  if (failure.empty()) {
    paint_failed_.erase(control);
  } else if (paint_failed_.insert(control).second) {
    // Shown once the paint is over (and once, not at every repaint).
    QTimer::singleShot(0, [failure] { Application().ShowException(failure); });
  }
}

}  // namespace tav::qtui
