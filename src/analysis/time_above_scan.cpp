#include "analysis/time_above_scan.h"

TForm8* Form8 = nullptr;

TForm8::TForm8() {
  Name = "Form8";
  Caption = "SCAN ALL TIME";
  SetBounds(100, 80, 1000, 700);
  Visible = false;
  FinishCreate();
}
