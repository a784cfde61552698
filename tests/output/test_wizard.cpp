// The export wizard: page states, the default name, the month choice and
// what "完成" writes or refuses.
#include "output/uWizd.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "output/uScheduleDoc.h"
#include "output_fixture.h"
#include "tests/test_dir.h"
#include "tests/test_env.h"
#include "platform/gui/uFileDialogs.h"
#include "platform/gui/uMessages.h"
#include "widgets/uSysColors.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;

// Runs each test in a fresh data folder, the working folder as the program
// has it, with a documents folder beside it, where the default name lies;
// every box is answered, and nothing waits for a person.
class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    ASSERT_FALSE(temp_.Path().empty());
    data_ = fs::canonical(temp_.Path()) / "data";
    dir_ = data_.parent_path() / "docs";
    fs::create_directory(data_);
    fs::create_directory(dir_);
    fs::current_path(data_);
  }
  void TearDown() override { fs::current_path(previous_); }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static std::size_t LineCount(const fs::path& path) {
    const std::string bytes = Read(path);
    return std::size_t(std::count(bytes.begin(), bytes.end(), '\n'));
  }
  std::size_t FilesHere() const {
    return std::size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }
  QString Here(const std::string& name) const { return QString::fromStdString((dir_ / name).string()); }

  // Opens a wizard for 张三 and 2005 and walks it to page `page` (0-based).
  std::unique_ptr<TwizdForm> Open(int page = 0, TExportType type = TExportType::Html) {
    auto wizard = std::make_unique<TwizdForm>(testing::ZhangSan(), 2005);
    wizard->show();
    if (page >= 1) wizard->fbNextClick();
    if (page >= 1) wizard->rgSelectType->Item(int(type))->click();
    for (int i = 1; i < page; ++i) wizard->fbNextClick();
    return wizard;
  }

  TTestDir temp_;
  fs::path previous_;
  fs::path data_;
  fs::path dir_;  // the documents folder
  TScopedEnv docs_{"XDG_DOCUMENTS_DIR", (fs::canonical(temp_.Path()) / "docs").string()};
  TMessageBoxOverride boxes_;
};

struct TPageState {
  bool Pri, Next, Finish;
  TStepIndicator* TwizdForm::*Lime;
};

void ExpectState(const TwizdForm& w, int page, const TPageState& s) {
  SCOPED_TRACE(::testing::Message() << "page " << page + 1);
  EXPECT_EQ(w.PageIndex(), page);
  EXPECT_EQ(w.fbPri->isEnabled(), s.Pri);
  EXPECT_EQ(w.fbNext->isEnabled(), s.Next);
  EXPECT_EQ(w.fbFinish->isEnabled(), s.Finish);
  for (auto light : {&TwizdForm::start, &TwizdForm::first, &TwizdForm::second, &TwizdForm::over}) {
    EXPECT_EQ((w.*light)->Color(), light == s.Lime ? QColor(0, 255, 0) : ClBtnHighlight());
  }
}

TEST_F(WizardTest, ButtonsAndIndicatorsFollowThePageBothWays) {
  const TPageState states[] = {{false, true, false, &TwizdForm::start},
                               {true, true, false, &TwizdForm::first},
                               {true, true, false, &TwizdForm::second},
                               {true, false, true, &TwizdForm::over}};
  auto w = Open();
  ExpectState(*w, 0, states[0]);
  for (int page = 1; page < 4; ++page) {
    w->fbNext->click();
    ExpectState(*w, page, states[page]);
  }
  w->fbNextClick();  // on the last page: nothing
  ExpectState(*w, 3, states[3]);
  for (int page = 2; page >= 0; --page) {
    w->fbPri->click();
    ExpectState(*w, page, states[page]);
  }
  w->fbPriClick();  // on the first page: nothing
  ExpectState(*w, 0, states[0]);
}

