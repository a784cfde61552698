#include "config/uDayChange.h"

#include "config/uDatePicker.h"
#include "config/uRefusals.h"
#include "platform/gui/uMessages.h"
#include "platform/gui/uQtGbk.h"
#include "platform/uGbk.h"
#include "schedule/uDayText.h"
#include "widgets/uFonts.h"
#include "widgets/uKadrelFrame.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kadrel {

namespace {

constexpr int kWidth = 300;
constexpr int kRowHeight = 28;
constexpr int kFieldLeft = 64;
constexpr int kFieldWidth = 200;

const char* TitleOf(TExceptionKind kind) {
  switch (kind) {
    case TExceptionKind::Swap: return "换班";
    case TExceptionKind::Leave: return "请假";
    case TExceptionKind::Extra: return "加班";
    case TExceptionKind::Set: return "改班";
    default: return "备注";
  }
}

// A swap and a note are of one day; the others may cover a range.
bool OfOneDay(TExceptionKind kind) { return kind == TExceptionKind::Swap || kind == TExceptionKind::Note; }

QDate PickerDate(TDateTime day) {
  const TYmd ymd = DecodeDate(WholeDays(day));
  return QDate(ymd.Year, ymd.Month, ymd.Day);
}

TDatePicker* MakePicker(TDateTime day) {
  auto* picker = new TDatePicker;
  // Only days an exception may fall on can be picked at all.
  picker->setDateRange(QDate(kFirstRotaYear, 1, 1), QDate(kLastRotaYear, 12, 31));
  picker->setDate(PickerDate(day));
  return picker;
}

}  // namespace

QString DayCaption(TDateTime day) {
  const TYmd ymd = DecodeDate(WholeDays(day));
  return QStringLiteral("%1年%2月%3日").arg(ymd.Year).arg(ymd.Month).arg(ymd.Day);
}

QString DaysCaption(TDateTime first, TDateTime last) {
  if (WholeDays(first) == WholeDays(last)) return DayCaption(first);
  return DayCaption(first) + QStringLiteral("至") + DayCaption(last);
}

TfrmDayChange::TfrmDayChange(QWidget* owner, TRotaRecords& rota, TScheduleRecords& records, TExceptionKind kind,
                             std::string user, TDateTime day)
    : QDialog(owner), rota_(rota), kind_(kind), user_(std::move(user)), frame_(new TKadrelFrame(this)) {
  const QString title = QString::fromUtf8(TitleOf(kind));
  setWindowTitle(title);
  setFont(KadrelFont(12));
  frame_->SetTitle(title);
  body_ = new QWidget;  // placed once the rows are known

  lblUser = new QLabel(GbkToQString(user_));
  AddRow(QStringLiteral("用户"), lblUser);
  dtpFirst = MakePicker(day);
  AddRow(OfOneDay(kind) ? QStringLiteral("日期") : QStringLiteral("从"), dtpFirst);
  if (!OfOneDay(kind)) {
    dtpLast = MakePicker(day);
    AddRow(QStringLiteral("至"), dtpLast);
  }
  if (kind == TExceptionKind::Swap) {
    fcbPartner = new QComboBox;
    const std::string self = UserKey(user_);
    for (const TUserRecord& other : records.Users()) {
      if (UserKey(other.Name) == self) continue;
      fcbPartner->addItem(GbkToQString(other.Name), QByteArray::fromStdString(other.Name));
    }
    AddRow(QStringLiteral("对方"), fcbPartner);
  }
  if (kind == TExceptionKind::Set || kind == TExceptionKind::Extra) {
    fcbDuty = new QComboBox;
    if (kind == TExceptionKind::Set) fcbDuty->addItem(QStringLiteral("无（不上班）"), 0);
    for (const TDutyKindRecord& duty : records.DutyKinds()) fcbDuty->addItem(GbkToQString(duty.Name), duty.ID);
    AddRow(QStringLiteral("班次"), fcbDuty);
  }
  if (kind == TExceptionKind::Leave) {
    fcbLeave = new QComboBox;
    fcbLeave->setEditable(true);
    fcbLeave->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& leave : StandardLeaveKinds()) fcbLeave->addItem(GbkToQString(leave));
    AddRow(QStringLiteral("假别"), fcbLeave);
  }
  fedNote = new QLineEdit;
  AddRow(QStringLiteral("备注"), fedNote);

  const int buttonsTop = 10 + rows_ * kRowHeight + 4;
  const int bodyHeight = buttonsTop + 25 + 10;
  body_->setParent(frame_->AddBody({6, 35, kWidth - 12, bodyHeight}));
  body_->setGeometry(0, 0, kWidth - 12, bodyHeight);
  btnOk = new QPushButton(QStringLiteral("确定"), body_);
  btnOk->setGeometry(52, buttonsTop, 75, 25);
  btnOk->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("取消"), body_);
  btnCancel->setGeometry(160, buttonsTop, 75, 25);
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  // The frame's outline needs the 10 pixels it cuts away below the body.
  setFixedSize(kWidth, 35 + bodyHeight + 12 + 10);
  // The first thing to choose, else the note.
  for (QWidget* first : {static_cast<QWidget*>(fcbPartner), static_cast<QWidget*>(fcbDuty),
                         static_cast<QWidget*>(fcbLeave), static_cast<QWidget*>(fedNote)}) {
    if (!first) continue;
    first->setFocus();
    break;
  }
}

