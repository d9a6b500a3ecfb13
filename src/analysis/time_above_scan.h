// TForm8: time above a value of one trip or of many.
#pragma once

#include "platform/controls.h"

class TForm8 : public tav::TForm {
 public:
  TForm8();
};

extern TForm8* Form8;
