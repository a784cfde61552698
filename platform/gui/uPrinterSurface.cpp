#include "platform/gui/uPrinterSurface.h"

#include <QFile>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>

#include "platform/gui/uPrintQueue.h"
#include "platform/gui/uQtGbk.h"

namespace kadrel {

namespace {

// GUI thread only, like every print job.
TPrintSurfaceFactory& CurrentFactory() {
  static TPrintSurfaceFactory factory;
  return factory;
}

}  // namespace

TPrintSurfaceOverride::TPrintSurfaceOverride(TPrintSurfaceFactory factory)
    : TScopedOverride(CurrentFactory(), std::move(factory)) {}

std::unique_ptr<TPageSurface> MakePrintSurface() {
  if (const TPrintSurfaceFactory& factory = CurrentFactory()) return factory();
  return TPrinterSurface::DefaultPrinter();
}

TPrinterSurface::TPrinterSurface(std::unique_ptr<QPrinter> printer, TDelivery deliver)
    : printer_(std::move(printer)), deliver_(std::move(deliver)) {
  if (!printer_) return;
  // The pen starts at the top left corner of what the printer can reach;
  // a margin of the toolkit's own would cost lines on every page.
  QPageLayout layout = printer_->pageLayout();
  layout.setMargins(layout.minimumMargins());
  printer_->setPageLayout(layout);
}

TPrinterSurface::~TPrinterSurface() {
  if (painter_.isActive()) painter_.end();
}

std::unique_ptr<TPrinterSurface> TPrinterSurface::DefaultPrinter() {
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) return std::make_unique<TPrinterSurface>(nullptr);
  // The queue's paper and unprintable border, as its driver declares them.
  const QPageLayout layout = QPrinter(info, QPrinter::HighResolution).pageLayout();
  // The toolkit hands its own jobs to the queue without asking how that
  // went; drawing into a file and submitting it ourselves hears the answer.
  auto spool = std::make_shared<QTemporaryDir>();
  const QString file = spool->filePath(QStringLiteral("job.pdf"));
  auto pdf = std::make_unique<QPrinter>(QPrinter::HighResolution);
  pdf->setOutputFormat(QPrinter::PdfFormat);
  pdf->setOutputFileName(file);
  pdf->setPageLayout(layout);
  TPrintJob job{info.printerName().toStdString(), file.toStdString(), {}, layout.pageSize().key().toStdString()};
  return std::make_unique<TPrinterSurface>(
      std::move(pdf), [spool, job](const std::string& title, std::string& error) {
        TPrintJob named = job;
        named.Title = title;
        return SubmitPrintJob(named, error);
      });
}

bool PrintPdfOnDefaultPrinter(const QByteArray& pdf, const std::string& titleUtf8, const std::string& media,
                              std::string& error) {
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) {
    error = "没有安装打印机，或者没有选定默认的打印机。这次什么也没有打印。";
    return false;
  }
  QTemporaryDir spool;
  QFile file(spool.filePath(QStringLiteral("job.pdf")));
  if (!spool.isValid() || !file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size() || !file.flush()) {
    error = "打印作业无法写入临时文件夹。这次什么也没有打印。";
    return false;
  }
  file.close();
  return SubmitPrintJob({info.printerName().toStdString(), file.fileName().toStdString(), titleUtf8, media}, error);
}

bool TPrinterSurface::BeginDoc(std::string_view title, std::string& error) {
  if (!printer_) {
    error = kNoDefaultPrinter;
    return false;
  }
  // A printer that prints into a file (a PDF) must not print into the data.
  if (const QString file = printer_->outputFileName(); !file.isEmpty()) {
    if (!KeepsOffDataFiles(file.toStdString(), "打印", error)) return false;
  }
  printer_->setDocName(GbkToQString(title));
  if (!printer_->isValid() || !painter_.begin(printer_.get())) {
    error = kPrinterNotValid;
    return false;
  }
  // The canvas starts in its default face at 8 points, as a printer canvas does.
  QFont font = painter_.font();
  font.setPointSize(8);
  painter_.setFont(font);
  return true;
}

bool TPrinterSurface::EndDoc(std::string& error) {
  if (!painter_.isActive()) return true;
  const bool ended = painter_.end();
  if (!ended || printer_->printerState() == QPrinter::Error) {
    error = "打印作业未能交给打印机。";
    return false;
  }
  return !deliver_ || deliver_(printer_->docName().toStdString(), error);
}

void TPrinterSurface::NewPage() { printer_->newPage(); }

void TPrinterSurface::SetFont(const TPrintFont& font) {
  QFont f(GbkToQString(font.Name));
  f.setPointSize(font.Size);
  painter_.setFont(f);
}

TTextExtent TPrinterSurface::TextExtent(std::string_view gbk) {
  const QFontMetrics metrics = painter_.fontMetrics();
  return {metrics.horizontalAdvance(GbkToQString(gbk)), metrics.height()};
}

int TPrinterSurface::AverageCharWidth() { return painter_.fontMetrics().averageCharWidth(); }

void TPrinterSurface::TextOut(int x, int y, std::string_view gbk) {
  painter_.drawText(x, y + painter_.fontMetrics().ascent(), GbkToQString(gbk));
}

int TPrinterSurface::PageWidth() { return printer_->width(); }

int TPrinterSurface::PageHeight() { return printer_->height(); }

}  // namespace kadrel
