#include "acquisition/date_time_dialog.h"

TForm7* Form7 = nullptr;

TForm7::TForm7() {
  Name = "Form7";
  Caption = "Datum / Zeit";
  SetBounds(100, 80, 300, 180);
  Visible = false;
  FinishCreate();
}
