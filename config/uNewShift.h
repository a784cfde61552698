// TfmNewShift: the small modal window that asks for the name of a new
// rotation scheme. Its creator shows it with exec() and reads Name();
// "确定" accepts a name that fits the schemes file (or none), "取消", the
// close button and Escape reject.
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
  // The typed name without blanks and control characters at its ends.
  QString Name() const;

  QLabel* Label1 = nullptr;
  QLineEdit* FlatEdit1 = nullptr;
  QPushButton* FlatButton1 = nullptr;  // "确定"
  QPushButton* FlatButton2 = nullptr;  // "取消"

 public slots:
  // A name that would not fit is refused here, before a cycle is built
  // for it; the window then stays open with the name selected.
  void accept() override;

 private:
  TKadrelFrame* frame_ = nullptr;
};

}  // namespace kadrel
