// tavlog: the program's entry. Starts Qt, installs the event loop and the
// windows, keeps the command-line trip, creates every window (main window
// first), shows the main window and runs until it closes.
#include <QApplication>
#include <QStringList>

#include "core/core_data.h"
#include "platform/controls.h"
#include "platform/qt/qt_platform.h"
#include "platform/text.h"
#include "top/forms.h"
#include "top/main_window.h"

namespace {

std::string Cp1252Of(const QString& text) { return tav::Utf8ToCp1252(text.toUtf8().toStdString()); }

}  // namespace

int main(int argc, char** argv) {
  tav::PreferX11Platform();
  QApplication qt(argc, argv);
  tav::InstallQtPlatform();
  tav::TApplication& app = tav::Application();
  app.Title = "tavlog";
  app.ExeName = Cp1252Of(QCoreApplication::applicationFilePath());
  // One optional argument: a trip file to show at start.
  const QStringList args = QCoreApplication::arguments();
  if (args.size() > 1) tav::CommandLineTrip = tav::StripArgumentQuotes(Cp1252Of(args.at(1)));
  app.Initialize();  // no activation before every window exists
  tav::CreateAllForms();
  if (tav::TForm* main_form = app.MainForm()) main_form->Show();
  app.Run();
  tav::DestroyAllForms();
  tav::UninstallQtPlatform();
  return 0;
}
