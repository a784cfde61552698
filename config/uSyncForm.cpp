#include "config/uSyncForm.h"

#include "config/uPublishRunner.h"
#include "output/uCalDav.h"
#include "output/uPublishUser.h"
#include "platform/gui/uMessages.h"
#include "platform/gui/uQtGbk.h"
#include "platform/uGbk.h"
#include "platform/uSecrets.h"
#include "schedule/uScheduleFolder.h"
#include "widgets/uFonts.h"
#include "widgets/uKadrelFrame.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace kadrel {

namespace {

QLabel* MakeLabel(const QString& text, QWidget* parent, QPoint at) {
  auto* label = new QLabel(text, parent);
  label->move(at);
  label->adjustSize();
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, int y) {
  auto* edit = new QLineEdit(parent);
  edit->setGeometry(100, y, 300, 22);
  return edit;
}

QString Utf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

bool KeptPassword(const TSyncSettings& settings, std::string& password, std::string& why) {
  password.clear();
  if (settings.Account.empty()) return true;
  TPasswordStore store;
  std::string error;
  if (auto kept = store.Lookup(DavServerName(settings.Url), settings.Account, error)) {
    password = *kept;
    return true;
  }
  why = error.empty() ? "没有保存这个帐户的密码，请输入密码。" : "读不出保存的密码：" + error;
  return false;
}

TfrmSync::TfrmSync(QWidget* owner, TScheduleFolder& folder, std::string user, TPublishRunner* runner)
    : QDialog(owner),
      folder_(folder),
      user_(std::move(user)),
      frame_(new TKadrelFrame(this)),
      runner_(runner ? runner : new TPublishRunner(this)) {
  setWindowTitle(QStringLiteral("同步到手机日历"));
  setFixedSize(480, 330);
  setFont(KadrelFont(12));
  frame_->SetTitle(QStringLiteral("同步到手机日历"));
  QWidget* body = frame_->AddBody({6, 35, 468, 283});

  const TSyncSettings kept = ReadSyncSettings(folder_.Tables().Settings);
  // The user of the last publish stays the one published while still there.
  if (!kept.User.empty() && folder_.Snapshot()->FindUser(kept.User)) user_ = kept.User;
  MakeLabel(QStringLiteral("用户"), body, {12, 14});
  lblUser = MakeLabel(GbkToQString(user_), body, {100, 14});
  MakeLabel(QStringLiteral("服务器地址"), body, {12, 42});
  edtUrl = MakeEdit(body, 38);
  edtUrl->setPlaceholderText(QStringLiteral("https://example.org/radicale/"));
  MakeLabel(QStringLiteral("帐户"), body, {12, 70});
  edtAccount = MakeEdit(body, 66);
  MakeLabel(QStringLiteral("密码"), body, {12, 98});
  edtPassword = MakeEdit(body, 94);
  edtPassword->setEchoMode(QLineEdit::Password);
  edtPassword->setPlaceholderText(QStringLiteral("留空：用保存的密码"));
  MakeLabel(QStringLiteral("日历名称"), body, {12, 126});
  edtCalendar = MakeEdit(body, 122);
  edtCalendar->setPlaceholderText(Utf8(DefaultCalendarName(user_)));
  chkAuto = new QCheckBox(QStringLiteral("每次修改后自动同步"), body);
  chkAuto->setGeometry(100, 152, 300, 22);
  lblLast = MakeLabel({}, body, {12, 184});
  MakeLabel(QStringLiteral("同步前一个月到一年多以后的班次；手机上的日历帐户（CalDAV）会自动更新。"), body, {12, 206});

  btnPublish = new QPushButton(QStringLiteral("同步"), body);
  btnPublish->setGeometry(140, 240, 75, 25);
  btnPublish->setDefault(true);
  btnClose = new QPushButton(QStringLiteral("关闭"), body);
  btnClose->setGeometry(253, 240, 75, 25);
  connect(btnPublish, &QPushButton::clicked, this, &TfrmSync::btnPublishClick);
  connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
  barBusy = new QProgressBar(body);
  barBusy->setGeometry(100, 185, 356, 14);
  barBusy->setRange(0, 0);  // no steps to count: it only says that it runs
  barBusy->setTextVisible(false);
  barBusy->hide();

  edtUrl->setText(Utf8(kept.Url));
  edtAccount->setText(Utf8(kept.Account));
  edtCalendar->setText(GbkToQString(kept.Calendar));
  chkAuto->setChecked(kept.Auto);
  ShowLast(kept.DoneAt);
  const bool mayWrite = !folder_.ReadOnly();
  btnPublish->setEnabled(mayWrite);
  chkAuto->setEnabled(mayWrite);
}

void TfrmSync::ShowLast(const std::string& doneAt) {
  lblLast->setText(doneAt.empty() ? QStringLiteral("还没有同步过。") : QStringLiteral("上次同步成功：%1").arg(Utf8(doneAt)));
  lblLast->adjustSize();
}

bool TfrmSync::ReadFields(TSyncSettings& settings) {
  settings.Url = edtUrl->text().trimmed().toStdString();
  settings.Account = edtAccount->text().trimmed().toStdString();
  settings.User = user_;
  settings.Auto = chkAuto->isChecked();
  if (settings.Url.empty()) {
    ShowNotice(this, QStringLiteral("请输入日历服务器的地址。"));
    edtUrl->setFocus();
    return false;
  }
  if (!QStringToGbk(edtCalendar->text().trimmed(), settings.Calendar)) {
    ShowNotice(this, QStringLiteral("日历名称中有GBK不能表示的字符。"));
    edtCalendar->setFocus();
    return false;
  }
  return true;
}

void TfrmSync::btnPublishClick() {
  TSyncSettings settings;
  if (!ReadFields(settings)) return;
  std::string why;
  if (!StoreSyncSettings(folder_, settings, why)) {
    ShowError(this, QStringLiteral("不能保存同步的设置。\n%1").arg(Utf8(why)));
    return;
  }
  std::string password = edtPassword->text().toStdString();
  if (password.empty() && !KeptPassword(settings, password, why)) {
    ShowNotice(this, Utf8(why));
    edtPassword->setFocus();
    return;
  }
  TScheduleError error;
  auto job = PrepareBySettings(folder_, settings, password, error);
  if (!job) {
    ShowError(this, QStringLiteral("没有同步：%1").arg(Utf8(error.Text())));
    return;
  }
  const std::string typed = edtPassword->text().toStdString();
  const bool started = runner_->Start(folder_, std::move(*job), [this, settings, typed, password](const TPublishResult& r) {
    Published(r, settings, typed, password);
  });
  if (!started) {
    ShowNotice(this, QStringLiteral("正在同步，请等这次同步结束。"));
    return;
  }
  publishing_ = true;
  ShowBusy(true);
}

void TfrmSync::ShowBusy(bool busy) {
  barBusy->setVisible(busy);
  if (busy) {
    lblLast->setText(QStringLiteral("正在同步…"));
    lblLast->adjustSize();
  }
  btnPublish->setEnabled(!busy && !folder_.ReadOnly());
}

void TfrmSync::Published(const TPublishResult& result, const TSyncSettings& settings, const std::string& typed,
                         const std::string& password) {
  publishing_ = false;
  PublishDone(folder_, result);
  ShowBusy(false);
  std::string why;
  // A password is kept once the server took it (the calendar was found), so
  // a mistyped one is not.
  if (!result.Calendar.empty() && !typed.empty() && !settings.Account.empty()) {
    TPasswordStore store;
    if (!store.Store(DavServerName(settings.Url), settings.Account, password, why)) {
      ShowWarning(this, QStringLiteral("不能保存密码，下次还要输入。\n%1").arg(Utf8(why)));
    }
    edtPassword->clear();
  }
  ShowLast(ReadSyncSettings(folder_.Tables().Settings).DoneAt);
  if (result.Error.Fault == TDavFault::Cancelled) return;  // the window is closing
  const QString text = Utf8(PublishReportText(result));
  if (result.Ok() && result.Conflicts.empty()) {
    ShowNotice(this, text);
  } else {
    ShowError(this, text);
  }
}

void TfrmSync::done(int result) {
  // Closed while it publishes: stopped, its records kept; the next publish
  // sends the rest.
  if (publishing_) runner_->Stop();
  QDialog::done(result);
}

TfrmSync::~TfrmSync() {
  // Its report would reach a window that is gone.
  if (publishing_) runner_->Stop();
}

}  // namespace kadrel
