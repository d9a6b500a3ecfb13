// TForm16: SCAN POPU.
#pragma once

#include "platform/controls.h"

class TForm16 : public tav::TForm {
 public:
  TForm16();
};

extern TForm16* Form16;
