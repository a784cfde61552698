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
}

void TSyncCommand::SyncItemClick() {
  TScheduleFolder* folder = main_.Folder();
  if (!folder) return;
  if (main_.CurrentUser().Name.empty()) {
    ShowNotice(&main_, QStringLiteral("请先选择用户。"));
    return;
  }
  TfrmSync dialog(&main_, *folder, main_.CurrentUser().Name);
  dialog.exec();
  publishedWrites_ = folder->Rota().Writes();
}

void TSyncCommand::RepublishIfChanged() {
  TScheduleFolder* folder = main_.Folder();
  if (!folder || folder->ReadOnly()) return;
  const std::uint64_t writes = folder->Rota().Writes();
  if (publishedWrites_ == writes) return;
  const TSyncSettings settings = ReadSyncSettings(folder->Tables().Settings);
  if (!settings.Auto || settings.Url.empty()) return;
  publishedWrites_ = writes;
  std::string password, why;
  QString failure;
  if (!KeptPassword(settings, password, why)) {
    failure = QStringLiteral("自动同步没有进行：%1").arg(QString::fromStdString(why));
  } else {
    const TPublishResult result = PublishBySettings(*folder, settings, password);
    if (!result.Ok() || !result.Conflicts.empty()) {
      failure = QStringLiteral("自动同步没有完成。\n%1").arg(QString::fromStdString(PublishReportText(result)));
    }
  }
  if (!failure.isEmpty() && failure != lastFailure_) ShowError(&main_, failure);
  lastFailure_ = failure;
}

}  // namespace kadrel
