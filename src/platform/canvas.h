// Drawing: a canvas over QPainter, and bitmaps. It works headless (on a
// QImage, with the offscreen platform), on a bitmap, and on a window during
// its paint, with identical pixels in every case.
//
// Pixel rules (those of the classic Windows canvas):
//  - Coordinates are whole pixels, (0, 0) top left. Rectangles include their
//    left and top edge and exclude their right and bottom edge.
//  - LineTo draws from the pen position up to, but not including, the end
//    point, and moves the pen position there. Polyline likewise leaves out
//    its very last point.
//  - Rectangle/Ellipse/Polygon fill with the brush (unless the brush is
//    clear) and outline with the pen (unless the pen style is psClear); the
//    outline of a rectangle lies inside it.
//  - FillRect fills with the brush colour, FrameRect outlines with the brush
//    colour (1 px), neither uses the pen.
//  - TextOut puts the top left of the text cell at (x, y) in Font.Color, on a
//    background box of the brush colour unless the brush is clear, and moves
//    the pen position to its right end. Text is Windows-1252 bytes.
//  - Fonts: Size in points at a fixed 96 dpi (Font.PixelHeight() pixels per
//    em). A fixed-pitch font (or a Courier/Mono name) is drawn in
//    "DejaVu Sans Mono", every other name in "DejaVu Sans" (QFontOf in
//    controls_font.h), so the output is the same on every machine. Drawing
//    needs a Qt GUI application; one is made offscreen when there is none
//    (EnsureGuiApplication in controls.h).
//  - Colours are 0x00BBGGRR. A value with bits above the low 24 set (clNone)
//    is no colour: fills and lines in it are skipped.
// Shapes are drawn without antialiasing; text is antialiased.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/drawing_style.h"

class QPainter;
class QImage;
class QString;

namespace tav {

// Windows-1252 bytes to a QString.
QString ToQString(const std::string& text);

// Single-line text measurement without a canvas (fonts as QFontOf maps
// them); identical to TCanvas::TextWidth and TextHeight in the same font.
// The height is the line height (ascent + descent).
int MeasureTextWidth(const TFont& font, const std::string& text);
int MeasureTextHeight(const TFont& font);
// Width of the widest line and height of all lines (LF or CR LF breaks).
TPoint MeasureText(const TFont& font, const std::string& text);

// The pixels of a one-pixel line from (x0, y0) up to but not including
// (x1, y1), as runs of neighbouring pixels in one row or column. Ends far
// outside bounds are first brought to its edge (4 pixels out), so huge
// coordinates cost nothing.
void LinePixelRuns(int x0, int y0, int x1, int y1, const TRect& bounds,
                   const std::function<void(const TRect&)>& run);

class TBitmap;

class TCanvas {
 public:
  // A canvas drawing through an active painter on a surface of the given
  // size. When the painter's device is a QImage (without a transform) the
  // canvas draws into it directly; otherwise it draws into a buffer that is
  // put onto the painter when the canvas is destroyed, so pixel reads work
  // on every canvas.
  TCanvas(QPainter& painter, int width, int height);
  // A canvas drawing on an image. It opens its own painter on first use and
  // keeps it open until EndPaint() or destruction.
  explicit TCanvas(QImage& image);
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TPen Pen;
  TBrush Brush;
  TFont Font;

  int Width() const;
  int Height() const;

  void MoveTo(int x, int y) { pen_pos_ = {x, y}; }
  void LineTo(int x, int y);
  TPoint PenPos() const { return pen_pos_; }
  void Polyline(const std::vector<TPoint>& points);
  void Polygon(const std::vector<TPoint>& points);
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void RoundRect(int x1, int y1, int x2, int y2, int rx, int ry);
  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  // A pie slice of the ellipse in bounds, angles in degrees counter-clockwise
  // from 3 o'clock (antialiased).
  void PieSlice(const TRect& bounds, double start_deg, double sweep_deg);
  // Fills r with a linear gradient from `from` to `to`, top to bottom
  // (vertical) or left to right.
  void GradientFill(const TRect& r, TColor from, TColor to, bool vertical = true);

  // Text: see the rules above.
  void TextOut(int x, int y, const std::string& text);
  // Text at (x, y) clipped to r; r is first filled with the brush unless the
  // brush is clear.
  void TextRect(const TRect& r, int x, int y, const std::string& text);
  // Text turned by angle degrees counter-clockwise about (x, y), the top left
  // of the unturned text cell (90: reads bottom to top). Never opaque.
  void TextOutAngle(int x, int y, int angle_deg, const std::string& text);
  int TextWidth(const std::string& text);
  int TextHeight(const std::string& text);
  TPoint TextExtent(const std::string& text) { return {TextWidth(text), TextHeight(text)}; }

