#include "app/uSyncCommand.h"

#include "app/uKadrelMain.h"
#include "config/uDayMenu.h"
#include "config/uSyncForm.h"
#include "output/uPublishUser.h"
#include "platform/gui/uMessages.h"
#include "schedule/uScheduleFolder.h"
#include "widgets/uMenuImages.h"
#include "widgets/uPopupMenu.h"

#include <QAction>
#include <QEvent>

namespace kadrel {

TSyncCommand::TSyncCommand(TfrmMain& main) : QObject(&main), main_(main) {
  SyncItem = new QAction(KadrelMenuImage(3), QStringLiteral("同步到手机日历…"), main.PopupMenu1);
  SyncItem->setObjectName(QStringLiteral("SyncItem"));
  main.PopupMenu1->insertAction(main.N10, SyncItem);
  connect(SyncItem, &QAction::triggered, this, &TSyncCommand::SyncItemClick);
  connect(main.N1, &QAction::triggered, this, &TSyncCommand::RepublishIfChanged);
  // After the window's own redraw, so the publish sees what it shows.
  main.DayMenu->OnChanged = [shown = main.DayMenu->OnChanged, this] {
    if (shown) shown();
    RepublishIfChanged();
  };
  connect(&main, &TfrmMain::RosterChanged, this, &TSyncCommand::RepublishIfChanged);
  connect(&runner_, &TPublishRunner::Finished, this, [this] {
    if (pending_) RepublishIfChanged();
  });
  main.installEventFilter(this);
}

bool TSyncCommand::eventFilter(QObject* watched, QEvent* event) {
  // Before the window closes its folder.
  if (watched == &main_ && event->type() == QEvent::Close) runner_.Finish();
  return QObject::eventFilter(watched, event);
}

void TSyncCommand::SyncItemClick() {
  TScheduleFolder* folder = main_.Folder();
  if (!folder) return;
  if (main_.CurrentUser().Name.empty()) {
    ShowNotice(&main_, QStringLiteral("请先选择用户。"));
    return;
  }
  TfrmSync dialog(&main_, *folder, main_.CurrentUser().Name, &runner_);
  dialog.exec();
  publishedWrites_ = folder->Rota().Writes();
}

void TSyncCommand::RepublishIfChanged() {
  TScheduleFolder* folder = main_.Folder();
  if (!folder || folder->ReadOnly()) return;
  if (runner_.Busy()) {
    pending_ = true;
    return;
  }
  pending_ = false;
  const std::uint64_t writes = folder->Rota().Writes();
  if (publishedWrites_ == writes) return;
  const TSyncSettings settings = ReadSyncSettings(folder->Tables().Settings);
  if (!settings.Auto || settings.Url.empty()) return;
  publishedWrites_ = writes;
  std::string password, why;
  if (!KeptPassword(settings, password, why)) {
    Fail(QStringLiteral("自动同步没有进行：%1").arg(QString::fromStdString(why)));
    return;
  }
  TScheduleError error;
  auto job = PrepareBySettings(*folder, settings, password, error);
  if (!job) {
    Fail(QStringLiteral("自动同步没有进行：%1").arg(QString::fromStdString(error.Text())));
    return;
  }
  runner_.Start(*folder, std::move(*job), [this](const TPublishResult& result) { Republished(result); });
}

void TSyncCommand::Republished(const TPublishResult& result) {
  if (TScheduleFolder* folder = main_.Folder()) PublishDone(*folder, result);
  if (result.Error.Fault == TDavFault::Cancelled) return;  // the window is closing
  Fail(!result.Ok() || !result.Conflicts.empty()
           ? QStringLiteral("自动同步没有完成。\n%1").arg(QString::fromStdString(PublishReportText(result)))
           : QString());
}

// Told once, not again for each change, until a publish succeeds.
void TSyncCommand::Fail(const QString& failure) {
  if (!failure.isEmpty() && failure != lastFailure_) ShowError(&main_, failure);
  lastFailure_ = failure;
}

}  // namespace kadrel
