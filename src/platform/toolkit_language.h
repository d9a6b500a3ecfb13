// Qt's own texts (file dialogs, standard buttons, the date pickers' month
// and day names) in the program's language.
#pragma once

#include <string_view>

namespace tav {

// Loads Qt's translation of a language ("de", "es"; "en" and anything else
// keep Qt's built-in English) from Qt's translations folder and installs it
// on the application, replacing the one installed before, and makes that
// language's locale Qt's default (month and day names of the date pickers;
// the program formats its numbers itself). False when there is no
// application yet or no translation file for the language (Qt then stays
// English).
bool SetToolkitLanguage(std::string_view code);

}  // namespace tav
