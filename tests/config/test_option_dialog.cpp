// The options dialog on tables in a scratch folder, with a fixed clock and
// every message box answered by the test. Saves are checked in the bytes of
// the files, not only in what the widgets show.
#include "config/uKDOption.h"

#include "config/uDatePicker.h"
#include "config/uNewShift.h"
#include "platform/gui/uMessages.h"
#include "platform/uClock.h"
#include "platform/uFileOps.h"
#include "platform/uGbk.h"
#include "schedule/uScheduleFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <tuple>
#include <memory>
#include <utility>

#include "tests/schedule/schedule_test_util.h"

namespace kadrel {
namespace {

using namespace schedtest;

std::string G(std::string_view utf8) { return GbkLiteral(utf8); }

// Where a file's slots start and how long each is.
struct TLayout {
  std::size_t DataStart, SlotSize;
};
constexpr TLayout kUsers{192, 31}, kSchemes{192, 223}, kDuties{160, 69};

std::size_t SlotCount(const Bytes& file, TLayout l) { return (file.size() - l.DataStart) / l.SlotSize; }
std::size_t At(TLayout l, int slot, std::size_t offset) { return l.DataStart + (slot - 1) * l.SlotSize + offset; }
std::int32_t IntAt(const Bytes& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | b.at(at + i);
  return static_cast<std::int32_t>(v);
}
double DoubleAt(const Bytes& b, std::size_t at) {
  double d;
  std::memcpy(&d, &b.at(at), sizeof d);
  return d;
}
std::string TextAt(const Bytes& b, std::size_t at, std::size_t width) {
  std::string s(b.begin() + at, b.begin() + at + width);
  return s.substr(0, s.find('\0'));
}

class TFailingWrites : public TFileOps {
 public:
  ssize_t Write(int, const void*, std::size_t, off_t) override {
    errno = ENOSPC;
    return -1;
  }
};

class OptionDialog : public TScheduleFixture {
 protected:
  // Duty kinds 1 白班, 2 夜班, 3 休息; scheme 1 三班 (1#2#3#), scheme 2 常白班 (1#).
  void WriteDutiesAndSchemes() {
    PutDuty(tables_.Work, 1, G("白班"));
    PutDuty(tables_.Work, 2, G("夜班"));
    PutDuty(tables_.Work, 3, G("休息"));
    PutScheme(tables_.Shift, 1, 3, G("三班"), "1#2#3#");
    PutScheme(tables_.Shift, 2, 1, G("常白班"), "1#");
  }
  TfrmOption& Open() {
    dlg_ = std::make_unique<TfrmOption>(nullptr, records_, rota_);
    dlg_->show();
    return *dlg_;
  }
  void ShowSchemesPage(int inner) {
    dlg_->PageControl1->setCurrentIndex(1);
    dlg_->PageControl2->setCurrentIndex(inner);
  }
  Bytes File(TScheduleFile f) const { return ReadFileBytes(dir_.File(f)); }
  static void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  static void SelectRow(QTreeWidget* view, int row) { view->setCurrentItem(view->topLevelItem(row)); }
  void ChooseScheme(int index) {
    dlg_->fcbSelectShift->setCurrentIndex(index);
    emit dlg_->fcbSelectShift->activated(index);
  }
  // Answers the name dialog that the next click opens.
  static void AnswerNameDialog(const QString& name, bool ok = true) {
    QTimer::singleShot(0, [name, ok] {
      auto* w = qobject_cast<TfmNewShift*>(QApplication::activeModalWidget());
      ASSERT_NE(w, nullptr);
      w->FlatEdit1->setText(name);
      Click(ok ? w->FlatButton1 : w->FlatButton2);
    });
  }
  void AddCycleEntry(int lvWorkRow) {
    SelectRow(dlg_->lvWork, lvWorkRow);
    Click(dlg_->fsbSelected);
  }
  QStringList Captions() const {
    QStringList c;
    for (const TMessageRequest& r : messages_.Shown()) c << r.Caption;
    return c;
  }
  QString LastText() const { return messages_.Shown().empty() ? QString() : messages_.Shown().back().Text; }

