#include "analysis/grade_scan.h"

TForm51* Form51 = nullptr;

TForm51::TForm51() {
  Name = "Form51";
  Caption = "SCAN GRADE";
  SetBounds(100, 80, 1000, 700);
  Visible = false;
  FinishCreate();
}
