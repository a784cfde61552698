// A device that prints pages of text, as the line printer of
// output/uLinePrinter.h speaks to it. Plain C++: the real device is a
// QPrinter (gui/uPrinterSurface.h), and tests use surfaces that record.
#pragma once

#include <string>
#include <string_view>

namespace kadrel {

struct TTextExtent {
  int Width = 0;
  int Height = 0;
};

struct TPrintFont {
  std::string Name;  // GBK face name
  int Size = 8;      // points
};

// A device that prints pages of text. Text is GBK bytes throughout; a
// surface converts it for its device. Sizes are in device pixels, and the
// page size is that of the printable area, valid once BeginDoc succeeded.
class TPageSurface {
 public:
  virtual ~TPageSurface() = default;

  // Starts the print job on the first page; `title` (GBK) names the job in
  // the printer's queue. False, with the reason for the user in `error`
  // (UTF-8), when the device cannot print.
  virtual bool BeginDoc(std::string_view title, std::string& error) = 0;
  // Hands the job over. False, with the reason, when the job was lost.
  virtual bool EndDoc(std::string& error) = 0;
  virtual void NewPage() = 0;

  virtual void SetFont(const TPrintFont& font) = 0;
  virtual TTextExtent TextExtent(std::string_view gbk) = 0;
  virtual int AverageCharWidth() = 0;
  // (x, y) is the top left corner of the text.
  virtual void TextOut(int x, int y, std::string_view gbk) = 0;

  virtual int PageWidth() = 0;
  virtual int PageHeight() = 0;
};

}  // namespace kadrel
