// TForm33: the week calendar.
#pragma once

#include "platform/controls.h"

class TForm33 : public tav::TForm {
 public:
  TForm33();

  // Opens the calendar's settings panel.
  void DO_1Click(tav::TControl* sender);

  // First day of the period the overview button hands to the six-chart
  // overview (a date value).
  double PeriodStart = 0.0;
};

extern TForm33* Form33;
