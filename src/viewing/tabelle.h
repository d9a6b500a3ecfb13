// TForm40: Tabelle.
#pragma once

#include "platform/controls.h"

class TForm40 : public tav::TForm {
 public:
  TForm40();
};

extern TForm40* Form40;
