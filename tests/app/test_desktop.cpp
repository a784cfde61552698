// The desktop beyond the window: reminders sent once through the
// notification seam, also across restarts and never late; what is said
// once when the desktop lacks a service; and closing into the tray, only
// where there is one. A fake notifier and a fixed instant; the real
// notification daemon and tray are driven in test_desktop_x11.
#include "app/uDesktop.h"
#include "app/uKadrelMain.h"
#include "app/uReminderTimer.h"
#include "app/uTray.h"
#include "platform/gui/uMessages.h"
#include "platform/gui/uNotifier.h"
#include "platform/uAutostart.h"
#include "platform/uClock.h"
#include "schedule/uFolderSettings.h"
#include "schedule/uScheduleFiles.h"

#include <QAction>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "tests/app/app_test_util.h"
#include "tests/app/desktop_test_util.h"
#include "tests/test_env.h"

namespace kadrel {
namespace {

using namespace apptest;

class TFakeNotifier : public TNotifier {
 public:
  bool There = true;
  QString Refusal;  // empty: taken
  QStringList Sent;

  bool Available() override { return There; }
  void Notify(const TNotification& n, std::function<void(const QString&)> done) override {
    Sent << n.Summary + QStringLiteral(" | ") + n.Body;
    done(Refusal);
  }
};

// 张三 works 白班 夜班 休息 from 1 January 2025: 夜班 on 31 July and
// 3 August.
class Desktop : public ::testing::Test {
 protected:
  void SetUp() override { WriteDataSet(dir_.Path(), {{"张三", 1, static_cast<TDateTime>(EncodeDate(2025, 1, 1)), 0}}); }

  void Start() {
    desktop_ = nullptr;
    main_ = std::make_unique<TfrmMain>(dir_.Path());
    ASSERT_TRUE(main_->Loaded());
    desktop_ = new TDesktop(*main_);
  }
  void Stop() {
    if (main_) main_->close();
    main_.reset();
    desktop_ = nullptr;
  }
  std::string Setting(std::string_view key) {
    TTableStream config(TTableStream::kModeReadShared);
    TScheduleError error;
    if (!OpenScheduleFile(config, TScheduleFile::Settings, dir_.File(TScheduleFile::Settings), 0x20, error)) return {};
    return FindSetting(ReadSettings(config), key).value_or("");
  }
  QStringList Notices() const {
    QStringList texts;
    for (const TMessageRequest& r : boxes_.Shown()) texts << r.Caption + QStringLiteral(" ") + r.Text;
    return texts;
  }

