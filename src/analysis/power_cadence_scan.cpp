#include "analysis/power_cadence_scan.h"

TForm52* Form52 = nullptr;

TForm52::TForm52() {
  Name = "Form52";
  Caption = "SCAN POWER RPM SPEED";
  SetBounds(100, 80, 1000, 700);
  Visible = false;
  FinishCreate();
}
