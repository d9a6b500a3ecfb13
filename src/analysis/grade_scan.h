// TForm51: the grade scan, values against gradient over one or several trips.
#pragma once

#include "platform/controls.h"

class TForm51 : public tav::TForm {
 public:
  TForm51();
};

extern TForm51* Form51;
