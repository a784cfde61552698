// The printer as a line printer: text written to it is laid out line below
// line from the top left corner of the printable area, wrapped at the right
// edge and carried onto the next page at the bottom, with no margins, header
// or footer of its own.
//
// The layout speaks to the device only through TPageSurface, so it runs
// without Qt or a printer: the real surface is a QPrinter
// (platform/gui/uPrinterSurface.h), and tests hand it a surface that records
// what would have been drawn.
//
// Layout rules, in device pixels:
//   1. Opening puts the pen at (0, 0); the right and bottom limits are the
//      page width and height.
//   2. Text that does not fit between x and the right limit is cut at the
//      longest leading part that fits; the cut falls between characters,
//      never inside a two-byte GBK character, and the rest goes on a new line.
//   3. Each piece is drawn with its top left corner at the pen; a piece
//      taller than the line so far makes the line its height plus 2.
//   4. LF ends a line (CR is ignored): y advances by the line height, or by
//      the font's character height on a line with nothing on it. When the
//      new y lies below the bottom limit less twice the height of the line
//      just ended, the next line starts a new page at y = 0. With every line
//      h high on a page H high, a page therefore holds floor(H / h) - 1 lines.
//   5. FF starts a new page; TAB moves x to the next multiple of eight
//      average character widths.
#pragma once

#include <string>
#include <string_view>

#include "platform/uPageSurface.h"

namespace kadrel {

class TLinePrinter {
 public:
  explicit TLinePrinter(TPageSurface& surface) : surface_(surface) {}
  // A printer still open ends its job, so a job is never left hanging.
  ~TLinePrinter();
  TLinePrinter(const TLinePrinter&) = delete;
  TLinePrinter& operator=(const TLinePrinter&) = delete;

  // Starts the job named `title` (GBK); false with the surface's reason
  // when it cannot.
  bool Open(std::string_view title, std::string& error);
  // Ends the job; false with the reason when it was lost.
  bool Close(std::string& error);

  void SetFont(const TPrintFont& font);

  // Prints GBK text, acting on CR, LF, FF and TAB as the rules above say.
  void Write(std::string_view gbk);
  // Write followed by a line end (CR LF).
  void WriteLine(std::string_view gbk);

  int X() const { return x_; }
  int Y() const { return y_; }
  int LineHeight() const { return lineHeight_; }

 private:
  void PutText(std::string_view gbk);
  void Draw(std::string_view piece, TTextExtent extent);
  std::size_t FittingPrefix(std::string_view gbk, int room);
  void NewLine();
  void FormFeed();
  void Tab();
  void StartPendingPage();

  TPageSurface& surface_;
  bool open_ = false;
  int x_ = 0;
  int y_ = 0;
  int right_ = 0;
  int bottom_ = 0;
  int lineHeight_ = 0;
  // A page break waits until something is drawn on the new page, so a job
  // whose last line fills a page does not end with a blank sheet.
  bool pagePending_ = false;
};

}  // namespace kadrel
