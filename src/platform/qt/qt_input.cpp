// User input from the windows into the model: mouse, keys and focus.
#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QWheelEvent>

#include <algorithm>
#include <deque>

#include "platform/qt/qt_backend_impl.h"
#include "platform/qt/qt_convert.h"

namespace tav::qtui {

namespace {

// Controls whose widget handles the mouse itself (editing, lists, pickers).
bool IsNativeInput(TControlKind kind) {
  return IsEntryKind(kind) || kind == TControlKind::TrackBar || kind == TControlKind::GroupBox ||
         kind == TControlKind::ProgressBar;
}

bool WheelChangesValue(TControlKind kind) {
  return kind == TControlKind::ComboBox || kind == TControlKind::DateTimePicker || kind == TControlKind::TrackBar;
}

}  // namespace

class InputFilter : public QObject {
 public:
  explicit InputFilter(QtBackend& backend) : backend_(backend) { qApp->installEventFilter(this); }
  ~InputFilter() override {
    if (qApp) qApp->removeEventFilter(this);
  }

  bool eventFilter(QObject* target, QEvent* e) override {
    switch (e->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Wheel:
        break;
      default:
        return false;
    }
    if (!target->isWidgetType()) return false;  // the window, before its widgets
    Binding* b = backend_.BindingOf(target);
    if (!b || !b->widget) return false;
    // An event a child left unhandled comes to its parents again: once is
    // enough. Keys belong to the focused control alone (the form sees them
    // through its key preview), so a key passed on to the parents is the
    // same key whichever control it reaches, even after a handler ran a
    // modal loop that saw other keys.
    auto* input = static_cast<QInputEvent*>(e);
    Seen seen{e->type(), input->timestamp(), b->control, 0, {}};
    if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
      seen.control = nullptr;
      seen.detail = reinterpret_cast<quintptr>(e);
      if (std::find(keys_.begin(), keys_.end(), seen) != keys_.end()) return false;
      keys_.push_back(seen);
      if (keys_.size() > 64) keys_.pop_front();
    } else if (e->type() == QEvent::Wheel) {
      auto* w = static_cast<QWheelEvent*>(e);
      seen.detail = static_cast<quintptr>(w->angleDelta().y() + 100000);
      seen.position = w->globalPosition().toPoint();
    } else {
      auto* m = static_cast<QMouseEvent*>(e);
      seen.detail = static_cast<quintptr>(m->button());
      seen.position = m->globalPosition().toPoint();
    }
    if (seen.control) {
      if (seen == last_) return false;
      last_ = seen;
    }
    if (!b->control->Enabled || !b->widget->isEnabled()) return false;

    if (e->type() == QEvent::KeyPress) return KeyPress(*b, target, static_cast<QKeyEvent*>(e));
    if (e->type() == QEvent::KeyRelease) return KeyRelease(*b, static_cast<QKeyEvent*>(e));
    if (e->type() == QEvent::Wheel) return Wheel(*b, static_cast<QWidget*>(target), static_cast<QWheelEvent*>(e));
    return Mouse(*b, static_cast<QWidget*>(target), static_cast<QMouseEvent*>(e));
  }

 private:
  struct Seen {
    QEvent::Type type = QEvent::None;
    quint64 timestamp = 0;
    const TControl* control = nullptr;
    quintptr detail = 0;
    QPoint position;
    bool operator==(const Seen&) const = default;
  };

