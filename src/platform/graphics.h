// Pictures on forms: images with a retained, drawable picture, and paint
// boxes that draw in a handler. (TShape is declared with the other controls;
// its painting lives here.)
#pragma once

#include <functional>

#include "platform/canvas.h"
#include "platform/controls.h"

namespace tav {

// An image control: shows Picture, a bitmap that keeps what is drawn on it
// (no paint handler needed). Mouse events are those of every control.
//
//   Show1->Canvas().Brush.Color = clBlack;      // the picture grows to the control's size
//   Show1->Canvas().FillRect(Show1->ClientRect());
//   TColor c = Show1->Pixel(1, 1);
class TImage : public TControl {
 public:
  TImage() : TControl(TControlKind::Image) { Width = 105; Height = 105; Color = clNone; }

  TBitmap Picture;
  bool AutoSize = false;     // SetPicture/LoadFromFile size the control to the picture
  bool Stretch = false;      // the picture is scaled to the control's size
  bool Center = false;       // without Stretch: centred in the control
  bool Transparent = false;  // pixels of the picture's bottom-left colour are not shown

  // The picture's canvas. On each call the picture is first grown to cover
  // the control (the content is kept, new area is white), and the control is
  // marked for repainting, since the caller is about to draw.
  TCanvas& Canvas();
  // Pixels of the picture (clNone outside); writing marks the control for repainting.
  TColor Pixel(int x, int y) const { return Picture.Pixel(x, y); }
  void SetPixel(int x, int y, TColor c);
  // Replaces the picture (AutoSize resizes the control).
  void SetPicture(const TBitmap& bitmap);
  bool LoadFromFile(const std::filesystem::path& path);
  // Resizes the picture itself (content kept where it fits, new area white).
  void SetPictureSize(int width, int height);

  bool CustomDrawn() const override { return true; }
  void Paint(TCanvas& canvas) override;
};

// A paint box draws in OnPaint, on a canvas of the control's size, whenever
// the window needs it. It keeps no picture: to change what it shows, change
// the data OnPaint reads and call Invalidate().
class TPaintBox : public TControl {
 public:
  TPaintBox() : TControl(TControlKind::PaintBox) { Color = clNone; }
  std::function<void(TControl* sender, TCanvas& canvas)> OnPaint;
  bool CustomDrawn() const override { return true; }
  void Paint(TCanvas& canvas) override;
};

}  // namespace tav
