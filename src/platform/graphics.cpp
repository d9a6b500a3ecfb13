#include "platform/graphics.h"

#include <algorithm>

namespace tav {

// ---------------------------------------------------------------- TImage

TCanvas& TImage::Canvas() {
  int w = std::max(Picture.Width(), Width);
  int h = std::max(Picture.Height(), Height);
  if (w != Picture.Width() || h != Picture.Height()) Picture.SetSize(w, h);
  Invalidate();
  return Picture.Canvas();
}

void TImage::SetPixel(int x, int y, TColor c) {
  Picture.SetPixel(x, y, c);
  Invalidate();
}

void TImage::SetPicture(const TBitmap& bitmap) {
  Picture = bitmap;
  if (AutoSize) {
    Width = Picture.Width();
    Height = Picture.Height();
  }
  Invalidate();
}

bool TImage::LoadFromFile(const std::filesystem::path& path) {
  if (!Picture.LoadFromFile(path)) return false;
  if (AutoSize) {
    Width = Picture.Width();
    Height = Picture.Height();
  }
  Invalidate();
  return true;
}

void TImage::SetPictureSize(int width, int height) {
  Picture.SetSize(width, height);
  Invalidate();
}

void TImage::Paint(TCanvas& canvas) {
  if (Picture.Empty()) return;
  TRect dest;
  if (Stretch) {
    dest = {0, 0, Width, Height};
  } else {
    int x = Center ? (Width - Picture.Width()) / 2 : 0;
    int y = Center ? (Height - Picture.Height()) / 2 : 0;
    dest = {x, y, x + Picture.Width(), y + Picture.Height()};
  }
  if (Transparent) {
    TColor key = Picture.Pixel(0, Picture.Height() - 1);
    if (Stretch) {
      TBitmap scaled(dest.Width(), dest.Height());
      scaled.Canvas().StretchDraw(dest, Picture);
      scaled.Canvas().EndPaint();
      canvas.DrawTransparent(0, 0, scaled, key);
    } else {
      canvas.DrawTransparent(dest.Left, dest.Top, Picture, key);
    }
    return;
  }
  if (Stretch)
    canvas.StretchDraw(dest, Picture);
  else
    canvas.Draw(dest.Left, dest.Top, Picture);
}

// ---------------------------------------------------------------- TPaintBox

void TPaintBox::Paint(TCanvas& canvas) {
  Fire(OnPaint, this, canvas);
}

// ---------------------------------------------------------------- TShape

void TShape::Paint(TCanvas& canvas) {
  canvas.Pen.Color = PenColor;
  canvas.Pen.Width = std::max(1, PenWidth);
  canvas.Pen.Style = PenWidth <= 0 ? TPenStyle::psClear : TPenStyle::psSolid;
  canvas.Brush.Color = BrushColor;
  canvas.Brush.Style = BrushClear ? TBrushStyle::bsClear : TBrushStyle::bsSolid;
  int w = Width, h = Height;
  int x = 0, y = 0;
  if (Shape == TShapeType::stSquare || Shape == TShapeType::stRoundSquare || Shape == TShapeType::stCircle) {
    int s = std::min(w, h);
    x = (w - s) / 2;
    y = (h - s) / 2;
    w = h = s;
  }
  switch (Shape) {
    case TShapeType::stRectangle:
    case TShapeType::stSquare:
      canvas.Rectangle(x, y, x + w, y + h);
      break;
    case TShapeType::stRoundRect:
    case TShapeType::stRoundSquare: {
      int r = std::min(w, h) / 4;
      canvas.RoundRect(x, y, x + w, y + h, r, r);
      break;
    }
    case TShapeType::stEllipse:
    case TShapeType::stCircle:
      canvas.Ellipse(x, y, x + w, y + h);
      break;
  }
}

}  // namespace tav