QWidget* TfrmDayChange::AddRow(const QString& caption, QWidget* field) {
  const int top = 10 + rows_ * kRowHeight;
  auto* label = new QLabel(caption, body_);
  label->move(16, top + 4);
  field->setParent(body_);
  field->setGeometry(kFieldLeft, top, kFieldWidth, 22);
  ++rows_;
  return field;
}

void TfrmDayChange::Refuse(const QString& text, QWidget* field) {
  ShowMessageBox(this, {text, QStringLiteral("提示"), TMsgIcon::Information, TMsgButtons::Ok});
  if (!field) return;
  field->setFocus();
  if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
}

QWidget* TfrmDayChange::FieldOf(TRotaField field) const {
  switch (field) {
    case TRotaField::First: return dtpFirst;
    case TRotaField::Last: return dtpLast ? dtpLast : dtpFirst;
    case TRotaField::Partner: return fcbPartner;
    case TRotaField::Duty: return fcbDuty;
    case TRotaField::Leave: return fcbLeave;
    case TRotaField::Note: return fedNote;
    default: return nullptr;
  }
}

// The leave a new one overlaps, by its kind and days.
QString TfrmDayChange::OverlapText(const TExceptionRecord& record) {
  QString text = QStringLiteral("这段请假与已有的请假重叠");
  for (const TExceptionRecord& other : rota_.ExceptionsOf(user_, record.First, record.Last)) {
    if (other.Kind != TExceptionKind::Leave) continue;
    const QString kind = other.Leave.empty() ? QStringLiteral("请假") : GbkToQString(other.Leave);
    return text + QStringLiteral("：%1，%2。").arg(kind, DaysCaption(other.First, other.Last));
  }
  return text + QStringLiteral("。");
}

// The record the controls describe; false, after saying why, for text GBK
// cannot hold or a choice the window has nothing to offer for.
bool TfrmDayChange::ReadRecord(TExceptionRecord& record) {
  record = {};
  record.User = user_;
  record.Kind = kind_;
  record.First = dtpFirst->DateTime();
  record.Last = dtpLast ? dtpLast->DateTime() : record.First;
  if (fcbPartner) {
    if (fcbPartner->currentIndex() < 0) {
      Refuse(QStringLiteral("没有其他用户可以换班。"), fcbPartner);
      return false;
    }
    record.Partner = fcbPartner->currentData().toByteArray().toStdString();
  }
  if (fcbDuty) {
    if (fcbDuty->currentIndex() < 0) {
      Refuse(QStringLiteral("还没有班次，请先在“配置倒班规律”中新建班次。"), fcbDuty);
      return false;
    }
    record.DutyID = fcbDuty->currentData().toInt();
  }
  TRotaError unencodable;
  if (fcbLeave && !QStringToGbk(fcbLeave->currentText(), record.Leave)) {
    unencodable.Fail(TRotaFault::BadText, TRotaField::Leave, {});
    Refuse(RotaRefusalText(unencodable, {}), fcbLeave);
    return false;
  }
  if (!QStringToGbk(fedNote->text(), record.Note)) {
    unencodable.Fail(TRotaFault::BadText, TRotaField::Note, {});
    Refuse(RotaRefusalText(unencodable, {}), fedNote);
    return false;
  }
  return true;
}

void TfrmDayChange::accept() {
  TExceptionRecord record;
  if (!ReadRecord(record)) return;
  TRotaError error;
  if (!rota_.AddException(record, error)) {
    const QString text = error.Fault == TRotaFault::Overlap
                             ? OverlapText(record)
                             : RotaRefusalText(error, {GbkToQString(user_), GbkToQString(record.Partner)});
    Refuse(text, FieldOf(error.Field));
    return;
  }
  stored_ = record;
  QDialog::accept();
}

}  // namespace kadrel
