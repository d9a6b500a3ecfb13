// Pens, brushes and colour values of the drawing model: what the canvas
// draws with, and what its Qt conversions (canvas_qt.h) take.
#pragma once

#include <cstdint>

#include "platform/controls.h"

namespace tav {

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };
enum class TBrushStyle { bsSolid, bsClear };

struct TPen {
  TColor Color = clBlack;
  int Width = 1;
  TPenStyle Style = TPenStyle::psSolid;
  bool operator==(const TPen&) const = default;
};
struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = TBrushStyle::bsSolid;
  bool operator==(const TBrush&) const = default;
};

// True for a real 0x00BBGGRR colour (not clNone or another marker value).
constexpr bool IsRealColor(TColor c) { return (c & 0xFF000000u) == 0; }
// 0xAARRGGBB (Qt's QRgb) of a colour, opaque.
constexpr uint32_t ToQRgb(TColor c) {
  return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
constexpr TColor FromQRgb(uint32_t rgb) {
  return ((rgb >> 16) & 0xFFu) | (rgb & 0xFF00u) | ((rgb & 0xFFu) << 16);
}
constexpr int GetRValue(TColor c) { return static_cast<int>(c & 0xFF); }
constexpr int GetGValue(TColor c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int GetBValue(TColor c) { return static_cast<int>((c >> 16) & 0xFF); }

}  // namespace tav
