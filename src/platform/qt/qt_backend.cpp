// The window backend: keeps one window per form in line with the model.
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

#include "platform/canvas.h"
#include "platform/controls_font.h"
#include "platform/eventloop.h"
#include "platform/qt/qt_backend_impl.h"
#include "platform/qt/qt_convert.h"
#include "platform/qt/qt_eventloop.h"

namespace tav::qtui {

namespace {
constexpr uint32_t kOwnActivationMs = 400;

// Raising a window where the platform has no stacking only warns.
void RaiseWindow(QWidget* w) {
  static const bool stacks = QGuiApplication::platformName() != QLatin1String("offscreen");
  if (stacks) w->raise();
}
}

QtBackend::QtBackend() : filter_(MakeInputFilter(*this)) { WatchFocus(*this, filter_.get()); }

QtBackend::~QtBackend() {
  by_control_.clear();
  forms_.clear();  // windows go before the filter they use
}

void QtBackend::FormShown(TForm*) { ScheduleSync(); }
void QtBackend::FormHidden(TForm*) { ScheduleSync(); }

void QtBackend::FormRaised(TForm* form) {
  if (FormState* s = StateOf(form)) s->raise_requested = true;
  ScheduleSync();
}

void QtBackend::ScheduleSync() {
  // Shown or hidden outside any handler (at start, by a test): the windows
  // follow as soon as the loop runs.
  if (sync_queued_) return;
  sync_queued_ = true;
  QTimer::singleShot(0, filter_.get(), [this] {
    sync_queued_ = false;
    Sync();
  });
}

void QtBackend::ModalStarted(TForm*) {
  // The handler that opened the form is still running: show it now.
  Sync();
}

void QtBackend::ModalEnded(TForm*) { ScheduleSync(); }

void QtBackend::FormDestroyed(TForm* form) {
  auto it = forms_.find(form);
  if (it == forms_.end()) return;
  for (auto& [control, binding] : it->second.bindings) by_control_.erase(control);
  for (auto& [control, binding] : it->second.bindings) paint_failed_.erase(control);
  by_control_.erase(form);
  if (applied_active_ == form) applied_active_ = nullptr;
  forms_.erase(it);
}

TPoint QtBackend::TextExtent(const TFont& font, const std::string& text) { return MeasureText(font, text); }

FormState* QtBackend::StateOf(const TForm* form) {
  auto it = forms_.find(form);
  return it == forms_.end() ? nullptr : &it->second;
}

QWidget* QtBackend::WindowOf(const TForm* form) {
  FormState* s = StateOf(form);
  return s ? s->window.get() : nullptr;
}

Binding* QtBackend::BindingOf(const TControl* control) {
  auto it = by_control_.find(control);
  return it == by_control_.end() ? nullptr : it->second;
}

Binding* QtBackend::BindingOf(QObject* object) {
  for (QObject* o = object; o; o = o->parent()) {
    QVariant v = o->property("tavControl");
    if (v.isValid()) return BindingOf(reinterpret_cast<const TControl*>(v.value<quintptr>()));
    if (o->isWidgetType() && static_cast<QWidget*>(o)->isWindow()) break;
  }
  return nullptr;
}

void QtBackend::Input(const std::function<void()>& fn, bool repaint_views) {
  input_since_sync_ |= repaint_views;
  TApplication& app = Application();
  app.Dispatch(fn);
  if (app.DispatchDepth() > 0) Sync();  // the outermost level has synced already
  PokeQtEventLoop();
}

// ------------------------------------------------------------------- sync

void QtBackend::Sync() {
  if (painting_) {
    ScheduleSync();  // never while a widget paints: once it has finished
    return;
  }
  if (syncing_) {
    resync_ = true;  // something changed while applying: one more pass
    return;
  }
  syncing_ = true;
  for (int pass = 0; pass < 4; ++pass) {
    resync_ = false;
    for (TForm* form : Application().Forms()) SyncForm(form);
    SyncActivation();
    if (!resync_) break;
  }
  input_since_sync_ = false;
  syncing_ = false;
}

void QtBackend::SyncForm(TForm* form) {
  FormState* s = StateOf(form);
  if (!s) {
    if (!form->Visible) return;  // windows are made when first shown
    FormState& fresh = forms_[form];
    fresh.window = std::make_unique<FormWindow>(form, *this);
    fresh.self.control = form;
    fresh.self.widget = fresh.window.get();
    by_control_[form] = &fresh.self;
    s = &fresh;
  }
  if (!form->Visible) {
    if (s->window->isVisible()) s->window->hide();
    return;
  }
  SyncControls(*s, form);
  SyncFormWindow(*s, form);
}

void QtBackend::SyncFormWindow(FormState& s, TForm* form) {
  FormWindow* w = s.window.get();
  Binding& self = s.self;
  if (self.fresh || self.caption != form->Caption) {
    self.caption = form->Caption;
    w->setWindowTitle(ToQString(form->Caption));
  }
  if (self.fresh || self.color != form->Color) {
    self.color = form->Color;
    QPalette p = w->palette();
    p.setColor(QPalette::Window, ToQColor(form->Color == clNone ? clBtnFace : form->Color));
    w->setPalette(p);
    w->setAutoFillBackground(true);
  }
  if (self.fresh || self.font != form->Font) {
    self.font = form->Font;
    w->setFont(QFontOf(form->Font));
  }
  if (form->PaintGeneration() != self.paint_generation) {
    self.paint_generation = form->PaintGeneration();
    w->update();
  }
  self.fresh = false;

  // Border and stay-on-top style apply while the window is hidden.
  const int border = static_cast<int>(form->BorderStyle) + (form->FormStyle == TFormStyle::fsStayOnTop ? 100 : 0);
  if (border != s.border && !w->isVisible()) {
    s.border = border;
    Qt::WindowFlags flags = Qt::Window;
    switch (form->BorderStyle) {
      case TFormBorderStyle::bsNone: flags |= Qt::FramelessWindowHint; break;
      case TFormBorderStyle::bsToolWindow:
      case TFormBorderStyle::bsSizeToolWin: flags |= Qt::Tool; break;
      case TFormBorderStyle::bsDialog:  // a caption with a close button only
        flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
        break;
      case TFormBorderStyle::bsSingle:  // fixed size: nothing to maximise
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
        break;
      case TFormBorderStyle::bsSizeable: break;
    }
    if (form->FormStyle == TFormStyle::fsStayOnTop) flags |= Qt::WindowStaysOnTopHint;
    w->setWindowFlags(flags);
  }
  if (form->Modal() != s.modal) {
    const bool was_visible = w->isVisible();
    if (was_visible) w->hide();  // modality changes only while hidden
    s.modal = form->Modal();
    w->setWindowModality(s.modal ? Qt::ApplicationModal : Qt::NonModal);
  }

  // Geometry: Left/Top place the frame, the client gets ClientWidth x ClientHeight.
  const QSize client(std::max(1, form->ClientWidth()), std::max(1, form->ClientHeight()));
  const QPoint position(form->Left, form->Top);
  if (form->WindowState == TWindowState::wsNormal) {
    if (!s.positioned || position != s.position) {
      s.position = position;
      w->move(position);
    }
    const bool fixed = form->BorderStyle == TFormBorderStyle::bsSingle ||
                       form->BorderStyle == TFormBorderStyle::bsDialog;
    if (!s.positioned || client != s.client) {
      s.client = client;
      w->resize(client);
      if (fixed) {
        w->setFixedSize(client);
      } else {
        w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
      }
    }
    const QSize least(std::max(0, form->MinClientWidth), std::max(0, form->MinClientHeight));
    if (!fixed && w->minimumSize() != least) w->setMinimumSize(least);
    s.positioned = true;
  }

  const bool showing = w->isVisible();
  if (!showing || form->WindowState != s.state) {
    s.state = form->WindowState;
    switch (form->WindowState) {
      case TWindowState::wsMaximized: w->showMaximized(); break;
      case TWindowState::wsMinimized: w->showMinimized(); break;
      default: w->showNormal(); break;
    }
    if (!showing) {
      own_activation_until_ = TickCount() + kOwnActivationMs;
      s.raise_requested = true;
      ReportFrame(s, form);
    }
  }
  if (s.raise_requested) {
    s.raise_requested = false;
    RaiseWindow(w);
  }
  Binding* focused = form->ActiveControl ? BindingOf(form->ActiveControl) : nullptr;
  if (form->FocusRequest() != s.focus_request) {
    s.focus_request = form->FocusRequest();
    if (focused && focused->widget)
      focused->widget->setFocus(Qt::OtherFocusReason);
    else
      w->setFocus(Qt::OtherFocusReason);
  } else if (focused && focused->widget && focused->widget->isEnabled() && focused->widget->isVisible() &&
             focused->widget->focusPolicy() != Qt::NoFocus &&
             (!w->focusWidget() || BindingOf(w->focusWidget()) != focused)) {
    // Qt moved its focus on while the control was disabled or hidden (or
    // the user clicked the bare form): the control the model names has the
    // keyboard again as soon as it can take it.
    focused->widget->setFocus(Qt::OtherFocusReason);
  }
}

void QtBackend::SyncActivation() {
  TForm* active = Application().ActiveForm();
  if (active == applied_active_) return;
  FormState* s = active ? StateOf(active) : nullptr;
  if (active && (!s || !s->window->isVisible())) return;  // not shown yet
  applied_active_ = active;
  if (!s) return;
  own_activation_until_ = TickCount() + kOwnActivationMs;
  RaiseWindow(s->window.get());
  s->window->activateWindow();
}

void QtBackend::WindowActivated(TForm* form) {
  TApplication& app = Application();
  if (form == app.ActiveForm() || !form->Visible) return;
  if (static_cast<int32_t>(own_activation_until_ - TickCount()) > 0) {
    // A consequence of our own showing and hiding: the model decides.
    if (FormState* s = StateOf(app.ActiveForm()); s && s->window->isVisible()) s->window->activateWindow();
    return;
  }
  for (TForm* f : app.Forms())
    if (f->Modal() && f != form) return;  // the modal form keeps the activation
  Input([&] { app.ActivateForm(form); });
}

// ------------------------------------------------------- window reports

void QtBackend::ReportFrame(FormState& s, TForm* form) {
  FormWindow* w = s.window.get();
  if (!w->isVisible()) return;
  const QRect outer = w->frameGeometry(), inner = w->geometry();
  const QSize frame(outer.width() - inner.width(), outer.height() - inner.height());
  // Only a frame with a caption is a real one (the offscreen platform and an
  // X server before the window manager has framed the window report none).
  if (frame.height() <= 0 || frame == s.frame) return;
  s.frame = frame;
  const int old_w = form->ClientWidth(), old_h = form->ClientHeight();
  // The client area keeps the size it was given (the layouts are made for
  // it); the outer size takes the real frame. Keeping the outer size
  // instead made a window's client grow by the difference between the
  // assumed and the real frame at its first showing and shrink back at the
  // next activation that sets its client size.
  const QSize real = w->size();
  form->Width = real.width() + frame.width();
  form->Height = real.height() + frame.height();
  form->SetActualClientSize(real.width(), real.height());
  if (form->ClientWidth() != old_w || form->ClientHeight() != old_h) {
    resync_ = true;
    Input([form] { form->DoResize(); });
  }
}

void QtBackend::WindowResized(FormWindow* window) {
  TForm* form = window->form();
  FormState* s = StateOf(form);
  if (!s) return;
  ReportFrame(*s, form);
  const QSize now = window->size();
  if (now == s->client) return;  // what we applied
  s->client = now;
  form->Width += now.width() - form->ClientWidth();
  form->Height += now.height() - form->ClientHeight();
  if (syncing_) resync_ = true;
  Input([form] { form->DoResize(); });
}

void QtBackend::WindowMoved(FormWindow* window) {
  TForm* form = window->form();
  FormState* s = StateOf(form);
  if (!s) return;
  ReportFrame(*s, form);
  if (window->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)) return;
  const QPoint now = window->pos();
  if (now == s->position) return;
  s->position = now;
  form->Left = now.x();
  form->Top = now.y();
}

