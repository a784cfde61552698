// The print dialog on a real QPrinter writing a PDF file, and on a real print
// service with a PDF queue; read back with pdftotext: what the user would
// find on paper, with the real font metrics.
#include "output/uprint.h"

#include <QFontInfo>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStringList>
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <thread>

#include "platform/gui/uPrinterSurface.h"
#include "output/uYearDocument.h"
#include "platform/gui/uMessages.h"
#include "tests/output/cups_server.h"
#include "tests/output/output_fixture.h"
#include "tests/test_dir.h"
#include "widgets/uFonts.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::Utf8;
using testing::ZhangSan;

class PdfPrint : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir_.empty()); }

  static std::unique_ptr<QPrinter> PdfPrinter(const fs::path& file) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(file.string()));
    return printer;
  }

  // Lines per page by the layout rule, measured independently of the
  // surface: floor(H / (text height + 2)) - 1, H being the whole sheet, as a
  // PDF has no unprintable border.
  int LinesPerPage() {
    std::unique_ptr<QPrinter> probe = PdfPrinter(dir_ / "probe.pdf");
    probe->setFullPage(true);
    QPainter painter(probe.get());
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(8);
    painter.setFont(font);
    EXPECT_EQ(painter.fontInfo().family(), KadrelCjkFace());
    return probe->height() / (painter.fontMetrics().height() + 2) - 1;
  }

  // The PDF's text, one list of lines per page, each line with its runs of
  // spaces made single and its ends trimmed; empty lines dropped. The CJK face
  // draws 月 and 日 with the glyphs of the Kangxi radicals ⽉ and ⽇, and the
  // PDF names those code points for them; NFKC folds them back.
  static std::vector<std::vector<std::string>> ReadBack(const fs::path& pdf) {
    std::vector<std::vector<std::string>> pages;
    const QStringList texts = QString::fromStdString(Tool("pdftotext", {"-layout", Q(pdf), "-"})).split(QChar('\f'));
    for (const QString& text : texts) {
      std::vector<std::string> lines;
      for (const QString& line : text.split(QChar('\n'))) {
        const QString simple = line.normalized(QString::NormalizationForm_KC).simplified();
        if (!simple.isEmpty()) lines.push_back(simple.toStdString());
      }
      if (!lines.empty()) pages.push_back(lines);
    }
    EXPECT_EQ(texts.size() - 1, static_cast<qsizetype>(pages.size())) << "a page without text";
    return pages;
  }

  // The printout's lines, the title first, as ReadBack gives them.
  static std::vector<std::string> Expected(const TShiftUser& user, int year) {
    std::vector<std::string> lines;
    const QString form = QString::fromStdString(Utf8(BuildYearDocument(user, year, TMonthSet::All(), TExportType::Print)));
    for (const QString& line : form.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
      lines.push_back(line.simplified().toStdString());
    return lines;
  }

  // Runs a tool to its end; its standard output.
  static std::string Tool(const QString& program, const QStringList& args) {
    QProcess tool;
    tool.start(program, args);
    EXPECT_TRUE(tool.waitForFinished(30000)) << program.toStdString() << " did not run";
    EXPECT_EQ(tool.exitCode(), 0) << program.toStdString() << ": " << tool.readAllStandardError().toStdString();
    return tool.readAllStandardOutput().toStdString();
  }
  static QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

  TTestDir temp_;
  const fs::path& dir_ = temp_.Path();
};

