// TForm7: Datum / Zeit.
#pragma once

#include "platform/controls.h"

class TForm7 : public tav::TForm {
 public:
  TForm7();
};

extern TForm7* Form7;