TEST_F(WizardTest, EveryArrivalOnPage3ResetsTheName) {
  auto w = Open(2);
  EXPECT_EQ(w->Edit1->text(), Here("张三的Kadrel(2005年).html"));

  w->Edit1->setText(Here("mine.txt"));
  w->fbPriClick();
  w->rgSelectType->Item(int(TExportType::Text))->click();
  w->fbNextClick();
  EXPECT_EQ(w->Edit1->text(), Here("张三的Kadrel(2005年).txt"));

  // From page 3 to 4 the typed name stays, and the file type, not the
  // name's extension, decides the format. An existing file is replaced.
  std::ofstream(dir_ / "mine.html") << "old";
  w->Edit1->setText("  " + Here("mine.html") + "  ");
  w->fbNextClick();
  EXPECT_EQ(w->TargetLabel->text().remove(QChar(0x200B)), QStringLiteral("导出到：\n") + Here("mine.html"));
  w->fbFinishClick();
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  EXPECT_EQ(boxes_.Shown()[0].Text, QStringLiteral("已导出到：\n") + Here("mine.html"));
  EXPECT_FALSE(w->isVisible());
  const std::string text = Read(dir_ / "mine.html");
  EXPECT_EQ(text.rfind(ScheduleTitle(testing::ZhangSan(), 2005) + "\r\n", 0), 0u) << text.substr(0, 40);
  EXPECT_EQ(LineCount(dir_ / "mine.html"), 2u + 365u + 12u);
}

TEST_F(WizardTest, MonthChoiceDecidesTheDaysWritten) {
  {
    SCOPED_TRACE("March ticked");
    auto w = Open(2, TExportType::Dat);
    w->CheckBox1->click();
    EXPECT_TRUE(w->GroupBox1->isEnabled());
    w->MonthBoxes[2]->click();
    w->fbNextClick();
    w->fbFinishClick();
    EXPECT_EQ(LineCount(dir_ / "张三的Kadrel(2005年).dat"), 31u);
  }
  {
    SCOPED_TRACE("ticked, then month choice off");
    auto w = Open(2, TExportType::Dat);
    w->CheckBox1->click();
    w->MonthBoxes[2]->click();
    w->CheckBox1->click();
    EXPECT_FALSE(w->GroupBox1->isEnabled());
    EXPECT_TRUE(w->MonthBoxes[2]->isChecked());
    w->fbNextClick();
    w->fbFinishClick();
    EXPECT_EQ(LineCount(dir_ / "张三的Kadrel(2005年).dat"), 365u);
  }
}

TEST_F(WizardTest, MonthChoiceWithNothingTickedWritesNothingAndCloses) {
  TMessageBoxOverride boxes;
  auto w = Open(2, TExportType::Text);
  w->CheckBox1->click();
  w->fbNextClick();
  w->fbFinishClick();
  EXPECT_FALSE(w->isVisible());
  EXPECT_TRUE(boxes.Shown().empty());
  EXPECT_EQ(FilesHere(), 0u);
}

TEST_F(WizardTest, CalendarTypeWritesAnIcsFile) {
  auto w = Open(2, TExportType::Ics);
  EXPECT_EQ(w->rgSelectType->Item(3)->text(), QStringLiteral("日历文件(*.ics)"));
  EXPECT_EQ(w->Edit1->text(), Here("张三的Kadrel(2005年).ics"));
  w->fbNextClick();
  w->fbFinishClick();
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(Read(dir_ / "张三的Kadrel(2005年).ics").rfind("BEGIN:VCALENDAR\r\n", 0), 0u);
}

TEST_F(WizardTest, ACalendarOfAUserWithoutACycleIsRefusedWithANotice) {
  TMessageBoxOverride boxes;
  TwizdForm w(testing::MakeUser("李四", {}), 2005);
  w.show();
  w.fbNextClick();
  w.rgSelectType->Item(int(TExportType::Ics))->click();
  w.fbNextClick();
  w.fbNextClick();
  w.fbFinishClick();
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].Caption, QStringLiteral("提示"));
  EXPECT_TRUE(boxes.Shown()[0].Text.startsWith(QStringLiteral("用户“李四”还没有倒班规律")));
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(FilesHere(), 0u);
  // The days themselves can still be listed.
  w.fbPriClick();
  w.fbPriClick();
  w.rgSelectType->Item(int(TExportType::Text))->click();
  w.fbNextClick();
  w.fbNextClick();
  w.fbFinishClick();
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(FilesHere(), 1u);
}

