#include "analysis/zone_pie.h"

TForm10* Form10 = nullptr;

TForm10::TForm10() {
  Name = "Form10";
  Caption = "Zonen";
  SetBounds(100, 80, 360, 360);
  Visible = false;
  FinishCreate();
}
