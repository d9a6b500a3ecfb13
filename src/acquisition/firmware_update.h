// TForm50: Update.
#pragma once

#include "platform/controls.h"

class TForm50 : public tav::TForm {
 public:
  TForm50();
};

extern TForm50* Form50;
