// TForm3: Tagebuch.
#pragma once

#include "platform/controls.h"

class TForm3 : public tav::TForm {
 public:
  TForm3();

  // Shown by the main window's export, collection and join commands.
  tav::TSpeedButton* SB_DEO_CSV = nullptr;
  tav::TSpeedButton* SB_COLLEC = nullptr;
  tav::TSpeedButton* SB_DEO_DEO = nullptr;
  // Set once the window has been activated in this run.
  bool WasActivated = false;
};

extern TForm3* Form3;

namespace tav {
// Set by a keyed sort of the diary rows; cleared when the rows are reset.
extern int DiarySorted;
}  // namespace tav
