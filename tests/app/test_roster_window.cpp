// The roster window over a real folder: its rows against the resolver, the
// colours of the duty times on screen, the day menu on a cell and a change
// shown at once in both windows, the rows built while scrolling a large
// team, the export and its refusals, and printing through a print service
// of the test's own with a cups-pdf queue.
#include "app/uRosterForm.h"

#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QContextMenuEvent>
#include <QProcess>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

#include "app/uKadrelMain.h"
#include "app/uRosterGrid.h"
#include "app/uSyncCommand.h"
#include "config/uDayChange.h"
#include "config/uDayMenu.h"
#include "output/uPublishUser.h"
#include "output/uRosterDoc.h"
#include "platform/gui/uFileDialogs.h"
#include "platform/gui/uMessages.h"
#include "platform/uClock.h"
#include "widgets/uToggleButton.h"
#include "schedule/uDayText.h"
#include "schedule/uScheduleFolder.h"
#include "schedule/uTimeFiles.h"
#include "tests/app/app_test_util.h"
#include "tests/output/caldav_servers.h"
#include "tests/output/cups_server.h"

namespace kadrel {
namespace {

using namespace apptest;
namespace fs = std::filesystem;

TDateTime Oct(int d) { return static_cast<TDateTime>(EncodeDate(2025, 10, d)); }

Bytes AsBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The file cups-pdf wrote for job `id` since `since`: job numbers start
// again with every service, and the folder may hold files of other runs.
fs::path NewPdfOfJob(const fs::path& folder, int id, fs::file_time_type since) {
  const std::string tail = "job_" + std::to_string(id) + ".pdf";
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (entry.path().filename().string().ends_with(tail) && entry.last_write_time() >= since) return entry.path();
  }
  return {};
}

std::string Tool(const QString& program, const QStringList& args);

// Where the first page of `pdf` is not white, at 20 dots an inch.
QRect InkOf(const fs::path& pdf) {
  const fs::path png = pdf.string() + ".ink";
  Tool("pdftoppm", {"-r", "20", "-singlefile", "-png", QString::fromStdString(pdf.string()),
                    QString::fromStdString(png.string())});
  const QImage page(QString::fromStdString(png.string() + ".png"));
  fs::remove(png.string() + ".png");
  QRect ink;
  for (int y = 0; y < page.height(); ++y)
    for (int x = 0; x < page.width(); ++x)
      if (qGray(page.pixel(x, y)) < 200) ink |= QRect(x, y, 1, 1);
  return ink;
}

std::string Tool(const QString& program, const QStringList& args) {
  QProcess tool;
  tool.start(program, args);
  EXPECT_TRUE(tool.waitForFinished(30000)) << program.toStdString();
  return tool.readAllStandardOutput().toStdString();
}

// The grid as the screen shows it, where cells that look alike are copies,
// against the same view painted afresh on an image copies never serve: a
// copy under a key that misses what a cell draws shows a stale look.
void ExpectShownAsPaintedAfresh(TRosterGrid& grid) {
  const QImage shown = grid.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  QImage fresh(shown.size(), QImage::Format_ARGB32);
  grid.viewport()->render(&fresh);
  EXPECT_TRUE(shown == fresh.convertToFormat(QImage::Format_RGB32));
}

class RosterWindow : public ::testing::Test {
 protected:
  // 张三, 李四 and 王五 cycle 白班 夜班 休息 one place apart from 1 October
  // 2025; 白班 is drawn in a colour of its own and 休息 is a rest.
  explicit RosterWindow(int more = 0) {
    std::vector<TUserSpec> users = {{"张三", 1, Oct(1), 0}, {"李四", 1, Oct(1), 1}, {"王五", 1, Oct(1), 2}};
    for (int i = 0; i < more; ++i) users.push_back({std::string("u").append(std::to_string(i)), 1, Oct(1), i % 3});
    WriteDataSet(dir_.Path(), users, true, more > 0);
    TScheduleFolder folder(dir_.Path());
    EXPECT_FALSE(folder.Open({TFolderAccess::Write, TWritePolicy::AsTyped}).Failed());
    TTableStream times(TTableStream::kModeReadWrite);
    TScheduleError error;
    EXPECT_TRUE(OpenOrCreateTimeFile(times, TTimeFile::Times, dir_.Path(), error)) << error.Text();
    TTimesError timesError;
    for (const TDutyTimes& t : {TDutyTimes{1, 8 * 60, 480, false, kWhite}, TDutyTimes{3, -1, 0, true}})
      EXPECT_TRUE(SetDutyTimes(times, folder.Records(), t, timesError)) << timesError.Text();
    times.Close();
    EXPECT_TRUE(folder.Close(error));
  }

