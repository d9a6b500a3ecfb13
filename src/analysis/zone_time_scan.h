// TForm56: the time-in-zones scan over the selected trips.
#pragma once

#include "platform/controls.h"

class TForm56 : public tav::TForm {
 public:
  TForm56();
};

extern TForm56* Form56;
