#include "mail/mail_form.h"

TForm80* Form80 = nullptr;

TForm80::TForm80() {
  Name = "Form80";
  Caption = "Mail";
  SetBounds(100, 80, 640, 480);
  Visible = false;
  Display_Files = Make<tav::TMemo>("Display_Files");
  Display_Files->ReadOnly = true;
  FinishCreate();
}