  TfrmMain& OpenMain() {
    main_ = std::make_unique<TfrmMain>(dir_.Path());
    main_->show();
    main_->ViewButton(10)->Click();
    main_->RosterButton->Click();
    return *main_;
  }
  TfrmRoster& Roster() { return *main_->Roster(); }

  static constexpr std::int32_t kWhite = 0x12AB34;  // not a colour of the picture's own
  TScratchDir dir_;
  TClockOverride clock_{[] { return Oct(15) + 0.5; }};
  TMsgResult answer_ = TMsgResult::Yes;
  TMessageBoxOverride messages_{[this](const TMessageRequest&) { return answer_; }};
  std::unique_ptr<TfrmMain> main_;
};

TEST_F(RosterWindow, RowsAreTheResolversDaysAndTheColoursOfTheDutyTimes) {
  OpenMain();
  TfrmRoster& w = Roster();
  ASSERT_TRUE(w.isVisible());
  EXPECT_EQ(w.Year(), 2025);
  EXPECT_EQ(w.Month(), 10) << "the month the main window shows";
  const std::shared_ptr<const TRotaSnapshot> snapshot = main_->Folder()->Snapshot();
  ASSERT_EQ(w.Roster()->RowCount(), 3u);
  for (std::size_t r = 0; r < 3; ++r) {
    const TRosterRow& row = w.Grid->RowAt(r);
    ASSERT_EQ(row.Cells.size(), 31u);
    for (int d = 1; d <= 31; ++d) {
      EXPECT_EQ(U(row.Cells[d - 1].Text), U(DayDutyText(snapshot->Resolve(r, Oct(d))))) << r << " " << d;
    }
    EXPECT_EQ(row.Hours.Total.Minutes, CountHours(*snapshot, r, EncodeDate(2025, 10, 1), EncodeDate(2025, 10, 31),
                                                  TDutyTimesMap(std::vector<TDutyTimes>{{1, 8 * 60, 480}}), Holidays())
                                           .Total.Minutes);
  }
  // 张三 works 白班 on the 1st: the cell's ground is 白班's colour.
  const QImage shown = w.Grid->viewport()->grab().toImage();
  const QRect cell = w.Grid->CellRect({0, 0});
  EXPECT_EQ(shown.pixel(cell.left() + 2, cell.bottom() - 2), QColor(QRgb(kWhite)).rgb());
  w.spnMinimum->setValue(2);
  ExpectShownAsPaintedAfresh(*w.Grid);

  // Chosen users only, in the order chosen.
  w.SetChosenUsers({G("王五"), G("张三")});
  ASSERT_EQ(w.Roster()->RowCount(), 2u);
  EXPECT_EQ(U(w.Roster()->UserName(0)), "王五");
  EXPECT_EQ(w.Grid->RowAt(0).Cells[0].Text, DayDutyText(snapshot->Resolve(2, Oct(1))));
}

TEST_F(RosterWindow, TheMinimumMarksShortDaysOfWorkingKindsOnly) {
  OpenMain();
  TfrmRoster& w = Roster();
  // Each day one user is on each kind; 休息 is a rest and needs nobody.
  w.spnMinimum->setValue(1);
  for (std::size_t c = 0; c < 31; ++c) EXPECT_FALSE(w.Grid->Picture()->DayShort(c)) << c;
  w.spnMinimum->setValue(2);
  const auto& kinds = w.Grid->Picture()->Kinds();
  ASSERT_EQ(kinds.size(), 3u);
  EXPECT_TRUE(w.Grid->Picture()->Short(0, 0));
  EXPECT_FALSE(w.Grid->Picture()->Short(2, 0)) << U(kinds[2].Name) << " is a rest";
}

TEST_F(RosterWindow, TheCellMenuIsTheDayMenuAndAChangeShowsAtOnceInBothWindows) {
  const std::vector<Bytes> before = DataFileBytes(dir_);
  OpenMain();
  TfrmRoster& w = Roster();
  // The keys move the current cell: 李四 on 3 October.
  w.Grid->setFocus();
  QTest::keyClick(w.Grid, Qt::Key_Right);
  QTest::keyClick(w.Grid, Qt::Key_Right);
  QTest::keyClick(w.Grid, Qt::Key_Down);
  EXPECT_EQ(w.Grid->Current(), (TRosterCellPos{1, 2}));
  QTest::keyClick(w.Grid, Qt::Key_Return);
  ASSERT_TRUE(w.DayMenu->isVisible());
  EXPECT_EQ(w.DayMenu->Day(), Oct(3));
  EXPECT_FALSE(w.DayMenu->UndoItem->isEnabled());
  w.DayMenu->close();

  // The right button on 张三's 5 October.
  const QPoint at = w.Grid->CellRect({0, 4}).center();
  QContextMenuEvent menu(QContextMenuEvent::Mouse, at, w.Grid->viewport()->mapToGlobal(at));
  QApplication::sendEvent(w.Grid->viewport(), &menu);
  ASSERT_TRUE(w.DayMenu->isVisible());
  EXPECT_EQ(w.DayMenu->Day(), Oct(5));
  ASSERT_TRUE(w.DayMenu->LeaveItem->isEnabled());
  WhenModal<TfrmDayChange>([](TfrmDayChange& d) {
    d.fcbLeave->setEditText(QStringLiteral("病假"));
    QTest::mouseClick(d.btnOk, Qt::LeftButton);
  });
  w.DayMenu->LeaveItem->trigger();
  EXPECT_TRUE(messages_.Shown().empty());
  EXPECT_EQ(U(w.Grid->RowAt(0).Cells[4].Text), "病假");
  EXPECT_EQ(U(std::string(w.Grid->RowAt(0).Cells[4].Mark)), "假");
  EXPECT_EQ(w.Grid->RowAt(0).Hours.LeaveDays, 1);
  ExpectShownAsPaintedAfresh(*w.Grid);
  EXPECT_EQ(main_->ListView1->topLevelItem(4)->text(1), QStringLiteral("病假")) << "the main window's October";

  // Undone from the main window: the roster follows.
  main_->DayMenuPopup(5, {});
  main_->DayMenu->UndoItem->trigger();
  EXPECT_NE(U(w.Grid->RowAt(0).Cells[4].Text), "病假");
  main_->close();
  main_.reset();
  EXPECT_EQ(DataFileBytes(dir_), before);
}

// With 每次修改后自动同步 on, a change from the roster publishes as one from
// the main window does: here to a closed port, whose failure is told.
TEST_F(RosterWindow, AChangeInTheRosterIsPublishedWhenEveryChangeIsAsked) {
  OpenMain();
  std::string why;
  TSyncSettings settings{"http://127.0.0.1:" + std::to_string(davtest::FreePort()) + "/", "", GbkLiteral("张三"), "",
                         true, ""};
  ASSERT_TRUE(StoreSyncSettings(*main_->Folder(), settings, why)) << why;
  auto* sync = new TSyncCommand(*main_);
  TfrmRoster& w = Roster();
  const QPoint at = w.Grid->CellRect({0, 4}).center();
  QContextMenuEvent menu(QContextMenuEvent::Mouse, at, w.Grid->viewport()->mapToGlobal(at));
  QApplication::sendEvent(w.Grid->viewport(), &menu);
  WhenModal<TfrmDayChange>([](TfrmDayChange& d) {
    d.fcbLeave->setEditText(QStringLiteral("病假"));
    QTest::mouseClick(d.btnOk, Qt::LeftButton);
  });
  w.DayMenu->LeaveItem->trigger();
  sync->Runner().Wait();
  ASSERT_EQ(messages_.Shown().size(), 1u);
  EXPECT_TRUE(messages_.Shown()[0].Text.startsWith(QStringLiteral("自动同步没有完成。\n同步到日历服务器 127.0.0.1:")))
      << messages_.Shown()[0].Text.toStdString();
  main_->close();
}

class LargeTeam : public RosterWindow {
 protected:
  LargeTeam() : RosterWindow(2000) {}
};

TEST_F(LargeTeam, ScrollingBuildsOnlyTheRowsInView) {
  OpenMain();
  TfrmRoster& w = Roster();
  QApplication::processEvents();
  w.Grid->viewport()->repaint();
  const std::size_t inView = w.Grid->BuiltRows();
  EXPECT_GT(inView, 10u);
  EXPECT_LT(inView, 40u);
  w.Grid->setFocus();
  QTest::keyClick(w.Grid, Qt::Key_End, Qt::ControlModifier);
  w.Grid->viewport()->repaint();
  EXPECT_EQ(w.Grid->Current().Row, 2002u);
  EXPECT_LE(w.Grid->BuiltRows(), 2 * inView + 1) << "the rows at the top and at the bottom, none between";
  for (int i = 0; i < 20; ++i) QTest::keyClick(w.Grid, Qt::Key_PageUp);
  w.Grid->viewport()->repaint();
  EXPECT_LT(w.Grid->BuiltRows(), 25 * inView);
}

TEST_F(RosterWindow, ExportWritesEachFormatAndNeverADataFile) {
  OpenMain();
  TfrmRoster& w = Roster();
  const std::vector<Bytes> before = DataFileBytes(dir_);
  fs::path target;
  TSaveFileDialogOverride dialog([&](const TSaveFileRequest&) { return QString::fromStdString(target.string()); });

  const TScratchDir out;
  target = fs::path(out.Path()) / "roster.csv";
  w.btnExportClick();
  EXPECT_EQ(ReadFileBytes(target.string()), AsBytes(BuildRosterDocument(*w.Roster(), TRosterFormat::Csv)));
  target = fs::path(out.Path()) / "roster.html";
  w.btnExportClick();
  EXPECT_EQ(ReadFileBytes(target.string()), AsBytes(BuildRosterDocument(*w.Roster(), TRosterFormat::Html)));
  target = fs::path(out.Path()) / "roster.pdf";
  w.cbPaper->setCurrentIndex(1);
  w.btnExportClick();
  ASSERT_EQ(messages_.Shown().size(), 3u);
  EXPECT_EQ(messages_.Shown()[2].Text, QStringLiteral("已导出到：\n") + QString::fromStdString(target.string()));
  const std::string about = Tool("pdfinfo", {QString::fromStdString(target.string())});
  EXPECT_NE(about.find("1191 x 842 pts (A3)"), std::string::npos) << about;
  EXPECT_NE(Tool("pdftotext", {QString::fromStdString(target.string()), "-"}).find("王五"), std::string::npos);

  // A link to the data folder's own file, and a name of no format.
  target = fs::path(out.Path()) / "link.csv";
  fs::create_symlink(dir_.File(TScheduleFile::User), target);
  w.btnExportClick();
  ASSERT_EQ(messages_.Shown().size(), 4u);
  EXPECT_EQ(messages_.Shown()[3].Caption, QStringLiteral("错误")) << messages_.Shown()[3].Text.toStdString();
  EXPECT_TRUE(messages_.Shown()[3].Text.contains(QStringLiteral("数据文件"))) << messages_.Shown()[3].Text.toStdString();
  target = fs::path(out.Path()) / "roster.xls";
  w.btnExportClick();
  EXPECT_TRUE(messages_.Shown()[4].Text.startsWith(QStringLiteral("排班表可以导出为"))) << messages_.Shown()[4].Text.toStdString();
  EXPECT_FALSE(fs::exists(target));
  w.close();
  main_.reset();
  EXPECT_EQ(DataFileBytes(dir_), before);
}

// Printing needs the print service's own folders beside the test's.
class RosterPrint : public RosterWindow {
 protected:
  void SetUp() override {
    const std::string failure = cups_.Start(dir_.Path());
    if (!failure.empty()) GTEST_SKIP() << failure;
    ASSERT_EQ(cups_.SetupError(), "");
  }
  testing::TCupsServer cups_;
};

TEST_F(RosterPrint, APageOfA3OrA4LandscapeReachesTheQueue) {
  OpenMain();
  TfrmRoster& w = Roster();
  const fs::path folder = testing::TCupsServer::CupsPdfFolder();
  // The queue prints on its sheet as it is fed, portrait: a landscape page
  // comes out turned, its rows running down the sheet.
  for (const auto& [paper, size] : {std::pair{1, "842 x 1191 pts (A3)"}, std::pair{0, "595 x 842 pts (A4)"}}) {
    const auto since = fs::file_time_type::clock::now() - std::chrono::seconds(1);
    w.cbPaper->setCurrentIndex(paper);
    w.btnPrintClick();
    ASSERT_TRUE(messages_.Shown().empty()) << messages_.Shown()[0].Text.toStdString();
    const std::vector<testing::TCupsServer::TJob> jobs = testing::TCupsServer::FinishedJobs();
    ASSERT_FALSE(jobs.empty());
    EXPECT_EQ(jobs.back().Title, "排班表 2025-10-01 至 2025-10-31");
    if (!testing::TCupsServer::WritesPdfFiles()) continue;
    ASSERT_EQ(jobs.back().State, IPP_JSTATE_COMPLETED) << "see " << cups_.Root() / "error_log";
    const fs::path pdf = NewPdfOfJob(folder, jobs.back().Id, since);
    ASSERT_FALSE(pdf.empty()) << "no file of job " << jobs.back().Id << " in " << folder;
    const std::string about = Tool("pdfinfo", {QString::fromStdString(pdf.string())});
    const QRect ink = InkOf(pdf);
    std::error_code ec;
    fs::remove(pdf, ec);
    EXPECT_NE(about.find(size), std::string::npos) << about;
    EXPECT_NE(about.find("Pages:           1\n"), std::string::npos) << about;
    EXPECT_GT(ink.height(), 2 * ink.width()) << "the roster turned to run along the sheet";
  }
  // A queue that takes no jobs: said in Chinese, nothing printed.
  QProcess::execute("cupsreject", {"-r", "缺纸", testing::TCupsServer::kQueue});
  w.btnPrintClick();
  ASSERT_EQ(messages_.Shown().size(), 1u);
  EXPECT_EQ(messages_.Shown()[0].Text, QStringLiteral("打印机“kadrel-pdf”现在不接受打印作业：缺纸。这次什么也没有打印。"));
}

}  // namespace
}  // namespace kadrel