  TScratchDir dir_;
  TMessageBoxOverride boxes_;
  TFakeNotifier notifier_;
  TNotifierOverride notifierSeam_{notifier_};
  TUtcTime now_ = Cst(2025, 7, 31, 18, 0);
  TUtcClockOverride clock_{[this] { return now_; }};
  std::unique_ptr<TfrmMain> main_;
  TDesktop* desktop_ = nullptr;  // the window's
};

TEST_F(Desktop, AReminderGoesOutOnceAlsoAfterARestartAndNeverLate) {
  SetNightTimes(dir_.Path());
  const std::vector<Bytes> before = DataFileBytes(dir_);
  Start();
  EXPECT_TRUE(notifier_.Sent.isEmpty()) << "due at 19:00";
  EXPECT_TRUE(desktop_->Timer()->Armed());
  now_ = Cst(2025, 7, 31, 19, 0);
  desktop_->Timer()->Wake();
  now_ = Cst(2025, 7, 31, 19, 1);
  desktop_->Timer()->Wake();
  EXPECT_EQ(notifier_.Sent, QStringList{"倒班提醒：张三 | 夜班 20:00 开始（还有60分钟）"});
  Stop();
  now_ = Cst(2025, 7, 31, 19, 5);
  Start();
  EXPECT_EQ(notifier_.Sent.size(), 1) << "the ledger remembers it";

  // A service that refuses it: it goes again at the next wake, once.
  notifier_.Refusal = QStringLiteral("busy");
  now_ = Cst(2025, 8, 3, 19, 0);
  desktop_->Timer()->Wake();
  notifier_.Refusal.clear();
  now_ = Cst(2025, 8, 3, 19, 1);
  desktop_->Timer()->Wake();
  desktop_->Timer()->Wake();
  ASSERT_EQ(notifier_.Sent.size(), 3);
  EXPECT_EQ(notifier_.Sent.last(), "倒班提醒：张三 | 夜班 20:00 开始（还有59分钟）");
  Stop();

  // Kadrel was not running when the next one was due; its duty has begun.
  now_ = Cst(2025, 8, 6, 20, 0);
  Start();
  EXPECT_EQ(notifier_.Sent.size(), 3);
  EXPECT_TRUE(Notices().isEmpty()) << Notices().join('\n').toStdString();
  Stop();
  EXPECT_EQ(DataFileBytes(dir_), before);
}

TEST_F(Desktop, WithoutANotificationServiceItSaysOnceThatRemindersAreOff) {
  SetNightTimes(dir_.Path());
  notifier_.There = false;
  Start();
  now_ = Cst(2025, 7, 31, 19, 0);
  desktop_->Timer()->Wake();
  ASSERT_EQ(Notices().size(), 1);
  EXPECT_TRUE(Notices()[0].startsWith("提示 上班前的提醒没有打开")) << Notices()[0].toStdString();
  EXPECT_EQ(Setting(kNoNotifierToldKey), "1");
  Stop();
  Start();
  EXPECT_EQ(Notices().size(), 1) << "not again on a later start";
  EXPECT_TRUE(notifier_.Sent.isEmpty());
}

// A user who sets no times and no switch: no tray, no timer, no notice, no
// new file, and closing ends Kadrel.
TEST_F(Desktop, WithoutTimesOrSwitchesNothingChanges) {
  TTrayOverride tray(true);
  notifier_.There = false;
  Start();
  EXPECT_FALSE(desktop_->Tray()->Shown());
  EXPECT_FALSE(desktop_->Timer()->Armed());
  EXPECT_TRUE(main_->N7->isVisible());
  EXPECT_FALSE(desktop_->TrayKeepItem->isChecked() || desktop_->AutostartItem->isChecked());
  main_->show();
  main_->close();
  EXPECT_FALSE(main_->Folder()->Tables().User.IsOpen()) << "closed as before";
  EXPECT_TRUE(Notices().isEmpty());
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"shiftdat.kd2", "userdat.kd2", "workdat.kd2"}));
}

TEST_F(Desktop, ClosingKeepsKadrelInTheTrayOnlyWhereThereIsOne) {
  {
    TTrayOverride tray(true);
    Start();
    desktop_->TrayKeepItem->trigger();
    EXPECT_EQ(Setting(kTrayKeepKey), "1");
    EXPECT_TRUE(desktop_->Tray()->Shown());
    EXPECT_EQ(desktop_->Tray()->ToolTip(), "Kadrel – 张三\n今天：夜班\n下一班：休息 明天");
    main_->show();
    main_->close();
    EXPECT_FALSE(main_->isVisible());
    EXPECT_TRUE(main_->Folder()->Tables().User.IsOpen()) << "still running";
    desktop_->Tray()->OpenItem->trigger();
    EXPECT_TRUE(main_->isVisible());
    desktop_->Tray()->QuitItem->trigger();
    EXPECT_FALSE(main_->Folder()->Tables().User.IsOpen());
    Stop();
  }
  TTrayOverride none(false);
  for (int start = 0; start < 2; ++start) {
    Start();
    main_->show();
    main_->close();
    EXPECT_FALSE(main_->Folder()->Tables().User.IsOpen()) << "no tray: closing ends Kadrel";
    Stop();
  }
  ASSERT_EQ(Notices().size(), 1) << "said once";
  EXPECT_TRUE(Notices()[0].startsWith("提示 桌面上没有系统托盘")) << Notices()[0].toStdString();
}

TEST_F(Desktop, StartingAtLoginIsTheAutostartEntry) {
  TTestDir config;
  TScopedEnv home("XDG_CONFIG_HOME", config.Path().string());
  Start();
  desktop_->AutostartItem->trigger();
  ASSERT_TRUE(AutostartOn()) << Notices().join('\n').toStdString();
  EXPECT_TRUE(desktop_->AutostartItem->isChecked());
  Stop();
  Start();
  EXPECT_TRUE(desktop_->AutostartItem->isChecked()) << "read back from the entry";
  desktop_->AutostartItem->trigger();
  EXPECT_FALSE(std::filesystem::exists(AutostartPath()));
}

}  // namespace
}  // namespace kadrel
