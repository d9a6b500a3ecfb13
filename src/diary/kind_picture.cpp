#include "diary/kind_picture.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tav {

void DrawKindPicture(TCanvas& c, int kind, int left, int top, double scale, TColor color) {
  auto at = [&](int x, int y) {
    return TPoint{left + static_cast<int>(std::lround(x * scale)), top + static_cast<int>(std::lround(y * scale))};
  };
  auto line = [&](std::initializer_list<TPoint> points) {
    std::vector<TPoint> p;
    for (const TPoint& q : points) p.push_back(at(q.X, q.Y));
    c.Polyline(p);
  };
  auto ellipse = [&](int x1, int y1, int x2, int y2) {
    const TPoint a = at(x1, y1), b = at(x2, y2);
    c.Ellipse(a.X, a.Y, b.X, b.Y);
  };
  auto rectangle = [&](int x1, int y1, int x2, int y2) {
    const TPoint a = at(x1, y1), b = at(x2, y2);
    c.Rectangle(a.X, a.Y, b.X, b.Y);
  };
  c.Pen.Color = color;
  c.Pen.Width = std::max(1, static_cast<int>(std::lround(2 * scale)));
  c.Brush.Style = TBrushStyle::bsClear;
  switch (kind) {
    case 2:
    case 3:  // runner
      ellipse(15, 1, 20, 6);
      line({{17, 6}, {14, 14}, {19, 22}});
      line({{14, 14}, {8, 21}});
      line({{6, 10}, {12, 8}, {16, 9}, {21, 12}});
      break;
    case 4:  // swimmer
      ellipse(4, 4, 9, 9);
      line({{9, 9}, {22, 8}});
      for (int y : {15, 20}) line({{2, y}, {7, y - 3}, {12, y}, {17, y - 3}, {22, y}, {26, y - 3}});
      break;
    case 6:  // mountain
      line({{1, 22}, {10, 6}, {15, 14}, {19, 9}, {27, 22}, {1, 22}});
      break;
    case 7:  // weights
      line({{5, 12}, {23, 12}});
      for (int x : {4, 20}) rectangle(x, 5, x + 4, 20);
      break;
    default:  // bike
      ellipse(1, 11, 11, 21);
      ellipse(17, 11, 27, 21);
      line({{6, 16}, {11, 8}, {20, 8}, {22, 16}});
      line({{11, 8}, {14, 16}, {20, 8}});
      break;
  }
  c.Brush.Style = TBrushStyle::bsSolid;
}

std::shared_ptr<TBitmap> KindPicture(int kind) {
  auto bmp = std::make_shared<TBitmap>(28, 24);
  DrawKindPicture(bmp->Canvas(), kind, 0, 0, 1.0, clNavy);
  return bmp;
}

}  // namespace tav
