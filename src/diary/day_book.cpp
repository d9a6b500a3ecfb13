#include "diary/day_book.h"

TForm3* Form3 = nullptr;
namespace tav {
int DiarySorted = 0;
}  // namespace tav

TForm3::TForm3() {
  Name = "Form3";
  Caption = "Tagebuch";
  SetBounds(100, 80, 1000, 640);
  Visible = false;
  SB_DEO_CSV = Make<tav::TSpeedButton>("SB_DEO_CSV");
  SB_DEO_CSV->Visible = false;
  SB_COLLEC = Make<tav::TSpeedButton>("SB_COLLEC");
  SB_COLLEC->Visible = false;
  SB_DEO_DEO = Make<tav::TSpeedButton>("SB_DEO_DEO");
  SB_DEO_DEO->Visible = false;
  OnActivate = [this](tav::TControl*) { WasActivated = true; };
  FinishCreate();
}
