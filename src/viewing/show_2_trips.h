// TForm31: TRIP 1 / TRIP 2.
#pragma once

#include "platform/controls.h"

class TForm31 : public tav::TForm {
 public:
  TForm31();
};

extern TForm31* Form31;