  // Pixel access; reading outside the surface gives clNone, writing there
  // does nothing. Pixels ignore the clip rectangle.
  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor c);

  // Drawing is limited to r until ClearClipRect().
  void SetClipRect(const TRect& r);
  void ClearClipRect();
  bool HasClipRect() const { return has_clip_; }
  TRect ClipRect() const;

  // Bitmaps: Draw puts the whole bitmap with its top left at (x, y);
  // StretchDraw scales it into dest; CopyRect copies the part src of it into
  // dest (scaled when the sizes differ). With a transparent colour, pixels of
  // that colour are left out.
  void Draw(int x, int y, const TBitmap& bitmap);
  void DrawTransparent(int x, int y, const TBitmap& bitmap, TColor transparent);
  void StretchDraw(const TRect& dest, const TBitmap& bitmap);
  void CopyRect(const TRect& dest, const TBitmap& source, const TRect& src);

  // The painter, for code that draws large amounts directly (charts); null
  // when there is nothing to paint on (an empty bitmap). The canvas
  // re-applies its pen, brush, font and clip on its next call.
  QPainter* Painter();
  // The image behind the canvas (never null).
  QImage& Image() { return *image_; }
  // Ends a painter the canvas opened itself (image canvases); drawing later
  // opens it again. Used before the image is resized or copied.
  void EndPaint();

 private:
  void Begin();
  void UsePen();
  void UseNoPen();
  void UseBrush();
  void UseNoBrush();
  void UseFont();
  void ApplyClip();
  void Forget();
  void FillPixels(int x1, int y1, int x2, int y2, TColor c);
  bool ThinSolidPen() const;
  // One line without its end pixel, with the current pen.
  void Segment(int x0, int y0, int x1, int y1);

  QPainter* painter_ = nullptr;        // the painter drawing now (may be null while ended)
  QPainter* target_ = nullptr;         // external painter receiving the buffer
  std::unique_ptr<QPainter> owned_painter_;
  std::unique_ptr<QImage> buffer_;     // buffer for non-image painters
  QImage* image_ = nullptr;
  int width_ = 0, height_ = 0;         // fixed size for painter canvases, -1: follow the image
  TPoint pen_pos_;
  bool has_clip_ = false;
  bool restore_ = false;               // the external painter's state is restored at the end
  TRect clip_;
  // What the painter holds now.
  bool pen_valid_ = false, brush_valid_ = false, font_valid_ = false, clip_valid_ = false;
  TPen applied_pen_;
  bool applied_no_pen_ = false;
  TBrush applied_brush_;
  bool applied_no_brush_ = false;
  TFont applied_font_;
};

// A retained picture (32-bit RGB) with pixel access.
class TBitmap {
 public:
  TBitmap();
  TBitmap(int width, int height);  // filled white
  ~TBitmap();
  TBitmap(const TBitmap& other);
  TBitmap& operator=(const TBitmap& other);
  int Width() const;
  int Height() const;
  void SetSize(int width, int height);  // keeps what fits, fills new area white
  TColor Pixel(int x, int y) const;     // clNone outside
  void SetPixel(int x, int y, TColor c);
  void Fill(TColor c);
  bool Empty() const { return Width() == 0 || Height() == 0; }
  // The bitmap's canvas; it lives as long as the bitmap. Drawing on it
  // changes the bitmap at once.
  TCanvas& Canvas();
  QImage& Image();
  const QImage& Image() const;
  bool SaveToPng(const std::filesystem::path& path) const;
  // Loads any image file Qt reads (PNG, BMP, ...); false (bitmap unchanged)
  // when it cannot be read.
  bool LoadFromFile(const std::filesystem::path& path);

 private:
  void EndPaint() const;
  std::unique_ptr<QImage> image_;
  mutable std::unique_ptr<TCanvas> canvas_;
};

// The width a control needs to show `text` whole in the window: the widest
// line of the text in the control's font and the room its widget keeps
// beside the text (a button's frame, the box of a check or radio button, a
// combo box's arrow, an edit's frame). Labels need the text alone.
int CaptionFitWidth(const TControl& control, const std::string& text);
// Widens the control to CaptionFitWidth of its caption (a combo box: of its
// widest item), never below `least`; the left edge stays.
void FitWidthToCaption(TControl& control, int least = 0);

}  // namespace tav
