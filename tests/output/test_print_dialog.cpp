// The print dialog with its printer replaced by a recording surface on a page
// tall enough for a whole year, and every message box answered by the test.
#include "output/uprint.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/gui/uPrinterSurface.h"
#include "platform/gui/uMessages.h"
#include "tests/output/output_fixture.h"
#include "tests/output/test_print_surface.h"
#include "widgets/uKadrelFrame.h"
#include "widgets/uTitleButtons.h"

namespace kadrel {
namespace {

using printtest::TPrintRecord;
using printtest::TRecordingSurface;
using testing::Utf8;
using testing::ZhangSan;

class PrintDialog : public ::testing::Test {
 protected:
  TprnForm& Open(int year) {
    form_ = std::make_unique<TprnForm>(ZhangSan(), year);
    form_->show();
    return *form_;
  }
  std::vector<std::string> Printed() const {
    std::vector<std::string> lines;
    for (const std::string& t : record_.Texts()) lines.push_back(Utf8(t));
    return lines;
  }

  TPrintRecord record_;
  int surfaces_ = 0;
  TPrintSurfaceOverride printer_{[this] {
    ++surfaces_;
    return std::make_unique<TRecordingSurface>(record_, 2000, 1000000);
  }};
  TMessageBoxOverride messages_;
  std::unique_ptr<TprnForm> form_;
};

TEST_F(PrintDialog, AWholeYearIsTheTitleAndTwelveMonths) {
  for (auto [year, lines] : {std::pair{2023, 120u}, std::pair{2024, 121u}}) {
    SCOPED_TRACE(year);
    record_ = {};
    TprnForm& form = Open(year);
    form.FlatButton1->click();
    const std::vector<std::string> printed = Printed();
    ASSERT_EQ(printed.size(), lines);
    EXPECT_EQ(printed[0], "张三的Kadrel " + std::to_string(year) + "年(公历)");
    EXPECT_EQ(Utf8(record_.Title), printed[0]);  // what the queue lists
    EXPECT_EQ(printed[1], "1月");
    EXPECT_EQ(printed.back(), std::string(80, '-'));
    EXPECT_EQ(record_.Font.Name, GbkLiteral("宋体"));
    EXPECT_EQ(record_.Font.Size, 8);
    EXPECT_TRUE(record_.Ended);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
  }
  EXPECT_TRUE(messages_.Shown().empty());
}

TEST_F(PrintDialog, ChosenMonthsPrintInCalendarOrderAndKeepTheirTicks) {
  TprnForm& form = Open(2023);
  EXPECT_FALSE(form.FlatGroupBox1->isEnabled());
  form.CheckBox1->click();
  form.MonthBox(11)->click();
  form.MonthBox(2)->click();
  form.CheckBox1->click();
  EXPECT_FALSE(form.FlatGroupBox1->isEnabled());
  EXPECT_TRUE(form.MonthBox(11)->isChecked());
  form.CheckBox1->click();
  EXPECT_TRUE(form.FlatGroupBox1->isEnabled());
  form.FlatButton1->click();
  const std::vector<std::string> printed = Printed();
  // February 2023: heading, seven rows, separator; November: heading, eight
  // rows, separator.
  ASSERT_EQ(printed.size(), 1u + 9u + 10u);
  EXPECT_EQ(printed[1], "2月");
  EXPECT_EQ(printed[10], "11月");
  EXPECT_EQ(printed[11].substr(0, 9), "11月1日");
}

TEST_F(PrintDialog, NoMonthTickedPrintsTheTitleAlone) {
  TprnForm& form = Open(2023);
  form.CheckBox1->click();
  form.FlatButton1->click();
  ASSERT_EQ(record_.Pages.size(), 1u);
  EXPECT_EQ(Printed(), std::vector<std::string>{"张三的Kadrel 2023年(公历)"});
  EXPECT_FALSE(form.isVisible());
}

TEST_F(PrintDialog, CancelAndCloseButtonPrintNothing) {
  TprnForm& form = Open(2023);
  form.FlatButton2->click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.result(), QDialog::Rejected);

  TprnForm& again = Open(2023);
  QTest::mouseClick(again.Frame()->CloseButton(), Qt::LeftButton, {}, QPoint(11, 11));
  EXPECT_FALSE(again.isVisible());
  EXPECT_EQ(surfaces_, 0);
}

TEST_F(PrintDialog, APrinterThatCannotStartLeavesTheDialogOpen) {
  TPrintSurfaceOverride broken([this] {
    return std::make_unique<TRecordingSurface>(record_, 2000, 1000, kPrinterNotValid);
  });
  TprnForm& form = Open(2023);
  form.FlatButton1->click();
  ASSERT_EQ(messages_.Shown().size(), 1u);
  EXPECT_EQ(messages_.Shown()[0].Text, QString::fromUtf8(kPrinterNotValid));
  EXPECT_EQ(messages_.Shown()[0].Caption, QStringLiteral("错误"));
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(record_.Pages.empty());
}

TEST_F(PrintDialog, WithoutAnInstalledPrinterTheDefaultPrinterIsRefused) {
  if (!QPrinterInfo::defaultPrinter().isNull()) GTEST_SKIP() << "this machine has a default printer";
  TPrintSurfaceOverride real([] { return TPrinterSurface::DefaultPrinter(); });
  TprnForm& form = Open(2023);
  form.FlatButton1->click();
  ASSERT_EQ(messages_.Shown().size(), 1u);
  EXPECT_EQ(messages_.Shown()[0].Text, QStringLiteral("There is no default printer currently selected"));
  EXPECT_TRUE(form.isVisible());
}

TEST_F(PrintDialog, ShowPrintDialogOpensAFreshModalDialogOverItsOwner) {
  QWidget owner;
  owner.setGeometry(100, 100, 698, 442);
  owner.show();
  TShiftUser user = ZhangSan();
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* form = qobject_cast<TprnForm*>(QApplication::activeModalWidget());
    ASSERT_NE(form, nullptr);
    seen = true;
    EXPECT_EQ(form->geometry().center(), owner.geometry().center());
    EXPECT_FALSE(form->CheckBox1->isChecked());
    user.Name = GbkLiteral("李四");  // the dialog prints its own copy
    form->FlatButton1->click();
  });
  ShowPrintDialog(user, 2024, &owner);
  EXPECT_TRUE(seen);
  ASSERT_FALSE(Printed().empty());
  EXPECT_EQ(Printed()[0], "张三的Kadrel 2024年(公历)");
  EXPECT_EQ(Printed().size(), 121u);
}

}  // namespace
}  // namespace kadrel
