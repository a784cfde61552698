// TfrmSync: the window of 同步到手机日历…. It puts a user's days, from a
// month back to a year ahead, on a CalDAV server that a phone's calendar
// account reads, through the same code as kadrel-cli publish, and says when
// the last publish succeeded. What it publishes and where is kept in the
// folder's settings; the password in the desktop's Secret Service, else in
// a file only its owner may read (platform/uSecrets.h), never in the folder.
// "每次修改后自动同步" asks the main window to publish again after each
// change (app/uSyncCommand.h). The publish runs on a thread of its own
// (config/uPublishRunner.h) behind a busy bar; closing the window stops it.
#pragma once

#include <QDialog>

#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kadrel {

class TKadrelFrame;
class TPublishRunner;
class TScheduleFolder;
struct TPublishResult;
struct TSyncSettings;

class TfrmSync : public QDialog {
  Q_OBJECT

 public:
  // `user`: the user shown in the main window, GBK, published unless the
  // settings name another who is still there. `runner`: the one the
  // program publishes with, so that this publish never runs beside
  // another; none: the window's own.
  TfrmSync(QWidget* owner, TScheduleFolder& folder, std::string user, TPublishRunner* runner = nullptr);
  ~TfrmSync() override;

  TKadrelFrame* Frame() const { return frame_; }
  TPublishRunner& Runner() const { return *runner_; }

  // 同步: checks the fields, stores them, and starts the publish; when it
  // ends, keeps the password the server took and tells the result through
  // the message seam.
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
  QProgressBar* barBusy = nullptr;  // shown while a publish runs

 protected:
  void done(int result) override;

 private:
  void ShowLast(const std::string& doneAt);
  bool ReadFields(TSyncSettings& settings);
  void Published(const TPublishResult& result, const TSyncSettings& settings, const std::string& typed,
                 const std::string& password);
  void ShowBusy(bool busy);

  TScheduleFolder& folder_;
  std::string user_;
  TKadrelFrame* frame_ = nullptr;
  TPublishRunner* runner_ = nullptr;
  bool publishing_ = false;  // the runner runs this window's publish
};

// The password for the settings' account: none without an account, else the
// one kept. False with `why` (UTF-8) when none is kept or the store failed.
bool KeptPassword(const TSyncSettings& settings, std::string& password, std::string& why);

}  // namespace kadrel
