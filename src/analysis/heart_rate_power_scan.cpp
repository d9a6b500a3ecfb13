#include "analysis/heart_rate_power_scan.h"

TForm16* Form16 = nullptr;

TForm16::TForm16() {
  Name = "Form16";
  Caption = "SCAN POPU";
  SetBounds(100, 80, 1000, 700);
  Visible = false;
  FinishCreate();
}
