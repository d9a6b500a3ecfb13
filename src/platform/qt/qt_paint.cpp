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

void QtBackend::RunPaint(const TControl* control, const std::function<void()>& paint) {
  std::string failure;
  TApplication& app = Application();
  auto shown = std::move(app.OnException);
  app.OnException = [&failure](const std::string& what) {
    if (failure.empty()) failure = what;
  };
  const bool was_painting = painting_;
  painting_ = true;
  try {
    paint();
  } catch (const std::exception& e) {
    if (failure.empty()) failure = e.what();
  } catch (...) {
    if (failure.empty()) failure = "Unknown exception";
  }
  painting_ = was_painting;
  app.OnException = std::move(shown);
  if (failure.empty()) {
    paint_failed_.erase(control);
  } else if (paint_failed_.insert(control).second) {
    QTimer::singleShot(0, [failure] { Application().ShowException(failure); });
  }
}

void QtBackend::PaintControl(TControl* control, QWidget* widget, QPaintEvent*) {
  RunPaint(control, [&] {
    QPainter painter(widget);
    TCanvas canvas(painter, widget->width(), widget->height());
    control->Paint(canvas);
  });
}

void QtBackend::PaintComboItem(TComboBox* combo, QPainter* painter, const QRect& rect, int index, bool selected) {
  RunPaint(combo, [&] {
    painter->save();
    painter->translate(rect.topLeft());
    {
      TCanvas canvas(*painter, rect.width(), rect.height());
      // As the list sets it up for an owner-drawn item.
      canvas.Font = combo->Font;
      canvas.Brush.Color = selected ? RGBColor(0, 120, 215) : (IsRealColor(combo->Color) ? combo->Color : clWindow);
      if (selected) canvas.Font.Color = clWhite;
      TOwnerDrawState state;
      state.Selected = selected;
      state.Focused = selected;
      auto handler = combo->OnDrawItem;
      handler(combo, index, TRect{0, 0, rect.width(), rect.height()}, state, canvas);
    }
    painter->restore();
  });
}

}  // namespace tav::qtui
