#include "acquisition/user_display.h"

TForm200* Form200 = nullptr;

TForm200::TForm200() {
  Name = "Form200";
  Caption = "User display";
  SetBounds(100, 80, 600, 400);
  Visible = false;
  FinishCreate();
}
