#include "analysis/evaluation_window.h"

TForm4* Form4 = nullptr;

TForm4::TForm4() {
  Name = "Form4";
  Caption = "Auswertung";
  SetBounds(100, 80, 1000, 700);
  Visible = false;
  FinishCreate();
}
