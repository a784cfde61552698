#include "config/uNewShift.h"

#include "config/uRefusals.h"
#include "platform/gui/uMessages.h"
#include "platform/gui/uQtGbk.h"
#include "platform/uGbk.h"
#include "schedule/uScheduleRecords.h"
#include "widgets/uFonts.h"
#include "widgets/uKadrelFrame.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kadrel {

TfmNewShift::TfmNewShift(QWidget* owner) : QDialog(owner), frame_(new TKadrelFrame(this)) {
  setWindowTitle(QStringLiteral("输入"));
  setFixedSize(279, 153);
  setFont(KadrelFont(12));
  frame_->SetTitle(QStringLiteral("输入"));

  QWidget* body = frame_->AddBody({6, 35, 267, 106});
  Label1 = new QLabel(QStringLiteral("新的班制名称"), body);
  Label1->move(16, 14);
  FlatEdit1 = new QLineEdit(body);
  FlatEdit1->setGeometry(16, 34, 235, 22);

  FlatButton1 = new QPushButton(QStringLiteral("确定"), body);
  FlatButton1->setGeometry(52, 70, 75, 25);
  FlatButton1->setDefault(true);
  FlatButton2 = new QPushButton(QStringLiteral("取消"), body);
  FlatButton2->setGeometry(140, 70, 75, 25);
  connect(FlatButton1, &QPushButton::clicked, this, &QDialog::accept);
  connect(FlatButton2, &QPushButton::clicked, this, &QDialog::reject);
  FlatEdit1->setFocus();
}

// Unlike QString::trimmed this keeps the ideographic space, as the stored
// names' trimming does.
QString TfmNewShift::Name() const {
  return QString::fromStdString(std::string(TrimBlanks(FlatEdit1->text().toStdString())));
}

void TfmNewShift::accept() {
  const QString name = Name();
  std::string gbk;
  TScheduleError check;
  const bool ok = name.isEmpty() || (QStringToGbk(name, gbk) && CheckNameText(gbk, check));
  if (!ok) {
    const TEditFault fault = check.Fault == TEditFault::None ? TEditFault::BadText : check.Fault;
    ShowMessageBox(this, {RefusalText(TTextField::SchemeName, fault), QStringLiteral("提示"), TMsgIcon::Information,
                          TMsgButtons::Ok});
    FlatEdit1->setFocus();
    FlatEdit1->selectAll();
    return;
  }
  QDialog::accept();
}

}  // namespace kadrel
