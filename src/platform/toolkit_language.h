// Qt's own texts (file dialogs, standard buttons) in the program's language.
#pragma once

#include <string_view>

namespace tav {

// Loads Qt's translation of a language ("de", "es"; "en" and anything else
// keep Qt's built-in English) from Qt's translations folder and installs it
// on the application, replacing the one installed before. False when there
// is no application yet or no translation file for the language (Qt then
// stays English).
bool SetToolkitLanguage(std::string_view code);

}  // namespace tav
