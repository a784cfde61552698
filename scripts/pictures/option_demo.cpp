// The options dialog on a small demo data set, for looking at it by eye:
//
//   option_demo               shows the dialog on demo data in a temporary folder
//   option_demo --grab DIR    saves a picture of every page into DIR and quits:
//                             options-users.png, options-user-edit.png,
//                             options-duties.png, options-schemes.png,
//                             options-scheme-edit.png, options-newshift.png,
//                             options-calendar.png (the start date's drop-down),
//                             options-change-scheme.png (更换班制… with a history)
#include "config/uChangeScheme.h"
#include "config/uKDOption.h"
#include "config/uDatePicker.h"
#include "config/uNewShift.h"
#include "platform/uGbk.h"
#include "schedule/uScheduleFolder.h"
#include "widgets/uKadrelStyle.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>

namespace {

using namespace kadrel;

bool WriteDemoData(TScheduleRecords& records) {
  TScheduleError e;
  auto g = [](const char* utf8) { return GbkLiteral(utf8); };
  auto duty = [&](const char* name, std::string hint) {
    TDutyKindRecord kind{0, g(name), std::move(hint)};
    return records.SaveDutyKind(kind, e);
  };
  auto scheme = [&](const char* name, std::vector<std::int32_t> cycle) {
    TSchemeRecord record{0, g(name), std::move(cycle)};
    return records.SaveScheme(record, e);
  };
  const TDateTime start = static_cast<TDateTime>(EncodeDate(2026, 1, 5)) + 0.375;
  auto user = [&](std::string name, std::int32_t shiftId, std::int32_t first) {
    TUserRecord record{0, std::move(name), shiftId, start, first};
    return records.SaveUser(record, e);
  };
  const bool ok = duty("白班", g("早八点到晚八点")) && duty("夜班", g("晚八点到早八点\r\n次日休息")) &&
                  duty("休息", "") && scheme("四班三倒", {1, 1, 2, 2, 3, 3, 3, 3}) &&
                  scheme("常白班", {1, 1, 1, 1, 1, 3, 3}) && user(g("张三"), 1, 0) && user(g("李四"), 2, 3) &&
                  user("Wang Wu", 1, 4);
  if (!ok) std::fprintf(stderr, "option_demo: %s\n", e.Text().c_str());
  return ok;
}

bool Save(QWidget* w, const QString& dir, const char* name) {
  const QString path = QDir(dir).filePath(QString::fromLatin1(name));
  if (w->grab().save(path)) return true;
  std::fprintf(stderr, "option_demo: cannot write %s\n", qPrintable(path));
  return false;
}

// Walks the pages and saves each; the name dialog and the change of scheme
// are grabbed from inside their own modal loops.
bool GrabAll(TfrmOption& dlg, TRotaRecords& rota, const QString& dir) {
  bool ok = Save(&dlg, dir, "options-users.png");
  dlg.lvUser->setCurrentItem(dlg.lvUser->topLevelItem(0));
  dlg.FlatButton1Click();
  ok = Save(&dlg, dir, "options-user-edit.png") && ok;
  ok = Save(dlg.DateTimePicker1->calendarWidget(), dir, "options-calendar.png") && ok;
  dlg.FlatButton1Click();

  // 张三 moved to 常白班 on 1 March, so the dialog has a history to show.
  TRotaError error;
  if (!rota.ChangeScheme(GbkLiteral("张三"), static_cast<TDateTime>(EncodeDate(2026, 3, 1)), 2, 0, error)) {
    std::fprintf(stderr, "option_demo: %s\n", error.Text().c_str());
    ok = false;
  }
  QTimer::singleShot(0, [&] {
    auto* change = qobject_cast<TfrmChangeScheme*>(QApplication::activeModalWidget());
    if (!change) return;
    ok = Save(change, dir, "options-change-scheme.png") && ok;
    change->reject();
  });
  dlg.FlatButton10Click();

  dlg.PageControl1->setCurrentIndex(1);
  dlg.flbWork->setCurrentRow(1);
  ok = Save(&dlg, dir, "options-duties.png") && ok;
  dlg.PageControl2->setCurrentIndex(1);
  dlg.tvShift->expandAll();
  ok = Save(&dlg, dir, "options-schemes.png") && ok;

  QTimer::singleShot(0, [&] {
    auto* name = qobject_cast<TfmNewShift*>(QApplication::activeModalWidget());
    if (!name) return;
    name->FlatEdit1->setText(QStringLiteral("三班两倒"));
    ok = Save(name, dir, "options-newshift.png") && ok;
    name->accept();
  });
  dlg.FlatButton9Click();
  dlg.lvWork->setCurrentItem(dlg.lvWork->topLevelItem(0));
  dlg.fsbSelectedClick();
  dlg.fsbSelectedClick();
  dlg.lvWork->setCurrentItem(dlg.lvWork->topLevelItem(2));
  dlg.fsbSelectedClick();
  ok = Save(&dlg, dir, "options-scheme-edit.png") && ok;
  dlg.FlatButton8Click();  // the new scheme is selected: this cancels it, and nothing is written
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ApplyKadrelStyle(app);
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));

  QTemporaryDir data;
  TScheduleFolder folder(data.path().toStdString());
  TOpenFailure failure;
  if (data.isValid()) failure = folder.Open({TFolderAccess::Write, TWritePolicy::AsTyped});
  if (!data.isValid() || failure.Failed() || !WriteDemoData(folder.Records())) {
    std::fprintf(stderr, "option_demo: cannot write the demo data %s\n", failure.Text().c_str());
    return 1;
  }

  TfrmOption dlg(nullptr, folder.Records(), folder.Rota());
  const QStringList args = app.arguments();
  const qsizetype grab = args.indexOf(QStringLiteral("--grab"));
  if (grab < 0) return dlg.exec(), 0;
  if (grab + 1 >= args.size()) {
    std::fprintf(stderr, "usage: option_demo [--grab DIR]\n");
    return 1;
  }
  dlg.show();
  const bool ok = GrabAll(dlg, folder.Rota(), args[grab + 1]);
  dlg.hide();
  return ok ? 0 : 1;
}
