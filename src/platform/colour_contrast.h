// Readable colours: the contrast of two colours as screen readers and
// accessibility checkers measure it (relative luminance of sRGB), a colour
// made readable on a background with the least change, and the plain text
// colour (black or white) for a filled box.
#pragma once

#include "platform/controls.h"

namespace tav {

// Relative luminance of a 0x00BBGGRR colour, 0 (black) to 1 (white).
double RelativeLuminance(TColor c);
// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on white.
double ContrastRatio(TColor a, TColor b);

// Contrast a curve or a line of chart text needs on its background, and
// the one of small text on a filled box.
inline constexpr double kCurveContrast = 3.0, kTextContrast = 4.5;

// `color` where it reaches `ratio` on `background`; otherwise the same hue
// darkened (on a light background) or lightened towards white (on a dark
// one) just far enough to reach it. A colour that is no real colour
// (clNone) is returned as it is.
TColor ReadableOn(TColor color, TColor background, double ratio = kCurveContrast);

// The colour of small text on a box filled with `box`: `preferred` where it
// reads there (contrast 4.5:1), else black or white, whichever reads better.
TColor TextColourOn(TColor box, TColor preferred = clNone);

}  // namespace tav
