// The main of every GUI test program: one QApplication with the program's
// look (and so its "宋体" substitutes), created before any test runs, which
// GoogleTest's own main would not create.
#include <QApplication>
#include <gtest/gtest.h>

#include "widgets/uKadrelStyle.h"

int main(int argc, char** argv) {
  // ctest sets the platform, but test discovery runs the program at build
  // time without that environment, and there may be no display then.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  kadrel::ApplyKadrelStyle(app);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
