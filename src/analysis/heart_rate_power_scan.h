// TForm16: heart rate against power of a clip of one trip.
#pragma once

#include <array>
#include <string>

#include "platform/controls.h"

class TForm16 : public tav::TForm {
 public:
  TForm16();

  // Texts (the language tables write them): 0 shift, 1 power and heart-rate
  // titles, 2 rising, 3 falling, 4 time axis, 5 heart rate, 6 heart-rate change.
  std::array<std::string, 7> UiText;
};

extern TForm16* Form16;
