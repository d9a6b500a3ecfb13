// TForm56: SCAN ZONES.
#pragma once

#include "platform/controls.h"

class TForm56 : public tav::TForm {
 public:
  TForm56();
};

extern TForm56* Form56;
