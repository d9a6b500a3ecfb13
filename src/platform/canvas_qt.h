// Colours and pen styles of the drawing model as QtGui takes them, for the
// platform's own drawing and window code.
#pragma once

#include <QColor>

#include "platform/drawing_style.h"

namespace tav {

// The QColor of a colour: clNone is transparent, the system colours (high
// byte 0x80) are fixed ones, every other value is 0x00BBGGRR.
QColor ToQColor(TColor color);
Qt::PenStyle ToQtPenStyle(TPenStyle style);

}  // namespace tav
