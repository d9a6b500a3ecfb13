// TForm35: the six-chart overview of trips or calendar periods.
#pragma once

#include "platform/controls.h"

class TForm35 : public tav::TForm {
 public:
  TForm35();

  // Items: trips of the trip list or of the selection list, or calendar days.
  int FirstItem = 0;
  int ItemCount = 0;
  // Items from lines 0 .. ItemCount - 1 of the selection list.
  void LoadSelectedTrips();
  // The distribution charts of an item (buttons other than the left one).
  void ShowItemStats(int item, tav::TMouseButton button);
};

extern TForm35* Form35;
