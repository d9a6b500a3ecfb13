// TForm80: the mail form (settings and sending trip files).
#pragma once

#include "platform/controls.h"

class TForm80 : public tav::TForm {
 public:
  TForm80();

  // The attached files of send mode, filled by the opener.
  tav::TMemo* Display_Files = nullptr;
};

extern TForm80* Form80;
