// The year navigator: typed years, bounds, the key filter and the result.
#include "output/uYearWz.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "widgets/uKadrelFrame.h"
#include "widgets/uTitleButtons.h"

namespace kadrel {
namespace {

struct TYearNavigator {
  TYearNavigator() {
    form.FlatSpinEditInteger1->SetBeep([this] { ++beeps; });
    form.SetYear(2005);
    form.show();
  }
  void Type(const QString& text) {
    form.FlatSpinEditInteger1->clear();
    QTest::keyClicks(form.FlatSpinEditInteger1, text);
  }
  QString Shown() const { return form.FlatSpinEditInteger1->text(); }

  TfrmYearWZ form;
  int beeps = 0;
};

TEST(YearNavigator, OkHandsBackTheTypedYearBounded) {
  const struct {
    const char* Typed;
    int Year;
  } rows[] = {{"2000", 2000}, {"2100", 2100}, {"3000", 2100}, {"1800", 1900}, {"", 1900}, {"-", 1900}, {"19.5", 1900}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Typed);
    TYearNavigator nav;
    nav.Type(QString::fromUtf8(row.Typed));
    nav.form.FlatButton1->click();
    EXPECT_EQ(nav.form.result(), TfrmYearWZ::kModalOk);
    EXPECT_EQ(nav.form.Year(), row.Year);
    EXPECT_EQ(nav.Shown(), QString::number(row.Year));
    EXPECT_EQ(nav.beeps, 0);
  }
}

TEST(YearNavigator, OpensCentredOverItsOwner) {
  QWidget owner;
  owner.setGeometry(100, 100, 698, 442);
  owner.show();
  TfrmYearWZ form(&owner);
  QTimer::singleShot(0, [&] {
    EXPECT_EQ(form.geometry().center(), owner.geometry().center());
    form.FlatButton2->click();
  });
  EXPECT_EQ(form.exec(), TfrmYearWZ::kModalCancel);
}

TEST(YearNavigator, CancelAndEscapeReportCancel) {
  TYearNavigator nav;
  nav.Type("2000");
  nav.form.FlatButton2->click();
  EXPECT_EQ(nav.form.result(), TfrmYearWZ::kModalCancel);

  TYearNavigator escaped;
  QTest::keyClick(escaped.form.FlatSpinEditInteger1, Qt::Key_Escape);
  EXPECT_EQ(escaped.form.result(), TfrmYearWZ::kModalCancel);
  EXPECT_FALSE(escaped.form.isVisible());
  EXPECT_FALSE(escaped.form.Frame()->CloseButton()->isVisibleTo(&escaped.form));
}

TEST(YearNavigator, RefusedKeysBeepAndLeaveTheText) {
  TYearNavigator nav;
  nav.Type("20a0");
  EXPECT_EQ(nav.Shown(), "200");
  EXPECT_EQ(nav.beeps, 1);
  // Enter is refused too and does not close the dialog.
  QTest::keyClick(nav.form.FlatSpinEditInteger1, Qt::Key_Return);
  EXPECT_EQ(nav.beeps, 2);
  EXPECT_TRUE(nav.form.isVisible());
  // Editing keys are not refused.
  QTest::keyClick(nav.form.FlatSpinEditInteger1, Qt::Key_Backspace);
  QTest::keyClicks(nav.form.FlatSpinEditInteger1, "+-.");
  EXPECT_EQ(nav.Shown(), "20+-.");
  EXPECT_EQ(nav.beeps, 2);
}

TEST(YearNavigator, StepsAndFocusLossStayWithinTheRange) {
  TYearNavigator nav;
  TFlatSpinEditInteger* field = nav.form.FlatSpinEditInteger1;
  QTest::keyClick(field, Qt::Key_Up);
  EXPECT_EQ(nav.form.Year(), 2006);
  field->stepDown();
  field->stepDown();
  EXPECT_EQ(nav.form.Year(), 2004);

  nav.Type("3000");  // stepping starts from the typed text
  QTest::keyClick(field, Qt::Key_Down);
  EXPECT_EQ(nav.Shown(), "2099");
  nav.form.SetYear(2100);
  QTest::keyClick(field, Qt::Key_Up);
  EXPECT_EQ(nav.Shown(), "2100");
  nav.form.SetYear(1000);
  EXPECT_EQ(nav.Shown(), "1900");

  nav.Type("9999");
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(field, &out);
  EXPECT_EQ(nav.Shown(), "2100");
}

}  // namespace
}  // namespace kadrel