TEST_F(WizardTest, RefusedExportsKeepTheWizardOpenOnTheLastPage) {
  TMessageBoxOverride boxes;
  auto w = Open(3);

  w->Edit1->setText(QStringLiteral(" \t "));
  w->fbFinishClick();
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].Caption, QStringLiteral("提示"));

  w->Edit1->setText(Here("no/such/folder/x.html"));
  w->fbFinishClick();
  ASSERT_EQ(boxes.Shown().size(), 2u);
  EXPECT_EQ(boxes.Shown()[1].Caption, QStringLiteral("错误"));
  EXPECT_EQ(boxes.Shown()[1].Text, QStringLiteral("文件夹“%1”不存在，无法保存“%2”。请选择一个已有的文件夹。")
                                       .arg(Here("no/such/folder"), Here("no/such/folder/x.html")));

  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->PageIndex(), 3);
  EXPECT_TRUE(w->fbFinish->isEnabled());
  EXPECT_EQ(FilesHere(), 0u);

  // The user can correct the name and finish.
  // A bare name lies in the documents folder, not in the working folder.
  w->Edit1->setText("x.html");
  w->fbFinishClick();
  EXPECT_FALSE(w->isVisible());
  EXPECT_TRUE(fs::exists(dir_ / "x.html"));
  EXPECT_FALSE(fs::exists(data_ / "x.html"));
}

TEST_F(WizardTest, TheBrowseButtonOffersTheNameAndTakesThePathChosen) {
  auto w = Open(2);
  const QString offered = w->Edit1->text();
  {
    TSaveFileDialogOverride cancelled;
    w->FlatSpeedButton1->click();
    ASSERT_EQ(cancelled.Requests().size(), 1u);
    const TSaveFileRequest& r = cancelled.Requests()[0];
    EXPECT_EQ(r.FileName, offered);
    EXPECT_TRUE(r.Filter.isEmpty());
    EXPECT_TRUE(r.DefaultSuffix.isEmpty());
    EXPECT_FALSE(r.ConfirmOverwrite);
    EXPECT_EQ(w->Edit1->text(), offered);
  }
  TSaveFileDialogOverride chosen([](const TSaveFileRequest&) { return QStringLiteral("/tmp/a b/年表"); });
  w->FlatSpeedButton1->click();
  EXPECT_EQ(w->Edit1->text(), QStringLiteral("/tmp/a b/年表"));
}

// The save dialog lists whatever folder the user walks into; a data file
// picked there, or reached through a link or a second name, is refused and
// stays as it was, and the wizard stays open for another name.
TEST_F(WizardTest, ADataFileChosenInTheSaveDialogIsRefusedAndKept) {
  const std::string users = "the users table, which must survive";
  std::ofstream(data_ / "userdat.kd2", std::ios::binary) << users;
  fs::create_symlink(data_ / "userdat.kd2", dir_ / "link.html");
  fs::create_hard_link(data_ / "userdat.kd2", dir_ / "second.html");
  for (const fs::path& chosen : {data_ / "userdat.kd2", dir_ / "link.html", dir_ / "second.html"}) {
    SCOPED_TRACE(chosen);
    boxes_.Clear();
    auto w = Open(2);
    TSaveFileDialogOverride dialog([&](const TSaveFileRequest&) { return QString::fromStdString(chosen.string()); });
    w->FlatSpeedButton1->click();
    w->fbNextClick();
    w->fbFinishClick();
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].Caption, QStringLiteral("错误"));
    EXPECT_TRUE(boxes_.Shown()[0].Text.contains(QStringLiteral("是 Kadrel 的数据文件"))) << boxes_.Shown()[0].Text.toStdString();
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(Read(data_ / "userdat.kd2") == users) << "the users file was overwritten";
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(data_), fs::directory_iterator()), 1);
}

TEST_F(WizardTest, ShowExportWizardRunsModallyAndCancelWritesNothing) {
  QWidget owner;
  owner.setGeometry(100, 100, 698, 442);
  owner.show();
  bool sawModal = false;
  QTimer::singleShot(0, [&] {
    auto* w = dynamic_cast<TwizdForm*>(QApplication::activeModalWidget());
    sawModal = w && w->PageIndex() == 0 && w->rgSelectType->ItemIndex() == int(TExportType::Html) &&
               w->Edit1->text().isEmpty();
    if (!w) return;
    EXPECT_EQ(w->geometry().center(), owner.geometry().center());
    w->fbCancel->click();
  });
  ShowExportWizard(testing::ZhangSan(), 2005, &owner);
  EXPECT_TRUE(sawModal);
  EXPECT_EQ(FilesHere(), 0u);
}

}  // namespace
}  // namespace kadrel
