// How the window model's fonts map onto Qt fonts: DejaVu Sans for every
// proportional face, DejaVu Sans Mono for fixed-pitch ones, sized in pixels
// from points at 96 dpi so that text measures the same on every screen.
#pragma once

#include <QFont>

#include "platform/controls.h"

namespace tav {

QFont QFontOf(const TFont& font);

}  // namespace tav
