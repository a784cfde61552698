// Saves pictures of the export wizard's four pages and of the year
// navigator, for looking at them by eye:
//
//   wizard_screens DIR     writes DIR/wizard-1.png … wizard-4.png, yearwz.png
//
// Each picture is cut to the window's rounded outline, as a user sees it.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPainter>
#include <QRadioButton>
#include <QTextStream>

#include "output/uWizd.h"
#include "output/uYearWz.h"
#include "tests/output/output_fixture.h"
#include "widgets/uKadrelFrame.h"
#include "widgets/uKadrelStyle.h"

namespace {

using namespace kadrel;

bool Save(QWidget& window, const QString& path) { return GrabKadrelWindow(window).save(path); }

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ApplyKadrelStyle(app);
  if (argc < 2) {
    QTextStream(stderr) << "usage: wizard_screens DIR\n";
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  bool ok = true;

  TwizdForm wizard(testing::ZhangSan(), 2005);
  wizard.show();
  for (int page = 1; page <= TwizdForm::kPageCount; ++page) {
    if (page == 3) {
      wizard.CheckBox1->click();
      for (int m : {1, 2, 6}) wizard.MonthBoxes[m - 1]->click();
    }
    ok &= Save(wizard, dir.filePath(QStringLiteral("wizard-%1.png").arg(page)));
    wizard.fbNextClick();
  }

  TfrmYearWZ navigator;
  navigator.SetYear(2005);
  navigator.show();
  ok &= Save(navigator, dir.filePath(QStringLiteral("yearwz.png")));
  return ok ? 0 : 1;
}
