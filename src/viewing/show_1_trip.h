// TForm30: TRIP.
#pragma once

#include "platform/controls.h"

class TForm30 : public tav::TForm {
 public:
  TForm30();
};

extern TForm30* Form30;

namespace tav {
// 1: the view starts with its default channels when it activates.
extern int ApplyDefaultChannels;
}  // namespace tav
