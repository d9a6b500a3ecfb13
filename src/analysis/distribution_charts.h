// TForm34: distribution charts (histograms of heart rate, cadence, speed and power).
#pragma once

#include <string>

#include "platform/controls.h"

class TForm34 : public tav::TForm {
 public:
  TForm34();

  // The caption as the opener set it (the sums' totals and dates); the
  // window extends this one on activation, so the caption never grows.
  std::string OpenerCaption;
};

extern TForm34* Form34;
