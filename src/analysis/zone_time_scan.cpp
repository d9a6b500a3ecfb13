#include "analysis/zone_time_scan.h"

TForm56* Form56 = nullptr;

TForm56::TForm56() {
  Name = "Form56";
  Caption = "SCAN ZONES";
  SetBounds(100, 80, 1000, 700);
  Visible = false;
  FinishCreate();
}
