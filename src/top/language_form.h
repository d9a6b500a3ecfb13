// TForm11: applies the chosen language to every window.
#pragma once

#include "platform/controls.h"

class TForm11 : public tav::TForm {
 public:
  TForm11();
  // Saves the settings (a failure is said once, see
  // SaveSettingsOnActivation), applies the text table of LanguageIndex, hides
  // the main window's language panel and refreshes its rider label. When the
  // language is another than the one applied before, every window lays
  // itself out again for its new texts (a hidden one when it shows next).
  void FormClick();

 private:
  int applied_language_ = -1;
};

extern TForm11* Form11;
