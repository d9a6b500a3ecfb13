// TForm50: the firmware update dialog of the trip recorder. This program
// has no device link, so the window only holds its controls and texts;
// UiText[22] is the common please-wait text other windows show.
#pragma once

#include <string>

#include "platform/controls.h"

class TForm50 : public tav::TForm {
 public:
  TForm50();

  // Status and prompt texts (set by the text tables).
  std::string UiText[25];

  tav::TLabel *L_1 = nullptr, *L_2 = nullptr, *L_3 = nullptr;
  tav::TButton* B_START = nullptr;
  tav::TProgressBar* PB_1 = nullptr;
  tav::TMemo* M_INFO = nullptr;
};

extern TForm50* Form50;
