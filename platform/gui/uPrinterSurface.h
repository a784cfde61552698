// The printer seam: the page surface on a QPrinter, the system's default
// printer for the program or any QPrinter a caller sets up (a PDF file in
// the tests); and the factory every print job takes its surface from, which
// tests replace with a TPrintSurfaceOverride, so no test needs a printer and
// none prints on one.
#pragma once

#include <QByteArray>
#include <QFont>
#include <QPainter>

#include <functional>
#include <memory>
#include <string>

#include "platform/uPageSurface.h"
#include "platform/uScopedOverride.h"

class QPrinter;

namespace kadrel {

// The platform's printer errors, as the user sees them.
inline constexpr const char* kNoDefaultPrinter = "There is no default printer currently selected";
inline constexpr const char* kPrinterNotValid = "Printer selected is not valid";

class TPrinterSurface : public TPageSurface {
 public:
  // Hands the finished pages on once the painter is done with them; false,
  // with the reason for the user, when they did not reach the printer.
  using TDelivery = std::function<bool(const std::string& titleUtf8, std::string& error)>;

  // Prints on `printer`, with no margins beyond its unprintable border,
  // then runs `deliver` if there is one. A null printer is "no printer
  // installed", and BeginDoc then fails with kNoDefaultPrinter.
  explicit TPrinterSurface(std::unique_ptr<QPrinter> printer, TDelivery deliver = {});
  ~TPrinterSurface() override;

  // The system's default printer: the pages go into a PDF file on the
  // queue's paper, and EndDoc hands the file to the queue, so a queue that
  // refuses the job says so.
  static std::unique_ptr<TPrinterSurface> DefaultPrinter();

  bool BeginDoc(std::string_view title, std::string& error) override;
  bool EndDoc(std::string& error) override;
  void NewPage() override;
  void SetFont(const TPrintFont& font) override;
  TTextExtent TextExtent(std::string_view gbk) override;
  int AverageCharWidth() override;
  void TextOut(int x, int y, std::string_view gbk) override;
  int PageWidth() override;
  int PageHeight() override;

 private:
  std::unique_ptr<QPrinter> printer_;
  TDelivery deliver_;
  QPainter painter_;
};

// The surface the next print goes to. The default opens the system's
// default printer.
using TPrintSurfaceFactory = std::function<std::unique_ptr<TPageSurface>()>;

// While it lives, printing goes to the surfaces `factory` makes. Overrides
// nest; the innermost one is used.
class TPrintSurfaceOverride : TScopedOverride<TPrintSurfaceFactory> {
 public:
  explicit TPrintSurfaceOverride(TPrintSurfaceFactory factory);
};

// The surface of the innermost override, or the default printer's.
std::unique_ptr<TPageSurface> MakePrintSurface();

// Hands a finished PDF, drawn for the paper `media` ("A3"), to the system's
// default printer as the job `titleUtf8`. False, with the reason for the
// user, when there is no printer or its queue does not take the job.
bool PrintPdfOnDefaultPrinter(const QByteArray& pdf, const std::string& titleUtf8, const std::string& media,
                              std::string& error);

}  // namespace kadrel
