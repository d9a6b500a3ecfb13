// TForm4: the evaluation window, trends and summary over the selected trips.
#pragma once

#include "platform/controls.h"

class TForm4 : public tav::TForm {
 public:
  TForm4();

  // Cleared by the diary each time it hands over a new selection: the next
  // activation builds the caption, the summary and the overview's items once.
  bool Evaluated = false;
};

extern TForm4* Form4;
