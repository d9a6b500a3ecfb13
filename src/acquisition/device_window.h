// TForm530: tavrik.
#pragma once

#include "platform/controls.h"

class TForm530 : public tav::TForm {
 public:
  TForm530();
};

extern TForm530* Form530;
