#include "texts/text_tables.h"

namespace tav {

// The tables assign these when they exist; empty slots leave every text as it is.
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
