#include "platform/toolkit_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QTranslator>
#include <memory>

namespace tav {

bool SetToolkitLanguage(std::string_view code) {
  static QTranslator* installed = nullptr;
  if (QCoreApplication::instance() == nullptr) return false;
  // Month and day names (the date pickers' calendars): German, Spanish, or
  // English with weeks from Monday as the program's calendar has them.
  QLocale::setDefault(code == "de"   ? QLocale(QLocale::German, QLocale::Germany)
                      : code == "es" ? QLocale(QLocale::Spanish, QLocale::Spain)
                                     : QLocale(QLocale::English, QLocale::UnitedKingdom));
  if (installed != nullptr) {
    QCoreApplication::removeTranslator(installed);
    delete installed;
    installed = nullptr;
  }
  if (code != "de" && code != "es") return code == "en";
  auto translator = std::make_unique<QTranslator>();
  const QString file = QStringLiteral("qt_") + QString::fromLatin1(code.data(), static_cast<int>(code.size()));
  if (!translator->load(file, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return false;
  QCoreApplication::installTranslator(translator.get());
  installed = translator.release();
  return true;
}

}  // namespace tav
