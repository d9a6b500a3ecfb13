#include "core/language_form.h"

#include "core/core_data.h"
#include "core/settings.h"
#include "core/main_unit.h"
#include "texts/text_tables.h"

TForm11* Form11 = nullptr;

namespace tav {
std::function<void()> SetHintsGerman;
std::function<void()> SetHintsEnglish;
std::function<void()> SetHintsSpanish;

void ApplyTextTable(int language_index) {
  const std::function<void()>& table = language_index == 0   ? SetHintsGerman
                                       : language_index == 2 ? SetHintsSpanish
                                                             : SetHintsEnglish;
  if (table) table();
}
}  // namespace tav

TForm11::TForm11() {
  Name = "Form11";
  Caption = "Sprache / Language";
  SetBounds(200, 200, 260, 120);
  Visible = false;
  FinishCreate();
}

void TForm11::FormClick() {
  tav::SaveSettings();
  tav::ApplyTextTable(tav::LanguageIndex);
  if (Form1 != nullptr) {
    if (Form1->P_SPR_WAHL != nullptr) Form1->P_SPR_WAHL->Hide();
    Form1->ShowRiderLabel();
  }
}
