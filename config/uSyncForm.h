// TfrmSync: the window of 同步到手机日历…. It puts a user's days, from a
// month back to a year ahead, on a CalDAV server that a phone's calendar
// account reads, through the same code as kadrel-cli publish, and says when
// the last publish succeeded. What it publishes and where is kept in the
// folder's settings; the password in the desktop's Secret Service, else in
// a file only its owner may read (platform/uSecrets.h), never in the folder.
// "每次修改后自动同步" asks the main window to publish again after each
// change (app/uSyncCommand.h).
#pragma once

#include <QDialog>

#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kadrel {

class TKadrelFrame;
class TScheduleFolder;
struct TSyncSettings;

class TfrmSync : public QDialog {
  Q_OBJECT

 public:
  // `user`: the user shown in the main window, GBK, published unless the
  // settings name another who is still there.
  TfrmSync(QWidget* owner, TScheduleFolder& folder, std::string user);

  TKadrelFrame* Frame() const { return frame_; }

  // 同步: checks the fields, stores them and the password, publishes and
  // tells the result through the message seam.
  void btnPublishClick();

  QLineEdit* edtUrl = nullptr;
  QLineEdit* edtAccount = nullptr;
  QLineEdit* edtPassword = nullptr;  // empty: the one kept for the account
  QLineEdit* edtCalendar = nullptr;
  QCheckBox* chkAuto = nullptr;
  QLabel* lblUser = nullptr;
  QLabel* lblLast = nullptr;  // 上次同步成功：… or 还没有同步过
  QPushButton* btnPublish = nullptr;
  QPushButton* btnClose = nullptr;

 private:
  void ShowLast(const std::string& doneAt);
  bool ReadFields(TSyncSettings& settings);

  TScheduleFolder& folder_;
  std::string user_;
  TKadrelFrame* frame_ = nullptr;
};

// The password for the settings' account: none without an account, else the
// one kept. False with `why` (UTF-8) when none is kept or the store failed.
bool KeptPassword(const TSyncSettings& settings, std::string& password, std::string& why);

}  // namespace kadrel