TEST_F(PdfPrint, AWholeYearReadsBackLineForLineOnTheExpectedPages) {
  const fs::path pdf = dir_ / "year.pdf";
  TPrintSurfaceOverride toPdf([&] { return std::make_unique<TPrinterSurface>(PdfPrinter(pdf)); });
  TMessageBoxOverride messages;
  TprnForm form(ZhangSan(), 2024);
  form.show();
  form.FlatButton1->click();
  ASSERT_TRUE(messages.Shown().empty()) << messages.Shown()[0].Text.toStdString();
  ASSERT_FALSE(form.isVisible());

  const std::vector<std::string> expected = Expected(ZhangSan(), 2024);
  ASSERT_EQ(expected.size(), 121u);

  const int perPage = LinesPerPage();
  EXPECT_EQ(perPage, 71) << "on A4 in the CJK face at 8 points";
  const std::vector<std::vector<std::string>> pages = ReadBack(pdf);
  EXPECT_EQ(pages.size(), std::size_t((121 + perPage - 1) / perPage)) << perPage << " lines a page";

  std::vector<std::string> read;
  for (std::size_t p = 0; p < pages.size(); ++p) {
    SCOPED_TRACE(p);
    EXPECT_EQ(int(pages[p].size()), std::min(perPage, 121 - int(p) * perPage));
    read.insert(read.end(), pages[p].begin(), pages[p].end());
  }
  ASSERT_FALSE(read.empty());
  EXPECT_EQ(read[0], "张三的Kadrel 2024年(公历)");
  // The cycle 早班 中班 晚班 休息 began on 1 January 2005, 6999 days (three
  // past a multiple of four) before 1 March 2024.
  const auto march = std::find(read.begin(), read.end(), "3月");
  ASSERT_NE(march, read.end());
  EXPECT_EQ(*(march + 1), "3月1日 休息 3月2日 早班 3月3日 中班 3月4日 晚班");
  EXPECT_EQ(read, expected);

  const std::string about = Tool("pdfinfo", {Q(pdf)});
  EXPECT_NE(about.find("Title:           张三的Kadrel 2024年(公历)\n"), std::string::npos) << about;
}

TEST_F(PdfPrint, APrinterThatCannotOpenItsOutputIsNotValid) {
  TPrinterSurface surface(PdfPrinter(dir_ / "missing-folder" / "out.pdf"));
  std::string error;
  EXPECT_FALSE(surface.BeginDoc("", error));
  EXPECT_EQ(error, kPrinterNotValid);
}

// Printing into a file, from the toolkit or through a queue that writes its
// jobs into a file (below), never prints into the data of the working folder.
TEST_F(PdfPrint, APrintIntoADataFileIsRefusedAndTheFileKept) {
  std::ofstream(dir_ / "userdat.kd2") << "users";
  fs::create_directory(dir_ / "elsewhere");
  fs::create_symlink(dir_ / "userdat.kd2", dir_ / "elsewhere/year.pdf");
  const fs::path previous = fs::current_path();
  fs::current_path(dir_);
  TPrinterSurface surface(PdfPrinter(dir_ / "elsewhere/year.pdf"));
  std::string error;
  EXPECT_FALSE(surface.BeginDoc("", error));
  fs::current_path(previous);
  EXPECT_EQ(error, "打印的输出文件“" + (dir_ / "elsewhere/year.pdf").string() + "”就是 Kadrel 的数据文件“" +
                       (fs::canonical(dir_) / "userdat.kd2").string() + "”，打印不能写入它。这次什么也没有打印。");
  std::ifstream in(dir_ / "userdat.kd2");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "users");
}

// The year printed through a print service of the test's own, as a user's
// printer is set up (cups_server.h).
class CupsPrint : public PdfPrint {
 protected:
  static constexpr const char* kQueue = testing::TCupsServer::kQueue;

  void SetUp() override {
    PdfPrint::SetUp();
    const std::string failure = cups_.Start(dir_);
    if (!failure.empty()) GTEST_SKIP() << failure;
    ASSERT_EQ(cups_.SetupError(), "");
  }

  using TJob = testing::TCupsServer::TJob;
  static std::vector<TJob> Jobs() { return testing::TCupsServer::Jobs(); }
  static fs::path CupsPdfFolder() { return testing::TCupsServer::CupsPdfFolder(); }
  static fs::path CupsPdfFile(const fs::path& folder, int id, const std::string& mark) {
    return testing::TCupsServer::CupsPdfFile(folder, id, mark);
  }

  testing::TCupsServer cups_;
  const fs::path& root_ = cups_.Root();
  TMessageBoxOverride messages_;
};

// The service's PDF names its glyphs by their order in the font, not by
// their characters, so only the pattern of the characters survives: `read`
// must spell `expected` with each character standing for one other
// throughout, and no two for the same. The very first glyph reads as a
// blank, so the title is compared without its first character.
void ExpectSameTextUnderOneCipher(std::vector<std::string> expected, const std::vector<std::string>& read) {
  ASSERT_EQ(read.size(), expected.size());
  expected[0] = QString::fromStdString(expected[0]).mid(1).toStdString();
  std::map<char32_t, char32_t> to, from;
  for (std::size_t i = 0; i < read.size(); ++i) {
    const QList<uint> e = QString::fromStdString(expected[i]).toUcs4(), r = QString::fromStdString(read[i]).toUcs4();
    ASSERT_EQ(r.size(), e.size()) << expected[i] << " read as " << read[i];
    for (qsizetype j = 0; j < e.size(); ++j) {
      ASSERT_EQ(to.emplace(e[j], r[j]).first->second, r[j]) << expected[i] << " read as " << read[i];
      ASSERT_EQ(from.emplace(r[j], e[j]).first->second, e[j]) << expected[i] << " read as " << read[i];
    }
  }
}

