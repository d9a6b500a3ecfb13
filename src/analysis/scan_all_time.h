// TForm8: SCAN ALL TIME.
#pragma once

#include "platform/controls.h"

class TForm8 : public tav::TForm {
 public:
  TForm8();
};

extern TForm8* Form8;
