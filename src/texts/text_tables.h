// The language text tables. Each applies one language's captions, hints and
// window text members to every window; the language form picks one by
// LanguageIndex. Until the tables are filled in the slots do nothing.
#pragma once

#include <functional>

namespace tav {

extern std::function<void()> SetHintsGerman;
extern std::function<void()> SetHintsEnglish;
extern std::function<void()> SetHintsSpanish;

// Applies the table of a language index: 0 German, 2 Spanish, else English.
void ApplyTextTable(int language_index);

}  // namespace tav
