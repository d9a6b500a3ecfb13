#include "platform/controls_font.h"

#include <QFontMetrics>
#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>

#include "platform/text.h"

namespace tav {

namespace {

bool IsFixedPitchName(const std::string& name) {
  std::string upper = UpperCp1252(name);
  for (const char* mono : {"COURIER", "CONSOLAS", "LUCIDA CONSOLE", "FIXEDSYS", "TERMINAL", "MONO"})
    if (upper.find(mono) != std::string::npos) return true;
  return false;
}

}  // namespace

bool EnsureGuiApplication() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return true;
  if (QCoreApplication::instance()) return false;
  // Fonts outside any window: an offscreen application, kept for the run.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "tavlog";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  return app != nullptr;
}

QFont QFontOf(const TFont& font) {
  QFont q(font.FixedPitch || IsFixedPitchName(font.Name) ? QStringLiteral("DejaVu Sans Mono")
                                                          : QStringLiteral("DejaVu Sans"));
  q.setPixelSize(std::max(1, font.PixelHeight()));
  q.setBold(font.Style & fsBold);
  q.setItalic(font.Style & fsItalic);
  q.setUnderline(font.Style & fsUnderline);
  q.setStrikeOut(font.Style & fsStrikeOut);
  q.setKerning(false);
  q.setHintingPreference(QFont::PreferFullHinting);
  return q;
}

}  // namespace tav

#if defined(__SANITIZE_ADDRESS__)
// Fontconfig and D-Bus (under X11) keep a few allocations for the life of
// the process; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\nleak:libdbus-1\n"; }
#endif
