#include "acquisition/user_display.h"

TForm200* Form200 = nullptr;

TForm200::TForm200() {
  Name = "Form200";
  Caption = "User display";
  Visible = false;
  SetBounds(100, 80, 600, 400);

  SB_0 = Make<tav::TSpeedButton>("SB_0");
  SB_0->Hint = "Werkseinstellungen";
  SB_0->Caption.assign(1, '0');  // one character: keeps GCC 12 from a false -Wrestrict
  SB_0->SetBounds(8, 8, 28, 25);
  // Without a device link there is nothing to restore.
  SB_0->Enabled = false;

  LB_PAGES = Make<tav::TListBox>("LB_PAGES");
  LB_PAGES->SetBounds(8, 42, 568, 260);
  LB_PAGES->Enabled = false;

  B_OK = Make<tav::TButton>("B_OK");
  B_OK->Caption = "OK";
  B_OK->ModalResult = tav::mrOk;
  B_OK->SetBounds(8, 316, 100, 28);
  B_OK->Enabled = false;
  B_NO = Make<tav::TButton>("B_NO");
  B_NO->Caption = "Cancel";
  B_NO->ModalResult = tav::mrCancel;
  B_NO->SetBounds(120, 316, 100, 28);
  B_NO->OnClick = [this](tav::TControl*) { Close(); };

  FinishCreate();
}