void QtBackend::WindowStateChanged(FormWindow* window) {
  TForm* form = window->form();
  FormState* s = StateOf(form);
  if (!s) return;
  const Qt::WindowStates q = window->windowState();
  TWindowState state = (q & Qt::WindowMinimized)   ? TWindowState::wsMinimized
                       : (q & Qt::WindowMaximized) ? TWindowState::wsMaximized
                                                   : TWindowState::wsNormal;
  if (state == s->state) return;
  s->state = state;
  if (state == form->WindowState) return;
  Input([form, state] { form->DoWindowStateChange(state); });
}

// ------------------------------------------------------------- dialogs

QWidget* QtBackend::DialogParent() {
  if (TForm* active = Application().ActiveForm())
    if (FormState* s = StateOf(active); s && s->window->isVisible()) return s->window.get();
  return nullptr;
}

int QtBackend::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  if (painting_) {
    // Never a dialog inside a paint: shown right after it, answered with the first button.
    QTimer::singleShot(0, [this, text, caption, flags] { MessageBox(text, caption, flags); });
    return WindowBackend::MessageBox(text, caption, flags);
  }
  Sync();  // the windows as the model stands
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (flags & 0xF0) {
    case MB_ICONERROR: icon = QMessageBox::Critical; break;
    case MB_ICONQUESTION: icon = QMessageBox::Question; break;
    case MB_ICONWARNING: icon = QMessageBox::Warning; break;
    case MB_ICONINFORMATION: icon = QMessageBox::Information; break;
    default: break;
  }
  QMessageBox::StandardButtons buttons;
  switch (flags & 0x0F) {
    case MB_OKCANCEL: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case MB_YESNOCANCEL: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    case MB_YESNO: buttons = QMessageBox::Yes | QMessageBox::No; break;
    default: buttons = QMessageBox::Ok; break;
  }
  QMessageBox box(icon, ToQString(caption), ToQString(text), buttons, DialogParent());
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  const int answer = box.exec();
  switch (answer) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Cancel: return IDCANCEL;
    default: return (flags & 0x0F) == MB_YESNO ? IDNO : IDCANCEL;
  }
}

