#include "platform/canvas.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <filesystem>

namespace tav {
namespace {

// A white bitmap of w x h with its canvas.
struct Surface {
  TBitmap bmp;
  Surface(int w, int h) : bmp(w, h) {}
  TCanvas& cv() { return bmp.Canvas(); }
  TColor at(int x, int y) { return bmp.Canvas().Pixel(x, y); }
  // Number of pixels of colour c inside r.
  int Count(const TRect& r, TColor c) {
    int n = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) n += at(x, y) == c;
    return n;
  }
};

TEST(CanvasTest, ColourValuesRoundTrip) {
  EXPECT_EQ(ToQRgb(RGBColor(1, 2, 3)), 0xFF010203u);
  EXPECT_EQ(FromQRgb(0xFF010203u), static_cast<TColor>(RGBColor(1, 2, 3)));
  EXPECT_TRUE(IsRealColor(clWhite));
  EXPECT_FALSE(IsRealColor(clNone));
}

TEST(CanvasTest, LineToLeavesOutTheEndPixelAndMovesThePen) {
  Surface s(20, 20);
  s.cv().Pen.Color = clRed;
  s.cv().MoveTo(2, 3);
  s.cv().LineTo(10, 3);
  for (int x = 2; x < 10; ++x) EXPECT_EQ(s.at(x, 3), clRed) << x;
  EXPECT_EQ(s.at(10, 3), clWhite);
  EXPECT_EQ(s.at(1, 3), clWhite);
  EXPECT_EQ(s.cv().PenPos(), (TPoint{10, 3}));
  // Continuing from there draws the former end pixel.
  s.cv().LineTo(10, 8);
  for (int y = 3; y < 8; ++y) EXPECT_EQ(s.at(10, y), clRed) << y;
  EXPECT_EQ(s.at(10, 8), clWhite);
  // Every direction, diagonals too: the start is drawn, the end is not.
  Surface r(20, 20);
  r.cv().Pen.Color = clBlue;
  const int lines[][4] = {{15, 15, 11, 11}, {19, 0, 15, 4}, {5, 18, 1, 18}, {0, 19, 0, 14}, {12, 2, 18, 5}};
  for (const auto& l : lines) {
    r.cv().MoveTo(l[0], l[1]);
    r.cv().LineTo(l[2], l[3]);
    EXPECT_EQ(r.at(l[0], l[1]), clBlue) << l[0] << "," << l[1];
    EXPECT_EQ(r.at(l[2], l[3]), clWhite) << l[2] << "," << l[3];
  }
  EXPECT_EQ(r.Count({0, 0, 20, 20}, clBlue), 4 + 4 + 4 + 5 + 6);
  // Ends far outside the surface.
  r.cv().MoveTo(-5000000, 9);
  r.cv().LineTo(5000000, 9);
  EXPECT_EQ(r.Count({0, 9, 20, 10}, clBlue), 20);
  // A clear pen draws nothing but still moves.
  s.cv().Pen.Style = TPenStyle::psClear;
  s.cv().MoveTo(0, 19);
  s.cv().LineTo(19, 19);
  EXPECT_EQ(s.Count({0, 19, 20, 20}, clRed), 0);
  EXPECT_EQ(s.cv().PenPos(), (TPoint{19, 19}));
}

TEST(CanvasTest, PolylineLeavesOutOnlyTheLastPoint) {
  Surface s(20, 20);
  s.cv().Pen.Color = clBlue;
  s.cv().Polyline({{1, 1}, {8, 1}, {8, 6}});
  EXPECT_EQ(s.Count({1, 1, 9, 2}, clBlue), 8);  // the corner is drawn
  EXPECT_EQ(s.at(8, 5), clBlue);
  EXPECT_EQ(s.at(8, 6), clWhite);
}

TEST(CanvasTest, RectangleFramesWithPenFillsWithBrushAndExcludesRightBottom) {
  Surface s(20, 20);
  s.cv().Pen.Color = clBlack;
  s.cv().Brush.Color = clYellow;
  s.cv().Rectangle(2, 3, 10, 9);
  EXPECT_EQ(s.at(9, 8), clBlack);
  EXPECT_EQ(s.at(10, 8), clWhite);
  EXPECT_EQ(s.at(9, 9), clWhite);
  EXPECT_EQ(s.Count({3, 4, 9, 8}, clYellow), 6 * 4);
  EXPECT_EQ(s.Count({2, 3, 10, 9}, clBlack), 8 * 6 - 6 * 4);

  // A thick pen frames inside the rectangle.
  Surface t(20, 20);
  t.cv().Pen.Width = 3;
  t.cv().Pen.Color = clRed;
  t.cv().Brush.Color = clLime;
  t.cv().Rectangle(0, 0, 10, 10);
  EXPECT_EQ(t.Count({0, 0, 10, 10}, clRed), 100 - 16);
  EXPECT_EQ(t.Count({3, 3, 7, 7}, clLime), 16);

  // Clear brush: only the frame; clear pen: only the fill, over the whole rectangle.
  Surface u(20, 20);
  u.cv().Brush.Style = TBrushStyle::bsClear;
  u.cv().Rectangle(0, 0, 5, 5);
  EXPECT_EQ(u.at(2, 2), clWhite);
  EXPECT_EQ(u.at(0, 2), clBlack);
  u.cv().Brush = TBrush{clBlue, TBrushStyle::bsSolid};
  u.cv().Pen.Style = TPenStyle::psClear;
  u.cv().Rectangle(10, 10, 15, 15);
  EXPECT_EQ(u.Count({10, 10, 15, 15}, clBlue), 25);
  EXPECT_EQ(u.at(15, 15), clWhite);
  // Reversed corners are the same rectangle; an empty one draws nothing.
  u.cv().Rectangle(19, 19, 16, 16);
  EXPECT_EQ(u.Count({16, 16, 19, 19}, clBlue), 9);
  u.cv().Brush.Color = clRed;
  u.cv().Rectangle(0, 18, 0, 19);
  EXPECT_EQ(u.Count({0, 17, 20, 20}, clRed), 0);
}

TEST(CanvasTest, FillRectAndFrameRectUseTheBrushColour) {
  Surface s(20, 20);
  s.cv().Pen.Color = clRed;
  s.cv().Brush.Color = clGreen;
  s.cv().FillRect({1, 1, 5, 4});
  EXPECT_EQ(s.Count({0, 0, 20, 20}, clGreen), 12);
  s.cv().Brush.Color = clBlue;
  s.cv().FrameRect({10, 10, 15, 14});
  EXPECT_EQ(s.Count({10, 10, 15, 14}, clBlue), 5 * 4 - 3 * 2);
  EXPECT_EQ(s.at(12, 12), clWhite);
  EXPECT_EQ(s.Count({0, 0, 20, 20}, clRed), 0);
  // A clear brush fills nothing.
  s.cv().Brush.Style = TBrushStyle::bsClear;
  s.cv().FillRect({0, 0, 20, 20});
  EXPECT_EQ(s.Count({0, 0, 20, 20}, clBlue), 14);
}

TEST(CanvasTest, EllipseAndPolygonStayInsideTheirBounds) {
  Surface s(30, 30);
  s.cv().Pen.Color = clBlack;
  s.cv().Brush.Color = clRed;
  s.cv().Ellipse(5, 5, 15, 15);
  EXPECT_EQ(s.at(10, 10), clRed);
  EXPECT_EQ(s.at(5, 5), clWhite);
  EXPECT_EQ(s.Count({15, 0, 30, 30}, clBlack), 0);
  EXPECT_EQ(s.Count({0, 15, 30, 30}, clBlack), 0);
  EXPECT_GT(s.Count({5, 5, 15, 15}, clBlack), 20);
  s.cv().Brush.Color = clLime;
  s.cv().Polygon({{20, 20}, {28, 20}, {28, 28}});
  EXPECT_EQ(s.at(26, 22), clLime);
  EXPECT_EQ(s.at(21, 27), clWhite);
  EXPECT_EQ(s.at(28, 28), clBlack);  // a closed outline includes every corner
}

TEST(CanvasTest, TextOutOpaqueBoxTransparentAndPenPosition) {
  Surface s(200, 40);
  TCanvas& cv = s.cv();
  cv.Font.Size = 10;
  cv.Font.Color = clBlack;
  cv.Brush.Color = clYellow;
  const std::string text = "Hello";
  int w = cv.TextWidth(text), h = cv.TextHeight(text);
  ASSERT_GT(w, 10);
  ASSERT_GT(h, 8);
  cv.TextOut(5, 5, text);
  EXPECT_EQ(cv.PenPos(), (TPoint{5 + w, 5}));
  // The whole box is covered, the text is in it, nothing outside.
  EXPECT_EQ(s.Count({5, 5, 5 + w, 5 + h}, clWhite), 0);
  EXPECT_GT(s.Count({5, 5, 5 + w, 5 + h}, clBlack), 5);
  EXPECT_EQ(s.Count({0, 0, 200, 40}, clYellow), s.Count({5, 5, 5 + w, 5 + h}, clYellow));

  // Clear brush: no box.
  cv.Brush.Style = TBrushStyle::bsClear;
  cv.TextOut(100, 5, text);
  EXPECT_EQ(s.Count({100, 5, 100 + w, 5 + h}, clYellow), 0);
  EXPECT_GT(s.Count({100, 5, 100 + w, 5 + h}, clWhite), w * h / 2);
}

TEST(CanvasTest, TextMeasuresLikeTheWindowModelAndMapsFonts) {
  TBitmap b(10, 10);
  TCanvas& cv = b.Canvas();
  cv.Font.Name = "Verdana";
  cv.Font.Size = 9;
  EXPECT_EQ(cv.TextWidth(""), 0);
  EXPECT_LT(cv.TextWidth("iii"), cv.TextWidth("WWW"));
  // Windows-1252: the euro sign and the trade mark sign are real characters.
  const std::string tm = "TSS\x99";
  EXPECT_GT(cv.TextWidth(tm), cv.TextWidth("TSS"));
  EXPECT_EQ(cv.TextWidth(tm), MeasureText(cv.Font, tm).X);
  EXPECT_EQ(cv.TextHeight(tm), MeasureText(cv.Font, tm).Y);
  EXPECT_EQ(cv.TextWidth("\x80"), MeasureTextWidth(cv.Font, "\x80"));
  // Fixed pitch: every character has the same advance.
  cv.Font.FixedPitch = true;
  EXPECT_EQ(cv.TextWidth("iii"), cv.TextWidth("WWW"));
  TFont courier;
  courier.Name = "Courier New";
  EXPECT_EQ(MeasureTextWidth(courier, "il"), MeasureTextWidth(courier, "MW"));
  // Bigger fonts are taller.
  TFont big;
  big.Size = 20;
  EXPECT_GT(MeasureTextHeight(big), MeasureTextHeight(TFont{}));
}

TEST(CanvasTest, TextRectClipsToItsRectangleAndFillsIt) {
  Surface s(100, 30);
  TCanvas& cv = s.cv();
  cv.Brush.Color = clAqua;
  cv.Font.Color = clBlack;
  cv.TextRect({10, 5, 30, 25}, 12, 7, "WWWWWWWWWWWWWWWW");
  EXPECT_EQ(s.Count({10, 5, 30, 25}, clWhite), 0);
  EXPECT_EQ(s.Count({30, 0, 100, 30}, clBlack), 0);
  EXPECT_FALSE(cv.HasClipRect());
  // The next rectangle is filled whole, not cut by the one before.
  cv.Brush.Color = clLime;
  cv.TextRect({40, 5, 60, 25}, 42, 7, "");
  EXPECT_EQ(s.Count({40, 5, 60, 25}, clLime), 400);
  // Inside a clip rectangle only the common part is drawn, and the clip stays.
  cv.SetClipRect({0, 0, 70, 10});
  cv.Brush.Color = clRed;
  cv.TextRect({65, 5, 80, 25}, 65, 5, "");
  EXPECT_EQ(s.Count({0, 0, 100, 30}, clRed), 25);
  EXPECT_EQ(cv.ClipRect(), (TRect{0, 0, 70, 10}));
}

TEST(CanvasTest, PixelsReadWriteAndOutsideAccess) {
  Surface s(10, 10);
  s.cv().SetPixel(3, 4, RGBColor(10, 20, 30));
  EXPECT_EQ(s.bmp.Pixel(3, 4), static_cast<TColor>(RGBColor(10, 20, 30)));
  EXPECT_EQ(s.at(-1, 0), clNone);
  EXPECT_EQ(s.bmp.Pixel(0, 10), clNone);
  s.cv().SetPixel(10, 10, clRed);  // ignored
  s.cv().SetPixel(-5, 2, clRed);
  s.bmp.SetPixel(100, 2, clRed);
  s.cv().SetPixel(1, 1, clNone);   // not a colour: ignored
  EXPECT_EQ(s.at(1, 1), clWhite);
  // Pixels and drawing mix in any order.
  s.cv().Brush.Color = clRed;
  s.cv().FillRect({0, 0, 2, 2});
  s.bmp.SetPixel(0, 0, clBlue);
  s.cv().MoveTo(0, 5);
  s.cv().LineTo(3, 5);
  EXPECT_EQ(s.at(0, 0), clBlue);
  EXPECT_EQ(s.at(1, 1), clRed);
  EXPECT_EQ(s.at(2, 5), clBlack);
}

TEST(CanvasTest, ClipRectLimitsDrawingButNotPixels) {
  Surface s(20, 20);
  TCanvas& cv = s.cv();
  cv.SetClipRect({5, 5, 10, 10});
  cv.Brush.Color = clRed;
  cv.FillRect({0, 0, 20, 20});
  EXPECT_EQ(s.Count({0, 0, 20, 20}, clRed), 25);
  cv.SetPixel(0, 0, clBlue);
  EXPECT_EQ(s.at(0, 0), clBlue);
  EXPECT_EQ(cv.ClipRect(), (TRect{5, 5, 10, 10}));
  cv.ClearClipRect();
  cv.FillRect({0, 0, 20, 20});
  EXPECT_EQ(s.Count({0, 0, 20, 20}, clRed), 400);
  EXPECT_EQ(cv.ClipRect(), (TRect{0, 0, 20, 20}));
}

TEST(CanvasTest, BitmapsDrawCopyStretchAndTransparent) {
  TBitmap src(4, 3);
  src.Fill(clRed);
  src.SetPixel(0, 0, clBlue);
  Surface s(20, 20);
  s.cv().Draw(2, 2, src);
  EXPECT_EQ(s.at(2, 2), clBlue);
  EXPECT_EQ(s.Count({2, 2, 6, 5}, clRed), 11);
  EXPECT_EQ(s.at(6, 2), clWhite);
  s.cv().CopyRect({10, 10, 12, 12}, src, {0, 0, 2, 2});
  EXPECT_EQ(s.at(10, 10), clBlue);
  EXPECT_EQ(s.at(11, 11), clRed);
  EXPECT_EQ(s.at(12, 12), clWhite);
  s.cv().StretchDraw({0, 14, 8, 20}, src);
  EXPECT_EQ(s.Count({0, 14, 8, 20}, clRed) + s.Count({0, 14, 8, 20}, clBlue), 48);
  Surface t(10, 10);
  t.cv().DrawTransparent(0, 0, src, clRed);
  EXPECT_EQ(t.at(0, 0), clBlue);
  EXPECT_EQ(t.at(1, 1), clWhite);
}

TEST(CanvasTest, BitmapResizeCopyAndFiles) {
  TBitmap b(5, 5);
  b.Canvas().Brush.Color = clGreen;
  b.Canvas().FillRect({0, 0, 5, 5});
  b.SetSize(8, 3);
  EXPECT_EQ(b.Pixel(4, 2), clGreen);
  EXPECT_EQ(b.Pixel(7, 0), clWhite);
  // The canvas keeps working after the resize, on the new size.
  b.Canvas().FillRect({0, 0, 8, 3});
  EXPECT_EQ(b.Pixel(7, 2), clGreen);
  EXPECT_EQ(b.Canvas().Width(), 8);

  // A copy is independent, also while the original's canvas is drawing.
  TBitmap copy = b;
  b.Canvas().Brush.Color = clRed;
  b.Canvas().FillRect({0, 0, 8, 3});
  EXPECT_EQ(copy.Pixel(0, 0), clGreen);
  EXPECT_EQ(b.Pixel(0, 0), clRed);
  copy = b;
  EXPECT_EQ(copy.Pixel(0, 0), clRed);

  auto path = std::filesystem::temp_directory_path() / "tav_canvas_test.png";
  ASSERT_TRUE(b.SaveToPng(path));
  TBitmap loaded;
  ASSERT_TRUE(loaded.LoadFromFile(path));
  EXPECT_EQ(loaded.Width(), 8);
  EXPECT_EQ(loaded.Pixel(3, 1), clRed);
  std::filesystem::remove(path);
  EXPECT_FALSE(loaded.LoadFromFile(path));  // unchanged on failure
  EXPECT_EQ(loaded.Width(), 8);

  TBitmap empty;
  EXPECT_TRUE(empty.Empty());
  empty.Canvas().FillRect({0, 0, 5, 5});  // nothing to draw on: no crash
  empty.SetSize(-3, 4);
  EXPECT_TRUE(empty.Empty());
}

TEST(CanvasTest, PainterCanvasesDrawTheSameOnImagesAndThroughABuffer) {
  // A painter on an image draws directly.
  QImage direct(30, 30, QImage::Format_RGB32);
  direct.fill(0xFFFFFFFFu);
  {
    QPainter p(&direct);
    TCanvas cv(p, 30, 30);
    cv.Brush.Color = clRed;
    cv.Rectangle(2, 2, 12, 12);
    EXPECT_EQ(cv.Pixel(2, 2), clBlack);
    EXPECT_EQ(cv.Pixel(5, 5), clRed);
  }
  // A translated painter (like a child window inside its parent) goes
  // through a buffer: pixels read back, and everything lands shifted.
  QImage shifted(40, 40, QImage::Format_RGB32);
  shifted.fill(0xFFFFFFFFu);
  {
    QPainter p(&shifted);
    p.translate(10, 10);
    {
      TCanvas cv(p, 30, 30);
      cv.Brush.Color = clRed;
      cv.Rectangle(2, 2, 12, 12);
      EXPECT_EQ(cv.Pixel(5, 5), clRed);
      EXPECT_EQ(cv.Pixel(29, 29), clBlack);  // transparent until drawn
    }
    p.end();
  }
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(shifted.pixel(x + 10, y + 10), direct.pixel(x, y)) << x << "," << y;
  EXPECT_EQ(shifted.pixel(5, 5), 0xFFFFFFFFu);
}

TEST(CanvasTest, GradientAndPieSlices) {
  Surface s(40, 40);
  s.cv().GradientFill({0, 0, 10, 11}, clBlack, clWhite);
  EXPECT_EQ(s.at(3, 0), clBlack);
  EXPECT_EQ(s.at(3, 10), clWhite);
  EXPECT_EQ(s.at(3, 5), static_cast<TColor>(RGBColor(128, 128, 128)));
  s.cv().GradientFill({10, 0, 21, 5}, clRed, clBlue, false);
  EXPECT_EQ(s.at(10, 2), clRed);
  EXPECT_EQ(s.at(20, 2), clBlue);
  // A quarter slice from 12 o'clock clockwise covers the upper right quarter.
  s.cv().Pen.Style = TPenStyle::psClear;
  s.cv().Brush.Color = clLime;
  s.cv().PieSlice({20, 20, 40, 40}, 90, -90);
  EXPECT_EQ(s.at(33, 25), clLime);
  EXPECT_EQ(s.at(25, 25), clWhite);
  EXPECT_EQ(s.at(33, 35), clWhite);
}

}  // namespace
}  // namespace tav
