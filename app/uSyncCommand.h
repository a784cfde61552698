// 同步到手机日历… in the command menu, after 导出, and the publish again
// after each change when the dialog's 每次修改后自动同步 is on. Program start
// makes one for the main window, as it makes the desktop's parts; the main
// window knows nothing of it. A change is one made through the day menu of
// either window or the options dialog: connected after the window's own
// handlers, these run once the change is on disk, and publish only when the
// rota's records were written since the last publish.
//
// Every publish, the dialog's too, runs on the one TPublishRunner, off the
// GUI thread. A change made while one runs is published when it ends; the
// main window's close stops it before the folder closes.
//
// A publish that fails after a change is told once, not again for each
// change, until one succeeds: the server that is down is down for all of
// them, and the next publish that succeeds sends what they changed.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

#include "config/uPublishRunner.h"

class QAction;

namespace kadrel {

class TfrmMain;

class TSyncCommand : public QObject {
  Q_OBJECT

 public:
  explicit TSyncCommand(TfrmMain& main);

  QAction* SyncItem = nullptr;

  // Opens the dialog for the user shown.
  void SyncItemClick();
  // Publishes again, as the settings say, when they ask for it after every
  // change and the rota changed since.
  void RepublishIfChanged();
  TPublishRunner& Runner() { return runner_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Republished(const TPublishResult& result);
  void Fail(const QString& failure);

  TfrmMain& main_;
  TPublishRunner runner_;
  bool pending_ = false;  // a change came while a publish ran
  std::optional<std::uint64_t> publishedWrites_;
  QString lastFailure_;
};

}  // namespace kadrel
