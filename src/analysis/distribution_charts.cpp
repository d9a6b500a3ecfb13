#include "analysis/distribution_charts.h"

TForm34* Form34 = nullptr;

TForm34::TForm34() {
  Name = "Form34";
  Caption = "Charts";
  SetBounds(100, 80, 1000, 700);
  Visible = false;
  FinishCreate();
}
