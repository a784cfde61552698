// A main-window-sized frame carrying every skinned control and a sample of
// the standard controls in the shared look, for checking the kit by eye.
//
//   widgets_demo                 shows the window
//   widgets_demo --grab X.png    saves a picture of the window and quits
//   widgets_demo --menu          also opens the command menu at the start button
#include "widgets/uGradientPanel.h"
#include "widgets/uKadrelFrame.h"
#include "widgets/uKadrelStyle.h"
#include "widgets/uListMenu.h"
#include "widgets/uMenuImages.h"
#include "widgets/uOfficeButton.h"
#include "widgets/uPopupMenu.h"
#include "widgets/uToggleButton.h"
#include "widgets/uFonts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace {

using namespace kadrel;

void AddStandardControls(QWidget* body) {
  auto* add = new QPushButton(QStringLiteral("增加"), body);
  add->setGeometry(10, 10, 73, 25);
  auto* modify = new QPushButton(QStringLiteral("修改"), body);
  modify->setGeometry(90, 10, 73, 25);
  auto* remove = new QPushButton(QStringLiteral("删除"), body);
  remove->setGeometry(170, 10, 73, 25);
  remove->setEnabled(false);

  auto* name = new QLineEdit(QStringLiteral("张三"), body);
  name->setGeometry(10, 45, 150, 22);
  auto* combo = new QComboBox(body);
  combo->addItems({QStringLiteral("1|四班三倒"), QStringLiteral("2|白班")});
  combo->setGeometry(170, 45, 150, 22);
  auto* date = new QDateEdit(QDate(2026, 3, 17), body);
  date->setCalendarPopup(true);
  date->setGeometry(330, 45, 140, 22);
  auto* year = new QSpinBox(body);
  year->setRange(1900, 2100);
  year->setValue(2026);
  year->setGeometry(480, 40, 97, 31);
  QFont big = year->font();
  big.setPixelSize(21);
  year->setFont(big);

  auto* memo = new QTextEdit(QStringLiteral("早八点到晚八点\n中午休息一小时"), body);
  memo->setGeometry(10, 77, 150, 80);
  auto* list = new QListWidget(body);
  list->addItems({QStringLiteral("白班"), QStringLiteral("夜班"), QStringLiteral("休息")});
  list->setCurrentRow(1);
  list->setGeometry(170, 77, 150, 80);

  auto* check = new QCheckBox(QStringLiteral("按照月份打印"), body);
  check->setChecked(true);
  check->move(330, 80);
  auto* group = new QGroupBox(QStringLiteral("选择导出类型"), body);
  group->setGeometry(330, 105, 250, 100);
  auto* layout = new QVBoxLayout(group);
  for (const char* text : {"文本文件(*.txt)", "超文本文件(*.html/*.htm)", "格式文件(*.dat)"}) {
    auto* radio = new QRadioButton(QString::fromUtf8(text), group);
    layout->addWidget(radio);
    if (layout->count() == 1) radio->setChecked(true);
  }

  auto* tabs = new QTabWidget(body);
  tabs->addTab(new QWidget, QStringLiteral("用户管理"));
  tabs->addTab(new QWidget, QStringLiteral("班制管理"));
  tabs->setGeometry(10, 200, 310, 120);

  auto* notice = new QLabel(QStringLiteral("默认是按照年度进行打印"), body);
  QFont bold = notice->font();
  bold.setBold(true);
  bold.setUnderline(true);
  notice->setFont(bold);
  notice->move(330, 215);
}

