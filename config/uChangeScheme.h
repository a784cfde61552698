// TfrmChangeScheme: the small modal window of 更换班制… on the options
// dialog's users page. From a day on, the user follows another scheme (or
// the same one at another place), while the days before keep the duties
// they had: the change goes through TRotaRecords::ChangeScheme, which keeps
// the assignment it replaces in the rotation history. The window shows that
// history, the earliest assignment first.
#pragma once

#include <QDialog>

#include <cstdint>
#include <string>

#include "schedule/uRotaRecords.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace kadrel {

class TDatePicker;
class TKadrelFrame;

class TfrmChangeScheme : public QDialog {
  Q_OBJECT

 public:
  // `user` is the user's name as stored.
  TfrmChangeScheme(QWidget* owner, TRotaRecords& rota, TScheduleRecords& records, std::string user);

  TKadrelFrame* Frame() const { return frame_; }

  // The scheme's cycle in the place list, the first entry checked.
  void fcbSchemeChange();
  // Fills the history list from the files.
  void FillHistory();

  QLabel* lblUser = nullptr;
  TDatePicker* dtpFrom = nullptr;
  QComboBox* fcbScheme = nullptr;   // "ID|Name" of every live scheme, by "ID"
  QListWidget* fclbPlace = nullptr;  // the duty worked on the first day
  QTreeWidget* lvHistory = nullptr;  // "起", "止", "班制"
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;

 public slots:
  void accept() override;

 private:
  void CheckPlace(int row);

  TRotaRecords& rota_;
  TScheduleRecords& records_;
  std::string user_;
  TKadrelFrame* frame_ = nullptr;
  int checkedPlace_ = 0;
};

}  // namespace kadrel
