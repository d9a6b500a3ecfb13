#include "platform/colour_contrast.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/drawing_style.h"

namespace tav {

namespace {

// The linear light of an sRGB channel 0..255, from a table worked out once:
// curves of many colours (a point coloured by its value) ask for it per point.
double Linear(int channel) {
  static const std::array<double, 256> table = [] {
    std::array<double, 256> t{};
    for (int i = 0; i < 256; ++i) {
      const double c = i / 255.0;
      t[static_cast<std::size_t>(i)] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    }
    return t;
  }();
  return table[static_cast<std::size_t>(std::clamp(channel, 0, 255))];
}

// Each channel moved towards `target` (0 or 255) by the share t (0..1).
TColor Towards(TColor c, int target, double t) {
  auto move = [&](int v) { return static_cast<int>(std::lround(v + (target - v) * t)); };
  return static_cast<TColor>(RGBColor(move(GetRValue(c)), move(GetGValue(c)), move(GetBValue(c))));
}

}  // namespace

double RelativeLuminance(TColor c) {
  return 0.2126 * Linear(GetRValue(c)) + 0.7152 * Linear(GetGValue(c)) + 0.0722 * Linear(GetBValue(c));
}

double ContrastRatio(TColor a, TColor b) {
  const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TColor ReadableOn(TColor color, TColor background, double ratio) {
  if (!IsRealColor(color) || !IsRealColor(background)) return color;
  if (ContrastRatio(color, background) >= ratio) return color;
  // Towards black on a background that black reads better on, else towards white.
  const int target = ContrastRatio(clBlack, background) >= ContrastRatio(clWhite, background) ? 0 : 255;
  // The least share that reaches the ratio (the contrast grows with the share).
  double lo = 0.0, hi = 1.0;
  for (int i = 0; i < 20; ++i) {
    const double mid = (lo + hi) / 2;
    (ContrastRatio(Towards(color, target, mid), background) >= ratio ? hi : lo) = mid;
  }
  return Towards(color, target, hi);
}

TColor TextColourOn(TColor box, TColor preferred) {
  if (IsRealColor(preferred) && IsRealColor(box) && ContrastRatio(preferred, box) >= kTextContrast) return preferred;
  return ContrastRatio(clBlack, box) >= ContrastRatio(clWhite, box) ? clBlack : clWhite;
}

}  // namespace tav
