#include "output/uprint.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "output/uLinePrinter.h"
#include "output/uScheduleDoc.h"
#include "output/uYearDocument.h"
#include "platform/gui/uMessages.h"
#include "platform/uDateWords.h"
#include "platform/uGbk.h"
#include "widgets/uFonts.h"
#include "widgets/uKadrelFrame.h"

namespace kadrel {

namespace {

constexpr int kColumns = 4;

TPrintFont PrinterFont() {
  static const std::string face = GbkLiteral("宋体");
  return {face, 8};
}

}  // namespace

void ShowPrintDialog(const TUserSchedule& user, int year, QWidget* owner) {
  if (!owner) owner = QApplication::activeWindow();
  TprnForm form(user, year, owner);
  if (owner) form.move(owner->geometry().center() - form.rect().center());
  form.exec();
}

// --- The window -------------------------------------------------------------------

TprnForm::TprnForm(const TUserSchedule& user, int year, QWidget* owner)
    : QDialog(owner), user_(user), year_(year) {
  setObjectName(QStringLiteral("prnForm"));
  setWindowTitle(QStringLiteral("打印"));
  setFixedSize(311, 252);
  setFont(KadrelFont(13));
  frame_ = new TKadrelFrame(this);
  frame_->SetTitle(QStringLiteral("打印"));
  CreateControls();
}

void TprnForm::CreateControls() {
  QWidget* body = frame_->AddBody({6, 35, 299, 190});

  CheckBox1 = new QCheckBox(QStringLiteral("按照月份打印"), body);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  CheckBox1->setGeometry(10, 6, 130, 20);
  connect(CheckBox1, &QCheckBox::toggled, this, &TprnForm::CheckBox1Click);

  FlatGroupBox1 = new QGroupBox(body);
  FlatGroupBox1->setObjectName(QStringLiteral("FlatGroupBox1"));
  FlatGroupBox1->setGeometry(10, 30, 279, 88);
  FlatGroupBox1->setEnabled(false);
  for (int m = 1; m <= 12; ++m) {
    auto* box = new QCheckBox(QString::fromUtf8(kMonthNames[m - 1]), FlatGroupBox1);
    box->setObjectName(QStringLiteral("CheckBox%1").arg(m + 1));
    const int row = (m - 1) / kColumns;
    const int column = (m - 1) % kColumns;
    box->setGeometry(11 + 67 * column, 10 + 25 * row, 64, 20);
    monthBoxes_[m - 1] = box;
  }

  Label1 = new QLabel(QStringLiteral("默认是按照年度进行打印"), body);
  Label1->setObjectName(QStringLiteral("Label1"));
  QFont bold = font();
  bold.setBold(true);
  bold.setUnderline(true);
  Label1->setFont(bold);
  Label1->setGeometry(10, 126, 279, 18);

  FlatButton1 = new QPushButton(QStringLiteral("开始打印"), body);
  FlatButton1->setObjectName(QStringLiteral("FlatButton1"));
  FlatButton1->setGeometry(70, 155, 73, 25);
  connect(FlatButton1, &QPushButton::clicked, this, &TprnForm::FlatButton1Click);

  FlatButton2 = new QPushButton(QStringLiteral("取消打印"), body);
  FlatButton2->setObjectName(QStringLiteral("FlatButton2"));
  FlatButton2->setGeometry(156, 155, 73, 25);
  connect(FlatButton2, &QPushButton::clicked, this, &TprnForm::FlatButton2Click);
}

void TprnForm::CheckBox1Click() { FlatGroupBox1->setEnabled(CheckBox1->isChecked()); }

void TprnForm::FlatButton1Click() {
  TMonthSet months;
  for (int m = 1; m <= 12; ++m) {
    if (!CheckBox1->isChecked() || MonthBox(m)->isChecked()) months.Add(m);
  }
  if (Print(ScheduleTitle(user_, year_), BuildYearDocument(user_, year_, months, TExportType::Print))) accept();
}

void TprnForm::FlatButton2Click() { reject(); }

bool TprnForm::Print(std::string_view title, std::string_view document) {
  std::unique_ptr<TPageSurface> surface = MakePrintSurface();
  TLinePrinter printer(*surface);
  std::string error;
  if (!printer.Open(title, error)) {
    ShowError(this, QString::fromStdString(error));
    return false;
  }
  printer.SetFont(PrinterFont());
  // Its lines end in CR LF, which the printer takes as WriteLine's line end.
  printer.Write(document);
  if (!printer.Close(error)) {
    ShowError(this, QString::fromStdString(error));
    return false;
  }
  return true;
}

}  // namespace kadrel