namespace {
// "CSV files (*.csv)|*.csv|All|*.*" -> "CSV files (*.csv) (*.csv)", "All (*.*)".
QStringList NameFilters(const std::string& filter) {
  QStringList parts = ToQString(filter).split(QLatin1Char('|'));
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    out << parts[i].trimmed() + QStringLiteral(" (") + patterns.trimmed() + QLatin1Char(')');
  }
  return out;
}
}  // namespace

bool QtBackend::FileDialog(TFileDialogRequest& request) {
  Sync();
  QFileDialog dialog(DialogParent(), ToQString(request.Title), ToQString(request.InitialDir));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  QStringList filters = NameFilters(request.Filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  if (!request.DefaultExt.empty()) {
    std::string ext = request.DefaultExt;
    if (ext.front() == '.') ext.erase(0, 1);
    dialog.setDefaultSuffix(ToQString(ext));
  }
  if (!request.FileName.empty()) dialog.selectFile(ToQString(request.FileName));
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return false;
  request.FileName = FromQString(files.first());
  return true;
}

// ---------------------------------------------------------- form window

FormWindow::FormWindow(TForm* form, QtBackend& backend) : QWidget(nullptr), form_(form), backend_(backend) {
  setProperty("tavControl", QVariant::fromValue<quintptr>(reinterpret_cast<quintptr>(static_cast<TControl*>(form))));
  // The form takes the keys when none of its controls can, but never
  // through Tab: that cycles through the controls alone.
  setFocusPolicy(Qt::ClickFocus);
  setAttribute(Qt::WA_QuitOnClose, false);
}

bool FormWindow::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) backend_.WindowActivated(form_);
  return QWidget::event(e);
}

void FormWindow::closeEvent(QCloseEvent* e) {
  e->ignore();  // the model decides (OnCloseQuery, OnClose)
  TForm* form = form_;
  backend_.Input([form] { form->DoCloseButton(); });
}

void FormWindow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  backend_.WindowResized(this);
}

void FormWindow::moveEvent(QMoveEvent* e) {
  QWidget::moveEvent(e);
  backend_.WindowMoved(this);
}

void FormWindow::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  if (e->type() == QEvent::WindowStateChange) backend_.WindowStateChanged(this);
}

void FormWindow::paintEvent(QPaintEvent* e) {
  if (form_->CustomDrawn()) backend_.PaintControl(form_, this, e);
}

}  // namespace tav::qtui