TEST_F(CupsPrint, AYearReachesTheQueueAsAPdfAndARefusingQueueIsReported) {
  // The process number keeps this run's file apart from any other's.
  const std::string mark = std::to_string(getpid());
  const TShiftUser user = testing::MakeUser("印" + mark, {"早班", "中班", "晚班", "休息"});
  const fs::path folder = CupsPdfFolder();
  const bool madeFolder = !fs::exists(folder);
  {
    TprnForm form(user, 2024);
    form.show();
    form.FlatButton1->click();
    ASSERT_TRUE(messages_.Shown().empty()) << messages_.Shown()[0].Text.toStdString();
    EXPECT_FALSE(form.isVisible());
  }
  std::vector<TJob> jobs = Jobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].Title, "印" + mark + "的Kadrel 2024年(公历)");

  if (geteuid() == 0) {
    for (int i = 0; i < 300 && jobs[0].State < IPP_JSTATE_STOPPED; ++i) {
      std::this_thread::sleep_for(50ms);
      jobs = Jobs();
    }
    ASSERT_EQ(jobs[0].State, IPP_JSTATE_COMPLETED) << "see " << root_ / "error_log";
    const fs::path pdf = CupsPdfFile(folder, jobs[0].Id, mark);
    ASSERT_FALSE(pdf.empty()) << "no file of job " << jobs[0].Id << " in " << folder;
    const std::string about = Tool("pdfinfo", {Q(pdf)});
    const std::vector<std::vector<std::string>> pages = ReadBack(pdf);
    std::error_code ec;
    fs::remove(pdf, ec);
    if (madeFolder) fs::remove(folder, ec);  // only while empty
    EXPECT_NE(about.find("595 x 842 pts (A4)"), std::string::npos) << about;
    // The queue's A4 sheet has no unprintable border: the page holds all
    // 71 lines a whole sheet has room for.
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].size(), 71u);
    std::vector<std::string> read = pages[0];
    read.insert(read.end(), pages[1].begin(), pages[1].end());
    ExpectSameTextUnderOneCipher(Expected(user, 2024), read);
  }

  Tool("cupsreject", {"-r", "纸盒已空", kQueue});
  TprnForm form(user, 2024);
  form.show();
  form.FlatButton1->click();
  ASSERT_EQ(messages_.Shown().size(), 1u);
  EXPECT_EQ(messages_.Shown()[0].Caption, QStringLiteral("错误"));
  EXPECT_EQ(messages_.Shown()[0].Text, QStringLiteral("打印机“kadrel-pdf”现在不接受打印作业：纸盒已空。这次什么也没有打印。"));
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(Jobs().size(), 1u);

  Tool("cupsreject", {kQueue});  // no reason given
  form.FlatButton1->click();
  ASSERT_EQ(messages_.Shown().size(), 2u);
  EXPECT_EQ(messages_.Shown()[1].Text, QStringLiteral("打印机“kadrel-pdf”现在不接受打印作业。这次什么也没有打印。"));
}

TEST_F(CupsPrint, AQueueThatPrintsIntoADataFileGetsNoJob) {
  std::ofstream(dir_ / "userdat.kd2") << "users";
  Tool("lpadmin", {"-p", "into-data", "-E", "-v", "file://" + Q(dir_ / "userdat.kd2"), "-P",
                    "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd"});
  Tool("lpadmin", {"-d", "into-data"});
  const fs::path previous = fs::current_path();
  fs::current_path(dir_);
  TprnForm form(testing::ZhangSan(), 2024);
  form.show();
  form.FlatButton1->click();
  fs::current_path(previous);
  ASSERT_EQ(messages_.Shown().size(), 1u);
  EXPECT_TRUE(messages_.Shown()[0].Text.startsWith(QStringLiteral("打印机“into-data”的输出文件“")))
      << messages_.Shown()[0].Text.toStdString();
  EXPECT_TRUE(form.isVisible());
  std::ifstream in(dir_ / "userdat.kd2");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "users");
}

}  // namespace
}  // namespace kadrel
