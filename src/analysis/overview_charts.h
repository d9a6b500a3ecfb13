// TForm35: the six-chart overview of trips or calendar periods.
#pragma once

#include "platform/controls.h"

class TForm35 : public tav::TForm {
 public:
  TForm35();
};

extern TForm35* Form35;
