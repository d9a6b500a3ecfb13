// TForm16: heart rate against power of a clip of one trip.
#pragma once

#include "platform/controls.h"

class TForm16 : public tav::TForm {
 public:
  TForm16();
};

extern TForm16* Form16;
