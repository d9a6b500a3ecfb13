// The program's windows on Qt: installs the Qt event loop as MainLoop() and
// the Qt window backend on Application().
//
//   PreferX11Platform();              // before the QApplication
//   QApplication qt(argc, argv);
//   InstallQtPlatform();              // before the forms are constructed
//   ... construct the forms, show the main form, Application().Run() ...
//   destroy the forms, then UninstallQtPlatform() before the QApplication goes.
#pragma once

class QWidget;

namespace tav {

class TForm;
class TControl;

// Chooses the X11 platform plugin when a display is available (the windows
// are placed at absolute positions) unless QT_QPA_PLATFORM says otherwise.
void PreferX11Platform();
void InstallQtPlatform();
void UninstallQtPlatform();

// The window of a form and the widget of a control, once they have been
// shown (null before); for tests and screenshots.
QWidget* QtWindowOf(const TForm* form);
QWidget* QtWidgetOf(const TControl* control);

}  // namespace tav
