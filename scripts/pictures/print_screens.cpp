// Saves pictures of the print dialog, for looking at it by eye:
//
//   print_screens DIR     writes DIR/print.png (as it opens) and
//                         DIR/print-months.png (months chosen)
//
// Each picture is cut to the window's rounded outline, as a user sees it.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPainter>
#include <QTextStream>

#include "output/uprint.h"
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
    QTextStream(stderr) << "usage: print_screens DIR\n";
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));

  TprnForm form(testing::ZhangSan(), 2005);
  form.show();
  bool ok = Save(form, dir.filePath(QStringLiteral("print.png")));
  form.CheckBox1->click();
  for (int m : {2, 11}) form.MonthBox(m)->click();
  ok &= Save(form, dir.filePath(QStringLiteral("print-months.png")));
  return ok ? 0 : 1;
}
