// The contrast ratio of two colours as the accessibility guidelines define
// it (WCAG 2: relative luminance of sRGB), worked out here on its own for the
// tests that check what a user can read.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tav::testing_contrast {

// 0x00BBGGRR as the program stores colours.
inline double Luminance(uint32_t bgr) {
  const double rgb[3] = {(bgr & 0xFF) / 255.0, ((bgr >> 8) & 0xFF) / 255.0, ((bgr >> 16) & 0xFF) / 255.0};
  double lin[3];
  for (int i = 0; i < 3; ++i) lin[i] = rgb[i] <= 0.03928 ? rgb[i] / 12.92 : std::pow((rgb[i] + 0.055) / 1.055, 2.4);
  return 0.2126 * lin[0] + 0.7152 * lin[1] + 0.0722 * lin[2];
}

inline double Contrast(uint32_t a, uint32_t b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace tav::testing_contrast
