#include "diary/calendar_window.h"

TForm33* Form33 = nullptr;

TForm33::TForm33() {
  Name = "Form33";
  Caption = "Kalender";
  SetBounds(100, 80, 1000, 700);
  Visible = false;
  FinishCreate();
}

void TForm33::DO_1Click(tav::TControl*) {}
