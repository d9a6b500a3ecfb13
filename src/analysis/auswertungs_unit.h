// TForm4: Auswertung.
#pragma once

#include "platform/controls.h"

class TForm4 : public tav::TForm {
 public:
  TForm4();
};

extern TForm4* Form4;
