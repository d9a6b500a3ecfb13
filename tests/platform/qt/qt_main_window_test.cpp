// The main window on real Qt widgets: every window is created, the main
// window shows on a demo rider and is grabbed as a picture (written to
// $TAVLOG_SCREENSHOT_DIR when set).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextDocumentFragment>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "core/core_data.h"
#include "core/core_test_util.h"
#include "core/demo_rider.h"
#include "diary/diary_rows.h"
#include "diary/diary_window.h"
#include "platform/eventloop.h"
#include "platform/qt/qt_platform.h"
#include "qt_test_app.h"
#include "top/forms.h"
#include "top/info_form.h"
#include "top/main_window.h"

namespace fs = std::filesystem;

namespace {

class QtMainWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { tav::testing::EnsureQtTestApplication(); }
  void SetUp() override {
    old_cwd_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("tavlog_qtmain_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    tav::Application().ShownMessages.clear();
  }
  void TearDown() override {
    tav::DestroyAllForms();
    Settle();
    fs::current_path(old_cwd_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
    tav::ResetCoreData();
  }
  static void Settle() {
    for (int i = 0; i < 8; ++i) tav::MainLoop().ProcessEvents(0);
  }
  static void Save(const QImage& image, const char* name) {
    if (const char* out = std::getenv("TAVLOG_SCREENSHOT_DIR"))
      image.save(QString::fromStdString((fs::path(out) / name).string()));
  }
  fs::path old_cwd_, dir_;
};

TEST_F(QtMainWindow, ShowsOnTheDemoRiderAndLooksRight) {
  std::string error;
  ASSERT_TRUE(tav::MakeDemoRider(dir_, 12, nullptr, &error)) << error;
  tav::ResetCoreData();
  tav::Application().ExeName = (dir_ / "tavlog").string();
  tav::CreateAllForms();
  Form1->Show();
  Settle();
  EXPECT_EQ(tav::CurrentRiderName, "DEMO");
  EXPECT_TRUE(tav::Application().ShownMessages.empty());
  QWidget* window = tav::QtWindowOf(Form1);
  ASSERT_NE(window, nullptr);
  const QImage shot = window->grab().toImage();
  Save(shot, "main_window.png");
  ASSERT_GE(shot.width(), Form1->ClientWidth());
  ASSERT_GE(shot.height(), Form1->ClientHeight());
  // The band at the top is dark blue, the picture shows its gradient.
  const QColor band = shot.pixelColor(4, 4);
  EXPECT_LT(band.red(), 80);
  EXPECT_GT(band.blue(), 80);
  const QColor sky_top = shot.pixelColor(Form1->PB->Left + Form1->PB->Width - 4, Form1->PB->Top + 4);
  const QColor sky_low = shot.pixelColor(Form1->PB->Left + Form1->PB->Width - 4,
                                         Form1->PB->Top + Form1->PB->Height / 2);
  EXPECT_LT(sky_top.lightness(), sky_low.lightness());

  // A click on the real diary button opens the diary.
  auto* diary_button = qobject_cast<QAbstractButton*>(tav::QtWidgetOf(Form1->SB_DB));
  ASSERT_NE(diary_button, nullptr);
  diary_button->click();
  Settle();
  EXPECT_TRUE(Form3->Visible);
  // The delete button is live on the current list row from the start; a click
  // on a filed trip's comment opens the panel with the comment selected, and
  // the first key replaces it.
  EXPECT_TRUE(tav::QtWidgetOf(Form3->SB_TRIP_KILL)->isEnabled());
  int row = 2;
  while (row < 12 && Form3->DBook->Cell(tav::DiaryColumnPos[tav::kMetricComment], row).find("BIKE") == std::string::npos)
    ++row;
  QWidget* grid = tav::QtWidgetOf(Form3->DBook);
  const tav::TRect cell = Form3->DBook->CellRect(1, row);
  const QPoint at(cell.Left + 4, cell.Top + 4);
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent click(type, at, grid->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(grid, &click);
  }
  Settle();
  auto* memo = qobject_cast<QPlainTextEdit*>(tav::QtWidgetOf(Form3->DB_Memo));
  ASSERT_TRUE(memo != nullptr && memo->isVisible());
  EXPECT_EQ(memo->textCursor().selectedText(), memo->toPlainText());
  EXPECT_NE(memo->toPlainText().indexOf(QStringLiteral("BIKE")), -1);
  QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
  QCoreApplication::sendEvent(memo, &key);
  Settle();
  EXPECT_EQ(Form3->DB_Memo->Lines.Lines(), (std::vector<std::string>{"x"}));
  EXPECT_TRUE(Form3->SB_CT->Visible);
  Form3->Close();
  Settle();
  // Unavailable commands are disabled in the window too.
  QWidget* download = tav::QtWidgetOf(Form1->SB_D1);
  ASSERT_NE(download, nullptr);
  EXPECT_FALSE(download->isEnabled());

  // The language panel drops below its button.
  Form1->SB_Language->DoClick();
  Settle();
  Save(tav::QtWindowOf(Form1)->grab().toImage(), "main_window_language.png");
  // The rider panel.
  Form1->P_SPR_WAHL->Hide();
  Form1->SB_User->DoClick();
  Settle();
  Save(tav::QtWindowOf(Form1)->grab().toImage(), "main_window_rider.png");
}

// A help topic longer than the info window opens at its title, not at its
// end; a command the program does not offer says so in its tooltip, in the
// language chosen.
TEST_F(QtMainWindow, HelpOpensAtItsStartAndDisabledCommandsSayWhy) {
  std::string rtf = "{\\rtf1\\ansi {\\b Topic three}\\par\\par ";
  for (int i = 0; i < 200; ++i) rtf += "Line " + std::to_string(i) + "\\par ";
  rtf += "}";
  tav::testing_core::WriteBytes(dir_ / "DATA" / "GRD_DATA" / "HILFE" / "HILFE_EN03.RTF", rtf);
  tav::Application().ExeName = (dir_ / "tavlog").string();
  tav::CreateAllForms();
  Form1->Show();
  Settle();
  tav::LanguageIndex = 2;  // Spanish: the English help
  tav::ShowHelpTopic(3);
  Settle();
  auto* text = qobject_cast<QPlainTextEdit*>(tav::QtWidgetOf(Form12->RichEdit1));
  ASSERT_TRUE(text != nullptr && text->isVisible());
  EXPECT_TRUE(text->toPlainText().startsWith(QStringLiteral("Topic three\n\nLine 0\n")));
  EXPECT_GT(text->verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(text->verticalScrollBar()->value(), 0);
  EXPECT_EQ(tav::QtWindowOf(Form12)->windowTitle(), QStringLiteral("Topic three"));

  tav::ApplyChosenLanguage();
  Settle();
  auto tip = [](const tav::TControl* c) {
    return QTextDocumentFragment::fromHtml(tav::QtWidgetOf(c)->toolTip()).toPlainText();
  };
  EXPECT_EQ(tip(Form1->SB_D1), QStringLiteral("Bajar recorridos\nNo disponible en este programa."));
  EXPECT_EQ(tip(Form1->SB_DB), QStringLiteral("Abrir diario"));
}

}  // namespace
