// TForm10: the zone pie popup.
#pragma once

#include "platform/controls.h"

class TForm10 : public tav::TForm {
 public:
  TForm10();
};

extern TForm10* Form10;
