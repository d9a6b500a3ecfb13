// Conversions at the window boundary: Windows-1252 texts, colours, keys,
// mouse buttons and shift states.
#pragma once

#include <QColor>
#include <QKeyEvent>
#include <QString>

#include "platform/canvas.h"     // ToQString
#include "platform/canvas_qt.h"  // ToQColor
#include "platform/controls.h"
#include "platform/text.h"

namespace tav {

inline std::string FromQString(const QString& text) { return Utf8ToCp1252(text.toUtf8().toStdString()); }

// A hint as a tooltip shown as plain text (the part before a '|').
QString ToolTipOf(const std::string& hint);

// The virtual key of a Qt key event (0 when it has none).
WORD VirtualKeyOf(const QKeyEvent& event);
// The character a key press types, as OnKeyPress sees it (0: none).
char KeyCharOf(const QKeyEvent& event);
TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = Qt::NoButton);
TMouseButton MouseButtonOf(Qt::MouseButton button);

}  // namespace tav
