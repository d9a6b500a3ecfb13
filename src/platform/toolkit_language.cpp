#include "platform/toolkit_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QString>
#include <QTranslator>
#include <memory>

namespace tav {

bool SetToolkitLanguage(std::string_view code) {
  static QTranslator* installed = nullptr;
  if (QCoreApplication::instance() == nullptr) return false;
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
