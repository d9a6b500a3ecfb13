// TForm4: the evaluation window, trends and summary over the selected trips.
#pragma once

#include "platform/controls.h"

class TForm4 : public tav::TForm {
 public:
  TForm4();
};

extern TForm4* Form4;
