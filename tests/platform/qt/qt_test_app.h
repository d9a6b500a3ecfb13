// The one QApplication of the window tests, made by whichever test suite
// runs first, with the Qt event loop and window backend installed.
#pragma once

#include <QApplication>

#include "platform/qt/qt_platform.h"

namespace tav::testing {

inline void EnsureQtTestApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "tav_qt_tests";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // lives for the whole run
  InstallQtPlatform();
}

}  // namespace tav::testing
