#include "top/language_form.h"

#include "core/core_data.h"
#include "core/settings.h"
#include "openers/openers.h"
#include "texts/text_tables.h"
#include "top/main_window.h"

TForm11* Form11 = nullptr;

TForm11::TForm11() {
  Name = "Form11";
  Caption = "Sprache / Language";
  SetBounds(200, 200, 260, 120);
  Visible = false;
  FinishCreate();
}

void TForm11::FormClick() {
  // A failed save is said once and tried again when the settings change.
  std::string failure;
  if (!tav::SaveSettingsOnActivation(&failure) && !failure.empty())
    tav::Application().MessageBox(failure, "tavlog", tav::MB_OK | tav::MB_ICONWARNING);
  tav::ApplyTextTable(tav::LanguageIndex);
  if (applied_language_ != tav::LanguageIndex) {
    applied_language_ = tav::LanguageIndex;
    for (tav::TForm* f : tav::Application().Forms()) f->TextsChanged();
  }
  if (Form1 != nullptr) {
    if (Form1->P_SPR_WAHL != nullptr) Form1->P_SPR_WAHL->Hide();
    Form1->ShowRiderLabel();
  }
}

namespace tav {

void ApplyChosenLanguage() {
  if (Form11 != nullptr) Form11->FormClick();
}

}  // namespace tav
