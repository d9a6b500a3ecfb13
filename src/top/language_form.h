// TForm11: applies the chosen language to every window.
#pragma once

#include "platform/controls.h"

class TForm11 : public tav::TForm {
 public:
  TForm11();
  // Saves the settings (a failure is said once, see
  // SaveSettingsOnActivation), applies the text table of LanguageIndex, hides the
  // main window's language panel and refreshes its rider label.
  void FormClick();
};

extern TForm11* Form11;
