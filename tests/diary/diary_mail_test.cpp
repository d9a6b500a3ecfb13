// The diary's mail button in the whole program: the first press opens the
// mail settings; once they name a host and a sender it sends marked trips.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/core_data.h"
#include "core/core_test_util.h"
#include "core/demo_rider.h"
#include "core/trip_file.h"
#include "diary/diary_window.h"
#include "mail/mail_form.h"
#include "top/forms.h"
#include "top/main_window.h"

namespace tav {
namespace {

namespace fs = std::filesystem;

TEST(MailSettings, PlaceholdersAndShortFilesAreNoSettings) {
  const fs::path file = fs::temp_directory_path() / ("tavlog_mail_set_" + std::to_string(::getpid()));
  for (const char* host : {"smtp.?????", "", " smtp.example.org "}) {
    TStringList lines;
    for (int i = 0; i < 19; ++i) lines.Add(i == 0 ? host : i == 6 ? "me@example.org" : "x");
    ASSERT_TRUE(lines.SaveToFile(file));
    EXPECT_EQ(MailSettingsComplete(file), host[0] == ' ') << host;
  }
  ASSERT_TRUE(WriteFileAtomically(file, "smtp.example.org\r\n25\r\n"));  // no sender line
  EXPECT_FALSE(MailSettingsComplete(file));
  fs::remove(file);
}

class DiaryMail : public testing_core::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    DemoRiderSummary summary;
    std::string error;
    ASSERT_TRUE(MakeDemoRider(dir_, 3, &summary, &error)) << error;
    CreateAllForms();
    Form80->OnActivate = [](TControl*) { Form80->ModalResult = mrCancel; };
    Form1->Show();
  }
  void TearDown() override {
    DestroyAllForms();
    TempFolderTest::TearDown();
  }
  void PressMailWithRowMarked() {
    Form1->SB_DBClick(Form1->SB_DB);
    ASSERT_TRUE(Form3->Visible);
    Form3->DBook->SetRow(2);
    DiaryRowSelected[2] = 1;
    Form80->Tag = 0;
    Form3->SB_MAIL->DoClick();
  }
};

TEST_F(DiaryMail, SettingsFirstThenTheMarkedTrips) {
  PressMailWithRowMarked();
  EXPECT_EQ(Form80->Tag, 10);
  EXPECT_FALSE(Form3->Visible);
  EXPECT_EQ(DiaryMailEnabled, 0);

  TStringList settings;
  for (int i = 0; i < 19; ++i) settings.Add(i == 0 ? "smtp.example.org" : i == 6 ? "rider@example.org" : "");
  ASSERT_TRUE(settings.SaveToFile(FsPath(MailSetPath)));
  PressMailWithRowMarked();
  EXPECT_EQ(DiaryMailEnabled, 1);
  EXPECT_EQ(Form80->Tag, 20);
  ASSERT_EQ(Form80->Display_Files->Lines.Count(), 1);
  EXPECT_EQ(Form80->Display_Files->Lines[0], TripPathOfLine(TripList[DiaryRowLine[0]]));
  EXPECT_TRUE(Form3->Visible);
  // Nothing marked: the message above the button.
  DiaryRowSelected[2] = 0;
  Form3->SB_MAIL->DoClick();
  EXPECT_TRUE(Form3->P_NOTRIP->Visible);
  EXPECT_EQ(Form3->P_NOTRIP->Caption, Form3->UiText[17]);
  EXPECT_LT(Form3->P_NOTRIP->Top, Form3->SB_MAIL->Top);
}

}  // namespace
}  // namespace tav
