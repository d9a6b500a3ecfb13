// TForm5: the power-duration scan (longest runs, mean-maximal and block curves).
#pragma once

#include <cstdint>

#include "platform/controls.h"
#include "platform/thread.h"

class TForm5 : public tav::TForm {
 public:
  TForm5();
  ~TForm5() override;

  // Hand-over of the best-power worker: written by the worker before it
  // signals BlockDone, read by the block view only after the signal.
  float BlockMaxPower = 0.0f;
  int32_t BlockMaxDuration = 3600;
  tav::TEvent BlockDone;
};

extern TForm5* Form5;
