// The print tests need one QApplication with the program's look (and so its
// "宋体" substitutes), created before any test runs.
#include "widgets/uKadrelStyle.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // Test discovery runs this program at build time without ctest's
  // environment, and there may be no display then.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  kadrel::ApplyKadrelStyle(app);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
