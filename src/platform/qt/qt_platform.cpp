#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QScreen>

#include <cstdlib>

#include "platform/controls.h"
#include "platform/eventloop.h"
#include "platform/qt/qt_backend_impl.h"
#include "platform/qt/qt_eventloop.h"

namespace tav {

namespace {
qtui::QtBackend* CurrentBackend() { return dynamic_cast<qtui::QtBackend*>(&Application().Backend()); }
}  // namespace

void PreferX11Platform() {
  if (std::getenv("QT_QPA_PLATFORM")) return;
  if (const char* display = std::getenv("DISPLAY"); display && *display) setenv("QT_QPA_PLATFORM", "xcb", 0);
}

void InstallQtPlatform() {
  QApplication::setQuitOnLastWindowClosed(false);  // the main form's closing ends the program
  SetMainLoop(MakeQtEventLoop());
  Application().SetBackend(std::make_unique<qtui::QtBackend>());
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    Screen().Width = screen->geometry().width();
    Screen().Height = screen->geometry().height();
  }
}

void UninstallQtPlatform() {
  Application().SetBackend(nullptr);
  SetMainLoop(nullptr);
}

QWidget* QtWindowOf(const TForm* form) {
  qtui::QtBackend* backend = CurrentBackend();
  return backend ? backend->WindowOf(form) : nullptr;
}

QWidget* QtWidgetOf(const TControl* control) {
  qtui::QtBackend* backend = CurrentBackend();
  if (!backend) return nullptr;
  qtui::Binding* b = backend->BindingOf(control);
  return b ? b->widget : nullptr;
}

}  // namespace tav