  TScheduleRecords records_{tables_, TWritePolicy::AsTyped};
  // The rota files stay closed until a test opens them: users are renamed
  // and deleted through the rota records all the same.
  TRotaRecords rota_{records_, tables_.Exceptions, tables_.History};
  TClockOverride clock_{[] { return FixedNow(); }};  // 14 March 2026, 18:00
  TMsgResult answer_ = TMsgResult::No;
  TMessageBoxOverride messages_{[this](const TMessageRequest&) { return answer_; }};
  std::unique_ptr<TfrmOption> dlg_;
};

// --- Users ---------------------------------------------------------------------

TEST_F(OptionDialog, AUserAddedWithoutSchemesKeepsThePickedDateAndItsTimeOfDay) {
  TfrmOption& d = Open();
  EXPECT_EQ(d.FlatButton2->text(), QStringLiteral("增加"));
  Click(d.FlatButton2);
  EXPECT_EQ(d.UserMode(), TEditMode::Adding);
  EXPECT_FALSE(d.FlatButton3->isEnabled());
  d.fedUserName->setText(QStringLiteral("Ann"));
  d.DateTimePicker1->setDate(QDate(2026, 5, 1));
  Click(d.FlatButton2);

  const Bytes users = File(TScheduleFile::User);
  ASSERT_EQ(SlotCount(users, kUsers), 1u);
  EXPECT_EQ(TextAt(users, At(kUsers, 1, 5), 10), "Ann");
  EXPECT_EQ(IntAt(users, At(kUsers, 1, 15)), 0);  // no scheme existed
  EXPECT_EQ(DoubleAt(users, At(kUsers, 1, 19)), EncodeDate(2026, 5, 1) + 0.75);
  EXPECT_EQ(IntAt(users, At(kUsers, 1, 27)), 0);
  EXPECT_EQ(d.FlatButton2->text(), QStringLiteral("新建"));
  EXPECT_TRUE(messages_.Shown().empty());
}

TEST_F(OptionDialog, AUserAddedWithASchemeStoresTheCheckedPlaceAndListsTimeAndDuty) {
  WriteDutiesAndSchemes();
  TfrmOption& d = Open();
  Click(d.FlatButton2);
  d.fedUserName->setText(QStringLiteral("Ann"));
  ChooseScheme(0);
  ASSERT_EQ(d.fclbWork->count(), 3);
  d.fclbWork->item(2)->setCheckState(Qt::Checked);
  d.fclbWork->item(1)->setCheckState(Qt::Checked);  // a single choice: 2 is unchecked again
  EXPECT_EQ(d.fclbWork->item(2)->checkState(), Qt::Unchecked);
  Click(d.FlatButton2);

  const Bytes users = File(TScheduleFile::User);
  EXPECT_EQ(IntAt(users, At(kUsers, 1, 15)), 1);
  EXPECT_EQ(DoubleAt(users, At(kUsers, 1, 19)), FixedNow());
  EXPECT_EQ(IntAt(users, At(kUsers, 1, 27)), 1);
  QTreeWidgetItem* row = d.lvUser->topLevelItem(0);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->text(1), QStringLiteral("三班"));
  EXPECT_EQ(row->text(2), QStringLiteral("18:00:00夜班"));
}

TEST_F(OptionDialog, AUserAddedWithoutTouchingTheSchemeGetsTheSchemeShown) {
  WriteDutiesAndSchemes();
  TfrmOption& d = Open();
  Click(d.FlatButton2);
  d.fedUserName->setText(QStringLiteral("Bob"));
  ASSERT_EQ(d.fcbSelectShift->currentIndex(), 0);
  ASSERT_EQ(d.fclbWork->count(), 3);
  EXPECT_EQ(d.fclbWork->item(0)->checkState(), Qt::Checked);
  Click(d.FlatButton2);

  const Bytes users = File(TScheduleFile::User);
  EXPECT_EQ(IntAt(users, At(kUsers, 1, 15)), d.fcbSelectShift->itemData(0).toInt());
  EXPECT_EQ(IntAt(users, At(kUsers, 1, 27)), 0);
  EXPECT_EQ(DoubleAt(users, At(kUsers, 1, 19)), FixedNow());
}

TEST_F(OptionDialog, ANameTakenInAnotherLetterCaseIsRefusedAndBlanksAreStored) {
  PutUser(tables_.User, "Ann", 0, FixedNow(), 0);
  TfrmOption& d = Open();
  const Bytes before = File(TScheduleFile::User);
  Click(d.FlatButton2);
  d.fedUserName->setText(QStringLiteral(" aNN "));
  Click(d.FlatButton2);
  EXPECT_EQ(LastText(), QStringLiteral("用户数据中已经有该用户名称!"));
  EXPECT_EQ(messages_.Shown().back().Icon, TMsgIcon::Warning);
  EXPECT_EQ(File(TScheduleFile::User), before);
  EXPECT_EQ(d.UserMode(), TEditMode::Browse);

  Click(d.FlatButton2);
  d.fedUserName->setText(QStringLiteral("  Bob "));
  Click(d.FlatButton2);
  EXPECT_EQ(TextAt(File(TScheduleFile::User), At(kUsers, 2, 5), 10), "  Bob ");
}

// Blanks at the ends of either name do not make another user.
TEST_F(OptionDialog, ANameTakenWithBlanksAroundItIsRefusedOnAddingAndModifying) {
  PutUser(tables_.User, G("  赵六 "), 0, FixedNow(), 0);
  PutUser(tables_.User, "Ann", 0, FixedNow(), 0);
  PutUser(tables_.User, G("钱七"), 0, FixedNow(), 0);
  TfrmOption& d = Open();
  const Bytes before = File(TScheduleFile::User);
  for (const QString& name : {QStringLiteral("赵六"), QStringLiteral("  钱七 ")}) {
    Click(d.FlatButton2);
    d.fedUserName->setText(name);
    Click(d.FlatButton2);
  }
  SelectRow(d.lvUser, 1);
  Click(d.FlatButton1);
  d.fedUserName->setText(QStringLiteral("赵六 "));
  Click(d.FlatButton2);
  ASSERT_EQ(messages_.Shown().size(), 3u);
  for (const TMessageRequest& r : messages_.Shown()) EXPECT_EQ(r.Text, QStringLiteral("用户数据中已经有该用户名称!"));
  EXPECT_EQ(File(TScheduleFile::User), before);
}

TEST_F(OptionDialog, AModifiedUserIsCheckedLikeANewOne) {
  WriteDutiesAndSchemes();
  PutUser(tables_.User, "Ann", 1, FixedNow(), 2);
  PutUser(tables_.User, "Bob", 1, FixedNow(), 0);
  TfrmOption& d = Open();
  const Bytes before = File(TScheduleFile::User);
  SelectRow(d.lvUser, 0);
  Click(d.FlatButton1);
  for (const QString& name : {QStringLiteral("  "), QStringLiteral("BOB")}) {
    d.fedUserName->setText(name);
    Click(d.FlatButton2);
    EXPECT_EQ(d.UserMode(), TEditMode::Modifying);
    EXPECT_EQ(File(TScheduleFile::User), before);
  }
  EXPECT_EQ(LastText(), QStringLiteral("用户数据中已经有该用户名称!"));
  EXPECT_EQ(messages_.Shown().front().Text, QStringLiteral("用户名不能为空!"));

  d.fedUserName->setText(QStringLiteral("ANN"));  // its own name in other letters
  Click(d.FlatButton2);
  const Bytes users = File(TScheduleFile::User);
  EXPECT_EQ(TextAt(users, At(kUsers, 1, 5), 10), "ANN");
  EXPECT_EQ(IntAt(users, At(kUsers, 1, 27)), 2);
  EXPECT_EQ(d.UserMode(), TEditMode::Browse);
}

// Scheme 11's entry "11|…" holds "1|" too; the user of scheme 1 must keep it.
// Its place lies beyond the cycle, so no duty is listed and none is checked.
TEST_F(OptionDialog, AUserSavedUnchangedIsWrittenBackExactly) {
  WriteDutiesAndSchemes();
  PutScheme(tables_.Shift, 11, 1, G("十一"), "2#");
  PutUser(tables_.User, "Ann", 1, EncodeDate(2025, 7, 1) + 0.25, 5);
  TfrmOption& d = Open();
  EXPECT_EQ(d.lvUser->topLevelItem(0)->text(2), QStringLiteral("6:00:00"));
  const Bytes before = File(TScheduleFile::User);
  SelectRow(d.lvUser, 0);
  Click(d.FlatButton1);
  EXPECT_EQ(d.fcbSelectShift->currentText(), QStringLiteral("1|三班"));
  for (int i = 0; i < d.fclbWork->count(); ++i) EXPECT_EQ(d.fclbWork->item(i)->checkState(), Qt::Unchecked);
  Click(d.FlatButton2);
  EXPECT_EQ(File(TScheduleFile::User), before);
  EXPECT_TRUE(messages_.Shown().empty());
}

// The form shows what is stored and saves what it shows: a user whose
// scheme was deleted keeps it through a save without a choice, whatever
// scheme the editor showed before.
TEST_F(OptionDialog, AUserWhoseSchemeIsGoneKeepsItWhenSavedWithoutAChoice) {
  WriteDutiesAndSchemes();
  PutUser(tables_.User, "Ann", 1, FixedNow(), 0);
  PutUser(tables_.User, "Bo", 2, EncodeDate(2025, 7, 1) + 0.25, 0);
  TScheduleError error;
  ASSERT_TRUE(records_.DeleteScheme(2, error));
  TfrmOption& d = Open();
  Bytes expected = File(TScheduleFile::User);
  expected.at(At(kUsers, 2, 7)) = 'b';
  SelectRow(d.lvUser, 0);
  Click(d.FlatButton1);
  Click(d.FlatButton1);  // cancel
  SelectRow(d.lvUser, 1);
  Click(d.FlatButton1);
  EXPECT_EQ(d.fcbSelectShift->placeholderText(), QStringLiteral("找不到原班制"));
  EXPECT_EQ(d.fclbWork->count(), 0);
  EXPECT_FALSE(d.DateTimePicker1->isEnabled());
  d.fedUserName->setText(QStringLiteral("Bob"));
  Click(d.FlatButton2);
  EXPECT_EQ(File(TScheduleFile::User), expected);
  EXPECT_EQ(d.lvUser->currentItem()->text(0), QStringLiteral("Bob"));  // the saved user is selected
  EXPECT_EQ(d.flbShiftWork->count(), 1);
}

// Back from the other page while adding, the scheme saved is the one the
// combo still shows, or none once it is deleted.
TEST_F(OptionDialog, ARoundTripToTheOtherPageSavesOnlyTheSchemeStillShown) {
  WriteDutiesAndSchemes();
  TfrmOption& d = Open();
  Click(d.FlatButton2);
  d.fedUserName->setText(QStringLiteral("Bob"));
  ChooseScheme(1);
  d.PageControl1->setCurrentIndex(1);
  d.PageControl1->setCurrentIndex(0);
  EXPECT_EQ(d.fcbSelectShift->currentIndex(), 1);
  EXPECT_EQ(d.fclbWork->item(0)->checkState(), Qt::Checked);

  ShowSchemesPage(1);
  d.tvShift->setCurrentItem(d.tvShift->topLevelItem(1));
  answer_ = TMsgResult::Yes;
  Click(d.FlatButton7);
  d.PageControl1->setCurrentIndex(0);
  EXPECT_EQ(d.fclbWork->count(), 0);
  Click(d.FlatButton2);
  const Bytes users = File(TScheduleFile::User);
  EXPECT_EQ(IntAt(users, At(kUsers, 1, 15)), -1);
  EXPECT_EQ(DoubleAt(users, At(kUsers, 1, 19)), EncodeDate(2026, 3, 14));
  EXPECT_EQ(IntAt(users, At(kUsers, 1, 27)), -1);
}

// Only a damaged cycle lists more entries than the calendar counts; a place
// beyond those is refused with a word, and the edit stays.
TEST_F(OptionDialog, APlaceADamagedCycleDoesNotHoldIsRefused) {
  WriteDutiesAndSchemes();
  PutScheme(tables_.Shift, 3, 3, G("坏"), "1#x#2#");
  TfrmOption& d = Open();
  Click(d.FlatButton2);
  d.fedUserName->setText(QStringLiteral("Ann"));
  ChooseScheme(2);
  d.fclbWork->item(2)->setCheckState(Qt::Checked);  // 白班, 没有找到, 夜班
  Click(d.FlatButton2);
  EXPECT_EQ(Captions(), QStringList{QStringLiteral("提示")});
  EXPECT_EQ(d.UserMode(), TEditMode::Adding);
  EXPECT_EQ(SlotCount(File(TScheduleFile::User), kUsers), 0u);
}

// Return saves while a page edits; Tab leaves the description; a click on
// a duty's text ticks it.
TEST_F(OptionDialog, TheKeyboardAndTheCheckListWork) {
  WriteDutiesAndSchemes();
  TfrmOption& d = Open();
  Click(d.FlatButton2);
  d.fedUserName->setText(QStringLiteral("Ann"));
  const QRect row = d.fclbWork->visualItemRect(d.fclbWork->item(2));
  QTest::mouseClick(d.fclbWork->viewport(), Qt::LeftButton, {}, QPoint(row.right() - 20, row.center().y()));
  QTest::keyClick(d.fedUserName, Qt::Key_Return);
  EXPECT_EQ(d.UserMode(), TEditMode::Browse);
  EXPECT_EQ(IntAt(File(TScheduleFile::User), At(kUsers, 1, 27)), 2);

  ShowSchemesPage(0);
  Click(d.FlatButton4);
  d.FlatEdit1->setText(QStringLiteral("中班"));
  d.FlatMemo1->setPlainText(QStringLiteral("a"));
  d.FlatMemo1->moveCursor(QTextCursor::End);
  QTest::keyClick(d.FlatMemo1, Qt::Key_Tab);
  QTest::keyClicks(d.FlatMemo1, QStringLiteral("b"));
  QTest::keyClick(d.FlatEdit1, Qt::Key_Return);
  EXPECT_EQ(d.DutyMode(), TEditMode::Browse);
  EXPECT_EQ(TextAt(File(TScheduleFile::Work), At(kDuties, 4, 19), 50), "ab");
  EXPECT_TRUE(messages_.Shown().empty());

  // The stacked tabs step with Up and Down, and stop at their ends.
  QTabBar* stacked = d.PageControl2->tabBar();
  for (auto [key, index] : {std::pair{Qt::Key_Down, 1}, {Qt::Key_Down, 1}, {Qt::Key_Up, 0}}) {
    QTest::keyClick(stacked, key);
    EXPECT_EQ(d.PageControl2->currentIndex(), index);
  }
}

TEST_F(OptionDialog, DeletingAUserAsksFirstAndPacksTheFile) {
  PutUser(tables_.User, "Ann", 0, FixedNow(), 0);
  PutUser(tables_.User, "Bob", 0, FixedNow(), 0);
  TfrmOption& d = Open();
  const Bytes before = File(TScheduleFile::User);
  SelectRow(d.lvUser, 0);
  Click(d.FlatButton3);
  EXPECT_EQ(Captions(), QStringList{QStringLiteral("询问")});
  EXPECT_EQ(File(TScheduleFile::User), before);

  answer_ = TMsgResult::Yes;
  SelectRow(d.lvUser, 0);
  Click(d.FlatButton3);
  const Bytes users = File(TScheduleFile::User);
  ASSERT_EQ(SlotCount(users, kUsers), 1u);
  EXPECT_EQ(TextAt(users, At(kUsers, 1, 5), 10), "Bob");
  EXPECT_EQ(d.lvUser->topLevelItemCount(), 1);
}

TEST_F(OptionDialog, ClosingDuringAnEditAsksAndNoKeepsTheEdit) {
  TfrmOption& d = Open();
  Click(d.FlatButton2);
  d.fedUserName->setText(QStringLiteral("Ann"));
  EXPECT_FALSE(d.close());
  ASSERT_EQ(messages_.Shown().size(), 1u);
  const TMessageRequest& q = messages_.Shown()[0];
  EXPECT_EQ(q.Caption, QStringLiteral("询问"));
  EXPECT_EQ(q.Buttons, TMsgButtons::YesNo);
  EXPECT_TRUE(q.DefaultNo);
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(d.UserMode(), TEditMode::Adding);
  EXPECT_EQ(d.fedUserName->text(), QStringLiteral("Ann"));

  QTest::keyClick(&d, Qt::Key_Escape);  // Escape asks as well
  EXPECT_EQ(messages_.Shown().size(), 2u);
  EXPECT_TRUE(d.isVisible());

  answer_ = TMsgResult::Yes;
  EXPECT_TRUE(d.close());
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(SlotCount(File(TScheduleFile::User), kUsers), 0u);  // nothing saved on closing
}

TEST_F(OptionDialog, ClosingInBrowseModeAsksNothing) {
  TfrmOption& d = Open();
  Click(d.FlatButton2);
  Click(d.FlatButton1);  // cancel
  EXPECT_TRUE(d.close());
  EXPECT_TRUE(messages_.Shown().empty());
}

// --- Text that does not fit or cannot be stored --------------------------------

struct TBadText {
  const char* Name;
  int Field;  // 0 user name, 1 duty name, 2 duty description, 3 scheme name
  const char* Text;
  const char* Says;
};
void PrintTo(const TBadText& c, std::ostream* os) { *os << c.Name; }

class BadText : public OptionDialog, public ::testing::WithParamInterface<TBadText> {};

TEST_P(BadText, IsRefusedWithoutWritingAndTheEditStays) {
  WriteDutiesAndSchemes();
  const TBadText& c = GetParam();
  const QString text = QString::fromUtf8(c.Text);
  TfrmOption& d = Open();
  const std::vector<Bytes> before = {File(TScheduleFile::User), File(TScheduleFile::Work), File(TScheduleFile::Shift)};
  std::function<TEditMode()> mode;
  if (c.Field == 0) {
    Click(d.FlatButton2);
    d.fedUserName->setText(text);
    Click(d.FlatButton2);
    mode = [&] { return d.UserMode(); };
  } else if (c.Field <= 2) {
    ShowSchemesPage(0);
    Click(d.FlatButton4);
    d.FlatEdit1->setText(c.Field == 1 ? text : QStringLiteral("中班"));
    d.FlatMemo1->setPlainText(c.Field == 2 ? text : QString());
    Click(d.FlatButton4);
    mode = [&] { return d.DutyMode(); };
  } else {
    ShowSchemesPage(1);
    AnswerNameDialog(QStringLiteral("短"));
    Click(d.FlatButton9);
    d.EditedScheme()->setText(0, text);  // renamed in place
    Click(d.FlatButton9);
    mode = [&] { return d.SchemeMode(); };
  }
  ASSERT_EQ(messages_.Shown().size(), 1u);
  EXPECT_EQ(messages_.Shown()[0].Caption, QStringLiteral("提示"));
  EXPECT_TRUE(LastText().contains(QString::fromUtf8(c.Says))) << LastText().toStdString();
  EXPECT_EQ(mode(), TEditMode::Adding);
  const QString kept = c.Field == 0 ? d.fedUserName->text()
                      : c.Field == 1 ? d.FlatEdit1->text()
                      : c.Field == 2 ? d.FlatMemo1->toPlainText()
                                     : d.EditedScheme()->text(0);
  EXPECT_EQ(kept, text);
  EXPECT_EQ(before, (std::vector<Bytes>{File(TScheduleFile::User), File(TScheduleFile::Work), File(TScheduleFile::Shift)}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadText,
    ::testing::Values(TBadText{"UserNameOfFiveChineseCharacters", 0, "张三李四王", "最多只能有四个汉字或九个字母"},
                      TBadText{"UserNameOfTenLetters", 0, "abcdefghij", "最多只能有四个汉字或九个字母"},
                      TBadText{"UserNameWithAnEmoji", 0, "Ann😀", "无法保存的字符"},
                      TBadText{"UserNameInHangul", 0, "김철수", "无法保存的字符"},
                      TBadText{"DutyNameOfFiveChineseCharacters", 1, "早中晚夜班", "最多只能有四个汉字或九个字母"},
                      // 24 characters and a line break, stored as CR LF: 50 bytes.
                      TBadText{"DescriptionWithALineBreak", 2, "一二三四五六七八九十一二\n三四五六七八九十一二三四",
                               "倒班说明太长"},
                      TBadText{"DescriptionWithAnEmoji", 2, "上班😀", "无法保存的字符"},
                      TBadText{"SchemeNameOfFiveChineseCharacters", 3, "四班三运转", "最多只能有四个汉字或九个字母"}),
    [](const auto& info) { return std::string(info.param.Name); });

// --- Duty kinds --------------------------------------------------------------------

TEST_F(OptionDialog, EachOfTwoSameNamedDutyKindsIsChangedAndDeletedOnItsOwn) {
  PutDuty(tables_.Work, 1, G("白班"));
  PutDuty(tables_.Work, 2, G("白班"));
  TfrmOption& d = Open();
  ShowSchemesPage(0);
  d.flbWork->setCurrentRow(1);
  Click(d.FlatButton5);
  d.FlatEdit1->setText(QStringLiteral(" 夜班 "));
  d.FlatMemo1->setPlainText(QStringLiteral("晚八点\n到早八点"));
  Click(d.FlatButton4);
  Bytes work = File(TScheduleFile::Work);
  EXPECT_EQ(TextAt(work, At(kDuties, 1, 9), 10), G("白班"));
  EXPECT_EQ(TextAt(work, At(kDuties, 2, 9), 10), G("夜班"));
  EXPECT_EQ(TextAt(work, At(kDuties, 2, 19), 50), G("晚八点\r\n到早八点"));
  EXPECT_EQ(d.flbWork->item(1)->text(), QStringLiteral("夜班"));

  d.flbWork->setCurrentRow(0);
  Click(d.FlatButton6);  // no question
  work = File(TScheduleFile::Work);
  ASSERT_EQ(SlotCount(work, kDuties), 1u);
  EXPECT_EQ(IntAt(work, At(kDuties, 1, 5)), 2);
  EXPECT_TRUE(messages_.Shown().empty());
}

// After a save the list selects the saved duty kind, after giving up a new
// one it selects none: "删除" acts on what the fields show, or on nothing.
TEST_F(OptionDialog, DeleteActsOnTheDutyKindTheFieldsShow) {
  WriteDutiesAndSchemes();
  TfrmOption& d = Open();
  ShowSchemesPage(0);
  for (const QString& name : {QString(), QStringLiteral(" 临时班")}) {
    d.flbWork->setCurrentRow(0);
    Click(d.FlatButton4);
    d.FlatEdit1->setText(name);
    Click(name.isEmpty() ? d.FlatButton5 : d.FlatButton4);
    Click(d.FlatButton6);
  }
  const Bytes work = File(TScheduleFile::Work);
  ASSERT_EQ(SlotCount(work, kDuties), 3u);
  EXPECT_EQ(TextAt(work, At(kDuties, 1, 9), 10), G("白班"));
  EXPECT_EQ(IntAt(work, At(kDuties, 3, 5)), 3);
}

TEST_F(OptionDialog, DeletingADutyKindLeavesTheSchemesThatUseIt) {
  WriteDutiesAndSchemes();
  TfrmOption& d = Open();
  const Bytes schemes = File(TScheduleFile::Shift);
  ShowSchemesPage(0);
  d.flbWork->setCurrentRow(0);
  Click(d.FlatButton6);
  EXPECT_EQ(File(TScheduleFile::Shift), schemes);
  ShowSchemesPage(1);
  QTreeWidgetItem* first = d.tvShift->topLevelItem(0);
  ASSERT_EQ(first->childCount(), 2);
  EXPECT_EQ(first->child(0)->text(0), QStringLiteral("夜班"));
}

TEST_F(OptionDialog, ADutyKindAddedOnOneTabIsOfferedOnTheOtherAfterATabChange) {
  WriteDutiesAndSchemes();
  TfrmOption& d = Open();
  ShowSchemesPage(0);
  Click(d.FlatButton4);
  d.FlatEdit1->setText(QStringLiteral("中班"));
  Click(d.FlatButton4);
  const Bytes work = File(TScheduleFile::Work);
  ASSERT_EQ(SlotCount(work, kDuties), 4u);
  EXPECT_EQ(IntAt(work, At(kDuties, 4, 5)), 4);
  EXPECT_EQ(d.lvWork->topLevelItemCount(), 3);
  ShowSchemesPage(1);
  ASSERT_EQ(d.lvWork->topLevelItemCount(), 4);
  EXPECT_EQ(d.lvWork->topLevelItem(3)->text(1), QStringLiteral("中班"));
}

// --- Schemes -----------------------------------------------------------------------

TEST_F(OptionDialog, NewSchemesAreSavedWithTheirCycleOrEmpty) {
  WriteDutiesAndSchemes();
  TfrmOption& d = Open();
  ShowSchemesPage(1);
  AnswerNameDialog(QStringLiteral("  "));
  Click(d.FlatButton9);
  ASSERT_NE(d.EditedScheme(), nullptr);
  EXPECT_EQ(d.EditedScheme()->text(0), QStringLiteral("新班制"));
  Click(d.FlatButton9);
  Bytes shift = File(TScheduleFile::Shift);
  ASSERT_EQ(SlotCount(shift, kSchemes), 3u);
  EXPECT_EQ(IntAt(shift, At(kSchemes, 3, 5)), 3);
  EXPECT_EQ(IntAt(shift, At(kSchemes, 3, 9)), 0);
  EXPECT_EQ(TextAt(shift, At(kSchemes, 3, 13), 10), G("新班制"));
  EXPECT_EQ(TextAt(shift, At(kSchemes, 3, 23), 200), "");

  AnswerNameDialog(QStringLiteral("早晚"));
  Click(d.FlatButton9);
  for (int row : {0, 1, 2}) AddCycleEntry(row);
  d.tvShift->setCurrentItem(d.EditedScheme()->child(1));
  Click(d.fsbUnSelected);
  Click(d.FlatButton9);
  shift = File(TScheduleFile::Shift);
  EXPECT_EQ(IntAt(shift, At(kSchemes, 4, 9)), 2);
  EXPECT_EQ(TextAt(shift, At(kSchemes, 4, 23), 200), "1#3#");
  EXPECT_EQ(d.SchemeMode(), TEditMode::Browse);

  AnswerNameDialog(QStringLiteral("x"), false);
  Click(d.FlatButton9);
  EXPECT_EQ(d.SchemeMode(), TEditMode::Browse);
  EXPECT_EQ(File(TScheduleFile::Shift), shift);
}

TEST_F(OptionDialog, TheNameDialogRefusesANameThatDoesNotFit) {
  TfmNewShift name;
  name.show();
  name.FlatEdit1->setText(QStringLiteral(" 四班三运转"));
  Click(name.FlatButton1);
  EXPECT_TRUE(name.isVisible());
  EXPECT_EQ(Captions(), QStringList{QStringLiteral("提示")});
  EXPECT_TRUE(LastText().contains(QStringLiteral("最多只能有四个汉字或九个字母")));
  name.FlatEdit1->setText(QStringLiteral(" 四班三倒 "));
  Click(name.FlatButton1);
  EXPECT_EQ(name.result(), QDialog::Accepted);
  EXPECT_EQ(name.Name(), QStringLiteral("四班三倒"));
}

// The tree selects what was just added, scrolled into view, so that "取消"
// and ">" act on it at once, and after a save the scheme saved.
TEST_F(OptionDialog, TheSchemeTreeSelectsWhatWasJustAddedOrSaved) {
  WriteDutiesAndSchemes();
  TfrmOption& d = Open();
  ShowSchemesPage(1);
  AnswerNameDialog(QStringLiteral("新"));
  Click(d.FlatButton9);
  Click(d.FlatButton8);  // cancel without clicking a node
  EXPECT_EQ(d.SchemeMode(), TEditMode::Browse);
  EXPECT_EQ(d.tvShift->topLevelItemCount(), 2);

  AnswerNameDialog(QStringLiteral("长"));
  Click(d.FlatButton9);
  for (int i = 0; i < 20; ++i) AddCycleEntry(i % 3);
  QTreeWidgetItem* last = d.EditedScheme()->child(19);
  EXPECT_EQ(d.tvShift->currentItem(), last);
  EXPECT_TRUE(d.tvShift->viewport()->rect().contains(d.tvShift->visualItemRect(last)));
  Click(d.FlatButton9);
  answer_ = TMsgResult::Yes;
  Click(d.FlatButton7);
  EXPECT_EQ(File(TScheduleFile::Shift).at(At(kSchemes, 3, 0)), 0x2A);
}

TEST_F(OptionDialog, ACycleTooLongForItsFieldIsRefusedAndKept) {
  WriteDutiesAndSchemes();
  TfrmOption& d = Open();
  ShowSchemesPage(1);
  AnswerNameDialog(QStringLiteral("长"));
  Click(d.FlatButton9);
  for (int i = 0; i < 100; ++i) AddCycleEntry(0);  // 100 × "1#" = 200 bytes
  const Bytes before = File(TScheduleFile::Shift);
  Click(d.FlatButton9);
  EXPECT_EQ(Captions(), QStringList{QStringLiteral("提示")});
  EXPECT_EQ(d.SchemeMode(), TEditMode::Adding);
  EXPECT_EQ(d.EditedScheme()->childCount(), 100);
  EXPECT_EQ(File(TScheduleFile::Shift), before);

  d.tvShift->setCurrentItem(d.EditedScheme()->child(0));
  Click(d.fsbUnSelected);
  Click(d.FlatButton9);
  EXPECT_EQ(TextAt(File(TScheduleFile::Shift), At(kSchemes, 3, 23), 200).size(), 198u);
}

TEST_F(OptionDialog, ModifyingASchemeRenamesItAndCancelDropsTheChanges) {
  WriteDutiesAndSchemes();
  TfrmOption& d = Open();
  ShowSchemesPage(1);
  d.tvShift->setCurrentItem(d.tvShift->topLevelItem(1)->child(0));
  Click(d.FlatButton8);
  EXPECT_EQ(d.EditedScheme(), d.tvShift->topLevelItem(1));
  AddCycleEntry(2);
  d.EditedScheme()->setText(0, QStringLiteral("白休"));
  Click(d.FlatButton9);
  Bytes shift = File(TScheduleFile::Shift);
  EXPECT_EQ(IntAt(shift, At(kSchemes, 2, 5)), 2);
  EXPECT_EQ(IntAt(shift, At(kSchemes, 2, 9)), 2);
  EXPECT_EQ(TextAt(shift, At(kSchemes, 2, 13), 10), G("白休"));
  EXPECT_EQ(TextAt(shift, At(kSchemes, 2, 23), 200), "1#3#");

  d.tvShift->setCurrentItem(d.tvShift->topLevelItem(0));
  Click(d.FlatButton8);
  AddCycleEntry(0);
  Click(d.FlatButton8);  // cancel: the tree is read again
  EXPECT_EQ(d.tvShift->topLevelItem(0)->childCount(), 3);
  EXPECT_EQ(File(TScheduleFile::Shift), shift);
}

TEST_F(OptionDialog, DeletingASchemeAsksAndLeavesItsUsers) {
  WriteDutiesAndSchemes();
  PutUser(tables_.User, "Ann", 1, FixedNow(), 0);
  TfrmOption& d = Open();
  const Bytes users = File(TScheduleFile::User);
  ShowSchemesPage(1);
  d.tvShift->setCurrentItem(d.tvShift->topLevelItem(0));
  answer_ = TMsgResult::Yes;
  Click(d.FlatButton7);
  EXPECT_EQ(Captions(), QStringList{QStringLiteral("确认")});
  const Bytes shift = File(TScheduleFile::Shift);
  EXPECT_EQ(shift.at(At(kSchemes, 1, 0)), 0x2A);  // marked deleted, not packed
  EXPECT_EQ(SlotCount(shift, kSchemes), 2u);
  EXPECT_EQ(d.tvShift->topLevelItemCount(), 1);
  EXPECT_EQ(File(TScheduleFile::User), users);
}

// --- Writes that fail ----------------------------------------------------------------

TEST_F(OptionDialog, EveryFailedWriteIsReportedAndTheListsShowTheFiles) {
  WriteDutiesAndSchemes();
  TfrmOption& d = Open();
  TFailingWrites failing;
  for (TScheduleFile f : kScheduleFiles) tables_.Table(f).SetFileOps(&failing);
  const std::vector<Bytes> before = {File(TScheduleFile::User), File(TScheduleFile::Work), File(TScheduleFile::Shift)};

  Click(d.FlatButton2);
  d.fedUserName->setText(QStringLiteral("Ann"));
  Click(d.FlatButton2);
  EXPECT_EQ(d.lvUser->topLevelItemCount(), 0);

  ShowSchemesPage(0);
  Click(d.FlatButton4);
  d.FlatEdit1->setText(QStringLiteral("中班"));
  Click(d.FlatButton4);
  EXPECT_EQ(d.flbWork->count(), 3);
  d.flbWork->setCurrentRow(0);
  Click(d.FlatButton6);
  EXPECT_EQ(d.flbWork->count(), 3);

  ShowSchemesPage(1);
  AnswerNameDialog(QStringLiteral("新"));
  Click(d.FlatButton9);
  Click(d.FlatButton9);
  EXPECT_EQ(d.tvShift->topLevelItemCount(), 2);
  EXPECT_EQ(d.SchemeMode(), TEditMode::Browse);

  for (TScheduleFile f : kScheduleFiles) tables_.Table(f).SetFileOps(nullptr);
  ASSERT_EQ(messages_.Shown().size(), 4u);
  for (const TMessageRequest& r : messages_.Shown()) {
    EXPECT_EQ(r.Caption, QStringLiteral("错误"));
    EXPECT_EQ(r.Text, QStringLiteral("写入数据文件错误。"));
  }
  EXPECT_EQ(before, (std::vector<Bytes>{File(TScheduleFile::User), File(TScheduleFile::Work), File(TScheduleFile::Shift)}));
}

// --- A duty kind's hours ---------------------------------------------------------

class OptionDialogTimes : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteDataSet(dir_.Path(), {{"张三", 1, 45000, 0}});
    ASSERT_FALSE(folder_.Open({TFolderAccess::Write, TWritePolicy::AsTyped}).Failed());
    dlg_ = std::make_unique<TfrmOption>(nullptr, folder_.Records(), folder_.Rota(), &folder_);
    dlg_->show();
    dlg_->PageControl1->setCurrentIndex(1);
  }
  // Modifies duty kind `row` with the hours given and saves.
  void Save(int row, const char* start, const char* end, int endDay, const char* remind, const char* color) {
    dlg_->flbWork->setCurrentRow(row);
    QTest::mouseClick(dlg_->FlatButton5, Qt::LeftButton);
    dlg_->fedStart->setText(QString::fromUtf8(start));
    dlg_->fedEnd->setText(QString::fromUtf8(end));
    dlg_->fcbEndDay->setCurrentIndex(endDay);
    dlg_->fedRemind->setText(QString::fromUtf8(remind));
    dlg_->fcbColor->setEditText(QString::fromUtf8(color));
    QTest::mouseClick(dlg_->FlatButton4, Qt::LeftButton);
  }
  std::vector<TDutyTimes> Stored() { return ReadDutyTimes(folder_.Tables().Times); }

  TScratchDir dir_;
  TScheduleFolder folder_{dir_.Path()};
  std::vector<QString> shown_;
  TMessageBoxOverride messages_{[this](const TMessageRequest& r) {
    shown_.push_back(r.Text);
    return TMsgResult::Ok;
  }};
  std::unique_ptr<TfrmOption> dlg_;
};

TEST_F(OptionDialogTimes, TheEndIsShownWithItsDayAndRefusalsNameTheFieldAndWriteNothing) {
  Save(1, "20:00", "08:00", 1, "60", "#1976d2");  // 夜班
  ASSERT_EQ(Stored(), (std::vector<TDutyTimes>{{2, 1200, 720, false, 0x1976D2, 60}}));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("cfgdat.kd2"))) << "the zone is pinned with the first start";
  // Clicked as a person clicks: the fields show the entry clicked, not the one before.
  auto click = [&](int row) {
    QListWidget* list = dlg_->flbWork;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
  };
  click(0);
  EXPECT_EQ(dlg_->FlatEdit1->text(), QStringLiteral("白班"));
  EXPECT_TRUE(dlg_->fedEnd->text().isEmpty());
  click(1);
  EXPECT_EQ(dlg_->FlatEdit1->text(), QStringLiteral("夜班"));
  EXPECT_EQ(dlg_->fedEnd->text(), QStringLiteral("08:00"));
  EXPECT_EQ(dlg_->fcbEndDay->currentText(), QStringLiteral("次日"));

  const Bytes before = ReadFileBytes(dir_.File("timedat.kd2"));
  for (auto [start, end, day, remind, color, says] :
       {std::tuple{"20:00", "08:00", 0, "", "无", "下班时间"}, std::tuple{"25:00", "", 0, "", "无", "上班时间"},
        std::tuple{"", "", 0, "30", "无", "全天的班次不能提醒"}, std::tuple{"08:00", "09:00", 0, "", "蓝", "颜色"}}) {
    shown_.clear();
    Save(1, start, end, day, remind, color);
    ASSERT_EQ(shown_.size(), 1u) << says;
    EXPECT_TRUE(shown_[0].contains(QString::fromUtf8(says))) << shown_[0].toStdString();
    EXPECT_EQ(dlg_->DutyMode(), TEditMode::Modifying) << "the edit stays";
    QTest::mouseClick(dlg_->FlatButton5, Qt::LeftButton);  // cancel
  }
  EXPECT_EQ(ReadFileBytes(dir_.File("timedat.kd2")), before);

  QTest::mouseClick(dlg_->FlatButton6, Qt::LeftButton);  // delete 夜班, its hours with it
  EXPECT_TRUE(Stored().empty());
}

}  // namespace
}  // namespace kadrel
