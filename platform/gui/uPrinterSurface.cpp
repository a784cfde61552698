#include "platform/gui/uPrinterSurface.h"

#include <QFontMetrics>
#include <QPrinter>
#include <QPrinterInfo>

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

TPrinterSurface::TPrinterSurface(std::unique_ptr<QPrinter> printer) : printer_(std::move(printer)) {}

TPrinterSurface::~TPrinterSurface() {
  if (painter_.isActive()) painter_.end();
}

std::unique_ptr<TPrinterSurface> TPrinterSurface::DefaultPrinter() {
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) return std::make_unique<TPrinterSurface>(nullptr);
  return std::make_unique<TPrinterSurface>(std::make_unique<QPrinter>(info, QPrinter::HighResolution));
}

bool TPrinterSurface::BeginDoc(std::string& error) {
  if (!printer_) {
    error = kNoDefaultPrinter;
    return false;
  }
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
  return true;
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
