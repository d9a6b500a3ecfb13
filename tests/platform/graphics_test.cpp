#include "platform/graphics.h"

#include <gtest/gtest.h>

namespace tav {
namespace {

TEST(ImageTest, CanvasGrowsThePictureKeepsDrawingAndMarksForRepaint) {
  TImage img;
  img.SetBounds(0, 0, 30, 20);
  EXPECT_TRUE(img.Picture.Empty());
  uint64_t gen = img.PaintGeneration();
  img.Canvas().Brush.Color = clRed;
  img.Canvas().FillRect({0, 0, 10, 10});
  EXPECT_GT(img.PaintGeneration(), gen);
  EXPECT_EQ(img.Picture.Width(), 30);
  EXPECT_EQ(img.Picture.Height(), 20);
  EXPECT_EQ(img.Pixel(5, 5), clRed);
  EXPECT_EQ(img.Pixel(15, 5), clWhite);
  // Growing the control keeps what was drawn; shrinking keeps the picture.
  img.Width = 50;
  img.Canvas().Pen.Color = clBlue;
  img.Canvas().MoveTo(40, 0);
  img.Canvas().LineTo(40, 5);
  EXPECT_EQ(img.Picture.Width(), 50);
  EXPECT_EQ(img.Pixel(5, 5), clRed);
  EXPECT_EQ(img.Pixel(40, 2), clBlue);
  img.Width = 10;
  img.Canvas();
  EXPECT_EQ(img.Picture.Width(), 50);
  img.SetPixel(1, 1, clLime);
  EXPECT_EQ(img.Pixel(1, 1), clLime);
  EXPECT_EQ(img.Pixel(-1, 1), clNone);
}

TEST(ImageTest, PaintShowsThePicturePlainCentredStretchedOrTransparent) {
  TBitmap pic(4, 4);
  pic.Fill(clRed);
  pic.SetPixel(0, 3, clBlue);  // bottom left: the transparent colour
  TImage img;
  img.SetBounds(0, 0, 8, 8);
  img.AutoSize = true;
  img.SetPicture(pic);
  EXPECT_EQ(img.Width, 4);
  img.AutoSize = false;
  img.SetBounds(0, 0, 8, 8);

  // Pixels (1,1), (2,2), (0,3), (5,5), (0,7) in each mode.
  struct Row {
    bool center, stretch, transparent;
    std::vector<TColor> want;
  };
  for (const Row& r : {Row{false, false, false, {clRed, clRed, clBlue, clWhite, clWhite}},
                       Row{true, false, false, {clWhite, clRed, clWhite, clRed, clWhite}},
                       Row{false, true, false, {clRed, clRed, clRed, clRed, clBlue}},
                       Row{false, false, true, {clRed, clRed, clWhite, clWhite, clWhite}}}) {
    img.Center = r.center;
    img.Stretch = r.stretch;
    img.Transparent = r.transparent;
    TBitmap out(8, 8);
    img.Paint(out.Canvas());
    EXPECT_EQ((std::vector<TColor>{out.Pixel(1, 1), out.Pixel(2, 2), out.Pixel(0, 3), out.Pixel(5, 5), out.Pixel(0, 7)}),
              r.want) << r.center << r.stretch << r.transparent;
  }
}

TEST(PaintBoxTest, PaintRunsOnPaintWithTheCanvas) {
  TPaintBox box;
  box.SetBounds(0, 0, 10, 10);
  TBitmap out(10, 10);
  box.Paint(out.Canvas());  // no handler: nothing happens
  int calls = 0;
  box.OnPaint = [&](TControl* sender, TCanvas& cv) {
    EXPECT_EQ(sender, &box);
    ++calls;
    cv.Brush.Color = clGreen;
    cv.FillRect({0, 0, 3, 3});
  };
  box.Paint(out.Canvas());
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(out.Pixel(2, 2), clGreen);
  EXPECT_TRUE(box.CustomDrawn());
}

TEST(ShapeTest, PaintsRectanglesEllipsesAndClearBrushes) {
  TShape shape;
  shape.SetBounds(0, 0, 10, 6);
  shape.BrushColor = clYellow;
  shape.PenColor = clRed;
  TBitmap out(10, 6);
  shape.Paint(out.Canvas());
  EXPECT_EQ(out.Pixel(0, 0), clRed);
  EXPECT_EQ(out.Pixel(9, 5), clRed);
  EXPECT_EQ(out.Pixel(5, 3), clYellow);

  out.Fill(clWhite);
  shape.BrushClear = true;
  shape.Paint(out.Canvas());
  EXPECT_EQ(out.Pixel(5, 3), clWhite);

  // A 3-pixel-wide line shape is all pen and brush.
  TShape line;
  line.SetBounds(0, 0, 3, 20);
  line.BrushColor = clAqua;
  line.PenColor = clAqua;
  TBitmap l(3, 20);
  line.Paint(l.Canvas());
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 3; ++x) ASSERT_EQ(l.Pixel(x, y), clAqua);

  TShape circle;
  circle.SetBounds(0, 0, 20, 10);
  circle.Shape = TShapeType::stCircle;
  circle.BrushColor = clBlue;
  TBitmap c(20, 10);
  circle.Paint(c.Canvas());
  EXPECT_EQ(c.Pixel(10, 5), clBlue);
  EXPECT_EQ(c.Pixel(2, 5), clWhite);  // a circle of the smaller side, centred
}

}  // namespace
}  // namespace tav
