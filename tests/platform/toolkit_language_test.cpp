#include "platform/toolkit_language.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <memory>
#include <string>

namespace tav {
namespace {

bool HaveQtTranslations() {
  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  return QFileInfo::exists(dir + QStringLiteral("/qt_de.qm")) && QFileInfo::exists(dir + QStringLiteral("/qt_es.qm"));
}

std::string Translate(const char* context, const char* text) {
  return QCoreApplication::translate(context, text).toStdString();
}

// Qt's standard texts in each language, and back to English: each row is
// applied after the one before, so a translation never stays behind.
TEST(SetToolkitLanguage, QtsOwnTextsFollowTheLanguage) {
  if (QCoreApplication::instance() == nullptr) {
    EXPECT_FALSE(SetToolkitLanguage("de"));  // no application yet
  }
  int argc = 1;
  char name[] = "toolkit_language_test";
  char* argv[] = {name, nullptr};
  std::unique_ptr<QCoreApplication> app;
  if (QCoreApplication::instance() == nullptr) app = std::make_unique<QCoreApplication>(argc, argv);
  if (!HaveQtTranslations()) GTEST_SKIP() << "Qt's translations are not installed (qt6-translations-l10n)";
  struct Row {
    const char* code;
    bool loaded;
    const char* cancel;   // QPlatformTheme "Cancel"
    const char* lookIn;   // QFileDialog "Look in:"
  } rows[] = {
      {"de", true, "Abbrechen", "Suchen in:"},
      {"es", true, "Cancelar", "Ver en:"},
      {"en", true, "Cancel", "Look in:"},
      {"es", true, "Cancelar", "Ver en:"},
      {"xx", false, "Cancel", "Look in:"},
      {"de", true, "Abbrechen", "Suchen in:"},
      {"", false, "Cancel", "Look in:"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(SetToolkitLanguage(row.code), row.loaded) << row.code;
    EXPECT_EQ(Translate("QPlatformTheme", "Cancel"), row.cancel) << row.code;
    EXPECT_EQ(Translate("QFileDialog", "Look in:"), row.lookIn) << row.code;
  }
}

}  // namespace
}  // namespace tav
