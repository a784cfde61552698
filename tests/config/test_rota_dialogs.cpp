// The dialogs that change a rota: a day's change, the change of scheme with
// its history, and the options dialog's rename and deletion carrying the
// user's exceptions. Refusals are checked for their words, the field they
// put the focus on, and the files they leave alone.
#include "config/uChangeScheme.h"
#include "config/uDatePicker.h"
#include "config/uDayChange.h"
#include "config/uKDOption.h"
#include "platform/gui/uMessages.h"
#include "platform/uClock.h"
#include "platform/uGbk.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "tests/schedule/schedule_test_util.h"

namespace kadrel {
namespace {

using namespace schedtest;

TDateTime Mar(int d) { return static_cast<TDateTime>(EncodeDate(2026, 3, d)); }

class RotaDialogs : public TScheduleFixture {
 protected:
  // Duty kinds 1 白班, 2 夜班, 3 休息; scheme 1 三班 cycles them, scheme 2 is
  // 常白班; Ann runs 三班 from 1 March 2026, Bob 常白班.
  void SetUp() override {
    TScheduleFixture::SetUp();
    TScheduleError error;
    ASSERT_TRUE(OpenOrCreateRotaFile(tables_.Exceptions, TScheduleFile::Exceptions, dir_.Path(), error));
    ASSERT_TRUE(OpenOrCreateRotaFile(tables_.History, TScheduleFile::History, dir_.Path(), error));
    PutDuty(tables_.Work, 1, GbkLiteral("白班"));
    PutDuty(tables_.Work, 2, GbkLiteral("夜班"));
    PutDuty(tables_.Work, 3, GbkLiteral("休息"));
    PutScheme(tables_.Shift, 1, 3, GbkLiteral("三班"), "1#2#3#");
    PutScheme(tables_.Shift, 2, 1, GbkLiteral("常白班"), "1#");
    PutUser(tables_.User, "Ann", 1, Mar(1), 0);
    PutUser(tables_.User, "Bob", 2, Mar(1), 0);
  }
  std::unique_ptr<TfrmDayChange> Day(TExceptionKind kind, TDateTime day = Mar(10)) {
    auto dialog = std::make_unique<TfrmDayChange>(nullptr, rota_, records_, kind, "Ann", day);
    dialog->show();
    return dialog;
  }
  // "确定"; the last message shown since, or none.
  QString Ok(TfrmDayChange& d) {
    messages_.Clear();
    QTest::mouseClick(d.btnOk, Qt::LeftButton);
    return messages_.Shown().empty() ? QString() : messages_.Shown().back().Text;
  }
  Bytes Exceptions() const { return ReadFileBytes(dir_.File(ScheduleFileName(TScheduleFile::Exceptions))); }

