// dump-texts LANG...: creates every window as the program does (in a
// temporary program folder), applies the text tables of the given languages
// (de, en, es) in order and prints every target of the tables with the text
// it then holds, one tab-separated line each:
//   window class, kind (H hint, C caption, F window caption, M text member
//   by index, S single text member, I combo item, L LangLabels slot), name,
//   index (-1 where none), and the text in double quotes (\n, \", \\ and
//   bytes outside 0x20-0x7E as \xHH), or MISSING when the window lacks it.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/controls.h"
#include "texts/text_tables.h"
#include "top/forms.h"

int main(int argc, char** argv) {
  std::vector<tav::TextLanguage> languages;
  for (int i = 1; i < argc; ++i) {
    const auto language = tav::TextLanguageOf(argv[i]);
    if (!language) {
      std::fprintf(stderr, "dump-texts: unknown language \"%s\" (de, en or es)\n", argv[i]);
      return 2;
    }
    languages.push_back(*language);
  }
  if (languages.empty()) {
    std::fprintf(stderr, "usage: dump-texts LANG... (de, en, es)\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);  // label sizes need fonts, not a screen

  namespace fs = std::filesystem;
  std::error_code ec;
  std::string folder = (fs::temp_directory_path(ec) / "dump-texts-XXXXXX").string();
  if (ec || mkdtemp(folder.data()) == nullptr) {
    std::fprintf(stderr, "dump-texts: cannot create a temporary program folder\n");
    return 1;
  }
  tav::TApplication& app = tav::Application();
  app.ExeName = (fs::path(folder) / "tavlog").string();
  app.Initialize();
  tav::CreateAllForms();
  for (const tav::TextLanguage language : languages) tav::ApplyLanguage(language);
  const std::string dump = tav::DumpTextTargets();
  tav::DestroyAllForms();
  fs::current_path(fs::temp_directory_path(ec), ec);
  fs::remove_all(folder, ec);
  std::fwrite(dump.data(), 1, dump.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
