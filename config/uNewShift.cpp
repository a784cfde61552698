#include "config/uNewShift.h"

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

}  // namespace kadrel
