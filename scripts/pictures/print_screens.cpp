// Saves pictures of the print dialog, for looking at it by eye:
//
//   print_screens DIR     writes DIR/print.png (as it opens) and
//                         DIR/print-months.png (months chosen)
//
// Each picture is cut to the window's rounded outline, as a user sees it.
#include <QApplication>
#include <QCheckBox>

#include "output/uprint.h"
#include "scripts/pictures/uPictures.h"
#include "tests/output/output_fixture.h"
#include "widgets/uKadrelStyle.h"

using namespace kadrel;
using pictures::Save;

int main(int argc, char** argv) {
  QApplication app(pictures::Offscreen(argc), argv);
  ApplyKadrelStyle(app);
  const std::optional<QDir> folder = pictures::PictureFolder(argc, argv, "print_screens");
  if (!folder) return 2;
  const QDir& dir = *folder;

  TprnForm form(testing::ZhangSan(), 2005);
  form.show();
  bool ok = Save(form, dir.filePath(QStringLiteral("print.png")));
  form.CheckBox1->click();
  for (int m : {2, 11}) form.MonthBox(m)->click();
  ok &= Save(form, dir.filePath(QStringLiteral("print-months.png")));
  return ok ? 0 : 1;
}
