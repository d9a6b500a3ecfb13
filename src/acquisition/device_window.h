// TForm530: the device window (downloads and settings of the recorder).
// Nothing in this program opens it; it holds its controls and texts.
#pragma once

#include "platform/controls.h"

class TForm530 : public tav::TForm {
 public:
  TForm530();

  tav::TComboBox* List_Trip = nullptr;  // trips stored in the device
  tav::TMemo* M_INFO = nullptr;
  tav::TProgressBar* PB_1 = nullptr;
  tav::TButton* B_CLOSE = nullptr;
};

extern TForm530* Form530;
