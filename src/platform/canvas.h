// Drawing: canvas over QPainter, bitmaps. Works headless (QImage), on a
// bitmap, and on a window during its paint, with identical results.
// (Being completed with the drawing work; the constructors below are fixed.)
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/controls.h"

class QPainter;
class QImage;

namespace tav {

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };
enum class TBrushStyle { bsSolid, bsClear };

struct TPen {
  TColor Color = clBlack;
  int Width = 1;
  TPenStyle Style = TPenStyle::psSolid;
};
struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = TBrushStyle::bsSolid;
};

class TCanvas {
 public:
  // A canvas drawing through an active painter on a surface of the given size.
  TCanvas(QPainter& painter, int width, int height);
  // A canvas drawing on an image (it owns its painter while it lives).
  explicit TCanvas(QImage& image);
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TPen Pen;
  TBrush Brush;
  TFont Font;

  int Width() const { return width_; }
  int Height() const { return height_; }

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  TPoint PenPos() const { return pen_pos_; }
  void Polyline(const std::vector<TPoint>& points);
  void Polygon(const std::vector<TPoint>& points);
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void Ellipse(int x1, int y1, int x2, int y2);
  // Opaque with the brush colour unless the brush is clear.
  void TextOut(int x, int y, const std::string& text);
  void TextRect(const TRect& r, int x, int y, const std::string& text);
  int TextWidth(const std::string& text);
  int TextHeight(const std::string& text);
  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor c);
  void SetClipRect(const TRect& r);
  void ClearClipRect();
  // Copies a bitmap (or a part of it) onto the canvas.
  void Draw(int x, int y, const TBitmap& bitmap);
  void CopyRect(const TRect& dest, const TBitmap& source, const TRect& src);

  QPainter& Painter() { return *painter_; }

 private:
  void ApplyPen();
  void ApplyBrush();
  void ApplyFont();
  QPainter* painter_;
  std::unique_ptr<QPainter> owned_painter_;
  QImage* image_ = nullptr;  // set when pixels can be read
  int width_ = 0, height_ = 0;
  TPoint pen_pos_;
};

// A retained picture with pixel access.
class TBitmap {
 public:
  TBitmap();
  TBitmap(int width, int height);
  ~TBitmap();
  TBitmap(const TBitmap& other);
  TBitmap& operator=(const TBitmap& other);
  int Width() const;
  int Height() const;
  void SetSize(int width, int height);  // keeps what fits, fills new area white
  TColor Pixel(int x, int y) const;     // clBlack outside
  void SetPixel(int x, int y, TColor c);
  bool Empty() const { return Width() == 0 || Height() == 0; }
  // A canvas on the bitmap; draw through it while it lives.
  std::unique_ptr<TCanvas> Canvas();
  QImage& Image();
  const QImage& Image() const;
  bool SaveToPng(const std::string& path) const;

 private:
  std::unique_ptr<QImage> image_;
};

}  // namespace tav