  TScheduleRecords records_{tables_, TWritePolicy::AsTyped};
  TRotaRecords rota_{records_, tables_.Exceptions, tables_.History};
  TClockOverride clock_{[] { return FixedNow(); }};  // 14 March 2026
  TMsgResult answer_ = TMsgResult::Yes;
  TMessageBoxOverride messages_{[this](const TMessageRequest&) { return answer_; }};
};

TEST_F(RotaDialogs, EachKindAsksOnlyWhatItNeeds) {
  const auto swap = Day(TExceptionKind::Swap);
  EXPECT_EQ(swap->dtpLast, nullptr) << "a swap is of one day";
  ASSERT_EQ(swap->fcbPartner->count(), 1);
  EXPECT_EQ(swap->fcbPartner->itemText(0), QStringLiteral("Bob")) << "the others, never Ann herself";
  EXPECT_EQ(swap->fcbDuty, nullptr);

  const auto set = Day(TExceptionKind::Set);
  ASSERT_EQ(set->fcbDuty->count(), 4);
  EXPECT_EQ(set->fcbDuty->itemData(0).toInt(), 0) << "no duty comes first";
  EXPECT_EQ(set->fcbDuty->itemText(3), QStringLiteral("休息"));
  EXPECT_EQ(Day(TExceptionKind::Extra)->fcbDuty->count(), 3) << "an extra shift is a duty";

  const auto leave = Day(TExceptionKind::Leave);
  EXPECT_TRUE(leave->fcbLeave->isEditable()) << "a leave kind of one's own";
  EXPECT_EQ(leave->fcbLeave->count(), 7);
  EXPECT_EQ(leave->dtpLast->date(), QDate(2026, 3, 10));

  const auto note = Day(TExceptionKind::Note);
  EXPECT_TRUE(note->fcbPartner == nullptr && note->fcbDuty == nullptr && note->fcbLeave == nullptr &&
              note->dtpLast == nullptr);
}

TEST_F(RotaDialogs, RefusalsNameWhatIsWrongKeepTheDialogAndWriteNothing) {
  const auto first = Day(TExceptionKind::Leave, Mar(2));
  first->dtpLast->setDate(QDate(2026, 3, 5));
  EXPECT_EQ(Ok(*first), QString());
  EXPECT_EQ(first->result(), QDialog::Accepted);
  const Bytes stored = Exceptions();

  const auto d = Day(TExceptionKind::Leave, Mar(4));
  d->dtpLast->setDate(QDate(2026, 3, 6));
  EXPECT_EQ(Ok(*d), QStringLiteral("这段请假与已有的请假重叠：年假，2026年3月2日至2026年3月5日。"));
  EXPECT_EQ(d->focusWidget(), d->dtpFirst);
  d->dtpFirst->setDate(QDate(2026, 3, 6));
  d->fedNote->setText(QString(25, QChar(0x4E00)));  // 50 bytes of GBK
  EXPECT_EQ(Ok(*d), QStringLiteral("备注太长了，最多只能有二十四个汉字或四十九个字母。"));
  EXPECT_EQ(d->focusWidget(), d->fedNote);
  d->fedNote->setText(QStringLiteral("看牙\U0001F9B7"));
  EXPECT_TRUE(Ok(*d).startsWith(QStringLiteral("备注中有无法保存的字符")));
  d->fedNote->clear();
  d->fcbLeave->setEditText(QStringLiteral("长长长长长"));
  EXPECT_EQ(Ok(*d), QStringLiteral("假别太长了，最多只能有四个汉字或九个字母。"));
  d->fcbLeave->setEditText(QStringLiteral("病假"));
  d->dtpLast->setDate(QDate(2027, 3, 7));
  EXPECT_EQ(Ok(*d), QStringLiteral("日期范围太长了，一次最多366天；更长的请分几次记录。"));
  d->dtpLast->setDate(QDate(2026, 3, 5));
  EXPECT_EQ(Ok(*d), QStringLiteral("结束日期早于开始日期。"));
  EXPECT_NE(d->result(), QDialog::Accepted);
  EXPECT_EQ(Exceptions(), stored);

  const auto swap = Day(TExceptionKind::Swap, Mar(12));
  EXPECT_EQ(Ok(*swap), QString());
  EXPECT_EQ(rota_.ExceptionsOf("Bob", Mar(12), Mar(12)).size(), 1u) << "the partner's half";
}

TEST_F(RotaDialogs, AChangeOfSchemeKeepsThePastAndTheHistoryShowsIt) {
  {
    TfrmChangeScheme change(nullptr, rota_, records_, "Ann");
    EXPECT_EQ(change.fcbScheme->currentData().toInt(), 1) << "the scheme Ann follows now";
    ASSERT_EQ(change.lvHistory->topLevelItemCount(), 1);
    change.dtpFrom->setDate(QDate(2026, 3, 20));
    change.fcbScheme->setCurrentIndex(1);
    emit change.fcbScheme->activated(1);
    ASSERT_EQ(change.fclbPlace->count(), 1);
    change.accept();
    EXPECT_EQ(change.result(), QDialog::Accepted);
  }
  const std::optional<TUserRecord> ann = records_.FindUser("Ann");
  EXPECT_EQ(ann->ShiftID, 2);
  EXPECT_EQ(ann->Start, Mar(20));
  TfrmChangeScheme again(nullptr, rota_, records_, "Ann");
  QStringList rows;
  for (int i = 0; i < again.lvHistory->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = again.lvHistory->topLevelItem(i);
    rows << row->text(0) + QLatin1Char('|') + row->text(1) + QLatin1Char('|') + row->text(2);
  }
  EXPECT_EQ(rows, (QStringList{QStringLiteral("—|2026年3月19日|三班"), QStringLiteral("2026年3月20日|—|常白班")}));
  EXPECT_TRUE(messages_.Shown().empty());
}

TEST_F(RotaDialogs, RenamingOrDeletingAUserInTheOptionsDialogTakesTheExceptionsAlong) {
  TExceptionRecord note;
  note.Kind = TExceptionKind::Note;
  note.User = "Ann";
  note.First = note.Last = Mar(10);
  note.Note = "x";
  TRotaError error;
  ASSERT_TRUE(rota_.AddException(note, error)) << error.Text();
  TfrmOption dialog(nullptr, records_, rota_);
  dialog.show();
  dialog.lvUser->setCurrentItem(dialog.lvUser->topLevelItem(0));
  dialog.FlatButton1Click();
  dialog.fedUserName->setText(QStringLiteral("Annie"));
  dialog.FlatButton2Click();
  ASSERT_EQ(rota_.Exceptions().size(), 1u);
  EXPECT_EQ(rota_.Exceptions()[0].User, "Annie");

  EXPECT_TRUE(dialog.FlatButton10->isEnabled());
  dialog.lvUser->setCurrentItem(dialog.lvUser->topLevelItem(0));
  dialog.FlatButton3Click();  // answered Yes
  EXPECT_TRUE(rota_.Exceptions().empty());
  EXPECT_EQ(dialog.lvUser->topLevelItemCount(), 1);
}

}  // namespace
}  // namespace kadrel
