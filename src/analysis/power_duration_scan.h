// TForm5: the power-duration scan (longest runs, mean-maximal and block curves).
#pragma once

#include "platform/controls.h"

class TForm5 : public tav::TForm {
 public:
  TForm5();
};

extern TForm5* Form5;
