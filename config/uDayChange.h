// TfrmDayChange: the small modal window that records one change of a user's
// rota from the day menu: a swap, a leave, an extra shift, a changed duty or
// a note. It asks only what its kind needs (the other user, the duty kind,
// the leave kind, the days and the note), starting from the day the menu
// was opened on, and stores the change through TRotaRecords when "确定" is
// pressed. A refusal is told in a 提示 naming the input at fault, which then
// has the focus; the window stays open and nothing is written.
//
//   TfrmDayChange dlg(this, folder.Rota(), folder.Records(), TExceptionKind::Leave, name, day);
//   if (dlg.exec() == QDialog::Accepted) { /* dlg.Stored() is in the files */ }
#pragma once

#include <QDialog>

#include <string>

#include "platform/uDateTime.h"
#include "schedule/uRotaRecords.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kadrel {

class TDatePicker;
class TKadrelFrame;

// "2026年3月5日", as the date pickers show a day.
QString DayCaption(TDateTime day);
// "2026年3月2日至2026年3月10日", or one day as DayCaption.
QString DaysCaption(TDateTime first, TDateTime last);

class TfrmDayChange : public QDialog {
  Q_OBJECT

 public:
  // `kind` is one of Swap, Leave, Extra, Set and Note; `user` the user's
  // name as stored; `day` the day the change starts on.
  TfrmDayChange(QWidget* owner, TRotaRecords& rota, TScheduleRecords& records, TExceptionKind kind, std::string user,
                TDateTime day);

  TKadrelFrame* Frame() const { return frame_; }
  TExceptionKind Kind() const { return kind_; }
  // The change as stored, once accepted (a swap: the user's half).
  const TExceptionRecord& Stored() const { return stored_; }

  // Only the controls the kind asks for exist; the others stay null.
  QLabel* lblUser = nullptr;
  TDatePicker* dtpFirst = nullptr;  // "日期" for one day, else "从"
  TDatePicker* dtpLast = nullptr;   // "至"
  QComboBox* fcbPartner = nullptr;  // the other users, by their stored names
  QComboBox* fcbDuty = nullptr;     // the duty kinds by "ID"; a set offers "无" (0) first
  QComboBox* fcbLeave = nullptr;    // the standard leave kinds, or any typed text
  QLineEdit* fedNote = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;

 public slots:
  void accept() override;

 private:
  QWidget* AddRow(const QString& caption, QWidget* field);
  bool ReadRecord(TExceptionRecord& record);
  void Refuse(const QString& text, QWidget* field);
  QWidget* FieldOf(TRotaField field) const;
  QString OverlapText(const TExceptionRecord& record);

  TRotaRecords& rota_;
  TExceptionKind kind_;
  std::string user_;
  TExceptionRecord stored_;
  TKadrelFrame* frame_ = nullptr;
  QWidget* body_ = nullptr;
  int rows_ = 0;
};

}  // namespace kadrel
