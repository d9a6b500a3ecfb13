// TForm51: SCAN GRADE.
#pragma once

#include "platform/controls.h"

class TForm51 : public tav::TForm {
 public:
  TForm51();
};

extern TForm51* Form51;
