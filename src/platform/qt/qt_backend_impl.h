// Inside the Qt window backend: one QWidget window per form, one widget per
// control, and what was last applied to each (so that bringing the windows
// in line with the model sets only what changed).
#pragma once

#include <QFrame>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/controls.h"

class QEvent;
class QPainter;

namespace tav::qtui {

class QtBackend;

// What was last applied to a control's widget.
struct Binding {
  TControl* control = nullptr;
  QWidget* widget = nullptr;
  TControl* parent = nullptr;  // the Parent the widget sits in
  bool fresh = true;           // nothing applied yet
  bool native_click = false;   // the widget reports clicks itself
  QRect geometry;
  bool visible = false, enabled = true;
  std::string caption, hint, disabled_note;
  bool show_hint = true;
  TFont font;
  TColor color = 0;
  bool transparent = true;
  // Kind-specific values.
  std::string text;
  std::vector<std::string> lines;
  int index = -2;
  int style = -1;
  int alignment = -1;
  bool flag1 = false, flag2 = false, flag3 = false;
  int num1 = 0, num2 = 0, num3 = 0;
  double value = 0;
  const void* glyph = nullptr;
  qint64 glyph_key = 0;
  std::vector<bool> selected;
  uint64_t paint_generation = ~uint64_t{0};
  std::vector<TControl*> child_order;  // z order applied to the widget's children
  bool after_double_click = false;
};

// The window of a form.
class FormWindow : public QWidget {
 public:
  FormWindow(TForm* form, QtBackend& backend);
  TForm* form() const { return form_; }

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void changeEvent(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  TForm* form_;
  QtBackend& backend_;
};

// Every control that draws itself: images, paint boxes, shapes, grids, charts.
class PaintWidget : public QWidget {
 public:
  PaintWidget(TControl* control, QtBackend& backend, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  TControl* control_;
  QtBackend& backend_;
};

// A panel: bevelled frame, background colour and a caption.
class PanelWidget : public QFrame {
 public:
  PanelWidget(TPanel* panel, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  TPanel* panel_;
};

struct FormState {
  std::unique_ptr<FormWindow> window;
  std::unordered_map<TControl*, Binding> bindings;
  Binding self;  // the form's own applied values (caption, colour, z order of its children)
  QSize client;  // last client size applied or reported
  QPoint position;
  bool positioned = false;
  TWindowState state = TWindowState::wsNormal;
  int border = -1;
  bool modal = false;
  bool raise_requested = false;
  uint64_t focus_request = 0;
  QSize frame;  // caption and borders, once the window system told us
};

class QtBackend : public WindowBackend {
 public:
  QtBackend();
  ~QtBackend() override;

  void FormShown(TForm* form) override;
  void FormHidden(TForm* form) override;
  void FormRaised(TForm* form) override;
  void ModalStarted(TForm* form) override;
  void ModalEnded(TForm* form) override;
  void FormDestroyed(TForm* form) override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  bool FileDialog(TFileDialogRequest& request) override;
  TPoint TextExtent(const TFont& font, const std::string& text) override;
  void Sync() override;
  void ScheduleSync();
  // True while the windows are being brought in line with the model: what Qt
  // does then (moving its focus off a control being disabled) is no user input.
  bool Syncing() const { return syncing_; }

  // User input from the windows: runs as a handler, then the windows are
  // brought in line and running loops re-check their conditions. Clicks,
  // keys and the wheel also repaint the visible grids and charts (their
  // state may follow the input without an Invalidate); mouse moves do not.
  void Input(const std::function<void()>& fn, bool repaint_views = true);
  // Runs a paint: handlers that fail would fail at every repaint, so the
  // first failure is kept and shown once the paint is over.
  void RunPaint(const TControl* control, const std::function<void()>& paint);
  // A window of this program became the active one.
  void WindowActivated(TForm* form);
  // The binding of the control a widget (or a widget inside it) shows.
  Binding* BindingOf(QObject* object);
  Binding* BindingOf(const TControl* control);
  FormState* StateOf(const TForm* form);
  QWidget* WindowOf(const TForm* form);
  // Paint hooks of the custom-drawn widgets.
  void PaintControl(TControl* control, QWidget* widget, QPaintEvent* e);
  // An item of an owner-drawn combo box's list, through its OnDrawItem.
  void PaintComboItem(TComboBox* combo, QPainter* painter, const QRect& rect, int index, bool selected);
  // The window reported a new size, position or frame.
  void WindowResized(FormWindow* window);
  void WindowMoved(FormWindow* window);
  void WindowStateChanged(FormWindow* window);

 private:
  friend class InputFilter;
  void SyncForm(TForm* form);
  void SyncFormWindow(FormState& s, TForm* form);
  void SyncControls(FormState& s, TForm* form);
  void SyncZOrder(FormState& s, TControl* container, QWidget* widget, Binding& applied);
  void SyncActivation();
  Binding& EnsureBinding(FormState& s, TForm* form, TControl* control);
  QWidget* CreateWidget(TControl* control, QWidget* parent, Binding& b);
  void ApplyCommon(Binding& b);
  void ApplyKind(Binding& b);
  void ApplyPalette(Binding& b);
  void ReportFrame(FormState& s, TForm* form);
  QWidget* DialogParent();

  std::unordered_map<const TForm*, FormState> forms_;
  std::unordered_map<const TControl*, Binding*> by_control_;
  std::unique_ptr<QObject> filter_;
  std::unordered_set<const TControl*> paint_failed_;
  bool syncing_ = false;
  bool resync_ = false;
  bool painting_ = false;
  bool sync_queued_ = false;
  bool input_since_sync_ = false;
  TForm* applied_active_ = nullptr;
  uint32_t own_activation_until_ = 0;  // activations Qt reports until then follow our own
};

// Controls the user types into or picks a value from, on a field of their
// own colour: edits, memos, combo boxes, list boxes and date pickers.
bool IsEntryKind(TControlKind kind);

// The event filter that feeds mouse, keys and focus into the model.
QObject* MakeInputFilter(QtBackend& backend);
void WatchFocus(QtBackend& backend, QObject* filter);

}  // namespace tav::qtui
