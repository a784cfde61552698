// The dialog 同步到手机日历… against a Radicale started on 127.0.0.1: it
// publishes, keeps where and what in the folder's settings and the password
// apart, says when the last publish succeeded, and tells a fault with the
// server's name, through the message seam.
#include "config/uSyncForm.h"

#include <QProgressBar>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "config/uPublishRunner.h"
#include "output/uPublishUser.h"
#include "platform/gui/uMessages.h"
#include "platform/uClock.h"
#include "platform/uGbk.h"
#include "schedule/uScheduleFolder.h"
#include "tests/output/caldav_servers.h"
#include "tests/schedule/schedule_test_util.h"
#include "tests/test_dir.h"
#include "tests/test_env.h"

namespace kadrel {
namespace {

using namespace schedtest;

TEST(SyncForm, PublishesKeepsTheSettingsAndNamesTheServerOfAFault) {
  TTestDir dir;
  davtest::TRadicale radicale(dir.Path() / "radicale");
  if (!radicale.Running()) GTEST_SKIP() << radicale.Error();
  TScopedEnv config("XDG_CONFIG_HOME", (dir.Path() / "config").string());
  TScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
  TClockOverride clock([] { return static_cast<TDateTime>(EncodeDate(2026, 3, 1)); });
  const std::string data = (dir.Path() / "data").string();
  std::filesystem::create_directory(data);
  WriteDataSet(data, {{"张三", 1, 46000, 0}});
  TScheduleFolder folder(data);
  ASSERT_FALSE(folder.Open({TFolderAccess::Write}).Failed());
  TMessageBoxOverride messages;

  {
    TfrmSync form(nullptr, folder, GbkLiteral("张三"));
    form.show();
    EXPECT_EQ(form.lblLast->text(), QStringLiteral("还没有同步过。"));
    QTest::mouseClick(form.btnPublish, Qt::LeftButton);
    ASSERT_EQ(messages.Shown().size(), 1u);
    EXPECT_EQ(messages.Shown()[0].Text, QStringLiteral("请输入日历服务器的地址。"));
    form.edtUrl->setText(QString::fromStdString(radicale.Url()));
    form.edtAccount->setText(QStringLiteral("alice"));
    form.edtPassword->setText(QStringLiteral("secret"));
    form.chkAuto->setChecked(true);
    QTest::mouseClick(form.btnPublish, Qt::LeftButton);
    // The click returns at once: the publish runs apart, the window shows it busy.
    EXPECT_TRUE(form.Runner().Busy());
    EXPECT_TRUE(form.barBusy->isVisibleTo(&form) && !form.btnPublish->isEnabled());
    form.Runner().Wait();
    EXPECT_FALSE(form.barBusy->isVisibleTo(&form));
    ASSERT_EQ(messages.Shown().size(), 2u);
    EXPECT_TRUE(messages.Shown()[1].Text.contains(QStringLiteral("：新建431个，更新0个，删除0个，未变0个。")))
        << messages.Shown()[1].Text.toStdString();
    EXPECT_TRUE(form.lblLast->text().startsWith(QStringLiteral("上次同步成功：")));
    EXPECT_TRUE(form.edtPassword->text().isEmpty());
  }
  const TSyncSettings kept = ReadSyncSettings(folder.Tables().Settings);
  EXPECT_EQ(kept.Url, radicale.Url());
  EXPECT_TRUE(kept.Auto);
  std::string password, why;
  ASSERT_TRUE(KeptPassword(kept, password, why)) << why;
  EXPECT_EQ(password, "secret") << "kept apart from the folder";

  // Again with the kept password: nothing to send. Then a server that is gone.
  TfrmSync form(nullptr, folder, GbkLiteral("张三"));
  EXPECT_EQ(form.edtUrl->text().toStdString(), radicale.Url());
  QTest::mouseClick(form.btnPublish, Qt::LeftButton);
  form.Runner().Wait();
  EXPECT_TRUE(messages.Shown().back().Text.contains(QStringLiteral("新建0个，更新0个，删除0个，未变431个")));
  const std::string gone = "127.0.0.1:" + std::to_string(davtest::FreePort());
  form.edtUrl->setText(QString::fromStdString("http://" + gone + "/"));
  form.edtAccount->clear();
  QTest::mouseClick(form.btnPublish, Qt::LeftButton);
  form.Runner().Wait();
  EXPECT_EQ(messages.Shown().back().Icon, TMsgIcon::Error);
  EXPECT_TRUE(messages.Shown().back().Text.startsWith(
      QString::fromStdString("同步到日历服务器 " + gone + " 失败：连接不上：服务器没有运行，或者地址、端口不对。\n")))
      << messages.Shown().back().Text.toStdString();
}

}  // namespace
}  // namespace kadrel
