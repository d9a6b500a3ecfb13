// TForm200: User display.
#pragma once

#include "platform/controls.h"

class TForm200 : public tav::TForm {
 public:
  TForm200();
};

extern TForm200* Form200;
