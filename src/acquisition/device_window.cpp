#include "acquisition/device_window.h"

TForm530* Form530 = nullptr;

TForm530::TForm530() {
  Name = "Form530";
  Caption = "tavrik";
  SetBounds(100, 80, 600, 420);
  Visible = false;
  FinishCreate();
}
