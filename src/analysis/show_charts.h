// TForm34: Charts.
#pragma once

#include "platform/controls.h"

class TForm34 : public tav::TForm {
 public:
  TForm34();
};

extern TForm34* Form34;
