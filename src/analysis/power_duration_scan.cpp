#include "analysis/power_duration_scan.h"

TForm5* Form5 = nullptr;

TForm5::TForm5() {
  Name = "Form5";
  Caption = "SCAN POWER";
  SetBounds(100, 80, 1000, 700);
  Visible = false;
  FinishCreate();
}
