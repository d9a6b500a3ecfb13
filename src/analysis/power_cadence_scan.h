// TForm52: power against cadence and speed of one trip.
#pragma once

#include "platform/controls.h"

class TForm52 : public tav::TForm {
 public:
  TForm52();
};

extern TForm52* Form52;
