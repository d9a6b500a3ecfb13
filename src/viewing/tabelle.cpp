#include "viewing/tabelle.h"

TForm40* Form40 = nullptr;

TForm40::TForm40() {
  Name = "Form40";
  Caption = "Tabelle";
  SetBounds(100, 80, 900, 600);
  Visible = false;
  FinishCreate();
}
