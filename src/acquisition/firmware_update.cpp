#include "acquisition/firmware_update.h"

TForm50* Form50 = nullptr;

TForm50::TForm50() {
  Name = "Form50";
  Caption = "Update";
  SetBounds(100, 80, 420, 300);
  Visible = false;
  FinishCreate();
}
