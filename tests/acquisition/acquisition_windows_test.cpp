#include <gtest/gtest.h>

#include "acquisition/date_time_dialog.h"
#include "acquisition/device_window.h"
#include "acquisition/firmware_update.h"
#include "acquisition/user_display.h"
#include "platform/text.h"
#include "viewing/form_snapshot.h"

namespace tav {
namespace {

using namespace tav::literals;

TEST(AcquisitionWindows, FirmwareUpdateHoldsItsTexts) {
  TForm50 form;
  static_assert(sizeof(TForm50::UiText) / sizeof(std::string) == 25);
  EXPECT_EQ(form.UiText[22], "Bitte warten");
  // Trailing blanks are part of the text.
  EXPECT_EQ(form.UiText[16], "Fehler beim Flash schreiben                       ");
  EXPECT_EQ(form.UiText[8], "Datenfile kann nicht geöffnet werden"_w);
  // Texts set by a table show as the window opens.
  form.UiText[0] = "Connecting tavrik";
  form.Show();
  EXPECT_EQ(form.L_1->Caption, "Connecting tavrik");
  EXPECT_FALSE(form.B_START->Enabled);
  EXPECT_FALSE(snapshot::SaveFormPng(form, "form50_update").empty());
  form.Close();
}

TEST(AcquisitionWindows, DateTimeDialogControls) {
  TForm7 form;
  EXPECT_EQ(form.Caption, "Datum / Zeit");
  EXPECT_EQ(form.Find<TLabel>("LED_1"), form.LED_1);
  EXPECT_EQ(form.Find<TLabel>("LED_2"), form.LED_2);
  EXPECT_EQ(form.Find<TButton>("ED_OK"), form.ED_OK);
  EXPECT_EQ(form.Find<TButton>("ED_NO"), form.ED_NO);
  EXPECT_EQ(form.LED_1->Caption, "Datum");
  EXPECT_EQ(form.ED_OK->Caption, "Übernehmen"_w);
  EXPECT_EQ(form.ED_OK->ModalResult, mrOk);
  EXPECT_EQ(form.ED_NO->ModalResult, mrCancel);
  EXPECT_FALSE(snapshot::SaveFormPng(form, "form7_date_time").empty());
}

TEST(AcquisitionWindows, UserDisplayAndDeviceWindowControls) {
  TForm200 display;
  ASSERT_EQ(display.Find<TSpeedButton>("SB_0"), display.SB_0);
  EXPECT_EQ(display.SB_0->Hint, "Werkseinstellungen");
  TForm530 device;
  ASSERT_EQ(device.Find<TComboBox>("List_Trip"), device.List_Trip);
  EXPECT_EQ(device.List_Trip->Hint, "Fahrt auswählen"_w);
  EXPECT_FALSE(snapshot::SaveFormPng(display, "form200_user_display").empty());
  EXPECT_FALSE(snapshot::SaveFormPng(device, "form530_device").empty());
}

}  // namespace
}  // namespace tav
