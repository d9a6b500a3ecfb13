#include <gtest/gtest.h>

#include "acquisition/date_time_dialog.h"
#include "acquisition/device_window.h"
#include "acquisition/firmware_update.h"
#include "acquisition/user_display.h"
#include "viewing/form_snapshot.h"

namespace tav {
namespace {

TEST(AcquisitionWindows, FirmwareUpdateShowsItsTableTextsWhenOpened) {
  TForm50 form;
  static_assert(sizeof(TForm50::UiText) / sizeof(std::string) == 25);
  form.UiText[0] = "Connecting tavrik";
  form.Show();
  EXPECT_EQ(form.L_1->Caption, "Connecting tavrik");
  EXPECT_FALSE(form.B_START->Enabled);
  EXPECT_FALSE(snapshot::SaveFormPng(form, "form50_update").empty());
  form.Close();
}

TEST(AcquisitionWindows, DateTimeDialogButtonsEndItWithTheirResults) {
  for (const auto& [button, result] : {std::pair{"ED_OK", mrOk}, std::pair{"ED_NO", mrCancel}}) {
    TForm7 form;
    snapshot::ExpectControls(form, {"LED_1", "LED_2", "ED_OK", "ED_NO"});
    EXPECT_FALSE(snapshot::SaveFormPng(form, "form7_date_time").empty());
    form.OnActivate = [&, b = button](TControl*) { form.Find<TButton>(b)->DoClick(); };
    EXPECT_EQ(form.ShowModal(), result) << button;
  }
}

TEST(AcquisitionWindows, UserDisplayAndDeviceWindowPaint) {
  TForm200 display;
  TForm530 device;
  snapshot::ExpectControls(display, {"SB_0"});
  snapshot::ExpectControls(device, {"List_Trip"});
  EXPECT_FALSE(snapshot::SaveFormPng(display, "form200_user_display").empty());
  EXPECT_FALSE(snapshot::SaveFormPng(device, "form530_device").empty());
}

}  // namespace
}  // namespace tav
