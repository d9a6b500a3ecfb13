// TForm56: the time-in-zones scan over the selected trips.
#pragma once

#include <array>
#include <string>

#include "platform/controls.h"

class TForm56 : public tav::TForm {
 public:
  TForm56();

  // Texts (the language tables write them): 0 trips, 1 total time.
  std::array<std::string, 2> UiText;

  // Layout of the selection, set by the diary before it shows the window:
  // 0 normal; 2 two blocks (the lines of block 1, a line "BLOCK2", then
  // block 2). Kept here, so later activations draw the same layout.
  int BlockMode = 0;
};

extern TForm56* Form56;