  bool Mouse(Binding& b, QWidget* target, QMouseEvent* e) {
    TControl* c = b.control;
    QPoint p = e->position().toPoint();
    if (target != b.widget) p = target->mapTo(b.widget, p);
    const TShiftState shift = ShiftStateOf(e->modifiers(), e->buttons());
    const TMouseButton button = MouseButtonOf(e->button());
    const QPoint global = e->globalPosition().toPoint();
    Application().CursorPos = {global.x(), global.y()};
    // Labels, panels, custom-drawn controls and the form have no mouse
    // behaviour of their own: the model gets the whole click, and the event
    // goes no further (the form's window keeps it as well).
    const bool plain = !b.native_click && !IsNativeInput(c->Kind());
    const bool consume = plain && c->Kind() != TControlKind::Form;
    switch (e->type()) {
      case QEvent::MouseButtonPress:
        b.after_double_click = false;
        backend_.Input([&] { c->DoMouseDown(button, shift, p.x(), p.y()); });
        return consume;
      case QEvent::MouseButtonDblClick:
        b.after_double_click = true;
        backend_.Input([&] {
          c->DoMouseDown(button, shift | ssDouble, p.x(), p.y());
          c->DoDblClick();
        });
        return consume;
      case QEvent::MouseButtonRelease: {
        if (b.native_click && qobject_cast<QAbstractButton*>(target)) {
          // The button reports its click first, then the release follows.
          static_cast<QObject*>(target)->event(e);
          backend_.Input([&] { c->DoMouseUp(button, shift, p.x(), p.y()); });
          return true;
        }
        const bool click = plain && !b.after_double_click && e->button() == Qt::LeftButton &&
                           b.widget->rect().contains(p);
        b.after_double_click = false;
        backend_.Input([&] {
          if (click) c->DoClick();
          c->DoMouseUp(button, shift, p.x(), p.y());
        });
        return consume;
      }
      case QEvent::MouseMove:
        backend_.Input([&] { c->DoMouseMove(shift, p.x(), p.y()); }, false);
        return consume;
      default:
        return false;
    }
  }

  bool Wheel(Binding& b, QWidget* target, QWheelEvent* e) {
    TControl* c = b.control;
    // The wheel changes the value of a combo box, date picker or track bar
    // only when it has the focus, never in passing while the mouse is over it.
    if (WheelChangesValue(c->Kind()) && !b.widget->hasFocus()) return true;
    QPoint p = e->position().toPoint();
    if (target != b.widget) p = target->mapTo(b.widget, p);
    const TShiftState shift = ShiftStateOf(e->modifiers(), e->buttons());
    const int delta = e->angleDelta().y();
    bool scrolled = false;
    backend_.Input([&] { scrolled = c->DoMouseWheel(shift, delta, p.x(), p.y()); });
    return scrolled;
  }

  bool KeyPress(Binding& b, QObject* target, QKeyEvent* e) {
    TControl* c = b.control;
    const TShiftState shift = ShiftStateOf(e->modifiers());
    const WORD vk = VirtualKeyOf(*e);
    if (vk) {
      WORD key = vk;
      backend_.Input([&] { c->DoKeyDown(key, shift); });
      if (!key) return true;  // consumed
    }
    const char typed = KeyCharOf(*e);
    if (!typed) return false;
    char key = typed;
    backend_.Input([&] { c->DoKeyPress(key); });
    if (!key) return true;
    if (key == typed) return false;  // the widget types it
    // A handler changed the character: type that one instead.
    const QString replacement = ToQString(std::string(1, key));
    if (auto* line = qobject_cast<QLineEdit*>(target)) {
      if (line->isReadOnly()) return true;
      line->insert(replacement);
      emit line->textEdited(line->text());
      return true;
    }
    for (QObject* o = target; o; o = o->parent())
      if (auto* text = qobject_cast<QPlainTextEdit*>(o)) {
        if (!text->isReadOnly()) text->insertPlainText(replacement);
        return true;
      }
    return false;
  }

  bool KeyRelease(Binding& b, QKeyEvent* e) {
    const WORD vk = VirtualKeyOf(*e);
    if (!vk) return false;
    WORD key = vk;
    TControl* c = b.control;
    const TShiftState shift = ShiftStateOf(e->modifiers());
    backend_.Input([&] { c->DoKeyUp(key, shift); });
    return key == 0;
  }

  QtBackend& backend_;
  Seen last_;                // the last mouse or wheel event handled
  std::deque<Seen> keys_;    // the latest keys handled
};

QObject* MakeInputFilter(QtBackend& backend) { return new InputFilter(backend); }

void WatchFocus(QtBackend& backend, QObject* filter) {
  QObject::connect(qApp, &QApplication::focusChanged, filter, [&backend](QWidget*, QWidget* now) {
    if (!now || backend.Syncing()) return;
    Binding* b = backend.BindingOf(now);
    if (!b || b->control->Kind() == TControlKind::Form) return;
    TControl* c = b->control;
    if (c->Focused()) return;
    backend.Input([c] { c->DoEnter(); });
  });
}

}  // namespace tav::qtui
