// TForm5: SCAN POWER.
#pragma once

#include "platform/controls.h"

class TForm5 : public tav::TForm {
 public:
  TForm5();
};

extern TForm5* Form5;
