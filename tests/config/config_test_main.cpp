// The dialog tests need one QApplication with the program's look, created
// before any test runs; GoogleTest's own main would not create it.
#include "widgets/uKadrelStyle.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // Test discovery runs this program at build time, perhaps without a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  kadrel::ApplyKadrelStyle(app);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
