#include "output/uYearWz.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <optional>

#include "widgets/uFonts.h"
#include "widgets/uKadrelFrame.h"

namespace kadrel {

namespace {

constexpr int kFirstYear = 1900;
constexpr int kLastYear = 2100;

// The whole number `text` spells, or nothing for anything else ("", "-",
// "1.5", a number too large for an int).
std::optional<int> WholeNumber(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok, 10);
  return ok ? std::optional<int>(value) : std::nullopt;
}

}  // namespace

// --- TFlatSpinEditInteger --------------------------------------------------

TFlatSpinEditInteger::TFlatSpinEditInteger(QWidget* parent)
    : QSpinBox(parent), beep_([] { QApplication::beep(); }) {
  setRange(kFirstYear, kLastYear);
  setSingleStep(1);
  setValue(kFirstYear);
}

int TFlatSpinEditInteger::Value() const { return valueFromText(text()); }

int TFlatSpinEditInteger::valueFromText(const QString& text) const {
  return std::clamp(WholeNumber(text).value_or(minimum()), minimum(), maximum());
}

bool TFlatSpinEditInteger::AcceptsKey(const QString& text) const {
  const QString point = locale().decimalPoint();
  for (QChar c : text) {
    const bool control = c.unicode() < 0x20 || c.unicode() == 0x7f;
    if (c == u'\r' || c == u'\n') return false;
    if (control || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || point.contains(c)) continue;
    return false;
  }
  return true;
}

QValidator::State TFlatSpinEditInteger::validate(QString& input, int&) const {
  for (QChar c : input) {
    // Control characters cannot be typed into the text; pasted ones are refused.
    if (c.unicode() < 0x20 || !AcceptsKey(QString(c))) return QValidator::Invalid;
  }
  const std::optional<int> number = WholeNumber(input);
  return number && *number >= minimum() && *number <= maximum() ? QValidator::Acceptable
                                                                 : QValidator::Intermediate;
}

void TFlatSpinEditInteger::fixup(QString& input) const { input = QString::number(valueFromText(input)); }

void TFlatSpinEditInteger::stepBy(int steps) {
  // From the text as typed, not the last accepted value: 3000 and Up is 2100.
  const long long next = static_cast<long long>(Value()) + static_cast<long long>(steps) * singleStep();
  setValue(int(std::clamp<long long>(next, minimum(), maximum())));
  lineEdit()->selectAll();
}

QAbstractSpinBox::StepEnabled TFlatSpinEditInteger::stepEnabled() const {
  if (isReadOnly()) return StepNone;
  // Both ways always: a typed value beyond a bound steps back to it.
  return StepUpEnabled | StepDownEnabled;
}

void TFlatSpinEditInteger::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter || (!event->text().isEmpty() && !AcceptsKey(event->text()))) {
    event->accept();
    if (beep_) beep_();
    return;
  }
  QSpinBox::keyPressEvent(event);
}

void TFlatSpinEditInteger::Settle() {
  // Also when the text is empty, which the spin box itself leaves alone.
  if (text() != textFromValue(Value())) setValue(Value());
}

void TFlatSpinEditInteger::focusOutEvent(QFocusEvent* event) {
  QSpinBox::focusOutEvent(event);
  Settle();
}

// --- TfrmYearWZ ------------------------------------------------------------

TfrmYearWZ::TfrmYearWZ(QWidget* owner) : QDialog(owner), frame_(new TKadrelFrame(this)) {
  setWindowTitle(QStringLiteral("年份导航"));
  setFixedSize(279, 103);
  frame_->SetTitle(QStringLiteral("年份导航"));
  frame_->SetCloseButtonVisible(false);
  Panel1 = frame_->AddBody({6, 32, 267, 50});

  // One centred row: label, field, two buttons.
  Label1 = new QLabel(QStringLiteral("年份"), Panel1);
  Label1->setFont(KadrelFont(13));
  Label1->adjustSize();
  Label1->move(16, (50 - Label1->height()) / 2);

  FlatSpinEditInteger1 = new TFlatSpinEditInteger(Panel1);
  FlatSpinEditInteger1->setFont(KadrelFont(21));
  FlatSpinEditInteger1->setGeometry(50, 9, 97, 31);

  FlatButton1 = new QPushButton(QStringLiteral("确定"), Panel1);
  FlatButton2 = new QPushButton(QStringLiteral("取消"), Panel1);
  int x = 161;
  for (QPushButton* button : {FlatButton1, FlatButton2}) {
    // Enter belongs to the field, which refuses it; it never closes the dialog.
    button->setAutoDefault(false);
    button->setFont(KadrelFont(12));
    button->setGeometry(x, 12, 41, 25);
    x += 49;
  }
  connect(FlatButton1, &QPushButton::clicked, this, &TfrmYearWZ::FlatButton1Click);
  connect(FlatButton2, &QPushButton::clicked, this, &TfrmYearWZ::FlatButton2Click);
  FlatSpinEditInteger1->setFocus();
}

int TfrmYearWZ::Year() const { return FlatSpinEditInteger1->Value(); }

void TfrmYearWZ::SetYear(int year) { FlatSpinEditInteger1->setValue(year); }

void TfrmYearWZ::FlatButton1Click() {
  // The field loses the focus to the button first, which bounds what it shows.
  FlatSpinEditInteger1->Settle();
  done(kModalOk);
}

void TfrmYearWZ::FlatButton2Click() { done(kModalCancel); }

void TfrmYearWZ::showEvent(QShowEvent* event) {
  // The caller only runs the dialog; the toolkit's own placement leaves room
  // for a title bar these windows do not have.
  if (QWidget* owner = parentWidget()) move(owner->window()->geometry().center() - rect().center());
  QDialog::showEvent(event);
}

void TfrmYearWZ::reject() { done(kModalCancel); }

}  // namespace kadrel
