// The print dialog on a real QPrinter writing a PDF file, read back with
// pdftotext: what the user would find on paper, with the real font metrics.
#include "output/uprint.h"

#include <QFontInfo>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "platform/gui/uPrinterSurface.h"
#include "output/uYearDocument.h"
#include "platform/gui/uMessages.h"
#include "tests/output/output_fixture.h"
#include "tests/test_dir.h"
#include "widgets/uFonts.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;
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
  // surface: floor(H / (text height + 2)) - 1.
  int LinesPerPage() {
    std::unique_ptr<QPrinter> probe = PdfPrinter(dir_ / "probe.pdf");
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
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-layout"), QString::fromStdString(pdf.string()), QStringLiteral("-")});
    EXPECT_TRUE(process.waitForFinished(30000)) << "pdftotext (poppler-utils) did not run";
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    std::vector<std::vector<std::string>> pages;
    const QStringList texts = QString::fromUtf8(process.readAllStandardOutput()).split(QChar('\f'));
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

  std::vector<std::string> expected;
  const QString document = QString::fromStdString(Utf8(BuildYearDocument(ZhangSan(), 2024, TMonthSet::All(), TExportType::Print)));
  for (const QString& line : document.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
    expected.push_back(line.simplified().toStdString());
  ASSERT_EQ(expected.size(), 121u);

  const int perPage = LinesPerPage();
  ASSERT_GT(perPage, 10);
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
}

TEST_F(PdfPrint, APrinterThatCannotOpenItsOutputIsNotValid) {
  TPrinterSurface surface(PdfPrinter(dir_ / "missing-folder" / "out.pdf"));
  std::string error;
  EXPECT_FALSE(surface.BeginDoc(error));
  EXPECT_EQ(error, kPrinterNotValid);
}

}  // namespace
}  // namespace kadrel
