// TfmNewShift: the small modal window that asks for the name of a new
// rotation scheme. Its creator shows it with exec() and reads FlatEdit1;
// "确定" accepts, "取消", the close button and Escape reject.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kadrel {

class TKadrelFrame;

class TfmNewShift : public QDialog {
  Q_OBJECT

 public:
  explicit TfmNewShift(QWidget* owner = nullptr);

  TKadrelFrame* Frame() const { return frame_; }

  QLabel* Label1 = nullptr;
  QLineEdit* FlatEdit1 = nullptr;
  QPushButton* FlatButton1 = nullptr;  // "确定"
  QPushButton* FlatButton2 = nullptr;  // "取消"

 private:
  TKadrelFrame* frame_ = nullptr;
};

}  // namespace kadrel
