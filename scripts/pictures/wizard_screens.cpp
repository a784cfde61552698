// Saves pictures of the export wizard's four pages and of the year
// navigator, for looking at them by eye:
//
//   wizard_screens DIR     writes DIR/wizard-1.png … wizard-4.png, yearwz.png
//
// Each picture is cut to the window's rounded outline, as a user sees it.
#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>

#include "output/uWizd.h"
#include "output/uYearWz.h"
#include "scripts/pictures/uPictures.h"
#include "tests/output/output_fixture.h"
#include "widgets/uKadrelStyle.h"

using namespace kadrel;
using pictures::Save;

int main(int argc, char** argv) {
  QApplication app(pictures::Offscreen(argc), argv);
  ApplyKadrelStyle(app);
  const std::optional<QDir> folder = pictures::PictureFolder(argc, argv, "wizard_screens");
  if (!folder) return 2;
  const QDir& dir = *folder;
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
