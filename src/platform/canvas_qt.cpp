// Colours and pen styles of the drawing model as QtGui takes them.
#include "platform/canvas_qt.h"

namespace tav {

Qt::PenStyle ToQtPenStyle(TPenStyle style) {
  switch (style) {
    case TPenStyle::psDash: return Qt::DashLine;
    case TPenStyle::psDot: return Qt::DotLine;
    case TPenStyle::psDashDot: return Qt::DashDotLine;
    case TPenStyle::psDashDotDot: return Qt::DashDotDotLine;
    case TPenStyle::psClear: return Qt::NoPen;
    case TPenStyle::psSolid: break;
  }
  return Qt::SolidLine;
}

QColor ToQColor(TColor color) {
  if (color == clNone) return QColor(Qt::transparent);
  if (color & 0xFF000000u) {
    switch (color & 0xFF) {  // system colour index
      case 5: return QColor(255, 255, 255);   // window
      case 8: return QColor(0, 0, 0);         // window text
      case 13: return QColor(0, 120, 215);    // highlight
      case 14: return QColor(255, 255, 255);  // highlight text
      case 16: return QColor(160, 160, 160);  // button shadow
      case 17: return QColor(109, 109, 109);  // grey text
      case 24: return QColor(255, 255, 225);  // tooltip background
      default: return QColor(240, 240, 240);  // button face
    }
  }
  return QColor::fromRgb(ToQRgb(color));
}

}  // namespace tav
