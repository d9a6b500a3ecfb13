#include "viewing/tabelle.h"

TForm40* Form40 = nullptr;

TForm40::TForm40() {
  Name = "Form40";
  Caption = "Tabelle";
  SetBounds(100, 80, 900, 600);
  Visible = false;
  SB_Save = Make<tav::TSpeedButton>("SB_Save");
  SB_Save->Visible = false;
  FinishCreate();
}

TForm40::~TForm40() = default;

void TForm40::FormActivate(tav::TControl*) {}
void TForm40::SB_SaveClick(tav::TControl*) {}
