// TForm52: SCAN POWER RPM SPEED.
#pragma once

#include "platform/controls.h"

class TForm52 : public tav::TForm {
 public:
  TForm52();
};

extern TForm52* Form52;
