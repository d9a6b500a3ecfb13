#include "platform/qt/qt_convert.h"

namespace tav {

QString ToolTipOf(const std::string& hint) {
  std::string shown = hint.substr(0, hint.find('|'));
  if (shown.empty()) return {};
  // Escaped and kept preformatted: '&', '<', '%' and line breaks show as typed.
  return QStringLiteral("<p style='white-space:pre'>") + ToQString(shown).toHtmlEscaped() + QStringLiteral("</p>");
}

WORD VirtualKeyOf(const QKeyEvent& event) {
  const int key = event.key();
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<WORD>('A' + (key - Qt::Key_A));
  if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    if (event.modifiers() & Qt::KeypadModifier) return static_cast<WORD>(0x60 + (key - Qt::Key_0));
    return static_cast<WORD>('0' + (key - Qt::Key_0));
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return static_cast<WORD>(VK_F1 + (key - Qt::Key_F1));
  switch (key) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Asterisk: return 0x6A;
    case Qt::Key_Plus: return (event.modifiers() & Qt::KeypadModifier) ? 0x6B : 0xBB;
    case Qt::Key_Minus: return (event.modifiers() & Qt::KeypadModifier) ? 0x6D : 0xBD;
    case Qt::Key_Comma: return 0xBC;
    case Qt::Key_Period: return (event.modifiers() & Qt::KeypadModifier) ? 0x6E : 0xBE;
    case Qt::Key_Slash: return (event.modifiers() & Qt::KeypadModifier) ? 0x6F : 0xBF;
    default: return 0;
  }
}

char KeyCharOf(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return '\r';
    case Qt::Key_Backspace: return '\b';
    case Qt::Key_Escape: return 27;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 0;  // moves the focus; no character reaches the control
    default: break;
  }
  const QString text = event.text();
  if (text.size() != 1) return 0;
  const char32_t cp = text.at(0).unicode();
  if (cp < 32 && !(event.modifiers() & Qt::ControlModifier)) return 0;
  auto byte = UnicodeToCp1252(cp);
  return byte ? static_cast<char>(*byte) : 0;
}

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState s = 0;
  if (modifiers & Qt::ShiftModifier) s |= ssShift;
  if (modifiers & Qt::AltModifier) s |= ssAlt;
  if (modifiers & Qt::ControlModifier) s |= ssCtrl;
  if (buttons & Qt::LeftButton) s |= ssLeft;
  if (buttons & Qt::RightButton) s |= ssRight;
  if (buttons & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

TMouseButton MouseButtonOf(Qt::MouseButton button) {
  switch (button) {
    case Qt::RightButton: return TMouseButton::mbRight;
    case Qt::MiddleButton: return TMouseButton::mbMiddle;
    default: return TMouseButton::mbLeft;
  }
}

}  // namespace tav
