// The main-window tests need one QApplication with the program's look,
// created before any test runs; GoogleTest's own main would not create it.
#include "widgets/uKadrelStyle.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // ctest sets the platform, but test discovery runs this program at build
  // time without that environment, and there may be no display then.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  kadrel::ApplyKadrelStyle(app);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
