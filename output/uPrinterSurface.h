// The page surface on a QPrinter: the system's default printer for the
// program, or any QPrinter a caller sets up (a PDF file in the tests).
#pragma once

#include <QFont>
#include <QPainter>

#include <memory>
#include <string>

#include "output/uLinePrinter.h"

class QPrinter;

namespace kadrel {

// The platform's printer errors, as the user sees them.
inline constexpr const char* kNoDefaultPrinter = "There is no default printer currently selected";
inline constexpr const char* kPrinterNotValid = "Printer selected is not valid";

class TPrinterSurface : public TPageSurface {
 public:
  // Prints on `printer`; a null printer is "no printer installed", and
  // BeginDoc then fails with kNoDefaultPrinter.
  explicit TPrinterSurface(std::unique_ptr<QPrinter> printer);
  ~TPrinterSurface() override;

  // The system's default printer at its own resolution.
  static std::unique_ptr<TPrinterSurface> DefaultPrinter();

  bool BeginDoc(std::string& error) override;
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
  QPainter painter_;
};

}  // namespace kadrel
