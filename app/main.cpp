// tavlog: the program's entry. Starts Qt, installs the event loop and the
// windows, creates every window, shows the main window and runs until it
// closes.
#include <QApplication>

#include <memory>

#include "platform/controls.h"
#include "platform/qt/qt_platform.h"
#include "platform/text.h"

namespace {

// The first window, until the program's own windows take its place.
class StartForm : public tav::TForm {
 public:
  StartForm() {
    Name = "StartForm";
    Caption = "tavlog";
    SetBounds(100, 100, 420, 200);
    Info = Make<tav::TLabel>("L_Info");
    Info->SetBounds(16, 16, 0, 0);
    Info->SetCaption("tavlog");
    Close_ = Make<tav::TButton>("B_Close");
    Close_->SetBounds(16, 60, 90, 27);
    Close_->Caption = "Close";
    Close_->OnClick = [this](tav::TControl*) { Close(); };
    FinishCreate();
  }
  tav::TLabel* Info;
  tav::TButton* Close_;
};

std::unique_ptr<StartForm> start_form;

void CreateWindows() { start_form = std::make_unique<StartForm>(); }
void DestroyWindows() { start_form.reset(); }

}  // namespace

int main(int argc, char** argv) {
  tav::PreferX11Platform();
  QApplication qt(argc, argv);
  tav::InstallQtPlatform();
  tav::TApplication& app = tav::Application();
  app.Title = "tavlog";
  app.ExeName = tav::Utf8ToCp1252(QCoreApplication::applicationFilePath().toUtf8().toStdString());
  app.Initialize();  // no activation before every window exists
  CreateWindows();
  if (tav::TForm* main_form = app.MainForm()) main_form->Show();
  app.Run();
  DestroyWindows();
  tav::UninstallQtPlatform();
  return 0;
}
