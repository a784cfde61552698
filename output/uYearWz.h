// TfrmYearWZ: the year navigator, a small modal dialog in which the user
// picks the year the main window shows. The caller sets the year field,
// runs the dialog, and on kModalOk reads the field back.
#pragma once

#include <QDialog>
#include <QSpinBox>

#include <functional>

class QLabel;
class QPushButton;

namespace kadrel {

class TKadrelFrame;

// An integer field with up and down buttons whose text may be typed freely
// within a small alphabet: digits, "+", "-" and the decimal point. Every
// read of the value goes through the text, so a typed value counts at once,
// bounded to the range, and text that is not a whole number reads as the
// minimum. Other keys are refused with a beep; so is Enter.
class TFlatSpinEditInteger : public QSpinBox {
 public:
  explicit TFlatSpinEditInteger(QWidget* parent = nullptr);

  // The value the text stands for, bounded to the range.
  int Value() const;
  // How a refused key is announced; QApplication::beep unless replaced.
  void SetBeep(std::function<void()> beep) { beep_ = std::move(beep); }
  // Whether `text` (one typed character) may enter the field.
  bool AcceptsKey(const QString& text) const;
  // Replaces the text by the value it reads as, as losing the focus does.
  void Settle();

  void stepBy(int steps) override;
  QValidator::State validate(QString& input, int& pos) const override;
  void fixup(QString& input) const override;

 protected:
  int valueFromText(const QString& text) const override;
  StepEnabled stepEnabled() const override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  std::function<void()> beep_;
};

class TfrmYearWZ : public QDialog {
 public:
  // What exec() returns.
  static constexpr int kModalOk = 1;
  static constexpr int kModalCancel = 2;

  explicit TfrmYearWZ(QWidget* owner = nullptr);

  // The year field, read and written by the caller; always within 1900–2100.
  int Year() const;
  void SetYear(int year);

  void FlatButton1Click();
  void FlatButton2Click();
  // Escape and any other dismissal count as "取消".
  void reject() override;

  TKadrelFrame* Frame() const { return frame_; }

  QWidget* Panel1 = nullptr;  // the beige inner panel
  QLabel* Label1 = nullptr;   // "年份"
  TFlatSpinEditInteger* FlatSpinEditInteger1 = nullptr;
  QPushButton* FlatButton1 = nullptr;  // "确定"
  QPushButton* FlatButton2 = nullptr;  // "取消"

 protected:
  // Centres the dialog over its owner's window.
  void showEvent(QShowEvent* event) override;

 private:
  TKadrelFrame* frame_ = nullptr;
};

}  // namespace kadrel