void AddViewButtons(QWidget* body) {
  static const char* const kMonths[] = {"一 月", "二 月", "三 月", "四 月", "五 月", "六 月",
                                        "七 月", "八 月", "九 月", "十 月", "十一月", "十二月"};
  auto* year = new TToggleButton(body);
  year->setGeometry(3, 358, 46, 21);
  year->SetCaption(QStringLiteral("2026年"));
  year->SetGroupIndex(100);
  year->SetDown(true);
  year->setFont(KadrelFont(12));
  for (int m = 1; m <= 12; ++m) {
    auto* b = new TToggleButton(body);
    b->setGeometry(48 + 43 * (m - 1), 358, 44, 21);
    b->SetCaption(QString::fromUtf8(kMonths[m - 1]));
    b->SetGroupIndex(m);
    b->setFont(KadrelFont(12));
    if (m == 12) b->setEnabled(false);
  }
}

TPopupMenu* BuildMenu(QWidget* owner) {
  auto* menu = new TPopupMenu(owner);
  menu->addAction(KadrelMenuImage(0), QStringLiteral("配置倒班规律"));
  TListMenu* users = menu->AddListMenu(KadrelMenuImage(13), QStringLiteral("选择用户"));
  users->SetItems({QStringLiteral("张三_"), QStringLiteral("a_b_")}, KadrelMenuImage(12));
  users->SetCheckedRow(0);
  menu->addAction(KadrelMenuImage(11), QStringLiteral("年份导航"));
  TPopupMenu* views = menu->AddSubMenu(KadrelMenuImage(10), QStringLiteral("显示"));
  QAction* year = views->addAction(QStringLiteral("2026年"));
  year->setCheckable(true);
  year->setChecked(true);
  views->addAction(QStringLiteral("一月"))->setCheckable(true);
  menu->addAction(KadrelMenuImage(8), QStringLiteral("打印Kadrel"));
  menu->addSeparator();
  menu->addAction(KadrelMenuImage(3), QStringLiteral("导出"));
  menu->addSeparator();
  menu->addAction(KadrelMenuImage(4), QStringLiteral("帮助"));
  menu->addAction(KadrelMenuImage(14), QStringLiteral("关于..."));
  menu->addSeparator();
  menu->addAction(KadrelMenuImage(9), QStringLiteral("关闭"));
  return menu;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ApplyKadrelStyle(app);
  const QStringList args = app.arguments();

  QWidget window;
  window.setWindowTitle(QStringLiteral("Kadrelv2.0"));
  window.resize(698, 442);
  auto* frame = new TKadrelFrame(&window);
  frame->AddMinimizeButton();

  auto* start = new TOfficeButton(frame->Panel());
  start->setText(QStringLiteral("Kadrel v2.0 "));
  start->setToolTip(QStringLiteral("点击这里开始..."));
  start->setGeometry(16, 5, 130, 28);

  auto* banner = new QLabel(QStringLiteral("当前用户：张三"), frame->Panel());
  banner->setGeometry(152, 8, 257, 25);
  QPalette white = banner->palette();
  white.setColor(QPalette::WindowText, Qt::white);
  banner->setPalette(white);
  frame->AddDragHandle(banner);

  QWidget* body = frame->AddBody({6, 35, 687, 380});
  AddStandardControls(body);
  AddViewButtons(body);

  TPopupMenu* menu = BuildMenu(&window);
  QObject::connect(start, &TOfficeButton::MouseUp, [start, menu](Qt::MouseButton button, QPoint) {
    if (button == Qt::LeftButton) menu->popup(start->mapToGlobal(QPoint(0, start->height() - 1)));
  });

  window.show();
  // Without a window manager (Xvfb) nothing else activates the window, and
  // the view buttons light up only in the active window.
  window.activateWindow();
  if (args.contains(QStringLiteral("--menu"))) {
    QTimer::singleShot(200, [start, menu] { menu->popup(start->mapToGlobal(QPoint(0, start->height() - 1))); });
  }
  const qsizetype grab = args.indexOf(QStringLiteral("--grab"));
  if (grab >= 0 && grab + 1 < args.size()) {
    QTimer::singleShot(300, [&window, path = args[grab + 1]] {
      window.grab().save(path);
      QApplication::quit();
    });
  }
  return app.exec();
}
