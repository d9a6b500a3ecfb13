// TForm34: distribution charts (histograms of heart rate, cadence, speed and power).
#pragma once

#include "platform/controls.h"

class TForm34 : public tav::TForm {
 public:
  TForm34();
};

extern TForm34* Form34;
