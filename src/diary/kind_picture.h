// Small pictures of the kinds of sport: the diary's kind buttons and the
// calendar's day icons draw the same figures at their own sizes.
#pragma once

#include <memory>

#include "platform/canvas.h"

namespace tav {

// Draws the figure of a kind (trips 0..2, manual kinds 3..7): bike for 0, 1
// and 5, runner for 2 and 3, swimmer for 4, mountain for 6, weights for 7.
// The figure is designed on 28 x 24 pixels; scale enlarges it from (left, top).
void DrawKindPicture(TCanvas& canvas, int kind, int left, int top, double scale, TColor color);

// The figure of a kind on a white 28 x 24 bitmap, in navy.
std::shared_ptr<TBitmap> KindPicture(int kind);

}  // namespace tav
