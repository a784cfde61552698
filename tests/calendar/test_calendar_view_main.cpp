// The grid's tests paint on QImages with real fonts, so they need one
// QApplication, created before any test runs, and "宋体" mapped to the CJK
// face the program uses.
#include <gtest/gtest.h>

#include <QApplication>

#include "widgets/uFonts.h"

int main(int argc, char** argv) {
  // Test discovery runs this program at build time, without ctest's
  // environment and perhaps without a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  kadrel::InstallFontSubstitutes();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
