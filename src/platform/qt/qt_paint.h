// Drawing of custom-drawn controls and button glyphs in the windows.
#pragma once

#include <QIcon>
#include <QSize>

#include "platform/controls.h"

namespace tav::qtui {

// A glyph as an icon: the first of num_glyphs pictures side by side, with
// the colour of its bottom-left pixel transparent.
QIcon GlyphIcon(const TBitmap& glyph, int num_glyphs);
QSize GlyphSize(const TBitmap& glyph, int num_glyphs);
// Changes whenever the glyph's pixels change.
qint64 GlyphKey(const TBitmap& glyph);

}  // namespace tav::qtui
